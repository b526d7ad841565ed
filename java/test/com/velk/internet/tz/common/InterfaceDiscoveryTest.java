package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.RegistryCards.card;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.velk.internet.tz.common.RegistryCards.Card;
import com.velk.internet.tz.common.RegistryCards.Key;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/** The card scans over registry trees, the interface table they build and its two readers. */
class InterfaceDiscoveryTest extends ExecutorTestBase {
    static final int UNTOUCHED = -7;

    @BeforeEach
    void emptyRegistry() {
        RegistryCards.clear();
    }

    /** The address as Java keeps it in an int: first octet in the top byte. */
    static int host(String dotted) {
        int v = 0;
        for (String part : dotted.split("\\.")) {
            v = v << 8 | Integer.parseInt(part);
        }
        return v;
    }

    static String dotted(int v) {
        return (v >>> 24) + "." + (v >> 16 & 255) + "." + (v >> 8 & 255) + "." + (v & 255);
    }

    /** The table's own form: the address bytes in network order as they lie in the int's memory. */
    static int tableForm(String dotted) {
        return Integer.reverseBytes(host(dotted));
    }

    /** Interface names the executor gives, by service name: service, name, service, name... */
    static void names(String... serviceAndName) {
        for (int i = 0; i < serviceAndName.length; i += 2) {
            sim.command("IFNAME " + serviceAndName[i] + " " + serviceAndName[i + 1]);
        }
    }

    static CMNInterfaceList list(int size) {
        CMNInterfaceList l = new CMNInterfaceList();
        for (int[] a : new int[][] {l.aiIp = new int[size], l.aiNetmask = new int[size],
            l.aiNetnumber = new int[size], l.aiBroadcast = new int[size]}) {
            Arrays.fill(a, UNTOUCHED);
        }
        l.iNumInterfaces = UNTOUCHED;
        return l;
    }

    /** The list's first `count` records as "ip/mask/network/broadcast", and its remaining elements untouched. */
    static List<String> rows(CMNInterfaceList l) {
        List<String> rows = new ArrayList<>();
        for (int i = 0; i < l.aiIp.length; i++) {
            int[] r = {l.aiIp[i], l.aiNetmask[i], l.aiNetnumber[i], l.aiBroadcast[i]};
            if (i >= l.iNumInterfaces) {
                assertArrayEquals(new int[] {UNTOUCHED, UNTOUCHED, UNTOUCHED, UNTOUCHED}, r, "element " + i);
            } else {
                rows.add(String.join("/", Arrays.stream(r).mapToObj(InterfaceDiscoveryTest::dotted).toList()));
            }
        }
        return rows;
    }

    List<String> report(int selector) {
        CMNInterfaceList l = list(10);
        assertEquals(0, lib.getInterfaceListNative(selector, l));
        return rows(l);
    }

    /** The service names of the interface name queries since the reset, each checked for command 61, length 76. */
    static List<String> nameQueries() {
        List<String> services = new ArrayList<>();
        for (int i = 0; i < sim.recordCount(); i++) {
            byte[] r = sim.record(i);
            assertEquals(List.of(61L, 76L, 76), List.of(SimExecutor.u32le(r, 0), SimExecutor.u32le(r, 12), r.length));
            int end = 16;
            while (r[end] != 0) {
                end++;
            }
            services.add(new String(r, 16, end - 16, StandardCharsets.ISO_8859_1));
        }
        return services;
    }

    static final String S49 = "s".repeat(49);

    static Stream<Arguments> cardLoop() {
        return Stream.of(
            Arguments.of("no cards", new Card[0], new String[0], List.of(), List.of()),
            Arguments.of("cards 3 and 7, in card order",
                new Card[] {card(7, "svc7", "10.0.7.5", "255.255.255.0"), card(3, "svc3", "10.0.3.5", "255.255.0.0")},
                new String[] {"svc3", "eth0", "svc7", "eth1"},
                List.of("svc3", "svc7"),
                List.of("10.0.3.5/255.255.0.0/10.0.0.0/0.0.0.0", "10.0.7.5/255.255.255.0/10.0.7.0/0.0.0.0")),
            Arguments.of("address 0.0.0.0 is asked about, then skipped",
                new Card[] {card(2, "svc2", "0.0.0.0", "255.0.0.0"), card(4, "svc4", "10.4.0.1", "255.0.0.0")},
                new String[] {"svc2", "eth0", "svc4", "eth1"},
                List.of("svc2", "svc4"), List.of("10.4.0.1/255.0.0.0/10.0.0.0/0.0.0.0")),
            Arguments.of("a refused name query skips the card",
                new Card[] {card(1, "unnamed", "10.1.0.1", "255.0.0.0"), card(2, "svc2", "10.2.0.1", "255.0.0.0")},
                new String[] {"svc2", "eth0"},
                List.of("unnamed", "svc2"), List.of("10.2.0.1/255.0.0.0/10.0.0.0/0.0.0.0")),
            Arguments.of("a value missing on a later card keeps the previous card's text",
                new Card[] {card(1, "svc1", "10.1.0.1", "255.255.0.0"), card(5, "svc5", null, "255.255.255.0"),
                    card(6, "svc6", "10.6.0.1", null)},
                new String[] {"svc1", "eth0", "svc5", "eth1", "svc6", "eth2"},
                List.of("svc1", "svc5", "svc6"), List.of("10.1.0.1/255.255.0.0/10.1.0.0/0.0.0.0",
                    "10.1.0.1/255.255.255.0/10.1.0.0/0.0.0.0", "10.6.0.1/255.255.255.0/10.6.0.0/0.0.0.0")),
            Arguments.of("a card without a service name reads the previous card's service again",
                new Card[] {card(1, "svc1", "10.1.0.1", "255.255.0.0"), card(2, null, null, null)},
                new String[] {"svc1", "eth0"},
                List.of("svc1", "svc1"),
                List.of("10.1.0.1/255.255.0.0/10.1.0.0/0.0.0.0", "10.1.0.1/255.255.0.0/10.1.0.0/0.0.0.0")),
            Arguments.of("only cards 1 to 25 are read",
                new Card[] {card(0, "svc0", "10.0.0.1", "255.0.0.0"), card(26, "svc26", "10.26.0.1", "255.0.0.0"),
                    card(25, "svc25", "10.25.0.1", "255.255.0.0")},
                new String[] {"svc0", "eth0", "svc26", "eth1", "svc25", "eth2"},
                List.of("svc25"), List.of("10.25.0.1/255.255.0.0/10.25.0.0/0.0.0.0")),
            Arguments.of("a service name its 50-byte field can't hold is not sent",
                new Card[] {card(1, S49 + "x", "10.1.0.1", "255.0.0.0"), card(2, S49, "10.2.0.1", "255.0.0.0")},
                new String[] {S49 + "x", "eth0", S49, "eth1"},
                List.of(S49), List.of("10.2.0.1/255.0.0.0/10.0.0.0/0.0.0.0")),
            Arguments.of("an interface name over 13 characters skips the card",
                new Card[] {card(1, "svc1", "10.1.0.1", "255.0.0.0"), card(2, "svc2", "10.2.0.1", "255.0.0.0")},
                new String[] {"svc1", "abcdefghijklmn", "svc2", "abcdefghijklm"},
                List.of("svc1", "svc2"), List.of("10.2.0.1/255.0.0.0/10.0.0.0/0.0.0.0")));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource
    void cardLoop(String name, Card[] cards, String[] interfaceNames, List<String> queried, List<String> rows) {
        RegistryCards.write(Key.TCPIP, cards);
        names(interfaceNames);
        assertEquals(rows.size(), lib.setInterfacesNative(12345));
        assertEquals(queried, nameQueries());
        assertEquals(rows, report(1));
    }

    @Test
    void eachScanReadsItsOwnKeysAndOnlyTheFirstAsksTheExecutor() {
        RegistryCards.write(Key.TCPIP, card(1, "svcA", "10.1.1.1", "255.255.255.0"));
        RegistryCards.write(Key.SERVICE, card(1, "svcA", "10.2.2.2", "255.255.0.0"),
                card(2, "svcB", "10.3.3.3", "255.0.0.0"));
        names("svcA", "eth0", "svcB", "eth1");
        assertEquals(1, lib.setInterfacesNative(0));
        assertEquals(List.of("svcA"), nameQueries());
        List<String> table = List.of("10.1.1.1/255.255.255.0/10.1.1.0/0.0.0.0");
        assertEquals(table, report(1));
        assertEquals(List.of("10.2.2.2/255.255.0.0/0.0.0.0/0.0.0.0", "10.3.3.3/255.0.0.0/0.0.0.0/0.0.0.0"), report(0));
        assertEquals(1, sim.recordCount(), "the second scan sends nothing");
        assertEquals(table, report(1), "and leaves the process-wide table as it was");
    }

    @Test
    void aRebuildShrinksTheCountAndJavaArraysAreNeverOverrun() {
        RegistryCards.write(Key.TCPIP, card(1, "svc1", "10.1.0.1", "255.255.0.0"),
                card(2, "svc2", "10.2.0.1", "255.255.0.0"), card(3, "svc3", "10.3.0.1", "255.255.0.0"));
        names("svc1", "eth0", "svc2", "eth1", "svc3", "eth2");
        assertEquals(3, lib.setInterfacesNative(0));
        CMNInterfaceList shortArrays = list(2);
        shortArrays.aiBroadcast = null;
        assertEquals(0, lib.getInterfaceListNative(7, shortArrays));
        assertEquals(3, shortArrays.iNumInterfaces);
        assertArrayEquals(new int[] {host("10.1.0.1"), host("10.2.0.1")}, shortArrays.aiIp);

        RegistryCards.clear();
        RegistryCards.write(Key.TCPIP, card(2, "svc2", "10.2.0.1", "255.255.0.0"));
        assertEquals(1, lib.setInterfacesNative(0));
        assertEquals(List.of("10.2.0.1/255.255.0.0/10.2.0.0/0.0.0.0"), report(-1));
        assertEquals(0, lib.getNicAddrNative(tableForm("10.3.0.9"), 0), "records past the count are not searched");
    }

    /** Cards: 10.1.0.5/16, 10.1.2.7/24, and a card with mask 0 that matches every address. */
    @ParameterizedTest(name = "{0} -> {1}")
    @CsvSource({"10.1.2.3, 10.1.0.5", "10.1.255.255, 10.1.0.5", "192.168.1.1, 172.16.0.1", "0.0.0.0, 172.16.0.1"})
    void getNicAddrReturnsTheFirstInterfaceWhoseSubnetHoldsTheAddress(String address, String expected) {
        assertEquals(0, lib.setInterfacesNative(0));
        assertEquals(0, lib.getNicAddrNative(tableForm(address), 0), "an empty table matches nothing");
        RegistryCards.write(Key.TCPIP, card(1, "svc1", "10.1.0.5", "255.255.0.0"), card(2, "svc2", "10.1.2.7",
                "255.255.255.0"), card(3, "svc3", "172.16.0.1", "0.0.0.0"));
        names("svc1", "eth0", "svc2", "eth1", "svc3", "eth2");
        assertEquals(3, lib.setInterfacesNative(0));
        assertEquals(tableForm(expected), lib.getNicAddrNative(tableForm(address), 99));
    }

    @Test
    void theScanPrintsItsEntryLineEvenWithNoCards() throws Exception {
        String out = runJava(InterfaceScanProbe.class, Map.of());
        assertTrue(out.endsWith("****CMNExecutorInterface_buildInterfaceList: Entry.\ncount=0\n"), out);
        assertEquals(1, IntStream.range(0, out.length() - 10).filter(i -> out.startsWith("****", i)).count(), out);
    }
}
