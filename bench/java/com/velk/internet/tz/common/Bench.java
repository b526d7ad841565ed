package com.velk.internet.tz.common;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
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
 * <pre>Bench [--counts FILE] [--budget-ms N] [--only TEXT]</pre>
 * FILE holds "label instructions lookups" lines from the instruction counter; TEXT limits the
 * run to the cases whose label contains it.
 */
final class Bench {
    static {
        System.loadLibrary("cmnbench");
    }

    /** Connects the floor's client to the executor and keeps one call's requests; 0 or an errno. */
    static native int open(String device, byte[][] requests);

    /** Sends the kept requests once, reading each answer whole; 0 or an errno. */
    static native int replay();

    static native void close();

    private static final int BLOCKS = 10;
    private static final int MAX_CALLS = 100_000;
    private static final int CLUSTER_ID_LENGTH = 64;

    private record Case(String family, String label, int entries, Runnable setup, IntSupplier call) {}

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
            c.setup().run();
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
        // Warm the JIT and both connections, and check that the call does what it should.
        long warmStart = System.nanoTime();
        int warmCalls = 0;
        while (warmCalls < 200 || System.nanoTime() - warmStart < budgetNanos / 10) {
            int result = c.call().getAsInt();
            if (result != 0) {
                throw new IllegalStateException(c.label() + " returned " + result);
            }
            warmCalls++;
        }
        long perCall = Math.max(1, (System.nanoTime() - warmStart) / warmCalls);
        int before = sim.recordCount();
        c.call().getAsInt();
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
        IntSupplier call = c.call();
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

    private static void checked(int error) {
        if (error != 0) {
            throw new IllegalStateException("the floor's client failed with error " + error);
        }
    }

    // ---- Cases -----------------------------------------------------------------------------

    private List<Case> cases() {
        List<Case> all = new ArrayList<>();
        String small = "Status and report calls";
        CMNExecutor executor = new CMNExecutor();
        CMNExecutorReport report = new CMNExecutorReport();
        CMNCluster cluster = new CMNCluster("bench");
        CMNPort port = new CMNPort("bench", 80);
        Runnable oneOfEach = () -> {
            reset();
            must(lib.addClusterNative(new CMNCluster("bench")), "cluster add");
            must(lib.addPortNative(new CMNPort("bench", 80)), "port add");
        };
        all.add(new Case(small, "getPortStatusNative", 0, oneOfEach, () -> lib.getPortStatusNative(port)));
        all.add(new Case(small, "getExecutorReportNative", 0, oneOfEach,
                () -> lib.getExecutorReportNative(report)));
        all.add(new Case(small, "getExecutorStatusNative", 0, oneOfEach,
                () -> lib.getExecutorStatusNative(executor)));
        all.add(new Case(small, "getClusterStatusNative", 0, oneOfEach,
                () -> lib.getClusterStatusNative(cluster)));

        String clusters = "Cluster list (identifiers of 64 characters)";
        for (int n : new int[] {10, 100, 256}) {
            all.add(new Case(clusters, "getClustersListNative " + n, n, () -> addClusters(n),
                    () -> lib.getClustersListNative(new StringBuffer())));
        }
        all.add(new Case(clusters, "getClustersListNative 888 scripted", 888, () -> scriptClusters(888),
                () -> lib.getClustersListNative(new StringBuffer())));

        String ports = "Port list";
        for (int n : new int[] {10, 100, 1024}) {
            all.add(new Case(ports, "getPortsListNative " + n, n, () -> addPorts(n),
                    () -> lib.getPortsListNative("ports", new StringBuffer())));
        }
        all.add(new Case(ports, "getPortsListNative 7999 scripted", 7999, this::scriptPorts,
                () -> lib.getPortsListNative("ports", new StringBuffer())));

        // One answer holds 726 servers: the block's most is the executor's most for a list.
        String servers = "Server list (identifiers of 64 characters, keys into an int[726])";
        int[] keys = new int[726];
        for (int n : new int[] {10, 100, 726}) {
            all.add(new Case(servers, "getServersListNative " + n + " scripted", n, () -> scriptServers(n),
                    () -> lib.getServersListNative("servers", 80, new StringBuffer(), keys)));
        }
        return all;
    }

    private void reset() {
        sim.command("RESET");
        CMNExecutor e = new CMNExecutor();
        e.MaxNumberOfClusters = 256;
        e.SetMaxNumberOfClusters = 1;
        must(lib.setExecutorStatusNative(e), "executor settings");
    }

    static String clusterId(int i) {
        StringBuilder id = new StringBuilder(String.format("cluster-%04d.", i));
        while (id.length() < CLUSTER_ID_LENGTH) {
            id.append((char) ('a' + id.length() % 26));
        }
        return id.toString();
    }

    private void addClusters(int n) {
        reset();
        for (int i = 0; i < n; i++) {
            must(lib.addClusterNative(new CMNCluster(clusterId(i))), "cluster add " + i);
        }
        checkEntries(lib::getClustersListNative, n);
    }

    private void addPorts(int n) {
        reset();
        CMNCluster c = new CMNCluster("ports");
        c.MaxNumberOfPorts = 1024;
        c.SetMaxNumberOfPorts = 1;
        must(lib.addClusterNative(c), "cluster add");
        for (int i = 1; i <= n; i++) {
            must(lib.addPortNative(new CMNPort("ports", i)), "port add " + i);
        }
        checkEntries(list -> lib.getPortsListNative("ports", list), n);
    }

    /** The block's most: the count in the executor report, then a whole answer of entries. */
    private void scriptClusters(int n) {
        reset();
        ByteBuffer entries = ByteBuffer.allocate(n * 72).order(ByteOrder.LITTLE_ENDIAN);
        for (int i = 0; i < n; i++) {
            entries.position(i * 72);
            entries.put(clusterId(i).getBytes(java.nio.charset.StandardCharsets.US_ASCII));
            entries.putInt(i * 72 + 68, i + 1);
        }
        sim.script("CMD", "3", "MODEL", "PUT", "220", le(n));
        sim.script("CMD", "6", "PUT", "16", le(n), "PUT", "20", HexFormat.of().formatHex(entries.array()));
        checkEntries(lib::getClustersListNative, n);
    }

    private void scriptPorts() {
        reset();
        int n = 7999;
        ByteBuffer entries = ByteBuffer.allocate(n * 8).order(ByteOrder.BIG_ENDIAN);
        for (int i = 0; i < n; i++) {
            entries.putShort(i * 8, (short) (i + 1));
        }
        sim.script("CMD", "9", "PUT", "24", le(n));
        sim.script("CMD", "12", "PUT", "20", le(n), "PUT", "24", HexFormat.of().formatHex(entries.array()));
        checkEntries(list -> lib.getPortsListNative("ports", list), n);
    }

    private void scriptServers(int n) {
        reset();
        ByteBuffer entries = ByteBuffer.allocate(n * 88).order(ByteOrder.LITTLE_ENDIAN);
        for (int i = 0; i < n; i++) {
            entries.putInt(i * 88, i + 1);
            entries.position(i * 88 + 8);
            entries.put(serverId(i).getBytes(java.nio.charset.StandardCharsets.US_ASCII));
        }
        sim.script("CMD", "15", "PUT", "36", le(n));
        sim.script("CMD", "31", "PUT", "36", le(n), "PUT", "48", HexFormat.of().formatHex(entries.array()));
        checkEntries(list -> lib.getServersListNative("servers", 80, list, new int[n]), n);
    }

    static String serverId(int i) {
        return "server" + clusterId(i).substring("cluster".length());
    }

    private interface Lister {
        int list(StringBuffer into);
    }

    private static void checkEntries(Lister lister, int expected) {
        StringBuffer text = new StringBuffer();
        must(lister.list(text), "list");
        long entries = text.chars().filter(ch -> ch == '+').count();
        if (entries != expected) {
            throw new IllegalStateException("the list holds " + entries + " entries, not " + expected);
        }
    }

    private static String le(int value) {
        return HexFormat.of().formatHex(
                ByteBuffer.allocate(4).order(ByteOrder.LITTLE_ENDIAN).putInt(value).array());
    }

    private static void must(int result, String what) {
        if (result != 0) {
            throw new IllegalStateException(what + " returned " + result);
        }
    }
}
