package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.SimExecutor.u32le;
import static org.junit.jupiter.api.Assertions.*;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.function.Consumer;
import java.util.function.ToIntFunction;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** Server records and their listeners: requests as the executor receives them, answers as Java sees them. */
class ServerTest extends ExecutorTestBase {
    static final String[] FLAGS = {"SetListeners", "SetWeight", "SetFixedWeight", "SetRouterAddress",
        "SetReturnAddress", "SetCollocated", "SetSticky", "SetQuiesced", "SetAdvisorRequest", "SetAdvisorResponse",
        "SetCPSMaximum", "SetCookieValue", "SetCloneID"};

    /** A server that remembers what the library handed back through its methods. */
    static class Recording extends CMNServer {
        final List<Integer> added = new ArrayList<>();
        int nullListenerAt = -1;

        Recording() {
            super("web", 443, "srv1");
        }

        @Override
        public CMNListener getListener(int index) {
            return index == nullListenerAt ? null : super.getListener(index);
        }

        @Override
        public void addListenersFromNative(int count) {
            added.add(count);
            super.addListenersFromNative(count);
        }

        /** The two values every listener record hands back, in the order the library calls: w, then t. */
        final StringBuilder order = new StringBuilder();

        @Override
        public void setWaitForContinueFromNative(int w) {
            order.append('w');
            super.setWaitForContinueFromNative(w);
        }

        @Override
        public void setConnectTimeoutFromNative(int t) {
            order.append('t');
            super.setConnectTimeoutFromNative(t);
        }
    }

    /** Every setting flagged, two listeners, values that show width, byte order and sign. */
    static Recording full() {
        return full(new Recording());
    }

    static Recording full(Recording s) {
        s.iServerIdKey = 0x11223344;
        s._iConnectTimeout = 0x01020304;
        s._iWaitForComplete = -2;
        s.addListener(new CMNListener(0x0A000001, 8443, 6, "ring", "stash"));
        s.addListener(new CMNListener(0xC0A80102, 65535, 17, "r2", "s2"));
        s._iWeight = 70000;
        s._bFixedWeight = 0x5A;
        s._sReturnAddress = "10.9.8.7";
        s._sRouterAddress = "10.6.5.4";
        s.bCollocated = -2;
        s.bSticky = 1;
        s._iQuiesced = 0x0A0B0C0D;
        s._sAdvisorRequest = "GET /";
        s._sAdvisorResponse = "200";
        s.CookieValue = "c";
        s.CloneID = "clone";
        s._iCPSMaximum = 1000;
        setBytes(s, FLAGS, 1);
        return s;
    }

    final Map<String, ToIntFunction<CMNServer>> calls = Map.of("add", lib::addServerNative, "set",
            lib::setServerStatusNative, "cps", lib::setServerCPSNative);

    @Test
    void fullAddPutsEveryFieldAtItsOffset() {
        seedBlock();
        sim.script("NEXT", "RESULT", "0");
        assertEquals(0, lib.addServerNative(full()));
        assertRequest(27, 1952, map(16, text("srv1"), 84, le(key("srv1"), 4), 88, le(key("web"), 4), 92, "01bb",
                116, "0200", 120, "0a00000120fb", 128, le(6, 4) + "04030201feffffff" + text("ring"), 396,
                text("stash"), 652, "c0a80102ffff", 660, le(17, 4) + "04030201feffffff" + text("r2"), 928,
                text("s2"), 1184, "01", 1192, "70115a010a0605040a090807feffffff010000000d0c0b0a" + le(1000, 4),
                1220, "0101", 1223, "01".repeat(9), 1232, text("GET /"), 1488, text("200"), 1744, "01" + text("c"),
                1845, "01" + text("clone")));
    }

    /** A change to the full server, what it refuses with; nothing is sent, by add and by set alike (and the rate). */
    static Stream<Arguments> refusals() {
        Object[][] rows = {
            {"port -1", (Consumer<Recording>) s -> s.Port = -1, -10},
            {"port 65536", (Consumer<Recording>) s -> s.Port = 65536, -10},
            {"null cluster", (Consumer<Recording>) s -> s.ClusterId = null, -88},
            {"three listeners", (Consumer<Recording>) s -> s.addListener(new CMNListener()), -10},
            {"negative listener count", (Consumer<Recording>) s -> s._iNumListeners = -1, -10},
            {"null listener", (Consumer<Recording>) s -> s.nullListenerAt = 1, -17},
            {"mapped port 65536", (Consumer<Recording>) s -> s.getListener(1)._iMapPort = 65536, -78},
            {"mapped port -1", (Consumer<Recording>) s -> s.getListener(0)._iMapPort = -1, -78},
            {"key ring of 256", (Consumer<Recording>) s -> s.getListener(1)._sKeyRing = "k".repeat(256), -78},
            {"stash file of 256", (Consumer<Recording>) s -> s.getListener(0)._sStashFile = "f".repeat(256), -78},
            {"weight -1", (Consumer<Recording>) s -> s._iWeight = -1, -20},
            {"router unresolvable", (Consumer<Recording>) s -> s._sRouterAddress = UNRESOLVABLE, -49},
            {"router null", (Consumer<Recording>) s -> s._sRouterAddress = null, -49},
            {"return unresolvable", (Consumer<Recording>) s -> s._sReturnAddress = UNRESOLVABLE, -76},
            {"return null", (Consumer<Recording>) s -> s._sReturnAddress = null, -76},
            {"advisor request of 256", (Consumer<Recording>) s -> s._sAdvisorRequest = "a".repeat(256), -85},
            {"cookie of 100", (Consumer<Recording>) s -> s.CookieValue = "c".repeat(100), -85},
            {"clone of 102", (Consumer<Recording>) s -> s.CloneID = "c".repeat(102), -85},
            {"identifier of 65", (Consumer<Recording>) s -> s.sServerID = "s".repeat(65), -85},
            {"null identifier", (Consumer<Recording>) s -> s.sServerID = null, -80}};
        Object[][] rates = {
            {"server key -1", (Consumer<Recording>) s -> s.iServerIdKey = -1, -99},
            {"rate -1", (Consumer<Recording>) s -> s._iCPSCount = -1, -99},
            {"key and rate 0", (Consumer<Recording>) s -> s.iServerIdKey = s._iCPSCount = 0, 0},
            {"key and rate MAX", (Consumer<Recording>) s -> s.iServerIdKey = s._iCPSCount = Integer.MAX_VALUE, 0}};
        return Stream.concat(Arrays.stream(rates).map(r -> Arguments.of("cps", r[0], r[1], r[2])),
                Stream.of("add", "set").flatMap(m -> Arrays.stream(rows).map(r -> Arguments.of(m, r[0], r[1], r[2]))));
    }

    @ParameterizedTest(name = "{0}, {1} -> {3}")
    @MethodSource
    void refusals(String method, String what, Consumer<Recording> change, int expected) {
        sim.script("NEXT", "RESULT", "0");
        Recording s = full();
        change.accept(s);
        assertEquals(expected, calls.get(method).applyAsInt(s));
        assertEquals(List.of(expected == 0 ? 1 : 0, what.contains("identifier") ? 0x11223344 : s.iServerIdKey),
                List.of(sim.recordCount(), s.iServerIdKey), "an identifier refused is not keyed");
    }

    /** Values at their limits that are sent, and the bytes they leave in a seeded block. */
    static Stream<Arguments> edges() {
        return Stream.of(
                Arguments.of("weight 0", (Consumer<Recording>) s -> s._iWeight = 0, map(1192, "0000")),
                Arguments.of("identifier of 64", (Consumer<Recording>) s -> s.sServerID = "s".repeat(64),
                        map(16, text("s".repeat(64)))),
                Arguments.of("key ring of 255", (Consumer<Recording>) s -> s.getListener(1)._sKeyRing = "k".repeat(255),
                        map(672, text("k".repeat(255)))),
                Arguments.of("null texts", (Consumer<Recording>) s -> {
                    s._sAdvisorRequest = null;
                    s.getListener(0)._sKeyRing = null;
                }, map(1232, "00", 140, "00")),
                Arguments.of("router 0.0.0.0", (Consumer<Recording>) s -> s._sRouterAddress = "0.0.0.0",
                        map(1195, "0000000000", 1223, "01")),
                Arguments.of("router unflagged", (Consumer<Recording>) s -> s.SetRouterAddress = 0,
                        map(1195, HEX.formatHex(new byte[] {seed(1195), seed(1196)}), 1223, "00", 1224, "00")),
                Arguments.of("cookie and clone unflagged",
                        (Consumer<Recording>) s -> s.SetCookieValue = s.SetCloneID = 2,
                        map(1744, "0200", 1845, "02" + HEX.formatHex(new byte[] {seed(1846)}))),
                Arguments.of("listeners unflagged", (Consumer<Recording>) s -> s.SetListeners = 0,
                        map(116, "0200", 120, HEX.formatHex(new byte[] {seed(120)}), 1184, "00")),
                Arguments.of("one listener", (Consumer<Recording>) s -> s._iNumListeners = 1,
                        map(116, "0100", 652, HEX.formatHex(new byte[] {seed(652)}))),
                Arguments.of("no listener", (Consumer<Recording>) s -> s._iNumListeners = 0,
                        map(116, "0000", 120, HEX.formatHex(new byte[] {seed(120)}), 1184, "01")));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource
    void edges(String what, Consumer<Recording> change, Map<Integer, String> bytes) {
        seedBlock();
        Recording s = full();
        change.accept(s);
        sim.script("NEXT", "RESULT", "0");
        assertEquals(0, lib.setServerStatusNative(s));
        byte[] r = sim.record(-1);
        bytes.forEach((off, hex) -> assertEquals(hex, HEX.formatHex(r, off, off + hex.length() / 2), "at " + off));
    }

    /** A listener getter that throws: the library stops there, sends nothing, and Java sees the exception. */
    @Test
    void aThrowingListenerLeavesItsExceptionForJava() {
        CMNListener thrower = new CMNListener() {
            @Override
            public int getProtocol() {
                throw new IllegalStateException("no protocol");
            }
        };
        Recording s = full(new Recording() {
            @Override
            public CMNListener getListener(int index) {
                return index == 1 ? thrower : super.getListener(index);
            }
        });
        assertThrows(IllegalStateException.class, () -> lib.addServerNative(s));
        assertEquals(0, sim.recordCount());
    }

    /** Java's listener count J against the executor's R: refused, grown, or handed back record by record. */
    static Stream<Arguments> handBack() {
        return IntStream.range(0, 4).boxed().flatMap(j -> IntStream.range(0, 4).mapToObj(r -> Arguments.of(j, r,
                r > 2 || (j > 1 && r > 1 && j != r) ? -10 : 0)));
    }

    @ParameterizedTest(name = "J {0}, R {1} -> {2}")
    @MethodSource
    void handBack(int held, int records, int expected) {
        String rec0 = "0a00000120fb0000" + le(6, 4) + le(77, 4) + le(-3, 4) + text("ring0");
        String rec1 = "c0a80102ffff0000" + le(17, 4) + le(88, 4) + le(-4, 4) + text("ring1");
        sim.script("NEXT", "PUT", "116", le(records, 2), "PUT", "120", rec0, "PUT", "652", rec1, "PUT", "396",
                text("st0"), "PUT", "1192", "409c", "PUT", "1196", "00000000", "PUT", "928", "00");
        Recording s = new Recording();
        for (int i = 0; i < held; i++) {
            s.addListener(new CMNListener(i, i, i, "old", "old"));
        }
        assertEquals(expected, lib.getServerStatusNative(s));
        if (expected != 0) {
            assertEquals(List.of(0, 0), List.of(s._iWeight, s.added.size()), "nothing written");
            return;
        }
        assertEquals(held == 1 && records > 1 ? List.of(records) : List.of(), s.added);
        List<String> got = new ArrayList<>();
        for (int i = 0; i < Math.max(held, records); i++) {
            CMNListener l = s.getListener(i);
            got.add(String.format("%08x/%d/%d/%s/%s", l._iAddress, l._iMapPort, l._iProtocol, l._sKeyRing,
                    l._sStashFile));
        }
        List<String> want = new ArrayList<>(
                List.of("0a000001/8443/6/ring0/st0", "c0a80102/65535/17/ring1/").subList(0, Math.min(records, 2)));
        for (int i = records; i < held; i++) {
            want.add(String.format("%08x/%d/%d/old/old", i, i, i));
        }
        assertEquals(want, got);
        assertEquals(records == 0 ? List.of(0, 0) : records == 1 ? List.of(77, -3) : List.of(88, -4),
                List.of(s._iConnectTimeout, s._iWaitForComplete));
        assertEquals(List.of(-25536, (byte) 0), List.of(s._iWeight, s.IsRemote));
        assertEquals("wt".repeat(records), s.order.toString());
    }

    /** The port report's count sizes the list, at most 726 entries; the answer's count lies at 36. */
    @ParameterizedTest(name = "{0} reported, {1} answered, {2} keys -> {3} asked")
    @CsvSource({"0, 0, 1, 0", "2, 2, 2, 2", "3, 3, 1, 3", "100000, 100000, 800, 726"})
    void lists(int reported, int answered, int keyRoom, int asked) {
        byte[] entries = HEX.parseHex(entries(asked, 88, 8, "s"));
        for (int i = 0; i < asked; i++) {
            ByteBuffer.wrap(entries).order(ByteOrder.LITTLE_ENDIAN).putInt(88 * i, 0x7F000000 + i);
        }
        sim.script("CMD", "15", "PUT", "36", le(reported, 4));
        sim.script("CMD", "31", "PUT", "36", le(answered, 4), "PUT", "48", HEX.formatHex(entries));
        StringBuffer sb = new StringBuffer("x");
        int[] keys = new int[keyRoom];
        Arrays.fill(keys, -7);
        assertEquals(0, lib.getServersListNative("WEB", 443, sb, keys));
        byte[] r = sim.record(-1);
        assertEquals(List.of(31L, 48L + 88 * asked, key("web"), "01bb", (long) asked),
                List.of(u32le(r, 0), u32le(r, 12), u32le(r, 16), HEX.formatHex(r, 20, 22), u32le(r, 44)));
        assertEquals("x" + expectedText(asked, 80, "s"), sb.toString());
        for (int i = 0; i < keyRoom; i++) {
            assertEquals(i < asked ? 0x7F000000 + i : -7, keys[i], "key " + i);
        }
    }

    /** Whether one more cluster, port or server still fits a list request under 64000 bytes. */
    @ParameterizedTest(name = "{0}({1}) -> {2}")
    @CsvSource({"clusters, 887, 0", "clusters, 888, -1", "ports, 7995, 0", "ports, 7996, -1", "servers, 725, 0",
        "servers, 726, -1", "servers, -1, 0", "clusters, -2147483648, 0", "servers, 48806446, -1",
        "ports, 536870912, -1", "clusters, 2147483647, -1"})
    void capacityChecks(String kind, int count, int expected) {
        assertEquals(expected, switch (kind) {
            case "clusters" -> lib.checkMaxClustersNative(count);
            case "ports" -> lib.checkMaxPortsNative(count);
            default -> lib.checkMaxServersNative(count);
        });
        assertEquals(List.of(0, 0, 0), List.of(lib.setHostDownNative(null), lib.setHostUpNative("x"),
                lib.removeHostNative(new Object())));
        assertEquals(0, sim.recordCount());
    }

    /** Status reads back, through the executor's model, what add stored and set changed. */
    @Test
    void statusReadsBackWhatWasStored() {
        Recording s = full();
        s._iWeight = 15;  // within the port's weight bound
        assertEquals(List.of(0, 0, 0), List.of(lib.addClusterNative(new CMNCluster("web")),
                lib.addPortNative(new CMNPort("web", 443)), lib.addServerNative(s)));
        Recording change = new Recording();
        change.iServerIdKey = s.iServerIdKey;
        change.SetWeight = change.SetCloneID = 1;
        change._iWeight = 12;
        change.CloneID = "c2";
        assertEquals(0, lib.setServerStatusNative(change));
        Recording read = new Recording();
        read.iServerIdKey = change.iServerIdKey;
        read.addListener(new CMNListener());
        assertEquals(0, lib.getServerStatusNative(read));
        assertEquals(List.of(12, (byte) 0x5A, "10.6.5.4", "10.9.8.7", (byte) 1, (byte) -2, (byte) 1, 0x0A0B0C0D,
                "GET /", "200", "c", "c2", 1000, List.of(2), 2, -2), List.of(read._iWeight, read._bFixedWeight,
                read._sRouterAddress, read._sReturnAddress, read.IsRemote, read.bCollocated, read.bSticky,
                read._iQuiesced, read._sAdvisorRequest, read._sAdvisorResponse, read.CookieValue, read.CloneID,
                read._iCPSMaximum, read.added, read._iNumListeners, read._iWaitForComplete));
        assertEquals(List.of(0xC0A80102, 65535, "r2"), List.of(read.getListener(1)._iAddress,
                read.getListener(1)._iMapPort, read.getListener(1)._sKeyRing));
    }
}
