package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNListener;
import com.velk.internet.tz.common.CMNServer;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Set;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** Servers behind a port, their weights and listeners. */
@Command(name = "server", mixinStandardHelpOptions = true,
        description = "Servers behind a port, their weights and listeners.")
final class ServerCommands extends Verb.Group {
    /** The most servers one list answer of the executor holds. */
    static final int MAX_LISTED = 726;

    static final Records.Kind<CMNServer> KIND = new Records.Kind<>("server", CMNServer.class,
            Set.of("IsRemote"), Set.of("sServerID", "ClusterId", "Port", "_iNumListeners"),
            Id::new, s -> "server " + s.sServerID + " on " + s.ClusterId + ":" + s.Port,
            List.of(new Api.Op<>(Api.addServerNative, CMNExecutorInterface::addServerNative),
                    new Api.Op<>(Api.setServerStatusNative,
                            CMNExecutorInterface::setServerStatusNative),
                    new Api.Op<>(Api.removeServerNative, CMNExecutorInterface::removeServerNative),
                    new Api.Op<>(Api.getServerStatusNative,
                            CMNExecutorInterface::getServerStatusNative),
                    new Api.Op<>(Api.getServerReportNative,
                            CMNExecutorInterface::getServerReportNative),
                    new Api.Op<>(Api.setServerCPSNative, CMNExecutorInterface::setServerCPSNative)),
            (s, rate) -> s._iCPSCount = rate);
    static final Api.Op<CMNServer> UP =
            new Api.Op<>(Api.setServerUpNative, CMNExecutorInterface::setServerUpNative);
    static final Api.Op<CMNServer> DOWN =
            new Api.Op<>(Api.setServerDownNative, CMNExecutorInterface::setServerDownNative);

    static {
        KIND.added = s -> String.format("%s: added, ID key 0x%08X", KIND.label.apply(s),
                s.iServerIdKey);
        KIND.extra = Listeners::new;
    }

    static CommandLine commandLine() {
        return Records.family(KIND, new ServerCommands(), new Mark("up", UP),
                new Mark("down", DOWN), new Show(), new Report(), new ListVerb());
    }

    /** A server record named by its identifier, with its ID key as the executor keys it. */
    static CMNServer server(CMNExecutorInterface api, String cluster, int port, String id) {
        CMNServer s = new CMNServer(cluster, port, id);
        s.iServerIdKey = api.calcClusterIdKeyNative(id, null);
        return s;
    }

    /** CLUSTER PORT SERVER. */
    static final class Id implements Records.Key<CMNServer> {
        @Parameters(index = "0", paramLabel = "CLUSTER", description = "the cluster's identifier")
        String cluster;
        @Parameters(index = "1", paramLabel = "PORT", description = "the port number",
                converter = Types.Number.class)
        int port;
        @Parameters(index = "2", paramLabel = "SERVER", description = "the server's identifier")
        String id;

        @Override
        public CMNServer make(CMNExecutorInterface api) {
            return server(api, cluster, port, id);
        }
    }

    /** --listener, for add and set. */
    static final class Listeners implements Records.Extra<CMNServer> {
        @Option(names = "--listener", paramLabel = "ADDRESS:PORT[:PROTOCOL]",
                converter = Types.Listener.class,
                description = "a listener of the server (twice for two); the protocol is 6 (TCP) "
                        + "unless given (\"SetListeners\")")
        List<CMNListener> listeners = new ArrayList<>();

        @Override
        public void prepare(CMNServer s) {
            listeners.forEach(s::addListener);
            if (!listeners.isEmpty()) {
                s.SetListeners = 1;
            }
        }
    }

    @Command(mixinStandardHelpOptions = true)
    static final class Mark extends Records.RecordVerb<CMNServer> {
        private final String state;
        private final Api.Op<CMNServer> op;

        Mark(String state, Api.Op<CMNServer> op) {
            super(KIND);
            this.state = state;
            this.op = op;
        }

        @Override
        String name() {
            return state;
        }

        @Override
        void run() throws Api.Failure {
            CMNServer s = target();
            run(op, s);
            out().note(KIND.label.apply(s) + ": " + state);
        }
    }

    @Command(name = "show", mixinStandardHelpOptions = true,
            description = "Show a server's settings and listeners.")
    static final class Show extends Records.RecordVerb<CMNServer> {
        Show() {
            super(KIND);
        }

        @Override
        void run() throws Api.Failure {
            CMNServer s = target();
            run(KIND.status, s);
            Map<String, Object> record = Output.record(s);
            int i = 0;
            for (CMNListener l : s.getListeners()) {
                record.put("listener" + i++, out().address(l._iAddress) + ":" + l._iMapPort
                        + " protocol " + l._iProtocol);
            }
            out().show(record);
        }
    }

    /** Reads the status first, so that every field of the report shows. */
    @Command(name = "report", mixinStandardHelpOptions = true,
            description = "Show a server's connection counters.")
    static final class Report extends Records.RecordVerb<CMNServer> {
        Report() {
            super(KIND);
        }

        @Override
        void run() throws Api.Failure {
            CMNServer s = target();
            run(KIND.status, s);
            run(KIND.report, s);
            out().show(Output.record(s));
        }
    }

    /** The identifiers and ID keys of a port's servers, in the executor's order. */
    static List<CMNServer> list(CMNExecutorInterface api, String cluster, int port)
            throws Api.Failure {
        StringBuffer list = new StringBuffer();
        int[] keys = new int[MAX_LISTED];
        Api.check(api.getServersListNative(cluster, port, list, keys), Api.getServersListNative,
                "port " + cluster + ":" + port);
        List<CMNServer> servers = new ArrayList<>();
        for (String id : Verb.items(list)) {
            CMNServer s = new CMNServer(cluster, port, id);
            s.iServerIdKey = keys[servers.size()];
            servers.add(s);
        }
        return servers;
    }

    @Command(name = "list", mixinStandardHelpOptions = true,
            description = "List a port's servers, one row each.")
    static final class ListVerb extends Verb {
        @Parameters(index = "0", paramLabel = "CLUSTER", description = "the cluster's identifier")
        String id;
        @Parameters(index = "1", paramLabel = "PORT", description = "the port number",
                converter = Types.Number.class)
        int port;

        @Override
        void run() throws Api.Failure {
            List<Map<String, Object>> rows = new ArrayList<>();
            for (CMNServer s : list(api(), id, port)) {
                KIND.status.run(api(), s, KIND.label.apply(s));
                rows.add(Output.row("server", s.sServerID,
                        "key", String.format("0x%08X", s.iServerIdKey),
                        "weight", s._iWeight, "fixed", s._bFixedWeight, "quiesced", s._iQuiesced,
                        "listeners", s.getListeners().size()));
            }
            out().list(rows, "SERVER", "KEY", "WEIGHT", "FIXED", "QUIESCED", "LISTENERS");
        }
    }
}
