package com.velk.internet.tz.common;

import static com.velk.internet.tz.common.SimExecutor.u32le;
import static java.util.stream.Collectors.joining;
import static org.junit.jupiter.api.Assertions.*;

import java.nio.charset.StandardCharsets;
import java.util.List;
import java.util.Map;
import java.util.function.ToIntFunction;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.*;

/** Rule reports, rates, lists and server bindings. */
class RuleReportTest extends ExecutorTestBase {
    static CMNRule rule() {
        return new CMNRule("web", 80, "r1");
    }

    static CMNServer server() {
        CMNServer s = new CMNServer("web", 80, "srv1");
        s.iServerIdKey = 0x0A0B0C0D;
        return s;
    }

    static Stream<Arguments> missingArguments() {
        CMNRule noServers = rule();
        noServers.NumServers = -1;
        Map<String, ToIntFunction<CMNExecutorInterface>> calls = Map.of(
                "bind, no server", l -> l.addServertoRuleNative(rule(), null, 0),
                "unbind, no rule", l -> l.removeServerfromRuleNative(null, server(), 0),
                "servers, no buffer", l -> l.getRuleServersListNative(rule(), null),
                "servers, NumServers -1", l -> l.getRuleServersListNative(noServers, new StringBuffer()),
                "rules, no cluster", l -> l.getRulesListNative(null, 80, new StringBuffer()),
                "rules, port 65536", l -> l.getRulesListNative("web", 65536, new StringBuffer()));
        return calls.entrySet().stream().map(e -> Arguments.of(e.getKey(), e.getValue(),
                e.getKey().endsWith("-1") ? -99 : e.getKey().endsWith("65536") ? -10 : -88));
    }

    @ParameterizedTest(name = "{0} -> {2}")
    @MethodSource
    void missingArguments(String what, ToIntFunction<CMNExecutorInterface> call, int expected) {
        assertEquals(List.of(expected, 0), List.of(call.applyAsInt(lib), sim.recordCount()));
    }

    @Test
    void reportTakesEachFieldFromItsOffset() {
        sim.script("NEXT", "PUT", "24", le(0x7F000024, 4) + le(0x7F000028, 4), "PUT", "56",
                le(0x7F000056, 4) + le(0x7F000060, 4) + le(0x7F000064, 4), "PUT", "84", le(0x7F000084, 4));
        CMNRule r = rule();
        assertEquals(0, lib.getRuleReportNative(r));
        assertEquals(List.of(0x7F000024, 0x7F000028, 0x7F000056, 0x7F000060, 0x7F000064, 0x7F000084),
                List.of(r.iConnectionsPerSecond, r.ActiveConnections, r.iUniqueId, r.TimesFired, r.NumServers,
                        r.iBytesPerSecond));
        byte[] q = sim.record(-1);
        assertEquals(List.of(23L, 188L, key("web"), "0050", text("r1")), List.of(u32le(q, 0), u32le(q, 12),
                u32le(q, 16), HEX.formatHex(q, 20, 22), HEX.formatHex(q, 32, 35)));
    }

    /** The rate set sends the port number's low 16 bits, unchecked. */
    @Test
    void rateGoesOutWithTheLowBitsOfThePort() {
        seedBlock();
        sim.script("NEXT", "RESULT", "0");
        CMNRule r = rule();
        r.PortNumber = 65616;
        r.iConnectionsPerSecond = -2;
        assertEquals(0, lib.setRuleCPSNative(r));
        assertRequest(81, 188, map(16, le(key("web"), 4), 20, "0050", 24, "feffffff", 32, text("r1")));
    }

    @ParameterizedTest(name = "command {0}, argument {1}")
    @CsvSource({"24, 0", "24, -1", "25, -2147483648", "25, 305419896"})
    void bindingPassesItsArgumentThrough(int command, int argument) {
        seedBlock();
        sim.script("NEXT", "RESULT", "0");
        assertEquals(0, command == 24 ? lib.addServertoRuleNative(rule(), server(), argument)
                : lib.removeServerfromRuleNative(rule(), server(), argument));
        assertRequest(command, 1952, map(84, "0d0c0b0a", 88, le(key("web"), 4), 92, "0050", 94, text("r1"), 1948,
                le(argument, 4)));
    }

    /** `count` entries of `size` bytes, the text of entry i at `at`: i = 0 fills the entry to its end. */
    static String entries(int count, int size, int at, String prefix) {
        byte[] e = new byte[size * Math.max(1, count)];
        for (int i = 0; i < count; i++) {
            byte[] t = (i == 0 ? "a".repeat(size - at) : prefix + i).getBytes(StandardCharsets.US_ASCII);
            System.arraycopy(t, 0, e, size * i + at, t.length);
        }
        return HEX.formatHex(e);
    }

    static String expectedText(int count, int width, String prefix) {
        return IntStream.range(0, count).mapToObj(i -> "+" + (i == 0 ? "a".repeat(width) : prefix + i))
                .collect(joining());
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

    @ParameterizedTest(name = "command {0}: {1} -> {2}")
    @CsvSource({"15, RESULT -1 REASON -5, -1", "15, ERROR 5, 5", "20, RESULT -1 REASON -5, -5",
        "20, RESULT -1 REASON -1, -12", "20, RESULT -1 REASON -44, -99"})
    void ruleListFailures(int command, String actions, int expected) {
        sim.script("CMD", "15", "PUT", "40", le(2, 4));
        sim.command("SCRIPT CMD " + command + " " + actions);
        StringBuffer sb = new StringBuffer("x");
        assertEquals(expected, lib.getRulesListNative("web", 80, sb));
        assertEquals(List.of("x", command == 15 ? 1 : 2), List.of(sb.toString(), sim.recordCount()));
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
