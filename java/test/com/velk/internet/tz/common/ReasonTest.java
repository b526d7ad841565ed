package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.*;

import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import java.util.TreeSet;
import java.util.function.ToIntFunction;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Every method that maps the executor's reason code, each tried with every reason any method maps (and two no
 * method maps): a reason in the method's own table gives its code, any other the method's default. The tables are
 * the interface's documented ones; a method that passes the send result on gives it whatever the reason.
 */
class ReasonTest extends ExecutorTestBase {
    static Map<Integer, Integer> table(int... reasonThenCode) {
        Map<Integer, Integer> t = new TreeMap<>();
        for (int i = 0; i < reasonThenCode.length; i += 2) {
            t.put(reasonThenCode[i], reasonThenCode[i + 1]);
        }
        return t;
    }

    static final Map<Integer, Integer> CLUSTER_RECORD = table(-33, -3, -9, -29, -8, -4, -7, -28, -5, -5);
    static final Map<Integer, Integer> CLUSTER_LOOKUP = table(-5, -5);
    // Reason -2 (busy) is retried, not mapped: PortTest covers it.
    static final Map<Integer, Integer> PORT_RECORD = table(-87, -57, -84, -84, -62, -75, -61, -74, -56, -68, -55, -67,
            -54, -12, -53, -66, -52, -65, -27, -38, -18, -73, -5, -5, -4, -30, -3, -14, -1, -12);
    static final Map<Integer, Integer> LOOKUP = table(-5, -5, -1, -12);
    static final Map<Integer, Integer> SERVER_RECORD = table(-58, -58, -43, -43, -36, -20, -15, -32, -14, -18, -13, -28,
            -11, -19, -5, -5, -1, -12);
    static final Map<Integer, Integer> SERVER_LOOKUP = table(-11, -19, -5, -5, -1, -12);
    static final Map<Integer, Integer> RULE_RECORD = table(-70, -82, -47, -58, -46, -50, -45, -28, -5, -5, -1, -12);
    static final Map<Integer, Integer> RULE_LOOKUP = table(-44, -57, -5, -5, -1, -12);
    static final Map<Integer, Integer> BINDING = table(-51, -59, -49, -28, -48, -60, -44, -57, -11, -19, -5, -5, -1, -12);
    static final Map<Integer, Integer> HEARTBEAT = table(-44, -44, -45, -45);
    /** The send result as it is. */
    static final Map<Integer, Integer> PASSED_ON = Map.of();

    record Mapping(String method, String script, Map<Integer, Integer> table, int otherwise,
            ToIntFunction<CMNExecutorInterface> call) {}

    static Stream<Mapping> mappings() {
        return Stream.of(
                new Mapping("addCluster", "NEXT", CLUSTER_RECORD, -99, l -> l.addClusterNative(ClusterTest.full("c"))),
                new Mapping("setCluster", "NEXT", CLUSTER_RECORD, -99, l -> l.setClusterStatusNative(ClusterTest.full("c"))),
                new Mapping("removeCluster", "NEXT", CLUSTER_LOOKUP, -99, l -> l.removeClusterNative(ClusterTest.full("c"))),
                new Mapping("clusterStatus", "NEXT", CLUSTER_LOOKUP, -99, l -> l.getClusterStatusNative(ClusterTest.full("c"))),
                new Mapping("clusterReport", "NEXT", CLUSTER_LOOKUP, -99, l -> l.getClusterReportNative(ClusterTest.full("c"))),
                new Mapping("clusterRate", "NEXT", PASSED_ON, 0, l -> l.setClusterCPSNative(ClusterTest.full("c"))),
                new Mapping("addPort", "NEXT", PORT_RECORD, -99, l -> l.addPortNative(PortTest.full(80))),
                new Mapping("setPort", "NEXT", PORT_RECORD, -99, l -> l.setPortStatusNative(PortTest.full(80))),
                new Mapping("removePort", "NEXT", LOOKUP, -99, l -> l.removePortNative(PortTest.full(80))),
                new Mapping("portStatus", "NEXT", LOOKUP, -99, l -> l.getPortStatusNative(PortTest.full(80))),
                new Mapping("portReport", "NEXT", LOOKUP, -99, l -> l.getPortReportNative(PortTest.full(80))),
                new Mapping("portRate", "NEXT", PASSED_ON, 0, l -> l.setPortCPSNative(PortTest.full(80))),
                new Mapping("addServer", "NEXT", SERVER_RECORD, -99, l -> l.addServerNative(ServerTest.full())),
                new Mapping("setServer", "NEXT", SERVER_RECORD, -99, l -> l.setServerStatusNative(ServerTest.full())),
                new Mapping("removeServer", "NEXT", SERVER_LOOKUP, -99, l -> l.removeServerNative(ServerTest.full())),
                new Mapping("serverStatus", "NEXT", SERVER_LOOKUP, -99, l -> l.getServerStatusNative(ServerTest.full())),
                new Mapping("serverReport", "NEXT", SERVER_LOOKUP, -99, l -> l.getServerReportNative(ServerTest.full())),
                new Mapping("serverUp", "NEXT", SERVER_LOOKUP, -99, l -> l.setServerUpNative(ServerTest.full())),
                new Mapping("serverDown", "NEXT", SERVER_LOOKUP, -99, l -> l.setServerDownNative(ServerTest.full())),
                new Mapping("serverRate", "NEXT", PASSED_ON, 0, l -> l.setServerCPSNative(ServerTest.full())),
                new Mapping("getWeights", "NEXT", LOOKUP, -99, l -> l.getServerWeightsNative(new WeightsTest.Recording(2), 2)),
                new Mapping("setWeights", "NEXT", LOOKUP, -99, l -> l.setServerWeightsNative(new WeightsTest.Recording(2), 2)),
                new Mapping("addRule", "NEXT", RULE_RECORD, -99, l -> l.addRuleNative(RuleTest.full(3))),
                new Mapping("setRule", "NEXT", RULE_RECORD, -99, l -> l.setRuleStatusNative(RuleTest.full(3))),
                new Mapping("removeRule", "NEXT", RULE_LOOKUP, -99, l -> l.removeRuleNative(RuleTest.full(3))),
                new Mapping("ruleStatus", "NEXT", RULE_LOOKUP, -99, l -> l.getRuleStatusNative(RuleTest.full(3))),
                new Mapping("ruleReport", "NEXT", RULE_LOOKUP, -99, l -> l.getRuleReportNative(RuleTest.full(3))),
                new Mapping("ruleServers", "NEXT", RULE_LOOKUP, -99,
                        l -> l.getRuleServersListNative(RuleTest.full(3), new StringBuffer())),
                new Mapping("ruleRate", "NEXT", PASSED_ON, 0, l -> l.setRuleCPSNative(RuleTest.full(3))),
                new Mapping("bind", "NEXT", BINDING, -99, l -> l.addServertoRuleNative(RuleTest.full(3), new CMNServer(), 7)),
                new Mapping("unbind", "NEXT", BINDING, -99,
                        l -> l.removeServerfromRuleNative(RuleTest.full(3), new CMNServer(), 7)),
                // The heartbeat's local address is an alias already, so its request is the only one.
                new Mapping("addHB", "CMD 45", HEARTBEAT, -35, l -> l.addHBNative("10.1.2.3", "10.2.0.9")));
    }

    static Stream<Arguments> everyMapping() {
        return mappings().map(m -> Arguments.of(m.method(), m));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("everyMapping")
    void reasonsGiveTheirMethodsCodes(String name, Mapping m) {
        cards("1 svcA 10.1.0.5 255.255.0.0", "svcA eth0", 1);
        sim.command("ALIAS eth 0 10.1.2.3 255.255.0.0");
        TreeSet<Integer> reasons = new TreeSet<>(Set.of(0, -6, -100));
        mappings().forEach(other -> reasons.addAll(other.table().keySet()));
        for (int reason : reasons) {
            sim.script((m.script() + " RESULT -1 REASON " + reason).split(" "));
            int expected = m.table() == PASSED_ON ? -1 : m.table().getOrDefault(reason, m.otherwise());
            assertEquals(expected, m.call().applyAsInt(lib), "reason " + reason);
        }
        // Any nonzero result is a failure whose reason counts; 0 is success whatever the reason field holds.
        sim.script((m.script() + " RESULT 5 REASON -5").split(" "));
        assertEquals(m.table() == PASSED_ON ? 5 : m.table().getOrDefault(-5, m.otherwise()), m.call().applyAsInt(lib));
        sim.script((m.script() + " RESULT 0 REASON -5").split(" "));
        assertEquals(0, m.call().applyAsInt(lib));
    }
}
