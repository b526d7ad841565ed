package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertEquals;

import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** The exported key method over Java strings (JNI's modified UTF-8, upper-cased on a copy); needs no executor. */
class IdKeyTest {
    private final CMNExecutorInterface lib = new CMNExecutorInterface();

    @ParameterizedTest(name = "\"{0}\" -> {1}")
    @CsvSource(value = {"abc, 01A66882", "ABC, 01A66882", "Cluster-One, 2A20F26E", "'', FFFFFFFF", "null, FFFFFFFF",
        "\u00e9, 04D0016B", "'A\u0000B', 1AE84100", "\ud83d\ude00, 624FFE52", "10.1.2.3, 0302010A",
        "10.1.2.3x, 75582C60", "255.255.255.255, 26884E20"}, nullValues = "null")
    void keyOfTheJavaString(String id, String hex) {
        int key = Integer.parseUnsignedInt(hex, 16);
        String copy = id == null ? null : new String(id);
        assertEquals(String.format("0x%08X", key), String.format("0x%08X", lib.calcClusterIdKeyNative(copy, null)));
        lib.setKeyIsIpAddrNative(1);
        assertEquals(key, lib.calcClusterIdKeyNative(copy, "ignored"), "the flag and second argument change nothing");
        lib.setKeyIsIpAddrNative(0);
        assertEquals(id, copy, "the caller's string is left as it was");
    }
}
