package com.velk.internet.tz.common;

import static java.nio.charset.StandardCharsets.UTF_8;
import static org.junit.jupiter.api.Assertions.*;

import java.lang.reflect.Field;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.time.LocalDate;
import java.time.ZoneId;
import java.time.ZoneOffset;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** The executor settings record: set (command 2), read back (command 1), the rate (71) and the report (3). */
class ExecutorSettingsTest extends ExecutorTestBase {
    private static final String NAME = "/etc/velklb/caf\u00e9.cfg";
    /** The flags a failed set writes back, with their offsets. */
    private static final Map<String, Integer> FLAGS = map("SetNonForwardingAddress", 628, "SetTraceLevel", 629,
            "SetDefaultClusterMaxPorts", 631, "SetFINTimeout", 632, "SetHaTimeout", 633, "SetHaSyncTimeout", 634,
            "SetClientGateway", 635, "SetDefaultPortMaxServers", 636, "SetDefaultPortStaleTimeout", 637,
            "SetSharedBandwidth", 648, "SetDefaultPortStickyTime", 638, "SetDefaultPortAffinityType", 639,
            "SetDefaultPortWeightBound", 640, "SetDefaultPortType", 641, "SetDefaultPortReplicate", 642,
            "SetMaxNumberOfClusters", 643, "SetWidePortNumber", 644, "SetSecondsWestOfGreenwich", 645,
            "SetConfigFileName", 646, "Setv6ClientGateway", 668);
    /** One value per setting, each with its own bytes, signs and widths at their edges. */
    private static final Map<String, Object> VALUES = map("NFA", "10.1.2.3", "TraceLevel", 0x01020304,
            "DefaultClusterMaxPorts", 0x11121314, "FINTimeout", -5, "HaTimeout", Integer.MAX_VALUE,
            "HaSyncTimeout", Integer.MIN_VALUE, "ClientGateway", "192.168.7.9", "DefaultPortMaxServers", 0x21222324,
            "DefaultPortStaleTimeout", 300, "iSharedBytesPerSecond", 0x31323334, "DefaultPortStickyTime", -1,
            "DefaultPortAffinityType", 65537, "DefaultPortWeightBound", 0x1FFFE, "DefaultPortType", '\u01A7',
            "DefaultPortReplicate", '\u0142', "MaxNumberOfClusters", 0x41424344, "WidePortNumber", 0x51525354,
            "ConfigFileName", NAME, "iCookieExpireInterval", 0x61626364);

    static CMNExecutor everySetting(byte flag) throws ReflectiveOperationException {
        CMNExecutor e = new CMNExecutor();
        for (Field f : CMNExecutor.class.getFields()) {
            if (f.getType() == byte.class) {
                f.setByte(e, flag);
            }
        }
        for (Map.Entry<String, Object> v : VALUES.entrySet()) {
            CMNExecutor.class.getField(v.getKey()).set(e, v.getValue());
        }
        for (int i = 0; i < 16; i++) {
            e.v6ClientGateway[i] = (byte) (0x20 + i);
        }
        return e;
    }

    @Test
    void everyFlagOneSendsEveryFieldAtItsPlace() throws Exception {
        seedBlock();
        assertEquals(0, lib.setExecutorStatusNative(everySetting((byte) 1)));
        Map<Integer, String> rows = map(16, "0a010203", 20, "04030201", 28, "14131211", 32, le(-5, 8),
                40, le(Integer.MAX_VALUE, 8), 48, le(Integer.MIN_VALUE, 8), 56, "24232221", 64, le(300, 8),
                72, le(-1, 8), 80, "0100", 82, "feff", 84, "a7", 85, "42",
                86, HEX.formatHex((NAME + "\0").getBytes(UTF_8)), 600, "c0a80709", 604, "44434241", 608, "54535251",
                616, le(secondsWestHere(), 8), 624, "34333231", 656, "01", 657, "000000000000", 664, "64636261",
                672, "202122232425262728292a2b2c2d2e2f", 688, "000000000000");
        FLAGS.values().forEach(off -> rows.put(off, "01"));
        assertRequest(2, 696, rows);
    }

    /** Flags other than 1 travel as given, their values stay unread, the cookie travels anyway. */
    @ParameterizedTest(name = "every flag {0}")
    @ValueSource(bytes = {0, 2, -1})
    void flagsOtherThanOneSendNoValue(byte flag) throws Exception {
        CMNExecutor e = everySetting(flag);
        e.NFA = UNRESOLVABLE;  // neither resolved nor refused: its flag is not 1
        e.ClientGateway = null;
        e.ConfigFileName = null;
        seedBlock();
        assertEquals(0, lib.setExecutorStatusNative(e));
        Map<Integer, String> rows = map(664, "64636261", 656, le(flag, 1));
        FLAGS.values().forEach(off -> rows.put(off, le(flag, 1)));
        rows.remove(645);  // computed with the non-forwarding address only
        assertRequest(2, 696, rows);
    }

    /** A flagged value that can't be had: refused before anything is sent, the object left as it was. */
    static Stream<Arguments> refusals() {
        Object[][] rows = {{"NFA unresolvable", -21, "NFA", UNRESOLVABLE}, {"NFA broadcast", -21, "NFA",
            "255.255.255.255"}, {"NFA null", -21, "NFA", null}, {"gateway unresolvable", -49, "ClientGateway",
            UNRESOLVABLE}, {"gateway null", -49, "ClientGateway", null}, {"name null", -88, "ConfigFileName", null},
            {"name of 256", -90, "ConfigFileName", "a".repeat(256)}, {"name of 256 bytes", -90, "ConfigFileName",
            "\u00e9".repeat(128)}, {"v6 gateway empty", -88, "v6ClientGateway", new byte[0]},
            {"v6 gateway of 15", -88, "v6ClientGateway", new byte[15]}, {"name of 255", 0, "ConfigFileName",
            "b".repeat(255)}};
        return Arrays.stream(rows).map(Arguments::of);
    }

    @ParameterizedTest(name = "{0} -> {1}")
    @MethodSource
    void refusals(String what, int result, String field, Object value) throws Exception {
        CMNExecutor e = new CMNExecutor();
        CMNExecutor.class.getField(field).set(e, value);
        CMNExecutor.class.getField("Set" + field.replace("NFA", "NonForwardingAddress")).set(e, (byte) 1);
        Map<String, String> before = fieldsOf(e);
        assertEquals(result, lib.setExecutorStatusNative(e));
        assertFields(before, e);
        assertEquals(result == 0 ? 1 : 0, sim.recordCount());
        if (result == 0) {
            assertEquals(e.ConfigFileName + "\0", new String(sim.record(-1), 86, 256, UTF_8));
        }
    }

    @Test
    void failedSetWritesTheFlagsBackFromTheAnswer() throws Exception {
        byte[] flags = new byte[41];
        for (int i = 0; i < flags.length; i++) {
            flags[i] = (byte) (0x40 + i);
        }
        sim.script("NEXT", "RESULT", "-1", "REASON", "-7", "PUT", "628", HEX.formatHex(flags));
        CMNExecutor e = new CMNExecutor();
        assertEquals(-1, lib.setExecutorStatusNative(e));
        Map<String, String> got = fieldsOf(e);
        FLAGS.forEach((name, off) -> assertEquals("[" + (0x40 + off - 628) + "]", got.get(name), name));
        assertEquals(0, e.SetCookieExpireInterval, "the cookie flag is not written back");
    }

    @Test
    void serverModalityReturnsOneAndWritesTheBlocksFlags() {
        lib.setQVAServerModalityNative(true);
        CMNExecutor e = new CMNExecutor();
        e.SetNonForwardingAddress = 1;
        e.NFA = "10.0.0.1";
        e.SetTraceLevel = 2;
        assertEquals(1, lib.setExecutorStatusNative(e));
        assertEquals(List.of(1, 2, 0), List.of((int) e.SetSecondsWestOfGreenwich, (int) e.SetTraceLevel,
                sim.recordCount()));
    }

    @Test
    void settingsComeBackThroughTheExecutor() throws Exception {
        CMNExecutor sent = everySetting((byte) 1);
        sent.DefaultPortWeightBound = 0xFFFF;
        sent.DefaultPortAffinityType = 0xFFFF;
        assertEquals(0, lib.setExecutorStatusNative(sent));
        CMNExecutor got = new CMNExecutor();
        got.SetTraceLevel = 7;
        got.iCookieExpireInterval = 99;
        sim.script("NEXT", "MODEL", "PUT", "86", "41".repeat(256) + "42".repeat(256) + "4343");  // texts without NUL
        assertEquals(0, lib.getExecutorStatusNative(got));
        Map<String, String> expected = fieldsOf(sent);
        expected.replaceAll((k, v) -> k.startsWith("Set") ? "[0]" : v);  // flags are not read back
        expected.putAll(Map.of("SetTraceLevel", "[7]", "iCookieExpireInterval", "[99]", "ConfigFileName",
                "[" + "A".repeat(256) + "]", "sPluginConfigFileName", "[" + "B".repeat(256) + "]",
                "DefaultPortWeightBound", "[-1]", "DefaultPortAffinityType", "[65535]", "DefaultPortType", "[\u00a7]",
                "DefaultPortReplicate", "[B]"));
        assertFields(expected, got);
    }

    /** A read-back array shorter than its field is left alone; the fields before it are still written. */
    @Test
    void shortArrayOnReadBackIsLeftAlone() {
        CMNExecutor e = new CMNExecutor();
        e.v6ClientGateway = new byte[] {7};
        e.TraceLevel = -5;
        assertEquals(0, lib.getExecutorStatusNative(e));
        assertEquals(List.of(7, 0), List.of((int) e.v6ClientGateway[0], e.TraceLevel));
    }

    @ParameterizedTest(name = "{0}")
    @CsvSource({"MODEL, 0", "RESULT -1 REASON -5, -1", "ERROR 113, 113"})
    void rateGoesOutAndReturnsTheSendResult(String script, int result) {
        failNext(script);
        CMNExecutor e = new CMNExecutor();
        e.iConnectionsPerSecond = 0x01020304;
        assertEquals(result, lib.setExecutorCPSNative(e));
        byte[] rec = sim.record(-1);
        assertEquals(List.of(71L, 240L, 0x01020304L),
                List.of(SimExecutor.u32le(rec, 0), SimExecutor.u32le(rec, 12), SimExecutor.u32le(rec, 232)));
    }

    private static long secondsWestHere() {
        var noon = LocalDate.now(ZoneOffset.UTC).atTime(12, 0).toInstant(ZoneOffset.UTC);
        return -ZoneId.systemDefault().getRules().getOffset(noon).getTotalSeconds();
    }

    /** Run in a JVM of its own, under the TZ its parent chose: sets the non-forwarding address. */
    static final class SecondsWest {
        public static void main(String[] args) {
            CMNExecutor e = new CMNExecutor();
            e.SetNonForwardingAddress = 1;
            e.NFA = "10.9.8.7";
            System.out.println("result=" + new CMNExecutorInterface().setExecutorStatusNative(e));
        }
    }

    /** Zones written out in full, so that no time zone database is needed. */
    @ParameterizedTest(name = "TZ={0} -> {1}")
    @CsvSource({"UTC0, 0", "<+02>-2, -7200", "<-05>5, 18000", "<+0530>-5:30, -19800"})
    void secondsWestFollowTheLocalZone(String zone, long west) throws Exception {
        String out = runJava(SecondsWest.class, Map.of("TZ", zone));
        assertTrue(out.contains("result=0\n"), out);
        byte[] rec = sim.record(-1);
        assertEquals(List.of(le(west, 8), "01", "0a090807"),
                List.of(HEX.formatHex(rec, 616, 624), HEX.formatHex(rec, 645, 646), HEX.formatHex(rec, 16, 20)));
    }

    private static final String[] COUNTERS = {"Pcktotal", "Pcktoshort", "Pcknonforw", "PckVECdiscard",
        "PckVECerror", "PckVEClocal", "PckVECownaddr", "PckVECforward", "Pckforwarderr", "PcknotVEC",
        "PckVECbroadcast"};

    /** Counter k: high bits set and distinct in every byte, so a swapped offset or a cut shows. */
    private static long counter(int k) {
        return 0x8000000000000000L | (long) (k + 1) << 48 | 0x0102030405L * (k + 1);
    }

    @ParameterizedTest(name = "version bytes {0}")
    @CsvSource({"372e332e312d7465737400, 7.3.1-test", "636166c3a900, caf\u00e9", "76ff3100, v?1", "'', x100"})
    void everyFieldFromItsOffset(String versionHex, String version) throws Exception {
        ByteBuffer a = ByteBuffer.allocate(240 - 16).order(ByteOrder.LITTLE_ENDIAN);
        a.put(0, new byte[] {(byte) 192, (byte) 168, 1, 2});
        a.put(4, versionHex.isEmpty() ? "x".repeat(100).getBytes() : HEX.parseHex(versionHex));
        a.putLong(104, 0x123456789ABCDEF1L);  // start time at 120
        for (int k = 0; k < COUNTERS.length; k++) {
            a.putLong(112 + 8 * k, counter(k));
        }
        a.putInt(200, 0x01020304).putInt(204, 7).putInt(208, 0xDEADBEEF);
        a.putInt(212, 0x0A0B0C0D).putInt(216, 0x11121314).putInt(220, 0xCAFEBABE);
        sim.script("NEXT", "PUT", "16", HEX.formatHex(a.array()));
        CMNExecutorReport r = new CMNExecutorReport();
        assertEquals(0, lib.getExecutorReportNative(r));

        byte[] rec = sim.record(-1);
        assertEquals(List.of(240, 3L), List.of(rec.length, SimExecutor.u32le(rec, 0)));
        assertEquals(version.equals("x100") ? "x".repeat(100) : version, r.Version);
        assertEquals("192.168.1.2", r.NFA);
        for (int k = 0; k < COUNTERS.length; k++) {
            assertEquals(counter(k), get(r, COUNTERS[k]), COUNTERS[k]);
        }
        assertEquals(List.of(0x9ABCDEF1, 0x01020304, 7, 0x0A0B0C0D, 0x11121314),
                List.of(r.iTimeStarted, r.InconnHashBkts, r.NumClusters, r.iBytesPerSecond, r.iConnectionsPerSecond));
    }

    /** A failed status or report query returns the send result and leaves the object as it was. */
    @ParameterizedTest(name = "{0}: {1}")
    @CsvSource({"status, RESULT -1 REASON -5, -1", "status, ERROR 113, 113", "status, server modality, 1",
        "report, RESULT -1 REASON -5, -1", "report, ERROR 113, 113", "report, server modality, 1"})
    void failedQueryWritesNothing(String query, String script, int result) throws Exception {
        CMNExecutorReport report = new CMNExecutorReport();
        report.Version = "before";
        report.Pcktotal = 42;
        Object target = query.equals("status") ? ExecutorSettingsTest.everySetting((byte) 3) : report;
        Map<String, String> before = fieldsOf(target);
        failNext(script);
        assertEquals(result, query.equals("status") ? lib.getExecutorStatusNative((CMNExecutor) target)
                : lib.getExecutorReportNative(report));
        assertFields(before, target);
    }
}
