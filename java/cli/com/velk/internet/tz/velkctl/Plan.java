package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNAddress;
import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutor;
import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNListener;
import com.velk.internet.tz.common.CMNPort;
import com.velk.internet.tz.common.CMNRule;
import com.velk.internet.tz.common.CMNServer;
import java.lang.reflect.Field;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Objects;

/**
 * The fewest calls that bring the executor from its state to a document, in dependency order:
 * executor settings, clusters, ports, servers, weights, rules, bindings, aliases, high
 * availability, the ICMP record; then, only when pruning, the removals in the reverse order.
 * A record's changed settings go in one set call. Keys the document leaves out are left as
 * the executor has them.
 */
final class Plan {
    /** One planned call: the line diff prints, and the call apply makes. */
    static final class Step {
        final String text;
        final Action action;

        Step(String text, Action action) {
            this.text = text;
            this.action = action;
        }
    }

    interface Action {
        void run(CMNExecutorInterface api) throws Api.Failure;
    }

    private final List<List<Step>> phases = new ArrayList<>();
    private final List<Step> executor = phase();
    private final List<Step> clusters = phase();
    private final List<Step> ports = phase();
    private final List<Step> servers = phase();
    private final List<Step> weights = phase();
    private final List<Step> rules = phase();
    private final List<Step> bindings = phase();
    private final List<Step> aliases = phase();
    private final List<Step> ha = phase();
    private final List<Step> icmp = phase();
    private final List<Step> unHa = phase();
    private final List<Step> unAliases = phase();
    private final List<Step> unbind = phase();
    private final List<Step> unRules = phase();
    private final List<Step> unServers = phase();
    private final List<Step> unPorts = phase();
    private final List<Step> unClusters = phase();
    private final Config.State state;
    private final boolean prune;

    private Plan(Config.State state, boolean prune) {
        this.state = state;
        this.prune = prune;
    }

    private List<Step> phase() {
        List<Step> steps = new ArrayList<>();
        phases.add(steps);
        return steps;
    }

    static List<Step> of(Config.State state, Map<String, Object> want, boolean prune) {
        Plan plan = new Plan(state, prune);
        plan.build(want);
        List<Step> steps = new ArrayList<>();
        plan.phases.forEach(steps::addAll);
        return steps;
    }

    // ---- comparing -------------------------------------------------------------------------

    @SuppressWarnings("unchecked")
    private static Map<String, Object> map(Object o) {
        return o == null ? new LinkedHashMap<>() : (Map<String, Object>) o;
    }

    @SuppressWarnings("unchecked")
    private static List<String> list(Object o) {
        return o == null ? List.of() : (List<String>) o;
    }

    private static String show(Object v) {
        return v == null || "".equals(v) ? "''" : String.valueOf(v);
    }

    /** The settings of the section that the document gives and that differ: "key old -> new". */
    private static Map<String, String> changes(Config.Section section, Map<String, Object> have,
                                               Map<String, Object> want) {
        Map<String, String> changed = new LinkedHashMap<>();
        for (String key : section.fields.keySet()) {
            if (want.containsKey(key) && !Objects.equals(want.get(key), have.get(key))) {
                changed.put(key, key + " " + show(have.get(key)) + " -> " + show(want.get(key)));
            }
        }
        return changed;
    }

    /** A record for add: every setting the document gives, each with its flag. */
    private static void fill(Object record, Config.Section section, Map<String, Object> want) {
        section.fields.forEach((key, field) -> {
            if (want.containsKey(key)) {
                Config.assign(record, field, want.get(key));
                flag(record, field);
            }
        });
    }

    /**
     * A record for set: every setting as it will stand (settings the library sends whatever
     * their flag then carry their own value), with the flags of the changed ones only.
     */
    private static void fill(Object record, Config.Section section, Map<String, Object> have,
                             Map<String, Object> want, Iterable<String> changed) {
        section.fields.forEach((key, field) -> {
            Object v = want.containsKey(key) ? want.get(key) : have.get(key);
            if (v != null) {
                Config.assign(record, field, v);
            }
        });
        for (String key : changed) {
            flag(record, section.fields.get(key));
        }
    }

    private static void flag(Object record, Field field) {
        Field flag = FieldOptions.flagOf(field);
        if (flag != null) {
            try {
                flag.setByte(record, (byte) 1);
            } catch (IllegalAccessException e) {
                throw new IllegalStateException(e);
            }
        }
    }

    private static void listeners(CMNServer s, List<String> listeners) {
        for (String l : listeners) {
            String[] p = l.split(":");
            s.addListener(new CMNListener(Types.address(p[0]), Integer.parseInt(p[1]),
                    Integer.parseInt(p[2]), null, null));
        }
        s.SetListeners = 1;
    }

    // ---- the plan --------------------------------------------------------------------------

    private void build(Map<String, Object> want) {
        Map<String, Object> have = state.tree;
        if (want.containsKey("executor")) {
            executor(map(have.get("executor")), map(want.get("executor")));
        }
        if (want.containsKey("clusters")) {
            Map<String, Object> haveClusters = map(have.get("clusters"));
            Map<String, Object> wantClusters = map(want.get("clusters"));
            wantClusters.forEach((id, c) -> cluster(id, map(haveClusters.get(id)), map(c),
                    !haveClusters.containsKey(id)));
            if (prune) {
                haveClusters.keySet().stream().filter(id -> !wantClusters.containsKey(id))
                        .forEach(id -> unClusters.add(0, new Step("- cluster " + id,
                                api -> ClusterCommands.KIND.remove.run(api, new CMNCluster(id),
                                        "cluster " + id))));
            }
        }
        if (want.containsKey("aliases")) {
            List<String> haveAliases = list(have.get("aliases"));
            List<String> wantAliases = list(want.get("aliases"));
            for (String a : wantAliases) {
                if (!haveAliases.contains(a)) {
                    aliases.add(new Step("+ alias " + a,
                            api -> NetworkCommands.alias(api, new CMNAddress(a), true)));
                }
            }
            for (String a : haveAliases) {
                if (prune && !wantAliases.contains(a)) {
                    unAliases.add(0, new Step("- alias " + a,
                            api -> NetworkCommands.alias(api, new CMNAddress(a), false)));
                }
            }
        }
        if (want.containsKey("ha")) {
            ha(map(have.get("ha")), map(want.get("ha")));
        }
        if (want.containsKey("icmp")) {
            Map<String, Object> h = map(have.get("icmp"));
            Map<String, Object> w = map(want.get("icmp"));
            if (!h.equals(w)) {
                icmp.add(new Step("~ icmp got-icmp-resp " + h.get("got-icmp-resp") + " -> "
                        + w.get("got-icmp-resp") + ", icmp-resp-addr " + h.get("icmp-resp-addr")
                        + " -> " + w.get("icmp-resp-addr"),
                        api -> DiagnosticCommands.setIcmp(api, (Integer) w.get("got-icmp-resp"),
                                Types.address((String) w.get("icmp-resp-addr")))));
            }
        }
    }

    private void executor(Map<String, Object> have, Map<String, Object> want) {
        Map<String, String> changed = changes(Config.EXECUTOR, have, want);
        if (changed.isEmpty()) {
            return;
        }
        executor.add(new Step("~ executor " + String.join(", ", changed.values()), api -> {
            CMNExecutor e = new CMNExecutor();
            fill(e, Config.EXECUTOR, have, want, changed.keySet());
            Api.check(api.setExecutorStatusNative(e), Api.setExecutorStatusNative, "executor");
        }));
    }

    private void cluster(String id, Map<String, Object> have, Map<String, Object> want,
                         boolean added) {
        Records.Kind<CMNCluster> kind = ClusterCommands.KIND;
        if (added) {
            clusters.add(new Step("+ cluster " + id, api -> {
                CMNCluster c = new CMNCluster(id);
                fill(c, Config.CLUSTER, want);
                kind.add.run(api, c, kind.label.apply(c));
            }));
        } else {
            Map<String, String> changed = changes(Config.CLUSTER, have, want);
            if (!changed.isEmpty()) {
                clusters.add(new Step("~ cluster " + id + " " + String.join(", ",
                        changed.values()), api -> {
                            CMNCluster c = new CMNCluster(id);
                            c.iClusterIdKey = ((CMNCluster) state.records.get(id)).iClusterIdKey;
                            fill(c, Config.CLUSTER, have, want, changed.keySet());
                            kind.set.run(api, c, kind.label.apply(c));
                        }));
            }
        }
        if (!want.containsKey(Config.PORTS)) {
            return;
        }
        Map<?, ?> havePorts = (Map<?, ?>) have.getOrDefault(Config.PORTS, Map.of());
        Map<?, ?> wantPorts = (Map<?, ?>) want.get(Config.PORTS);
        for (Map.Entry<?, ?> e : wantPorts.entrySet()) {
            int port = (Integer) e.getKey();
            port(id, port, map(havePorts.get(port)), map(e.getValue()),
                    !havePorts.containsKey(port));
        }
        if (prune && !added) {
            for (Object port : havePorts.keySet()) {
                if (!wantPorts.containsKey(port)) {
                    String address = (String) have.get("address");
                    unPorts.add(0, new Step("- port " + id + ":" + port, api -> {
                        CMNPort p = new CMNPort(id, (Integer) port);
                        p.ClusterAddress = address;
                        PortCommands.KIND.remove.run(api, p, PortCommands.KIND.label.apply(p));
                    }));
                }
            }
        }
    }

    private void port(String id, int number, Map<String, Object> have, Map<String, Object> want,
                      boolean added) {
        Records.Kind<CMNPort> kind = PortCommands.KIND;
        String label = id + ":" + number;
        if (added) {
            ports.add(new Step("+ port " + label, api -> {
                CMNPort p = new CMNPort(id, number);
                fill(p, Config.PORT, want);
                kind.add.run(api, p, kind.label.apply(p));
            }));
        } else {
            Map<String, String> changed = changes(Config.PORT, have, want);
            if (!changed.isEmpty()) {
                ports.add(new Step("~ port " + label + " " + String.join(", ", changed.values()),
                        api -> {
                            CMNPort p = new CMNPort(id, number);
                            fill(p, Config.PORT, have, want, changed.keySet());
                            kind.set.run(api, p, kind.label.apply(p));
                        }));
            }
        }
        if (want.containsKey(Config.SERVERS)) {
            servers(id, number, map(have.get(Config.SERVERS)), map(want.get(Config.SERVERS)),
                    added);
        }
        if (want.containsKey(Config.RULES)) {
            rules(id, number, map(have.get(Config.RULES)), map(want.get(Config.RULES)), added);
        }
    }

    private void servers(String id, int port, Map<String, Object> have, Map<String, Object> want,
                         boolean portAdded) {
        Records.Kind<CMNServer> kind = ServerCommands.KIND;
        String label = id + ":" + port;
        Map<String, Integer> newWeights = new LinkedHashMap<>();
        Map<String, Boolean> fixed = new LinkedHashMap<>();
        List<String> weightText = new ArrayList<>();
        want.forEach((sid, s) -> {
            Map<String, Object> w = map(s);
            Map<String, Object> h = map(have.get(sid));
            if (!have.containsKey(sid)) {
                servers.add(new Step("+ server " + label + " " + sid, api -> {
                    CMNServer sv = ServerCommands.server(api, id, port, sid);
                    fill(sv, Config.SERVER, w);
                    if (!list(w.get(Config.LISTENER)).isEmpty()) {
                        listeners(sv, list(w.get(Config.LISTENER)));
                    }
                    kind.add.run(api, sv, kind.label.apply(sv));
                }));
                return;
            }
            Map<String, String> changed = changes(Config.SERVER, h, w);
            // Weights go in one request for the port; the rest in the server's own set.
            String weight = changed.remove("weight");
            String fixedWeight = changed.remove("fixed-weight");
            if (weight != null || fixedWeight != null) {
                newWeights.put(sid, (Integer) w.getOrDefault("weight", h.get("weight")));
                fixed.put(sid, ((Integer) w.getOrDefault("fixed-weight", h.get("fixed-weight")))
                        != 0);
                weightText.add(sid + " " + (weight != null ? weight : fixedWeight)
                        + (weight != null && fixedWeight != null ? ", " + sid + " " + fixedWeight
                                : ""));
            }
            boolean listenersChanged = w.containsKey(Config.LISTENER)
                    && !w.get(Config.LISTENER).equals(h.get(Config.LISTENER));
            if (listenersChanged) {
                changed.put(Config.LISTENER, Config.LISTENER + " " + h.get(Config.LISTENER)
                        + " -> " + w.get(Config.LISTENER));
            }
            if (!changed.isEmpty()) {
                servers.add(new Step("~ server " + label + " " + sid + " "
                        + String.join(", ", changed.values()), api -> {
                            CMNServer sv = ServerCommands.server(api, id, port, sid);
                            changed.remove(Config.LISTENER);
                            fill(sv, Config.SERVER, h, w, changed.keySet());
                            if (listenersChanged) {
                                listeners(sv, list(w.get(Config.LISTENER)));
                            }
                            kind.set.run(api, sv, kind.label.apply(sv));
                        }));
            }
        });
        if (!newWeights.isEmpty()) {
            weights.add(new Step("~ weights " + label + " " + String.join(", ", weightText),
                    api -> ExecutorCommands.writeWeights(api, id, port, newWeights, fixed)));
        }
        if (prune && !portAdded) {
            for (String sid : have.keySet()) {
                if (!want.containsKey(sid)) {
                    unServers.add(0, new Step("- server " + label + " " + sid, api -> {
                        CMNServer sv = ServerCommands.server(api, id, port, sid);
                        kind.remove.run(api, sv, kind.label.apply(sv));
                    }));
                }
            }
        }
    }

    private void rules(String id, int port, Map<String, Object> have, Map<String, Object> want,
                       boolean portAdded) {
        Records.Kind<CMNRule> kind = RuleCommands.KIND;
        String label = id + ":" + port;
        want.forEach((name, r) -> {
            Map<String, Object> w = map(r);
            Map<String, Object> h = map(have.get(name));
            if (!have.containsKey(name)) {
                rules.add(new Step("+ rule " + label + " " + name, api -> {
                    CMNRule rule = new CMNRule(id, port, name);
                    fill(rule, Config.RULE, w);
                    kind.add.run(api, rule, kind.label.apply(rule));
                }));
            } else {
                Map<String, String> changed = changes(Config.RULE, h, w);
                if (!changed.isEmpty()) {
                    rules.add(new Step("~ rule " + label + " " + name + " "
                            + String.join(", ", changed.values()), api -> {
                                CMNRule rule = new CMNRule(id, port, name);
                                Map<String, Object> current = new LinkedHashMap<>(h);
                                int type = (Integer) w.getOrDefault("rule-type",
                                        h.get("rule-type"));
                                current.keySet().removeIf(k -> Config.offRange(k, type));
                                fill(rule, Config.RULE, current, w, changed.keySet());
                                kind.set.run(api, rule, kind.label.apply(rule));
                            }));
                }
            }
            if (!w.containsKey(Config.SERVERS)) {
                return;
            }
            List<String> haveBound = list(h.get(Config.SERVERS));
            List<String> wantBound = list(w.get(Config.SERVERS));
            for (String sid : wantBound) {
                if (!haveBound.contains(sid)) {
                    bindings.add(new Step("+ bind " + label + " " + name + " " + sid,
                            api -> RuleCommands.bind(api, new CMNRule(id, port, name),
                                    ServerCommands.server(api, id, port, sid), true, 0)));
                }
            }
            for (String sid : haveBound) {
                if (prune && !wantBound.contains(sid)) {
                    unbind.add(0, new Step("- bind " + label + " " + name + " " + sid,
                            api -> RuleCommands.bind(api, new CMNRule(id, port, name),
                                    ServerCommands.server(api, id, port, sid), false, 0)));
                }
            }
        });
        if (prune && !portAdded) {
            for (String name : have.keySet()) {
                if (!want.containsKey(name)) {
                    unRules.add(0, new Step("- rule " + label + " " + name, api -> {
                        CMNRule rule = new CMNRule(id, port, name);
                        kind.remove.run(api, rule, kind.label.apply(rule));
                    }));
                }
            }
        }
    }

    private void ha(Map<String, Object> have, Map<String, Object> want) {
        if (want.containsKey("role")) {
            List<Object> w = List.of(want.get("role"), want.get("strategy"), want.get("port"));
            List<Object> h = have.containsKey("role") ? List.of(have.get("role"),
                    have.get("strategy"), have.get("port")) : null;
            if (!w.equals(h)) {
                ha.add(new Step((h == null ? "+" : "~") + " ha role " + w.get(0) + " strategy "
                        + w.get(1) + " port " + w.get(2), api -> NetworkCommands.backup(api,
                        (Integer) w.get(0), (Integer) w.get(1), String.valueOf(w.get(2)))));
            }
        } else if (prune && have.containsKey("role")) {
            unHa.add(new Step("- ha role", api -> Api.check(api.backupDelNative(),
                    Api.backupDelNative, "ha")));
        }
        if (want.containsKey("heartbeat")) {
            Map<String, String> haveByRemote = byRemote(list(have.get("heartbeat")));
            Map<String, String> wantByRemote = byRemote(list(want.get("heartbeat")));
            wantByRemote.forEach((remote, local) -> {
                String old = haveByRemote.get(remote);
                if (old == null) {
                    ha.add(new Step("+ heartbeat " + local + "," + remote,
                            api -> NetworkCommands.heartbeat(api, local, remote)));
                } else if (!old.equals(local)) {
                    ha.add(new Step("~ heartbeat " + remote + " local " + old + " -> " + local,
                            api -> {
                                Api.check(api.delHBNative(remote), Api.delHBNative,
                                        "heartbeat to " + remote);
                                NetworkCommands.heartbeat(api, local, remote);
                            }));
                }
            });
            haveByRemote.forEach((remote, local) -> {
                if (prune && !wantByRemote.containsKey(remote)) {
                    unHa.add(0, new Step("- heartbeat " + local + "," + remote,
                            api -> Api.check(api.delHBNative(remote), Api.delHBNative,
                                    "heartbeat to " + remote)));
                }
            });
        }
        if (want.containsKey("reach")) {
            Map<String, Object> haveReach = map(have.get("reach"));
            Map<String, Object> wantReach = map(want.get("reach"));
            wantReach.forEach((target, t) -> {
                Map<String, Object> w = map(t);
                String mask = (String) w.get("mask");
                int type = (Integer) w.get("type");
                if (!haveReach.containsKey(target)) {
                    ha.add(new Step("+ reach " + target + " mask " + mask + " type " + type,
                            api -> NetworkCommands.reach(api, target, mask, type)));
                } else if (!w.equals(haveReach.get(target))) {
                    ha.add(new Step("~ reach " + target + " mask " + mask + " type " + type,
                            api -> {
                                Api.check(api.delReachNative(target), Api.delReachNative,
                                        "reach target " + target);
                                NetworkCommands.reach(api, target, mask, type);
                            }));
                }
            });
            for (String target : haveReach.keySet()) {
                if (prune && !wantReach.containsKey(target)) {
                    unHa.add(0, new Step("- reach " + target,
                            api -> Api.check(api.delReachNative(target), Api.delReachNative,
                                    "reach target " + target)));
                }
            }
        }
    }

    private static Map<String, String> byRemote(List<String> heartbeats) {
        Map<String, String> m = new LinkedHashMap<>();
        for (String pair : heartbeats) {
            String[] p = pair.split(",");
            m.put(p[1], p[0]);
        }
        return m;
    }
}
