package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.SimExecutor.u32le;
import static org.junit.jupiter.api.Assertions.*;

import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.function.Consumer;
import java.util.function.ToIntFunction;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** Rule records, reports, rates, lists and server bindings: requests as sent, answers as Java sees them. */
class RuleTest extends ExecutorTestBase {
    /** The flags written back, in their order; they lie at 186-189 and 191-197. */
    static final String[] FLAGS = {"SetRuleType", "SetBeginRange", "SetEndRange", "SetPriority", "SetPattern",
        "SetServiceTOS", "SetShareLevel", "SetEvaluate", "SetWhatAffinity", "SetStickyTime", "SetCookieName"};
    static final int[] FLAG_AT = {186, 187, 188, 189, 191, 192, 193, 194, 195, 196, 197};

    /** Every setting flagged but the configuration source, with values that show width, order and sign. */
    static CMNRule full(int type) {
        CMNRule r = new CMNRule("web", 80, "r1");
        setBytes(r, FLAGS, 1);
        r.RuleType = (byte) type;
        r.AddressBeginRange = type == 1 ? "10.0.0.1" : UNRESOLVABLE;  // read for address ranges only
        r.AddressEndRange = "10.0.0.9";
        r.BeginRange = 0x11223344;
        r.EndRange = -2;
        r.Priority = 0x01020304;
        r.iShareLevel = -3;
        r.ServiceTOS = "1xx00000";
        r.Pattern = "/img/*";
        r.bEvaluate = -2;
        r.WhatAffinity = 300;
        r.StickyTime = -1;
        r.CookieName = "JSESSIONID";
        r.sHashID = "h1";
        r._iConfigSource = 0x0A0B0C0D;
        return r;
    }

    final StringBuffer listed = new StringBuffer("x");
    final Map<String, ToIntFunction<CMNRule>> calls = Map.of("add", lib::addRuleNative, "set",
            lib::setRuleStatusNative, "remove", lib::removeRuleNative, "status", lib::getRuleStatusNative, "report",
            lib::getRuleReportNative, "rate", lib::setRuleCPSNative, "bind", r -> lib.addServertoRuleNative(r,
            new CMNServer(), 7), "unbind", r -> lib.removeServerfromRuleNative(r, new CMNServer(), 7), "servers",
            r -> lib.getRuleServersListNative(r, listed));
    static final Map<String, Long> COMMANDS = new TreeMap<>(Map.of("add", 18L, "set", 22L, "remove", 19L, "status",
            21L, "report", 23L, "rate", 81L, "bind", 24L, "unbind", 25L, "servers", 26L));

    static Stream<Arguments> refusals() {
        Stream<Arguments> any = COMMANDS.keySet().stream().flatMap(m -> Stream.of(
                Arguments.of(m, "no cluster", (Consumer<CMNRule>) r -> r.ClusterId = null, -88),
                Arguments.of(m, "port -1", (Consumer<CMNRule>) r -> r.PortNumber = -1, -10),
                Arguments.of(m, "port 65536", (Consumer<CMNRule>) r -> r.PortNumber = 65536, -10),
                Arguments.of(m, "port 65535", (Consumer<CMNRule>) r -> r.PortNumber = 65535, 0),
                Arguments.of(m, "no name", (Consumer<CMNRule>) r -> r.RuleName = null, -51),
                Arguments.of(m, "name of 21", (Consumer<CMNRule>) r -> r.RuleName = "n".repeat(21), -51),
                Arguments.of(m, "name of 20", (Consumer<CMNRule>) r -> r.RuleName = "n".repeat(20), 0)));
        Object[][] records = {
            {"type -1", (Consumer<CMNRule>) r -> r.RuleType = -1, -52},
            {"type 10", (Consumer<CMNRule>) r -> r.RuleType = 10, -52},
            {"pattern of 100", (Consumer<CMNRule>) r -> r.Pattern = "p".repeat(100), -90},
            {"pattern of 99", (Consumer<CMNRule>) r -> r.Pattern = "p".repeat(99), 0},
            {"pattern of 100 unflagged", (Consumer<CMNRule>) r -> {
                r.Pattern = "p".repeat(100);
                r.SetPattern = 0;
            }, 0},
            {"cookie of 100", (Consumer<CMNRule>) r -> r.CookieName = "c".repeat(100), -90},
            {"hash of 40", (Consumer<CMNRule>) r -> r.sHashID = "h".repeat(40), -90},
            {"hash of 39", (Consumer<CMNRule>) r -> r.sHashID = "h".repeat(39), 0},
            {"begin unresolvable", (Consumer<CMNRule>) r -> r.AddressBeginRange = UNRESOLVABLE, -53},
            {"begin null", (Consumer<CMNRule>) r -> r.AddressBeginRange = null, -53},
            {"end null", (Consumer<CMNRule>) r -> r.AddressEndRange = null, -54},
            {"end broadcast", (Consumer<CMNRule>) r -> r.AddressEndRange = "255.255.255.255", -54}};
        return Stream.concat(any.filter(a -> !(a.get()[0].equals("rate") && a.get()[3].equals(-10))),
                Stream.of("add", "set").flatMap(m -> Arrays.stream(records)
                .map(c -> Arguments.of(m, c[0], c[1], c[2]))));
    }

    /** What each method refuses is refused before anything is sent, and no flag is written back. */
    @ParameterizedTest(name = "{0}, {1} -> {3}")
    @MethodSource
    void refusals(String method, String what, Consumer<CMNRule> change, int expected) {
        sim.script("NEXT", "PUT", "186", "09".repeat(12));
        CMNRule r = full(1);
        change.accept(r);
        assertEquals(expected, calls.get(method).applyAsInt(r));
        assertEquals(expected == 0 ? 1 : 0, sim.recordCount());
        assertBytes(r, FLAGS, i -> expected == 0 && method.matches("add|set") ? 9 : 1);
        if (expected == 0) {
            assertEquals(COMMANDS.get(method), u32le(sim.record(-1), 0));
        }
    }

    /** Type 1 takes its range from the address texts in host order, every other type from the ints. */
    @ParameterizedTest(name = "type {0}")
    @ValueSource(ints = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9})
    void addPutsEveryFieldAtItsOffset(int type) {
        seedBlock();
        sim.script("NEXT", "RESULT", "0");
        assertEquals(0, lib.addRuleNative(full(type)));
        boolean addresses = type == 1;
        assertRequest(18, 344, map(16, le(key("web"), 4), 20, "0050", 22, text("r1"), 43, le(type, 1),
                44, addresses ? "0100000a" : "44332211", 48, addresses ? "0900000a" : "feffffff", 52, "feffffff",
                56, "2c010000", 64, le(-1, 8), 72, "04030201", 76, le(-3, 4), 80, "0d0c0b0a", 84, text("/img/*"),
                184, "1f80", 186, "0101010100" + "01".repeat(7), 204, text("JSESSIONID"), 304, text("h1")));
    }

    /** Unflagged settings and their values stay as the block held them; null texts go out empty. */
    @Test
    void unflaggedSettingsAreLeftAndNullTextsSentEmpty() {
        seedBlock();
        sim.script("NEXT", "RESULT", "0");
        CMNRule r = new CMNRule("web", 80, "r1");
        r.SetRuleType = 1;
        r.SetPattern = 1;
        assertEquals(0, lib.setRuleStatusNative(r));
        assertRequest(22, 344, map(16, le(key("web"), 4), 20, "0050", 22, text("r1"), 43, "00", 80, "00000000",
                84, "00", 186, "010000000001000000000000", 304, "00"));
    }

    /** "0" sets a bit at 184, "1" at 185, bit 7 first; other characters, and missing ones, leave it free. */
    @ParameterizedTest(name = "\"{0}\" -> {1}")
    @CsvSource(value = {"1xx00000, 1f80", "11111111, 00ff", "xxxxxxxx, 0000", "00000000, ff00", "10, 4080",
        "'', 0000", "null, 0000", "0000000011, ff00", "01x10x1?, 8852"}, nullValues = "null")
    void serviceTosMasks(String tos, String masks) {
        sim.script("NEXT", "RESULT", "0");
        CMNRule r = full(7);
        r.ServiceTOS = tos;
        assertEquals(0, lib.setRuleStatusNative(r));
        assertEquals(masks, HEX.formatHex(sim.record(-1), 184, 186));
    }

    /** Status rebuilds the text for type 7 only; a bit set in both masks reads as "0". */
    @ParameterizedTest(name = "type {0}, masks {1} -> \"{2}\"")
    @CsvSource({"7, 1f80, 1xx00000", "7, 0000, xxxxxxxx", "7, 00ff, 11111111", "7, f0ff, 00001111", "3, 1f80, ''",
        "1, 00ff, ''"})
    void serviceTosReadBack(int type, String masks, String expected) {
        sim.script("NEXT", "PUT", "43", le(type, 1), "PUT", "184", masks);
        CMNRule r = new CMNRule("web", 80, "r1");
        assertEquals(0, lib.getRuleStatusNative(r));
        assertEquals(expected, r.ServiceTOS);
    }

    /** Each field from its offset, with the widths and signs status reads back. */
    @Test
    void statusReadsEveryField() throws Exception {
        sim.script("NEXT", "PUT", "43", "01" + "0100000a" + "50000000" + "fe7f0000" + "c8010000", "PUT", "64",
                le(-1, 8) + le(7, 4) + le(-8, 4) + le(9, 4) + "70".repeat(100), "PUT", "200", le(3, 4) + text("ck"));
        CMNRule r = new CMNRule("web", 80, "r1");
        assertEquals(0, lib.getRuleStatusNative(r));
        assertFields(map("RuleType", "[1]", "AddressBeginRange", "[10.0.0.1]", "BeginRange", "[167772161]",
                "AddressEndRange", "[0.0.0.80]", "EndRange", "[80]", "bEvaluate", "[-2]", "WhatAffinity", "[-56]",
                "StickyTime", "[-1]", "Priority", "[7]", "iShareLevel", "[-8]", "_iConfigSource", "[9]",
                "Pattern", "[" + "p".repeat(100) + "]", "NumServers", "[3]", "CookieName", "[ck]"), r);
    }

    /** Without a type the stored rule is read first; the set goes out as that rule with the flagged changes. */
    @Test
    void withoutTypeTheStoredRuleIsReadFirst() {
        sim.script("NEXT", "PUT", "43", "01", "PUT", "72", "2a000000", "PUT", "190", "01");
        sim.script("NEXT", "RESULT", "0");
        CMNRule r = full(5);
        r.SetRuleType = 0;
        r.SetPriority = 0;
        r.AddressBeginRange = "10.0.0.1";  // the stored rule's type decides
        assertEquals(0, lib.setRuleStatusNative(r));
        byte[] query = sim.record(0);
        byte[] set = sim.record(1);
        assertEquals(List.of(2, 21L, 344L, key("web"), "0050" + text("r1")), List.of(sim.recordCount(),
                u32le(query, 0), u32le(query, 12), u32le(query, 16), HEX.formatHex(query, 20, 25)));
        assertEquals(List.of(22L, 344L, "01", "0100000a", "2a000000", "00", "01"), List.of(u32le(set, 0),
                u32le(set, 12), HEX.formatHex(set, 43, 44), HEX.formatHex(set, 44, 48), HEX.formatHex(set, 72, 76),
                HEX.formatHex(set, 186, 187), HEX.formatHex(set, 190, 191)));
    }

    @ParameterizedTest(name = "query reason {0} -> {1}")
    @CsvSource({"-44, -57", "-5, -5", "-1, -12", "-70, -99"})
    void failedQueryStopsTheAddOrSet(int reason, int expected) {
        sim.script("NEXT", "RESULT", "-1", "REASON", "" + reason, "PUT", "186", "09".repeat(12));
        CMNRule r = full(1);
        r.SetRuleType = 0;
        assertEquals(expected, lib.addRuleNative(r));
        assertEquals(List.of(1, 21L), List.of(sim.recordCount(), u32le(sim.record(0), 0)));
        assertBytes(r, FLAGS, i -> i == 0 ? 0 : 1);
    }

    /** List arguments refused before anything is sent (a null object or buffer: the argument sweep). */
    @Test
    void listArgumentsRefused() {
        CMNRule noServers = new CMNRule("web", 80, "r1");
        noServers.NumServers = -1;
        assertEquals(List.of(-99, -88, -10, -10, 0), List.of(lib.getRuleServersListNative(noServers,
                new StringBuffer()), lib.getRulesListNative(null, 80, new StringBuffer()), lib.getRulesListNative("web",
                65536, new StringBuffer()), lib.getServersListNative("web", 65536, new StringBuffer(), new int[1]),
                sim.recordCount()));
    }

    /** The port report's rule count sizes the list request, at most 2285 entries; names end with their entry. */
    @ParameterizedTest(name = "{0} rules reported -> {1} asked")
    @CsvSource({"0, 0", "3, 3", "100000, 2285", "-1, 2285"})
    void ruleLists(int reported, int asked) {
        sim.script("CMD", "15", "PUT", "40", le(reported, 4));
        sim.script("CMD", "20", "PUT", "28", entries(asked, 28, 0, "r"));
        StringBuffer sb = new StringBuffer("x");
        assertEquals(0, lib.getRulesListNative("WEB", 443, sb));
        byte[] report = sim.record(-2);
        byte[] r = sim.record(-1);
        assertEquals(List.of(15L, 72L, key("web"), "01bb", 20L, 28L + 28 * asked, key("web"), "01bb", (long) asked),
                List.of(u32le(report, 0), u32le(report, 12), u32le(report, 16), HEX.formatHex(report, 20, 22),
                        u32le(r, 0), u32le(r, 12), u32le(r, 16), HEX.formatHex(r, 20, 22), u32le(r, 24)));
        assertEquals("x" + expectedText(asked, 28, "r"), sb.toString());
    }

    /** "NumServers" sizes the request, at most 726 entries; identifiers from entry byte 8 end with their entry. */
    @ParameterizedTest(name = "NumServers {0} -> {1} asked")
    @CsvSource({"0, 0", "2, 2", "1000, 726"})
    void ruleServerLists(int servers, int asked) {
        sim.script("NEXT", "PUT", "48", entries(asked, 88, 8, "srv"));
        CMNRule rule = new CMNRule("web", 443, "rule-of-20-characters".substring(1));
        rule.NumServers = servers;
        StringBuffer sb = new StringBuffer("x");
        assertEquals(0, lib.getRuleServersListNative(rule, sb));
        byte[] r = sim.record(-1);
        assertEquals(List.of(26L, 48L + 88 * asked, key("web"), "01bb" + text(rule.RuleName), (long) asked),
                List.of(u32le(r, 0), u32le(r, 12), u32le(r, 16), HEX.formatHex(r, 20, 43), u32le(r, 44)));
        assertEquals("x" + expectedText(asked, 80, "srv"), sb.toString());
    }
}
