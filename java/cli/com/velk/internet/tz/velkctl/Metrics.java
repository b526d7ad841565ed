package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutorReport;
import com.velk.internet.tz.common.CMNHAInfo;
import com.velk.internet.tz.common.CMNPort;
import com.velk.internet.tz.common.CMNRule;
import com.velk.internet.tz.common.CMNServer;
import java.util.LinkedHashMap;
import java.util.Map;
import picocli.CommandLine;
import picocli.CommandLine.Model.CommandSpec;
import picocli.CommandLine.Model.OptionSpec;

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
        CommandSpec metrics = CommandSpec.wrapWithoutInspection((Velkctl.Probing) c -> {
            Scrape s = Scrape.take(c.api);
            c.out.print(render(s));
        }).name("metrics").mixinStandardHelpOptions(true);
        metrics.usageMessage().description("Print one scrape of the executor's counters in the "
                + "Prometheus text format (velk_up 0 when the executor does not answer).");
        root.addSubcommand("metrics", metrics);
        CommandSpec exporter = CommandSpec.wrapWithoutInspection((Velkctl.Probing) c ->
                Exporter.serve(c.api, c.option("--listen")))
                .name("exporter").mixinStandardHelpOptions(true);
        exporter.usageMessage().description("Serve the scrape at /metrics and a status page at / "
                + "over HTTP until stopped (SIGTERM).");
        exporter.addOption(OptionSpec.builder("--listen").type(String.class)
                .paramLabel("ADDRESS:PORT").defaultValue(Exporter.DEFAULT_LISTEN)
                .description("where to listen (${DEFAULT-VALUE}, loopback)").build());
        root.addSubcommand("exporter", exporter);
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
        rates("executor", r.iBytesPerSecond, r.iConnectionsPerSecond);
    }

    private void ha(CMNHAInfo h) {
        sample("velk_ha_role", "gauge", "The executor's high-availability role", h.haRole);
        sample("velk_ha_state", "gauge", "The partner state machine's state", h.haState);
        sample("velk_ha_substate", "gauge", "The partner state machine's substate",
                h.haSubstate);
        sample("velk_ha_peer", "gauge", "The partner's peer setting", h.haPeer);
        for (int i = 0; i < h.haHBCount && i < h.haStatus.length; i++) {
            sample("velk_ha_heartbeat_status", "gauge", "Status of each heartbeat",
                    h.haStatus[i], "local", dotted(h.haLocal_Address[i]),
                    "remote", dotted(h.haRemote_Address[i]));
        }
    }

    private void cluster(Scrape.Cluster c) {
        CMNCluster r = c.report;
        String[] l = {"cluster", r.sClusterId};
        sample("velk_cluster_info", "gauge", "A cluster and its address", 1, "cluster",
                r.sClusterId, "address", r.Address);
        sample("velk_cluster_ports", "gauge", "Ports of the cluster", u32(r.NumPorts), l);
        sample("velk_cluster_syns_on_active_total", "counter", "SYNs for connections already "
                + "active", u32(r.SYNonActive), l);
        sample("velk_cluster_syns_on_finned_total", "counter", "SYNs for connections already "
                + "finished", u32(r.SYNonFINNed), l);
        sample("velk_cluster_dropped_fins_total", "counter", "FINs dropped", u32(r.FINs_Dropped),
                l);
        sample("velk_cluster_dropped_acks_total", "counter", "ACKs dropped", u32(r.ACKs_Dropped),
                l);
        sample("velk_cluster_dropped_rsts_total", "counter", "RSTs dropped", u32(r.RSTs_Dropped),
                l);
        sample("velk_cluster_dropped_packets_total", "counter", "Packets dropped",
                u32(r.PKTs_Dropped), l);
        sample("velk_cluster_packets_no_connection_total", "counter", "Packets for connections "
                + "the executor does not hold", u32(r.PKTnonExisting), l);
        sample("velk_cluster_quiesced_new_total", "counter", "New connections that met only "
                + "quiesced servers", u32(r.QuiescNew), l);
        rates("cluster", r.iBytesPerSecond, r.iConnectionsPerSecond, l);
        for (Scrape.Port p : c.ports) {
            port(p);
        }
    }

    private void port(Scrape.Port p) {
        CMNPort r = p.report;
        String[] l = {"cluster", r.ClusterId, "port", String.valueOf(r.PortNumber)};
        sample("velk_port_servers", "gauge", "Servers of the port", u32(r.NumServers), l);
        sample("velk_port_servers_down", "gauge", "Servers of the port marked down",
                u32(r.NumNodesDown), l);
        sample("velk_port_servers_local", "gauge", "Servers of the port on this host",
                u32(r.NumNodesLocal), l);
        sample("velk_port_max_weight", "gauge", "The highest weight of the port's servers",
                u32(r.MaxWeight), l);
        sample("velk_port_active_connections", "gauge", "Active connections of the port",
                u32(r.ActiveConnections), l);
        sample("velk_port_half_open_connections", "gauge", "Half-open connections of the port",
                u32(r.iNumHalfOpen), l);
        sample("velk_port_resets_sent_total", "counter", "RSTs the executor sent for the port",
                u32(r.iResetsSent), l);
        rates("port", r.iBytesPerSecond, r.iConnectionsPerSecond, l);
        for (CMNServer s : p.servers) {
            server(s);
        }
        for (CMNRule rule : p.rules) {
            rule(rule);
        }
    }

    private void server(CMNServer s) {
        String[] l = {"cluster", s.ClusterId, "port", String.valueOf(s.Port), "server",
            s.sServerID};
        sample("velk_server_weight", "gauge", "The server's weight", s._iWeight, l);
        sample("velk_server_quiesced", "gauge", "The server's quiesced setting (nonzero: "
                + "quiesced)", u32(s._iQuiesced), l);
        sample("velk_server_connections_total", "counter", "Connections forwarded to the server",
                u32(s.TotalConnections), l);
        sample("velk_server_tcp_connections_total", "counter", "TCP connections forwarded to "
                + "the server", u32(s.TotalTCPConnections), l);
        sample("velk_server_udp_connections_total", "counter", "UDP connections forwarded to "
                + "the server", u32(s.TotalUDPConnections), l);
        sample("velk_server_active_connections", "gauge", "Active connections of the server",
                u32(s.ActiveConnections), l);
        sample("velk_server_finished_connections", "gauge", "Finished connections of the server",
                u32(s.FINishedConnections), l);
        sample("velk_server_complete_connections", "gauge", "Complete connections of the server",
                u32(s.CompleteConnections), l);
        sample("velk_server_bytes_per_second", "gauge", "Bytes per second through the server",
                u32(s.iBytesPerSecond), l);
    }

    private void rule(CMNRule r) {
        String[] l = {"cluster", r.ClusterId, "port", String.valueOf(r.PortNumber), "rule",
            r.RuleName};
        sample("velk_rule_fired_total", "counter", "Times the rule fired", u32(r.TimesFired), l);
        sample("velk_rule_active_connections", "gauge", "Active connections the rule chose",
                u32(r.ActiveConnections), l);
        sample("velk_rule_servers", "gauge", "Servers bound to the rule", u32(r.NumServers), l);
        rates("rule", r.iBytesPerSecond, r.iConnectionsPerSecond, l);
    }

    private void rates(String what, int bytes, int connections, String... labels) {
        sample("velk_" + what + "_bytes_per_second", "gauge", "Bytes per second through the "
                + what, u32(bytes), labels);
        sample("velk_" + what + "_connections_per_second", "gauge", "New connections per second "
                + "of the " + what, u32(connections), labels);
    }

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
