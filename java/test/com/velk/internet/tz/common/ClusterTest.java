package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.SimExecutor.u32le;
import static java.util.stream.Collectors.joining;
import static org.junit.jupiter.api.Assertions.*;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.util.List;
import java.util.Map;
import java.util.function.ToIntFunction;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** Cluster records: requests as the executor receives them, answers as Java sees them. */
class ClusterTest extends ExecutorTestBase {
    /** Flag fields by offset: 84 to 95, then 169. */
    static final String[] FLAGS = {"SetMaxNumberOfPorts", "SetDefaultPortMaxServers",
        "SetDefaultPortStickyTime", "SetDefaultPortAffinityType", "SetDefaultPortWeightBound",
        "SetDefaultPortType", "SetDefaultPortReplicate", "SetDefaultPortStaleTimeout", "SetSharedBandwidth",
        "SetPrimaryHost", "SetClusterProportions", "SetIPAddress", "SetNatPtAddress"};

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

    final Map<String, ToIntFunction<CMNCluster>> calls = Map.of("add", lib::addClusterNative, "set",
            lib::setClusterStatusNative, "remove", lib::removeClusterNative, "status", lib::getClusterStatusNative,
            "report", lib::getClusterReportNative, "cps", lib::setClusterCPSNative);

    /** Command, length and where each lookup puts the cluster key; the rate also its value at 68. */
    @ParameterizedTest(name = "{0}")
    @CsvSource({"remove, 5, 192, 100", "status, 7, 192, 100", "report, 9, 72, 16", "cps, 72, 72, 16"})
    void lookupsAddressACluster(String method, int command, int length, int keyAt) {
        CMNCluster c = full("Looked-Up");
        c.iClusterIdKey = 0x0A0B0C0D;
        c.iConnectionsPerSecond = -2;
        seedBlock();
        calls.get(method).applyAsInt(c);
        // the rate sends the object's key, the others the key of its identifier
        assertRequest(command, length, method.equals("cps") ? map(keyAt, "0d0c0b0a", 68, "feffffff")
                : map(keyAt, le(key("Looked-Up"), 4)));
    }

    @Test
    void fullAddPutsEveryFieldAtItsOffset() {
        seedBlock();
        CMNCluster c = full("Mixed.Case-Id");
        assertEquals(0, lib.addClusterNative(c));
        assertEquals(key("Mixed.Case-Id"), Integer.toUnsignedLong(c.iClusterIdKey));
        assertRequest(4, 192, map(16, "0a010203", 20, "44332211", 24, "efcdab89", 32, le(-1, 8), 40, "0100",
                42, "ffff", 44, "34", 45, "cd", 48, le(-300, 8), 56, "04030201", 64, "0a000000140000001e00000028000000",
                80, "c0a80709", 84, "01".repeat(12), 100, le(c.iClusterIdKey, 4), 104, text("Mixed.Case-Id"),
                169, "01", 172, "0102fe04"));
    }

    /** Flags other than 1 travel as given; their values and an Address that does not resolve are not sent. */
    @ParameterizedTest(name = "flags {0}, Address {1}")
    @CsvSource({"0,", "0, " + UNRESOLVABLE, "2, " + UNRESOLVABLE})
    void unflaggedValuesAreNotReadAndKeepThePreviousBytes(byte flag, String address) {
        CMNCluster c = full("second");
        c.Address = address;
        setBytes(c, FLAGS, flag);
        seedBlock();
        assertEquals(0, lib.addClusterNative(c));
        assertRequest(4, 192, map(84, le(flag, 1).repeat(12), 100, le(key("second"), 4), 104, text("second"),
                169, le(flag, 1)));
        assertBytes(c, FLAGS, i -> flag);
    }

    @ParameterizedTest
    @NullSource
    @ValueSource(strings = UNRESOLVABLE)
    void addressesThatDoNotResolve(String address) {
        CMNCluster c = full("second");
        c.sPrimaryHost = address;
        seedBlock();
        assertEquals(0, lib.addClusterNative(c));
        assertEquals("00000000", HEX.formatHex(sim.record(-1), 80, 84), "a primary host is sent as 0.0.0.0");
        c = full("third");
        c.Address = address;
        setBytes(c, FLAGS, 3);
        c.SetIPAddress = 1;
        assertEquals(-3, lib.addClusterNative(c));
        assertEquals(2, sim.recordCount());
        assertBytes(c, FLAGS, i -> FLAGS[i].equals("SetIPAddress") ? 1 : 3);
    }

    /** A flagged NAT-PT address that is null or shorter than its 4 bytes: refused, nothing sent. */
    @ParameterizedTest
    @NullSource
    @ValueSource(ints = {0, 3})
    void shortNatPtAddressIsRefused(Integer length) {
        CMNCluster c = full("c1");
        c.natPtAddress = length == null ? null : new byte[length];
        assertEquals(List.of(-88, 0), List.of(lib.addClusterNative(c), sim.recordCount()));
    }

    /** Identifiers of up to 64 characters are sent whole; longer or null ones are refused and nothing is sent. */
    @ParameterizedTest(name = "{0} with {1} characters -> {2}")
    @CsvSource({"add, 64, 0", "add, 65, -90", "set, 64, -5", "set, 65, -90", "add, -1, -88", "set, -1, -88",
        "remove, -1, -88", "status, -1, -88", "report, -1, -88"})
    void identifiers(String method, int length, int expected) {
        String id = length < 0 ? null : "i".repeat(length);
        CMNCluster c = full(id);
        setBytes(c, FLAGS, 3);
        c.iClusterIdKey = 0x12345678;
        seedBlock();
        assertEquals(expected, calls.get(method).applyAsInt(c));
        assertBytes(c, FLAGS, i -> 3);
        if (expected < -80) {
            assertEquals(List.of(1, 0x12345678), List.of(sim.recordCount(), c.iClusterIdKey));
        } else {  // add computes the key; set sends the object's own
            assertRequest(method.equals("add") ? 4 : 8, 192, map(16, "0a010203", 84, "03".repeat(12), 169, "03",
                    104, text(id), 100, le(method.equals("add") ? key(id) : 0x12345678L, 4)));
        }
    }

    /** Through the model. Flags are not read back; type and replicate zero-extended, weight bound sign-extended. */
    @Test
    void statusReadsBackWhatAddStored() throws Exception {
        CMNCluster added = full("Round.Trip");
        added.DefaultPortAffinityType = 65535;
        added.DefaultPortType = '\uFF80';
        assertEquals(0, lib.addClusterNative(added));
        assertEquals(0, lib.addPortNative(new CMNPort("Round.Trip", 80)));
        assertEquals(0, lib.addPortNative(new CMNPort("Round.Trip", 443)));
        CMNCluster read = new CMNCluster("ROUND.TRIP");
        setBytes(read, FLAGS, 9);
        sim.script("NEXT", "MODEL", "PUT", "104", "41".repeat(68));  // no NUL up to the NAT-PT address
        assertEquals(0, lib.getClusterStatusNative(read));
        Map<String, String> expected = fieldsOf(added);
        expected.replaceAll((k, v) -> k.startsWith("Set") ? "[9]" : v);
        expected.putAll(Map.of("NumPorts", "[2]", "DefaultPortWeightBound", "[-1]", "DefaultPortType", "[\u0080]",
                "DefaultPortReplicate", "[\u00cd]", "sClusterId", "[" + "A".repeat(65) + "]"));
        assertFields(expected, read);
    }

    /** Report fields by offset from 24 (60 is not read), after the key at 16 and the address at 20. */
    @Test
    void reportTakesEachFieldFromItsOffset() {
        sim.script("NEXT", "PUT", "16", "0df0feca0a141ec8" + counts(12));
        CMNCluster c = new CMNCluster("reported");
        assertEquals(0, lib.getClusterReportNative(c));
        assertCounts(c, "NumPorts", "SYNonActive", "SYNonFINNed", "FINs_Dropped", "ACKs_Dropped", "RSTs_Dropped",
                "PKTs_Dropped", "PKTnonExisting", "QuiescNew", null, "iBytesPerSecond", "iConnectionsPerSecond");
        assertEquals(List.of(0xCAFEF00D, "10.20.30.200"), List.of(c.iClusterIdKey, c.Address));
    }

    static Stream<Arguments> lists() {
        return Stream.of(Arguments.of(0, 0, List.of(), 0),
                // the text outgrows its first 10000 bytes twice
                Arguments.of(400, 400, IntStream.range(0, 400).mapToObj(i -> String.format("%060d", i)).toList(), 400),
                // never ask for or read more than the 888 entries one answer holds
                Arguments.of(5000, 100000, IntStream.range(0, 888).mapToObj(i -> "C" + i).toList(), 888),
                // an identifier without its NUL ends with its entry
                Arguments.of(2, 2, List.of("A".repeat(72), "B"), 2));
    }

    /** The report's cluster count sizes the list request; the answer's entries are appended to the buffer. */
    @ParameterizedTest(name = "{0} reported, {1} answered")
    @MethodSource
    void lists(int reported, int answered, List<String> ids, int asked) {
        byte[] entries = new byte[72 * Math.max(1, ids.size())];
        for (int i = 0; i < ids.size(); i++) {
            byte[] id = ids.get(i).getBytes(StandardCharsets.US_ASCII);
            System.arraycopy(id, 0, entries, 72 * i, id.length);
        }
        sim.script("CMD", "3", "MODEL", "PUT", "220", le(reported, 4));
        sim.script("CMD", "6", "PUT", "16", le(answered, 4), "PUT", "20", HEX.formatHex(entries));
        StringBuffer sb = new StringBuffer("x");
        assertEquals(0, lib.getClustersListNative(sb));
        byte[] report = sim.record(-2);
        byte[] r = sim.record(-1);
        assertEquals(List.of(3L, 240L, 6L, 20L + 72 * asked, (long) asked),
                List.of(u32le(report, 0), u32le(report, 12), u32le(r, 0), u32le(r, 12), u32le(r, 16)));
        assertEquals("x" + ids.stream().map(id -> "+" + id).collect(joining()), sb.toString());
    }
}
