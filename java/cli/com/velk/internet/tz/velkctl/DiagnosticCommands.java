package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNAffinity;
import com.velk.internet.tz.common.CMNAttackListener;
import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNHalfOpenListener;
import com.velk.internet.tz.common.CMNIcmp;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** The executor's diagnostic views: affinity, connections, the dump, ICMP and the log. */
final class DiagnosticCommands {
    private DiagnosticCommands() {
    }

    static CommandLine affinity() {
        return new CommandLine(new Affinity()).addSubcommand(new AffinityReport())
                .addSubcommand("add", new AffinityAdd())
                .addSubcommand("remove", new AffinityRemove());
    }

    static CommandLine connections() {
        return new CommandLine(new Connections()).addSubcommand(new ConnectionReport())
                .addSubcommand(new HalfOpenList()).addSubcommand(new Attackers());
    }

    static CommandLine dump() {
        return new CommandLine(new Dump()).addSubcommand(new DumpReport());
    }

    static CommandLine icmp() {
        return new CommandLine(new Icmp()).addSubcommand(new IcmpShow())
                .addSubcommand(new IcmpSet());
    }

    static CommandLine log() {
        return new CommandLine(new Log()).addSubcommand(new LogShow())
                .addSubcommand(new LogSet()).addSubcommand(new LogRemove());
    }

    /** ADDRESS PORT: a cluster address and port. */
    static final class ClusterPort {
        @Parameters(index = "0", paramLabel = "ADDRESS", description = "the cluster address",
                converter = Types.Address.class)
        int address;
        @Parameters(index = "1", paramLabel = "PORT", description = "the port number",
                converter = Types.Number.class)
        int port;
    }

    @Command(name = "affinity", mixinStandardHelpOptions = true,
            description = "Client-to-server bindings of a port.")
    static final class Affinity extends Verb.Group {
    }

    @Command(name = "report", mixinStandardHelpOptions = true,
            description = "Print the executor's affinity report of a port.")
    static final class AffinityReport extends Verb {
        @CommandLine.Mixin
        ClusterPort key;

        @Override
        void run() throws Api.Failure {
            out().text(nonNull(api().getAffinityInfoNative(key.address, key.port, 1), "affinity"));
        }
    }

    /** Sends one affinity exchange: the clients given, each with its server or none. */
    static void exchange(Verb verb, ClusterPort key, int command, Map<Integer, Integer> binds)
            throws Api.Failure {
        CMNAffinity a = new CMNAffinity();
        a.iCommand = command;
        a.iClusterAddr = Integer.reverseBytes(key.address);
        a.iPort = key.port;
        a.iNumAffinities = binds.size();
        int i = 0;
        for (Map.Entry<Integer, Integer> b : binds.entrySet()) {
            if (i < CMNAffinity.MAX_SUPPLIED) {
                a.aiClientAddr[i] = Integer.reverseBytes(b.getKey());
                a.aiServerAddr[i] = Integer.reverseBytes(b.getValue());
            }
            i++;
        }
        String label = "affinity of " + Types.dotted(key.address) + ":" + key.port;
        Api.check(Verb.api().serverDirectedAffinityNative(a), Api.serverDirectedAffinityNative,
                label);
        verb.out().note(label + ": " + a.iResponse + " binding(s) changed, " + a.iNumAffinities
                + " on the port");
    }

    @Command(name = "add", mixinStandardHelpOptions = true,
            description = "Bind clients to servers of a port.")
    static final class AffinityAdd extends Verb {
        @CommandLine.Mixin
        ClusterPort key;
        @Option(names = "--bind", paramLabel = "CLIENT=SERVER",
                converter = {Types.Address.class, Types.Address.class},
                description = "a client address and its server's address; repeat for more")
        LinkedHashMap<Integer, Integer> binds = new LinkedHashMap<>();

        @Override
        void run() throws Api.Failure {
            exchange(this, key, 1, binds);
        }
    }

    @Command(name = "remove", mixinStandardHelpOptions = true,
            description = "Remove clients' bindings.")
    static final class AffinityRemove extends Verb {
        @CommandLine.Mixin
        ClusterPort key;
        @Option(names = "--bind", paramLabel = "CLIENT", converter = Types.Address.class,
                description = "a client whose binding goes; repeat for more")
        List<Integer> clients = new ArrayList<>();

        @Override
        void run() throws Api.Failure {
            Map<Integer, Integer> binds = new LinkedHashMap<>();
            clients.forEach(c -> binds.put(c, 0));
            exchange(this, key, 2, binds);
        }
    }

    @Command(name = "connections", mixinStandardHelpOptions = true,
            description = "Connection records, half-open connections and attacking addresses.")
    static final class Connections extends Verb.Group {
    }

    @Command(name = "report", mixinStandardHelpOptions = true,
            description = "Print the executor's connection records.")
    static final class ConnectionReport extends Verb {
        @Option(names = "--client", paramLabel = "ADDRESS", converter = Types.Address.class,
                description = "only connections from this client")
        int client;
        @Option(names = "--client-port", paramLabel = "PORT", converter = Types.Number.class,
                description = "only connections from this client port")
        int clientPort;
        @Option(names = "--cluster", paramLabel = "ADDRESS", converter = Types.Address.class,
                description = "only connections to this cluster address")
        int cluster;
        @Option(names = "--cluster-port", paramLabel = "PORT", converter = Types.Number.class,
                description = "only connections to this cluster port")
        int clusterPort;
        @Option(names = "--server", paramLabel = "ADDRESS", converter = Types.Address.class,
                description = "only connections to this server address")
        int server;
        @Option(names = "--server-port", paramLabel = "PORT", converter = Types.Number.class,
                description = "only connections to this server port")
        int serverPort;

        @Override
        void run() throws Api.Failure {
            out().text(nonNull(api().getConnectionInfoNative(client, clientPort, cluster,
                    clusterPort, server, serverPort, 1), "connections"));
        }
    }

    @Command(name = "list", mixinStandardHelpOptions = true,
            description = "List the half-open connections, one row each.")
    static final class HalfOpenList extends Verb {
        @Override
        void run() throws Api.Failure {
            CMNHalfOpenListener h = new CMNHalfOpenListener();
            Api.check(api().getHalfOpenInfoNative(h), Api.getHalfOpenInfoNative,
                    "half-open connections");
            List<Map<String, Object>> rows = new ArrayList<>();
            for (CMNHalfOpenListener.Record r : h.records) {
                rows.add(Output.row("index", r.index, "address", out().address(r.address),
                        "port", r.port, "flag", r.flag));
            }
            out().list(rows, "INDEX", "ADDRESS", "PORT", "FLAG");
        }
    }

    @Command(name = "show", mixinStandardHelpOptions = true,
            description = "List the attacking addresses of a cluster address and port (any when "
                    + "not given).")
    static final class Attackers extends Verb {
        @Option(names = "--cluster", paramLabel = "ADDRESS", converter = Types.Address.class,
                description = "the attacked cluster address")
        int cluster;
        @Option(names = "--cluster-port", paramLabel = "PORT", converter = Types.Number.class,
                description = "the attacked port")
        int port;

        @Override
        void run() throws Api.Failure {
            CMNAttackListener a = new CMNAttackListener();
            Api.check(api().getAttackingAddrsNative(a, cluster, port), Api.getAttackingAddrsNative,
                    "attacking addresses");
            List<Map<String, Object>> rows = new ArrayList<>();
            for (CMNAttackListener.Attacker at : a.attackers) {
                rows.add(Output.row("address", out().address(at.address), "figure", at.figure));
            }
            out().list(rows, "ATTACKER", "FIGURE");
        }
    }

    @Command(name = "dump", mixinStandardHelpOptions = true,
            description = "The executor's miscellaneous dump.")
    static final class Dump extends Verb.Group {
    }

    @Command(name = "report", mixinStandardHelpOptions = true,
            description = "Print one view of the dump: 99 the counters; other sub-commands as "
                    + "the executor defines them.")
    static final class DumpReport extends Verb {
        @Option(names = "--view", paramLabel = "N", converter = Types.Number.class,
                description = "the sub-command (99 unless given)")
        int view = 99;
        @Option(names = "--arg1", paramLabel = "N", converter = Types.Number.class,
                description = "its first argument")
        int arg1;
        @Option(names = "--arg2", paramLabel = "N", converter = Types.Number.class,
                description = "its second argument")
        int arg2;
        @Option(names = "--arg3", paramLabel = "N", converter = Types.Number.class,
                description = "its third argument")
        int arg3;

        @Override
        void run() throws Api.Failure {
            out().text(nonNull(api().xmiscNative(view, arg1, arg2, arg3), "dump"));
        }
    }

    @Command(name = "icmp", mixinStandardHelpOptions = true,
            description = "The executor's ICMP response record.")
    static final class Icmp extends Verb.Group {
    }

    static CMNIcmp icmp(CMNExecutorInterface api) throws Api.Failure {
        CMNIcmp i = new CMNIcmp();
        Api.check(api.getIcmpInfoNative(i), Api.getIcmpInfoNative, "icmp");
        return i;
    }

    /** The record keeps the address as the bytes travel: the first octet lowest. */
    static void setIcmp(CMNExecutorInterface api, int got, int address) throws Api.Failure {
        CMNIcmp i = new CMNIcmp();
        i.iGotIcmpResp = got;
        i.iIcmpRespAddr = Integer.reverseBytes(address);
        Api.check(api.setIcmpInfoNative(i), Api.setIcmpInfoNative, "icmp");
    }

    @Command(name = "show", mixinStandardHelpOptions = true,
            description = "Show the ICMP response record.")
    static final class IcmpShow extends Verb {
        @Override
        void run() throws Api.Failure {
            CMNIcmp i = icmp(api());
            out().show(Output.row("iGotIcmpResp", i.iGotIcmpResp,
                    "iIcmpRespAddr", out().address(Integer.reverseBytes(i.iIcmpRespAddr))));
        }
    }

    @Command(name = "set", mixinStandardHelpOptions = true,
            description = "Set the ICMP response record.")
    static final class IcmpSet extends Verb {
        @Option(names = "--got-icmp-resp", paramLabel = "0|1", converter = Types.Number.class,
                description = "1 when a response came (\"iGotIcmpResp\")")
        int got;
        @Option(names = "--icmp-resp-addr", paramLabel = "ADDRESS",
                converter = Types.Address.class, description = "who responded (\"iIcmpRespAddr\")")
        int address;

        @Override
        void run() throws Api.Failure {
            setIcmp(api(), got, address);
            out().note("icmp: set");
        }
    }

    @Command(name = "log", mixinStandardHelpOptions = true,
            description = "The executor's log of served requests.")
    static final class Log extends Verb.Group {
    }

    @Command(name = "show", mixinStandardHelpOptions = true,
            description = "Print the head (or with --tail the tail) of the log.")
    static final class LogShow extends Verb {
        @Option(names = "--size", paramLabel = "N", converter = Types.Number.class,
                description = "at most this many characters (4000 unless given)")
        int size = 4000;
        @Option(names = "--tail", description = "the end of the log rather than its start")
        boolean tail;

        @Override
        void run() throws Api.Failure {
            out().text(nonNull(tail ? api().xlogtailNative(size) : api().xlogheadNative(size, 0),
                    "log"));
        }
    }

    @Command(name = "set", mixinStandardHelpOptions = true,
            description = "Set the log level or filter.")
    static final class LogSet extends Verb {
        @Option(names = "--level", paramLabel = "N", converter = Types.Number.class,
                description = "the log level")
        Integer level;
        @Option(names = "--filter", paramLabel = "N", converter = Types.Number.class,
                description = "the log filter")
        Integer filter;

        @Override
        void run() throws Api.Failure {
            if (level != null) {
                out().text(nonNull(api().xloglevelNative(level), "log"));
            }
            if (filter != null) {
                out().text(nonNull(api().xlogfilterNative(filter), "log"));
            }
        }
    }

    @Command(name = "remove", mixinStandardHelpOptions = true, description = "Empty the log.")
    static final class LogRemove extends Verb {
        @Override
        void run() throws Api.Failure {
            out().text(nonNull(api().xlogclearNative(), "log"));
        }
    }
}
