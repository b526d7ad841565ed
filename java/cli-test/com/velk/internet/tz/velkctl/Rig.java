package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.SimExecutor;
import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * What velkctl's checks share: velkctl run in this JVM with its output caught, and the simulated
 * executor's control socket (VELKLB_DEVICE plus ".ctl"), one connection per line, so that a
 * restarted executor is reached too.
 */
final class Rig {
    private Rig() {
    }

    record Run(int status, String out, String err) {
    }

    static Run velkctl(String... args) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        int status = Velkctl.run(args, new PrintStream(out, true, StandardCharsets.UTF_8),
                new PrintStream(err, true, StandardCharsets.UTF_8));
        return new Run(status, out.toString(StandardCharsets.UTF_8),
                err.toString(StandardCharsets.UTF_8));
    }

    /** A command line split on blanks. */
    static Run velkctl(String line) {
        return velkctl(words(line).toArray(new String[0]));
    }

    /** The simulated executor VELKLB_DEVICE names; the tests' own client of its control socket. */
    static final SimExecutor SIM = new SimExecutor(null, Path.of(System.getenv("VELKLB_DEVICE")));

    /** The executor emptied, with the interface names the rig's cards report. */
    static void reset() {
        List.of("RESET", "IFNAME vlkA eth0", "IFNAME vlkB eth1").forEach(SIM::command);
    }

    /** A command line's words: what blanks separate. */
    static List<String> words(String line) {
        return new ArrayList<>(Arrays.asList(line.strip().split(" +")));
    }
}
