package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.reflect.Field;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.time.LocalDate;
import java.time.ZoneId;
import java.time.ZoneOffset;
import java.util.Arrays;
import java.util.HexFormat;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/** The executor settings record: set (command 2), read back (command 1), and the rate (71). */
class ExecutorSettingsTest extends ExecutorTestBase {
    private static final HexFormat HEX = HexFormat.of();
    private static final String NAME = "/etc/velklb/caf\u00e9.cfg";
    /** The flags a failed set writes back, with their offsets. */
    private static final Map<String, Integer> FLAGS = Map.ofEntries(Map.entry("SetNonForwardingAddress", 628),
            Map.entry("SetTraceLevel", 629), Map.entry("SetDefaultClusterMaxPorts", 631),
            Map.entry("SetFINTimeout", 632), Map.entry("SetHaTimeout", 633), Map.entry("SetHaSyncTimeout", 634),
            Map.entry("SetClientGateway", 635), Map.entry("SetDefaultPortMaxServers", 636),
            Map.entry("SetDefaultPortStaleTimeout", 637), Map.entry("SetSharedBandwidth", 648),
            Map.entry("SetDefaultPortStickyTime", 638), Map.entry("SetDefaultPortAffinityType", 639),
            Map.entry("SetDefaultPortWeightBound", 640), Map.entry("SetDefaultPortType", 641),
            Map.entry("SetDefaultPortReplicate", 642), Map.entry("SetMaxNumberOfClusters", 643),
            Map.entry("SetWidePortNumber", 644), Map.entry("SetSecondsWestOfGreenwich", 645),
            Map.entry("SetConfigFileName", 646), Map.entry("Setv6ClientGateway", 668));

    // ---- helpers shared with the logging test, which uses the same record ---------------------

    /** What a seeded block holds at offset i: never 0, 1 or 2, so no flag or pad looks written. */
    static byte seed(int i) {
        return (byte) (0x80 | (i * 37 + 11) & 0x7F);
    }

    /** Leaves every payload byte of the library's block as seed(i) through a scripted answer. */
    static void seedBlock(CMNExecutorInterface lib) {
        byte[] bytes = new byte[64016 - 16];
        for (int i = 0; i < bytes.length; i++) {
            bytes[i] = seed(16 + i);
        }
        sim.script("NEXT", "PUT", "16", HEX.formatHex(bytes));
        lib.xlogclearNative();
    }

    /** The latest request: its header, the given bytes, and seed(i) at every other payload byte. */
    static void assertRequest(int command, int length, Map<Integer, String> rows) {
        byte[] rec = sim.record(-1);
        assertEquals(length, rec.length);
        assertEquals(command, SimExecutor.u32le(rec, 0));
        assertEquals(length, SimExecutor.u32le(rec, 12));
        boolean[] written = new boolean[length];
        rows.forEach((off, hex) -> {
            assertEquals(hex, HEX.formatHex(rec, off, off + hex.length() / 2), "bytes at " + off);
            Arrays.fill(written, off, off + hex.length() / 2, true);
        });
        for (int i = 16; i < length; i++) {
            if (!written[i]) {
                assertEquals(seed(i), rec[i], "byte " + i + " keeps what the block held");
            }
        }
    }

    /** Little-endian hex of the low `width` bytes of v. */
    static String le(long v, int width) {
        return HEX.formatHex(ByteBuffer.allocate(8).order(ByteOrder.LITTLE_ENDIAN).putLong(v).array(), 0, width);
    }

    static Map<String, String> fieldsOf(Object o) throws IllegalAccessException {
        Map<String, String> values = new TreeMap<>();
        for (Field f : o.getClass().getFields()) {
            values.put(f.getName(), Arrays.deepToString(new Object[] {f.get(o)}));
        }
        return values;
    }

    /** Field by field, so that a failure names the field. */
    static void assertFields(Map<String, String> expected, Object o) throws IllegalAccessException {
        Map<String, String> actual = fieldsOf(o);
        expected.forEach((name, value) -> assertEquals(value, actual.get(name), name));
    }

    // ---- set -----------------------------------------------------------------------------------

    /** One value per setting, each with its own bytes, signs and widths at their edges. */
    private static final Map<String, Object> VALUES = Map.ofEntries(Map.entry("NFA", "10.1.2.3"),
            Map.entry("TraceLevel", 0x01020304), Map.entry("DefaultClusterMaxPorts", 0x11121314),
            Map.entry("FINTimeout", -5), Map.entry("HaTimeout", Integer.MAX_VALUE),
            Map.entry("HaSyncTimeout", Integer.MIN_VALUE), Map.entry("ClientGateway", "192.168.7.9"),
            Map.entry("DefaultPortMaxServers", 0x21222324), Map.entry("DefaultPortStaleTimeout", 300),
            Map.entry("iSharedBytesPerSecond", 0x31323334), Map.entry("DefaultPortStickyTime", -1),
            Map.entry("DefaultPortAffinityType", 65537), Map.entry("DefaultPortWeightBound", 0x1FFFE),
            Map.entry("DefaultPortType", '\u01A7'), Map.entry("DefaultPortReplicate", '\u0142'),
            Map.entry("MaxNumberOfClusters", 0x41424344), Map.entry("WidePortNumber", 0x51525354),
            Map.entry("ConfigFileName", NAME), Map.entry("iCookieExpireInterval", 0x61626364));

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
        seedBlock(lib);
        assertEquals(0, lib.setExecutorStatusNative(everySetting((byte) 1)));

        Map<Integer, String> rows = new TreeMap<>(Map.ofEntries(Map.entry(16, "0a010203"),
                Map.entry(20, "04030201"), Map.entry(28, "14131211"), Map.entry(32, le(-5, 8)),
                Map.entry(40, le(Integer.MAX_VALUE, 8)), Map.entry(48, le(Integer.MIN_VALUE, 8)),
                Map.entry(56, "24232221"), Map.entry(64, le(300, 8)), Map.entry(72, le(-1, 8)),
                Map.entry(80, "0100"), Map.entry(82, "feff"), Map.entry(84, "a7"), Map.entry(85, "42"),
                Map.entry(86, HEX.formatHex(NAME.getBytes(StandardCharsets.UTF_8)) + "00"),
                Map.entry(600, "c0a80709"), Map.entry(604, "44434241"), Map.entry(608, "54535251"),
                Map.entry(616, le(secondsWestHere(), 8)), Map.entry(624, "34333231"), Map.entry(656, "01"),
                Map.entry(657, "000000000000"), Map.entry(664, "64636261"),
                Map.entry(672, "202122232425262728292a2b2c2d2e2f"), Map.entry(688, "000000000000")));
        FLAGS.values().forEach(off -> rows.put(off, "01"));
        assertRequest(2, 696, rows);
    }

    /** Flags other than 1 travel as given, their values stay unread, the cookie travels anyway. */
    @ParameterizedTest(name = "every flag {0}")
    @ValueSource(bytes = {0, 2, -1})
    void flagsOtherThanOneSendNoValue(byte flag) throws Exception {
        CMNExecutor e = everySetting(flag);
        e.NFA = "no-such-host.invalid";  // neither resolved nor refused: its flag is not 1
        e.ClientGateway = null;
        e.ConfigFileName = null;
        seedBlock(lib);
        assertEquals(0, lib.setExecutorStatusNative(e));

        Map<Integer, String> rows = new TreeMap<>(Map.of(664, "64636261", 656, le(flag, 1)));
        FLAGS.forEach((name, off) -> rows.put(off, le(flag, 1)));
        rows.remove(645);  // computed with the non-forwarding address only
        assertRequest(2, 696, rows);
    }

    /** Address texts set their flag to 1; a name of "" stands for a null ConfigFileName. */
    @ParameterizedTest(name = "NFA {0}, gateway {1}, name {2} -> {3}")
    @MethodSource("refusals")
    void refusedSettingsSendNothingAndChangeNothing(String nfa, String gateway, String name, int result)
            throws Exception {
        CMNExecutor e = new CMNExecutor();
        e.SetNonForwardingAddress = (byte) (nfa == null ? 0 : 1);
        e.NFA = nfa;
        e.SetClientGateway = (byte) (gateway == null ? 0 : 1);
        e.ClientGateway = gateway;
        e.SetConfigFileName = (byte) (name == null ? 0 : 1);
        e.ConfigFileName = name == null || name.isEmpty() ? null : name;
        Map<String, String> before = fieldsOf(e);

        assertEquals(result, lib.setExecutorStatusNative(e));
        assertFields(before, e);
        assertEquals(result == 0 ? 1 : 0, sim.recordCount());
        if (result == 0) {
            assertEquals(name, SimExecutor.text(sim.record(-1), 86, 256));
        }
    }

    static Stream<Arguments> refusals() {
        return Stream.of(Arguments.of("no-such-host.invalid", null, null, -21),
                Arguments.of("255.255.255.255", null, null, -21),
                Arguments.of("10.0.0.1", "no-such-host.invalid", null, -49),
                Arguments.of(null, null, "", -88),
                Arguments.of(null, null, "a".repeat(256), -90),
                Arguments.of(null, null, "\u00e9".repeat(128), -90),
                Arguments.of(null, null, "b".repeat(255), 0));
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
        assertEquals(1, e.SetSecondsWestOfGreenwich, "set by the library beside the address");
        assertEquals(2, e.SetTraceLevel);
        assertEquals(0, sim.recordCount());
    }

    // ---- read back -----------------------------------------------------------------------------

    @Test
    void settingsComeBackThroughTheExecutor() throws Exception {
        CMNExecutor sent = everySetting((byte) 1);
        sent.DefaultPortWeightBound = 0xFFFF;
        sent.DefaultPortAffinityType = 0xFFFF;
        assertEquals(0, lib.setExecutorStatusNative(sent));

        CMNExecutor got = new CMNExecutor();
        got.SetTraceLevel = 7;
        got.iCookieExpireInterval = 99;
        got.sPluginConfigFileName = "stale";
        assertEquals(0, lib.getExecutorStatusNative(got));

        Map<String, String> expected = fieldsOf(sent);
        expected.replaceAll((k, v) -> k.startsWith("Set") ? "[0]" : v);  // flags are not read back
        expected.putAll(Map.of("SetTraceLevel", "[7]", "iCookieExpireInterval", "[99]",
                "sPluginConfigFileName", "[]", "DefaultPortWeightBound", "[-1]",
                "DefaultPortAffinityType", "[65535]", "DefaultPortType", "[\u00a7]", "DefaultPortReplicate", "[B]"));
        assertFields(expected, got);
    }

    @ParameterizedTest(name = "{2} from {1} at {0}")
    @CsvSource({
        "32, 0500000001000000, FINTimeout, 5",
        "64, 00000000ffffffff, DefaultPortStaleTimeout, 0",
        "20, ffffffff, TraceLevel, -1",
        "84, ff, DefaultPortType, \u00ff",
        "600, 0a000001, ClientGateway, 10.0.0.1",
        "86, 61ff6200, ConfigFileName, a?b"})
    void readBackWidthsAndSigns(int offset, String hex, String field, String expected) throws Exception {
        sim.script("NEXT", "MODEL", "PUT", String.valueOf(offset), hex);
        CMNExecutor e = new CMNExecutor();
        assertEquals(0, lib.getExecutorStatusNative(e));
        assertEquals(expected, String.valueOf(CMNExecutor.class.getField(field).get(e)));
    }

    @Test
    void unterminatedTextsStopAtTheirFieldsEnd() {
        sim.script("NEXT", "MODEL", "PUT", "86", "41".repeat(256) + "42".repeat(256) + "4343");
        CMNExecutor e = new CMNExecutor();
        assertEquals(0, lib.getExecutorStatusNative(e));
        assertEquals("A".repeat(256), e.ConfigFileName);
        assertEquals("B".repeat(256), e.sPluginConfigFileName);
    }

    /** Scripts the next request to fail, or sets the server modality flag. */
    static void failNext(String script) {
        if (script.equals("server modality")) {
            new CMNExecutorInterface().setQVAServerModalityNative(true);
        } else {
            sim.script(("NEXT " + script).split(" "));
        }
    }

    @ParameterizedTest(name = "{0}")
    @CsvSource({"executor answers, 0", "RESULT -1 REASON -5, -1", "ERROR 113, 113"})
    void rateGoesOutAndReturnsTheSendResult(String script, int result) {
        if (!script.equals("executor answers")) {
            failNext(script);
        }
        CMNExecutor e = new CMNExecutor();
        e.iConnectionsPerSecond = 0x01020304;
        assertEquals(result, lib.setExecutorCPSNative(e));
        byte[] rec = sim.record(-1);
        assertEquals(List.of(71L, 240L, 0x01020304L),
                List.of(SimExecutor.u32le(rec, 0), SimExecutor.u32le(rec, 12), SimExecutor.u32le(rec, 232)));
    }

    // ---- seconds west of Greenwich, per time zone ------------------------------------------------

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
        ProcessBuilder pb = new ProcessBuilder(Path.of(System.getProperty("java.home"), "bin", "java").toString(),
                "-Xcheck:jni", "-Djava.library.path=" + System.getProperty("java.library.path"),
                "-cp", System.getProperty("java.class.path"), SecondsWest.class.getName())
                .redirectErrorStream(true);
        pb.environment().put("TZ", zone);
        Process child = pb.start();
        String out = new String(child.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(child.waitFor(30, TimeUnit.SECONDS));
        assertTrue(out.contains("result=0\n"), out);
        assertFalse(out.contains("WARNING in native method"), out);

        byte[] rec = sim.record(-1);
        assertEquals(west, SimExecutor.u64le(rec, 616));
        assertEquals(1, rec[645]);
        assertEquals(0x0708090AL, SimExecutor.u32le(rec, 16));
    }
}
