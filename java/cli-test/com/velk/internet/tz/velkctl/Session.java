package com.velk.internet.tz.velkctl;

import com.google.gson.JsonParseException;
import com.google.gson.JsonParser;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

/**
 * Runs a scripted velkctl session in one JVM and prints its transcript: each command, what it
 * printed on standard output, then on standard error, then its exit status. Script lines:
 * "velkctl ARGS" runs a command; "ctl LINE" sends a control line to the simulated executor
 * without printing it; "#" lines are comments. Words are split on blanks. Then, against the
 * executor emptied, the same lines with --json: each command that succeeds must print one JSON
 * value, and a line says which did not.
 */
public final class Session {
    private static final PrintStream OUT =
            new PrintStream(System.out, true, StandardCharsets.UTF_8);

    private Session() {
    }

    public static void main(String[] args) throws IOException {
        List<String> lines = Files.readAllLines(Path.of(args[0]), StandardCharsets.UTF_8);
        run(lines, false);
        Rig.reset();
        run(lines, true);
    }

    private static void run(List<String> lines, boolean json) {
        for (String line : lines) {
            if (line.isBlank() || line.startsWith("#")) {
                continue;
            }
            List<String> words = Rig.words(line);
            if (words.get(0).equals("ctl")) {
                Rig.SIM.command(line.substring(4));
                continue;
            }
            if (json) {
                words.add("--json");
            }
            Rig.Run run = Rig.velkctl(words.subList(1, words.size()).toArray(new String[0]));
            if (!json) {
                OUT.print("$ " + line + "\n" + run.out() + run.err()
                        + "[exit " + run.status() + "]\n");
            } else if (run.status() == 0 && !isJson(run.out())) {
                OUT.println(line + " --json: not one JSON value: " + run.out());
            }
        }
    }

    /** Whether text is one JSON value (blank text parses as JSON null). */
    static boolean isJson(String text) {
        try {
            return !JsonParser.parseString(text).isJsonNull();
        } catch (JsonParseException e) {
            return false;
        }
    }
}
