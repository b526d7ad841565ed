package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.*;

import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.time.Duration;
import java.util.List;
import java.util.Map;
import java.util.function.Function;
import java.util.stream.Stream;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** Probing and stopping the executor, the platform probes, the debugging log, connection allocation. */
class ExecutorLifecycleTest extends ExecutorTestBase {
    private static final Duration EXIT_WAIT = Duration.ofSeconds(5);

    @ParameterizedTest(name = "server modality {0}")
    @ValueSource(booleans = {false, true})
    void stopDropsTheDeviceAndIsLoadedFollowsTheExecutor(boolean serverModality) {
        lib.setQVAServerModalityNative(serverModality);
        assertEquals(1, lib.isLoadedNative());
        List<String> before = SimExecutor.toolLog();
        assertEquals("EOK", lib.stopExecutorNative());
        List<String> after = SimExecutor.toolLog();
        assertEquals(List.of("service velklb stop"), after.subList(before.size(), after.size()));
        assertTrue(sim.awaitExit(EXIT_WAIT), "the service tool stops the executor");
        assertFalse(Files.exists(sim.device), "device is gone");
        // The connection was dropped: every probe tries to open afresh, failing until the executor is back.
        assertEquals(List.of(0, 0), List.of(lib.isLoadedNative(), lib.isLoadedNative()));
        sim.start();
        assertEquals(List.of(1, 1), List.of(lib.isLoadedNative(), lib.isLoadedNative()));
        assertEquals(0, sim.recordCount(), "probing opens the device without sending a request");
    }

    @ParameterizedTest(name = "{0}")
    @CsvSource({"updateKernelNative, 'MADE IT INSIDE native updateKernel\n'", "ScriptPrefixNative, 'CALL '",
        "solarisUpNative, 0", "linuxUpNative, 0", "HPUpNative, 0", "loadUserExecutorNative, 0"})
    void platformProbesAnswerWithoutTheExecutor(String name, String expected) throws Exception {
        Method probe = CMNExecutorInterface.class.getMethod(name);
        assertEquals(expected, String.valueOf(probe.invoke(lib)));
        lib.setQVAServerModalityNative(true);
        assertEquals(expected, String.valueOf(probe.invoke(lib)));
        assertEquals(0, sim.recordCount());
    }

    /**
     * A library that never opened the device still runs the stop command and reports its exit
     * status. Runs in a JVM of its own against an executor of its own, so that the stop command
     * can be made to fail (a failing "service" first on PATH) without touching this JVM's state.
     */
    @ParameterizedTest(name = "service tool exits {0}")
    @ValueSource(ints = {0, 1})
    void stopReportsTheStatusOfTheStopCommand(int toolStatus, @TempDir Path dir) throws Exception {
        SimExecutor own = new SimExecutor(sim.executable, dir.resolve("velklb"));
        own.start();
        try {
            Path toolLog = dir.resolve("tools.log");
            String path = System.getenv("PATH");
            if (toolStatus != 0) {
                Path service = Files.createDirectory(dir.resolve("bin")).resolve("service");
                Files.writeString(service, "#!/bin/sh\necho \"service $*\" >> \"$VELKLB_TOOL_LOG\"\nexit 1\n");
                Files.setPosixFilePermissions(service, PosixFilePermissions.fromString("rwxr-xr-x"));
                path = service.getParent() + ":" + path;
            }
            String out = runJava(StopProbe.class, Map.of("PATH", path, "VELKLB_DEVICE", own.device.toString(),
                    "VELKLB_TOOL_LOG", toolLog.toString()));
            assertTrue(out.contains("stopExecutorNative=" + (toolStatus == 0 ? "EOK" : "FAILURE") + "\n"), out);
            assertEquals(List.of("service velklb stop"), Files.readAllLines(toolLog));
            assertEquals(toolStatus == 0, own.awaitExit(toolStatus == 0 ? EXIT_WAIT : Duration.ZERO));
        } finally {
            own.stop();
        }
    }

    static final String BANNER = "EXECUTOR LOGGING COMMANDS SHOULD BE USED FOR DEBUGGING\n"
            + "PURPOSES ONLY.  THESE ARE UNSUPPORTED COMMANDS.  THESE\n"
            + "COMMANDS HAVE NOT BEEN EXTENSIVELY TESTED.\n\n";
    /** The connection entry: the 16-bit value as given, addresses and port (65616 → 80) big-endian. */
    private static final Object[] CONNECTION = {16, "4523", 20, "0a000001", 24, "0050", 28, "c0a80102",
        32, le(-7, 4), 36, "ac100005"};

    /** Requests that write some bytes (offset, hex...) and leave the rest of the block as it was. */
    static Stream<Arguments> requests() {
        return Stream.of(
                request("level", l -> l.xloglevelNative(0x01020304), 2, 696, 20, "04030201", 629, "01"),
                request("filter", l -> l.xlogfilterNative(-2), 2, 696, 24, "feffffff", 630, "01"),
                request("clear", CMNExecutorInterface::xlogclearNative, 37, 280),
                request("head(0, 0)", l -> l.xlogheadNative(0, 0), 35, 64016, 24, le(10000, 4), 28, "00000000"),
                request("head(123, -7)", l -> l.xlogheadNative(123, -7), 35, 64016, 24, le(123, 4), 28, le(-7, 4)),
                request("head(-5, 1)", l -> l.xlogheadNative(-5, 1), 35, 64016, 24, le(-5, 4), 28, le(1, 4)),
                request("tail(0)", l -> l.xlogtailNative(0), 36, 64016, 24, le(10000, 4)),
                request("tail(4096)", l -> l.xlogtailNative(4096), 36, 64016, 24, le(4096, 4)),
                request("allocate", l -> l.allocateConnectionNative(0x0A000001, 0x12345, 0xC0A80102, -7, 65616,
                        0xAC100005), 34, 40, CONNECTION),
                request("deallocate", l -> l.deallocateConnectionNative(0x0A000001, 0x12345, 0xC0A80102, -7, 65616,
                        0xAC100005), 63, 40, CONNECTION));
    }

    private static Arguments request(String name, Function<CMNExecutorInterface, Object> call, int command,
                                     int length, Object... offsetsAndBytes) {
        return Arguments.of(name, call, command, length, map(offsetsAndBytes));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("requests")
    void requestWritesOnlyItsOwnBytes(String name, Function<CMNExecutorInterface, Object> call, int command,
                                      int length, java.util.Map<Integer, String> rows) {
        seedBlock();
        sim.script("NEXT", "PUT", "16", "00");  // an empty log, whatever the request
        Object result = call.apply(lib);
        assertRequest(command, length, rows);
        if (result instanceof String) {
            assertEquals(BANNER, result);
        }
    }

    /** 12000 characters of log with one byte that is not UTF-8; the call, its size, the characters kept. */
    @ParameterizedTest(name = "{0}({1}) -> {2} characters")
    @CsvSource({"head, 100, 100", "tail, 12, 12", "head, -1, 0", "tail, 0, 10000", "head, 0, 10000",
        "head, 20000, 12000", "tail, 20000, 12000"})
    void fetchReturnsBannerAndTextCutToTheSizeAsked(String call, int size, int kept) {
        String text = "l\u00ffne one\n" + "a".repeat(12000 - 9);
        sim.script("NEXT", "PUT", "16", HEX.formatHex(text.getBytes(StandardCharsets.ISO_8859_1)) + "00");
        assertEquals(BANNER + text.replace('\u00ff', '?').substring(0, kept),
                call.equals("head") ? lib.xlogheadNative(size, 0) : lib.xlogtailNative(size));
    }

    @ParameterizedTest(name = "{0} -> {3}")
    @CsvSource({"allocate taken, MODEL, true, 0", "allocate refused, RESULT -1 REASON -5, true, -5",
        "allocate refused, RESULT -2 REASON 12345, true, 12345", "deallocate of no entry, MODEL, false, -1",
        "deallocate refused, RESULT -3 REASON -5, false, -3", "deallocate device error, ERROR 32, false, 32"})
    void allocationReturnsTheReasonDeallocationTheSendResult(String name, String script, boolean allocate,
                                                              int result) {
        failNext(script);
        assertEquals(result, allocate ? lib.allocateConnectionNative(1, 2, 3, 4, 5, 6)
                : lib.deallocateConnectionNative(1, 2, 3, 4, 5, 6));
    }

    /** Run in a JVM of its own: stops the executor through a library that has never opened the device. */
    static final class StopProbe {
        public static void main(String[] args) {
            System.out.println("stopExecutorNative=" + new CMNExecutorInterface().stopExecutorNative());
        }
    }
}
