package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNExecutor;
import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNExecutorReport;
import com.velk.internet.tz.common.CMNWeights;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** The executor's settings and service, and the weights of a port's servers. */
final class ExecutorCommands {
    /** The fields of the executor's settings that set reads. */
    static final Set<String> ALWAYS = Set.of("sPluginConfigFileName");

    private ExecutorCommands() {
    }

    static CommandLine executor() {
        CommandLine line = new CommandLine(new Executor());
        line.addSubcommand(new Show());
        CommandLine set = new CommandLine(new Change());
        FieldOptions.add(set.getCommandSpec(), CMNExecutor.class, ALWAYS, Set.of());
        line.addSubcommand(set);
        line.addSubcommand(new Report());
        line.addSubcommand(new Down());
        return line;
    }

    static CommandLine weights() {
        CommandLine line = new CommandLine(new Weights());
        line.addSubcommand(new WeightsShow());
        line.addSubcommand(new WeightsSet());
        return line;
    }

    static CMNExecutor status(CMNExecutorInterface api) throws Api.Failure {
        CMNExecutor e = new CMNExecutor();
        Api.check(api.getExecutorStatusNative(e), Api.getExecutorStatusNative, "executor");
        return e;
    }

    @Command(name = "executor", mixinStandardHelpOptions = true,
            description = "The executor: its settings, report and service.")
    static final class Executor extends Verb.Group {
    }

    @Command(name = "show", mixinStandardHelpOptions = true,
            description = "Show the executor's settings.")
    static final class Show extends Verb {
        @Override
        void run() throws Api.Failure {
            out().show(Output.record(status(api())));
        }
    }

    @Command(name = "set", mixinStandardHelpOptions = true,
            description = "Change the executor's settings given as options.")
    static final class Change extends Verb {
        @Option(names = "--connections-per-second", paramLabel = "N",
                converter = Types.Number.class,
                description = "the connection rate limit (\"iConnectionsPerSecond\")")
        Integer rate;

        @Override
        void run() throws Api.Failure {
            CMNExecutor e = new CMNExecutor();
            applyFields(e);
            Api.check(api().setExecutorStatusNative(e), Api.setExecutorStatusNative, "executor");
            if (rate != null) {
                e.iConnectionsPerSecond = rate;
                Api.check(api().setExecutorCPSNative(e), Api.setExecutorCPSNative, "executor");
            }
            out().note("executor: settings changed");
        }
    }

    @Command(name = "report", mixinStandardHelpOptions = true,
            description = "Show the executor's version, start time and packet counters.")
    static final class Report extends Verb {
        @Override
        void run() throws Api.Failure {
            CMNExecutorReport r = new CMNExecutorReport();
            Api.check(api().getExecutorReportNative(r), Api.getExecutorReportNative, "executor");
            out().show(Output.record(r));
        }
    }

    @Command(name = "down", mixinStandardHelpOptions = true,
            description = "Stop the executor service.")
    static final class Down extends Verb {
        @Override
        void run() throws Api.Failure {
            String result = api().stopExecutorNative();
            if (!"EOK".equals(result)) {
                throw Api.refused("executor: the service could not be stopped (" + result + ")");
            }
            out().note("executor: stopped");
        }
    }

    // ---- weights ---------------------------------------------------------------------------

    @Command(name = "weights", mixinStandardHelpOptions = true,
            description = "The weights of a port's servers, all at once.")
    static final class Weights extends Verb.Group {
    }

    /** CLUSTER PORT of the weights verbs. */
    static final class PortKey {
        @Parameters(index = "0", paramLabel = "CLUSTER", description = "the cluster's identifier")
        String cluster;
        @Parameters(index = "1", paramLabel = "PORT", description = "the port number",
                converter = Types.Number.class)
        int port;

        String label() {
            return "weights of " + cluster + ":" + port;
        }
    }

    /** The weights of the port's servers, asked for by the keys the server list gave. */
    static CMNWeights readWeights(CMNExecutorInterface api, String cluster, int port)
            throws Api.Failure {
        List<com.velk.internet.tz.common.CMNServer> servers =
                ServerCommands.list(api, cluster, port);
        CMNWeights w = new CMNWeights(servers.size());
        w.sClusterID = cluster;
        w.iPortNumber = port;
        for (int i = 0; i < servers.size(); i++) {
            w.iServerIdKey[i] = servers.get(i).iServerIdKey;
        }
        if (!servers.isEmpty()) {
            Api.check(api.getServerWeightsNative(w, servers.size()), Api.getServerWeightsNative,
                    "weights of " + cluster + ":" + port);
        }
        return w;
    }

    /** Sets the weights of the servers named, in one request. */
    static void writeWeights(CMNExecutorInterface api, String cluster, int port,
                             Map<String, Integer> weights, Map<String, Boolean> fixed)
            throws Api.Failure {
        CMNWeights w = new CMNWeights(weights.size());
        w.sClusterID = cluster;
        w.iPortNumber = port;
        int i = 0;
        for (Map.Entry<String, Integer> e : weights.entrySet()) {
            w.sServerId[i] = e.getKey();
            w.iServerIdKey[i] = api.calcClusterIdKeyNative(e.getKey(), null);
            w.iWeight[i] = e.getValue();
            w.bFixedWeight[i] = (byte) (fixed.getOrDefault(e.getKey(), false) ? 1 : 0);
            i++;
        }
        Api.check(api.setServerWeightsNative(w, weights.size()), Api.setServerWeightsNative,
                "weights of " + cluster + ":" + port);
    }

    @Command(name = "show", mixinStandardHelpOptions = true,
            description = "Show the weights of a port's servers, one row each.")
    static final class WeightsShow extends Verb {
        @CommandLine.Mixin
        PortKey key;

        @Override
        void run() throws Api.Failure {
            CMNWeights w = readWeights(api(), key.cluster, key.port);
            List<Map<String, Object>> rows = new ArrayList<>();
            for (int i = 0; i < w.iWeight.length; i++) {
                rows.add(Output.row("server", w.sServerId[i],
                        "key", String.format("0x%08X", w.iServerIdKey[i]),
                        "weight", w.iWeight[i], "fixed", w.bFixedWeight[i],
                        "address", out().address(w.iAddress[i]), "result", w.iRC[i]));
            }
            out().list(rows, "SERVER", "KEY", "WEIGHT", "FIXED", "ADDRESS", "RESULT");
        }
    }

    @Command(name = "set", mixinStandardHelpOptions = true,
            description = "Set the weights of the servers named.")
    static final class WeightsSet extends Verb {
        @CommandLine.Mixin
        PortKey key;
        @Option(names = "--weight", paramLabel = "SERVER=WEIGHT",
                description = "a server and its new weight (\"iWeight\"); repeat for more")
        LinkedHashMap<String, Integer> weights;
        @Option(names = "--fixed", description = "keep the weights fixed (\"bFixedWeight\")")
        boolean fixed;

        @Override
        void run() throws Api.Failure {
            if (weights == null) {
                throw Api.badUsage("weights set: give --weight SERVER=WEIGHT at least once");
            }
            Map<String, Boolean> fixedness = new LinkedHashMap<>();
            weights.keySet().forEach(id -> fixedness.put(id, fixed));
            writeWeights(api(), key.cluster, key.port, weights, fixedness);
            out().note(key.label() + ": set");
        }
    }
}
