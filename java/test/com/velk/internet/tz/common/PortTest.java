package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.ClusterTest.UNRESOLVABLE;
import static com.velk.internet.tz.common.ClusterTest.answer;
import static com.velk.internet.tz.common.ClusterTest.assertBytes;
import static com.velk.internet.tz.common.ClusterTest.get;
import static com.velk.internet.tz.common.ClusterTest.hexFrom;
import static com.velk.internet.tz.common.ClusterTest.le32;
import static com.velk.internet.tz.common.ClusterTest.setBytes;
import static com.velk.internet.tz.common.SimExecutor.*;
import static java.util.stream.Collectors.joining;
import static org.junit.jupiter.api.Assertions.*;

import java.nio.ByteBuffer;
import java.util.Arrays;
import java.util.List;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** Port records: requests as the executor receives them, answers as Java sees them. */
class PortTest extends ExecutorTestBase {
    /** Flag fields by offset, 80 to 91. */
    static final String[] FLAGS = {"SetMaxNumberOfServers", "SetStickyTime", "SetPortProtocol", "SetStickyBits",
        "SetStaleTimeout", "SetWeightBound", "SetType", "SetMethod", "SetReplicate", "SetCrossPort",
        "SetMaxHalfOpen", "SetSendReset"};
    static final List<String> METHODS = List.of("add", "set", "remove", "status", "report", "cps");

    /** Every setting flagged, with values that show width, byte order and sign. */
    static CMNPort full(int number) {
        CMNPort p = new CMNPort("web", number);
        p.ClusterAddress = "10.0.0.1";
        p.MaxNumberOfServers = 0x89ABCDEF;
        p.StickyTime = -1;
        p.StaleTimeout = Integer.MIN_VALUE;
        p.iStickyBits = 0x01020304;
        p.WeightBound = 65535;
        p.Type = '\u1281';
        p.iMethod = -2;
        p.iPortProtocol = 0x12345;
        p.Replicate = 0x17F;
        p.iMaxHalfOpen = 0x0A0B0C0D;
        p.iCrossPort = 8080;
        p.SendReset = 0x5A;
        setBytes(p, FLAGS, 1);
        return p;
    }

    int call(String method, CMNPort p) {
        return switch (method) {
            case "add" -> lib.addPortNative(p);
            case "set" -> lib.setPortStatusNative(p);
            case "remove" -> lib.removePortNative(p);
            case "status" -> lib.getPortStatusNative(p);
            case "report" -> lib.getPortReportNative(p);
            case "cps" -> lib.setPortCPSNative(p);
            default -> throw new IllegalArgumentException(method);
        };
    }

    void addClusterWeb() {
        assertEquals(0, lib.addClusterNative(new CMNCluster("web")));
    }

    // ---- result codes ------------------------------------------------------------------------

    static Stream<Arguments> recordReasons() {
        int[][] rows = {{-87, -57}, {-84, -84}, {-62, -75}, {-61, -74}, {-56, -68}, {-55, -67}, {-54, -12},
            {-53, -66}, {-52, -65}, {-27, -38}, {-18, -73}, {-5, -5}, {-4, -30}, {-3, -14}, {-1, -12}, {-6, -99}};
        return Stream.concat(Stream.of(Arguments.of(0, -5, 0)),
                Arrays.stream(rows).map(r -> Arguments.of(-1, r[0], r[1])));
    }

    /** Add and set map alike; the flags come back as the executor left them, whatever the outcome. */
    @ParameterizedTest(name = "result {0}, reason {1} -> {2}")
    @MethodSource
    void recordReasons(int result, int reason, int expected) {
        for (String method : List.of("add", "set")) {
            sim.script("NEXT", "RESULT", "" + result, "REASON", "" + reason, "PUT", "80", "02030405060708090a0b0c0d");
            CMNPort p = full(80);
            assertEquals(expected, call(method, p), method);
            assertBytes(p, FLAGS, i -> i + 2);
        }
        assertEquals(2, sim.recordCount());
    }

    static Stream<Arguments> lookupReasons() {
        Object[][] methods = {{"remove", 11, 96}, {"status", 13, 96}, {"report", 15, 72}};
        int[][] rows = {{-5, -5}, {-1, -12}, {-3, -99}, {-2, -99}};
        return Arrays.stream(methods).flatMap(m -> Arrays.stream(rows)
                .map(r -> Arguments.of(m[0], m[1], m[2], r[0], r[1])));
    }

    @ParameterizedTest(name = "{0}: reason {3} -> {4}")
    @MethodSource
    void lookupReasons(String method, int command, int length, int reason, int expected) {
        CMNPort p = full(443);
        p.NumServers = 4242;
        sim.script("NEXT", "RESULT", "-1", "REASON", "" + reason);
        assertEquals(expected, call(method, p));
        byte[] r = sim.record(0);
        assertEquals(List.of(1, (long) command, (long) length, 443),
                List.of(sim.recordCount(), u32le(r, 0), u32le(r, 12), u16be(r, 20)));
        assertEquals(4242, p.NumServers, "a failed request writes nothing into Java");
    }

    static Stream<Arguments> refusals() {
        return METHODS.stream().flatMap(m -> Stream.of(Arguments.of(m, "web", -1, -10), Arguments.of(m, "web", 0, 0),
                Arguments.of(m, "web", 80, 0), Arguments.of(m, "web", 65535, 0), Arguments.of(m, "web", 65536, -10),
                Arguments.of(m, null, 80, -88)));
    }

    @ParameterizedTest(name = "{0} {1}:{2}")
    @MethodSource
    void refusals(String method, String clusterId, int number, int refused) {
        CMNPort p = full(number);
        p.ClusterId = clusterId;
        int result = call(method, p);
        if (refused != 0) {
            assertEquals(List.of(refused, 0), List.of(result, sim.recordCount()));
            return;
        }
        byte[] r = sim.record(-1);
        assertEquals(Integer.toUnsignedLong(lib.calcClusterIdKeyNative("web", null)), u32le(r, 16));
        assertEquals(List.of(number >> 8, number & 0xFF), List.of(u8(r, 20), u8(r, 21)));
    }

    // ---- the port record request -------------------------------------------------------------

    @Test
    void fullAddPutsEveryFieldAtItsOffset() {
        addClusterWeb();
        assertEquals(0, lib.addPortNative(full(80)));
        byte[] r = sim.record(-1);
        assertEquals(List.of(96, 10L, 96L, 0x0050, 0x89ABCDEFL, -1L, 0x2345, 0x01020304L, 0xFFFFFFFF80000000L),
                List.of(r.length, u32le(r, 0), u32le(r, 12), u16be(r, 20), u32le(r, 32), u64le(r, 40), u16le(r, 48),
                        u32le(r, 52), u64le(r, 56)));
        assertEquals(List.of(0xFFFF, 0x81, 0xFFFE, 0x7F, 0x1F90, 0x0A0B0C0DL, 0x5A),
                List.of(u16le(r, 64), u8(r, 66), u16le(r, 68), u8(r, 70), u16be(r, 72), u32le(r, 76), u8(r, 92)));
        for (int off = 80; off < 92; off++) {
            assertEquals(1, r[off], "flag at " + off);
        }
    }

    /** A busy executor gets the same block again after 6789 ms and, if still busy, after 6543 ms more. */
    @ParameterizedTest(name = "busy {0} times -> {1}")
    @CsvSource({"1, 0, 6789, 13332", "3, -28, 13332, 20000"})
    void busyExecutorIsAskedAgain(int busy, int expected, long minWait, long maxWait) {
        for (int i = 1; i < busy; i++) {
            sim.script("NEXT", "RESULT", "-1", "REASON", "-2");
        }
        sim.script("NEXT", "RESULT", "-1", "REASON", "-2", "PUT", "91", "07");
        sim.script("NEXT", "RESULT", "0");
        CMNPort p = full(80);
        long start = System.nanoTime();
        assertEquals(expected, busy == 1 ? lib.addPortNative(p) : lib.setPortStatusNative(p));
        long waited = (System.nanoTime() - start) / 1_000_000;
        assertTrue(waited >= minWait && waited < maxWait, waited + " ms");
        assertEquals(Math.min(busy + 1, 3), sim.recordCount());
        assertArrayEquals(Arrays.copyOfRange(sim.record(0), 12, 80), Arrays.copyOfRange(sim.record(-1), 12, 80));
        assertEquals(7, p.SetSendReset, "flags come back as the executor last left them");
    }

    // ---- answers ------------------------------------------------------------------------------

    @Test
    void statusFromAScriptedAnswer() {
        ByteBuffer a = answer(96).putInt(28, 0x11).putInt(32, 0x22334455).putLong(40, 0xFFFFFFFF00000005L)
                .putShort(48, (short) 0xFFFF).putInt(52, 0x66).putLong(56, 0x00000001FFFFFFFEL)
                .putShort(64, (short) 0xFFFF).put(66, (byte) 0x80).putShort(68, (short) 0x8001).put(70, (byte) 0xFE)
                .put(72, new byte[] {0x1F, (byte) 0x90}).putInt(76, 0x77).put(92, (byte) 0x85);
        sim.script("NEXT", "PUT", "28", hexFrom(a, 28));
        CMNPort p = full(80);
        setBytes(p, FLAGS, 9);
        assertEquals(0, lib.getPortStatusNative(p));
        assertEquals(List.of(13L, 96L), List.of(u32le(sim.record(-1), 0), u32le(sim.record(-1), 12)));
        assertEquals(List.of(0x11, 0x22334455, 5, 65535, 0x66, -2, -1, -32767, 254, 8080, 0x77),
                List.of(p.NumServers, p.MaxNumberOfServers, p.StickyTime, p.iPortProtocol, p.iStickyBits,
                        p.StaleTimeout, p.WeightBound, p.iMethod, p.Replicate, p.iCrossPort, p.iMaxHalfOpen));
        assertEquals('\uFF80', p.Type);
        assertEquals((byte) 0x85, p.SendReset);
        assertBytes(p, FLAGS, i -> 9);
    }

    /** Report fields by offset from 24; 40 and 56 are not read. */
    static final String[] REPORT = {"iConnectionsPerSecond", "ActiveConnections", "iNumHalfOpen", "NumServers", null,
        "NumNodesDown", "MaxWeight", "NumNodesLocal", null, "iBytesPerSecond", "iResetsSent"};

    @Test
    void reportTakesEachFieldFromItsOffset() {
        ByteBuffer a = answer(72).putShort(68, (short) 0xFFFE).putShort(70, (short) 0xFFFD);
        for (int i = 0; i < REPORT.length; i++) {
            a.putInt(24 + 4 * i, 0x7F000000 + i);
        }
        sim.script("NEXT", "PUT", "24", hexFrom(a, 24));
        CMNPort p = full(443);
        assertEquals(0, lib.getPortReportNative(p));
        assertEquals(List.of(15L, 72L), List.of(u32le(sim.record(-1), 0), u32le(sim.record(-1), 12)));
        for (int i = 0; i < REPORT.length; i++) {
            if (REPORT[i] != null) {
                assertEquals(0x7F000000 + i, get(p, REPORT[i]), REPORT[i]);
            }
        }
        assertEquals(List.of(65534, -3), List.of(p.iPortProtocol, p.iMethod));
    }

    @Test
    void removeRefusesAClusterAddressThatDoesNotResolve() {
        addClusterWeb();
        assertEquals(0, lib.addPortNative(new CMNPort("web", 80)));
        CMNPort p = full(80);
        p.ClusterAddress = UNRESOLVABLE;
        assertEquals(-3, lib.removePortNative(p));
        assertEquals(2, sim.recordCount());
        p.ClusterAddress = "10.0.0.1";
        assertEquals(0, lib.removePortNative(p), "the port was there all along");
        assertEquals(List.of(11L, 96L), List.of(u32le(sim.record(-1), 0), u32le(sim.record(-1), 12)));
    }

    @ParameterizedTest(name = "result {0}")
    @ValueSource(ints = {0, 7, -1})
    void rateSetterPassesTheResultThrough(int result) {
        CMNPort p = full(8080);
        p.iConnectionsPerSecond = -2;
        sim.script("NEXT", "RESULT", "" + result, "REASON", "-5");
        assertEquals(result, lib.setPortCPSNative(p));
        byte[] r = sim.record(-1);
        assertEquals(List.of(80L, 72L, 8080, 0xFFFFFFFEL),
                List.of(u32le(r, 0), u32le(r, 12), u16be(r, 20), u32le(r, 24)));
    }

    @Test
    void addSetStatusAndReportThroughTheModel() {
        CMNCluster c = new CMNCluster("web");
        c.SetDefaultPortStaleTimeout = 1;
        c.DefaultPortStaleTimeout = 900;
        c.SetDefaultPortType = 1;
        c.DefaultPortType = '\u0080';
        assertEquals(0, lib.addClusterNative(c));
        CMNPort added = full(443);
        added.SetType = 0;  // these two come from the cluster's defaults
        added.SetStaleTimeout = 0;
        assertEquals(0, lib.addPortNative(added));
        CMNPort change = new CMNPort("web", 443);  // every other value 0 and unflagged
        change.SetMaxNumberOfServers = 1;
        change.MaxNumberOfServers = 9;
        change.SetMethod = 1;
        change.iMethod = -3;
        assertEquals(0, lib.setPortStatusNative(change));
        CMNPort read = new CMNPort("WEB", 443);
        assertEquals(0, lib.getPortStatusNative(read));
        assertEquals(List.of(9, -3, -1, 0x2345, 0x01020304, 900, -1, 0x7F, 8080, 0x0A0B0C0D),
                List.of(read.MaxNumberOfServers, read.iMethod, read.StickyTime, read.iPortProtocol, read.iStickyBits,
                        read.StaleTimeout, read.WeightBound, read.Replicate, read.iCrossPort, read.iMaxHalfOpen));
        assertEquals('\uFF80', read.Type, "the cluster's default type, sign-extended");
        assertEquals(0x5A, read.SendReset);
        read.iConnectionsPerSecond = 25;
        assertEquals(0, lib.setPortCPSNative(read));
        CMNPort report = new CMNPort("web", 443);
        assertEquals(0, lib.getPortReportNative(report));
        assertEquals(List.of(25, 25 * 512, -1, 0x2345, -3), List.of(report.iConnectionsPerSecond,
                report.iBytesPerSecond, report.MaxWeight, report.iPortProtocol, report.iMethod));
    }

    // ---- the port list ------------------------------------------------------------------------

    @ParameterizedTest(name = "ports \"{0}\"")
    @ValueSource(strings = {"", "80,443"})
    void listFromTheModel(String ports) {
        assertEquals(List.of(-88, 0), List.of(lib.getPortsListNative(null, new StringBuffer()), sim.recordCount()));
        addClusterWeb();
        List<String> added = ports.isEmpty() ? List.of() : List.of(ports.split(","));
        for (String n : added) {
            assertEquals(0, lib.addPortNative(new CMNPort("web", Integer.parseInt(n))));
        }
        StringBuffer sb = new StringBuffer("x");
        assertEquals(0, lib.getPortsListNative("WEB", sb));
        assertEquals("x" + added.stream().map(n -> "+" + n).collect(joining()), sb.toString());
        long key = Integer.toUnsignedLong(lib.calcClusterIdKeyNative("web", null));
        byte[] report = sim.record(-2);
        assertEquals(List.of(9L, 72L, key), List.of(u32le(report, 0), u32le(report, 12), u32le(report, 16)));
        byte[] r = sim.record(-1);
        assertEquals(List.of(12L, 24L + 8 * added.size(), key, (long) added.size()),
                List.of(u32le(r, 0), u32le(r, 12), u32le(r, 16), u32le(r, 20)));
    }

    @Test
    void listNeverAsksOrReadsMoreThanFits() {
        ByteBuffer entries = answer(8 * 7999);
        for (int i = 0; i < 7999; i++) {
            entries.put(8 * i, (byte) ((65535 - i) >> 8)).put(8 * i + 1, (byte) (65535 - i));
        }
        sim.script("CMD", "9", "PUT", "24", le32(10000));
        sim.script("CMD", "12", "PUT", "20", le32(100000), "PUT", "24", hexFrom(entries, 0));
        StringBuffer sb = new StringBuffer();
        assertEquals(0, lib.getPortsListNative("web", sb));
        byte[] r = sim.record(-1);
        assertEquals(List.of(64016L, 7999L), List.of(u32le(r, 12), u32le(r, 20)));
        assertEquals(IntStream.range(0, 7999).mapToObj(i -> "+" + (65535 - i)).collect(joining()), sb.toString());
    }

    @ParameterizedTest(name = "command {0}: {1} -> {2}")
    @CsvSource({"9, RESULT -1 REASON -5, -1", "9, ERROR 5, 5", "12, RESULT -1 REASON -5, -5",
        "12, RESULT -1 REASON -1, -99"})
    void listFailures(int command, String actions, int expected) {
        addClusterWeb();
        assertEquals(0, lib.addPortNative(new CMNPort("web", 80)));
        sim.command("SCRIPT CMD " + command + " " + actions);
        StringBuffer sb = new StringBuffer("x");
        assertEquals(expected, lib.getPortsListNative("web", sb));
        assertEquals("x", sb.toString());
    }
}
