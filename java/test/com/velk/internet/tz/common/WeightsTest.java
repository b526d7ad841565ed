package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.SimExecutor.u32le;
import static org.junit.jupiter.api.Assertions.*;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.function.Consumer;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** Server weights: parallel arrays out, records in, one result code per server. */
class WeightsTest extends ExecutorTestBase {
    /** Weights that note each identifier handed back, with iWeight[0] as it stood at that moment. */
    static class Recording extends CMNWeights {
        final List<String> handed = new ArrayList<>();

        Recording(int n) {
            super(n);
            sClusterID = "web";
            iPortNumber = 443;
        }

        @Override
        public void setServerId(String serverId, int index) {
            handed.add(serverId + "/" + index + "/" + (iWeight.length > 0 ? iWeight[0] : 0));
            super.setServerId(serverId, index);
        }
    }

    @Test
    void setPutsEachRecordAndTakesBackEachResult() {
        seedBlock();
        sim.script("NEXT", "PUT", "116", le(-11, 4), "PUT", "212", le(7, 4));
        Recording w = new Recording(2);
        w.iServerIdKey = new int[] {0x11223344, -1};
        w.iWeight = new int[] {70000, -1};
        w.bFixedWeight = new byte[] {5, -2};
        w.ucQuiescedDown = new int[] {256, 0x1FF};
        assertEquals(0, lib.setServerWeightsNative(w, 2));
        assertRequest(16, 220, map(16, le(key("web"), 4), 20, "01bb", 24, le(2, 4), 28, "44332211", 106, "7011",
                120, "0500", 124, "ffffffff", 202, "ffff", 216, "feff"));
        assertArrayEquals(new int[] {-11, 7}, w.iRC);
    }

    @Test
    void getHandsBackIdentifiersFirstThenEveryArray() {
        String rec0 = "00000000" + HEX.formatHex("srv1\0".getBytes()) + "00".repeat(63) + "0a000001" + "0000" + "ffff"
                + le(0x7F000001, 4) + le(5, 4) + le(-5, 4) + "fe";
        String id1 = "y".repeat(68);  // fills its field: read to the field's end
        sim.script("NEXT", "PUT", "28", rec0, "PUT", "128", HEX.formatHex(id1.getBytes()), "PUT", "196",
                "c0a80102" + "0000" + "0080" + le(-1, 4) + le(0, 4) + le(0, 4) + "7f");
        Recording w = new Recording(3);
        Arrays.fill(w.iWeight, 99);
        assertEquals(0, lib.getServerWeightsNative(w, 2));
        byte[] r = sim.record(-1);
        assertEquals(List.of(17L, 220L, key("web"), "01bb", 2L),
                List.of(u32le(r, 0), u32le(r, 12), u32le(r, 16), HEX.formatHex(r, 20, 22), u32le(r, 24)));
        assertEquals(List.of("srv1/0/99", id1 + "/1/99"), w.handed, "every identifier before any array");
        assertEquals(List.of("[167772161, -1062731518, 0]", "[-1, -32768, 99]", "[-2, 127, 0]",
                "[2130706433, -1, 0]", "[5, 0, 0]", "[-5, 0, 0]"), Stream.of(w.iAddress, w.iWeight, w.bFixedWeight,
                w.iTotalConns, w.iActiveConns, w.iRC).map(a -> a instanceof byte[] b ? Arrays.toString(b)
                : Arrays.toString((int[]) a)).toList());
    }

    /** n sizes the request, 666 at most; the rest is refused with nothing sent. */
    @ParameterizedTest(name = "{0} n {1} -> {2}")
    @CsvSource({"get, 0, 0", "set, 0, 0", "get, 666, 0", "set, 666, 0", "get, 667, -10", "set, 667, -10",
        "get, -1, -10", "set, -1, -10", "set, -2147483648, -10"})
    void lengths(String method, int n, int expected) {
        sim.script("NEXT", "RESULT", "0");
        Recording w = new Recording(Math.max(0, Math.min(n, 667)));
        int result = method.equals("get") ? lib.getServerWeightsNative(w, n) : lib.setServerWeightsNative(w, n);
        assertEquals(expected, result);
        if (expected != 0) {
            assertEquals(0, sim.recordCount());
            return;
        }
        byte[] r = sim.record(-1);
        assertEquals(List.of(method.equals("get") ? 17L : 16L, 28L + 96L * n, (long) n),
                List.of(u32le(r, 0), u32le(r, 12), u32le(r, 24)));
        assertEquals(method.equals("get") ? n : 0, w.handed.size());
    }

    /** Arrays shorter than n are never read or written past their end; missing ones as decided. */
    static Stream<Arguments> arrays() {
        return Stream.of(
                Arguments.of("set", "short iWeight", (Consumer<CMNWeights>) w -> w.iWeight = new int[1], -88),
                Arguments.of("set", "null ucQuiescedDown", (Consumer<CMNWeights>) w -> w.ucQuiescedDown = null, -88),
                Arguments.of("set", "short bFixedWeight",
                        (Consumer<CMNWeights>) w -> w.bFixedWeight = new byte[1], -88),
                Arguments.of("set", "short iRC", (Consumer<CMNWeights>) w -> w.iRC = new int[1], -88),
                Arguments.of("set", "null iRC", (Consumer<CMNWeights>) w -> w.iRC = null, 0),
                Arguments.of("get", "short iRC", (Consumer<CMNWeights>) w -> w.iRC = new int[1], -88),
                Arguments.of("get", "short iAddress", (Consumer<CMNWeights>) w -> w.iAddress = new int[0], -88),
                Arguments.of("get", "null iAddress", (Consumer<CMNWeights>) w -> w.iAddress = null, 0),
                Arguments.of("get", "null cluster", (Consumer<CMNWeights>) w -> w.sClusterID = null, -88),
                Arguments.of("set", "port 65536", (Consumer<CMNWeights>) w -> w.iPortNumber = 65536, -10),
                Arguments.of("get", "port 65535", (Consumer<CMNWeights>) w -> w.iPortNumber = 65535, 0));
    }

    @ParameterizedTest(name = "{0} {1} -> {3}")
    @MethodSource
    void arrays(String method, String what, Consumer<CMNWeights> change, int expected) {
        sim.script("NEXT", "RESULT", "0", "PUT", "116", le(-11, 4));
        Recording w = new Recording(2);
        change.accept(w);
        int result = method.equals("get") ? lib.getServerWeightsNative(w, 2) : lib.setServerWeightsNative(w, 2);
        assertEquals(List.of(expected, expected == 0 ? 1 : 0), List.of(result, sim.recordCount()));
        if (expected == 0 && w.iRC != null) {
            assertEquals(-11, w.iRC[0]);
        }
    }

    /** A failed get writes nothing; a failed set still takes back every result code. */
    @ParameterizedTest(name = "{0}: reason {1} -> {2}")
    @CsvSource({"get, -5, -5", "set, -36, -99"})
    void failures(String method, int reason, int expected) {
        sim.script("NEXT", "RESULT", "-1", "REASON", "" + reason, "PUT", "116", le(-36, 4));
        Recording w = new Recording(2);
        Arrays.fill(w.iRC, 9);
        int result = method.equals("get") ? lib.getServerWeightsNative(w, 2) : lib.setServerWeightsNative(w, 2);
        assertEquals(expected, result);
        assertEquals(method.equals("get") ? "[9, 9]/0" : "[-36, " + w.iRC[1] + "]/0",
                Arrays.toString(w.iRC) + "/" + w.handed.size());
    }
}
