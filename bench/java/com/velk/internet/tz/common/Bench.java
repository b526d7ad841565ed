package com.velk.internet.tz.common;

import java.io.IOException;
import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.HexFormat;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.function.IntSupplier;

/**
 * What a call costs beside the floor of its transport. For each case the library is called in a
 * warm JVM, the requests it sent are taken from the executor's record, and a small native client
 * ({@link #replay}) sends the same bytes over the same socket; the two are timed alike, call by
 * call from Java, in alternating blocks so that both see the same machine. Run by bench/run-bench.sh ({@code make bench}).
 *
 * <pre>Bench [--counts FILE] [--budget-ms N] [--only TEXT]
 * Bench --plan OUT</pre>
 * FILE holds "label instructions lookups" lines from the instruction counter; TEXT limits the
 * run to the cases whose label contains it. The cases are held once, as lines of the plan
 * language the JNI host runs; --plan writes them for the instruction counter (a "== LABEL" line
 * per case, its setup lines, then the call it measures) and does nothing else.
 */
final class Bench {
    /** Connects the floor's client to the executor and keeps one call's requests; 0 or an errno. */
    static native int open(String device, byte[][] requests);

    /** Sends the kept requests once, reading each answer whole; 0 or an errno. */
    static native int replay();

    static native void close();

    private static final int BLOCKS = 10;
    private static final int MAX_CALLS = 100_000;
    private static final int CLUSTER_ID_LENGTH = 64;

    /** A case: the lines that set it up, then the call it measures (a plan language line). */
    private record Case(String family, String label, int entries, List<String> setup, String call) {}

    private record Stats(double median, double p99) {
        static Stats of(long[] nanos) {
            long[] sorted = nanos.clone();
            Arrays.sort(sorted);
            return new Stats(sorted[sorted.length / 2] / 1000.0,
                    sorted[Math.min(sorted.length - 1, (int) (sorted.length * 0.99))] / 1000.0);
        }
    }

    private final SimExecutor sim;
    private final CMNExecutorInterface lib = new CMNExecutorInterface();
    private final long budgetNanos;
    private final Map<String, String[]> counts;

    private Bench(SimExecutor sim, long budgetNanos, Map<String, String[]> counts) {
        this.sim = sim;
        this.budgetNanos = budgetNanos;
        this.counts = counts;
    }

    public static void main(String[] args) throws IOException {
        long budgetMs = 2500;
        String only = "";
        Map<String, String[]> counts = new HashMap<>();
        for (int i = 0; i + 1 < args.length; i += 2) {
            switch (args[i]) {
                case "--plan" -> {
                    List<String> plan = new ArrayList<>();
                    for (Case c : cases()) {
                        plan.add("== " + c.label());
                        plan.addAll(c.setup());
                        plan.add(c.call());
                    }
                    Files.write(Path.of(args[i + 1]), plan);
                    return;
                }
                case "--budget-ms" -> budgetMs = Long.parseLong(args[i + 1]);
                case "--only" -> only = args[i + 1];
                case "--counts" -> {
                    for (String line : Files.readAllLines(Path.of(args[i + 1]))) {
                        String[] f = line.split("\t");
                        if (f.length == 3) counts.put(f[0], new String[] {f[1], f[2]});
                    }
                }
                default -> throw new IllegalArgumentException("unknown option " + args[i]);
            }
        }
        System.loadLibrary("cmnbench");  // the floor's client; --plan does without it
        SimExecutor sim = SimExecutor.fromEnvironment();
        sim.start();
        try {
            new Bench(sim, budgetMs * 1_000_000L, counts).run(only);
        } finally {
            sim.stop();
        }
    }

    private void run(String only) {
        System.out.printf("JVM: %s %s; %d blocks alternating floor and library, at most %d calls a figure%n%n",
                System.getProperty("java.vm.name"), System.getProperty("java.version"), BLOCKS, MAX_CALLS);
        Map<String, List<String>> tables = new LinkedHashMap<>();
        for (Case c : cases()) {
            if (!c.label().contains(only)) {
                continue;
            }
            c.setup().forEach(this::setUp);
            tables.computeIfAbsent(c.family(), f -> new ArrayList<>()).add(measure(c));
        }
        tables.forEach((family, rows) -> {
            System.out.println("### " + family);
            System.out.println();
            System.out.println("| call | request bytes | floor µs median / p99 | library µs median / p99 | ratio"
                    + " | added µs | added ns per entry | JNI lookups | instructions |");
            System.out.println("|---|---|---|---|---|---|---|---|---|");
            rows.forEach(System.out::println);
            System.out.println();
        });
    }

    private String measure(Case c) {
        Call measured = call(c.call());
        IntSupplier call = () -> measured.invoke(lib);
        // Warm the JIT and both connections, and check that the call does what it should.
        long warmStart = System.nanoTime();
        int warmCalls = 0;
        while (warmCalls < 200 || System.nanoTime() - warmStart < budgetNanos / 10) {
            must(call.getAsInt(), c.label());
            warmCalls++;
        }
        checkEntries(measured, c.entries());
        long perCall = Math.max(1, (System.nanoTime() - warmStart) / warmCalls);
        int before = sim.recordCount();
        call.getAsInt();
        int sent = sim.recordCount() - before;
        byte[][] requests = new byte[sent][];
        List<String> lengths = new ArrayList<>();
        for (int j = 0; j < sent; j++) {
            requests[j] = sim.record(j - sent);
            lengths.add(Integer.toString(requests[j].length));
        }
        checked(open(sim.device.toString(), requests));
        IntSupplier floorCall = Bench::replay;
        for (int i = 0; i < 2000; i++) {
            checked(floorCall.getAsInt());
        }

        // Both timed alike, call by call from Java, in alternating blocks.
        int perBlock = (int) Math.max(20, Math.min(MAX_CALLS / BLOCKS, budgetNanos / BLOCKS / perCall));
        long[] floor = new long[perBlock * BLOCKS];
        long[] library = new long[perBlock * BLOCKS];
        // Each side goes first in every other block, so that neither alone pays what a switch
        // between the two leaves behind (the executor's bookkeeping, caches, the JIT's work).
        for (int b = 0; b < BLOCKS; b++) {
            if (b % 2 == 0) {
                timeFloor(floorCall, floor, b * perBlock, perBlock);
                time(call, library, b * perBlock, perBlock);
            } else {
                time(call, library, b * perBlock, perBlock);
                timeFloor(floorCall, floor, b * perBlock, perBlock);
            }
        }
        close();
        Stats f = Stats.of(floor);
        Stats l = Stats.of(library);
        double added = l.median() - f.median();
        String perEntry = c.entries() > 0 ? String.format("%.1f", added * 1000 / c.entries()) : "";
        String[] count = counts.getOrDefault(c.label(), new String[] {"", ""});
        return String.format("| %s | %s | %.1f / %.1f | %.1f / %.1f | %.2f | %.1f | %s | %s | %s |",
                c.label(), String.join(" + ", lengths), f.median(), f.p99(), l.median(), l.p99(),
                l.median() / f.median(), added, perEntry, count[1], count[0]);
    }

    /** Times {@code count} calls into {@code nanos} from {@code at}. */
    private static void time(IntSupplier call, long[] nanos, int at, int count) {
        for (int i = 0; i < count; i++) {
            long start = System.nanoTime();
            call.getAsInt();
            nanos[at + i] = System.nanoTime() - start;
        }
    }

    /** The same for the floor, whose every call must succeed. */
    private static void timeFloor(IntSupplier floorCall, long[] nanos, int at, int count) {
        for (int i = 0; i < count; i++) {
            long start = System.nanoTime();
            int result = floorCall.getAsInt();
            nanos[at + i] = System.nanoTime() - start;
            if (result != 0) {
                checked(result);
            }
        }
    }

    /** A list call's text holds as many entries as the case set up. */
    private static void checkEntries(Call measured, int expected) {
        for (Object arg : measured.args()) {
            if (arg instanceof StringBuffer text && text.chars().filter(ch -> ch == '+').count() != expected) {
                throw new IllegalStateException("the list holds " + text + ", not " + expected + " entries");
            }
        }
    }

    private static void checked(int error) {
        if (error != 0) {
            throw new IllegalStateException("the floor's client failed with error " + error);
        }
    }

    // ---- Cases, as lines of the plan language the JNI host runs -----------------------------

    private static List<Case> cases() {
        List<Case> all = new ArrayList<>();
        String small = "Status and report calls";
        List<String> oneOfEach = new ArrayList<>(reset());
        oneOfEach.add("addClusterNative CMNCluster{sClusterId='bench'}");
        oneOfEach.add("addPortNative CMNPort{ClusterId='bench' PortNumber=80}");
        for (String call : List.of("getPortStatusNative CMNPort{ClusterId='bench' PortNumber=80}",
                "getExecutorReportNative CMNExecutorReport", "getExecutorStatusNative CMNExecutor",
                "getClusterStatusNative CMNCluster{sClusterId='bench'}")) {
            all.add(new Case(small, call.substring(0, call.indexOf(' ')), 0, oneOfEach, call));
        }

        String clusters = "Cluster list (identifiers of 64 characters)";
        String listClusters = "getClustersListNative java/lang/StringBuffer";
        for (int n : new int[] {10, 100, 256}) {
            List<String> setup = reset();
            for (int i = 0; i < n; i++) {
                setup.add("addClusterNative CMNCluster{sClusterId='" + clusterId(i) + "'}");
            }
            all.add(new Case(clusters, "getClustersListNative " + n, n, setup, listClusters));
        }
        // The block's most: the count in the executor report, then a whole answer of entries.
        int most = 888;
        ByteBuffer entries = ByteBuffer.allocate(most * 72).order(ByteOrder.LITTLE_ENDIAN);
        for (int i = 0; i < most; i++) {
            entries.put(i * 72, ascii(clusterId(i))).putInt(i * 72 + 68, i + 1);
        }
        all.add(new Case(clusters, "getClustersListNative 888 scripted", most,
                scripted("CMD 3 MODEL PUT 220 " + le(most), "CMD 6 PUT 16 " + le(most) + " PUT 20", entries),
                listClusters));

        String ports = "Port list";
        String listPorts = "getPortsListNative 'ports' java/lang/StringBuffer";
        for (int n : new int[] {10, 100, 1024}) {
            List<String> setup = reset();
            setup.add("addClusterNative CMNCluster{sClusterId='ports' MaxNumberOfPorts=1024 SetMaxNumberOfPorts=1}");
            for (int i = 1; i <= n; i++) {
                setup.add("addPortNative CMNPort{ClusterId='ports' PortNumber=" + i + "}");
            }
            all.add(new Case(ports, "getPortsListNative " + n, n, setup, listPorts));
        }
        most = 7999;
        entries = ByteBuffer.allocate(most * 8).order(ByteOrder.BIG_ENDIAN);
        for (int i = 0; i < most; i++) {
            entries.putShort(i * 8, (short) (i + 1));
        }
        all.add(new Case(ports, "getPortsListNative 7999 scripted", most,
                scripted("CMD 9 PUT 24 " + le(most), "CMD 12 PUT 20 " + le(most) + " PUT 24", entries), listPorts));

        // One answer holds 726 servers: the block's most is the executor's most for a list.
        String servers = "Server list (identifiers of 64 characters, keys into an int[726])";
        for (int n : new int[] {10, 100, 726}) {
            entries = ByteBuffer.allocate(n * 88).order(ByteOrder.LITTLE_ENDIAN);
            for (int i = 0; i < n; i++) {
                entries.putInt(i * 88, i + 1).put(i * 88 + 8, ascii("server" + clusterId(i).substring(7)));
            }
            all.add(new Case(servers, "getServersListNative " + n + " scripted", n,
                    scripted("CMD 15 PUT 36 " + le(n), "CMD 31 PUT 36 " + le(n) + " PUT 48", entries),
                    "getServersListNative 'servers' 80 java/lang/StringBuffer int[726]"));
        }
        return all;
    }

    /** A fresh executor that takes 256 clusters. */
    private static List<String> reset() {
        return new ArrayList<>(List.of("> RESET",
                "setExecutorStatusNative CMNExecutor{MaxNumberOfClusters=256 SetMaxNumberOfClusters=1}"));
    }

    /** A fresh executor whose answers are scripted: a count first, then the answer of entries. */
    private static List<String> scripted(String count, String answer, ByteBuffer entries) {
        List<String> setup = reset();
        setup.add("> SCRIPT " + count);
        setup.add("> SCRIPT " + answer + " " + HexFormat.of().formatHex(entries.array()));
        return setup;
    }

    static String clusterId(int i) {
        StringBuilder id = new StringBuilder(String.format("cluster-%04d.", i));
        while (id.length() < CLUSTER_ID_LENGTH) {
            id.append((char) ('a' + id.length() % 26));
        }
        return id.toString();
    }

    private static byte[] ascii(String text) {
        return text.getBytes(StandardCharsets.US_ASCII);
    }

    private static String le(int value) {
        return HexFormat.of().formatHex(
                ByteBuffer.allocate(4).order(ByteOrder.LITTLE_ENDIAN).putInt(value).array());
    }

    // ---- Plan lines run from Java ------------------------------------------------------------

    /** A call line made ready once: the entry point and its arguments. */
    private record Call(String line, Method method, Object[] args) {
        int invoke(CMNExecutorInterface lib) {
            for (Object arg : args) {
                if (arg instanceof StringBuffer text) {
                    text.setLength(0);
                }
            }
            try {
                return (Integer) method.invoke(lib, args);
            } catch (ReflectiveOperationException e) {
                throw new IllegalStateException(line + " failed", e);
            }
        }
    }

    /** Runs a setup line: a control line for the executor, or a call that must succeed. */
    private void setUp(String line) {
        if (line.startsWith("> ")) {
            sim.command(line.substring(2));
        } else {
            must(call(line).invoke(lib), line);
        }
    }

    /** A call line: the entry point, then its arguments: numbers, 'text', null, true or false,
     *  CLASS or CLASS{FIELD=VALUE ...} (a new object), int[N]. */
    static Call call(String line) {
        List<String> words = words(line);
        Method method = Arrays.stream(CMNExecutorInterface.class.getMethods())
                .filter(m -> m.getName().equals(words.get(0))).findFirst()
                .orElseThrow(() -> new IllegalArgumentException("no entry point: " + line));
        Class<?>[] types = method.getParameterTypes();
        if (types.length != words.size() - 1) {
            throw new IllegalArgumentException("wrong number of arguments: " + line);
        }
        Object[] args = new Object[types.length];
        try {
            for (int i = 0; i < types.length; i++) {
                args[i] = value(words.get(i + 1), types[i]);
            }
        } catch (ReflectiveOperationException | RuntimeException e) {
            throw new IllegalArgumentException("can't run: " + line, e);
        }
        return new Call(line, method, args);
    }

    private static Object value(String word, Class<?> type) throws ReflectiveOperationException {
        if (word.equals("null")) {
            return null;
        } else if (word.startsWith("'")) {
            return word.substring(1, word.length() - 1);
        } else if (type == boolean.class) {
            return Boolean.parseBoolean(word);
        } else if (type == int.class) {
            return Long.decode(word).intValue();
        } else if (type == byte.class) {
            return Long.decode(word).byteValue();
        } else if (word.startsWith("int[")) {
            return new int[Integer.parseInt(word.substring(4, word.length() - 1))];
        }
        int brace = word.indexOf('{');
        String name = brace < 0 ? word : word.substring(0, brace);
        Class<?> cls = Class.forName(name.contains("/") ? name.replace('/', '.') : Bench.class.getPackageName() + "." + name);
        Object object = cls.getConstructor().newInstance();
        if (brace >= 0) {
            for (String assign : words(word.substring(brace + 1, word.length() - 1))) {
                int equals = assign.indexOf('=');
                Field field = cls.getField(assign.substring(0, equals));
                field.set(object, value(assign.substring(equals + 1), field.getType()));
            }
        }
        return object;
    }

    /** A line's words, a quoted text or a {...} or [...] group kept whole. */
    private static List<String> words(String line) {
        List<String> words = new ArrayList<>();
        StringBuilder word = new StringBuilder();
        int depth = 0;
        boolean quoted = false;
        for (char c : line.toCharArray()) {
            if (c == ' ' && depth == 0 && !quoted) {
                if (word.length() > 0) {
                    words.add(word.toString());
                }
                word.setLength(0);
                continue;
            }
            quoted ^= c == '\'';
            depth += quoted ? 0 : c == '{' || c == '[' ? 1 : c == '}' || c == ']' ? -1 : 0;
            word.append(c);
        }
        if (word.length() > 0) {
            words.add(word.toString());
        }
        return words;
    }

    private static void must(int result, String what) {
        if (result != 0) {
            throw new IllegalStateException(what + " returned " + result);
        }
    }
}
