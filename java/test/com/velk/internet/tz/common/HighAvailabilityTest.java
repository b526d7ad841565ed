package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.RegistryCards.card;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import com.velk.internet.tz.common.RegistryCards.Key;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.function.ToIntFunction;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/** The partner state machine's information and the nine requests that change it. */
class HighAvailabilityTest extends ExecutorTestBase {
    static final int UNTOUCHED = -7;
    static final String[] HB_ARRAYS = {"haLocal_Address", "haRemote_Address", "haStatus"};
    static final String[] REACH_ARRAYS = {"haAddress", "haMask", "haType", "haAddress_status", "haRemote_status",
        "haLTimeStamp", "haRTimeStamp"};
    int logBefore;

    /** One card: eth0 10.1.0.5/16. */
    @BeforeEach
    void oneCardHost() {
        RegistryCards.clear();
        RegistryCards.write(Key.TCPIP, card(1, "svcA", "10.1.0.5", "255.255.0.0"));
        sim.command("IFNAME svcA eth0");
        assertEquals(1, lib.setInterfacesNative(0));
        sim.command("RESET");
        sim.command("IFNAME svcA eth0");
        logBefore = SimExecutor.toolLog().size();
    }

    List<String> toolLines() {
        List<String> all = SimExecutor.toolLog();
        return all.subList(logBefore, all.size());
    }

    static CMNHAInfo info(int arraySize) {
        CMNHAInfo h = new CMNHAInfo();
        for (String f : Stream.concat(Arrays.stream(HB_ARRAYS), Arrays.stream(REACH_ARRAYS)).toList()) {
            int[] a = new int[arraySize];
            Arrays.fill(a, UNTOUCHED);
            try {
                CMNHAInfo.class.getField(f).set(h, a);
            } catch (ReflectiveOperationException e) {
                throw new AssertionError(e);
            }
        }
        return h;
    }

    /** An information answer whose every field has its top bit set, with `count` heartbeat and reach records. */
    static byte[] answer(int count) {
        ByteBuffer b = ByteBuffer.allocate(1712).order(ByteOrder.LITTLE_ENDIAN);
        Arrays.fill(b.array(), (byte) 0xEE);
        b.putInt(16, 0x81828384).put(20, new byte[] {10, 0, 0, 1}).put(24, (byte) 0xF1).put(26, (byte) 0xF2)
                .put(27, (byte) 0xF3).put(28, (byte) 0xF4).putShort(30, (short) 0xFEDC).putShort(32, (short) count)
                .put(34, (byte) 0xF5).putShort(680, (short) count);
        for (int i = 0; i < Math.min(count, 32); i++) {
            b.put(36 + 20 * i, new byte[] {10, (byte) i, 0, 1, (byte) 192, (byte) 168, (byte) i, (byte) (0x80 + i)});
            b.put(36 + 20 * i + 14, (byte) (0x80 + i));
            int r = 688 + 32 * i;
            b.put(r, new byte[] {(byte) 172, 16, (byte) i, (byte) 0xFE, (byte) 255, (byte) 255, (byte) 0xF0, 0,
                (byte) (0x90 + i), (byte) (0xA0 + i), (byte) (0xB0 + i)});
            b.putInt(r + 16, 0x80000000 + i).putInt(r + 24, 0xC0000000 + i);
        }
        return Arrays.copyOfRange(b.array(), 16, 1712);
    }

    static int[] expected(int n, int size, java.util.function.IntUnaryOperator element) {
        return IntStream.range(0, size).map(i -> i < n ? element.applyAsInt(i) : UNTOUCHED).toArray();
    }

    @ParameterizedTest(name = "count {0}, arrays of {1}")
    @CsvSource({"0, 32", "32, 32", "40, 32", "5, 3", "2, 10"})
    void infoWritesScalarsAndEachArrayUpToItsCountAndLength(int count, int size) throws Exception {
        sim.script("NEXT", "PUT", "16", HEX.formatHex(answer(count)));
        CMNHAInfo h = info(size);
        h.haFsmAddress = 0x0A000001;
        assertEquals(0, lib.getHAInfoNative(h));
        byte[] rec = sim.record(-1);
        assertEquals(List.of(47L, 1712L, "0a000001"), List.of(SimExecutor.u32le(rec, 0), SimExecutor.u32le(rec, 12),
                HEX.formatHex(rec, 20, 24)));
        int n = Math.min(count, 32);
        assertFields(map("haFsmMode", "[-2122153084]", "haFsmAddress", "[167772161]", "haRole", "[241]",
                "haStrategy", "[242]", "haState", "[243]", "haSubstate", "[244]", "haPort", "[65244]",
                "haHBCount", "[" + n + "]", "haPeer", "[245]", "haReachCount", "[" + n + "]"), h);
        int m = Math.min(n, size);
        assertArrayEquals(expected(m, size, i -> 0x0A000001 | i << 16), h.haLocal_Address);
        assertArrayEquals(expected(m, size, i -> 0xC0A80080 | i << 8 | i), h.haRemote_Address);
        assertArrayEquals(expected(m, size, i -> 0x80 + i), h.haStatus);
        assertArrayEquals(expected(m, size, i -> 0xAC1000FE | i << 8), h.haAddress);
        assertArrayEquals(expected(m, size, i -> 0xFFFFF000), h.haMask);
        assertArrayEquals(expected(m, size, i -> 0x90 + i), h.haType);
        assertArrayEquals(expected(m, size, i -> 0xA0 + i), h.haAddress_status);
        assertArrayEquals(expected(m, size, i -> 0xB0 + i), h.haRemote_status);
        assertArrayEquals(expected(m, size, i -> 0x80000000 + i), h.haLTimeStamp);
        assertArrayEquals(expected(m, size, i -> 0xC0000000 + i), h.haRTimeStamp);
    }

    @ParameterizedTest(name = "{0} -> {1}")
    @CsvSource({"RESULT -1 REASON -5, -1", "ERROR 5, 5", "RESULT 9, 9", "server modality, 1"})
    void aFailedInfoRequestIsPassedOnAndWritesNothing(String script, int expected) throws Exception {
        failNext(script);
        CMNHAInfo h = info(4);
        h.haFsmAddress = 77;
        assertEquals(expected, lib.getHAInfoNative(h));
        assertEquals(fieldsOf(info(4)).entrySet().stream().filter(e -> !e.getKey().equals("haFsmAddress")).toList(),
                fieldsOf(h).entrySet().stream().filter(e -> !e.getKey().equals("haFsmAddress")).toList());
        assertEquals(77, h.haFsmAddress);
    }

    record Call(String name, ToIntFunction<CMNExecutorInterface> call) {
        @Override
        public String toString() {
            return name;
        }
    }

    static Call call(String name, ToIntFunction<CMNExecutorInterface> call) {
        return new Call(name, call);
    }

    static final String ACCEPT = "RESULT 0";
    static final String REFUSE = "RESULT -1 REASON -5";

    /** {call, the executor's answer, result, command sent (0: none) and its fields}. */
    static Stream<Arguments> requests() {
        Map<Integer, String> backup = map(20, le(7, 4), 24, le(-2, 4), 28, le(80, 4));
        Map<Integer, String> reach = map(20, "0a010203", 24, "ffffff00", 28, le(0x01020304, 4));
        Map<Integer, String> one = map(20, "0a010203");
        Map<Integer, String> none = map();
        return Stream.of(
            Arguments.of(call("backup add", l -> l.backupAddNative(7, -2, "80")), ACCEPT, 0, 40, backup),
            Arguments.of(call("backup add refused", l -> l.backupAddNative(7, -2, "80")), REFUSE, 0, 40, backup),
            Arguments.of(call("backup add port 1", l -> l.backupAddNative(7, -2, "1")), ACCEPT, 0, 40,
                map(20, le(7, 4), 24, le(-2, 4), 28, le(1, 4))),
            Arguments.of(call("backup add port 65535", l -> l.backupAddNative(7, -2, "65535")), ACCEPT, 0, 40,
                map(20, le(7, 4), 24, le(-2, 4), 28, le(65535, 4))),
            Arguments.of(call("backup delete refused", CMNExecutorInterface::backupDelNative), REFUSE, 0, 41, none),
            Arguments.of(call("reach add", l -> l.addReachNative("10.1.2.3", "255.255.255.0", 0x01020304)), ACCEPT,
                0, 43, reach),
            Arguments.of(call("reach add refused", l -> l.addReachNative("10.1.2.3", "255.255.255.0", 0x01020304)),
                REFUSE, -34, 43, reach),
            Arguments.of(call("reach delete", l -> l.delReachNative("10.1.2.3")), ACCEPT, 0, 44, one),
            Arguments.of(call("reach delete refused", l -> l.delReachNative("10.1.2.3")), REFUSE, -47, 44, one),
            Arguments.of(call("heartbeat delete", l -> l.delHBNative("10.1.2.3")), ACCEPT, 0, 46, one),
            Arguments.of(call("heartbeat delete refused", l -> l.delHBNative("10.1.2.3")), REFUSE, -47, 46, one),
            Arguments.of(call("takeover", l -> l.takeoverNative("10.1.2.3")), ACCEPT, 0, 51, one),
            Arguments.of(call("takeover refused", l -> l.takeoverNative("10.1.2.3")), REFUSE, -36, 51, one),
            Arguments.of(call("reach change", l -> l.chgReachNative(1, -2, 0x7FFFFFFF)), ACCEPT, 0, 48,
                map(20, le(1, 4), 24, le(-2, 4), 28, le(0x7FFFFFFF, 4))),
            Arguments.of(call("reach change refused", l -> l.chgReachNative(1, -2, 0x7FFFFFFF)), "ERROR 5", -99, 48,
                map(20, le(1, 4), 24, le(-2, 4), 28, le(0x7FFFFFFF, 4))),
            Arguments.of(call("timers, one empty", l -> l.setTimersNative("1", "22", "333", "0", "", "9", "10")),
                ACCEPT, 0, 50, none),
            Arguments.of(call("timers refused", l -> l.setTimersNative("1", "2", "3", "4", "5", "6", "7")), REFUSE,
                -17, 50, none),
            Arguments.of(call("backup add port 0", l -> l.backupAddNative(7, -2, "0")), ACCEPT, -10, 0, none),
            Arguments.of(call("backup add port 65536", l -> l.backupAddNative(7, -2, "65536")), ACCEPT, -10, 0, none),
            Arguments.of(call("backup add port +80", l -> l.backupAddNative(7, -2, "+80")), ACCEPT, -10, 0, none),
            Arguments.of(call("backup add port ' 80'", l -> l.backupAddNative(7, -2, " 80")), ACCEPT, -10, 0, none),
            Arguments.of(call("backup add port empty", l -> l.backupAddNative(7, -2, "")), ACCEPT, -10, 0, none),
            Arguments.of(call("backup add port null", l -> l.backupAddNative(7, -2, null)), ACCEPT, -10, 0, none),
            Arguments.of(call("backup add port past 2^31", l -> l.backupAddNative(7, -2, "4294967376")), ACCEPT, -10,
                0, none),
            Arguments.of(call("reach add, first unresolvable", l -> l.addReachNative(UNRESOLVABLE, null, 1)), ACCEPT,
                -47, 0, none),
            Arguments.of(call("reach add, second unresolvable", l -> l.addReachNative("10.1.2.3", UNRESOLVABLE, 1)),
                ACCEPT, -46, 0, none),
            Arguments.of(call("reach delete, unresolvable", l -> l.delReachNative(UNRESOLVABLE)), ACCEPT, -47, 0, none),
            Arguments.of(call("heartbeat delete, null", l -> l.delHBNative(null)), ACCEPT, -47, 0, none),
            Arguments.of(call("takeover, unresolvable", l -> l.takeoverNative(UNRESOLVABLE)), ACCEPT, -1, 0, none),
            Arguments.of(call("timers with -1", l -> l.setTimersNative("1", "2", "3", "-1", "5", "6", "7")), ACCEPT,
                -6, 0, none),
            Arguments.of(call("timers with a null", l -> l.setTimersNative("1", "2", "3", "4", "5", "6", null)),
                ACCEPT, -6, 0, none),
            Arguments.of(call("timers past 2^31", l -> l.setTimersNative("1", "2", "3", "4", "5", "6", "2147483648")),
                ACCEPT, -6, 0, none),
            Arguments.of(call("heartbeat add, local unresolvable", l -> l.addHBNative(UNRESOLVABLE, UNRESOLVABLE)),
                ACCEPT, -46, 0, none),
            Arguments.of(call("heartbeat add, remote unresolvable", l -> l.addHBNative("10.1.2.3", null)),
                ACCEPT, -47, 0, none));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource
    void requests(Call call, String answer, int expected, int command, Map<Integer, String> fields) {
        seedBlock();
        int before = sim.recordCount();
        sim.script(("NEXT " + answer).split(" "));
        assertEquals(expected, call.call().applyAsInt(lib));
        if (command == 0) {
            assertEquals(before, sim.recordCount(), "nothing is sent");
        } else {
            assertRequest(command, command == 41 || command == 50 ? 16 : 280, fields);
        }
    }

    /** The commands received since the reset. */
    static List<Long> commands() {
        return IntStream.range(0, sim.recordCount()).mapToObj(i -> SimExecutor.u32le(sim.record(i), 0)).toList();
    }

    @Test
    void addHBWithItsLocalAddressConfiguredRunsNoAliasTool() {
        sim.command("ALIAS eth 0 10.1.2.3 255.255.0.0");
        assertEquals(0, lib.addHBNative("10.1.2.3", "10.2.0.9"));
        assertEquals(List.of(55L, 45L), commands());
        assertEquals("0a0102030a020009", HEX.formatHex(sim.record(-1), 20, 28));
        assertEquals(List.of(), toolLines());
    }

    @ParameterizedTest(name = "{0}")
    @CsvSource({"no interface holds the local address, 172.16.0.1, 0",
        "the alias tool fails, 10.1.2.3, 33", "the NIC query fails and the tool fails, 10.1.2.3, -33"})
    void addHBWithoutAnAliasReturnsMinus44AndSendsNoHeartbeat(String name, String local, int aliases) {
        for (int i = 0; i < Math.abs(aliases); i++) {
            sim.command("ALIAS eth 1 10.200.0." + i + " 255.255.255.0");
        }
        if (aliases < 0) {
            sim.script("NEXT", "ERROR", "5");
        }
        assertEquals(-44, lib.addHBNative(local, "10.2.0.9"));
        assertEquals(List.of(55L), commands());
        assertEquals(aliases == 0 ? List.of()
                : List.of("zoconfig eth0 alias 10.1.2.3 netmask 255.255.0.0 source 10.1.0.5"), toolLines());
    }

    @ParameterizedTest(name = "reason {0} -> {1}")
    @CsvSource({"-44, -44", "-45, -45", "-7, -35", "-1, -35", "0, -35"})
    void aRefusedHeartbeatGivesItsReasonOnlyFor44And45(int reason, int expected) {
        sim.command("ALIAS eth 0 10.1.2.3 255.255.0.0");
        sim.script("CMD", "45", "RESULT", "-1", "REASON", "" + reason);
        assertEquals(expected, lib.addHBNative("10.1.2.3", "10.2.0.9"));
    }

    /** Against the model alone: the alias made on the way, then every request seen in the information. */
    @Test
    void aPartnerPairedEndToEnd() throws Exception {
        assertEquals(0, lib.addHBNative("10.1.2.3", "10.2.0.9"));
        assertEquals(List.of("zoconfig eth0 alias 10.1.2.3 netmask 255.255.0.0 source 10.1.0.5"), toolLines());
        assertEquals(-45, lib.addHBNative("10.1.2.3", "10.2.0.9"));
        assertEquals(-36, lib.takeoverNative("10.2.0.9"), "no backup role yet");
        assertEquals(0, lib.backupAddNative(3, 1, "4000"));
        assertEquals(0, lib.addReachNative("10.5.0.1", "255.255.255.0", 2));
        assertEquals(0, lib.chgReachNative(0x0A050001, 7, 0));
        assertEquals(-99, lib.chgReachNative(0x0A050002, 7, 0));
        assertEquals(0, lib.takeoverNative("10.2.0.9"));
        CMNHAInfo h = info(2);
        assertEquals(0, lib.getHAInfoNative(h));
        assertFields(map("haFsmMode", "[1]", "haRole", "[3]", "haStrategy", "[1]", "haState", "[2]", "haPort", "[4000]",
                "haHBCount", "[1]", "haPeer", "[1]", "haLocal_Address", "[[167838211, -7]]",
                "haRemote_Address", "[[167903241, -7]]", "haReachCount", "[1]", "haAddress", "[[168099841, -7]]",
                "haMask", "[[-256, -7]]", "haType", "[[7, -7]]", "haAddress_status", "[[0, -7]]"), h);
        assertEquals(0, lib.delReachNative("10.5.0.1"));
        assertEquals(-47, lib.delReachNative("10.5.0.1"));
        assertEquals(0, lib.delHBNative("10.2.0.9"));
        assertEquals(-47, lib.delHBNative("10.2.0.9"));
        assertEquals(0, lib.backupDelNative());
        assertEquals(0, lib.getHAInfoNative(h = info(2)));
        assertFields(map("haFsmMode", "[0]", "haState", "[0]", "haHBCount", "[0]", "haReachCount", "[0]",
                "haLocal_Address", "[[-7, -7]]"), h);
    }
}
