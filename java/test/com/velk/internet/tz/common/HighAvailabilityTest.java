package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.*;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.function.IntUnaryOperator;
import java.util.stream.IntStream;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** The partner state machine's information and the nine requests that change it. */
class HighAvailabilityTest extends ExecutorTestBase {
    static final String[] ARRAYS = {"haLocal_Address", "haRemote_Address", "haStatus", "haAddress", "haMask", "haType",
        "haAddress_status", "haRemote_status", "haLTimeStamp", "haRTimeStamp"};
    /** One card: eth0 10.1.0.5/16. */
    @BeforeEach
    void oneCardHost() {
        cards("1 svcA 10.1.0.5 255.255.0.0", "svcA eth0", 1);
    }

    static CMNHAInfo info(int size) throws ReflectiveOperationException {
        CMNHAInfo h = new CMNHAInfo();
        for (String f : ARRAYS) {
            int[] a = new int[size];
            Arrays.fill(a, -7);
            CMNHAInfo.class.getField(f).set(h, a);
        }
        return h;
    }

    /** An information answer, every field with its top bit set, with `count` heartbeat and reach records. */
    static String answer(int count) {
        ByteBuffer b = ByteBuffer.allocate(1712).order(ByteOrder.LITTLE_ENDIAN);
        Arrays.fill(b.array(), (byte) 0xEE);
        b.putInt(16, 0x81828384).put(20, new byte[] {10, 0, 0, 1}).put(24, (byte) 0xF1).put(26, (byte) 0xF2)
                .put(27, (byte) 0xF3).put(28, (byte) 0xF4).putShort(30, (short) 0xFEDC).putShort(32, (short) count)
                .put(34, (byte) 0xF5).putShort(680, (short) count);
        for (int i = 0; i < Math.min(count, 32); i++) {
            b.put(36 + 20 * i, new byte[] {10, (byte) i, 0, 1, (byte) 192, (byte) 168, (byte) i, (byte) (0x80 + i)});
            b.put(36 + 20 * i + 14, (byte) (0x80 + i));
            b.put(688 + 32 * i, new byte[] {(byte) 172, 16, (byte) i, (byte) 0xFE, (byte) 255, (byte) 255, (byte) 0xF0,
                0, (byte) (0x90 + i), (byte) (0xA0 + i), (byte) (0xB0 + i)});
            b.putInt(688 + 32 * i + 16, 0x80000000 + i).putInt(688 + 32 * i + 24, 0xC0000000 + i);
        }
        return HEX.formatHex(b.array(), 16, 1712);
    }

    @ParameterizedTest(name = "count {0}, arrays of {1}")
    @CsvSource({"0, 32", "32, 32", "40, 32", "32769, 32", "5, 3", "2, 10"})
    void infoWritesScalarsAndEachArrayUpToItsCountAndLength(int count, int size) throws Exception {
        sim.script("NEXT", "PUT", "16", answer(count));
        CMNHAInfo h = info(size);
        h.haFsmAddress = 0x0A000001;
        assertEquals(0, lib.getHAInfoNative(h));
        byte[] rec = sim.record(-1);
        assertEquals(List.of(47L, 1712L, "0a000001"),
                List.of(SimExecutor.u32le(rec, 0), SimExecutor.u32le(rec, 12), HEX.formatHex(rec, 20, 24)));
        int n = Math.min(count, 32);
        assertFields(map("haFsmMode", "[-2122153084]", "haFsmAddress", "[167772161]", "haRole", "[241]",
                "haStrategy", "[242]", "haState", "[243]", "haSubstate", "[244]", "haPort", "[65244]",
                "haHBCount", "[" + count + "]", "haPeer", "[245]", "haReachCount", "[" + count + "]"), h);
        IntUnaryOperator[] element = {i -> 0x0A000001 | i << 16, i -> 0xC0A80080 | i << 8 | i, i -> 0x80 + i,
            i -> 0xAC1000FE | i << 8, i -> 0xFFFFF000, i -> 0x90 + i, i -> 0xA0 + i, i -> 0xB0 + i, i -> 0x80000000 + i,
            i -> 0xC0000000 + i};
        for (int f = 0; f < ARRAYS.length; f++) {
            IntUnaryOperator e = element[f];
            assertArrayEquals(IntStream.range(0, size).map(i -> i < Math.min(n, size) ? e.applyAsInt(i) : -7).toArray(),
                    (int[]) get(h, ARRAYS[f]), ARRAYS[f]);
        }
    }

    @ParameterizedTest(name = "{0} -> {1}")
    @CsvSource({"RESULT -1 REASON -5, -1", "ERROR 5, 5", "RESULT 9, 9", "server modality, 1"})
    void aFailedInfoRequestIsPassedOnAndWritesNothing(String script, int expected) throws Exception {
        failNext(script);
        CMNHAInfo h = info(4);
        assertEquals(expected, lib.getHAInfoNative(h));
        assertEquals(fieldsOf(info(4)), fieldsOf(h));
    }

    /** Calls "method arg..." with ~ for an unresolvable name, null and '' as themselves. */
    int invoke(String call) {
        String[] w = call.trim().split(" +");
        String[] s = Arrays.stream(w).map(a -> a.equals("~") ? UNRESOLVABLE : a.equals("null") ? null
                : a.equals("''") ? "" : a).toArray(String[]::new);
        return switch (w[0]) {
            case "backupAdd" -> lib.backupAddNative(Integer.parseInt(w[1]), Integer.parseInt(w[2]), s[3]);
            case "backupDel" -> lib.backupDelNative();
            case "addReach" -> lib.addReachNative(s[1], s[2], Integer.decode(w[3]));
            case "delReach" -> lib.delReachNative(s[1]);
            case "delHB" -> lib.delHBNative(s[1]);
            case "takeover" -> lib.takeoverNative(s[1]);
            case "chgReach" -> lib.chgReachNative(Integer.parseInt(w[1]), Integer.parseInt(w[2]), Integer.decode(w[3]));
            case "setTimers" -> lib.setTimersNative(s[1], s[2], s[3], s[4], s[5], s[6], s[7]);
            case "addHB" -> lib.addHBNative(s[1], s[2]);
            default -> throw new AssertionError(call);
        };
    }

    /** {call, the executor's answer, result, command sent (0: none), its fields "offset=hex ..."}. */
    @ParameterizedTest(name = "{0} ({1}) -> {2}")
    @CsvSource(delimiter = '|', value = {
        "backupAdd 7 -2 80            | RESULT 0 | 0   | 40 | 20=07000000 24=feffffff 28=50000000",
        "backupAdd 7 -2 80            | RESULT -1 REASON -5 | 0 | 40 | 20=07000000 24=feffffff 28=50000000",
        "backupAdd 7 -2 65535         | RESULT 0 | 0   | 40 | 20=07000000 24=feffffff 28=ffff0000",
        "backupDel                    | RESULT -1 REASON -5 | 0 | 41 |",
        "addReach 10.1.2.3 255.255.255.0 0x01020304 | ERROR 5  | -34 | 43 | 20=0a010203 24=ffffff00 28=04030201",
        "delReach 10.1.2.3            | RESULT -1 REASON -5 | -47 | 44 | 20=0a010203",
        "delHB 10.1.2.3               | RESULT 3 | -47 | 46 | 20=0a010203",
        "takeover 10.1.2.3            | RESULT -1 REASON -5 | -36 | 51 | 20=0a010203",
        "chgReach 1 -2 0x7fffffff     | ERROR 5  | -99 | 48 | 20=01000000 24=feffffff 28=ffffff7f",
        "setTimers 1 22 333 0 '' 9 10 | RESULT 0 | 0   | 50 |",
        "setTimers 1 2 3 4 5 6 7      | RESULT -1 REASON -5 | -17 | 50 |",
        "backupAdd 7 -2 0             | RESULT 0 | -10 | 0 |",
        "backupAdd 7 -2 65536         | RESULT 0 | -10 | 0 |",
        "backupAdd 7 -2 +80           | RESULT 0 | -10 | 0 |",
        "backupAdd 7 -2 ''            | RESULT 0 | -10 | 0 |",
        "backupAdd 7 -2 null          | RESULT 0 | -10 | 0 |",
        "backupAdd 7 -2 4294967376    | RESULT 0 | -10 | 0 |",
        "addReach ~ null 1            | RESULT 0 | -47 | 0 |",
        "addReach 10.1.2.3 ~ 1        | RESULT 0 | -46 | 0 |",
        "delReach ~                   | RESULT 0 | -47 | 0 |",
        "delHB null                   | RESULT 0 | -47 | 0 |",
        "takeover ~                   | RESULT 0 | -1  | 0 |",
        "setTimers 1 2 3 -1 5 6 7     | RESULT 0 | -6  | 0 |",
        "setTimers 1 2 3 4 5 6 null   | RESULT 0 | -6  | 0 |",
        "setTimers 1 2 3 4 5 6 2147483648 | RESULT 0 | -6 | 0 |",
        "addHB ~ ~                    | RESULT 0 | -46 | 0 |",
        "addHB 10.1.2.3 null          | RESULT 0 | -47 | 0 |"})
    void requests(String call, String answer, int expected, int command, String fields) {
        seedBlock();
        int before = sim.recordCount();
        sim.script(("NEXT " + answer).split(" "));
        assertEquals(expected, invoke(call));
        if (command == 0) {
            assertEquals(before, sim.recordCount(), "nothing is sent");
            return;
        }
        Map<Integer, String> rows = new TreeMap<>();
        for (String f : fields == null ? new String[0] : fields.split(" ")) {
            rows.put(Integer.parseInt(f.split("=")[0]), f.split("=")[1]);
        }
        assertRequest(command, command == 41 || command == 50 ? 16 : 280, rows);
    }

    /** {aliases already listed (negative: and the NIC query fails), local address, result, tool line run}. */
    @ParameterizedTest(name = "{0} aliases, local {1} -> {2}")
    @CsvSource({"1, 10.1.2.3, 0, false", "0, 172.16.0.1, -44, false", "33, 10.1.2.3, -44, true",
        "-33, 10.1.2.3, -44, true", "-1, 10.1.2.3, 0, true"})
    void addHBConfiguresItsLocalAddressFirst(int aliases, String local, int expected, boolean toolRun) {
        sim.command("ALIAS eth 0 10.1.2.3 255.255.0.0".replace("10.1.2.3", aliases == 1 ? "10.1.2.3" : "10.9.0.1"));
        for (int i = 1; i < Math.abs(aliases); i++) {
            sim.command("ALIAS eth 1 10.200.0." + i + " 255.255.255.0");
        }
        if (aliases < 0) {
            sim.script("NEXT", "ERROR", "5");
        }
        assertEquals(expected, lib.addHBNative(local, "10.2.0.9"));
        assertEquals(expected == 0 ? List.of(55L, 45L) : List.of(55L),
                IntStream.range(0, sim.recordCount()).mapToObj(i -> SimExecutor.u32le(sim.record(i), 0)).toList());
        assertEquals(toolRun ? List.of("zoconfig eth0 alias 10.1.2.3 netmask 255.255.0.0 source 10.1.0.5") : List.of(),
                toolLines());
        if (expected == 0) {
            assertEquals("0a0102030a020009", HEX.formatHex(sim.record(-1), 20, 28));
        }
    }
}
