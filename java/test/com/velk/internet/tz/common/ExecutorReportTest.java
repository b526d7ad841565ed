package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.*;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** The executor report (command 3), and how both executor queries fail. */
class ExecutorReportTest extends ExecutorTestBase {
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
