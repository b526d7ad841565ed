package com.velk.internet.tz.velkctl;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.io.UncheckedIOException;
import java.net.StandardProtocolFamily;
import java.net.UnixDomainSocketAddress;
import java.nio.ByteBuffer;
import java.nio.channels.SocketChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * What velkctl's checks share: velkctl run in this JVM with its output caught, and the simulated
 * executor's control socket (VELKLB_DEVICE plus ".ctl"), one connection per line, so that a
 * restarted executor is reached too.
 */
final class Rig {
    private Rig() {
    }

    record Run(int status, String out, String err) {
    }

    static Run velkctl(String... args) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        int status = Velkctl.run(args, new PrintStream(out, true, StandardCharsets.UTF_8),
                new PrintStream(err, true, StandardCharsets.UTF_8));
        return new Run(status, out.toString(StandardCharsets.UTF_8),
                err.toString(StandardCharsets.UTF_8));
    }

    /** A command line split on blanks. */
    static Run velkctl(String line) {
        return velkctl(words(line).toArray(new String[0]));
    }

    /** One control line; its answer, which must begin with OK. */
    static String ctl(String line) {
        try (SocketChannel channel = SocketChannel.open(StandardProtocolFamily.UNIX)) {
            channel.connect(UnixDomainSocketAddress.of(
                    Path.of(System.getenv("VELKLB_DEVICE") + ".ctl")));
            channel.write(ByteBuffer.wrap((line + "\n").getBytes(StandardCharsets.US_ASCII)));
            StringBuilder answer = new StringBuilder();
            ByteBuffer in = ByteBuffer.allocate(1 << 16);
            while (answer.length() == 0 || answer.charAt(answer.length() - 1) != '\n') {
                if (channel.read(in.clear()) < 0) {
                    throw new IOException("control socket closed");
                }
                answer.append(new String(in.array(), 0, in.position(), StandardCharsets.US_ASCII));
            }
            if (!answer.toString().startsWith("OK")) {
                throw new IllegalStateException("control line " + line + ": " + answer);
            }
            return answer.toString().strip();
        } catch (IOException e) {
            throw new UncheckedIOException("control line " + line, e);
        }
    }

    /** Device requests the executor has recorded since its reset. */
    static int requests() {
        return Integer.parseInt(ctl("RECORD COUNT").substring(3));
    }

    /** The command number of recorded request i (its header's first word, little-endian). */
    static int command(int i) {
        String hex = ctl("RECORD GET " + i).split(" ")[2];
        return Integer.reverseBytes(Integer.parseUnsignedInt(hex.substring(0, 8), 16));
    }

    /** A command line's words: what blanks separate. */
    static List<String> words(String line) {
        return new ArrayList<>(Arrays.asList(line.strip().split(" +")));
    }
}
