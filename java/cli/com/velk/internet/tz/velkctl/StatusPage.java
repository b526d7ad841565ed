package com.velk.internet.tz.velkctl;

import static com.velk.internet.tz.velkctl.Metrics.u32;
import static com.velk.internet.tz.velkctl.Metrics.u64;

import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutorReport;
import com.velk.internet.tz.common.CMNHAInfo;
import com.velk.internet.tz.common.CMNPort;
import com.velk.internet.tz.common.CMNRule;
import com.velk.internet.tz.common.CMNServer;
import java.time.Instant;

/**
 * The exporter's status page: one scrape as plain HTML and CSS, rendered here so that no script
 * is needed to read it. The executor on top, then one table per cluster with its ports and
 * their servers. Every text that came from the executor is escaped.
 */
final class StatusPage {
    private static final String STYLE = "body{font:14px sans-serif;margin:1em;color:#222}"
            + "table{border-collapse:collapse;margin:0 0 1.2em 0}"
            + "th,td{border:1px solid #bbb;padding:2px 8px;text-align:right}"
            + "th:first-child,td:first-child{text-align:left}"
            + "caption{text-align:left;font-weight:bold;padding:4px 0}"
            + "thead th{background:#dde}tr.port th{background:#eef;text-align:left}"
            + "tr.up td.state{background:#cfc}tr.down td.state{background:#fbb}"
            + "tr.quiesced td.state{background:#fe9}tr.unknown td.state{background:#eee}"
            + ".down-banner{background:#fbb;padding:6px}";

    private final StringBuilder html = new StringBuilder();

    private StatusPage() {
    }

    /** The page of one scrape; the query "refresh=N" (1 to 3600) reloads it every N seconds. */
    static String render(Scrape s, String query) {
        StatusPage p = new StatusPage();
        p.html.append("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                + "<title>Executor status</title>");
        int refresh = refresh(query);
        if (refresh > 0) {
            p.html.append("<meta http-equiv=\"refresh\" content=\"").append(refresh)
                    .append("\">");
        }
        p.html.append("<style>").append(STYLE).append("</style></head><body>\n");
        p.html.append("<h1>Executor status</h1>\n<p>Read at ")
                .append(Instant.ofEpochMilli(s.startedMillis)).append(" in ")
                .append(String.format("%.1f", s.seconds * 1000)).append(" ms (")
                .append(s.calls).append(" calls).</p>\n");
        if (!s.up()) {
            p.html.append("<p class=\"down-banner\" id=\"executor-down\">The executor does not "
                    + "answer.</p>\n");
        } else {
            p.executor(s.executor);
            p.ha(s.ha);
            for (Scrape.Cluster c : s.clusters) {
                p.cluster(c);
            }
        }
        p.html.append("</body></html>\n");
        return p.html.toString();
    }

    private static int refresh(String query) {
        if (query != null) {
            for (String pair : query.split("&")) {
                if (pair.matches("refresh=\\d{1,4}")) {
                    int n = Integer.parseInt(pair.substring(8));
                    return n <= 3600 ? n : 0;
                }
            }
        }
        return 0;
    }

    private void executor(CMNExecutorReport r) {
        html.append("<table id=\"executor\"><caption>Executor</caption>\n");
        row("th", "version", "non-forwarding address", "started", "clusters", "bytes/s",
                "connections/s");
        row("td", r.Version, r.NFA, Instant.ofEpochSecond(u32(r.iTimeStarted)).toString(),
                u32(r.NumClusters), u32(r.iBytesPerSecond), u32(r.iConnectionsPerSecond));
        html.append("</table>\n<table id=\"packets\"><caption>Packets</caption>\n");
        row("th", "received", "forwarded", "forward error", "discarded", "error", "local",
                "own address", "too short", "not forwarded", "not for executor", "broadcast");
        row("td", u64(r.Pcktotal), u64(r.PckVECforward), u64(r.Pckforwarderr),
                u64(r.PckVECdiscard), u64(r.PckVECerror), u64(r.PckVEClocal),
                u64(r.PckVECownaddr), u64(r.Pcktoshort), u64(r.Pcknonforw), u64(r.PcknotVEC),
                u64(r.PckVECbroadcast));
        html.append("</table>\n");
    }

    private void ha(CMNHAInfo h) {
        html.append("<table id=\"ha\"><caption>High availability</caption>\n");
        if (h == null) {
            row("td", "not available");
        } else {
            row("th", "role", "state", "substate", "peer", "heartbeats");
            StringBuilder beats = new StringBuilder();
            for (int i = 0; i < h.haHBCount && i < h.haStatus.length; i++) {
                beats.append(i == 0 ? "" : ", ").append(Metrics.dotted(h.haLocal_Address[i]))
                        .append(" \u2192 ").append(Metrics.dotted(h.haRemote_Address[i]))
                        .append(": ").append(h.haStatus[i]);
            }
            row("td", h.haRole, h.haState, h.haSubstate, h.haPeer,
                    beats.length() == 0 ? "none" : beats);
        }
        html.append("</table>\n");
    }

    private void cluster(Scrape.Cluster c) {
        CMNCluster r = c.report;
        html.append("<table class=\"cluster\" data-cluster=\"").append(escape(r.sClusterId))
                .append("\"><caption>Cluster ").append(escape(r.sClusterId)).append(" \u2014 ")
                .append(escape(r.Address)).append(" \u2014 ").append(u32(r.NumPorts))
                .append(" ports, ").append(u32(r.iBytesPerSecond)).append(" bytes/s, ")
                .append(u32(r.iConnectionsPerSecond)).append(" connections/s, ")
                .append(u32(r.PKTs_Dropped)).append(" dropped</caption>\n<thead>");
        row("th", "server", "state", "weight", "total", "active", "finished", "complete",
                "bytes/s");
        html.append("</thead>\n");
        for (Scrape.Port p : c.ports) {
            port(r.sClusterId, p);
        }
        html.append("</table>\n");
    }

    private void port(String cluster, Scrape.Port p) {
        CMNPort r = p.report;
        String key = cluster + ":" + r.PortNumber;
        html.append("<tbody data-port=\"").append(escape(key)).append("\"><tr class=\"port\">"
                + "<th colspan=\"8\">Port ").append(r.PortNumber).append(": ")
                .append(u32(r.NumServers)).append(" servers, ").append(u32(r.NumNodesDown))
                .append(" down, ").append(u32(r.ActiveConnections)).append(" active, ")
                .append(u32(r.iNumHalfOpen)).append(" half-open, ")
                .append(u32(r.iConnectionsPerSecond)).append(" connections/s");
        for (CMNRule rule : p.rules) {
            html.append("; rule ").append(escape(rule.RuleName)).append(" fired ")
                    .append(u32(rule.TimesFired));
        }
        html.append("</th></tr>\n");
        for (CMNServer s : p.servers) {
            String state = state(s, r, p.servers.size());
            html.append("<tr class=\"server ").append(state).append("\" data-server=\"")
                    .append(escape(key + ":" + s.sServerID)).append("\">");
            cells("td", s.sServerID);
            html.append("<td class=\"state\">")
                    .append(state.equals("unknown") ? "up or down" : state).append("</td>");
            cells("td", s._iWeight, u32(s.TotalConnections), u32(s.ActiveConnections),
                    u32(s.FINishedConnections), u32(s.CompleteConnections),
                    u32(s.iBytesPerSecond));
            html.append("</tr>\n");
        }
        html.append("</tbody>\n");
    }

    /**
     * No answer marks one server up or down; the port report counts its servers marked down.
     * So a server is quiesced by its own setting, and otherwise up when none of its port's
     * servers is down, down when all are, and unknown in between.
     */
    static String state(CMNServer s, CMNPort port, int servers) {
        if (s._iQuiesced != 0) {
            return "quiesced";
        }
        long down = u32(port.NumNodesDown);
        return down == 0 ? "up" : down >= servers ? "down" : "unknown";
    }

    private void row(String cell, Object... values) {
        html.append("<tr>");
        cells(cell, values);
        html.append("</tr>\n");
    }

    private void cells(String cell, Object... values) {
        for (Object v : values) {
            html.append('<').append(cell).append('>').append(escape(String.valueOf(v))).append("</").append(cell).append('>');
        }
    }

    static String escape(String text) {
        if (text == null) {
            return "";
        }
        StringBuilder out = new StringBuilder(text.length());
        for (char ch : text.toCharArray()) {
            switch (ch) {
                case '&' -> out.append("&amp;");
                case '<' -> out.append("&lt;");
                case '>' -> out.append("&gt;");
                case '"' -> out.append("&quot;");
                case '\'' -> out.append("&#39;");
                default -> out.append(ch);
            }
        }
        return out.toString();
    }
}
