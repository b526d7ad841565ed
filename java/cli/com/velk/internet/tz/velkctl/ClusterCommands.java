package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutorInterface;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Set;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Parameters;

/** Clusters: an identifier, an address and their port defaults. */
@Command(name = "cluster", mixinStandardHelpOptions = true,
        description = "Clusters: an identifier, an address and their port defaults.")
final class ClusterCommands extends Verb.Group {
    static final Records.Kind<CMNCluster> KIND = new Records.Kind<>("cluster", CMNCluster.class,
            Set.of(), Set.of("sClusterId"), Id::new, c -> "cluster " + c.sClusterId,
            List.of(new Api.Op<>(Api.addClusterNative, CMNExecutorInterface::addClusterNative),
                    new Api.Op<>(Api.setClusterStatusNative,
                            CMNExecutorInterface::setClusterStatusNative),
                    new Api.Op<>(Api.removeClusterNative, CMNExecutorInterface::removeClusterNative),
                    new Api.Op<>(Api.getClusterStatusNative,
                            CMNExecutorInterface::getClusterStatusNative),
                    new Api.Op<>(Api.getClusterReportNative,
                            CMNExecutorInterface::getClusterReportNative),
                    new Api.Op<>(Api.setClusterCPSNative, CMNExecutorInterface::setClusterCPSNative)),
            (c, rate) -> c.iConnectionsPerSecond = rate);

    static {
        KIND.added = c -> String.format("cluster %s: added, ID key 0x%08X", c.sClusterId,
                c.iClusterIdKey);
    }

    static CommandLine commandLine() {
        return Records.family(KIND, new ClusterCommands(), new ListVerb());
    }

    /** CLUSTER. */
    static final class Id implements Records.Key<CMNCluster> {
        @Parameters(index = "0", paramLabel = "CLUSTER", description = "the cluster's identifier")
        String id;

        @Override
        public CMNCluster make(CMNExecutorInterface api) {
            return new CMNCluster(id);
        }
    }

    @Command(name = "list", mixinStandardHelpOptions = true,
            description = "List the clusters, one row each.")
    static final class ListVerb extends Verb {
        @Override
        void run() throws Api.Failure {
            StringBuffer list = new StringBuffer();
            Api.check(api().getClustersListNative(list), Api.getClustersListNative, "clusters");
            List<Map<String, Object>> rows = new ArrayList<>();
            for (String id : items(list)) {
                CMNCluster cl = new CMNCluster(id);
                KIND.status.run(api(), cl, "cluster " + id);
                rows.add(Output.row("cluster", id, "key", String.format("0x%08X", cl.iClusterIdKey),
                        "address", cl.Address, "ports", cl.NumPorts,
                        "maxPorts", cl.MaxNumberOfPorts, "primaryHost", cl.sPrimaryHost));
            }
            out().list(rows, "CLUSTER", "KEY", "ADDRESS", "PORTS", "MAX-PORTS", "PRIMARY-HOST");
        }
    }
}
