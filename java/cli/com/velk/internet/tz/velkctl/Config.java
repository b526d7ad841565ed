package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNAddress;
import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutor;
import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNHAInfo;
import com.velk.internet.tz.common.CMNIcmp;
import com.velk.internet.tz.common.CMNListener;
import com.velk.internet.tz.common.CMNPort;
import com.velk.internet.tz.common.CMNRule;
import com.velk.internet.tz.common.CMNServer;
import java.lang.reflect.Field;
import java.net.InetAddress;
import java.net.UnknownHostException;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;

/**
 * The configuration as a document: the tree that save writes and apply reads. Keys are
 * velkctl's option names; records are maps keyed by their identifiers, sorted, so that the same
 * state gives the same document and two machines can be compared line by line.
 *
 * <pre>
 * executor: {settings}
 * clusters: {ID: {settings, ports: {PORT: {settings, servers: {ID: {settings,
 *            listener: [ADDRESS:PORT:PROTOCOL]}}, rules: {NAME: {settings, servers: [ID]}}}}}}
 * aliases: [ADDRESS]
 * ha: {role, strategy, port, heartbeat: [LOCAL,REMOTE], reach: {ADDRESS: {mask, type}}}
 * icmp: {got-icmp-resp, icmp-resp-addr}
 * </pre>
 */
final class Config {
    static final String PORTS = "ports";
    static final String SERVERS = "servers";
    static final String RULES = "rules";
    static final String LISTENER = "listener";

    /** The settings of one record kind that the document carries, by key. */
    static final class Section {
        final Map<String, Field> fields = new LinkedHashMap<>();

        Section(Class<?> type, Set<String> always, Set<String> skip) {
            for (Field f : FieldOptions.fields(type, always, skip)) {
                fields.put(FieldOptions.optionName(f).substring(2), f);
            }
        }
    }

    // Read back only, or derived by the executor from other settings: not configuration.
    static final Section EXECUTOR = new Section(CMNExecutor.class, Set.of(),
            Set.of("sPluginConfigFileName"));
    static final Section CLUSTER = new Section(CMNCluster.class, ClusterCommands.KIND.always,
            ClusterCommands.KIND.skip);
    static final Section PORT = new Section(CMNPort.class, PortCommands.KIND.always,
            PortCommands.KIND.skip);
    static final Section SERVER = new Section(CMNServer.class, Set.of(),
            ServerCommands.KIND.skip);
    static final Section RULE = new Section(CMNRule.class, RuleCommands.KIND.always,
            RuleCommands.KIND.skip);
    /** A rule's range: numbers, or addresses for the rule types that take addresses. */
    static final Set<String> NUMBER_RANGE = Set.of("begin-range", "end-range");
    static final Set<String> ADDRESS_RANGE = Set.of("address-begin-range", "address-end-range");

    private Config() {
    }

    /** True when the rule's range key does not apply to its type. */
    static boolean offRange(String key, int ruleType) {
        return RuleCommands.addressRange(ruleType) ? NUMBER_RANGE.contains(key)
                : ADDRESS_RANGE.contains(key);
    }

    // ---- the executor's state as a document ------------------------------------------------

    /** A field's value as the document holds it: a number or a text. */
    static Object value(Object record, Field field) {
        try {
            Object v = field.get(record);
            if (v instanceof java.lang.Byte) {
                return ((java.lang.Byte) v).intValue();
            }
            if (v instanceof Character) {
                char c = (Character) v;
                return c == 0 ? "" : String.valueOf(c);
            }
            if (v instanceof byte[]) {
                return InetAddress.getByAddress((byte[]) v).getHostAddress();
            }
            return v == null ? "" : v;
        } catch (IllegalAccessException | UnknownHostException e) {
            throw new IllegalStateException(e);
        }
    }

    /** Sets a field from the document's value, without its flag. */
    static void assign(Object record, Field field, Object value) {
        try {
            Class<?> t = field.getType();
            if (t == int.class) {
                field.setInt(record, (Integer) value);
            } else if (t == byte.class) {
                field.setByte(record, (byte) (int) (Integer) value);
            } else if (t == char.class) {
                String s = (String) value;
                field.setChar(record, s.isEmpty() ? 0 : s.charAt(0));
            } else if (t == byte[].class) {
                field.set(record, InetAddress.getByName((String) value).getAddress());
            } else {
                field.set(record, value);
            }
        } catch (IllegalAccessException | UnknownHostException e) {
            throw new IllegalStateException(e);
        }
    }

    static Map<String, Object> settings(Section section, Object record) {
        Map<String, Object> m = new LinkedHashMap<>();
        section.fields.forEach((key, field) -> m.put(key, value(record, field)));
        return m;
    }

    static String listener(CMNListener l) {
        return Types.dotted(l._iAddress) + ":" + l._iMapPort + ":" + l._iProtocol;
    }

    /** The executor's state, read through the library, with the records it was read from. */
    static final class State {
        final Map<String, Object> tree = new LinkedHashMap<>();
        /** Records as the status calls filled them, by path ("web/80/s1"). */
        final Map<String, Object> records = new TreeMap<>();
        int calls;
    }

    @SuppressWarnings("unchecked")
    static State read(CMNExecutorInterface api) throws Api.Failure {
        State s = new State();
        CMNExecutor e = ExecutorCommands.status(api);
        s.calls++;
        s.records.put("", e);
        s.tree.put("executor", settings(EXECUTOR, e));
        Map<String, Object> clusters = new TreeMap<>();
        StringBuffer list = new StringBuffer();
        Api.check(api.getClustersListNative(list), Api.getClustersListNative, "clusters");
        s.calls++;
        List<String> aliases = new ArrayList<>();
        for (String id : Verb.items(list)) {
            CMNCluster cl = new CMNCluster(id);
            ClusterCommands.KIND.status.run(api, cl, "cluster " + id);
            s.calls++;
            s.records.put(id, cl);
            Map<String, Object> c = settings(CLUSTER, cl);
            c.put(PORTS, readPorts(api, s, id));
            clusters.put(id, c);
            CMNAddress a = new CMNAddress(cl.Address);
            s.calls++;
            if (api.getAddressConfigureInfoNative(a) == 0 && !aliases.contains(cl.Address)) {
                aliases.add(cl.Address);
            }
        }
        s.tree.put("clusters", clusters);
        aliases.sort(null);
        s.tree.put("aliases", aliases);
        s.tree.put("ha", readHa(NetworkCommands.info(api)));
        s.calls++;
        CMNIcmp icmp = DiagnosticCommands.icmp(api);
        s.calls++;
        s.tree.put("icmp", icmp(icmp.iGotIcmpResp,
                Types.dotted(Integer.reverseBytes(icmp.iIcmpRespAddr))));
        return s;
    }

    static Map<String, Object> icmp(int got, String address) {
        Map<String, Object> m = new LinkedHashMap<>();
        m.put("got-icmp-resp", got);
        m.put("icmp-resp-addr", address);
        return m;
    }

    private static Map<Integer, Object> readPorts(CMNExecutorInterface api, State s, String id)
            throws Api.Failure {
        StringBuffer list = new StringBuffer();
        Api.check(api.getPortsListNative(id, list), Api.getPortsListNative, "cluster " + id);
        s.calls++;
        Map<Integer, Object> ports = new TreeMap<>();
        for (String item : Verb.items(list)) {
            CMNPort p = new CMNPort(id, Integer.parseInt(item));
            PortCommands.KIND.status.run(api, p, PortCommands.KIND.label.apply(p));
            s.calls++;
            s.records.put(id + "/" + p.PortNumber, p);
            Map<String, Object> m = settings(PORT, p);
            Map<String, Object> servers = new TreeMap<>();
            s.calls++;
            for (CMNServer sv : ServerCommands.list(api, id, p.PortNumber)) {
                ServerCommands.KIND.status.run(api, sv, ServerCommands.KIND.label.apply(sv));
                s.calls++;
                Map<String, Object> v = settings(SERVER, sv);
                List<String> listeners = new ArrayList<>();
                for (CMNListener l : sv.getListeners()) {
                    if (l._iAddress != 0 || l._iMapPort != 0) {
                        listeners.add(listener(l));
                    }
                }
                v.put(LISTENER, listeners);
                servers.put(sv.sServerID, v);
            }
            Map<String, Object> rules = new TreeMap<>();
            s.calls++;
            for (String name : RuleCommands.names(api, id, p.PortNumber)) {
                CMNRule r = new CMNRule(id, p.PortNumber, name);
                RuleCommands.KIND.status.run(api, r, RuleCommands.KIND.label.apply(r));
                s.calls += 2;
                Map<String, Object> v = settings(RULE, r);
                v.keySet().removeIf(k -> offRange(k, r.RuleType));
                List<String> bound = RuleCommands.servers(api, r);
                bound.sort(null);
                v.put(SERVERS, bound);
                rules.put(name, v);
            }
            m.put(SERVERS, servers);
            m.put(RULES, rules);
            ports.put(p.PortNumber, m);
        }
        return ports;
    }

    private static Map<String, Object> readHa(CMNHAInfo info) {
        Map<String, Object> ha = new LinkedHashMap<>();
        if (info.haFsmMode == 1) {
            ha.put("role", info.haRole);
            ha.put("strategy", info.haStrategy);
            ha.put("port", info.haPort);
        }
        List<String> heartbeats = new ArrayList<>();
        for (int i = 0; i < info.haHBCount && i < CMNHAInfo.MAX_RECORDS; i++) {
            heartbeats.add(Types.dotted(info.haLocal_Address[i]) + ","
                    + Types.dotted(info.haRemote_Address[i]));
        }
        heartbeats.sort(null);
        ha.put("heartbeat", heartbeats);
        Map<String, Object> reach = new TreeMap<>();
        for (int i = 0; i < info.haReachCount && i < CMNHAInfo.MAX_RECORDS; i++) {
            Map<String, Object> target = new LinkedHashMap<>();
            target.put("mask", Types.dotted(info.haMask[i]));
            target.put("type", info.haType[i]);
            reach.put(Types.dotted(info.haAddress[i]), target);
        }
        ha.put("reach", reach);
        return ha;
    }
}
