package com.velk.internet.tz.common;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.net.StandardProtocolFamily;
import java.net.UnixDomainSocketAddress;
import java.nio.ByteBuffer;
import java.nio.channels.SocketChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.time.Duration;
import java.util.HexFormat;
import java.util.List;

/**
 * The simulated executor daemon as the tests see it: started at a device path, driven and
 * inspected through its control socket (the device path plus ".ctl"), stopped again.
 *
 * <p>The library caches its device connection until {@code stopExecutorNative} drops it. A test
 * that stops the daemon any other way leaves the library holding a dead connection, so tests
 * take the daemon down through {@code stopExecutorNative} and bring it back with {@link #start}.
 */
final class SimExecutor {
    private static final Duration START_TIMEOUT = Duration.ofSeconds(10);
    private static final Duration STOP_TIMEOUT = Duration.ofSeconds(5);

    final Path executable;
    final Path device;
    final Path control;
    private final Path log;
    private volatile Process process;

    SimExecutor(Path executable, Path device) {
        this.executable = executable;
        this.device = device;
        this.control = Path.of(device + ".ctl");
        this.log = Path.of(device + ".executor.log");
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            if (process != null) {
                process.destroyForcibly();
            }
        }));
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
        if (isRunning()) {
            throw new IllegalStateException("the executor is already running at " + device);
        }
        try {
            process = new ProcessBuilder(executable.toString(), "--socket", device.toString())
                    .redirectErrorStream(true)
                    .redirectOutput(ProcessBuilder.Redirect.appendTo(log.toFile()))
                    .start();
            notePid(process.pid());
        } catch (IOException e) {
            throw new UncheckedIOException("cannot start " + executable, e);
        }
        long deadline = System.nanoTime() + START_TIMEOUT.toNanos();
        while (true) {
            if (!process.isAlive()) {
                throw new IllegalStateException("the executor exited with status " + process.exitValue()
                        + " while starting; its output is in " + log);
            }
            try {
                if (send("PING").equals("OK")) {
                    return;
                }
            } catch (IOException notListeningYet) {
                // keep polling until the deadline
            }
            if (System.nanoTime() > deadline) {
                process.destroyForcibly();
                throw new IllegalStateException("the executor did not answer PING within " + START_TIMEOUT);
            }
            pause(20);
        }
    }

    /** Stops the daemon: STOP on the control socket, then SIGTERM, then SIGKILL. */
    void stop() {
        if (process == null) {
            return;
        }
        if (process.isAlive()) {
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

    void restart() {
        stop();
        start();
    }

    boolean isRunning() {
        return process != null && process.isAlive();
    }

    /** Waits for the daemon to exit, however it was told to; true when it did. */
    boolean awaitExit(Duration timeout) {
        if (process == null) {
            return true;
        }
        try {
            return process.waitFor(timeout.toMillis(), java.util.concurrent.TimeUnit.MILLISECONDS);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            return false;
        }
    }

    // ---- control protocol ------------------------------------------------------------------

    /** Sends one control line and returns the answer; an ERR answer fails the test. */
    String command(String line) {
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

    /** Forgets scripts, the record and the model's state. */
    void reset() {
        command("RESET");
    }

    /** One SCRIPT line, e.g. script("NEXT", "RESULT", "-1", "REASON", "-5"). */
    void script(String... words) {
        command("SCRIPT " + String.join(" ", words));
    }

    void unscript() {
        command("UNSCRIPT");
    }

    /** Device requests received since the last reset. */
    int recordCount() {
        return Integer.parseInt(command("RECORD COUNT").substring(2).trim());
    }

    /** Request i as received (0 the first since the reset, -1 the latest), header included. */
    byte[] record(int i) {
        String[] parts = command("RECORD GET " + i).split(" ");
        int length = Integer.parseInt(parts[1]);
        byte[] bytes = parts.length > 2 ? HexFormat.of().parseHex(parts[2]) : new byte[0];
        if (bytes.length != length) {
            throw new IllegalStateException("record " + i + " claims " + length + " bytes, holds " + bytes.length);
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
            while (true) {
                in.clear();
                if (channel.read(in) < 0) {
                    throw new IOException("control socket closed before the answer to '" + line + "' ended");
                }
                in.flip();
                while (in.hasRemaining()) {
                    char c = (char) (in.get() & 0xFF);
                    if (c == '\n') {
                        return answer.toString();
                    }
                    answer.append(c);
                }
            }
        }
    }

    // ---- reading recorded requests ---------------------------------------------------------

    static int u8(byte[] b, int off) {
        return b[off] & 0xFF;
    }

    static int u16le(byte[] b, int off) {
        return u8(b, off) | u8(b, off + 1) << 8;
    }

    static int u16be(byte[] b, int off) {
        return u8(b, off) << 8 | u8(b, off + 1);
    }

    static long u32le(byte[] b, int off) {
        return (long) u16le(b, off) | (long) u16le(b, off + 2) << 16;
    }

    static long u32be(byte[] b, int off) {
        return (long) u16be(b, off) << 16 | u16be(b, off + 2);
    }

    static long u64le(byte[] b, int off) {
        return u32le(b, off) | u32le(b, off + 4) << 32;
    }

    static long u64be(byte[] b, int off) {
        return u32be(b, off) << 32 | u32be(b, off + 4);
    }

    /** The NUL-terminated text at off, at most max bytes. */
    static String text(byte[] b, int off, int max) {
        int end = off;
        while (end < off + max && end < b.length && b[end] != 0) {
            end++;
        }
        return new String(b, off, end - off, StandardCharsets.UTF_8);
    }

    // ---- the stand-ins' command log --------------------------------------------------------

    /** The lines the shell-tool stand-ins have logged so far (VELKLB_TOOL_LOG). */
    static List<String> toolLog() {
        Path file = Path.of(env("VELKLB_TOOL_LOG"));
        try {
            return Files.exists(file) ? Files.readAllLines(file) : List.of();
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    // ---- helpers ---------------------------------------------------------------------------

    /** Lets the rig kill a daemon that outlives its JVM. */
    private static void notePid(long pid) throws IOException {
        String pids = System.getenv("VELKLB_RIG_PIDS");
        if (pids != null && !pids.isEmpty()) {
            Files.writeString(Path.of(pids), pid + "\n", StandardOpenOption.CREATE, StandardOpenOption.APPEND);
        }
    }

    private static void pause(long millis) {
        try {
            Thread.sleep(millis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            throw new IllegalStateException("interrupted", e);
        }
    }
}
