package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.RegistryCards.Key.SERVICE;
import static com.velk.internet.tz.common.RegistryCards.Key.TCPIP;
import static org.junit.jupiter.api.Assertions.*;

import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.stream.IntStream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** The card scans over registry trees, the interface table they build and its two readers. */
class InterfaceDiscoveryTest extends ExecutorTestBase {
    static final int UNTOUCHED = -7;

    static int host(String dotted) {
        return Arrays.stream(dotted.split("\\.")).mapToInt(Integer::parseInt).reduce(0, (v, b) -> v << 8 | b);
    }

    static String dotted(int v) {
        return (v >>> 24) + "." + (v >> 16 & 255) + "." + (v >> 8 & 255) + "." + (v & 255);
    }

    /** The table's form: network-order bytes as they lie in the int's memory. */
    static int tableForm(String dotted) {
        return Integer.reverseBytes(host(dotted));
    }

    static CMNInterfaceList list(int size) {
        CMNInterfaceList l = new CMNInterfaceList();
        for (int[] a : new int[][] {l.aiIp = new int[size], l.aiNetmask = new int[size], l.aiNetnumber = new int[size],
            l.aiBroadcast = new int[size]}) {
            Arrays.fill(a, UNTOUCHED);
        }
        return l;
    }

    /** "ip/mask/network/broadcast" of each counted record; every element past the count must be untouched. */
    String report(int selector) {
        CMNInterfaceList l = list(10);
        assertEquals(0, lib.getInterfaceListNative(selector, l));
        List<String> rows = new ArrayList<>();
        for (int i = 0; i < 10; i++) {
            int[] r = {l.aiIp[i], l.aiNetmask[i], l.aiNetnumber[i], l.aiBroadcast[i]};
            if (i < l.iNumInterfaces) {
                rows.add(String.join("/", Arrays.stream(r).mapToObj(InterfaceDiscoveryTest::dotted).toList()));
            } else {
                assertArrayEquals(new int[] {UNTOUCHED, UNTOUCHED, UNTOUCHED, UNTOUCHED}, r, "element " + i);
            }
        }
        return String.join(" ", rows);
    }

    /** The service names of the requests since the reset, each an interface name query of length 76. */
    static String nameQueries() {
        List<String> services = new ArrayList<>();
        for (int i = 0; i < sim.recordCount(); i++) {
            byte[] r = sim.record(i);
            assertEquals(List.of(61L, 76L, 76), List.of(SimExecutor.u32le(r, 0), SimExecutor.u32le(r, 12), r.length));
            int end = IntStream.range(16, 76).filter(j -> r[j] == 0).findFirst().orElse(76);
            services.add(new String(r, 16, end - 16, StandardCharsets.ISO_8859_1));
        }
        return String.join(" ", services);
    }

    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {
        "no cards | | | | ",
        "cards 3 and 7, card 3 first | 7 svc7 10.0.7.5 255.255.255.0; 3 svc3 10.0.3.5 255.255.0.0 | svc3 eth0 svc7 eth1"
            + " | svc3 svc7 | 10.0.3.5/255.255.0.0/10.0.0.0/0.0.0.0 10.0.7.5/255.255.255.0/10.0.7.0/0.0.0.0",
        "0.0.0.0 is asked about, then skipped | 2 svc2 0.0.0.0 255.0.0.0; 4 svc4 10.4.0.1 255.0.0.0 | svc2 a svc4 b"
            + " | svc2 svc4 | 10.4.0.1/255.0.0.0/10.0.0.0/0.0.0.0",
        "a refused name query | 1 nameless 10.1.0.1 255.0.0.0; 2 svc2 10.2.0.1 255.0.0.0 | svc2 eth0"
            + " | nameless svc2 | 10.2.0.1/255.0.0.0/10.0.0.0/0.0.0.0",
        "a missing value keeps the previous card's text | 1 svc1 10.1.0.1 255.255.0.0; 5 svc5 - 255.255.255.0;"
            + " 6 svc6 10.6.0.1 - | svc1 a svc5 b svc6 c | svc1 svc5 svc6 | 10.1.0.1/255.255.0.0/10.1.0.0/0.0.0.0"
            + " 10.1.0.1/255.255.255.0/10.1.0.0/0.0.0.0 10.6.0.1/255.255.255.0/10.6.0.0/0.0.0.0",
        "no service name reads the previous service again | 1 svc1 10.1.0.1 255.255.0.0; 2 - - - | svc1 a"
            + " | svc1 svc1 | 10.1.0.1/255.255.0.0/10.1.0.0/0.0.0.0 10.1.0.1/255.255.0.0/10.1.0.0/0.0.0.0",
        "cards 1 to 25 only | 0 s0 10.0.0.1 255.0.0.0; 26 s26 10.2.0.1 255.0.0.0; 25 s25 10.25.0.1 255.255.0.0"
            + " | s0 a s26 b s25 c | s25 | 10.25.0.1/255.255.0.0/10.25.0.0/0.0.0.0",
        "a service name of 50 bytes is not sent | 1 sssssssssssssssssssssssssssssssssssssssssssssssssx 10.1.0.1 255.0.0.0; 2 sssssssssssssssssssssssssssssssssssssssssssssssss 10.2.0.1 255.0.0.0"
            + " | sssssssssssssssssssssssssssssssssssssssssssssssssx a sssssssssssssssssssssssssssssssssssssssssssssssss b | sssssssssssssssssssssssssssssssssssssssssssssssss | 10.2.0.1/255.0.0.0/10.0.0.0/0.0.0.0",
        "an interface name over 13 characters | 1 svc1 10.1.0.1 255.0.0.0; 2 svc2 10.2.0.1 255.0.0.0"
            + " | svc1 abcdefghijklmn svc2 abcdefghijklm | svc1 svc2 | 10.2.0.1/255.0.0.0/10.0.0.0/0.0.0.0"})
    void cardLoop(String name, String cards, String names, String queried, String rows) {
        RegistryCards.write(TCPIP, cards == null ? "" : cards);
        RegistryCards.names(sim, names == null ? "" : names);
        int count = rows == null ? 0 : rows.split(" ").length;
        assertEquals(count, lib.setInterfacesNative(12345));
        assertEquals(queried == null ? "" : queried, nameQueries());
        assertEquals(rows == null ? "" : rows, report(1));
    }

    @Test
    void eachScanReadsItsOwnKeysAndOnlyTheFirstAsksTheExecutor() {
        RegistryCards.write(TCPIP, "1 svcA 10.1.1.1 255.255.255.0");
        RegistryCards.add(SERVICE, "1 svcA 10.2.2.2 255.255.0.0; 2 svcB 10.3.3.3 255.0.0.0");
        RegistryCards.names(sim, "svcA eth0 svcB eth1");
        assertEquals(1, lib.setInterfacesNative(0));
        assertEquals("svcA", nameQueries());
        assertEquals("10.1.1.1/255.255.255.0/10.1.1.0/0.0.0.0", report(1));
        assertEquals("10.2.2.2/255.255.0.0/0.0.0.0/0.0.0.0 10.3.3.3/255.0.0.0/0.0.0.0/0.0.0.0", report(0));
        assertEquals(1, sim.recordCount(), "the second scan sends nothing");
        assertEquals("10.1.1.1/255.255.255.0/10.1.1.0/0.0.0.0", report(-1), "nor touches the process-wide table");
    }

    @Test
    void aRebuildShrinksTheCountAndShortArraysAreNotOverrun() {
        RegistryCards.write(TCPIP, "1 s1 10.1.0.1 255.255.0.0; 2 s2 10.2.0.1 255.255.0.0; 3 s3 10.3.0.1 255.255.0.0");
        RegistryCards.names(sim, "s1 a s2 b s3 c");
        assertEquals(3, lib.setInterfacesNative(0));
        CMNInterfaceList shortArrays = list(2);
        shortArrays.aiBroadcast = null;
        assertEquals(0, lib.getInterfaceListNative(7, shortArrays));
        assertEquals(3, shortArrays.iNumInterfaces);
        assertArrayEquals(new int[] {host("10.1.0.1"), host("10.2.0.1")}, shortArrays.aiIp);
        RegistryCards.write(TCPIP, "2 s2 10.2.0.1 255.255.0.0");
        assertEquals(1, lib.setInterfacesNative(0));
        assertEquals("10.2.0.1/255.255.0.0/10.2.0.0/0.0.0.0", report(1));
        assertEquals(0, lib.getNicAddrNative(tableForm("10.3.0.9"), 0), "records past the count are not searched");
    }

    /** Cards 10.1.0.5/16, 10.1.2.7/24 and one with mask 0, which getNicAddrNative matches to every address. */
    @ParameterizedTest(name = "{0} -> {1}")
    @CsvSource({"10.1.2.3, 10.1.0.5", "10.1.255.255, 10.1.0.5", "192.168.1.1, 172.16.0.1", "0.0.0.0, 172.16.0.1"})
    void getNicAddrReturnsTheFirstInterfaceWhoseSubnetHoldsTheAddress(String address, String expected) {
        RegistryCards.write(TCPIP, "");
        assertEquals(0, lib.setInterfacesNative(0));
        assertEquals(0, lib.getNicAddrNative(tableForm(address), 0), "an empty table matches nothing");
        RegistryCards.write(TCPIP, "1 s1 10.1.0.5 255.255.0.0; 2 s2 10.1.2.7 255.255.255.0; 3 s3 172.16.0.1 0.0.0.0");
        RegistryCards.names(sim, "s1 a s2 b s3 c");
        assertEquals(3, lib.setInterfacesNative(0));
        assertEquals(tableForm(expected), lib.getNicAddrNative(tableForm(address), 99));
    }

    @Test
    void theScanPrintsItsEntryLineEvenWithNoCards() throws Exception {
        RegistryCards.write(TCPIP, "");
        String out = runJava(ScanProbe.class, Map.of());
        assertTrue(out.endsWith("\n****CMNExecutorInterface_buildInterfaceList: Entry.\ncount=0\n")
                || out.equals("****CMNExecutorInterface_buildInterfaceList: Entry.\ncount=0\n"), out);
    }

    /** Run in a JVM of its own: rebuilds the interface table, so its output can be seen whole. */
    static final class ScanProbe {
        public static void main(String[] args) {
            System.out.println("count=" + new CMNExecutorInterface().setInterfacesNative(0));
        }
    }
}
