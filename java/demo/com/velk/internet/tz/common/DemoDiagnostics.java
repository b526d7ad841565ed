package com.velk.internet.tz.common;

/**
 * The diagnostic views: server-directed affinity bindings handed to the executor and the
 * affinity report of their port, the connection report, half-open connections and attacking
 * addresses through listeners, the denial-of-service parameters, the miscellaneous counter dump
 * and the ICMP response record.
 */
final class DemoDiagnostics {
    private static final int CLUSTER = 0x0A010203;  // 10.1.2.3, first octet in the top byte
    private static final int PORT = 80;

    private DemoDiagnostics() {
    }

    /** Runs the views in order; false, after saying why, when one of them fails. */
    static boolean show(CMNExecutorInterface executor) {
        try {
            affinity(executor);
            connections(executor);
            counters(executor);
            icmp(executor);
            return true;
        } catch (IllegalStateException failure) {
            System.out.println("  " + failure.getMessage());
            return false;
        }
    }

    private static void expect(String call, int result, int wanted) {
        System.out.println("  " + call + " = " + result);
        if (result != wanted) {
            throw new IllegalStateException(call + " gave " + result + ", not " + wanted);
        }
    }

    /** Each line of a report, indented; a null report fails the view. */
    private static void print(String call, String report) {
        System.out.println("  " + call + ":");
        if (report == null || report.startsWith("Error with kernel")) {
            throw new IllegalStateException(call + " gave " + report);
        }
        report.lines().forEach(line -> System.out.println("    " + line));
    }

    /** An address as it lies in memory (network order) in an int, the form affinity bindings travel in. */
    private static int inMemory(int a, int b, int c, int d) {
        return Integer.reverseBytes(a << 24 | b << 16 | c << 8 | d);
    }

    private static String dotted(int v) {
        return (v >>> 24) + "." + (v >> 16 & 255) + "." + (v >> 8 & 255) + "." + (v & 255);
    }

    private static void affinity(CMNExecutorInterface executor) {
        System.out.println("== Affinity: two clients bound to their servers by the server side");
        CMNAffinity bind = new CMNAffinity();
        bind.iCommand = 1;
        bind.iClusterAddr = Integer.reverseBytes(CLUSTER);
        bind.iPort = PORT;
        bind.iNumAffinities = 2;
        bind.aiClientAddr[0] = inMemory(172, 16, 4, 1);
        bind.aiServerAddr[0] = inMemory(10, 1, 0, 11);
        bind.aiClientAddr[1] = inMemory(172, 16, 4, 2);
        bind.aiServerAddr[1] = inMemory(10, 1, 0, 12);
        expect("serverDirectedAffinityNative(bind 2)", executor.serverDirectedAffinityNative(bind), 0);
        System.out.println("    response " + bind.iResponse + ", bindings on the port " + bind.iNumAffinities);
        print("getAffinityInfoNative(10.1.2.3, 80, list)", executor.getAffinityInfoNative(CLUSTER, PORT, 1));
        System.out.println();
    }

    private static void connections(CMNExecutorInterface executor) {
        System.out.println("== Connections, half-open connections and attackers");
        print("getConnectionInfoNative(any, list)", executor.getConnectionInfoNative(0, 0, 0, 0, 0, 0, 1));
        CMNHalfOpenListener halfOpen = new CMNHalfOpenListener();
        expect("getHalfOpenInfoNative", executor.getHalfOpenInfoNative(halfOpen), 0);
        for (CMNHalfOpenListener.Record r : halfOpen.records) {
            System.out.println("    half-open " + r.index + ": " + dotted(r.address) + ":" + r.port
                    + (r.flag ? " (flagged)" : ""));
        }
        CMNAttackListener attack = new CMNAttackListener();
        expect("getAttackingAddrsNative(10.1.2.3, 80)", executor.getAttackingAddrsNative(attack, CLUSTER, PORT), 0);
        System.out.println("    " + attack.iNumAttackers + " attacking addresses, figure " + attack.iFigure);
        for (CMNAttackListener.Attacker a : attack.attackers) {
            System.out.println("    attacker " + dotted(a.address) + " figure " + a.figure);
        }
        expect("xDOSAttackNative(...)", executor.xDOSAttackNative(1, 500, 60, 10, 0, 0, 0, 0), 0);
        System.out.println();
    }

    private static void counters(CMNExecutorInterface executor) {
        System.out.println("== The executor's counters");
        print("xmiscNative(99)", executor.xmiscNative(99, 0, 0, 0));
        System.out.println();
    }

    private static void icmp(CMNExecutorInterface executor) {
        System.out.println("== The ICMP response record");
        CMNIcmp record = new CMNIcmp();
        record.iGotIcmpResp = 1;
        record.iIcmpRespAddr = inMemory(10, 1, 0, 11);
        expect("setIcmpInfoNative(got, 10.1.0.11)", executor.setIcmpInfoNative(record), 0);
        CMNIcmp read = new CMNIcmp();
        expect("getIcmpInfoNative", executor.getIcmpInfoNative(read), 0);
        System.out.println("    got response " + read.iGotIcmpResp + " from "
                + dotted(Integer.reverseBytes(read.iIcmpRespAddr)));
    }
}
