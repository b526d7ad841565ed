package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.SimExecutor.*;
import static java.util.stream.Collectors.joining;
import static org.junit.jupiter.api.Assertions.*;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.HexFormat;
import java.util.List;
import java.util.function.IntUnaryOperator;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** Cluster records: requests as the executor receives them, answers as Java sees them. */
class ClusterTest extends ExecutorTestBase {
    static final String UNRESOLVABLE = "no-such-host.invalid";
    /** Flag fields by offset: 84 to 95, then 169. */
    static final String[] FLAGS = {"SetMaxNumberOfPorts", "SetDefaultPortMaxServers",
        "SetDefaultPortStickyTime", "SetDefaultPortAffinityType", "SetDefaultPortWeightBound",
        "SetDefaultPortType", "SetDefaultPortReplicate", "SetDefaultPortStaleTimeout", "SetSharedBandwidth",
        "SetPrimaryHost", "SetClusterProportions", "SetIPAddress", "SetNatPtAddress"};
    static final int[] FLAG_OFFSETS = {84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95, 169};

    /** Every setting flagged, with values that show width, byte order and sign. */
    static CMNCluster full(String id) {
        CMNCluster c = new CMNCluster(id);
        c.Address = "10.1.2.3";
        c.MaxNumberOfPorts = 0x11223344;
        c.sPrimaryHost = "192.168.7.9";
        c.DefaultPortMaxServers = 0x89ABCDEF;
        c.DefaultPortStickyTime = -1;
        c.DefaultPortAffinityType = 65537;
        c.DefaultPortWeightBound = 65535;
        c.DefaultPortStaleTimeout = -300;
        c.DefaultPortType = '\u1234';
        c.DefaultPortReplicate = '\uABCD';
        c.iActiveConnsProp = 10;
        c.iNewConnsProp = 20;
        c.iPortSpecificProp = 30;
        c.iSystemProp = 40;
        c.iSharedBytesPerSecond = 0x01020304;
        c.natPtAddress = new byte[] {1, 2, (byte) 0xFE, 4};
        setBytes(c, FLAGS, 1);
        return c;
    }

    int call(String method, CMNCluster c) {
        return switch (method) {
            case "add" -> lib.addClusterNative(c);
            case "set" -> lib.setClusterStatusNative(c);
            case "remove" -> lib.removeClusterNative(c);
            case "status" -> lib.getClusterStatusNative(c);
            case "report" -> lib.getClusterReportNative(c);
            default -> throw new IllegalArgumentException(method);
        };
    }

    /** The ID key as the block holds it, unsigned. */
    long key(String id) {
        return Integer.toUnsignedLong(lib.calcClusterIdKeyNative(id, null));
    }

    // ---- helpers shared with PortTest --------------------------------------------------------

    static String le32(int v) {
        return hexFrom(answer(4).putInt(0, v), 0);
    }

    /** The hex of an answer built in a little-endian buffer, from offset `from` to its end. */
    static String hexFrom(ByteBuffer answer, int from) {
        return HexFormat.of().formatHex(answer.array(), from, answer.capacity());
    }

    static ByteBuffer answer(int size) {
        return ByteBuffer.allocate(size).order(ByteOrder.LITTLE_ENDIAN);
    }

    static Object get(Object o, String field) {
        try {
            return o.getClass().getField(field).get(o);
        } catch (ReflectiveOperationException e) {
            throw new AssertionError(e);
        }
    }

    static void setBytes(Object o, String[] fields, int value) {
        for (String f : fields) {
            try {
                o.getClass().getField(f).set(o, (byte) value);
            } catch (ReflectiveOperationException e) {
                throw new AssertionError(e);
            }
        }
    }

    static void assertBytes(Object o, String[] fields, IntUnaryOperator expected) {
        for (int i = 0; i < fields.length; i++) {
            assertEquals(Byte.valueOf((byte) expected.applyAsInt(i)), get(o, fields[i]), fields[i]);
        }
    }

    // ---- result codes ------------------------------------------------------------------------

    static Stream<Arguments> recordReasons() {
        // {result, reason, expected}: with result 0 the reason field is not looked at
        int[][] rows = {{0, -33, 0}, {-1, -33, -3}, {-1, -9, -29}, {-1, -8, -4}, {-1, -7, -28}, {-1, -5, -5},
            {-1, -6, -99}, {-1, -34, -99}};
        return Stream.of("add", "set").flatMap(m -> Arrays.stream(rows).map(r -> Arguments.of(m, r[0], r[1], r[2])));
    }

    /** The flags come back as the executor left them, whatever the outcome. */
    @ParameterizedTest(name = "{0}: result {1}, reason {2} -> {3}")
    @MethodSource
    void recordReasons(String method, int result, int reason, int expected) {
        sim.script("NEXT", "RESULT", "" + result, "REASON", "" + reason,
                "PUT", "84", "02030405060708090a0b0c0d", "PUT", "169", "0e");
        CMNCluster c = full("mapped");
        assertEquals(expected, call(method, c));
        assertEquals(1, sim.recordCount());
        assertBytes(c, FLAGS, i -> i + 2);
    }

    static Stream<Arguments> lookupReasons() {
        Object[][] methods = {{"remove", 5, 192, 100}, {"status", 7, 192, 100}, {"report", 9, 72, 16}};
        int[][] rows = {{-5, -5}, {-1, -99}, {-33, -99}, {0, -99}};
        return Arrays.stream(methods).flatMap(m -> Arrays.stream(rows)
                .map(r -> Arguments.of(m[0], m[1], m[2], m[3], r[0], r[1])));
    }

    @ParameterizedTest(name = "{0}: reason {4} -> {5}")
    @MethodSource
    void lookupReasons(String method, int command, int length, int keyAt, int reason, int expected) {
        CMNCluster c = new CMNCluster("Looked-Up");
        c.NumPorts = 4242;
        sim.script("NEXT", "RESULT", "-1", "REASON", "" + reason);
        assertEquals(expected, call(method, c));
        byte[] r = sim.record(0);
        assertEquals(List.of(1, (long) command, (long) length, key("Looked-Up")),
                List.of(sim.recordCount(), u32le(r, 0), u32le(r, 12), u32le(r, keyAt)));
        assertEquals(4242, c.NumPorts, "a failed request writes nothing into Java");
    }

    @ParameterizedTest
    @ValueSource(strings = {"add", "set", "remove", "status", "report"})
    void nullIdentifierSendsNothing(String method) {
        assertEquals(-88, call(method, full(null)));
        assertEquals(0, sim.recordCount());
    }

    // ---- the cluster record request ----------------------------------------------------------

    @Test
    void fullAddPutsEveryFieldAtItsOffset() {
        CMNCluster c = full("Mixed.Case-Id");
        assertEquals(0, lib.addClusterNative(c));
        byte[] r = sim.record(-1);
        assertEquals(List.of(192, 4L, 192L, 0x0A010203L, 0x11223344L, 0x89ABCDEFL, -1L, 1, 0xFFFF, 0x34, 0xCD, -300L),
                List.of(r.length, u32le(r, 0), u32le(r, 12), u32be(r, 16), u32le(r, 20), u32le(r, 24), u64le(r, 32),
                        u16le(r, 40), u16le(r, 42), u8(r, 44), u8(r, 45), u64le(r, 48)));
        assertEquals(List.of(0x01020304L, 10L, 20L, 30L, 40L, 0xC0A80709L), List.of(u32le(r, 56), u32le(r, 64),
                u32le(r, 68), u32le(r, 72), u32le(r, 76), u32be(r, 80)));
        for (int off : FLAG_OFFSETS) {
            assertEquals(1, r[off], "flag at " + off);
        }
        assertEquals(List.of(key("Mixed.Case-Id"), key("Mixed.Case-Id")),
                List.of(Integer.toUnsignedLong(c.iClusterIdKey), u32le(r, 100)));
        assertEquals("Mixed.Case-Id\0", new String(r, 104, 14, StandardCharsets.US_ASCII));
        assertArrayEquals(new byte[] {1, 2, (byte) 0xFE, 4}, Arrays.copyOfRange(r, 172, 176));
    }

    @ParameterizedTest(name = "flags {0}, Address {1}")
    @CsvSource({"0,", "0, " + UNRESOLVABLE, "2, " + UNRESOLVABLE})
    void unflaggedValuesAreNotReadAndKeepThePreviousBytes(byte flag, String address) {
        assertEquals(0, lib.addClusterNative(full("first")));
        byte[] first = sim.record(-1);
        CMNCluster c = new CMNCluster("second");
        c.Address = address;
        setBytes(c, FLAGS, flag);
        assertEquals(0, lib.addClusterNative(c));
        byte[] r = sim.record(-1);
        assertArrayEquals(Arrays.copyOfRange(first, 16, 84), Arrays.copyOfRange(r, 16, 84));
        assertArrayEquals(Arrays.copyOfRange(first, 172, 176), Arrays.copyOfRange(r, 172, 176));
        for (int off : FLAG_OFFSETS) {
            assertEquals(flag, r[off], "flag at " + off);
        }
        assertBytes(c, FLAGS, i -> flag);
    }

    @ParameterizedTest
    @NullSource
    @ValueSource(strings = UNRESOLVABLE)
    void addressesThatDoNotResolve(String address) {
        assertEquals(0, lib.addClusterNative(full("first")));  // leaves 1 at 169
        CMNCluster c = full("second");
        c.sPrimaryHost = address;
        assertEquals(0, lib.addClusterNative(c));
        assertEquals(0, u32be(sim.record(-1), 80), "a primary host is sent as 0.0.0.0, never as the last one");
        c = full("third");
        c.Address = address;
        setBytes(c, FLAGS, 3);
        c.SetIPAddress = 1;
        assertEquals(-3, lib.addClusterNative(c));
        assertEquals(2, sim.recordCount());
        assertBytes(c, FLAGS, i -> FLAGS[i].equals("SetIPAddress") ? 1 : 3);
    }

    @ParameterizedTest(name = "{0} with {1} characters -> {2}")
    @CsvSource({"add, 64, 0", "add, 65, -90", "set, 64, -5", "set, 65, -90"})
    void identifierLength(String method, int length, int expected) {
        assertEquals(0, lib.addClusterNative(full("prior")));  // leaves 1 at 95 and 169
        String id = "i".repeat(length);
        CMNCluster c = full(id);
        setBytes(c, FLAGS, 3);
        c.iClusterIdKey = 0x12345678;
        assertEquals(expected, call(method, c));
        assertBytes(c, FLAGS, i -> 3);
        if (expected == -90) {
            assertEquals(1, sim.recordCount());
            assertEquals(0x12345678, c.iClusterIdKey);
            return;
        }
        byte[] r = sim.record(-1);
        assertEquals(id, text(r, 104, 65));
        assertEquals(0, r[168]);
        // add computes the key; set sends the object's own
        assertEquals(method.equals("add") ? key(id) : 0x12345678L, u32le(r, 100));
    }

    // ---- answers ------------------------------------------------------------------------------

    @Test
    void statusReadsBackWhatAddStored() {
        CMNCluster added = full("Round.Trip");
        added.DefaultPortAffinityType = 65535;
        added.DefaultPortType = '\uFF80';
        assertEquals(0, lib.addClusterNative(added));
        assertEquals(0, lib.addPortNative(new CMNPort("Round.Trip", 80)));
        assertEquals(0, lib.addPortNative(new CMNPort("Round.Trip", 443)));
        CMNCluster read = new CMNCluster("ROUND.TRIP");
        setBytes(read, FLAGS, 9);
        assertEquals(0, lib.getClusterStatusNative(read));
        assertEquals(List.of(2, 0x11223344, 0x89ABCDEF, -1, 65535, -1, -300),
                List.of(read.NumPorts, read.MaxNumberOfPorts, read.DefaultPortMaxServers, read.DefaultPortStickyTime,
                        read.DefaultPortAffinityType, read.DefaultPortWeightBound, read.DefaultPortStaleTimeout));
        assertEquals(List.of(10, 20, 30, 40, 0x01020304), List.of(read.iActiveConnsProp, read.iNewConnsProp,
                read.iPortSpecificProp, read.iSystemProp, read.iSharedBytesPerSecond));
        assertEquals('\u0080', read.DefaultPortType);
        assertEquals('\u00CD', read.DefaultPortReplicate);
        assertEquals(List.of("192.168.7.9", "Round.Trip", "10.1.2.3"), List.of(read.sPrimaryHost, read.sClusterId,
                read.Address));
        assertEquals(key("Round.Trip"), Integer.toUnsignedLong(read.iClusterIdKey));
        assertArrayEquals(new byte[] {1, 2, (byte) 0xFE, 4}, read.natPtAddress);
        assertBytes(read, FLAGS, i -> 9);
    }

    @Test
    void statusIdentifierEndsWithItsField() {
        sim.script("NEXT", "PUT", "104", "41".repeat(88));
        CMNCluster c = new CMNCluster("unterminated");
        assertEquals(0, lib.getClusterStatusNative(c));
        assertEquals("A".repeat(65), c.sClusterId);
    }

    /** Report fields by offset from 24; 60 is not read. */
    static final String[] REPORT = {"NumPorts", "SYNonActive", "SYNonFINNed", "FINs_Dropped", "ACKs_Dropped",
        "RSTs_Dropped", "PKTs_Dropped", "PKTnonExisting", "QuiescNew", null, "iBytesPerSecond",
        "iConnectionsPerSecond"};

    @Test
    void reportTakesEachFieldFromItsOffset() {
        ByteBuffer a = answer(72).putInt(16, 0xCAFEF00D).put(20, new byte[] {10, 20, 30, (byte) 200});
        for (int i = 0; i < REPORT.length; i++) {
            a.putInt(24 + 4 * i, 0x7F000000 + i);
        }
        sim.script("NEXT", "PUT", "16", hexFrom(a, 16));
        CMNCluster c = new CMNCluster("reported");
        c.SYNonActive = 4242;
        assertEquals(0, lib.getClusterReportNative(c));
        byte[] r = sim.record(-1);
        assertEquals(List.of(9L, 72L, key("reported")), List.of(u32le(r, 0), u32le(r, 12), u32le(r, 16)));
        for (int i = 0; i < REPORT.length; i++) {
            if (REPORT[i] != null) {
                assertEquals(0x7F000000 + i, get(c, REPORT[i]), REPORT[i]);
            }
        }
        assertEquals(0xCAFEF00D, c.iClusterIdKey);
        assertEquals("10.20.30.200", c.Address);
    }

    @ParameterizedTest(name = "result {0}")
    @ValueSource(ints = {0, 7, -1})
    void rateSetterPassesTheResultThrough(int result) {
        CMNCluster c = new CMNCluster(null);
        c.iClusterIdKey = 0x0A0B0C0D;
        c.iConnectionsPerSecond = -2;
        sim.script("NEXT", "RESULT", "" + result, "REASON", "-5");
        assertEquals(result, lib.setClusterCPSNative(c));
        byte[] r = sim.record(-1);
        assertEquals(List.of(72L, 72L, 0x0A0B0C0DL, 0xFFFFFFFEL),
                List.of(u32le(r, 0), u32le(r, 12), u32le(r, 16), u32le(r, 68)));
    }

    // ---- the cluster list ---------------------------------------------------------------------

    @ParameterizedTest(name = "clusters \"{0}\"")
    @ValueSource(strings = {"", "A,B"})
    void listFromTheModel(String ids) {
        List<String> added = ids.isEmpty() ? List.of() : List.of(ids.split(","));
        for (String id : added) {
            assertEquals(0, lib.addClusterNative(new CMNCluster(id)));
        }
        StringBuffer sb = new StringBuffer("x");
        assertEquals(0, lib.getClustersListNative(sb));
        assertEquals("x" + added.stream().map(id -> "+" + id).collect(joining()), sb.toString());
        byte[] report = sim.record(-2);
        assertEquals(List.of(3L, 240L), List.of(u32le(report, 0), u32le(report, 12)));
        byte[] r = sim.record(-1);
        assertEquals(List.of(6L, 20L + 72 * added.size(), (long) added.size()),
                List.of(u32le(r, 0), u32le(r, 12), u32le(r, 16)));
    }

    @ParameterizedTest(name = "command {0}: {1} -> {2}")
    @CsvSource({"3, RESULT -1 REASON -5, -1, 2", "3, ERROR 5, 5, 2", "6, RESULT -1 REASON -5, -99, 3",
        "6, ERROR 5, -99, 3"})
    void listFailures(int command, String actions, int expected, int requests) {
        assertEquals(0, lib.addClusterNative(new CMNCluster("A")));
        sim.command("SCRIPT CMD " + command + " " + actions);
        StringBuffer sb = new StringBuffer("x");
        assertEquals(expected, lib.getClustersListNative(sb));
        assertEquals("x", sb.toString());
        assertEquals(requests, sim.recordCount());
    }

    static Stream<Arguments> scriptedLists() {
        return Stream.of(
                // the text outgrows its first 10000 bytes twice
                Arguments.of(400, 400, IntStream.range(0, 400).mapToObj(i -> String.format("%060d", i)).toList(), 400),
                // never ask for or read more than the 888 entries one answer holds
                Arguments.of(5000, 100000, IntStream.range(0, 888).mapToObj(i -> "C" + i).toList(), 888),
                // an identifier without its NUL ends with its entry
                Arguments.of(2, 2, List.of("A".repeat(72), "B"), 2));
    }

    @ParameterizedTest(name = "{0} reported, {1} answered")
    @MethodSource
    void scriptedLists(int reported, int answered, List<String> ids, int asked) {
        byte[] entries = new byte[72 * ids.size()];
        for (int i = 0; i < ids.size(); i++) {
            byte[] id = ids.get(i).getBytes(StandardCharsets.US_ASCII);
            System.arraycopy(id, 0, entries, 72 * i, id.length);
        }
        sim.script("CMD", "3", "MODEL", "PUT", "220", le32(reported));
        sim.script("CMD", "6", "PUT", "16", le32(answered), "PUT", "20", HexFormat.of().formatHex(entries));
        StringBuffer sb = new StringBuffer();
        assertEquals(0, lib.getClustersListNative(sb));
        byte[] r = sim.record(-1);
        assertEquals(List.of(20L + 72 * asked, (long) asked), List.of(u32le(r, 12), u32le(r, 16)));
        assertEquals(ids.stream().map(id -> "+" + id).collect(joining()), sb.toString());
    }
}
