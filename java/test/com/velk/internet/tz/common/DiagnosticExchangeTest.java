package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.*;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** Affinity exchange, listeners, denial-of-service parameters, ICMP: request layouts and what Java gets back. */
class DiagnosticExchangeTest extends ExecutorTestBase {
    static final int CLUSTER_NET = Integer.reverseBytes(0x0A000001);  // 10.0.0.1, network order in the int's memory

    static int net(int a, int b, int c, int d) {
        return Integer.reverseBytes(a << 24 | b << 16 | c << 8 | d);
    }

    static CMNAffinity affinity(int command, int... clientServerPairs) {
        CMNAffinity a = new CMNAffinity();
        a.iCommand = command;
        a.iClusterAddr = CLUSTER_NET;
        a.iPort = 0x10050;  // only the low 16 bits travel: port 80
        a.iNumAffinities = clientServerPairs.length / 2;
        for (int i = 0; i < clientServerPairs.length / 2; i++) {
            a.aiClientAddr[i] = clientServerPairs[2 * i];
            a.aiServerAddr[i] = clientServerPairs[2 * i + 1];
        }
        return a;
    }

    @Test
    void bindingsTravelWithTheirServerKeysAndComeBack() throws Exception {
        sim.command("DIAG CLOCK 4294967396");  // 2^32 + 100: Java gets the low 32 bits
        seedBlock();
        CMNAffinity a = affinity(1, net(172, 16, 0, 5), net(10, 1, 2, 3), net(172, 16, 0, 6), net(10, 1, 2, 4));
        assertEquals(0, lib.serverDirectedAffinityNative(a));
        assertRequest(59, 64016, map(16, le(1, 4), 32, "0a000001", 40, "0050", 44, le(2, 4),
                48, "ac100005" + "0a010203" + le(key("10.1.2.3"), 4),
                80, "ac100006" + "0a010204" + le(key("10.1.2.4"), 4)));
        assertFields(map("iResponse", "[2]", "iTime", "[100]", "iNumAffinities", "[2]"), a);
        assertArrayEquals(new int[] {net(172, 16, 0, 5), net(172, 16, 0, 6)}, Arrays.copyOf(a.aiClientAddr, 2));
        assertArrayEquals(new int[] {net(10, 1, 2, 3), net(10, 1, 2, 4)}, Arrays.copyOf(a.aiServerAddr, 2));
        assertArrayEquals(new int[] {100, 100}, Arrays.copyOf(a.aiAgeOrResponse, 2));

        // a listing supplies nothing: no array is read, and the executor's bindings come back
        CMNAffinity list = affinity(0);
        list.aiClientAddr = null;
        list.aiServerAddr = null;
        assertEquals(0, lib.serverDirectedAffinityNative(list));
        assertEquals(2, list.iNumAffinities);
        assertNull(list.aiClientAddr, "a null array is left alone");
    }

    /** Counts the library refuses, and bindings it can't have: nothing is sent, the code goes to iResponse too. */
    @ParameterizedTest(name = "{0} -> {3}")
    @CsvSource({"2000 (1999 fill the block), 2000, 0, -101", "3001, 3001, 0, -101", "-1, -1, 0, -101",
        "arrays shorter than n, 2, 1, -102", "null array, 1, -1, -102"})
    void refusedExchangesSendNothing(String name, int count, int serverArray, int code) {
        CMNAffinity a = affinity(1, 1, 2, 3, 4);
        a.iNumAffinities = count;
        a.aiServerAddr = serverArray < 0 ? null : serverArray > 0 ? new int[serverArray] : a.aiServerAddr;
        assertEquals(code, lib.serverDirectedAffinityNative(a));
        assertEquals(List.of(code, 0), List.of(a.iResponse, sim.recordCount()));
    }

    /** Any failed send gives the reason field as it stands: one the executor never answered, the previous one. */
    @ParameterizedTest(name = "then {0}")
    @ValueSource(strings = {"ERROR 5", "server modality", "no device"})
    void failedExchangeGivesTheReason(String failure) {
        CMNAffinity a = affinity(7);  // a sub-command the executor refuses with reason -3
        a.iTime = 55;
        assertEquals(-3, lib.serverDirectedAffinityNative(a));
        assertEquals(List.of(-3, 55, 0), List.of(a.iResponse, a.iTime, a.iNumAffinities));
        if (failure.equals("no device")) {
            assertEquals("EOK", lib.stopExecutorNative());
            assertTrue(sim.awaitExit(java.time.Duration.ofSeconds(5)));
        } else {
            failNext(failure);
        }
        CMNAffinity stale = affinity(0);
        assertEquals(-3, lib.serverDirectedAffinityNative(stale));
        assertEquals(-3, stale.iResponse);
    }

    @Test
    void returnedBindingsFillOnlyWhatJavaArraysHold() {
        sim.command("DIAG FILL AFFINITY 2048");
        CMNAffinity a = affinity(0);
        a.aiNumActive = new int[3];
        assertEquals(0, lib.serverDirectedAffinityNative(a));
        assertEquals(1999, a.iNumAffinities);  // what the block holds, the count Java can index
        assertEquals(net(172, 0, 7, 206), a.aiClientAddr[1998]);
        assertEquals(0, a.aiClientAddr[1999]);
        assertArrayEquals(new int[] {0, 1, 2}, a.aiNumActive);
    }

    // ---- listeners -------------------------------------------------------------------------

    static final class HalfOpenLog extends CMNHalfOpenListener {
        final List<String> calls = new ArrayList<>();
        int throwAt = -1;

        @Override
        public void setNumHalfOpenRecs(int count) {
            calls.add("count " + count);
        }

        @Override
        public void addHalfOpenRec(int index, int address, int port, boolean flag) {
            if (index == throwAt) {
                throw new IllegalStateException("listener gave up");
            }
            calls.add(index + " " + Integer.toHexString(address) + " " + port + " " + flag);
        }
    }

    static final class AttackLog extends CMNAttackListener {
        final List<String> calls = new ArrayList<>();

        @Override
        public void reportAttackingAddrsResults(int count, int figure) {
            calls.add("results " + count + " " + figure);
        }

        @Override
        public void reportAttackingAddr(int address, int figure) {
            calls.add(Integer.toHexString(address) + " " + figure);
        }
    }

    @Test
    void halfOpenRecordsReachTheListenerInOrder() {
        HalfOpenLog none = new HalfOpenLog();
        assertEquals(0, lib.getHalfOpenInfoNative(none));
        assertEquals(List.of("count 0"), none.calls);

        sim.command("DIAG HALFOPEN 172.16.0.7 1234 1");
        sim.command("DIAG HALFOPEN 10.0.0.9 65535 0");
        HalfOpenLog log = new HalfOpenLog();
        assertEquals(0, lib.getHalfOpenInfoNative(log));
        assertEquals(List.of("count 2", "0 ac100007 1234 true", "1 a000009 65535 false"), log.calls);

        HalfOpenLog thrower = new HalfOpenLog();
        thrower.throwAt = 0;
        assertThrows(IllegalStateException.class, () -> lib.getHalfOpenInfoNative(thrower));
        assertEquals(List.of("count 2"), thrower.calls);  // no call after the throw

        failNext("RESULT -1 REASON -5");
        HalfOpenLog failed = new HalfOpenLog();
        assertEquals(-1, lib.getHalfOpenInfoNative(failed));
        assertEquals(List.of(), failed.calls);

        sim.command("DIAG FILL HALFOPEN 5400");  // at the largest: as many as the block holds
        HalfOpenLog full = new HalfOpenLog();
        assertEquals(0, lib.getHalfOpenInfoNative(full));
        assertEquals(List.of(1 + 5333, "count 5400", "5332 ac0014d4 5332 false"),
                List.of(full.calls.size(), full.calls.get(0), full.calls.get(5333)));
    }

    @Test
    void attackingAddressesReachTheListener() {
        sim.command("DIAG ATTACKER 10.0.0.1 80 6.6.6.6 17");
        sim.command("DIAG ATTACKER 10.0.0.1 443 7.7.7.7 1");
        sim.command("DIAG ATTACKER 10.0.0.1 80 200.1.1.1 -3");
        AttackLog log = new AttackLog();
        seedBlock();
        assertEquals(0, lib.getAttackingAddrsNative(log, 0x0A000001, 0x10050));
        assertRequest(68, 64016, map(16, "0a000001", 20, "0050"));
        assertEquals(List.of("results 2 14", "6060606 17", "c8010101 -3"), log.calls);
        failNext("ERROR 7");
        AttackLog failed = new AttackLog();
        assertEquals(7, lib.getAttackingAddrsNative(failed, 0x0A000001, 80));
        assertEquals(List.of(), failed.calls);

        sim.command("DIAG FILL ATTACKERS 8064");  // at the largest: as many as the block holds
        AttackLog full = new AttackLog();
        assertEquals(0, lib.getAttackingAddrsNative(full, 0x0A000001, 80));
        assertEquals(List.of(1 + 7996, "ac001f3b 7995"), List.of(full.calls.size(), full.calls.get(7996)));
    }

    // ---- requests whose layout is all there is to see ------------------------------------------

    @Test
    void connectionQuerySignExtendsOnlyTheThirdPort() {
        for (int port : new int[] {0x8000, 0x7FFF, 0x80, 0x1FFFF}) {
            seedBlock();
            lib.getConnectionInfoNative(0x01020304, port, 0x05060708, port, 0x090A0B0C, port, -2);
            String net = String.format("%04x", port & 0xFFFF);
            String third = net + ((port & 0x8000) != 0 ? "ffff" : "0000");
            assertRequest(39, 64016, map(16, "01020304" + net + "0000" + "05060708" + net + "0000"
                    + "090a0b0c" + third + le(-2, 4)));
        }
    }

    @Test
    void denialOfServiceParametersKeepTheirLow16Bits() {
        seedBlock();
        assertEquals(0, lib.xDOSAttackNative(65536, -1, 1, 0x12345678, 0, 80, Integer.MIN_VALUE, 0x7FFF));
        assertRequest(69, 280, map(16, le(0, 4) + le(65535, 4) + le(1, 4) + le(0x5678, 4) + le(0, 4) + le(80, 4)
                + le(0, 4) + le(0x7FFF, 4)));
        failNext("RESULT -1 REASON -5");
        assertEquals(-1, lib.xDOSAttackNative(1, 2, 3, 4, 5, 6, 7, 8));
    }

    @Test
    void icmpRecordRoundTripKeepsTheAddressPattern() throws Exception {
        CMNIcmp set = new CMNIcmp();
        set.iGotIcmpResp = 1;
        set.iIcmpRespAddr = 0x8001FEFF;
        seedBlock();
        assertEquals(0, lib.setIcmpInfoNative(set));
        assertRequest(58, 24, map(16, le(1, 4) + le(0x8001FEFF, 4)));
        CMNIcmp got = new CMNIcmp();
        assertEquals(0, lib.getIcmpInfoNative(got));
        assertRequest(57, 24, map(16, le(1, 4) + le(0x8001FEFF, 4)));  // as the block held them
        assertFields(map("iGotIcmpResp", "[1]", "iIcmpRespAddr", "[" + 0x8001FEFF + "]"), got);

        sim.command("DIAG ICMP 0 10.1.2.3");  // what the executor recorded since
        assertEquals(0, lib.getIcmpInfoNative(got));
        assertEquals(List.of(0, net(10, 1, 2, 3)), List.of(got.iGotIcmpResp, got.iIcmpRespAddr));

        failNext("RESULT -1 REASON -5");
        CMNIcmp untouched = new CMNIcmp();
        untouched.iGotIcmpResp = 9;
        untouched.iIcmpRespAddr = 9;
        assertEquals(-1, lib.getIcmpInfoNative(untouched));
        assertEquals(List.of(9, 9), List.of(untouched.iGotIcmpResp, untouched.iIcmpRespAddr));
    }
}
