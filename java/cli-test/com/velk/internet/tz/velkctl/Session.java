package com.velk.internet.tz.velkctl;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * Runs a scripted velkctl session in one JVM and prints its transcript: each command, what it
 * printed on standard output, then on standard error, then its exit status. Script lines:
 * "velkctl ARGS" runs a command; "ctl LINE" sends a control line to the simulated executor
 * (through velklb-ctl on PATH) without printing it; "#" lines are comments. Words are split on
 * blanks; a word in single quotes may hold blanks.
 */
public final class Session {
    private Session() {
    }

    public static void main(String[] args) throws IOException, InterruptedException {
        PrintStream out = new PrintStream(System.out, true, StandardCharsets.UTF_8);
        for (String line : Files.readAllLines(Path.of(args[0]), StandardCharsets.UTF_8)) {
            if (line.isBlank() || line.startsWith("#")) {
                continue;
            }
            List<String> words = words(line);
            if (words.get(0).equals("ctl")) {
                words.set(0, "velklb-ctl");
                Process p = new ProcessBuilder(words).redirectErrorStream(true).start();
                String answer = new String(p.getInputStream().readAllBytes(),
                        StandardCharsets.UTF_8);
                if (p.waitFor() != 0) {
                    out.println("control line failed: " + line + ": " + answer);
                    System.exit(1);
                }
                continue;
            }
            out.println("$ " + line);
            ByteArrayOutputStream stdout = new ByteArrayOutputStream();
            ByteArrayOutputStream stderr = new ByteArrayOutputStream();
            int status = Velkctl.run(words.subList(1, words.size()).toArray(new String[0]),
                    new PrintStream(stdout, true, StandardCharsets.UTF_8),
                    new PrintStream(stderr, true, StandardCharsets.UTF_8));
            out.print(stdout.toString(StandardCharsets.UTF_8));
            out.print(stderr.toString(StandardCharsets.UTF_8));
            out.println("[exit " + status + "]");
        }
    }

    static List<String> words(String line) {
        List<String> words = new ArrayList<>();
        StringBuilder word = null;
        boolean quoted = false;
        for (char ch : line.toCharArray()) {
            if (ch == '\'') {
                quoted = !quoted;
                word = word == null ? new StringBuilder() : word;
            } else if (ch == ' ' && !quoted) {
                if (word != null) {
                    words.add(word.toString());
                }
                word = null;
            } else {
                word = word == null ? new StringBuilder() : word;
                word.append(ch);
            }
        }
        if (word != null) {
            words.add(word.toString());
        }
        return words;
    }
}
