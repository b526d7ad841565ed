package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutorReport;
import com.velk.internet.tz.common.CMNHAInfo;
import com.velk.internet.tz.common.CMNPort;
import com.velk.internet.tz.common.CMNRule;
import com.velk.internet.tz.common.CMNServer;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.function.ToLongFunction;
import java.net.InetSocketAddress;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;

/**
 * The executor's state as one scrape in the Prometheus text exposition format 0.0.4. Every
 * sample comes from a field that its call wrote (see {@link Scrape}); the executor's 32-bit
 * counts are unsigned, its packet counters unsigned 64-bit.
 */
final class Metrics {
    static final String CONTENT_TYPE = "text/plain; version=0.0.4; charset=utf-8";

    /** A family's samples, printed after its HELP and TYPE lines. */
    private static final class Family {
        final String type;
        final String help;
        final StringBuilder samples = new StringBuilder();

        Family(String type, String help) {
            this.type = type;
            this.help = help;
        }
    }

    private final Map<String, Family> families = new LinkedHashMap<>();

    private Metrics() {
    }

    /** The commands "metrics" and "exporter". */
    static void register(CommandLine root) {
        root.addSubcommand(new Print());
        root.addSubcommand(new Serve());
    }

    @Command(name = "metrics", mixinStandardHelpOptions = true, description = "Print one scrape "
            + "of the executor's counters in the Prometheus text format (velk_up 0 when the "
            + "executor does not answer).")
    static final class Print extends Verb {
        @Override
        void run() throws Api.Failure {
            out().out.print(render(Scrape.take(Api.library())));
        }
    }

    @Command(name = "exporter", mixinStandardHelpOptions = true, description = "Serve the "
            + "scrape at /metrics and a status page at / over HTTP until stopped (SIGTERM).")
    static final class Serve extends Verb {
        @Option(names = "--listen", paramLabel = "ADDRESS:PORT", converter = Exporter.Listen.class,
                defaultValue = Exporter.DEFAULT_LISTEN,
                description = "where to listen (${DEFAULT-VALUE}, loopback; port 0: any free one)")
        InetSocketAddress listen;

        @Override
        void run() throws Api.Failure {
            Exporter.serve(Api.library(), listen);
        }
    }

    /** One scrape as exposition text. */
    static String render(Scrape s) {
        Metrics m = new Metrics();
        m.sample("velk_up", "gauge", "1 when the executor answered the scrape, 0 otherwise",
                s.up() ? 1 : 0);
        if (s.up()) {
            m.executor(s.executor);
            if (s.ha != null) {
                m.ha(s.ha);
            }
            for (Scrape.Cluster c : s.clusters) {
                m.cluster(c);
            }
        }
        m.sample("velk_scrape_calls", "gauge", "Library calls made by this scrape", s.calls);
        m.sample("velk_scrape_refused_calls", "gauge", "Calls of this scrape that were refused "
                + "(their objects are left out)", s.refused);
        m.sample("velk_scrape_duration_seconds", "gauge", "How long this scrape took",
                String.valueOf(s.seconds));
        StringBuilder text = new StringBuilder();
        m.families.forEach((name, f) -> {
            text.append("# HELP ").append(name).append(' ').append(f.help).append('\n');
            text.append("# TYPE ").append(name).append(' ').append(f.type).append('\n');
            text.append(f.samples);
        });
        return text.toString();
    }

    private static final String[] OUTCOMES = {"too_short", "not_forwarded", "discarded", "error",
        "local", "own_address", "forwarded", "forward_error", "not_for_executor", "broadcast"};

    private void executor(CMNExecutorReport r) {
        sample("velk_executor_info", "gauge", "The executor's version and non-forwarding address",
                1, "version", r.Version, "nfa", r.NFA);
        sample("velk_executor_start_time_seconds", "gauge", "When the executor started, seconds "
                + "since 1970", u32(r.iTimeStarted));
        sample("velk_executor_received_packets_total", "counter", "Packets the executor received",
                u64(r.Pcktotal));
        long[] counters = {r.Pcktoshort, r.Pcknonforw, r.PckVECdiscard, r.PckVECerror,
            r.PckVEClocal, r.PckVECownaddr, r.PckVECforward, r.Pckforwarderr, r.PcknotVEC,
            r.PckVECbroadcast};
        for (int i = 0; i < counters.length; i++) {
            sample("velk_executor_packets_total", "counter", "Packets by what the executor did "
                    + "with them", u64(counters[i]), "outcome", OUTCOMES[i]);
        }
        sample("velk_executor_connection_hash_buckets", "gauge", "Buckets of the executor's "
                + "connection table", u32(r.InconnHashBkts));
        sample("velk_executor_clusters", "gauge", "Clusters the executor holds",
                u32(r.NumClusters));
        sample("velk_executor_bytes_per_second", "gauge", "Bytes per second through the "
                + "executor", u32(r.iBytesPerSecond));
        sample("velk_executor_connections_per_second", "gauge", "New connections per second of "
                + "the executor", u32(r.iConnectionsPerSecond));
    }

    private void ha(CMNHAInfo h) {
        emit(HA, h);
        for (int i = 0; i < h.haHBCount && i < h.haStatus.length; i++) {
            sample("velk_ha_heartbeat_status", "gauge", "Status of each heartbeat",
                    h.haStatus[i], "local", dotted(h.haLocal_Address[i]),
                    "remote", dotted(h.haRemote_Address[i]));
        }
    }

    private void cluster(Scrape.Cluster c) {
        CMNCluster r = c.report;
        sample("velk_cluster_info", "gauge", "A cluster and its address", 1, "cluster",
                r.sClusterId, "address", r.Address);
        emit(CLUSTER, r, "cluster", r.sClusterId);
        for (Scrape.Port p : c.ports) {
            emit(PORT, p.report, "cluster", p.report.ClusterId, "port",
                    String.valueOf(p.report.PortNumber));
            for (CMNServer s : p.servers) {
                emit(SERVER, s, "cluster", s.ClusterId, "port", String.valueOf(s.Port),
                        "server", s.sServerID);
            }
            for (CMNRule rule : p.rules) {
                emit(RULE, rule, "cluster", rule.ClusterId, "port",
                        String.valueOf(rule.PortNumber), "rule", rule.RuleName);
            }
        }
    }

    /** A family fed from one field of an object as its call wrote it. */
    private record Field<T>(String name, String type, String help, ToLongFunction<T> value) {
    }

    private static <T> Field<T> gauge(String name, String help, ToLongFunction<T> value) {
        return new Field<>(name, "gauge", help, value);
    }

    private static <T> Field<T> counter(String name, String help, ToLongFunction<T> value) {
        return new Field<>(name, "counter", help, value);
    }

    private <T> void emit(List<Field<T>> fields, T object, String... labels) {
        for (Field<T> f : fields) {
            sample(f.name(), f.type(), f.help(), f.value().applyAsLong(object), labels);
        }
    }

    private static final List<Field<CMNHAInfo>> HA = List.of(
            gauge("velk_ha_role", "The executor's high-availability role", h -> h.haRole),
            gauge("velk_ha_state", "The partner state machine's state", h -> h.haState),
            gauge("velk_ha_substate", "The partner state machine's substate", h -> h.haSubstate),
            gauge("velk_ha_peer", "The partner's peer setting", h -> h.haPeer));

    private static final List<Field<CMNCluster>> CLUSTER = List.of(
            gauge("velk_cluster_ports", "Ports of the cluster", r -> u32(r.NumPorts)),
            counter("velk_cluster_syns_on_active_total", "SYNs for connections already active",
                    r -> u32(r.SYNonActive)),
            counter("velk_cluster_syns_on_finned_total", "SYNs for connections already finished",
                    r -> u32(r.SYNonFINNed)),
            counter("velk_cluster_dropped_fins_total", "FINs dropped", r -> u32(r.FINs_Dropped)),
            counter("velk_cluster_dropped_acks_total", "ACKs dropped", r -> u32(r.ACKs_Dropped)),
            counter("velk_cluster_dropped_rsts_total", "RSTs dropped", r -> u32(r.RSTs_Dropped)),
            counter("velk_cluster_dropped_packets_total", "Packets dropped",
                    r -> u32(r.PKTs_Dropped)),
            counter("velk_cluster_packets_no_connection_total", "Packets for connections the "
                    + "executor does not hold", r -> u32(r.PKTnonExisting)),
            counter("velk_cluster_quiesced_new_total", "New connections that met only quiesced "
                    + "servers", r -> u32(r.QuiescNew)),
            gauge("velk_cluster_bytes_per_second", "Bytes per second through the cluster",
                    r -> u32(r.iBytesPerSecond)),
            gauge("velk_cluster_connections_per_second", "New connections per second of the "
                    + "cluster", r -> u32(r.iConnectionsPerSecond)));

    private static final List<Field<CMNPort>> PORT = List.of(
            gauge("velk_port_servers", "Servers of the port", r -> u32(r.NumServers)),
            gauge("velk_port_servers_down", "Servers of the port marked down",
                    r -> u32(r.NumNodesDown)),
            gauge("velk_port_servers_local", "Servers of the port on this host",
                    r -> u32(r.NumNodesLocal)),
            gauge("velk_port_max_weight", "The highest weight of the port's servers",
                    r -> u32(r.MaxWeight)),
            gauge("velk_port_active_connections", "Active connections of the port",
                    r -> u32(r.ActiveConnections)),
            gauge("velk_port_half_open_connections", "Half-open connections of the port",
                    r -> u32(r.iNumHalfOpen)),
            counter("velk_port_resets_sent_total", "RSTs the executor sent for the port",
                    r -> u32(r.iResetsSent)),
            gauge("velk_port_bytes_per_second", "Bytes per second through the port",
                    r -> u32(r.iBytesPerSecond)),
            gauge("velk_port_connections_per_second", "New connections per second of the port",
                    r -> u32(r.iConnectionsPerSecond)));

    /** Weight and quiesced setting from the status, the rest from the report. */
    private static final List<Field<CMNServer>> SERVER = List.of(
            gauge("velk_server_weight", "The server's weight", s -> s._iWeight),
            gauge("velk_server_quiesced", "The server's quiesced setting (nonzero: quiesced)",
                    s -> u32(s._iQuiesced)),
            counter("velk_server_connections_total", "Connections forwarded to the server",
                    s -> u32(s.TotalConnections)),
            counter("velk_server_tcp_connections_total", "TCP connections forwarded to the "
                    + "server", s -> u32(s.TotalTCPConnections)),
            counter("velk_server_udp_connections_total", "UDP connections forwarded to the "
                    + "server", s -> u32(s.TotalUDPConnections)),
            gauge("velk_server_active_connections", "Active connections of the server",
                    s -> u32(s.ActiveConnections)),
            gauge("velk_server_finished_connections", "Finished connections of the server",
                    s -> u32(s.FINishedConnections)),
            gauge("velk_server_complete_connections", "Complete connections of the server",
                    s -> u32(s.CompleteConnections)),
            gauge("velk_server_bytes_per_second", "Bytes per second through the server",
                    s -> u32(s.iBytesPerSecond)));

    private static final List<Field<CMNRule>> RULE = List.of(
            counter("velk_rule_fired_total", "Times the rule fired", r -> u32(r.TimesFired)),
            gauge("velk_rule_active_connections", "Active connections the rule chose",
                    r -> u32(r.ActiveConnections)),
            gauge("velk_rule_servers", "Servers bound to the rule", r -> u32(r.NumServers)),
            gauge("velk_rule_bytes_per_second", "Bytes per second through the rule",
                    r -> u32(r.iBytesPerSecond)),
            gauge("velk_rule_connections_per_second", "New connections per second of the rule",
                    r -> u32(r.iConnectionsPerSecond)));

    // ---- the text format -------------------------------------------------------------------

    private void sample(String name, String type, String help, Object value, String... labels) {
        Family f = families.computeIfAbsent(name, n -> new Family(type, help));
        f.samples.append(name);
        if (labels.length > 0) {
            f.samples.append('{');
            for (int i = 0; i + 1 < labels.length; i += 2) {
                f.samples.append(i == 0 ? "" : ",").append(labels[i]).append("=\"")
                        .append(labelValue(labels[i + 1])).append('"');
            }
            f.samples.append('}');
        }
        f.samples.append(' ').append(value).append('\n');
    }

    /** A label value with backslash, double quote and line feed escaped. */
    static String labelValue(String text) {
        if (text == null) {
            return "";
        }
        return text.replace("\\", "\\\\").replace("\"", "\\\"").replace("\n", "\\n");
    }

    static long u32(int value) {
        return Integer.toUnsignedLong(value);
    }

    static String u64(long value) {
        return Long.toUnsignedString(value);
    }

    /** A host-order address (first octet most significant) as dotted text. */
    static String dotted(int a) {
        return (a >>> 24) + "." + (a >>> 16 & 0xFF) + "." + (a >>> 8 & 0xFF) + "." + (a & 0xFF);
    }
}
