package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** The exported key method over Java strings (JNI's modified UTF-8, upper-cased on a copy); needs no executor. */
class IdKeyTest {
    private final CMNExecutorInterface lib = new CMNExecutorInterface();

    static Stream<Arguments> keys() {
        return Stream.of(Arguments.of("abc", 0x01A66882), Arguments.of("ABC", 0x01A66882),
                Arguments.of("Cluster-One", 0x2A20F26E), Arguments.of("", 0xFFFFFFFF), Arguments.of(null, 0xFFFFFFFF),
                Arguments.of("\u00e9", 0x04D0016B), Arguments.of("A\u0000B", 0x1AE84100),
                Arguments.of("\ud83d\ude00", 0x624FFE52), Arguments.of("10.1.2.3", 0x0302010A),
                Arguments.of("10.1.2.3x", 0x75582C60), Arguments.of("255.255.255.255", 0x26884E20));
    }

    @ParameterizedTest(name = "\"{0}\" -> {1}")
    @MethodSource("keys")
    void keyOfTheJavaString(String id, int key) {
        String copy = id == null ? null : new String(id);
        assertEquals(String.format("0x%08X", key), String.format("0x%08X", lib.calcClusterIdKeyNative(copy, null)));
        lib.setKeyIsIpAddrNative(1);
        assertEquals(key, lib.calcClusterIdKeyNative(copy, "ignored"), "the flag and second argument change nothing");
        lib.setKeyIsIpAddrNative(0);
        assertEquals(id, copy, "the caller's string is left as it was");
    }
}
