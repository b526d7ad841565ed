package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNAddress;
import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNHAInfo;
import com.velk.internet.tz.common.CMNInterfaceList;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Set;
import picocli.CommandLine;
import picocli.CommandLine.ArgGroup;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** The host's interfaces, cluster addresses as aliases on them, and high availability. */
final class NetworkCommands {
    private NetworkCommands() {
    }

    static CommandLine networkInterface() {
        return new CommandLine(new Interface()).addSubcommand(new InterfaceList());
    }

    static CommandLine alias() {
        CommandLine add = new CommandLine(new AliasVerb("add"));
        FieldOptions.add(add.getCommandSpec(), CMNAddress.class, Set.of("InterfaceName", "NetMask"),
                Set.of("Address"));
        return new CommandLine(new Alias()).addSubcommand("add", add)
                .addSubcommand("remove", new AliasVerb("remove"))
                .addSubcommand("show", new AliasVerb("show"));
    }

    static CommandLine ha() {
        return new CommandLine(new Ha()).addSubcommand(new HaShow()).addSubcommand(new HaAdd())
                .addSubcommand(new HaRemove()).addSubcommand(new HaSet());
    }

    @Command(name = "interface", mixinStandardHelpOptions = true,
            description = "The host's interfaces as the library sees them.")
    static final class Interface extends Verb.Group {
    }

    @Command(name = "list", mixinStandardHelpOptions = true,
            description = "Rebuild the interface table from the host's settings and list it.")
    static final class InterfaceList extends Verb {
        @Override
        void run() throws Api.Failure {
            api().setInterfacesNative(0);
            CMNInterfaceList list = new CMNInterfaceList();
            Api.check(api().getInterfaceListNative(1, list), Api.getInterfaceListNative,
                    "interfaces");
            List<Map<String, Object>> rows = new ArrayList<>();
            Output o = out();
            for (int i = 0; i < Math.min(list.iNumInterfaces, CMNInterfaceList.MAX_INTERFACES); i++) {
                rows.add(Output.row("address", o.address(list.aiIp[i]),
                        "netmask", o.address(list.aiNetmask[i]),
                        "network", o.address(list.aiNetnumber[i]),
                        "broadcast", o.address(list.aiBroadcast[i])));
            }
            o.list(rows, "ADDRESS", "NETMASK", "NETWORK", "BROADCAST");
        }
    }

    // ---- aliases ---------------------------------------------------------------------------

    @Command(name = "alias", mixinStandardHelpOptions = true,
            description = "Cluster addresses as aliases on the host's interfaces.")
    static final class Alias extends Verb.Group {
    }

    /** Configures or removes an alias; the library's interface table is rebuilt first. */
    static void alias(CMNExecutorInterface api, CMNAddress a, boolean configure)
            throws Api.Failure {
        api.setInterfacesNative(0);
        if (configure) {
            Api.check(api.configureAddressNative(a), Api.configureAddressNative,
                    "alias " + a.Address);
        } else {
            Api.check(api.unconfigureAddressNative(a), Api.unconfigureAddressNative,
                    "alias " + a.Address);
        }
    }

    @Command(mixinStandardHelpOptions = true)
    static final class AliasVerb extends Verb {
        private final String verb;
        @Parameters(index = "0", paramLabel = "ADDRESS", description = "the cluster address")
        String address;
        @Option(names = "--config-info-provided", paramLabel = "0|1",
                converter = Types.Number.class,
                description = "1: use the interface and netmask given (\"ConfigInfoProvided\")")
        Integer provided;

        AliasVerb(String verb) {
            this.verb = verb;
        }

        @Override
        String name() {
            return verb;
        }

        @Override
        void run() throws Api.Failure {
            CMNAddress a = new CMNAddress(address);
            applyFields(a);
            a.ConfigInfoProvided = (byte) (provided != null ? provided
                    : a.InterfaceName != null ? 1 : 0);
            if (verb.equals("show")) {
                Api.check(api().getAddressConfigureInfoNative(a),
                        Api.getAddressConfigureInfoNative, "alias " + a.Address);
                out().show(Output.record(a));
                return;
            }
            alias(api(), a, verb.equals("add"));
            out().note("alias " + a.Address + (verb.equals("add") ? ": configured" : ": removed"));
        }
    }

    // ---- high availability -----------------------------------------------------------------

    @Command(name = "ha", mixinStandardHelpOptions = true,
            description = "High availability: the backup role, heartbeats and reach targets.")
    static final class Ha extends Verb.Group {
    }

    static CMNHAInfo info(CMNExecutorInterface api) throws Api.Failure {
        CMNHAInfo info = new CMNHAInfo();
        Api.check(api.getHAInfoNative(info), Api.getHAInfoNative, "ha");
        return info;
    }

    @Command(name = "show", mixinStandardHelpOptions = true,
            description = "Show the partner state, heartbeats and reach targets.")
    static final class HaShow extends Verb {
        @Override
        void run() throws Api.Failure {
            CMNHAInfo info = info(api());
            Output o = out();
            Map<String, Object> record = Output.row("mode", info.haFsmMode, "role", info.haRole,
                    "strategy", info.haStrategy, "state", info.haState,
                    "substate", info.haSubstate, "port", info.haPort, "peer", info.haPeer);
            for (int i = 0; i < info.haHBCount; i++) {
                record.put("heartbeat" + i, o.address(info.haLocal_Address[i]) + " -> "
                        + o.address(info.haRemote_Address[i]) + " status " + info.haStatus[i]);
            }
            for (int i = 0; i < info.haReachCount; i++) {
                record.put("reach" + i, o.address(info.haAddress[i]) + " mask "
                        + o.address(info.haMask[i]) + " type " + info.haType[i] + " status "
                        + info.haAddress_status[i]);
            }
            o.show(record);
        }
    }

    static void backup(CMNExecutorInterface api, int role, int strategy, String port)
            throws Api.Failure {
        Api.check(api.backupAddNative(role, strategy, port), Api.backupAddNative, "ha");
    }

    static void heartbeat(CMNExecutorInterface api, String local, String remote)
            throws Api.Failure {
        api.setInterfacesNative(0);
        Api.check(api.addHBNative(local, remote), Api.addHBNative,
                "heartbeat " + local + " -> " + remote);
    }

    static void reach(CMNExecutorInterface api, String target, String mask, int type)
            throws Api.Failure {
        Api.check(api.addReachNative(target, mask, type), Api.addReachNative,
                "reach target " + target);
    }

    /** --role with the options that only go with it. */
    static final class Role {
        @Option(names = "--role", required = true, paramLabel = "N",
                converter = Types.Number.class,
                description = "take the backup role with this role number")
        int role;
        @Option(names = "--strategy", paramLabel = "N", converter = Types.Number.class,
                description = "the backup strategy (with --role)")
        int strategy;
        @Option(names = "--port", paramLabel = "PORT", description = "the partner port (with --role)")
        String port = "";
    }

    /** --reach with the options that only go with it. */
    static final class Reach {
        @Option(names = "--reach", required = true, paramLabel = "ADDRESS",
                description = "watch a reach target")
        String target;
        @Option(names = "--mask", paramLabel = "NETMASK",
                description = "the reach target's mask (with --reach)")
        String mask = "255.255.255.255";
        @Option(names = "--type", paramLabel = "N", converter = Types.Number.class,
                description = "the reach target's type (with --reach; 1 unless given)")
        int type = 1;
    }

    @Command(name = "add", mixinStandardHelpOptions = true,
            description = "Take the backup role, add a heartbeat or a reach target.")
    static final class HaAdd extends Verb {
        @ArgGroup(exclusive = false)
        Role role;
        @Option(names = "--heartbeat", paramLabel = "LOCAL,REMOTE", split = ",",
                description = "add a heartbeat between two addresses")
        List<String> heartbeat;
        @ArgGroup(exclusive = false)
        Reach reach;

        @Override
        void run() throws Api.Failure {
            if (role == null && heartbeat == null && reach == null) {
                throw Api.badUsage("ha add: give --role, --heartbeat or --reach");
            }
            if (heartbeat != null && heartbeat.size() != 2) {
                throw Api.badUsage("--heartbeat: LOCAL,REMOTE expected");
            }
            if (role != null) {
                backup(api(), role.role, role.strategy, role.port);
                out().note("ha: backup role taken");
            }
            if (heartbeat != null) {
                heartbeat(api(), heartbeat.get(0), heartbeat.get(1));
                out().note("heartbeat " + heartbeat.get(0) + " -> " + heartbeat.get(1)
                        + ": added");
            }
            if (reach != null) {
                reach(api(), reach.target, reach.mask, reach.type);
                out().note("reach target " + reach.target + ": added");
            }
        }
    }

    @Command(name = "remove", mixinStandardHelpOptions = true,
            description = "Give up the backup role, remove a heartbeat or a reach target.")
    static final class HaRemove extends Verb {
        @Option(names = "--role", description = "give up the backup role")
        boolean role;
        @Option(names = "--heartbeat", paramLabel = "REMOTE",
                description = "remove the heartbeat to this address")
        String heartbeat;
        @Option(names = "--reach", paramLabel = "ADDRESS",
                description = "stop watching this reach target")
        String reach;

        @Override
        void run() throws Api.Failure {
            if (!role && heartbeat == null && reach == null) {
                throw Api.badUsage("ha remove: give --role, --heartbeat or --reach");
            }
            if (role) {
                Api.check(api().backupDelNative(), Api.backupDelNative, "ha");
                out().note("ha: backup role given up");
            }
            if (heartbeat != null) {
                Api.check(api().delHBNative(heartbeat), Api.delHBNative,
                        "heartbeat to " + heartbeat);
                out().note("heartbeat to " + heartbeat + ": removed");
            }
            if (reach != null) {
                Api.check(api().delReachNative(reach), Api.delReachNative,
                        "reach target " + reach);
                out().note("reach target " + reach + ": removed");
            }
        }
    }

    /** Either the seven timers or a takeover. */
    static final class HaChange {
        @Option(names = "--timers", paramLabel = "T1,...,T7", split = ",",
                description = "the seven timers, decimal")
        List<String> timers;
        @Option(names = "--takeover", paramLabel = "ADDRESS",
                description = "take over from the partner at this address")
        String takeover;
    }

    @Command(name = "set", mixinStandardHelpOptions = true,
            description = "Set the seven timers, or take over from the partner.")
    static final class HaSet extends Verb {
        @ArgGroup(exclusive = true)
        HaChange change;

        @Override
        void run() throws Api.Failure {
            if (change != null && change.takeover != null) {
                Api.check(api().takeoverNative(change.takeover), Api.takeoverNative,
                        "partner " + change.takeover);
                out().note("partner " + change.takeover + ": taken over");
                return;
            }
            List<String> t = change == null ? List.of() : change.timers;
            if (t.size() != 7) {
                throw Api.badUsage("ha set: give --timers with seven values or --takeover");
            }
            Api.check(api().setTimersNative(t.get(0), t.get(1), t.get(2), t.get(3), t.get(4),
                    t.get(5), t.get(6)), Api.setTimersNative, "ha timers");
            out().note("ha timers: set");
        }
    }
}
