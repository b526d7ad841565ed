package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

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
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/** Probing and stopping the executor, and the platform probes. */
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

    static Stream<Arguments> probes() {
        return Stream.of(
                probe("updateKernelNative", CMNExecutorInterface::updateKernelNative,
                        "MADE IT INSIDE native updateKernel\n"),
                probe("ScriptPrefixNative", CMNExecutorInterface::ScriptPrefixNative, "CALL "),
                probe("solarisUpNative", CMNExecutorInterface::solarisUpNative, 0),
                probe("linuxUpNative", CMNExecutorInterface::linuxUpNative, 0),
                probe("HPUpNative", CMNExecutorInterface::HPUpNative, 0),
                probe("loadUserExecutorNative", CMNExecutorInterface::loadUserExecutorNative, 0));
    }

    private static Arguments probe(String name, Function<CMNExecutorInterface, Object> call, Object expected) {
        return Arguments.of(name, call, expected);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("probes")
    void platformProbesAnswerWithoutTheExecutor(String name, Function<CMNExecutorInterface, Object> call,
                                                Object expected) {
        assertEquals(expected, call.apply(lib));
        lib.setQVAServerModalityNative(true);
        assertEquals(expected, call.apply(lib));
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
}
