package com.velk.internet.tz.velkctl;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import picocli.AutoComplete;

/** Writes velkctl's bash completion script, generated from its grammar, to the named file. */
public final class Completion {
    private Completion() {
    }

    public static void main(String[] args) throws IOException {
        Files.writeString(Path.of(args[0]), AutoComplete.bash("velkctl", Velkctl.commandLine()));
    }
}
