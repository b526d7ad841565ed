package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNPort;
import com.velk.internet.tz.common.CMNRule;
import com.velk.internet.tz.common.CMNServer;
import com.velk.internet.tz.common.CMNWeights;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;
import java.util.function.ToIntFunction;

/**
 * The error table against the library. For each method below, every executor reason from -1 to
 * -120 is scripted as the answer to the method's own command: each code the method gives must
 * have a sentence of its own. Each velkctl command line of the arguments file ("method code
 * args...") must end in that code's error line. Codes the table names that neither reached are
 * listed as NOT REACHED.
 */
public final class ErrorCoverage {
    private record Probe(int command, ToIntFunction<CMNExecutorInterface> call) {
    }

    private static final Map<String, Probe> PROBES = new LinkedHashMap<>();

    static {
        PROBES.put("addClusterNative", new Probe(4, a -> a.addClusterNative(cluster("cov2"))));
        PROBES.put("removeClusterNative", new Probe(5, a -> a.removeClusterNative(cluster("cov"))));
        PROBES.put("getClusterStatusNative",
                new Probe(7, a -> a.getClusterStatusNative(cluster("cov"))));
        PROBES.put("setClusterStatusNative",
                new Probe(8, a -> a.setClusterStatusNative(cluster("cov"))));
        PROBES.put("getClusterReportNative",
                new Probe(9, a -> a.getClusterReportNative(cluster("cov"))));
        PROBES.put("addPortNative", new Probe(10, a -> a.addPortNative(new CMNPort("cov", 81))));
        PROBES.put("removePortNative", new Probe(11, a -> {
            CMNPort p = new CMNPort("cov", 80);
            p.ClusterAddress = "10.0.1.10";
            return a.removePortNative(p);
        }));
        PROBES.put("getPortStatusNative",
                new Probe(13, a -> a.getPortStatusNative(new CMNPort("cov", 80))));
        PROBES.put("setPortStatusNative",
                new Probe(14, a -> a.setPortStatusNative(new CMNPort("cov", 80))));
        PROBES.put("getPortReportNative",
                new Probe(15, a -> a.getPortReportNative(new CMNPort("cov", 80))));
        PROBES.put("addServerNative", new Probe(27, a -> a.addServerNative(server(a, "s2"))));
        PROBES.put("removeServerNative",
                new Probe(28, a -> a.removeServerNative(server(a, "s1"))));
        PROBES.put("setServerDownNative",
                new Probe(29, a -> a.setServerDownNative(server(a, "s1"))));
        PROBES.put("setServerUpNative", new Probe(30, a -> a.setServerUpNative(server(a, "s1"))));
        PROBES.put("setServerStatusNative",
                new Probe(32, a -> a.setServerStatusNative(server(a, "s1"))));
        PROBES.put("getServerReportNative",
                new Probe(33, a -> a.getServerReportNative(server(a, "s1"))));
        PROBES.put("getServerStatusNative",
                new Probe(56, a -> a.getServerStatusNative(server(a, "s1"))));
        PROBES.put("getServerWeightsNative", new Probe(17, a -> a.getServerWeightsNative(
                weights(a), 1)));
        PROBES.put("setServerWeightsNative", new Probe(16, a -> a.setServerWeightsNative(
                weights(a), 1)));
        PROBES.put("addRuleNative", new Probe(18, a -> a.addRuleNative(rule("r2"))));
        PROBES.put("removeRuleNative", new Probe(19, a -> a.removeRuleNative(rule("r1"))));
        PROBES.put("getRuleStatusNative", new Probe(21, a -> a.getRuleStatusNative(rule("r1"))));
        PROBES.put("getRuleReportNative", new Probe(23, a -> a.getRuleReportNative(rule("r1"))));
        PROBES.put("addServertoRuleNative", new Probe(24,
                a -> a.addServertoRuleNative(rule("r1"), server(a, "s1"), 0)));
        PROBES.put("removeServerfromRuleNative", new Probe(25,
                a -> a.removeServerfromRuleNative(rule("r1"), server(a, "s1"), 0)));
        PROBES.put("addReachNative",
                new Probe(43, a -> a.addReachNative("192.168.7.9", "255.255.255.0", 1)));
        PROBES.put("delReachNative", new Probe(44, a -> a.delReachNative("192.168.7.1")));
        PROBES.put("delHBNative", new Probe(46, a -> a.delHBNative("10.1.9.9")));
        PROBES.put("setTimersNative",
                new Probe(50, a -> a.setTimersNative("1", "2", "3", "4", "5", "6", "7")));
        PROBES.put("takeoverNative", new Probe(51, a -> a.takeoverNative("10.1.9.9")));
    }

    /** Every reason some method maps to a code of its own, and one that none does (-120). */
    private static final int[] REASONS = {-1, -2, -3, -4, -5, -7, -8, -9, -11, -13, -14, -15,
        -18, -27, -33, -36, -43, -44, -45, -46, -47, -48, -49, -51, -52, -53, -54, -55, -56,
        -58, -61, -62, -70, -84, -87, -120};

    private ErrorCoverage() {
    }

    private static CMNCluster cluster(String id) {
        CMNCluster c = new CMNCluster(id);
        c.Address = "10.0.1.11";
        return c;
    }

    private static CMNServer server(CMNExecutorInterface a, String id) {
        CMNServer s = new CMNServer("cov", 80, id);
        s.iServerIdKey = a.calcClusterIdKeyNative(id, null);
        return s;
    }

    private static CMNRule rule(String name) {
        CMNRule r = new CMNRule("cov", 80, name);
        r.SetRuleType = 1;
        return r;
    }

    private static CMNWeights weights(CMNExecutorInterface a) {
        CMNWeights w = new CMNWeights(1);
        w.sClusterID = "cov";
        w.iPortNumber = 80;
        w.iServerIdKey[0] = a.calcClusterIdKeyNative("s1", null);
        w.iWeight[0] = 1;
        return w;
    }

    private static void ctl(String... words) throws IOException, InterruptedException {
        List<String> command = new ArrayList<>(List.of("velklb-ctl"));
        command.addAll(List.of(words));
        Process p = new ProcessBuilder(command).redirectErrorStream(true).start();
        p.getInputStream().readAllBytes();
        if (p.waitFor() != 0) {
            throw new IllegalStateException("control line failed: " + command);
        }
    }

    private static int velkctl(String line) {
        ByteArrayOutputStream sink = new ByteArrayOutputStream();
        PrintStream stream = new PrintStream(sink, true, StandardCharsets.UTF_8);
        return Velkctl.run(Session.words(line).toArray(new String[0]), stream, stream);
    }

    public static void main(String[] args) throws Exception {
        List<String> failures = new ArrayList<>();
        for (String line : List.of("cluster add cov --address 10.0.1.10", "port add cov 80",
                "server add cov 80 s1", "rule add cov 80 r1 --rule-type 0", "rule bind cov 80 r1 s1",
                "ha add --reach 192.168.7.1 --mask 255.255.255.0", "ha add --role 1 --port 4567")) {
            if (velkctl(line) != 0) {
                failures.add("setup failed: " + line);
            }
        }
        CMNExecutorInterface api = new CMNExecutorInterface();
        Map<String, Set<Integer>> reached = new LinkedHashMap<>();
        for (Map.Entry<String, Probe> e : PROBES.entrySet()) {
            Set<Integer> codes = new TreeSet<>();
            for (int reason : REASONS) {
                ctl("SCRIPT", "CMD", String.valueOf(e.getValue().command()), "TIMES", "1",
                        "RESULT", "-1", "REASON", String.valueOf(reason));
                codes.add(e.getValue().call().applyAsInt(api));
            }
            codes.remove(0);
            for (int code : codes) {
                if (ErrorTable.sentence(e.getKey(), code).equals("unknown error")) {
                    failures.add(e.getKey() + " gives " + code + ", which has no sentence");
                }
            }
            reached.put(e.getKey(), codes);
        }
        // Codes only the arguments can bring: each line must show its code.
        for (String line : Files.readAllLines(Path.of(args[0]), StandardCharsets.UTF_8)) {
            if (line.isBlank() || line.startsWith("#")) {
                continue;
            }
            String[] parts = line.split(" ", 3);
            ByteArrayOutputStream err = new ByteArrayOutputStream();
            Velkctl.run(Session.words(parts[2]).toArray(new String[0]),
                    new PrintStream(new ByteArrayOutputStream(), true, StandardCharsets.UTF_8),
                    new PrintStream(err, true, StandardCharsets.UTF_8));
            String text = err.toString(StandardCharsets.UTF_8).strip();
            if (!text.endsWith("(" + parts[1] + ")")) {
                failures.add(line + ": gave " + text);
            }
            reached.computeIfAbsent(parts[0], k -> new TreeSet<>())
                    .add(Integer.parseInt(parts[1]));
        }
        for (String method : PROBES.keySet()) {
            for (int code : ErrorTable.codesOf(method).keySet()) {
                if (!reached.get(method).contains(code)) {
                    System.out.println("NOT REACHED " + method + " " + code);
                }
            }
        }
        reached.forEach((m, codes) -> System.out.println(m + " " + codes));
        failures.forEach(f -> System.out.println("FAIL " + f));
        System.exit(failures.isEmpty() ? 0 : 1);
    }
}
