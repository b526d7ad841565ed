package com.velk.internet.tz.velkctl;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * make bench: velkctl apply and save of configurations of N clusters of 4 ports of 8 servers,
 * against the simulated executor the device path names, one Markdown row per N: the calls
 * each made (reads and changes) and the time, so that the calls show they grow with the
 * objects, not faster. Usage: ConfigBench WORK_DIR N...
 */
public final class ConfigBench {
    private static final int PORTS = 4;
    private static final int SERVERS = 8;

    private ConfigBench() {
    }

    public static void main(String[] args) throws Exception {
        Path work = Path.of(args[0]);
        System.out.println("| clusters | objects | apply: calls | ms | save: calls | ms "
                + "| apply again: calls | ms |");
        System.out.println("|---:|---:|---:|---:|---:|---:|---:|---:|");
        Path empty = Files.writeString(work.resolve("empty.yaml"), "clusters: {}\n");
        for (int i = 1; i < args.length; i++) {
            int n = Integer.parseInt(args[i]);
            Path file = Files.writeString(work.resolve("bench.yaml"), config(n));
            run("apply", "-f", empty.toString(), "--prune");
            int reads = Config.read(Api.session()).calls;
            long t0 = System.nanoTime();
            String applied = run("apply", "-f", file.toString());
            long t1 = System.nanoTime();
            run("save");
            long t2 = System.nanoTime();
            int saveCalls = Config.read(Api.session()).calls;
            long t3 = System.nanoTime();
            String again = run("apply", "-f", file.toString());
            long t4 = System.nanoTime();
            if (!again.equals("no changes\n")) {
                throw new IllegalStateException("apply again changed something: " + again);
            }
            int changes = (int) applied.lines().count() - 1;
            System.out.printf("| %d | %d | %d | %d | %d | %d | %d | %d |%n", n,
                    n * (1 + PORTS + PORTS * SERVERS), reads + changes, ms(t1 - t0), saveCalls,
                    ms(t2 - t1), saveCalls, ms(t4 - t3));
        }
        run("apply", "-f", empty.toString(), "--prune");
    }

    private static long ms(long nanos) {
        return nanos / 1_000_000;
    }

    private static String run(String... args) throws IOException {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        int status = Velkctl.run(args, new PrintStream(out, true, StandardCharsets.UTF_8),
                new PrintStream(err, true, StandardCharsets.UTF_8));
        if (status != 0) {
            throw new IOException(String.join(" ", args) + ": " + err);
        }
        return out.toString(StandardCharsets.UTF_8);
    }

    private static String config(int n) {
        StringBuilder y = new StringBuilder("executor: {max-number-of-clusters: " + n
                + "}\nclusters:\n");
        for (int c = 0; c < n; c++) {
            y.append(String.format("  c%03d:%n    address: 10.2.%d.%d%n    ports:%n", c, c / 200,
                    c % 200 + 1));
            for (int p = 0; p < PORTS; p++) {
                y.append("      ").append(8000 + p).append(":\n        servers:\n");
                for (int s = 0; s < SERVERS; s++) {
                    y.append(String.format("          s%d: {weight: %d, listener: "
                            + "['10.3.%d.%d:80:6']}%n", s, 1 + s, c, s + 1));
                }
            }
        }
        return y.toString();
    }
}
