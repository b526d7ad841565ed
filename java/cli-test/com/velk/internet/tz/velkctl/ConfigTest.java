package com.velk.internet.tz.velkctl;

import static com.velk.internet.tz.velkctl.Rig.*;

import com.velk.internet.tz.common.SimExecutor;
import java.io.IOException;
import java.io.RandomAccessFile;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.yaml.snakeyaml.Yaml;

/**
 * save, diff and apply against the simulated executor, in one JVM: the round trip over generated configurations, a
 * hand-edited file's exact calls, a refusal mid-way, and files refused before any request.
 * Usage: ConfigTest WORK_DIR SEEDS CHANGING_COMMANDS_FILE
 */
public final class ConfigTest {
    private final List<String> failures = new ArrayList<>();
    private Path work;
    /** Device commands that change the executor's state: the first word of each line of the file. */
    private List<Integer> changing;

    public static void main(String[] args) throws Exception {
        ConfigTest t = new ConfigTest();
        t.work = Path.of(args[0]);
        t.changing = Files.readAllLines(Path.of(args[2])).stream().map(l -> Integer.valueOf(l.split(" ")[0])).toList();
        t.roundTrip(Integer.parseInt(args[1]));
        t.handEdited();
        t.refusedMidWay();
        t.refusedFiles();
        t.separateJson();
        t.failures.forEach(f -> System.out.println("FAILED: " + f));
        System.out.println(t.failures.isEmpty() ? "config: all passed" : "config: failures");
        System.exit(t.failures.isEmpty() ? 0 : 1);
    }

    /** The command numbers of the changing requests since request from. */
    private List<Integer> changes(int from) {
        return IntStream.range(from, SIM.recordCount()).map(i -> (int) SimExecutor.u32le(SIM.record(i), 0))
                .boxed().filter(changing::contains).toList();
    }

    private Path file(String name, String text) throws IOException {
        return Files.writeString(work.resolve(name), text);
    }

    private void expect(boolean ok, String what) {
        if (!ok) {
            failures.add(what);
        }
    }

    /**
     * For each seed: a generated configuration applied to an empty executor and saved, holding every value it gives;
     * the executor emptied, the saved file applied and saved again gives the same bytes; applying it once more makes
     * no changing call and says so.
     */
    private void roundTrip(int seeds) throws IOException {
        for (int seed = 1; seed <= seeds; seed++) {
            reset();
            Path generated = file("generated.yaml", generate(new Random(seed)));
            Run first = velkctl("apply", "-f", generated.toString());
            Run saved = velkctl("save");
            reset();
            Path file = file("saved.yaml", saved.out());
            Run applied = velkctl("apply", "-f", file.toString());
            Run again = velkctl("save");
            for (int c : changing) {
                SIM.command("SCRIPT CMD " + c + " RESULT -1 REASON -99");
            }
            Run second = velkctl("apply", "-f", file.toString());
            SIM.command("UNSCRIPT");
            String seedText = "seed " + seed + ": ";
            expect(first.status() == 0, seedText + "the generated file: " + first.err());
            String text = Files.readString(generated);
            expect(held(new Yaml().load(text), new Yaml().load(saved.out())),
                    seedText + "the saved file lacks values of the generated one:\n" + text + "---\n" + saved.out());
            expect(applied.status() == 0, seedText + "the saved file: " + applied.err());
            expect(saved.out().equals(again.out()), seedText + "saved again differs:\n" + saved.out()
                    + "\n---\n" + again.out());
            expect(second.status() == 0 && second.out().equals("no changes\n"),
                    seedText + "a second apply: " + second.out() + second.err());
        }
    }

    /** Whether saved holds every value want gives: maps key by key, anything else whole; an empty key asks nothing. */
    private static boolean held(Object want, Object saved) {
        if (want instanceof Map<?, ?> w) {
            return saved instanceof Map<?, ?> s
                    && w.entrySet().stream().allMatch(e -> held(e.getValue(), s.get(e.getKey())));
        }
        return want == null || String.valueOf(want).equals(String.valueOf(saved));
    }

    /** A configuration over every object kind, each setting given or left to its default. */
    private static String generate(Random r) {
        StringBuilder y = new StringBuilder("executor:\n  trace-level: " + r.nextInt(4) + "\n");
        if (r.nextBoolean()) {
            y.append(String.format("  fin-timeout: %d\n  nfa: 10.1.0.%d\n", 30 + r.nextInt(200), 1 + r.nextInt(250)));
        }
        List<String> addresses = new ArrayList<>();
        y.append("clusters:\n");
        for (int c = 0, clusters = 1 + r.nextInt(3); c < clusters; c++) {
            addresses.add("10.1." + (c + 1) + "." + (1 + r.nextInt(250)));
            y.append(String.format("  c%d%d:\n    address: %s\n    max-number-of-ports: %d\n    ports:\n", c,
                    r.nextInt(99), addresses.get(c), 4 + r.nextInt(8)));
            for (int p = 0, ports = r.nextInt(4); p < ports; p++) {
                int bound = 10 + r.nextInt(20);
                y.append(String.format("      %d:\n        weight-bound: %d\n        sticky-time: %d\n"
                        + "        servers:\n", 80 + p * 100 + r.nextInt(100), bound, r.nextInt(3) * 60));
                int servers = r.nextInt(4);
                for (int s = 0; s < servers; s++) {
                    y.append(String.format("          s%d: {weight: %d, fixed-weight: %d, listener: [", s,
                            r.nextInt(bound + 1), r.nextInt(2)));
                    for (int l = 0, n = r.nextInt(3); l < n; l++) {
                        y.append(String.format("'10.1.100.%d:%d:%d', ", s + 1, 8000 + l, l == 0 ? 6 : 17));
                    }
                    y.append("]}\n");
                }
                y.append("        rules:\n");
                for (int k = 0, rules = r.nextInt(3); k < rules; k++) {
                    int type = r.nextInt(4);
                    y.append(String.format("          r%d: {rule-type: %d, priority: %d, ", k, type, r.nextInt(50)))
                            .append(type == 1 ? "address-begin-range: 172.16.0.1, address-end-range: 172.16."
                                    + r.nextInt(256) + ".9" : "begin-range: " + r.nextInt(10) + ", end-range: "
                                    + (10 + r.nextInt(10))).append(", servers: [");
                    for (int s = 0; s < servers; s++) {
                        y.append(r.nextBoolean() ? "s" + s + ", " : "");
                    }
                    y.append("]}\n");
                }
            }
        }
        y.append("aliases: [");
        addresses.forEach(a -> y.append(r.nextBoolean() ? a + ", " : ""));
        y.append("]\nha:\n");
        if (r.nextBoolean()) {
            y.append(String.format("  role: %d\n  strategy: %d\n  port: %d\n", 1 + r.nextInt(2), r.nextInt(3),
                    1024 + r.nextInt(9000)));
        }
        y.append("  heartbeat: [");
        for (int h = 0, n = r.nextInt(3); h < n; h++) {
            y.append("'10.1.250.").append(h + 1).append(",10.9.").append(h).append(".1', ");
        }
        y.append("]\n  reach:\n");
        for (int h = 0, n = r.nextInt(3); h < n; h++) {
            y.append(String.format("    192.168.7.%d: {mask: 255.255.%s, type: %d}\n", 10 + h,
                    r.nextBoolean() ? "255.0" : "0.0", 1 + r.nextInt(3)));
        }
        return y.append(String.format("icmp: {got-icmp-resp: %d, icmp-resp-addr: 10.1.0.%d}\n", r.nextInt(2),
                r.nextInt(9))).toString();
    }

    private static final String BASE = "clusters: {web: {address: 10.1.2.3, ports: {80: {weight-bound: 10,\n"
            + "  servers: {s1: {weight: 5}, s2: {weight: 7}, s3: {weight: 1}},\n"
            + "  rules: {clients: {rule-type: 0, priority: 10, servers: [s1]}}}}}}\n";

    /** One weight changed, one server removed with --prune, one rule added: those calls only. */
    private void handEdited() throws IOException {
        reset();
        velkctl("apply", "-f", file("base.yaml", BASE).toString());
        String edited = velkctl("save").out().replaceFirst("(?s)(s1:.*?weight: )5", "$19")
                .replaceFirst("(?s)\n          s3:.*?listener: \\[\\]\n", "\n")
                .replace("        rules:\n",
                        "        rules:\n          new: {rule-type: 2, begin-range: 1, end-range: 5, servers: [s2]}\n");
        Path file = file("edited.yaml", edited);
        int from = SIM.recordCount();
        Run run = velkctl("apply", "-f", file.toString(), "--prune");
        expect(run.out().equals("~ weights web:80 s1 weight 5 -> 9\n+ rule web:80 new\n+ bind web:80 new s2\n"
                + "- server web:80 s3\n4 change(s) applied\n"), "hand-edited: printed\n" + run.out() + run.err());
        // weights set, rule add, binding, server remove: nothing else changed
        expect(changes(from).equals(List.of(16, 18, 24, 28)), "hand-edited: calls " + changes(from));
        expect(velkctl("diff", "-f", file.toString(), "--prune", "--exit-code").status() == 0,
                "hand-edited: a difference is left");
    }

    /** The executor refuses the second server add: apply says what it did; the next finishes. */
    private void refusedMidWay() throws IOException {
        reset();
        Path file = file("base.yaml", BASE);
        SIM.command("SCRIPT CMD 27 TIMES 2 MODEL");
        SIM.command("SCRIPT CMD 27 TIMES 1 RESULT -1 REASON -13");
        Run first = velkctl("apply", "-f", file.toString());
        SIM.command("UNSCRIPT");
        expect(first.status() == 1 && first.out().equals("+ cluster web\n+ port web:80\n+ server web:80 s1\n"
                + "+ server web:80 s2\n") && Stream.of("refused: + server web:80 s3: server s3 on web:80: ",
                "as many servers as it may (-28)", "4 of 7 change(s) applied").allMatch(first.err()::contains),
                "refusal: " + first.out() + first.err());
        Run second = velkctl("apply", "-f", file.toString());
        expect(second.status() == 0 && second.out().equals("+ server web:80 s3\n+ rule web:80 clients\n"
                + "+ bind web:80 clients s1\n3 change(s) applied\n"),
                "after the refusal: " + second.out() + second.err());
        expect(velkctl("apply", "-f", file.toString()).out().equals("no changes\n"),
                "after the refusal: not idempotent");
    }

    private static final String[][] REFUSED = {
        {"clusters:\n  web:\n    adress: 10.0.0.1\n", "3:5: unknown key adress"},
        {"executor:\n  trace-level: high\n", "2:16: a whole number is expected, not high"},
        {"executor:\n  trace-level: 4294967296\n", "2:16: 4294967296 is out of range"},
        {"clusters:\n  web:\n    ports:\n      80:\n        cross-port: 70000\n",
            "5:21: 70000 is out of range (0 to 65535)"},
        {"clusters:\n  web:\n    ports:\n      65536: {}\n", "4:14: port 65536 is not a number from 0 to 65535"},
        {"clusters:\n  web:\n    address: no.such.host.invalid\n",
            "3:14: the address no.such.host.invalid does not resolve"},
        {"clusters:\n  web:\n    ports:\n      80:\n        servers: {s1: {}}\n"
            + "        rules:\n          r: {servers: [s1, s9]}\n",
            "7:29: rule r names server s9, which port web:80 lacks"},
        {"clusters:\n  web:\n    max-number-of-ports: 1\n    ports:\n      80: {}\n      81: {}\n",
            "5:7: cluster web has 2 ports, more than its limit of 1"},
        {"clusters:\n  web:\n    ports:\n      80:\n        weight-bound: 10\n"
            + "        servers: {s1: {weight: 11}}\n",
            "6:32: weight 11 is outside 0 to the port's weight bound 10"},
        {"clusters:\n  web:\n    ports:\n      80:\n        rules:\n"
            + "          r: {rule-type: 1, begin-range: 5}\n",
            "6:29: begin-range does not go with rule type 1"},
        {"aliases: [10.1.9.9]\n", "1:11: alias 10.1.9.9 is no cluster's address"},
        {"clusters:\n  web: {}\n  web: {}\n", "3:3: the key web is given twice"},
        {"clusters: [\n", "2:1: expected the node content, but found '<stream end>'"},
        {"executor: !!javax.script.ScriptEngineManager [!!java.net.URLClassLoader "
            + "[[!!java.net.URL ['http://127.0.0.1:1/']]]]\n",
            "1:11: the tag tag:yaml.org,2002:javax.script.ScriptEngineManager is not allowed"},
        {"a: &a [x, x, x, x, x, x, x, x, x]\nb: &b [*a, *a, *a, *a, *a, *a, *a, *a, *a]\n"
            + "c: &c [*b, *b, *b, *b, *b, *b, *b, *b, *b]\n",
            "Number of aliases for non-scalar nodes exceeds the specified max=16"},
        {"x: " + "[".repeat(40) + "]".repeat(40) + "\n", "Nesting Depth exceeded max 16"},
    };

    /** Each file gives its error with line and column, exit status 2, and no request at all. */
    private void refusedFiles() throws IOException {
        reset();
        for (String[] c : REFUSED) {
            Path file = file("refused.yaml", c[0]);
            int from = SIM.recordCount();
            Run run = velkctl("apply", "-f", file.toString());
            expect(run.status() == 2 && run.err().contains(c[1]) && SIM.recordCount() == from,
                    "refused file " + c[1] + ": gave " + run.status() + " " + run.err());
        }
        Path huge = work.resolve("huge.yaml");
        try (RandomAccessFile f = new RandomAccessFile(huge.toFile(), "rw")) {
            f.setLength(100L << 20);
        }
        Run run = velkctl("diff", "-f", huge.toString());
        expect(run.status() == 2 && run.err().contains("larger than 8 MB; not read"),
                "100 MB file: " + run.err());
        Files.delete(huge);
    }

    /**
     * The verbs that rebuild the library's interface table, whose console line the library prints
     * on the process's standard output, as separate processes: their --json output still parses.
     */
    private void separateJson() throws Exception {
        for (String args : List.of("interface list --json", "alias add 10.1.2.9 --json",
                "ha add --heartbeat 10.1.2.8,10.1.9.8 --json")) {
            Process p = new ProcessBuilder(words("velkctl " + args)).redirectError(ProcessBuilder.Redirect.DISCARD)
                    .start();
            String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
            expect(p.waitFor() == 0 && Session.isJson(out), "velkctl " + args + ": " + out);
        }
    }
}
