package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNExecutorReport;
import com.velk.internet.tz.common.CMNHAInfo;
import com.velk.internet.tz.common.CMNPort;
import com.velk.internet.tz.common.CMNRule;
import com.velk.internet.tz.common.CMNServer;
import java.util.ArrayList;
import java.util.List;

/**
 * One reading of the executor's state for the metrics and the status page: the executor report,
 * the partner state, and every cluster, port, server and rule with its report. The lists carry
 * every object of their kind at once; each object then costs one report call (servers two: the
 * status for weight and quiesced setting, the report for the connection counters). An object
 * whose call is refused (removed between its list and its report) is left out of the reading,
 * and every object holds only what its own calls wrote.
 */
final class Scrape {
    /** A port's report, its servers (status and report) and its rules (rule reports). */
    static final class Port {
        final CMNPort report;
        final List<CMNServer> servers = new ArrayList<>();
        final List<CMNRule> rules = new ArrayList<>();

        Port(CMNPort report) {
            this.report = report;
        }
    }

    /** A cluster's report and its ports. */
    static final class Cluster {
        final CMNCluster report;
        final List<Port> ports = new ArrayList<>();

        Cluster(CMNCluster report) {
            this.report = report;
        }
    }

    /** The most server keys one list answer carries. */
    private static final int MAX_SERVERS = 726;

    /** The executor report; null when the executor did not answer (velk_up 0). */
    CMNExecutorReport executor;
    /** The partner state; null when its call was refused. */
    CMNHAInfo ha;
    final List<Cluster> clusters = new ArrayList<>();
    /** Library calls this reading made, and how many of them were refused. */
    int calls;
    int refused;
    /** When the reading began and how long it took. */
    long startedMillis;
    double seconds;

    private final CMNExecutorInterface api;

    private Scrape(CMNExecutorInterface api) {
        this.api = api;
    }

    /** Reads everything once. The caller makes sure no other reading runs at the same time. */
    static Scrape take(CMNExecutorInterface api) {
        Scrape s = new Scrape(api);
        s.startedMillis = System.currentTimeMillis();
        long start = System.nanoTime();
        s.read();
        s.seconds = (System.nanoTime() - start) / 1e9;
        return s;
    }

    boolean up() {
        return executor != null;
    }

    private boolean ok(int result) {
        calls++;
        if (result != 0) {
            refused++;
        }
        return result == 0;
    }

    private void read() {
        CMNExecutorReport report = new CMNExecutorReport();
        if (!ok(api.getExecutorReportNative(report))) {
            return;
        }
        executor = report;
        CMNHAInfo info = new CMNHAInfo();
        if (ok(api.getHAInfoNative(info))) {
            ha = info;
        }
        StringBuffer list = new StringBuffer();
        if (!ok(api.getClustersListNative(list))) {
            return;
        }
        for (String id : Verb.items(list)) {
            CMNCluster cluster = new CMNCluster(id);
            if (ok(api.getClusterReportNative(cluster))) {
                Cluster c = new Cluster(cluster);
                clusters.add(c);
                readPorts(c, id);
            }
        }
    }

    private void readPorts(Cluster c, String id) {
        StringBuffer list = new StringBuffer();
        if (!ok(api.getPortsListNative(id, list))) {
            return;
        }
        for (String item : Verb.items(list)) {
            CMNPort port = new CMNPort(id, Integer.parseInt(item));
            if (ok(api.getPortReportNative(port))) {
                Port p = new Port(port);
                c.ports.add(p);
                readServers(p, id, port.PortNumber);
                readRules(p, id, port.PortNumber);
            }
        }
    }

    private void readServers(Port p, String id, int port) {
        StringBuffer list = new StringBuffer();
        int[] keys = new int[MAX_SERVERS];
        if (!ok(api.getServersListNative(id, port, list, keys))) {
            return;
        }
        int i = 0;
        for (String name : Verb.items(list)) {
            CMNServer server = new CMNServer(id, port, name);
            server.iServerIdKey = keys[i++];
            if (ok(api.getServerStatusNative(server)) && ok(api.getServerReportNative(server))) {
                p.servers.add(server);
            }
        }
    }

    private void readRules(Port p, String id, int port) {
        StringBuffer list = new StringBuffer();
        if (!ok(api.getRulesListNative(id, port, list))) {
            return;
        }
        for (String name : Verb.items(list)) {
            CMNRule rule = new CMNRule(id, port, name);
            if (ok(api.getRuleReportNative(rule))) {
                p.rules.add(rule);
            }
        }
    }
}
