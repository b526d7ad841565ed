package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.RegistryCards.card;
import static org.junit.jupiter.api.Assertions.assertEquals;

import com.velk.internet.tz.common.RegistryCards.Key;
import java.io.ByteArrayOutputStream;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.util.List;
import java.util.Map;
import java.util.function.ToIntFunction;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** Cluster addresses as interface aliases: the alias tool's lines, and the NIC records read back. */
class AddressConfigTest extends ExecutorTestBase {
    static final String E49 = "eeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee";  // 49 characters
    int logBefore;

    final Map<String, ToIntFunction<CMNAddress>> queries = Map.of("status", lib::clusterConfigureStatusNative,
            "info", lib::getAddressConfigureInfoNative, "unconfigure", lib::unconfigureAddressNative);

    /** eth0 10.1.0.5/16, eth1 192.168.7.2/24, and eth2 with netmask 0, which never takes an alias. */
    @BeforeEach
    void twoCardHost() {
        RegistryCards.clear();
        RegistryCards.write(Key.TCPIP, card(1, "svcA", "10.1.0.5", "255.255.0.0"),
                card(2, "svcB", "192.168.7.2", "255.255.255.0"), card(3, "svcC", "172.20.0.1", "0.0.0.0"));
        for (String row : new String[] {"svcA eth0", "svcB eth1", "svcC eth2"}) {
            sim.command("IFNAME " + row);
        }
        assertEquals(3, lib.setInterfacesNative(0));
        logBefore = SimExecutor.toolLog().size();
    }

    List<String> toolLines() {
        List<String> all = SimExecutor.toolLog();
        return all.subList(logBefore, all.size());
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
        "0 | 10.1.2.3     |            |             | 0   | zoconfig eth0 alias 10.1.2.3 netmask 255.255.0.0 source 10.1.0.5",
        "2 | 192.168.7.9  | eth5       | 255.0.0.0   | 0   | zoconfig eth1 alias 192.168.7.9 netmask 255.255.255.0 source 192.168.7.2",
        "0 | 172.20.0.9   |            |             | -62 |",
        "0 | 172.16.0.1   |            |             | -62 |",
        "1 | 172.16.0.1   | eth9       | 255.255.0.0 | 0   | zoconfig eth9 alias 172.16.0.1 netmask 255.255.0.0 source 0.0.0.0",
        "1 | 10.1.9.9     | eth7       | 255.255.255.0 | 0 | zoconfig eth7 alias 10.1.9.9 netmask 255.255.255.0 source 10.1.0.5",
        "1 | localhost    | eth3       | 255.0.0.0   | 0   | zoconfig eth3 alias localhost netmask 255.0.0.0 source 0.0.0.0",
        "1 | 172.16.0.1   | " + E49 + "0 | 255.255.0.0 | 1 | zoconfig " + E49 + "0 alias 172.16.0.1 netmask 255.255.0.0 source 0.0.0.0",
        "1 | 172.16.0.1   | " + E49 + "01 | 255.255.0.0 | -62 |",
        "1 | 10.1.9.9     | eth0;reboot | 255.255.0.0 | -62 |",
        "1 | 10.1.9.9     | eth0       | 255.0.0.0 x | -62 |",
        "1 | 10.1.9.9     |            | 255.255.0.0 | -62 |",
        "1 | 10.1.9.9     | eth0       |             | -62 |",
        "0 | " + UNRESOLVABLE + " |    |             | -62 |",
        "0 |              |            |             | -62 |"})
    void configureRunsTheAliasLine(int provided, String addr, String name, String mask, int expected, String line) {
        assertEquals(expected, lib.configureAddressNative(address(addr, provided, name, mask)));
        assertEquals(line == null ? List.of() : List.of(line), toolLines());
    }

    @Test
    void configureStatusInfoUnconfigureIsARoundTrip() throws Exception {
        CMNAddress a = address("10.1.2.3", 0, null, null);
        assertEquals(-63, lib.clusterConfigureStatusNative(a));
        assertEquals(0, lib.configureAddressNative(a));
        assertEquals(1, lib.configureAddressNative(a), "the tool refuses an address configured already");
        assertEquals(0, lib.clusterConfigureStatusNative(a));
        byte[] query = sim.record(-1);
        assertEquals(List.of(55L, 2132L), List.of(SimExecutor.u32le(query, 0), SimExecutor.u32le(query, 12)));
        assertEquals(0, lib.getAddressConfigureInfoNative(a));
        assertFields(map("InterfaceName", "[eth0]", "NetMask", "[255.255.0.0]"), a);
        assertEquals(0, lib.unconfigureAddressNative(a));
        assertEquals(-63, lib.unconfigureAddressNative(a));
        assertEquals(-63, lib.clusterConfigureStatusNative(a));
        assertEquals(List.of("zoconfig eth0 alias 10.1.2.3 netmask 255.255.0.0 source 10.1.0.5",
                "zoconfig eth0 alias 10.1.2.3 netmask 255.255.0.0 source 10.1.0.5", "zoconfig eth0 10.1.2.3 delete"),
                toolLines());
    }

    @Test
    void anAddressOnLoIsNotConfiguredYetIsReported() throws Exception {
        sim.command("ALIAS lo 0 127.0.0.2 255.0.0.0");
        CMNAddress a = address("127.0.0.2", 0, null, null);
        assertEquals(-63, lib.clusterConfigureStatusNative(a));
        assertEquals(0, lib.getAddressConfigureInfoNative(a));
        assertFields(map("InterfaceName", "[lo0]", "NetMask", "[255.0.0.0]"), a);
        assertEquals(0, lib.unconfigureAddressNative(a));
        assertEquals(List.of("zoconfig lo0 127.0.0.2 delete"), toolLines());
    }

    /** A NIC record: name bytes in a 32-byte field (no terminator when 32 long), unit, address, host-order mask. */
    static byte[] nic(String name, int unit, String address, int mask) {
        ByteBuffer r = ByteBuffer.allocate(64).order(ByteOrder.LITTLE_ENDIAN);
        r.putInt(12, mask);
        String[] parts = address.split("\\.");
        for (int i = 0; i < 4; i++) {
            r.put(16 + i, (byte) Integer.parseInt(parts[i]));
        }
        r.put(20, name.getBytes(StandardCharsets.ISO_8859_1));
        r.putInt(52, unit);
        return r.array();
    }

    /** Answers the next NIC query with `count` and the records from record `at`, every record before it zero. */
    static void answerNic(int count, int at, byte[]... records) {
        ByteArrayOutputStream all = new ByteArrayOutputStream();
        all.writeBytes(ByteBuffer.allocate(4).order(ByteOrder.LITTLE_ENDIAN).putInt(count).array());
        all.writeBytes(new byte[64 * at]);
        for (byte[] r : records) {
            all.writeBytes(r);
        }
        sim.script("NEXT", "PUT", "16", HEX.formatHex(all.toByteArray()));
    }

    static final String ADDR = "10.9.9.9";
    static final int MASK = 0xFFFFF000;

    /** {script, status, info result, InterfaceName, NetMask, unconfigure result, delete line}. */
    static final Object[][] NIC_CASES = {
        {"count 0", -63, -63, null, null, -63, null},
        {"device error", -63, -63, null, null, -63, null},
        {"executor refusal", -63, -63, null, null, -63, null},
        {"the first of two matches", 0, 0, "eth4", "255.255.240.0", 1, "zoconfig eth4 10.9.9.9 delete"},
        {"record 35 of a count of 40", 0, 0, "far35", "255.255.240.0", 1, "zoconfig far35 10.9.9.9 delete"},
        {"a count past the block", 0, 0, "end0", "255.255.240.0", 1, "zoconfig end0 10.9.9.9 delete"},
        {"a negative count", -63, -63, null, null, -63, null},
        {"a 32-byte name", 0, 0, "n".repeat(32) + "1", "255.255.240.0", -63, null},
        {"a 30-byte name and unit 5", 0, 0, "n".repeat(30) + "5", "255.255.240.0", 1,
            "zoconfig " + "n".repeat(30) + "5 10.9.9.9 delete"},
        {"a name that is not UTF-8", 0, 0, "e?th0", "255.255.240.0", -63, null},
    };

    static void scriptNic(String name) {
        switch (name) {
            case "count 0" -> answerNic(0, 0, nic("eth0", 0, ADDR, MASK));
            case "device error" -> sim.script("NEXT", "ERROR", "5");
            case "executor refusal" -> sim.script("NEXT", "RESULT", "-1", "REASON", "-5");
            case "the first of two matches" -> answerNic(3, 0, nic("eth", 3, "10.9.9.8", MASK),
                    nic("eth", 4, ADDR, MASK), nic("eth", 5, ADDR, 0));
            case "record 35 of a count of 40" -> answerNic(40, 35, nic("far", 35, ADDR, MASK));
            case "a count past the block" -> answerNic(Integer.MAX_VALUE, 998, nic("end", 0, ADDR, MASK));
            case "a negative count" -> answerNic(-1, 0, nic("eth0", 0, ADDR, MASK));
            case "a 32-byte name" -> answerNic(1, 0, nic("n".repeat(32), 1, ADDR, MASK));
            case "a 30-byte name and unit 5" -> answerNic(1, 0, nic("n".repeat(30), 5, ADDR, MASK));
            case "a name that is not UTF-8" -> answerNic(1, 0, nic("e\u00ffth", 0, ADDR, MASK));
            default -> throw new AssertionError(name);
        }
    }

    @Test
    void queriesReadTheNicRecordsAsTheExecutorAnswers() throws Exception {
        for (Object[] c : NIC_CASES) {
            String name = (String) c[0];
            scriptNic(name);
            assertEquals(c[1], lib.clusterConfigureStatusNative(new CMNAddress(ADDR)), name + ": status");
            scriptNic(name);
            CMNAddress a = address(ADDR, 0, "untouched", "untouched");
            assertEquals(c[2], lib.getAddressConfigureInfoNative(a), name + ": info");
            assertFields(map("InterfaceName", "[" + (c[3] == null ? "untouched" : c[3]) + "]",
                    "NetMask", "[" + (c[4] == null ? "untouched" : c[4]) + "]"), a);
            scriptNic(name);
            logBefore = SimExecutor.toolLog().size();
            assertEquals(c[5], lib.unconfigureAddressNative(new CMNAddress(ADDR)), name + ": unconfigure");
            assertEquals(c[6] == null ? List.of() : List.of(c[6]), toolLines(), name);
        }
    }

    @ParameterizedTest(name = "{0}")
    @CsvSource({"status", "info", "unconfigure"})
    void anAddressThatIsNullOrDoesNotResolveIsNotLookedUp(String method) {
        sim.command("RESET");
        for (String addr : new String[] {null, UNRESOLVABLE}) {
            assertEquals(-63, queries.get(method).applyAsInt(new CMNAddress(addr)));
        }
        assertEquals(0, sim.recordCount());
        assertEquals(-88, queries.get(method).applyAsInt(null));
    }
}
