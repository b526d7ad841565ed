package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNPort;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Set;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** Ports of a cluster and their forwarding settings. */
@Command(name = "port", mixinStandardHelpOptions = true,
        description = "Ports of a cluster and their forwarding settings.")
final class PortCommands extends Verb.Group {
    static final Records.Kind<CMNPort> KIND = new Records.Kind<>("port", CMNPort.class,
            Set.of(), Set.of("ClusterId", "PortNumber"), Id::new,
            p -> "port " + p.ClusterId + ":" + p.PortNumber,
            List.of(new Api.Op<>(Api.addPortNative, CMNExecutorInterface::addPortNative),
                    new Api.Op<>(Api.setPortStatusNative, CMNExecutorInterface::setPortStatusNative),
                    new Api.Op<>(Api.removePortNative, CMNExecutorInterface::removePortNative),
                    new Api.Op<>(Api.getPortStatusNative, CMNExecutorInterface::getPortStatusNative),
                    new Api.Op<>(Api.getPortReportNative, CMNExecutorInterface::getPortReportNative),
                    new Api.Op<>(Api.setPortCPSNative, CMNExecutorInterface::setPortCPSNative)),
            (p, rate) -> p.iConnectionsPerSecond = rate);

    static CommandLine commandLine() {
        return Records.family(KIND, new PortCommands(), new Remove(), new ListVerb());
    }

    /** CLUSTER PORT. */
    static final class Id implements Records.Key<CMNPort> {
        @Parameters(index = "0", paramLabel = "CLUSTER", description = "the cluster's identifier")
        String cluster;
        @Parameters(index = "1", paramLabel = "PORT", description = "the port number",
                converter = Types.Number.class)
        int port;

        @Override
        public CMNPort make(CMNExecutorInterface api) {
            return new CMNPort(cluster, port);
        }
    }

    /** The library removes a port by its cluster's address: the cluster's own unless given. */
    @Command(name = "remove", mixinStandardHelpOptions = true,
            description = "Remove a port with its servers and rules.")
    static final class Remove extends Records.RecordVerb<CMNPort> {
        @Option(names = "--cluster-address", paramLabel = "ADDRESS",
                description = "the cluster's address (\"ClusterAddress\"; the cluster's own "
                        + "unless given)")
        String clusterAddress;

        Remove() {
            super(KIND);
        }

        @Override
        void run() throws Api.Failure {
            CMNPort p = target();
            p.ClusterAddress = clusterAddress;
            if (p.ClusterAddress == null) {
                CMNCluster cl = new CMNCluster(p.ClusterId);
                ClusterCommands.KIND.status.run(api(), cl, "cluster " + cl.sClusterId);
                p.ClusterAddress = cl.Address;
            }
            run(KIND.remove, p);
            out().note(KIND.label.apply(p) + ": removed");
        }
    }

    @Command(name = "list", mixinStandardHelpOptions = true,
            description = "List a cluster's ports, one row each.")
    static final class ListVerb extends Verb {
        @Parameters(index = "0", paramLabel = "CLUSTER", description = "the cluster's identifier")
        String id;

        @Override
        void run() throws Api.Failure {
            StringBuffer list = new StringBuffer();
            Api.check(api().getPortsListNative(id, list), Api.getPortsListNative, "cluster " + id);
            List<Map<String, Object>> rows = new ArrayList<>();
            for (String item : items(list)) {
                CMNPort p = new CMNPort(id, Types.number(item));
                run(p);
                rows.add(Output.row("port", p.PortNumber, "servers", p.NumServers,
                        "maxServers", p.MaxNumberOfServers, "weightBound", p.WeightBound,
                        "staleTimeout", p.StaleTimeout, "stickyTime", p.StickyTime,
                        "type", p.Type == 0 ? "" : String.valueOf(p.Type)));
            }
            out().list(rows, "PORT", "SERVERS", "MAX-SERVERS", "WEIGHT-BOUND", "STALE", "STICKY",
                    "TYPE");
        }

        private void run(CMNPort p) throws Api.Failure {
            KIND.status.run(api(), p, KIND.label.apply(p));
        }
    }
}
