package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.SimExecutor.u32le;
import static org.junit.jupiter.api.Assertions.*;

import java.lang.reflect.Method;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.Objects;
import java.util.TreeMap;
import java.util.function.ToIntFunction;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** Cluster records, and the requests naming a record of any kind: requests as sent, answers as Java sees them. */
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
            "report", lib::getClusterReportNative);

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

    /**
     * Requests that name a record: command, length and the bytes each writes into a seeded block ("k:ID" the key of
     * ID, "t:TEXT" a text); for reports and status, the answer (# is counts(n)) and every field it writes: int i of
     * counts(n) in the i-th field named (- is not read), "field=value" the others. No other field is written.
     */
    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {
        "removeClusterNative | 5 192 100=k:Looked-Up | |", "getClusterStatusNative | 7 192 100=k:Looked-Up | |",
        "setClusterCPSNative | 72 72 16=0d0c0b0a 68=feffffff | |",  // the object's key, not its identifier's
        "getClusterReportNative | 9 72 16=k:Looked-Up | PUT 16 0df0feca0a141ec8 PUT 24 # | NumPorts SYNonActive"
            + " SYNonFINNed FINs_Dropped ACKs_Dropped RSTs_Dropped PKTs_Dropped PKTnonExisting QuiescNew -"
            + " iBytesPerSecond iConnectionsPerSecond iClusterIdKey=-889262067 Address=10.20.30.200",
        "getPortReportNative | 15 72 16=k:web 20=01bb | PUT 24 # PUT 68 fefffdff | iConnectionsPerSecond"
            + " ActiveConnections iNumHalfOpen NumServers - NumNodesDown MaxWeight NumNodesLocal - iBytesPerSecond"
            + " iResetsSent iPortProtocol=65534 iMethod=-3",
        "getPortStatusNative | 13 96 16=k:web 20=01bb | PUT 28 07000000efcdab8900000000ffffffffffffffffffff0000"
            + "04030201d4fefffffffffffffe8081000180fe001f9000000d0c0b0a090909090909090909090909" + "5a | NumServers=7"
            + " MaxNumberOfServers=-1985229329 StickyTime=-1 iPortProtocol=65535 iStickyBits=16909060 StaleTimeout=-300"
            + " WeightBound=-32514 Type=\uff81 iMethod=-32767 Replicate=254 iCrossPort=8080 iMaxHalfOpen=168496141"
            + " SendReset=90",  // flags are not read back
        "getRuleReportNative | 23 188 16=k:web 20=0050 32=t:r1 | PUT 24 # | iConnectionsPerSecond ActiveConnections"
            + " - - - - - - iUniqueId TimesFired NumServers - - - - iBytesPerSecond",
        "setRuleCPSNative | 81 188 16=k:web 20=0050 24=feffffff 32=t:r1 | |",  // port 65616, unchecked
        "addServertoRuleNative | 24 1952 84=44332211 88=k:web 92=0050 94=t:r1 1948=efcdab89 | |",
        "removeServerfromRuleNative | 25 1952 84=44332211 88=k:web 92=0050 94=t:r1 1948=efcdab89 | |",
        "removeServerNative | 28 1952 88=k:web 92=01bb 84=44332211 | |",
        "getServerStatusNative | 56 1952 88=k:web 92=01bb 84=44332211 | |",
        "setServerDownNative | 29 136 16=k:web 20=01bb 48=44332211 44=01000000 | |",
        "setServerUpNative | 30 136 16=k:web 20=01bb 48=44332211 44=01000000 | |",
        "setServerCPSNative | 83 96 16=k:web 20=01bb 44=44332211 92=04030201 | |",
        "getServerReportNative | 33 96 16=k:web 20=01bb 44=44332211 | PUT 56 # PUT 80 fe80 | TotalConnections"
            + " TotalTCPConnections TotalUDPConnections ActiveConnections FINishedConnections CompleteConnections - -"
            + " iBytesPerSecond _iSavedWeight=-32514"})
    void requestsThatNameARecord(String method, String request, String answer, String fields) throws Exception {
        CMNCluster c = full("Looked-Up");
        c.iClusterIdKey = 0x0A0B0C0D;
        c.iConnectionsPerSecond = -2;
        CMNRule r = new CMNRule("web", method.equals("setRuleCPSNative") ? 65616 : 80, "r1");
        r.iConnectionsPerSecond = -2;
        CMNServer s = ServerTest.full();
        s._iCPSCount = 0x01020304;
        s._iNumListeners = 0;
        Map<Class<?>, Object> args = Map.of(CMNCluster.class, c, CMNPort.class, PortTest.full(443), CMNRule.class, r,
                CMNServer.class, s, int.class, 0x89ABCDEF);
        Method m = Arrays.stream(lib.getClass().getMethods()).filter(x -> x.getName().equals(method)).findAny().get();
        Object o = args.get(m.getParameterTypes()[0]);
        Map<String, String> expected = fieldsOf(o);
        List<String> counted = Arrays.stream(Objects.toString(fields, "").split(" ")).filter(f -> !f.contains("="))
                .toList();
        seedBlock();
        if (answer != null) {
            sim.script(("NEXT " + answer.replace("#", counts(counted.size()))).split(" "));
        }
        Object result = m.invoke(lib, Arrays.stream(m.getParameterTypes()).map(args::get).toArray());
        String[] w = request.split(" ");
        Map<Integer, String> rows = new TreeMap<>();
        for (String at : Arrays.copyOfRange(w, 2, w.length)) {
            String v = at.split("=")[1];
            rows.put(Integer.valueOf(at.split("=")[0]), v.startsWith("k:") ? le(key(v.substring(2)), 4)
                    : v.startsWith("t:") ? text(v.substring(2)) : v);
        }
        assertRequest(Integer.parseInt(w[0]), Integer.parseInt(w[1]), rows);
        if (answer != null) {
            for (String f : fields.split(" ")) {
                String value = f.contains("=") ? f.split("=")[1] : String.valueOf(0x7F000000 + counted.indexOf(f));
                expected.put(f.split("=")[0], "[" + value + "]");
            }
            expected.remove("-");
            assertEquals(0, result);
            assertFields(expected, o);
        }
    }

    /** The report's cluster count sizes the list request, at most 888 entries; identifiers end with their entry. */
    @ParameterizedTest(name = "{0} reported, {1} answered")
    @CsvSource({"0, 0, 0", "400, 400, 400", "5000, 100000, 888"})
    void lists(int reported, int answered, int asked) {
        String prefix = "C".repeat(60);  // 400 entries outgrow the text's first 10000 bytes twice
        sim.script("CMD", "3", "MODEL", "PUT", "220", le(reported, 4));
        sim.script("CMD", "6", "PUT", "16", le(answered, 4), "PUT", "20", entries(asked, 72, 0, prefix));
        StringBuffer sb = new StringBuffer("x");
        assertEquals(0, lib.getClustersListNative(sb));
        byte[] report = sim.record(-2);
        byte[] r = sim.record(-1);
        assertEquals(List.of(3L, 240L, 6L, 20L + 72 * asked, (long) asked),
                List.of(u32le(report, 0), u32le(report, 12), u32le(r, 0), u32le(r, 12), u32le(r, 16)));
        assertEquals("x" + expectedText(asked, 72, prefix), sb.toString());
    }
}
