package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.*;

import java.lang.reflect.Field;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.HexFormat;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.concurrent.TimeUnit;
import java.util.function.IntUnaryOperator;
import java.util.stream.Collectors;
import java.util.stream.IntStream;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;

/**
 * Runs the simulated executor for a test class: started once for the class, running and RESET
 * before every test (a test that stopped it through the library gets a fresh one), stopped at
 * the end. Every test leaves the server modality flag cleared. Also the helpers the classes share.
 */
abstract class ExecutorTestBase {
    static final HexFormat HEX = HexFormat.of();
    static final String UNRESOLVABLE = "no-such-host.invalid";
    protected static SimExecutor sim;
    protected final CMNExecutorInterface lib = new CMNExecutorInterface();
    private int toolLogMark;

    @BeforeAll
    static void startExecutor() {
        sim = SimExecutor.fromEnvironment();
        sim.start();
    }

    @BeforeEach
    void freshExecutor() {
        if (!sim.isRunning()) {
            sim.stop();
            sim.start();
        }
        sim.command("RESET");  // forgets scripts, the record and the model's state
    }

    @AfterEach
    void clearServerModality() {
        lib.setQVAServerModalityNative(false);
    }

    @AfterAll
    static void stopExecutor() {
        if (sim != null) {
            sim.stop();
        }
    }

    /** The ID key of an identifier as a request carries it, unsigned. */
    long key(String id) {
        return Integer.toUnsignedLong(lib.calcClusterIdKeyNative(id, null));
    }

    /** An ordered map of key, value, key, value... */
    @SuppressWarnings("unchecked")
    static <K, V> Map<K, V> map(Object... keysAndValues) {
        Map<K, V> m = new LinkedHashMap<>();
        for (int i = 0; i < keysAndValues.length; i += 2) {
            m.put((K) keysAndValues[i], (V) keysAndValues[i + 1]);
        }
        return m;
    }

    /** What a seeded block holds at offset i: never 0, 1 or 2, so no flag or pad looks written. */
    static byte seed(int i) {
        return (byte) (0x80 | (i * 37 + 11) & 0x7F);
    }

    /** Leaves every payload byte of the library's block and its reason field as seed(i), through a scripted answer. */
    void seedBlock() {
        byte[] bytes = new byte[64016 - 16];
        for (int i = 0; i < bytes.length; i++) {
            bytes[i] = seed(16 + i);
        }
        int reason = (int) SimExecutor.u32le(new byte[] {seed(8), seed(9), seed(10), seed(11)}, 0);
        sim.script("NEXT", "REASON", "" + reason, "PUT", "16", HEX.formatHex(bytes));
        lib.xlogclearNative();
    }

    /** The latest request: its header, these bytes (offset to hex), and seed(i) at every other byte. */
    static void assertRequest(int command, int length, Map<Integer, String> rows) {
        byte[] rec = sim.record(-1);
        assertEquals(List.of(length, (long) command, (long) length),
                List.of(rec.length, SimExecutor.u32le(rec, 0), SimExecutor.u32le(rec, 12)));
        boolean[] written = new boolean[length];
        rows.forEach((off, hex) -> {
            assertEquals(hex, HEX.formatHex(rec, off, off + hex.length() / 2), "bytes at " + off);
            Arrays.fill(written, off, off + hex.length() / 2, true);
        });
        for (int i = 16; i < length; i++) {
            int at = i;
            assertTrue(written[i] || rec[i] == seed(i), () -> "byte " + at + " was " + rec[at] + ", not kept");
        }
    }

    /** Hex of a text as the block carries it: its UTF-8 bytes and the closing NUL. */
    static String text(String t) {
        return HEX.formatHex((t + "\0").getBytes(StandardCharsets.UTF_8));
    }

    /** Little-endian hex of the low `width` bytes of v. */
    static String le(long v, int width) {
        return HEX.formatHex(ByteBuffer.allocate(8).order(ByteOrder.LITTLE_ENDIAN).putLong(v).array(), 0, width);
    }

    /** `count` entries of `size` bytes, the text of entry i at `at`: i = 0 fills the entry to its end. */
    static String entries(int count, int size, int at, String prefix) {
        byte[] e = new byte[size * Math.max(1, count)];
        for (int i = 0; i < count; i++) {
            byte[] t = (i == 0 ? "a".repeat(size - at) : prefix + i).getBytes(StandardCharsets.US_ASCII);
            System.arraycopy(t, 0, e, size * i + at, t.length);
        }
        return HEX.formatHex(e);
    }

    static String expectedText(int count, int width, String prefix) {
        return IntStream.range(0, count).mapToObj(i -> "+" + (i == 0 ? "a".repeat(width) : prefix + i))
                .collect(Collectors.joining());
    }

    /** n ints as an answer carries them, int i 0x7F000000 + i. */
    static String counts(int n) {
        return IntStream.range(0, n).mapToObj(i -> le(0x7F000000 + i, 4)).collect(Collectors.joining());
    }

    static Map<String, String> fieldsOf(Object o) throws IllegalAccessException {
        Map<String, String> values = new TreeMap<>();
        for (Field f : o.getClass().getFields()) {
            values.put(f.getName(), Arrays.deepToString(new Object[] {f.get(o)}));
        }
        return values;
    }

    /** Field by field, so that a failure names the field. */
    static void assertFields(Map<String, String> expected, Object o) throws IllegalAccessException {
        Map<String, String> actual = fieldsOf(o);
        expected.forEach((name, value) -> assertEquals(value, actual.get(name), name));
    }

    static Object get(Object o, String field) {
        try {
            return o.getClass().getField(field).get(o);
        } catch (ReflectiveOperationException e) {
            throw new AssertionError(e);
        }
    }

    static void setBytes(Object o, String[] fields, int value) {
        try {
            for (String f : fields) {
                o.getClass().getField(f).set(o, (byte) value);
            }
        } catch (ReflectiveOperationException e) {
            throw new AssertionError(e);
        }
    }

    static void assertBytes(Object o, String[] fields, IntUnaryOperator expected) {
        for (int i = 0; i < fields.length; i++) {
            assertEquals(Byte.valueOf((byte) expected.applyAsInt(i)), get(o, fields[i]), fields[i]);
        }
    }

    /** Interface cards in the registry, scanned into the table (count cards), then a reset executor. */
    void cards(String tcpip, String names, int count) {
        RegistryCards.write(RegistryCards.Key.TCPIP, tcpip);
        RegistryCards.names(sim, names);
        assertEquals(count, lib.setInterfacesNative(0));
        sim.command("RESET");
        toolLogMark = SimExecutor.toolLog().size();
    }

    /** The lines the shell tools logged since cards(...). */
    List<String> toolLines() {
        List<String> all = SimExecutor.toolLog();
        return all.subList(toolLogMark, all.size());
    }

    /** Scripts the next request's answer ("RESULT -1 REASON -5"), or sets the server modality flag. */
    static void failNext(String script) {
        if (script.equals("server modality")) {
            new CMNExecutorInterface().setQVAServerModalityNative(true);
        } else {
            sim.script(("NEXT " + script).split(" "));
        }
    }

    /** Runs main in a JVM of its own with JNI checks on; its output, which must carry no JNI complaint. */
    static String runJava(Class<?> main, Map<String, String> env) throws Exception {
        ProcessBuilder pb = new ProcessBuilder(Path.of(System.getProperty("java.home"), "bin", "java").toString(),
                "-Xcheck:jni", "-Djava.library.path=" + System.getProperty("java.library.path"),
                "-cp", System.getProperty("java.class.path"), main.getName()).redirectErrorStream(true);
        pb.environment().putAll(env);
        Process child = pb.start();
        String out = new String(child.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(child.waitFor(30, TimeUnit.SECONDS) && child.exitValue() == 0, out);
        assertFalse(out.contains("WARNING in native method") || out.contains("FATAL ERROR"), out);
        return out;
    }
}
