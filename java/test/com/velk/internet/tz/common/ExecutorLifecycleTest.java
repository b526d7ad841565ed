package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.time.Duration;
import java.util.List;
import java.util.concurrent.TimeUnit;
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
        // The connection was dropped: every probe tries to open afresh and fails.
        assertEquals(0, lib.isLoadedNative());
        assertEquals(0, lib.isLoadedNative());

        sim.start();
        assertEquals(1, lib.isLoadedNative());
        assertEquals(1, lib.isLoadedNative());
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
                Path bin = Files.createDirectory(dir.resolve("bin"));
                Path service = bin.resolve("service");
                Files.writeString(service, "#!/bin/sh\necho \"service $*\" >> \"$VELKLB_TOOL_LOG\"\nexit "
                        + toolStatus + "\n");
                Files.setPosixFilePermissions(service, PosixFilePermissions.fromString("rwxr-xr-x"));
                path = bin + ":" + path;
            }
            String output = runStopProbe(path, own.device, toolLog);

            assertTrue(output.contains("stopExecutorNative=" + (toolStatus == 0 ? "EOK" : "FAILURE") + "\n"),
                    output);
            assertFalse(output.contains("WARNING in native method") || output.contains("FATAL ERROR"), output);
            assertEquals(List.of("service velklb stop"), Files.readAllLines(toolLog));
            assertEquals(toolStatus == 0, own.awaitExit(toolStatus == 0 ? EXIT_WAIT : Duration.ZERO));
        } finally {
            own.stop();
        }
    }

    private static String runStopProbe(String path, Path device, Path toolLog)
            throws IOException, InterruptedException {
        ProcessBuilder pb = new ProcessBuilder(
                Path.of(System.getProperty("java.home"), "bin", "java").toString(),
                "-Xcheck:jni",
                "-Djava.library.path=" + System.getProperty("java.library.path"),
                "-cp", System.getProperty("java.class.path"),
                StopProbe.class.getName())
                .redirectErrorStream(true);
        pb.environment().put("PATH", path);
        pb.environment().put("VELKLB_DEVICE", device.toString());
        pb.environment().put("VELKLB_TOOL_LOG", toolLog.toString());
        Process child = pb.start();
        byte[] out = child.getInputStream().readAllBytes();
        assertTrue(child.waitFor(30, TimeUnit.SECONDS), "probe JVM finished");
        String text = new String(out, StandardCharsets.UTF_8);
        assertEquals(0, child.exitValue(), text);
        return text;
    }
}
