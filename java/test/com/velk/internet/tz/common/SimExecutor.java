package com.velk.internet.tz.common;

import static java.nio.file.StandardOpenOption.*;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.net.StandardProtocolFamily;
import java.net.UnixDomainSocketAddress;
import java.nio.ByteBuffer;
import java.nio.channels.SocketChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.util.HexFormat;
import java.util.List;
import java.util.Optional;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.locks.LockSupport;

/**
 * The simulated executor daemon, driven through its control socket (the device path plus ".ctl").
 * Tests take the daemon down through {@code stopExecutorNative} and bring it back with
 * {@link #start}; the library reaches a restarted daemon on its first request.
 */
public final class SimExecutor {
    private static final Duration START_TIMEOUT = Duration.ofSeconds(10);
    private static final Duration STOP_TIMEOUT = Duration.ofSeconds(5);

    final Path executable;
    final Path device;
    private final Path control;
    private final Path log;
    private volatile Process process;

    public SimExecutor(Path executable, Path device) {
        this.executable = executable;
        this.device = device;
        this.control = Path.of(device + ".ctl");
        this.log = Path.of(device + ".executor.log");
        Runtime.getRuntime().addShutdownHook(
                new Thread(() -> Optional.ofNullable(process).ifPresent(Process::destroyForcibly)));
    }

    /** The daemon the rig points at: VELKLB_EXECUTOR serving VELKLB_DEVICE. */
    static SimExecutor fromEnvironment() {
        return new SimExecutor(Path.of(env("VELKLB_EXECUTOR")), Path.of(env("VELKLB_DEVICE")));
    }

    static String env(String name) {
        String value = System.getenv(name);
        if (value == null || value.isEmpty()) {
            throw new IllegalStateException(name + " is not set; run the tests through tests/jvm/run-junit.sh");
        }
        return value;
    }

    /** Starts the daemon and waits until its control socket answers PING. */
    void start() {
        try {
            process = new ProcessBuilder(executable.toString(), "--socket", device.toString())
                    .redirectErrorStream(true).redirectOutput(ProcessBuilder.Redirect.appendTo(log.toFile())).start();
            String pids = System.getenv("VELKLB_RIG_PIDS");  // lets the rig kill a daemon that outlives its JVM
            if (pids != null && !pids.isEmpty()) {
                Files.writeString(Path.of(pids), process.pid() + "\n", CREATE, APPEND);
            }
        } catch (IOException e) {
            throw new UncheckedIOException("cannot start " + executable, e);
        }
        long deadline = System.nanoTime() + START_TIMEOUT.toNanos();
        while (process.isAlive() && System.nanoTime() < deadline) {
            try {
                if (send("PING").equals("OK")) {
                    return;
                }
            } catch (IOException notListeningYet) {
                // keep polling until the deadline
            }
            LockSupport.parkNanos(20_000_000);
        }
        process.destroyForcibly();
        throw new IllegalStateException("the executor did not answer PING within " + START_TIMEOUT + "; see " + log);
    }

    /** Stops the daemon: STOP on the control socket, then SIGTERM, then SIGKILL. */
    void stop() {
        if (process != null && process.isAlive()) {
            try {
                send("STOP");
            } catch (IOException alreadyGoing) {
                // the waits below decide
            }
            if (!awaitExit(STOP_TIMEOUT)) {
                process.destroy();
                if (!awaitExit(STOP_TIMEOUT)) {
                    process.destroyForcibly();
                    awaitExit(STOP_TIMEOUT);
                }
            }
        }
        process = null;
    }

    /** Kills the daemon outright (SIGKILL), as a crash would, and waits for it to go. */
    void kill() {
        if (process != null) {
            process.destroyForcibly();
            awaitExit(STOP_TIMEOUT);
        }
        process = null;
    }

    boolean isRunning() {
        return process != null && process.isAlive();
    }

    /** Waits for the daemon to exit, however it was told to; true when it did. */
    boolean awaitExit(Duration timeout) {
        try {
            return process == null || process.waitFor(timeout.toMillis(), TimeUnit.MILLISECONDS);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            return false;
        }
    }

    /** Sends one control line and returns the answer; an answer other than OK fails the test. */
    public String command(String line) {
        String answer;
        try {
            answer = send(line);
        } catch (IOException e) {
            throw new UncheckedIOException("control line '" + line + "' failed", e);
        }
        if (!answer.startsWith("OK")) {
            throw new IllegalStateException("control line '" + line + "' answered: " + answer);
        }
        return answer;
    }

    /** One SCRIPT line, e.g. script("NEXT", "RESULT", "-1", "REASON", "-5"). */
    void script(String... words) {
        command("SCRIPT " + String.join(" ", words));
    }

    /** Device requests received since the last reset. */
    public int recordCount() {
        return Integer.parseInt(command("RECORD COUNT").substring(2).trim());
    }

    /** Request i as received (0 the first since the reset, -1 the latest), header included. */
    public byte[] record(int i) {
        String[] parts = command("RECORD GET " + i).split(" ");
        byte[] bytes = parts.length > 2 ? HexFormat.of().parseHex(parts[2]) : new byte[0];
        if (bytes.length != Integer.parseInt(parts[1])) {
            throw new IllegalStateException("record " + i + " claims " + parts[1] + " bytes, holds " + bytes.length);
        }
        return bytes;
    }

    private String send(String line) throws IOException {
        try (SocketChannel channel = SocketChannel.open(StandardProtocolFamily.UNIX)) {
            channel.connect(UnixDomainSocketAddress.of(control));
            ByteBuffer out = ByteBuffer.wrap((line + "\n").getBytes(StandardCharsets.US_ASCII));
            while (out.hasRemaining()) {
                channel.write(out);
            }
            StringBuilder answer = new StringBuilder();
            ByteBuffer in = ByteBuffer.allocate(65536);
            while (channel.read(in.clear()) >= 0) {
                for (in.flip(); in.hasRemaining(); ) {
                    char c = (char) (in.get() & 0xFF);
                    if (c == '\n') {
                        return answer.toString();
                    }
                    answer.append(c);
                }
            }
            throw new IOException("control socket closed before the answer to '" + line + "' ended");
        }
    }

    /** The little-endian unsigned 32-bit value at off of a recorded request. */
    public static long u32le(byte[] b, int off) {
        return ByteBuffer.wrap(b, off, 4).order(java.nio.ByteOrder.LITTLE_ENDIAN).getInt() & 0xFFFFFFFFL;
    }

    /** The lines the shell-tool stand-ins have logged so far (VELKLB_TOOL_LOG). */
    static List<String> toolLog() {
        Path file = Path.of(env("VELKLB_TOOL_LOG"));
        try {
            return Files.exists(file) ? Files.readAllLines(file) : List.of();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }
}
