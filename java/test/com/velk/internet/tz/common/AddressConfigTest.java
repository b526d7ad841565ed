package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.util.List;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** Cluster addresses as interface aliases: the alias tool's lines, and the NIC records read back. */
class AddressConfigTest extends ExecutorTestBase {
    /** eth0 10.1.0.5/16, eth1 192.168.7.2/24, eth2 with netmask 0 (never takes an alias), eth3 10.1.2.9/24 inside eth0's. */
    @BeforeEach
    void host() {
        cards("1 svcA 10.1.0.5 255.255.0.0; 2 svcB 192.168.7.2 255.255.255.0; 3 svcC 172.20.0.1 0.0.0.0;"
                + " 4 svcD 10.1.2.9 255.255.255.0", "svcA eth0 svcB eth1 svcC eth2 svcD eth3", 4);
    }

    static CMNAddress address(String address, int provided, String interfaceName, String netmask) {
        CMNAddress a = new CMNAddress(address);
        a.ConfigInfoProvided = (byte) provided;
        a.InterfaceName = interfaceName;
        a.NetMask = netmask;
        return a;
    }

    @ParameterizedTest(name = "{1} given {0} ({2}, {3}) -> {4}")
    @CsvSource(delimiter = '|', value = {
        "0 | 10.1.2.3    |      |             | 0   | zoconfig eth0 alias 10.1.2.3 netmask 255.255.0.0 source 10.1.0.5",
        "2 | 192.168.7.9 | eth5 | 255.0.0.0   | 0   | zoconfig eth1 alias 192.168.7.9 netmask 255.255.255.0 source 192.168.7.2",
        "0 | 172.20.0.9  |      |             | -62 |",
        "1 | 172.16.0.1  | eth9 | 255.255.0.0 | 0   | zoconfig eth9 alias 172.16.0.1 netmask 255.255.0.0 source 0.0.0.0",
        "1 | 10.1.9.9    | eth7 | 255.0.0.0   | 0   | zoconfig eth7 alias 10.1.9.9 netmask 255.0.0.0 source 10.1.0.5",
        "1 | localhost   | eth3 | 255.0.0.0   | 0   | zoconfig eth3 alias localhost netmask 255.0.0.0 source 0.0.0.0",
        "1 | 172.16.0.1  | eeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee0 | 255.255.0.0 | 1   | zoconfig eeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee0 alias 172.16.0.1 netmask 255.255.0.0 source 0.0.0.0",
        "1 | 172.16.0.1  | eeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee01 | 255.255.0.0 | -62 |",
        "1 | 10.1.9.9    | eth0;reboot | 255.255.0.0 | -62 |",
        "1 | 10.1.9.9    | eth0 | 255.0.0.0 x | -62 |",
        "1 | 10.1.9.9    |      | 255.255.0.0 | -62 |",
        "1 | 10.1.9.9    | eth0 |             | -62 |",
        "0 | " + UNRESOLVABLE + " | |          | -62 |",
        "0 |             |      |             | -62 |"})
    void configureRunsTheAliasLine(int provided, String addr, String name, String mask, int expected, String line) {
        assertEquals(expected, lib.configureAddressNative(address(addr, provided, name, mask)));
        assertEquals(line == null ? List.of() : List.of(line), toolLines());
        assertEquals(0, sim.recordCount());
    }

    /** The NIC query behind status, info and unconfigure; a loopback alias is reported, never counted as configured. */
    @Test
    void loopbackAliasIsReportedButNotConfigured() throws Exception {
        sim.command("ALIAS lo 0 127.0.0.2 255.0.0.0");
        CMNAddress lo = new CMNAddress("127.0.0.2");
        assertEquals(List.of(-63, 0, 0), List.of(lib.clusterConfigureStatusNative(lo),
                lib.getAddressConfigureInfoNative(lo), lib.unconfigureAddressNative(lo)));
        byte[] query = sim.record(-1);
        assertEquals(List.of(55L, 2132L, 2132), List.of(SimExecutor.u32le(query, 0), SimExecutor.u32le(query, 12),
                query.length));
        assertFields(map("InterfaceName", "[lo0]", "NetMask", "[255.0.0.0]"), lo);
        assertEquals(List.of("zoconfig lo0 127.0.0.2 delete"), toolLines());
    }

    /** Answers the next NIC query: "count at name unit address maskhex ...", records from `at`, those before zero. */
    static void answerNic(String answer) {
        String[] w = answer.trim().split(" +");
        if (!w[0].matches("-?\\d+")) {
            sim.script(("NEXT " + answer).split(" "));
            return;
        }
        ByteBuffer b = ByteBuffer.allocate(4 + 64 * (Integer.parseInt(w[1]) + (w.length - 2) / 4)).order(ByteOrder.LITTLE_ENDIAN);
        b.putInt(0, Integer.parseInt(w[0]));
        for (int i = 2, at = 4 + 64 * Integer.parseInt(w[1]); i + 3 < w.length; i += 4, at += 64) {
            b.putInt(at + 12, Integer.parseUnsignedInt(w[i + 3], 16)).putInt(at + 52, Integer.parseInt(w[i + 1]));
            b.put(at + 20, w[i].getBytes(StandardCharsets.ISO_8859_1));
            b.putInt(at + 16, Integer.reverseBytes(InterfaceDiscoveryTest.host(w[i + 2])));
        }
        sim.script("NEXT", "PUT", "16", HEX.formatHex(b.array()));
    }

    /** Each method against the same answer: status, info (and the fields it writes), unconfigure (and its line). */
    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {
        "0 0 eth 0 10.9.9.9 fffff000                                   | -63 | -63 | | | -63 |",
        "ERROR 5                                                       | -63 | -63 | | | -63 |",
        "RESULT -1 REASON -5                                           | -63 | -63 | | | -63 |",
        "-1 0 eth 0 10.9.9.9 fffff000                                  | -63 | -63 | | | -63 |",
        "3 0 eth 3 10.9.9.8 fffff000 eth 4 10.9.9.9 fffff000 eth 5 10.9.9.9 0 | 0 | 0 | eth4 | 255.255.240.0 | 1 | zoconfig eth4 10.9.9.9 delete",
        "40 35 far 35 10.9.9.9 fffff000                                | 0 | 0 | far35 | 255.255.240.0 | 1 | zoconfig far35 10.9.9.9 delete",
        "2147483647 998 end 0 10.9.9.9 ff000000                        | 0 | 0 | end0 | 255.0.0.0 | 1 | zoconfig end0 10.9.9.9 delete",
        "1 0 nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn 1 10.9.9.9 fffff000 | 0 | 0 | nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn1 | 255.255.240.0 | -63 |",
        "1 0 nnnnnnnnnnnnnnnnnnnnnnnnnnnnnn 5 10.9.9.9 fffff000 | 0 | 0 | nnnnnnnnnnnnnnnnnnnnnnnnnnnnnn5 | 255.255.240.0 | 1 | zoconfig nnnnnnnnnnnnnnnnnnnnnnnnnnnnnn5 10.9.9.9 delete",
        "1 0 e\u00ffth 0 10.9.9.9 fffff000                            | 0 | 0 | e?th0 | 255.255.240.0 | -63 |"})
    void queriesReadTheNicRecordsAsTheExecutorAnswers(String answer, int status, int info, String name, String mask,
            int unconfigure, String line) throws Exception {
        answerNic(answer);
        assertEquals(status, lib.clusterConfigureStatusNative(new CMNAddress("10.9.9.9")));
        answerNic(answer);
        CMNAddress a = address("10.9.9.9", 0, "untouched", "untouched");
        assertEquals(info, lib.getAddressConfigureInfoNative(a));
        assertFields(map("InterfaceName", "[" + (name == null ? "untouched" : name) + "]",
                "NetMask", "[" + (mask == null ? "untouched" : mask) + "]"), a);
        answerNic(answer);
        assertEquals(unconfigure, lib.unconfigureAddressNative(new CMNAddress("10.9.9.9")));
        assertEquals(line == null ? List.of() : List.of(line), toolLines());
    }

    @Test
    void anAddressThatIsNullOrDoesNotResolveIsNotLookedUp() {
        for (String addr : new String[] {null, UNRESOLVABLE}) {
            CMNAddress a = new CMNAddress(addr);
            assertEquals(List.of(-63, -63, -63), List.of(lib.clusterConfigureStatusNative(a),
                    lib.getAddressConfigureInfoNative(a), lib.unconfigureAddressNative(a)));
        }
        assertEquals(0, sim.recordCount());
    }
}
