package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.*;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.*;
import java.util.function.Supplier;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** The report texts (affinity, connections, the miscellaneous dump) against golden files, character for character. */
class DiagnosticReportTest extends ExecutorTestBase {
    static final int CLUSTER = 0x0A000001;  // 10.0.0.1 as a host-order int

    /** The text of golden/NAME as the test jar carries it. */
    static String golden(String name) {
        try (InputStream in = DiagnosticReportTest.class.getResourceAsStream("/golden/" + name)) {
            assertNotNull(in, "golden file " + name);
            return new String(in.readAllBytes(), StandardCharsets.UTF_8);
        } catch (IOException e) {
            throw new AssertionError(e);
        }
    }

    static void seed(String... lines) {
        for (String line : lines) {
            sim.command("DIAG " + line);
        }
    }

    static void seedSmallState() {
        seed("CLOCK 1000000",
                "AFFINITY 10.0.0.1 80 172.16.0.5 192.168.1.10 3 999990",
                "AFFINITY 10.0.0.1 80 172.16.0.6 192.168.1.11 0 0",  // never used: age 0
                "AFFINITY 10.0.0.1 81 172.16.0.9 192.168.1.12 1 5",  // another port: not reported
                "AFFPORT 10.0.0.1 80 0xFFFFFF00 0",
                // a record stamped after the clock: its age shows negative
                "CONNECTION 172.16.0.5 40000 10.0.0.1 80 192.168.1.10 999900 0x1b 4 6 65",
                "CONNECTION 172.16.0.6 1025 10.0.0.1 80 192.168.1.11 0 2 3 200 0",
                "CONNECTION 172.16.0.7 65535 10.0.0.1 443 192.168.1.12 2000000 0 11 12 0x7e",
                "NPS 3");
    }

    /** With the list flag the golden texts; without it the banner and the count lines, whatever the count. */
    @Test
    void reportsOfTheSmallState() {
        seedSmallState();
        seedBlock();
        assertEquals(golden("affinity-report.txt"), lib.getAffinityInfoNative(CLUSTER, 80, 1));
        assertRequest(52, 64016, map(32, "0a000001", 40, "0050", 44, le(1, 4)));
        assertEquals(golden("connection-report.txt"), lib.getConnectionInfoNative(0, 0, 0, 0, 0, 0, 7));
        String affinity = lib.getAffinityInfoNative(CLUSTER, 80, 0);
        assertTrue(affinity.endsWith("\n\nSticky client address mask = 0xFFFFFF00\nNumber of affinity records = 2\n"),
                affinity);
        String connections = lib.getConnectionInfoNative(0, 0, 0, 0, 0, 0, 0);
        assertTrue(connections.endsWith("\n\nNumber of connection records = 3\nNum nps = 3\n"), connections);
        // no records, list flag set: no header either
        assertTrue(lib.getAffinityInfoNative(CLUSTER, 8080, 1).endsWith("Number of affinity records = 0\n"));
        assertTrue(lib.getConnectionInfoNative(0x01020304, 0, 0, 0, 0, 0, 1).endsWith("Num nps = 3\n"));
    }

    @Test
    void serverDirectedPortsGetTheirOwnHeader() {
        seed("CLOCK 50", "AFFINITY 10.0.0.1 80 172.16.0.5 192.168.1.10 2 40", "AFFPORT 10.0.0.1 80 0 1");
        assertTrue(lib.getAffinityInfoNative(CLUSTER, 80, 1)
                .endsWith("= 1\nServerAddr - Age - Len - ID \n172.16.0.5 - 192.168.1.10 - 2 - 10 \n"));
    }

    @Test
    void failedRequestsGiveTheKernelErrorLine() {
        for (String how : List.of("RESULT -1 REASON -5", "ERROR 5", "server modality")) {
            for (Supplier<String> call : List.<Supplier<String>>of(() -> lib.getAffinityInfoNative(CLUSTER, 80, 1),
                    () -> lib.getConnectionInfoNative(0, 0, 0, 0, 0, 0, 1), () -> lib.xmiscNative(99, 0, 0, 0))) {
                failNext(how);
                assertEquals("Error with kernel.\n", call.get(), how);
                lib.setQVAServerModalityNative(false);
            }
            failNext(how);
            assertEquals("OK (Output is in tzserver window.)\n", lib.xmiscNative(43, 0, 0, 0), "the cluster tree, " + how);
            lib.setQVAServerModalityNative(false);
        }
    }

    // ---- the miscellaneous dump ----------------------------------------------------------

    static final String COUNTERS = golden("xmisc-counters.txt");

    /** Sub-command: commands sent after 53 (or instead of it), the arguments, and the text past the counter dump. */
    @ParameterizedTest(name = "sub-command {0}")
    @CsvSource({"43, 65, 'OK (Output is in tzserver window.)\n'", "30, 53, 'OK\n'", "98, 53, 'OK\n'", "99, 53, ''",
        "-5, 53, ''", "0, 53, ''", "1, 53 55, 'Number of NIC records = 0\n'",
        "8, 53, 'Interface List Info.\nNumber of records = 0.\n'", "10, 53 84, 'Number of RAT records = 0\n'",
        "11, 53 85, 'Connection Record State LL Info.\n'", "12, 53 86, 'Affinity Record LL Info.\n'"})
    void subCommandsRouteTheirRequests(int sub, String sent, String tail) {
        List<Long> commands = Arrays.stream(sent.split(" ")).map(Long::valueOf).toList();
        RegistryCards.write(RegistryCards.Key.TCPIP, "");
        assertEquals(0, lib.setInterfacesNative(0));  // the process-wide table, emptied
        seedBlock();
        String text = lib.xmiscNative(sub, 5, 6, 7);
        int base = sim.recordCount() - commands.size();
        for (int i = 0; i < commands.size(); i++) {
            assertEquals(commands.get(i), SimExecutor.u32le(sim.record(base + i), 0));
        }
        String counters = COUNTERS.replace("Arg28.............. 0 (0x00000000)", "Arg28.............. 7 (0x00000007)");
        assertEquals(text.startsWith("OK") ? tail : counters + tail, text);
        if (sent.equals("53")) {
            assertRequest(53, 280, map(16, le(sub, 4) + le(5, 4) + le(6, 4) + le(7, 4)));
        }
        if (sub == 43) {  // a cleared payload; the executor's answer is not shown
            assertRequest(65, 64016, map(16, "00".repeat(64000)));
        }
    }

    /** Each table dump after the counters: golden text, and its failure line. */
    @ParameterizedTest(name = "sub-command {0}")
    @CsvSource({"1, 55, xmisc-nic.txt, Error with kernel getting NIC info.", "8, 0, xmisc-interfaces.txt,",
        "10, 84, xmisc-rat.txt, Error with kernel getting RAT info.",
        "11, 85, xmisc-crll.txt, Error with kernel getting CRLL info.",
        "12, 86, xmisc-affinity-lists.txt, Error with kernel getting CRLL info."})
    void tableDumpsFollowTheCounters(int sub, int command, String file, String failure) {
        sim.command("ALIAS eth 0 10.0.0.1 255.255.255.0");
        seed("RAT 10.9.9.9 2 10.0.0.254 5", "RAT 10.9.9.10 1 10.0.0.254 0",
                "CRLL 10.0.0.1 80 active 3 1 0 60", "CRLL 10.0.0.1 443 fin 0 7 2 120",
                "AFFINITY 10.0.0.1 80 172.16.0.5 192.168.1.10 3 5", "AFFINITY 10.0.0.1 80 172.16.0.6 192.168.1.10 0 5",
                "AFFINITY 10.0.0.2 8080 172.16.0.5 192.168.1.10 0 5");
        RegistryCards.write(RegistryCards.Key.TCPIP, "1 svcA 10.1.2.3 255.255.0.0; 2 svcB 192.168.7.9 255.255.255.0");
        RegistryCards.names(sim, "svcA eth0 svcB abcdefghijklm");
        assertEquals(2, lib.setInterfacesNative(0));
        assertEquals(COUNTERS + golden(file), lib.xmiscNative(sub, 0, 0, 0));
        if (failure != null) {
            sim.script("CMD", String.valueOf(command), "RESULT", "-1");
            assertEquals(COUNTERS + failure + "\n", lib.xmiscNative(sub, 0, 0, 0));
        }
    }

    /** The two total lines add in 32 bits and wrap. */
    @Test
    void totalsWrapAt32Bits() {
        seed("COUNTER 200 0x80000000", "COUNTER 204 0x80000005",
                "COUNTER 208 0xFFFFFFFF", "COUNTER 212 0xFFFFFFFF", "COUNTER 216 3");
        String text = lib.xmiscNative(-5, 0, 0, 0);
        assertTrue(text.contains("\n (CntNpsInTotal ..... 5)         \n"), text);
        assertTrue(text.contains("\n (CntNpsOutTotal .... 1)         \n"), text);
        assertTrue(text.contains("\n  CntNpsRcv ......... -2147483648          \n"), text);
    }

    // ---- reports at their largest ----------------------------------------------------------

    static String lastLine(String text) {
        String[] lines = text.split("\n");
        return lines[lines.length - 1];
    }

    static long lines(String text) {
        return text.chars().filter(c -> c == '\n').count();
    }

    @Test
    void reportsAtTheirLargestStopAtTheBlock() {
        seed("CLOCK 100", "FILL AFFINITY 2048", "FILL CONNECTIONS 1664");
        String affinity = lib.getAffinityInfoNative(CLUSTER, 80, 1);
        assertTrue(affinity.contains("Number of affinity records = 2048\n"));
        assertEquals(4 + 2 + 1 + 1999, lines(affinity));
        assertEquals("172.0.7.206 - 192.0.0.6 - 3 - 0 ", lastLine(affinity));  // record 1998

        String connections = lib.getConnectionInfoNative(0, 0, 0, 0, 0, 0, 1);
        assertTrue(connections.contains("Number of connection records = 1664\n"));
        assertEquals(4 + 2 + 1 + 1599, lines(connections));
        assertEquals("1598 \t172.0.6.62:34366 \t10.0.0.1:80 \t192.0.0.6 \t0x00 \tCLOSD \tESTBD \t0 \tF",
                lastLine(connections));
    }

    /** Table answers whose count passes what the block holds: records as far as the block holds them, no further. */
    @ParameterizedTest(name = "sub-command {0}")
    @CsvSource({"1, 55, 10, 999, ' ifp->if_mtu ........ 0'", "10, 84, 5, 3999, ' Ports in use . 0'",
        "11, 85, 6, 1999, '  Number of records reused ... 0'",
        "12, 86, 5, 2666, '  Number of records reused ....................... 0'"})
    void tableDumpsAtTheirLargest(int sub, int command, int recordLines, int fit, String lastLine) {
        // the whole block answered, so no byte an earlier request left is read as a record
        sim.script("CMD", String.valueOf(command), "MODEL", "N", "64016", "PUT", "16", le(100000, 4));
        String text = lib.xmiscNative(sub, 0, 0, 0).substring(COUNTERS.length());
        assertEquals(1 + (long) recordLines * fit, lines(text));
        assertEquals(lastLine, lastLine(text));
    }
}
