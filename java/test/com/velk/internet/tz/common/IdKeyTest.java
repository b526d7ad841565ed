package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/** ID keys of cluster and server identifiers; needs no executor. */
class IdKeyTest {
    private final CMNExecutorInterface lib = new CMNExecutorInterface();

    static Stream<Arguments> identifiers() {
        return Stream.of(
                // names are upper-cased, then hashed
                key("abc", 0x01A66882),
                key("ABC", 0x01A66882),
                key("A", 0x00000040),
                key("", 0xFFFFFFFF),
                key("Cluster-One", 0x2A20F26E),
                key("zz~~zz~~zz~~zz~~", 0x8BDFB3CF),
                key("localhost", 0x2F94180A),
                key("10.1.2.3x", 0x75582C60),
                key("255.255.255.255", 0x26884E20),
                // bytes above 0x7F count unsigned; Java text travels as JNI's modified UTF-8
                key("\u00e9", 0x04D0016B),
                key("A\u0000B", 0x1AE84100),
                key("\ud83d\ude00", 0x624FFE52),
                // numeric addresses in every classic notation are their own key, network order
                key("10.1.2.3", 0x0302010A),
                key("0x0A.1.2.3", 0x0302010A),
                key("012.1.2.3", 0x0302010A),
                key("167838211", 0x0302010A),
                key("10.70000", 0x7011010A),
                key("9.0.0.128", 0x80000009));
    }

    private static Arguments key(String identifier, int key) {
        return Arguments.of(identifier, key, String.format("0x%08X", key));
    }

    @ParameterizedTest(name = "\"{0}\" -> {2}")
    @MethodSource("identifiers")
    void keyOfIdentifier(String identifier, int key, String hex) {
        String copy = new String(identifier);
        assertEquals(hex, String.format("0x%08X", lib.calcClusterIdKeyNative(copy, null)));
        assertEquals(key, lib.calcClusterIdKeyNative(copy, "ignored"));
        assertEquals(identifier, copy, "the caller's string is left as it was");
    }

    @ParameterizedTest(name = "flag {0}")
    @ValueSource(ints = {1, -1, 0})
    void keyIsAddressFlagChangesNoKey(int flag) {
        lib.setKeyIsIpAddrNative(flag);
        assertEquals(0x01A66882, lib.calcClusterIdKeyNative("abc", null));
        assertEquals(0x0302010A, lib.calcClusterIdKeyNative("10.1.2.3", null));
    }

    @AfterEach
    void clearKeyIsAddressFlag() {
        lib.setKeyIsIpAddrNative(0);
    }
}
