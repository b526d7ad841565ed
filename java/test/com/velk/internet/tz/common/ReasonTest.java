package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.*;

import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;
import java.util.function.ToIntFunction;
import java.util.stream.Collectors;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Every method that maps the executor's reason code, each tried with every reason any method maps (and two no
 * method maps): a reason in the method's own table gives its code, any other the method's default. The tables are
 * the interface's documented ones; a method that passes the send result on gives it whatever the reason.
 */
class ReasonTest extends ExecutorTestBase {
    static final Map<Integer, Integer> CLUSTER_RECORD = map(-33, -3, -9, -29, -8, -4, -7, -28, -5, -5);
    static final Map<Integer, Integer> CLUSTER_LOOKUP = map(-5, -5);
    // Reason -2 (busy) is retried, not mapped: PortTest covers it.
    static final Map<Integer, Integer> PORT_RECORD = map(-87, -57, -84, -84, -62, -75, -61, -74, -56, -68, -55, -67,
            -54, -12, -53, -66, -52, -65, -27, -38, -18, -73, -5, -5, -4, -30, -3, -14, -1, -12);
    static final Map<Integer, Integer> LOOKUP = map(-5, -5, -1, -12);
    static final Map<Integer, Integer> SERVER_RECORD = map(-58, -58, -43, -43, -36, -20, -15, -32, -14, -18, -13, -28,
            -11, -19, -5, -5, -1, -12);
    static final Map<Integer, Integer> SERVER_LOOKUP = map(-11, -19, -5, -5, -1, -12);
    static final Map<Integer, Integer> RULE_RECORD = map(-70, -82, -47, -58, -46, -50, -45, -28, -5, -5, -1, -12);
    static final Map<Integer, Integer> RULE_LOOKUP = map(-44, -57, -5, -5, -1, -12);
    static final Map<Integer, Integer> BINDING = map(-51, -59, -49, -28, -48, -60, -44, -57, -11, -19, -5, -5, -1, -12);
    static final Map<Integer, Integer> HEARTBEAT = map(-44, -44, -45, -45);
    /** The send result as it is. */
    static final Map<Integer, Integer> PASSED_ON = Map.of();

    record Mapping(String method, String script, Map<Integer, Integer> table, int otherwise,
            ToIntFunction<CMNExecutorInterface> call) {}

    /** The record the latest call sent, made by one of these. */
    static Object sent;

    static CMNCluster cluster() {
        return (CMNCluster) (sent = ClusterTest.full("c"));
    }

    static CMNPort port() {
        return (CMNPort) (sent = PortTest.full(80));
    }

    static CMNRule rule() {
        return (CMNRule) (sent = RuleTest.full(3));
    }

    static CMNServer server() {
        CMNServer s = ServerTest.full();
        s._iWeight = 3;
        return (CMNServer) (sent = s);
    }

    /** Flag fields by offset (cluster 84-95 and 169, port 80-91, rule 186-189 and 191-197). */
    static final Map<Class<?>, String[]> FLAGS = Map.of(CMNCluster.class, ClusterTest.FLAGS, CMNPort.class,
            PortTest.FLAGS, CMNRule.class, RuleTest.FLAGS);
    static final Map<Class<?>, int[]> FLAG_AT = Map.of(CMNCluster.class,
            IntStream.concat(IntStream.range(84, 96), IntStream.of(169)).toArray(), CMNPort.class,
            IntStream.range(80, 92).toArray(), CMNRule.class, RuleTest.FLAG_AT);

    /** Every flag of every record answered with its offset's low byte, and a weight of 7 at the server's 1192. */
    static final String ANSWER = " PUT 1192 0700" + Stream.of(IntStream.range(80, 96), IntStream.of(169),
            IntStream.range(186, 198)).map(at -> at.mapToObj(i -> le(i, 1)).collect(Collectors.joining()))
            .map(hex -> " PUT " + Integer.parseInt(hex.substring(0, 2), 16) + " " + hex).collect(Collectors.joining());

    /**
     * Add and set write the record's flags back as the answer left them, whatever the outcome; no other call
     * writes a flag, and no server call but a successful status writes the weight.
     */
    static void assertWrittenBack(String method, int result) {
        if (sent instanceof CMNServer s) {
            assertEquals(result == 0 && method.equals("serverStatus") ? 7 : 3, s._iWeight, method);
        } else if (sent != null) {
            int[] at = FLAG_AT.get(sent.getClass());
            assertBytes(sent, FLAGS.get(sent.getClass()), i -> method.matches("(add|set)(Cluster|Port|Rule)") ? at[i] : 1);
        }
    }

    static Stream<Mapping> mappings() {
        return Stream.of(
                new Mapping("addCluster", "NEXT", CLUSTER_RECORD, -99, l -> l.addClusterNative(cluster())),
                new Mapping("setCluster", "NEXT", CLUSTER_RECORD, -99, l -> l.setClusterStatusNative(cluster())),
                new Mapping("removeCluster", "NEXT", CLUSTER_LOOKUP, -99, l -> l.removeClusterNative(cluster())),
                new Mapping("clusterStatus", "NEXT", CLUSTER_LOOKUP, -99, l -> l.getClusterStatusNative(cluster())),
                new Mapping("clusterReport", "NEXT", CLUSTER_LOOKUP, -99, l -> l.getClusterReportNative(cluster())),
                new Mapping("clusterRate", "NEXT", PASSED_ON, 0, l -> l.setClusterCPSNative(cluster())),
                new Mapping("addPort", "NEXT", PORT_RECORD, -99, l -> l.addPortNative(port())),
                new Mapping("setPort", "NEXT", PORT_RECORD, -99, l -> l.setPortStatusNative(port())),
                new Mapping("removePort", "NEXT", LOOKUP, -99, l -> l.removePortNative(port())),
                new Mapping("portStatus", "NEXT", LOOKUP, -99, l -> l.getPortStatusNative(port())),
                new Mapping("portReport", "NEXT", LOOKUP, -99, l -> l.getPortReportNative(port())),
                new Mapping("portRate", "NEXT", PASSED_ON, 0, l -> l.setPortCPSNative(port())),
                new Mapping("addServer", "NEXT", SERVER_RECORD, -99, l -> l.addServerNative(server())),
                new Mapping("setServer", "NEXT", SERVER_RECORD, -99, l -> l.setServerStatusNative(server())),
                new Mapping("removeServer", "NEXT", SERVER_LOOKUP, -99, l -> l.removeServerNative(server())),
                new Mapping("serverStatus", "NEXT", SERVER_LOOKUP, -99, l -> l.getServerStatusNative(server())),
                new Mapping("serverReport", "NEXT", SERVER_LOOKUP, -99, l -> l.getServerReportNative(server())),
                new Mapping("serverUp", "NEXT", SERVER_LOOKUP, -99, l -> l.setServerUpNative(server())),
                new Mapping("serverDown", "NEXT", SERVER_LOOKUP, -99, l -> l.setServerDownNative(server())),
                new Mapping("serverRate", "NEXT", PASSED_ON, 0, l -> l.setServerCPSNative(server())),
                new Mapping("getWeights", "NEXT", LOOKUP, -99, l -> l.getServerWeightsNative(new WeightsTest.Recording(2), 2)),
                new Mapping("setWeights", "NEXT", LOOKUP, -99, l -> l.setServerWeightsNative(new WeightsTest.Recording(2), 2)),
                new Mapping("addRule", "NEXT", RULE_RECORD, -99, l -> l.addRuleNative(rule())),
                new Mapping("setRule", "NEXT", RULE_RECORD, -99, l -> l.setRuleStatusNative(rule())),
                new Mapping("removeRule", "NEXT", RULE_LOOKUP, -99, l -> l.removeRuleNative(rule())),
                new Mapping("ruleStatus", "NEXT", RULE_LOOKUP, -99, l -> l.getRuleStatusNative(rule())),
                new Mapping("ruleReport", "NEXT", RULE_LOOKUP, -99, l -> l.getRuleReportNative(rule())),
                new Mapping("ruleServers", "NEXT", RULE_LOOKUP, -99,
                        l -> l.getRuleServersListNative(rule(), new StringBuffer())),
                new Mapping("ruleRate", "NEXT", PASSED_ON, 0, l -> l.setRuleCPSNative(rule())),
                new Mapping("bind", "NEXT", BINDING, -99, l -> l.addServertoRuleNative(rule(), new CMNServer(), 7)),
                new Mapping("unbind", "NEXT", BINDING, -99,
                        l -> l.removeServerfromRuleNative(rule(), new CMNServer(), 7)),
                new Mapping("clustersList", "CMD 6", map(), -99, l -> list(l, "clusters", new StringBuffer())),
                new Mapping("portsList", "CMD 12", CLUSTER_LOOKUP, -99, l -> list(l, "ports", new StringBuffer())),
                new Mapping("serversList", "CMD 31", LOOKUP, -99, l -> list(l, "servers", new StringBuffer())),
                new Mapping("rulesList", "CMD 20", LOOKUP, -99, l -> list(l, "rules", new StringBuffer())),
                // The heartbeat's local address is an alias already, so its request is the only one.
                new Mapping("addHB", "CMD 45", HEARTBEAT, -35, l -> l.addHBNative("10.1.2.3", "10.2.0.9")));
    }

    static int list(CMNExecutorInterface l, String which, StringBuffer sb) {
        return switch (which) {
            case "clusters" -> l.getClustersListNative(sb);
            case "ports" -> l.getPortsListNative("web", sb);
            case "servers" -> l.getServersListNative("web", 443, sb, new int[1]);
            default -> l.getRulesListNative("web", 443, sb);
        };
    }

    /** The reports that size the lists (executor, cluster, port) answer as the executor's own answers. */
    static void reportsAnswer() {
        for (String command : new String[] {"3", "9", "15"}) {
            sim.script("CMD", command, "RESULT", "0");
        }
    }

    /** A failed sizing report gives its send result and no list is asked for; a failed list appends nothing. */
    @ParameterizedTest(name = "{0}: {1}")
    @CsvSource({"clusters, 3 RESULT -1 REASON -5, -1, 1", "clusters, 6 ERROR 5, -99, 2", "ports, 9 ERROR 5, 5, 1",
        "ports, 12 RESULT -1 REASON -5, -5, 2", "servers, 15 RESULT -1 REASON -5, -1, 1", "rules, 15 ERROR 5, 5, 1",
        "rules, 20 RESULT -1 REASON -1, -12, 2"})
    void failedListsAppendNothing(String which, String script, int expected, int requests) {
        reportsAnswer();
        sim.command("SCRIPT CMD " + script);
        StringBuffer sb = new StringBuffer("x");
        assertEquals(List.of(expected, "x", requests), List.of(list(lib, which, sb), sb.toString(), sim.recordCount()));
    }

    static Stream<Arguments> everyMapping() {
        return mappings().map(m -> Arguments.of(m.method(), m));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("everyMapping")
    void reasonsGiveTheirMethodsCodes(String name, Mapping m) {
        cards("1 svcA 10.1.0.5 255.255.0.0", "svcA eth0", 1);
        sim.command("ALIAS eth 0 10.1.2.3 255.255.0.0");
        reportsAnswer();
        TreeSet<Integer> reasons = new TreeSet<>(Set.of(0, -6, -100));
        mappings().forEach(other -> reasons.addAll(other.table().keySet()));
        for (int reason : reasons) {
            sim.script((m.script() + " RESULT -1 REASON " + reason + ANSWER).split(" "));
            int expected = m.table() == PASSED_ON ? -1 : m.table().getOrDefault(reason, m.otherwise());
            sent = null;
            assertEquals(expected, m.call().applyAsInt(lib), "reason " + reason);
            assertWrittenBack(m.method(), -1);
        }
        // Any nonzero result is a failure whose reason counts; 0 is success whatever the reason field holds.
        sim.script((m.script() + " RESULT 5 REASON -5").split(" "));
        assertEquals(m.table() == PASSED_ON ? 5 : m.table().getOrDefault(-5, m.otherwise()), m.call().applyAsInt(lib));
        sim.script((m.script() + " RESULT 0 REASON -5" + ANSWER).split(" "));
        sent = null;
        assertEquals(0, m.call().applyAsInt(lib));
        assertWrittenBack(m.method(), 0);
    }
}
