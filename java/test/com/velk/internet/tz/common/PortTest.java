package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.SimExecutor.u32le;
import static java.util.stream.Collectors.joining;
import static org.junit.jupiter.api.Assertions.*;

import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.function.ToIntFunction;
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
        p.iPortProtocol = 0x1FFFF;
        p.Replicate = 0x1FE;
        p.iMaxHalfOpen = 0x0A0B0C0D;
        p.iCrossPort = 8080;
        p.SendReset = 0x5A;
        setBytes(p, FLAGS, 1);
        return p;
    }

    final Map<String, ToIntFunction<CMNPort>> calls = Map.of("add", lib::addPortNative, "set", lib::setPortStatusNative,
            "remove", lib::removePortNative, "status", lib::getPortStatusNative, "report", lib::getPortReportNative,
            "cps", lib::setPortCPSNative);

    /** Every method's command and length, the cluster key and port number; what each refuses, sending nothing. */
    static Stream<Arguments> addresses() {
        Object[][] methods = {{"add", 10, 96}, {"set", 14, 96}, {"remove", 11, 96}, {"status", 13, 96},
            {"report", 15, 72}, {"cps", 80, 72}};
        Object[][] rows = {{"web", -1, -10}, {"web", 0, 0}, {"web", 80, 0}, {"web", 65535, 0}, {"web", 65536, -10},
            {null, 80, -88}};
        return Stream.concat(Arrays.stream(methods).flatMap(m -> Arrays.stream(rows)
                .map(r -> Arguments.of(m[0], m[1], m[2], r[0], "10.0.0.2", r[1], r[2]))),
                Stream.of(Arguments.of("remove", 11, 96, "web", UNRESOLVABLE, 80, -3),
                        Arguments.of("remove", 11, 96, "web", null, 80, -3)));
    }

    @ParameterizedTest(name = "{0} {3}:{5}, cluster address {4} -> {6}")
    @MethodSource("addresses")
    void requestsAddressAPort(String method, int command, int length, String clusterId, String clusterAddress,
                              int number, int refused) {
        CMNPort p = full(number);
        p.ClusterId = clusterId;
        p.ClusterAddress = clusterAddress;
        p.iConnectionsPerSecond = -2;
        int result = calls.get(method).applyAsInt(p);
        if (refused != 0) {
            assertEquals(List.of(refused, 0), List.of(result, sim.recordCount()));
            return;
        }
        byte[] r = sim.record(-1);
        assertEquals(List.of((long) command, (long) length, key("web"), String.format("%04x", number)),
                List.of(u32le(r, 0), u32le(r, 12), u32le(r, 16), HEX.formatHex(r, 20, 22)));
        assertEquals(method.equals("cps") ? "feffffff" : "", HEX.formatHex(r, 24, method.equals("cps") ? 28 : 24));
    }

    @Test
    void fullAddPutsEveryFieldAtItsOffset() {
        seedBlock();
        sim.script("NEXT", "RESULT", "0");
        assertEquals(0, lib.addPortNative(full(80)));
        assertRequest(10, 96, map(16, le(key("web"), 4), 20, "0050", 32, "efcdab89", 40, le(-1, 8), 48, "ffff",
                52, "04030201", 56, le(Integer.MIN_VALUE, 8), 64, "ffff", 66, "81", 68, "feff", 70, "fe", 72, "1f90",
                76, "0d0c0b0a", 80, "01".repeat(12), 92, "5a"));
    }

    /** A busy executor gets the same block again after 6789 ms and 6543 ms more, then the busy code. */
    @Test
    void busyExecutorIsAskedTwiceMore() {
        sim.script("NEXT", "RESULT", "-1", "REASON", "-2");
        sim.script("NEXT", "RESULT", "-1", "REASON", "-2");
        sim.script("NEXT", "RESULT", "-1", "REASON", "-2", "PUT", "91", "07");
        sim.script("NEXT", "RESULT", "0");
        CMNPort p = full(80);
        long start = System.nanoTime();
        assertEquals(-28, lib.setPortStatusNative(p));
        long waited = (System.nanoTime() - start) / 1_000_000;
        assertTrue(waited >= 13332 && waited < 20000, waited + " ms");
        assertEquals(3, sim.recordCount());
        assertArrayEquals(Arrays.copyOfRange(sim.record(0), 12, 80), Arrays.copyOfRange(sim.record(-1), 12, 80));
        assertEquals(7, p.SetSendReset, "flags come back as the executor last left them");
    }

    /** The report's port count sizes the list request, at most 7999 entries; port numbers are big-endian. */
    @ParameterizedTest(name = "{0} reported, {1} answered -> {2}")
    @CsvSource({"0, 0, 0", "2, 2, 2", "10000, 100000, 7999"})
    void lists(int reported, int answered, int asked) {
        String entries = IntStream.range(0, Math.max(1, asked))
                .mapToObj(i -> String.format("%04x%012x", i < asked ? 65535 - i : 0, 0)).collect(joining());
        sim.script("CMD", "9", "PUT", "24", le(reported, 4));
        sim.script("CMD", "12", "PUT", "20", le(answered, 4), "PUT", "24", entries);
        StringBuffer sb = new StringBuffer("x");
        assertEquals(0, lib.getPortsListNative("WEB", sb));
        byte[] report = sim.record(-2);
        byte[] r = sim.record(-1);
        assertEquals(List.of(9L, 72L, key("web"), 12L, 24L + 8 * asked, key("web"), (long) asked),
                List.of(u32le(report, 0), u32le(report, 12), u32le(report, 16), u32le(r, 0), u32le(r, 12),
                        u32le(r, 16), u32le(r, 20)));
        assertEquals("x" + IntStream.range(0, asked).mapToObj(i -> "+" + (65535 - i)).collect(joining()),
                sb.toString());
    }
}
