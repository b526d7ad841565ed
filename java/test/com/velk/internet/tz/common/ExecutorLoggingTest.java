package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.ExecutorSettingsTest.assertRequest;
import static com.velk.internet.tz.common.ExecutorSettingsTest.le;
import static com.velk.internet.tz.common.ExecutorSettingsTest.seedBlock;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.charset.StandardCharsets;
import java.util.HashMap;
import java.util.HexFormat;
import java.util.Map;
import java.util.function.Function;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/** The executor's debugging log and connection allocation. */
class ExecutorLoggingTest extends ExecutorTestBase {
    static final String BANNER = "EXECUTOR LOGGING COMMANDS SHOULD BE USED FOR DEBUGGING\n"
            + "PURPOSES ONLY.  THESE ARE UNSUPPORTED COMMANDS.  THESE\n"
            + "COMMANDS HAVE NOT BEEN EXTENSIVELY TESTED.\n\n";

    /** Requests that write some bytes and leave the rest of the block as it was. */
    static Stream<Arguments> requests() {
        return Stream.of(
                request("level", l -> l.xloglevelNative(0x01020304), 2, 696, 20, le(0x01020304, 4), 629, "01"),
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

    /** The connection entry: the 16-bit value as given, addresses and port (65616 → 80) big-endian. */
    private static final Object[] CONNECTION = {16, "4523", 20, "0a000001", 24, "0050", 28, "c0a80102",
        32, le(-7, 4), 36, "ac100005"};

    private static Arguments request(String name, Function<CMNExecutorInterface, Object> call, int command,
                                     int length, Object... offsetsAndBytes) {
        Map<Integer, String> rows = new HashMap<>();
        for (int i = 0; i < offsetsAndBytes.length; i += 2) {
            rows.put((Integer) offsetsAndBytes[i], (String) offsetsAndBytes[i + 1]);
        }
        return Arguments.of(name, call, command, length, rows);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("requests")
    void requestWritesOnlyItsOwnBytes(String name, Function<CMNExecutorInterface, Object> call, int command,
                                      int length, Map<Integer, String> rows) {
        seedBlock(lib);
        sim.script("NEXT", "PUT", "16", "00");  // an empty log, whatever the request
        Object result = call.apply(lib);
        assertRequest(command, length, rows);
        if (result instanceof String) {
            assertEquals(BANNER, result);
        }
    }

    static Stream<Arguments> fetches() {
        String log = "line one\nline two\n";
        String big = "a".repeat(12000);
        return Stream.of(
                fetch("head(100)", log, l -> l.xlogheadNative(100, 0), log),
                fetch("tail(100)", log, l -> l.xlogtailNative(100), log),
                fetch("head(5) of a longer answer", log, l -> l.xlogheadNative(5, 0), "line "),
                fetch("tail(12) of a longer answer", log, l -> l.xlogtailNative(12), "line one\nlin"),
                fetch("head(-1)", log, l -> l.xlogheadNative(-1, 0), ""),
                fetch("tail(0) of 12000 characters", big, l -> l.xlogtailNative(0), big.substring(0, 10000)),
                fetch("head(20000) of 12000 characters", big, l -> l.xlogheadNative(20000, 0), big),
                fetch("non-UTF-8 byte", "a\u00ffb", l -> l.xlogtailNative(0), "a?b"));
    }

    private static Arguments fetch(String name, String text, Function<CMNExecutorInterface, String> call,
                                   String expected) {
        return Arguments.of(name, text, call, expected);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("fetches")
    void fetchReturnsBannerAndTextCutToTheSizeAsked(String name, String text,
                                                    Function<CMNExecutorInterface, String> call, String expected) {
        byte[] bytes = text.getBytes(StandardCharsets.ISO_8859_1);
        sim.script("NEXT", "PUT", "16", HexFormat.of().formatHex(bytes) + "00");
        assertEquals(BANNER + expected, call.apply(lib));
    }

    @ParameterizedTest(name = "{0} -> {3}")
    @CsvSource({
        "allocate taken, '', true, 0",
        "allocate refused, RESULT -1 REASON -5, true, -5",
        "allocate refused, RESULT -2 REASON 12345, true, 12345",
        "deallocate of no entry, '', false, -1",
        "deallocate refused, RESULT -3 REASON -5, false, -3",
        "deallocate device error, ERROR 32, false, 32"})
    void allocationReturnsTheReasonDeallocationTheSendResult(String name, String script, boolean allocate,
                                                              int result) {
        if (!script.isEmpty()) {
            sim.script(("NEXT " + script).split(" "));
        }
        assertEquals(result, allocate ? lib.allocateConnectionNative(1, 2, 3, 4, 5, 6)
                : lib.deallocateConnectionNative(1, 2, 3, 4, 5, 6));
    }
}
