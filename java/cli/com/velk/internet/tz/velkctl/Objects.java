package com.velk.internet.tz.velkctl;

import static com.velk.internet.tz.velkctl.Call.check;
import static com.velk.internet.tz.velkctl.Velkctl.fields;
import static com.velk.internet.tz.velkctl.Velkctl.object;
import static com.velk.internet.tz.velkctl.Velkctl.option;
import static com.velk.internet.tz.velkctl.Velkctl.verb;

import com.velk.internet.tz.common.CMNAddress;
import com.velk.internet.tz.common.CMNAffinity;
import com.velk.internet.tz.common.CMNAttackListener;
import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutor;
import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNExecutorReport;
import com.velk.internet.tz.common.CMNHAInfo;
import com.velk.internet.tz.common.CMNHalfOpenListener;
import com.velk.internet.tz.common.CMNIcmp;
import com.velk.internet.tz.common.CMNInterfaceList;
import com.velk.internet.tz.common.CMNListener;
import com.velk.internet.tz.common.CMNPort;
import com.velk.internet.tz.common.CMNRule;
import com.velk.internet.tz.common.CMNServer;
import com.velk.internet.tz.common.CMNWeights;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import picocli.CommandLine;
import picocli.CommandLine.Model.CommandSpec;
import picocli.CommandLine.Model.OptionSpec;

/** The objects velkctl administers and their verbs. */
final class Objects {
    private static final String CLUSTER = "CLUSTER:the cluster's identifier";
    private static final String PORT = "PORT:the port number";
    private static final String SERVER = "SERVER:the server's identifier";
    private static final String RULE = "RULE:the rule's name (20 characters at most)";
    private static final String CPS = "--connections-per-second";
    private static final String CPS_HELP = "the connection rate limit (\"iConnectionsPerSecond\")";

    private Objects() {
    }

    static void addAll(CommandLine root) {
        executor(root);
        cluster(root);
        port(root);
        server(root);
        weights(root);
        rule(root);
        networkInterface(root);
        alias(root);
        ha(root);
        affinity(root);
        connections(root);
        dump(root);
        icmp(root);
        log(root);
    }

    /** Items of a list text "+a+b+c". */
    private static List<String> items(CharSequence list) {
        List<String> items = new ArrayList<>();
        for (String item : list.toString().split("\\+")) {
            if (!item.isEmpty()) {
                items.add(item);
            }
        }
        return items;
    }

    private static Map<String, Object> row(Object... pairs) {
        Map<String, Object> row = new LinkedHashMap<>();
        for (int i = 0; i + 1 < pairs.length; i += 2) {
            row.put((String) pairs[i], pairs[i + 1]);
        }
        return row;
    }

    // ---- executor --------------------------------------------------------------------------

    private static void executor(CommandLine root) {
        CommandLine o = object(root, "executor", "The executor: its settings, report and service.");
        verb(o, "show", "Show the executor's settings.", c -> {
            CMNExecutor e = new CMNExecutor();
            check(c.api.getExecutorStatusNative(e), "getExecutorStatusNative", "executor");
            c.show(c.record(e));
        });
        CommandSpec set = verb(o, "set", "Change the executor's settings given as options.", c -> {
            CMNExecutor e = new CMNExecutor();
            c.apply(e);
            check(c.api.setExecutorStatusNative(e), "setExecutorStatusNative", "executor");
            if (c.has(CPS)) {
                e.iConnectionsPerSecond = c.intOption(CPS, 0);
                check(c.api.setExecutorCPSNative(e), "setExecutorCPSNative", "executor");
            }
            c.note("executor: settings changed");
        });
        fields(set, CMNExecutor.class, Set.of("sPluginConfigFileName"), Set.of());
        option(set, CPS, "N", CPS_HELP);
        verb(o, "report", "Show the executor's version, start time and packet counters.", c -> {
            CMNExecutorReport r = new CMNExecutorReport();
            check(c.api.getExecutorReportNative(r), "getExecutorReportNative", "executor");
            c.show(c.record(r));
        });
        verb(o, "down", "Stop the executor service.", c -> {
            String result = c.api.stopExecutorNative();
            if (!"EOK".equals(result)) {
                throw new Call.Refused("executor: the service could not be stopped (" + result
                        + ")");
            }
            c.note("executor: stopped");
        });
    }

    // ---- clusters --------------------------------------------------------------------------

    private static final Set<String> CLUSTER_SKIP = Set.of("sClusterId");

    private static void cluster(CommandLine root) {
        CommandLine o = object(root, "cluster", "Clusters: an identifier, an address and their "
                + "port defaults.");
        CommandSpec add = verb(o, "add", "Add a cluster.", c -> {
            CMNCluster cl = clusterOf(c);
            c.apply(cl);
            check(c.api.addClusterNative(cl), "addClusterNative", "cluster " + cl.sClusterId);
            clusterRate(c, cl);
            c.note(String.format("cluster %s: added, ID key 0x%08X", cl.sClusterId,
                    cl.iClusterIdKey));
        }, CLUSTER);
        CommandSpec set = verb(o, "set", "Change a cluster's settings given as options.", c -> {
            CMNCluster cl = clusterOf(c);
            c.apply(cl);
            check(c.api.setClusterStatusNative(cl), "setClusterStatusNative",
                    "cluster " + cl.sClusterId);
            clusterRate(c, cl);
            c.note("cluster " + cl.sClusterId + ": changed");
        }, CLUSTER);
        for (CommandSpec s : new CommandSpec[] {add, set}) {
            fields(s, CMNCluster.class, Set.of(), CLUSTER_SKIP);
            option(s, CPS, "N", CPS_HELP);
        }
        verb(o, "remove", "Remove a cluster with its ports.", c -> {
            CMNCluster cl = clusterOf(c);
            check(c.api.removeClusterNative(cl), "removeClusterNative", "cluster " + cl.sClusterId);
            c.note("cluster " + cl.sClusterId + ": removed");
        }, CLUSTER);
        verb(o, "show", "Show a cluster's settings.", c -> {
            CMNCluster cl = clusterOf(c);
            check(c.api.getClusterStatusNative(cl), "getClusterStatusNative",
                    "cluster " + cl.sClusterId);
            c.show(c.record(cl));
        }, CLUSTER);
        verb(o, "report", "Show a cluster's rates and packet counters.", c -> {
            CMNCluster cl = clusterOf(c);
            check(c.api.getClusterReportNative(cl), "getClusterReportNative",
                    "cluster " + cl.sClusterId);
            c.show(c.record(cl));
        }, CLUSTER);
        verb(o, "list", "List the clusters, one row each.", c -> {
            StringBuffer list = new StringBuffer();
            check(c.api.getClustersListNative(list), "getClustersListNative", "clusters");
            List<Map<String, Object>> rows = new ArrayList<>();
            for (String id : items(list)) {
                CMNCluster cl = new CMNCluster(id);
                check(c.api.getClusterStatusNative(cl), "getClusterStatusNative", "cluster " + id);
                rows.add(row("cluster", id, "key", String.format("0x%08X", cl.iClusterIdKey),
                        "address", cl.Address, "ports", cl.NumPorts,
                        "maxPorts", cl.MaxNumberOfPorts, "primaryHost", cl.sPrimaryHost));
            }
            c.list(rows, "CLUSTER", "KEY", "ADDRESS", "PORTS", "MAX-PORTS", "PRIMARY-HOST");
        });
    }

    private static CMNCluster clusterOf(Call c) {
        return new CMNCluster(c.arg(0));
    }

    private static void clusterRate(Call c, CMNCluster cl) throws Call.Refused, Call.BadUsage {
        if (c.has(CPS)) {
            cl.iConnectionsPerSecond = c.intOption(CPS, 0);
            check(c.api.setClusterCPSNative(cl), "setClusterCPSNative", "cluster " + cl.sClusterId);
        }
    }

    // ---- ports -----------------------------------------------------------------------------

    private static final Set<String> PORT_SKIP = Set.of("ClusterId", "PortNumber");

    private static void port(CommandLine root) {
        CommandLine o = object(root, "port", "Ports of a cluster and their forwarding settings.");
        CommandSpec add = verb(o, "add", "Add a port to a cluster.", c -> {
            CMNPort p = portOf(c);
            c.apply(p);
            check(c.api.addPortNative(p), "addPortNative", label(p));
            portRate(c, p);
            c.note(label(p) + ": added");
        }, CLUSTER, PORT);
        CommandSpec set = verb(o, "set", "Change a port's settings given as options.", c -> {
            CMNPort p = portOf(c);
            c.apply(p);
            check(c.api.setPortStatusNative(p), "setPortStatusNative", label(p));
            portRate(c, p);
            c.note(label(p) + ": changed");
        }, CLUSTER, PORT);
        for (CommandSpec s : new CommandSpec[] {add, set}) {
            fields(s, CMNPort.class, Set.of(), PORT_SKIP);
            option(s, CPS, "N", CPS_HELP);
        }
        CommandSpec remove = verb(o, "remove", "Remove a port with its servers and rules.", c -> {
            CMNPort p = portOf(c);
            p.ClusterAddress = c.option("--cluster-address");
            if (p.ClusterAddress == null) {
                CMNCluster cl = new CMNCluster(p.ClusterId);
                check(c.api.getClusterStatusNative(cl), "getClusterStatusNative",
                        "cluster " + cl.sClusterId);
                p.ClusterAddress = cl.Address;
            }
            check(c.api.removePortNative(p), "removePortNative", label(p));
            c.note(label(p) + ": removed");
        }, CLUSTER, PORT);
        option(remove, "--cluster-address", "ADDRESS",
                "the cluster's address (\"ClusterAddress\"; the cluster's own unless given)");
        verb(o, "show", "Show a port's settings.", c -> {
            CMNPort p = portOf(c);
            check(c.api.getPortStatusNative(p), "getPortStatusNative", label(p));
            c.show(c.record(p));
        }, CLUSTER, PORT);
        verb(o, "report", "Show a port's rates and counters.", c -> {
            CMNPort p = portOf(c);
            check(c.api.getPortReportNative(p), "getPortReportNative", label(p));
            c.show(c.record(p));
        }, CLUSTER, PORT);
        verb(o, "list", "List a cluster's ports, one row each.", c -> {
            String id = c.arg(0);
            StringBuffer list = new StringBuffer();
            check(c.api.getPortsListNative(id, list), "getPortsListNative", "cluster " + id);
            List<Map<String, Object>> rows = new ArrayList<>();
            for (String item : items(list)) {
                CMNPort p = new CMNPort(id, Call.number(item, "port"));
                check(c.api.getPortStatusNative(p), "getPortStatusNative", label(p));
                rows.add(row("port", p.PortNumber, "servers", p.NumServers,
                        "maxServers", p.MaxNumberOfServers, "weightBound", p.WeightBound,
                        "staleTimeout", p.StaleTimeout, "stickyTime", p.StickyTime,
                        "type", p.Type == 0 ? "" : String.valueOf(p.Type)));
            }
            c.list(rows, "PORT", "SERVERS", "MAX-SERVERS", "WEIGHT-BOUND", "STALE", "STICKY",
                    "TYPE");
        }, CLUSTER);
    }

    private static CMNPort portOf(Call c) throws Call.BadUsage {
        return new CMNPort(c.arg(0), c.port(1));
    }

    private static String label(CMNPort p) {
        return "port " + p.ClusterId + ":" + p.PortNumber;
    }

    private static void portRate(Call c, CMNPort p) throws Call.Refused, Call.BadUsage {
        if (c.has(CPS)) {
            p.iConnectionsPerSecond = c.intOption(CPS, 0);
            check(c.api.setPortCPSNative(p), "setPortCPSNative", label(p));
        }
    }

    // ---- servers ---------------------------------------------------------------------------

    private static final Set<String> SERVER_SKIP = Set.of("sServerID", "ClusterId", "Port",
            "_iNumListeners");
    private static final String LISTENER = "--listener";

    private static void server(CommandLine root) {
        CommandLine o = object(root, "server", "Servers behind a port, their weights and "
                + "listeners.");
        CommandSpec add = verb(o, "add", "Add a server to a port.", c -> {
            CMNServer s = serverOf(c);
            c.apply(s);
            listeners(c, s);
            check(c.api.addServerNative(s), "addServerNative", label(s));
            serverRate(c, s);
            c.note(String.format("%s: added, ID key 0x%08X", label(s), s.iServerIdKey));
        }, CLUSTER, PORT, SERVER);
        CommandSpec set = verb(o, "set", "Change a server's settings given as options.", c -> {
            CMNServer s = serverOf(c);
            c.apply(s);
            listeners(c, s);
            check(c.api.setServerStatusNative(s), "setServerStatusNative", label(s));
            serverRate(c, s);
            c.note(label(s) + ": changed");
        }, CLUSTER, PORT, SERVER);
        for (CommandSpec s : new CommandSpec[] {add, set}) {
            fields(s, CMNServer.class, Set.of("IsRemote"), SERVER_SKIP);
            option(s, CPS, "N", "the server's connection rate (\"_iCPSCount\")");
            s.addOption(OptionSpec.builder(LISTENER).type(String.class).arity("1")
                    .paramLabel("ADDRESS:PORT[:PROTOCOL]").type(List.class)
                    .auxiliaryTypes(String.class)
                    .description("a listener of the server (twice for two); the protocol is "
                            + "6 (TCP) unless given (\"SetListeners\")").build());
        }
        verb(o, "remove", "Remove a server.", c -> {
            CMNServer s = serverOf(c);
            check(c.api.removeServerNative(s), "removeServerNative", label(s));
            c.note(label(s) + ": removed");
        }, CLUSTER, PORT, SERVER);
        verb(o, "up", "Mark a server up.", c -> {
            CMNServer s = serverOf(c);
            check(c.api.setServerUpNative(s), "setServerUpNative", label(s));
            c.note(label(s) + ": up");
        }, CLUSTER, PORT, SERVER);
        verb(o, "down", "Mark a server down.", c -> {
            CMNServer s = serverOf(c);
            check(c.api.setServerDownNative(s), "setServerDownNative", label(s));
            c.note(label(s) + ": down");
        }, CLUSTER, PORT, SERVER);
        verb(o, "show", "Show a server's settings and listeners.", c -> {
            CMNServer s = serverOf(c);
            check(c.api.getServerStatusNative(s), "getServerStatusNative", label(s));
            Map<String, Object> record = c.record(s);
            int i = 0;
            for (CMNListener l : s.getListeners()) {
                record.put("listener" + i++, c.address(l._iAddress) + ":" + l._iMapPort
                        + " protocol " + l._iProtocol);
            }
            c.show(record);
        }, CLUSTER, PORT, SERVER);
        verb(o, "report", "Show a server's connection counters.", c -> {
            CMNServer s = serverOf(c);
            check(c.api.getServerStatusNative(s), "getServerStatusNative", label(s));
            check(c.api.getServerReportNative(s), "getServerReportNative", label(s));
            c.show(c.record(s));
        }, CLUSTER, PORT, SERVER);
        verb(o, "list", "List a port's servers, one row each.", c -> {
            String id = c.arg(0);
            int port = c.port(1);
            StringBuffer list = new StringBuffer();
            int[] keys = new int[726];
            check(c.api.getServersListNative(id, port, list, keys), "getServersListNative",
                    "port " + id + ":" + port);
            List<Map<String, Object>> rows = new ArrayList<>();
            int i = 0;
            for (String server : items(list)) {
                CMNServer s = new CMNServer(id, port, server);
                s.iServerIdKey = keys[i++];
                check(c.api.getServerStatusNative(s), "getServerStatusNative", label(s));
                rows.add(row("server", server, "key", String.format("0x%08X", s.iServerIdKey),
                        "weight", s._iWeight, "fixed", s._bFixedWeight, "quiesced", s._iQuiesced,
                        "listeners", s.getListeners().size()));
            }
            c.list(rows, "SERVER", "KEY", "WEIGHT", "FIXED", "QUIESCED", "LISTENERS");
        }, CLUSTER, PORT);
    }

    private static CMNServer serverOf(Call c) throws Call.BadUsage {
        CMNServer s = new CMNServer(c.arg(0), c.port(1), c.arg(2));
        s.iServerIdKey = c.api.calcClusterIdKeyNative(s.sServerID, null);
        return s;
    }

    private static String label(CMNServer s) {
        return "server " + s.sServerID + " on " + s.ClusterId + ":" + s.Port;
    }

    private static void listeners(Call c, CMNServer s) throws Call.BadUsage {
        List<String> given = c.optionList(LISTENER);
        for (String text : given) {
            String[] parts = text.split(":");
            if (parts.length < 2 || parts.length > 3) {
                throw new Call.BadUsage(LISTENER + ": ADDRESS:PORT[:PROTOCOL] expected: " + text);
            }
            s.addListener(new CMNListener(Call.addressArg(parts[0], LISTENER),
                    Call.number(parts[1], LISTENER), parts.length == 3
                            ? Call.number(parts[2], LISTENER) : 6, null, null));
        }
        if (!given.isEmpty()) {
            s.SetListeners = 1;
        }
    }

    private static void serverRate(Call c, CMNServer s) throws Call.Refused, Call.BadUsage {
        if (c.has(CPS)) {
            s._iCPSCount = c.intOption(CPS, 0);
            check(c.api.setServerCPSNative(s), "setServerCPSNative", label(s));
        }
    }

    // ---- weights ---------------------------------------------------------------------------

    private static void weights(CommandLine root) {
        CommandLine o = object(root, "weights", "The weights of a port's servers, all at once.");
        verb(o, "show", "Show the weights of a port's servers, one row each.", c -> {
            String id = c.arg(0);
            int port = c.port(1);
            CMNWeights w = readWeights(c, id, port);
            List<Map<String, Object>> rows = new ArrayList<>();
            for (int i = 0; i < w.iWeight.length; i++) {
                rows.add(row("server", w.sServerId[i],
                        "key", String.format("0x%08X", w.iServerIdKey[i]),
                        "weight", w.iWeight[i], "fixed", w.bFixedWeight[i],
                        "address", c.address(w.iAddress[i]), "result", w.iRC[i]));
            }
            c.list(rows, "SERVER", "KEY", "WEIGHT", "FIXED", "ADDRESS", "RESULT");
        }, CLUSTER, PORT);
        CommandSpec set = verb(o, "set", "Set the weights of the servers named.", c -> {
            String id = c.arg(0);
            int port = c.port(1);
            List<String> given = c.optionList("--weight");
            if (given.isEmpty()) {
                throw new Call.BadUsage("weights set: give --weight SERVER=WEIGHT at least once");
            }
            CMNWeights w = new CMNWeights(given.size());
            w.sClusterID = id;
            w.iPortNumber = port;
            for (int i = 0; i < given.size(); i++) {
                String[] pair = given.get(i).split("=", 2);
                if (pair.length != 2) {
                    throw new Call.BadUsage("--weight: SERVER=WEIGHT expected: " + given.get(i));
                }
                w.sServerId[i] = pair[0];
                w.iServerIdKey[i] = c.api.calcClusterIdKeyNative(pair[0], null);
                w.iWeight[i] = Call.number(pair[1], "--weight");
                w.bFixedWeight[i] = (byte) (c.has("--fixed") ? 1 : 0);
            }
            check(c.api.setServerWeightsNative(w, given.size()), "setServerWeightsNative",
                    "weights of " + id + ":" + port);
            c.note("weights of " + id + ":" + port + ": set");
        }, CLUSTER, PORT);
        set.addOption(OptionSpec.builder("--weight").paramLabel("SERVER=WEIGHT")
                .type(List.class).auxiliaryTypes(String.class)
                .description("a server and its new weight (\"iWeight\"); repeat for more").build());
        set.addOption(OptionSpec.builder("--fixed").type(boolean.class)
                .description("keep the weights fixed (\"bFixedWeight\")").build());
    }

    private static CMNWeights readWeights(Call c, String id, int port)
            throws Call.Refused, Call.BadUsage {
        StringBuffer list = new StringBuffer();
        int[] keys = new int[726];
        check(c.api.getServersListNative(id, port, list, keys), "getServersListNative",
                "port " + id + ":" + port);
        int n = items(list).size();
        CMNWeights w = new CMNWeights(n);
        w.sClusterID = id;
        w.iPortNumber = port;
        System.arraycopy(keys, 0, w.iServerIdKey, 0, n);
        if (n > 0) {
            check(c.api.getServerWeightsNative(w, n), "getServerWeightsNative",
                    "weights of " + id + ":" + port);
        }
        return w;
    }

    // ---- rules -----------------------------------------------------------------------------

    private static final Set<String> RULE_SKIP = Set.of("ClusterId", "PortNumber", "RuleName");

    private static void rule(CommandLine root) {
        CommandLine o = object(root, "rule", "Rules of a port and the servers bound to them.");
        CommandSpec add = verb(o, "add", "Add a rule to a port.", c -> {
            CMNRule r = ruleOf(c);
            c.apply(r);
            check(c.api.addRuleNative(r), "addRuleNative", label(r));
            ruleRate(c, r);
            c.note(label(r) + ": added");
        }, CLUSTER, PORT, RULE);
        CommandSpec set = verb(o, "set", "Change a rule's settings given as options.", c -> {
            CMNRule r = ruleOf(c);
            c.apply(r);
            check(c.api.setRuleStatusNative(r), "setRuleStatusNative", label(r));
            ruleRate(c, r);
            c.note(label(r) + ": changed");
        }, CLUSTER, PORT, RULE);
        for (CommandSpec s : new CommandSpec[] {add, set}) {
            fields(s, CMNRule.class, Set.of("sHashID"), RULE_SKIP);
            option(s, CPS, "N", CPS_HELP);
        }
        verb(o, "remove", "Remove a rule.", c -> {
            CMNRule r = ruleOf(c);
            check(c.api.removeRuleNative(r), "removeRuleNative", label(r));
            c.note(label(r) + ": removed");
        }, CLUSTER, PORT, RULE);
        verb(o, "show", "Show a rule's settings.", c -> {
            CMNRule r = ruleOf(c);
            check(c.api.getRuleStatusNative(r), "getRuleStatusNative", label(r));
            c.show(c.record(r));
        }, CLUSTER, PORT, RULE);
        verb(o, "report", "Show a rule's counters and its servers.", c -> {
            CMNRule r = ruleOf(c);
            check(c.api.getRuleStatusNative(r), "getRuleStatusNative", label(r));
            check(c.api.getRuleReportNative(r), "getRuleReportNative", label(r));
            Map<String, Object> record = c.record(r);
            StringBuffer servers = new StringBuffer();
            check(c.api.getRuleServersListNative(r, servers), "getRuleServersListNative",
                    label(r));
            record.put("servers", String.join(" ", items(servers)));
            c.show(record);
        }, CLUSTER, PORT, RULE);
        verb(o, "list", "List a port's rules, one row each.", c -> {
            String id = c.arg(0);
            int port = c.port(1);
            StringBuffer list = new StringBuffer();
            check(c.api.getRulesListNative(id, port, list), "getRulesListNative",
                    "port " + id + ":" + port);
            List<Map<String, Object>> rows = new ArrayList<>();
            for (String name : items(list)) {
                CMNRule r = new CMNRule(id, port, name);
                check(c.api.getRuleStatusNative(r), "getRuleStatusNative", label(r));
                rows.add(row("rule", name, "type", r.RuleType, "priority", r.Priority,
                        "begin", r.BeginRange, "end", r.EndRange, "servers", r.NumServers));
            }
            c.list(rows, "RULE", "TYPE", "PRIORITY", "BEGIN", "END", "SERVERS");
        }, CLUSTER, PORT);
        CommandSpec bind = verb(o, "bind", "Bind a server of the port to a rule.", c -> {
            CMNRule r = ruleOf(c);
            CMNServer s = boundServer(c);
            check(c.api.addServertoRuleNative(r, s, c.intOption("--argument", 0)),
                    "addServertoRuleNative", label(r));
            c.note(label(r) + ": " + s.sServerID + " bound");
        }, CLUSTER, PORT, RULE, SERVER);
        option(bind, "--argument", "N", "the binding's argument (0 unless given)");
        verb(o, "unbind", "Unbind a server from a rule.", c -> {
            CMNRule r = ruleOf(c);
            CMNServer s = boundServer(c);
            check(c.api.removeServerfromRuleNative(r, s, 0), "removeServerfromRuleNative",
                    label(r));
            c.note(label(r) + ": " + s.sServerID + " unbound");
        }, CLUSTER, PORT, RULE, SERVER);
    }

    private static CMNRule ruleOf(Call c) throws Call.BadUsage {
        return new CMNRule(c.arg(0), c.port(1), c.arg(2));
    }

    private static CMNServer boundServer(Call c) throws Call.BadUsage {
        CMNServer s = new CMNServer(c.arg(0), c.port(1), c.arg(3));
        s.iServerIdKey = c.api.calcClusterIdKeyNative(s.sServerID, null);
        return s;
    }

    private static String label(CMNRule r) {
        return "rule " + r.RuleName + " on " + r.ClusterId + ":" + r.PortNumber;
    }

    private static void ruleRate(Call c, CMNRule r) throws Call.Refused, Call.BadUsage {
        if (c.has(CPS)) {
            r.iConnectionsPerSecond = c.intOption(CPS, 0);
            check(c.api.setRuleCPSNative(r), "setRuleCPSNative", label(r));
        }
    }

    // ---- interfaces and aliases ------------------------------------------------------------

    private static void networkInterface(CommandLine root) {
        CommandLine o = object(root, "interface", "The host's interfaces as the library sees them.");
        verb(o, "list", "Rebuild the interface table from the host's settings and list it.", c -> {
            c.api.setInterfacesNative(0);
            CMNInterfaceList list = new CMNInterfaceList();
            check(c.api.getInterfaceListNative(1, list), "getInterfaceListNative", "interfaces");
            List<Map<String, Object>> rows = new ArrayList<>();
            for (int i = 0; i < Math.min(list.iNumInterfaces, CMNInterfaceList.MAX_INTERFACES); i++) {
                rows.add(row("address", c.address(list.aiIp[i]),
                        "netmask", c.address(list.aiNetmask[i]),
                        "network", c.address(list.aiNetnumber[i]),
                        "broadcast", c.address(list.aiBroadcast[i])));
            }
            c.list(rows, "ADDRESS", "NETMASK", "NETWORK", "BROADCAST");
        });
    }

    private static void alias(CommandLine root) {
        CommandLine o = object(root, "alias", "Cluster addresses as aliases on the host's "
                + "interfaces.");
        String address = "ADDRESS:the cluster address";
        CommandSpec add = verb(o, "add", "Configure an address as an interface alias.", c -> {
            CMNAddress a = addressOf(c);
            c.api.setInterfacesNative(0);
            check(c.api.configureAddressNative(a), "configureAddressNative", "alias " + a.Address);
            c.note("alias " + a.Address + ": configured");
        }, address);
        fields(add, CMNAddress.class, Set.of("InterfaceName", "NetMask"), Set.of("Address"));
        option(add, "--config-info-provided", "0|1",
                "1: use the interface and netmask given (\"ConfigInfoProvided\")");
        verb(o, "remove", "Remove an address's alias.", c -> {
            CMNAddress a = addressOf(c);
            c.api.setInterfacesNative(0);
            check(c.api.unconfigureAddressNative(a), "unconfigureAddressNative",
                    "alias " + a.Address);
            c.note("alias " + a.Address + ": removed");
        }, address);
        verb(o, "show", "Show the interface and netmask an address is configured on.", c -> {
            CMNAddress a = addressOf(c);
            check(c.api.getAddressConfigureInfoNative(a), "getAddressConfigureInfoNative",
                    "alias " + a.Address);
            c.show(c.record(a));
        }, address);
    }

    private static CMNAddress addressOf(Call c) throws Call.BadUsage {
        CMNAddress a = new CMNAddress(c.arg(0));
        c.apply(a);
        a.ConfigInfoProvided = (byte) c.intOption("--config-info-provided",
                a.InterfaceName != null ? 1 : 0);
        return a;
    }

    // ---- high availability -----------------------------------------------------------------

    private static void ha(CommandLine root) {
        CommandLine o = object(root, "ha", "High availability: the backup role, heartbeats and "
                + "reach targets.");
        verb(o, "show", "Show the partner state, heartbeats and reach targets.", c -> {
            CMNHAInfo info = new CMNHAInfo();
            check(c.api.getHAInfoNative(info), "getHAInfoNative", "ha");
            Map<String, Object> record = row("mode", info.haFsmMode, "role", info.haRole,
                    "strategy", info.haStrategy, "state", info.haState,
                    "substate", info.haSubstate, "port", info.haPort, "peer", info.haPeer);
            for (int i = 0; i < Math.min(info.haHBCount, CMNHAInfo.MAX_RECORDS); i++) {
                record.put("heartbeat" + i, c.address(info.haLocal_Address[i]) + " -> "
                        + c.address(info.haRemote_Address[i]) + " status " + info.haStatus[i]);
            }
            for (int i = 0; i < Math.min(info.haReachCount, CMNHAInfo.MAX_RECORDS); i++) {
                record.put("reach" + i, c.address(info.haAddress[i]) + " mask "
                        + c.address(info.haMask[i]) + " type " + info.haType[i] + " status "
                        + info.haAddress_status[i]);
            }
            c.show(record);
        });
        CommandSpec add = verb(o, "add", "Take the backup role, add a heartbeat or a reach "
                + "target.", c -> {
            boolean done = false;
            if (c.has("--role")) {
                c.api.backupAddNative(c.intOption("--role", 0), c.intOption("--strategy", 0),
                        c.option("--port") == null ? "" : c.option("--port"));
                done = true;
                c.note("ha: backup role taken");
            }
            if (c.has("--heartbeat")) {
                List<String> pair = List.of(c.option("--heartbeat").split(",", 2));
                if (pair.size() != 2) {
                    throw new Call.BadUsage("--heartbeat: LOCAL,REMOTE expected");
                }
                c.api.setInterfacesNative(0);
                check(c.api.addHBNative(pair.get(0), pair.get(1)), "addHBNative",
                        "heartbeat " + pair.get(0) + " -> " + pair.get(1));
                done = true;
                c.note("heartbeat " + pair.get(0) + " -> " + pair.get(1) + ": added");
            }
            if (c.has("--reach")) {
                String target = c.option("--reach");
                String mask = c.option("--mask") == null ? "255.255.255.255" : c.option("--mask");
                check(c.api.addReachNative(target, mask, c.intOption("--type", 1)),
                        "addReachNative", "reach target " + target);
                done = true;
                c.note("reach target " + target + ": added");
            }
            if (!done) {
                throw new Call.BadUsage("ha add: give --role, --heartbeat or --reach");
            }
        });
        option(add, "--role", "N", "take the backup role with this role number");
        option(add, "--strategy", "N", "the backup strategy (with --role)");
        option(add, "--port", "PORT", "the partner port (with --role)");
        option(add, "--heartbeat", "LOCAL,REMOTE", "add a heartbeat between two addresses");
        option(add, "--reach", "ADDRESS", "watch a reach target");
        option(add, "--mask", "NETMASK", "the reach target's mask (with --reach)");
        option(add, "--type", "N", "the reach target's type (with --reach; 1 unless given)");
        CommandSpec remove = verb(o, "remove", "Give up the backup role, remove a heartbeat or a "
                + "reach target.", c -> {
            boolean done = false;
            if (c.has("--role")) {
                c.api.backupDelNative();
                done = true;
                c.note("ha: backup role given up");
            }
            if (c.has("--heartbeat")) {
                String remote = c.option("--heartbeat");
                check(c.api.delHBNative(remote), "delHBNative", "heartbeat to " + remote);
                done = true;
                c.note("heartbeat to " + remote + ": removed");
            }
            if (c.has("--reach")) {
                String target = c.option("--reach");
                check(c.api.delReachNative(target), "delReachNative", "reach target " + target);
                done = true;
                c.note("reach target " + target + ": removed");
            }
            if (!done) {
                throw new Call.BadUsage("ha remove: give --role, --heartbeat or --reach");
            }
        });
        remove.addOption(OptionSpec.builder("--role").type(boolean.class)
                .description("give up the backup role").build());
        option(remove, "--heartbeat", "REMOTE", "remove the heartbeat to this address");
        option(remove, "--reach", "ADDRESS", "stop watching this reach target");
        CommandSpec set = verb(o, "set", "Set the seven timers, or take over from the partner.",
                c -> {
                    if (c.has("--takeover")) {
                        String peer = c.option("--takeover");
                        check(c.api.takeoverNative(peer), "takeoverNative", "partner " + peer);
                        c.note("partner " + peer + ": taken over");
                        return;
                    }
                    String[] t = c.option("--timers") == null ? new String[0]
                            : c.option("--timers").split(",", -1);
                    if (t.length != 7) {
                        throw new Call.BadUsage("ha set: give --timers with seven values or "
                                + "--takeover");
                    }
                    check(c.api.setTimersNative(t[0], t[1], t[2], t[3], t[4], t[5], t[6]),
                            "setTimersNative", "ha timers");
                    c.note("ha timers: set");
                });
        option(set, "--timers", "T1,...,T7", "the seven timers, decimal");
        option(set, "--takeover", "ADDRESS", "take over from the partner at this address");
    }

    // ---- diagnostics -----------------------------------------------------------------------

    private static void affinity(CommandLine root) {
        CommandLine o = object(root, "affinity", "Client-to-server bindings of a port.");
        String address = "ADDRESS:the cluster address";
        verb(o, "report", "Print the executor's affinity report of a port.", c -> {
            int cluster = Call.addressArg(c.arg(0), "address");
            c.text(nonNull(c.api.getAffinityInfoNative(cluster, c.port(1), 1), "affinity"));
        }, address, PORT);
        CommandSpec add = verb(o, "add", "Bind clients to servers of a port.", c -> {
            affinityExchange(c, 1);
        }, address, PORT);
        CommandSpec remove = verb(o, "remove", "Remove clients' bindings.", c -> {
            affinityExchange(c, 2);
        }, address, PORT);
        for (CommandSpec s : new CommandSpec[] {add, remove}) {
            s.addOption(OptionSpec.builder("--bind").paramLabel("CLIENT=SERVER")
                    .type(List.class).auxiliaryTypes(String.class)
                    .description("a client address and its server's address; repeat for more")
                    .build());
        }
    }

    private static void affinityExchange(Call c, int command) throws Call.Refused,
            Call.BadUsage {
        CMNAffinity a = new CMNAffinity();
        a.iCommand = command;
        a.iClusterAddr = Integer.reverseBytes(Call.addressArg(c.arg(0), "address"));
        a.iPort = c.port(1);
        List<String> binds = c.optionList("--bind");
        a.iNumAffinities = binds.size();
        for (int i = 0; i < binds.size() && i < CMNAffinity.MAX_SUPPLIED; i++) {
            String[] pair = binds.get(i).split("=", 2);
            a.aiClientAddr[i] = Integer.reverseBytes(Call.addressArg(pair[0], "--bind"));
            a.aiServerAddr[i] = pair.length == 2
                    ? Integer.reverseBytes(Call.addressArg(pair[1], "--bind")) : 0;
        }
        String label = "affinity of " + c.arg(0) + ":" + c.arg(1);
        check(c.api.serverDirectedAffinityNative(a), "serverDirectedAffinityNative", label);
        c.note(label + ": " + a.iResponse + " binding(s) changed, " + a.iNumAffinities
                + " on the port");
    }

    private static String nonNull(String text, String what) throws Call.Refused {
        if (text == null) {
            throw new Call.Refused(what + ": the library gave no report");
        }
        return text;
    }

    private static void connections(CommandLine root) {
        CommandLine o = object(root, "connections", "Connection records, half-open connections "
                + "and attacking addresses.");
        CommandSpec report = verb(o, "report", "Print the executor's connection records.", c -> {
            int[] v = new int[6];
            String[] names = {"--client", "--client-port", "--cluster", "--cluster-port",
                "--server", "--server-port"};
            for (int i = 0; i < 6; i++) {
                String text = c.option(names[i]);
                v[i] = text == null ? 0 : i % 2 == 0 ? Call.addressArg(text, names[i])
                        : Call.number(text, names[i]);
            }
            c.text(nonNull(c.api.getConnectionInfoNative(v[0], v[1], v[2], v[3], v[4], v[5], 1),
                    "connections"));
        });
        option(report, "--client", "ADDRESS", "only connections from this client");
        option(report, "--client-port", "PORT", "only connections from this client port");
        option(report, "--cluster", "ADDRESS", "only connections to this cluster address");
        option(report, "--cluster-port", "PORT", "only connections to this cluster port");
        option(report, "--server", "ADDRESS", "only connections to this server address");
        option(report, "--server-port", "PORT", "only connections to this server port");
        verb(o, "list", "List the half-open connections, one row each.", c -> {
            CMNHalfOpenListener h = new CMNHalfOpenListener();
            check(c.api.getHalfOpenInfoNative(h), "getHalfOpenInfoNative", "half-open connections");
            List<Map<String, Object>> rows = new ArrayList<>();
            for (CMNHalfOpenListener.Record r : h.records) {
                rows.add(row("index", r.index, "address", c.address(r.address), "port", r.port,
                        "flag", r.flag));
            }
            c.list(rows, "INDEX", "ADDRESS", "PORT", "FLAG");
        });
        CommandSpec attackers = verb(o, "show", "List the attacking addresses of a cluster "
                + "address and port (any when not given).", c -> {
            CMNAttackListener a = new CMNAttackListener();
            int address = c.option("--cluster") == null ? 0
                    : Call.addressArg(c.option("--cluster"), "--cluster");
            check(c.api.getAttackingAddrsNative(a, address, c.intOption("--cluster-port", 0)),
                    "getAttackingAddrsNative", "attacking addresses");
            List<Map<String, Object>> rows = new ArrayList<>();
            for (CMNAttackListener.Attacker at : a.attackers) {
                rows.add(row("address", c.address(at.address), "figure", at.figure));
            }
            c.list(rows, "ATTACKER", "FIGURE");
        });
        option(attackers, "--cluster", "ADDRESS", "the attacked cluster address");
        option(attackers, "--cluster-port", "PORT", "the attacked port");
    }

    private static void dump(CommandLine root) {
        CommandLine o = object(root, "dump", "The executor's miscellaneous dump.");
        CommandSpec report = verb(o, "report", "Print one view of the dump: 99 the counters; "
                + "other sub-commands as the executor defines them.", c -> {
            c.text(nonNull(c.api.xmiscNative(c.intOption("--view", 99),
                    c.intOption("--arg1", 0), c.intOption("--arg2", 0), c.intOption("--arg3", 0)),
                    "dump"));
        });
        option(report, "--view", "N", "the sub-command (99 unless given)");
        option(report, "--arg1", "N", "its first argument");
        option(report, "--arg2", "N", "its second argument");
        option(report, "--arg3", "N", "its third argument");
    }

    private static void icmp(CommandLine root) {
        CommandLine o = object(root, "icmp", "The executor's ICMP response record.");
        verb(o, "show", "Show the ICMP response record.", c -> {
            CMNIcmp i = new CMNIcmp();
            check(c.api.getIcmpInfoNative(i), "getIcmpInfoNative", "icmp");
            c.show(row("iGotIcmpResp", i.iGotIcmpResp,
                    "iIcmpRespAddr", c.address(Integer.reverseBytes(i.iIcmpRespAddr))));
        });
        CommandSpec set = verb(o, "set", "Set the ICMP response record.", c -> {
            CMNIcmp i = new CMNIcmp();
            i.iGotIcmpResp = c.intOption("--got-icmp-resp", 0);
            String a = c.option("--icmp-resp-addr");
            i.iIcmpRespAddr = a == null ? 0 : Integer.reverseBytes(Call.addressArg(a, "address"));
            check(c.api.setIcmpInfoNative(i), "setIcmpInfoNative", "icmp");
            c.note("icmp: set");
        });
        option(set, "--got-icmp-resp", "0|1", "1 when a response came (\"iGotIcmpResp\")");
        option(set, "--icmp-resp-addr", "ADDRESS", "who responded (\"iIcmpRespAddr\")");
    }

    private static void log(CommandLine root) {
        CommandLine o = object(root, "log", "The executor's log of served requests.");
        CommandSpec show = verb(o, "show", "Print the head (or with --tail the tail) of the log.",
                c -> {
                    int size = c.intOption("--size", 4000);
                    CMNExecutorInterface api = c.api;
                    c.text(nonNull(c.has("--tail") ? api.xlogtailNative(size)
                            : api.xlogheadNative(size, 0), "log"));
                });
        option(show, "--size", "N", "at most this many characters (4000 unless given)");
        show.addOption(OptionSpec.builder("--tail").type(boolean.class)
                .description("the end of the log rather than its start").build());
        CommandSpec set = verb(o, "set", "Set the log level or filter.", c -> {
            if (c.has("--level")) {
                c.text(nonNull(c.api.xloglevelNative(c.intOption("--level", 0)), "log"));
            }
            if (c.has("--filter")) {
                c.text(nonNull(c.api.xlogfilterNative(c.intOption("--filter", 0)), "log"));
            }
        });
        option(set, "--level", "N", "the log level");
        option(set, "--filter", "N", "the log filter");
        verb(o, "remove", "Empty the log.", c -> c.text(nonNull(c.api.xlogclearNative(), "log")));
    }
}
