package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutor;
import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNPort;
import com.velk.internet.tz.common.CMNServer;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * What one scrape of velkctl metrics (and of the exporter) costs: library calls and
 * milliseconds, for clusters of 4 ports of 8 servers each, against the executor at
 * VELKLB_DEVICE. Prints a Markdown table.
 * <pre>ScrapeBench [--budget-ms N] [CLUSTERS...]</pre>
 */
public final class ScrapeBench {
    private static final int PORTS = 4;
    private static final int SERVERS = 8;

    private ScrapeBench() {
    }

    public static void main(String[] args) {
        long budgetNanos = 2_500_000_000L;
        List<Integer> sizes = new ArrayList<>();
        for (int i = 0; i < args.length; i++) {
            if (args[i].equals("--budget-ms")) {
                budgetNanos = Long.parseLong(args[++i]) * 1_000_000L;
            } else {
                sizes.add(Integer.parseInt(args[i]));
            }
        }
        CMNExecutorInterface api = new CMNExecutorInterface();
        CMNExecutor settings = new CMNExecutor();
        settings.MaxNumberOfClusters = 256;
        settings.SetMaxNumberOfClusters = 1;
        api.setExecutorStatusNative(settings);
        System.out.printf("### One scrape (velkctl metrics, the exporter): clusters of %d ports "
                + "of %d servers%n%n", PORTS, SERVERS);
        System.out.println("| clusters | servers | calls per scrape | median ms | p90 ms "
                + "| ms to render the text | text KiB |");
        System.out.println("|---:|---:|---:|---:|---:|---:|---:|");
        for (int clusters : sizes) {
            String refused = build(api, clusters);
            if (refused != null) {
                System.out.printf("| %d | %d | %s | | | | |%n", clusters,
                        clusters * PORTS * SERVERS, refused);
                continue;
            }
            List<Double> millis = new ArrayList<>();
            List<Double> render = new ArrayList<>();
            // Warm: the JIT compiles the scrape and the rendering before anything is timed.
            long warm = System.nanoTime() + budgetNanos / 4;
            Scrape s;
            String text;
            do {
                s = Scrape.take(api);
                text = Metrics.render(s);
            } while (System.nanoTime() < warm);
            long end = System.nanoTime() + budgetNanos;
            while (millis.size() < 5 || System.nanoTime() < end && millis.size() < 200) {
                s = Scrape.take(api);
                millis.add(s.seconds * 1000);
                long start = System.nanoTime();
                text = Metrics.render(s);
                render.add((System.nanoTime() - start) / 1e6);
            }
            Collections.sort(millis);
            Collections.sort(render);
            System.out.printf("| %d | %d | %d | %.1f | %.1f | %.1f | %d |%n", clusters,
                    clusters * PORTS * SERVERS, s.calls, millis.get(millis.size() / 2),
                    millis.get(millis.size() * 9 / 10), render.get(render.size() / 2),
                    text.length() / 1024);
        }
        System.out.println();
    }

    /** Removes every cluster, then adds the configuration; null, or why it could not. */
    private static String build(CMNExecutorInterface api, int clusters) {
        StringBuffer list = new StringBuffer();
        api.getClustersListNative(list);
        for (String id : Verb.items(list)) {
            api.removeClusterNative(new CMNCluster(id));
        }
        for (int c = 0; c < clusters; c++) {
            CMNCluster cluster = new CMNCluster("c" + c);
            cluster.Address = "10.2." + c / 250 + "." + (c % 250 + 1);
            cluster.SetIPAddress = 1;
            int result = api.addClusterNative(cluster);
            for (int p = 0; p < PORTS && result == 0; p++) {
                result = api.addPortNative(new CMNPort(cluster.sClusterId, 80 + p));
                for (int s = 0; s < SERVERS && result == 0; s++) {
                    CMNServer server = new CMNServer(cluster.sClusterId, 80 + p, "s" + s);
                    server.iServerIdKey = api.calcClusterIdKeyNative(server.sServerID, null);
                    result = api.addServerNative(server);
                }
            }
            if (result != 0) {
                return "refused (" + result + ") at cluster " + c;
            }
        }
        return null;
    }
}
