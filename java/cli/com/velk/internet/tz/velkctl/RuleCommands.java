package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNRule;
import com.velk.internet.tz.common.CMNServer;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Set;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** Rules of a port and the servers bound to them. */
@Command(name = "rule", mixinStandardHelpOptions = true,
        description = "Rules of a port and the servers bound to them.")
final class RuleCommands extends Verb.Group {
    static final Records.Kind<CMNRule> KIND = new Records.Kind<>("rule", CMNRule.class,
            Set.of("sHashID"), Set.of("ClusterId", "PortNumber", "RuleName"), Id::new,
            r -> "rule " + r.RuleName + " on " + r.ClusterId + ":" + r.PortNumber,
            List.of(new Api.Op<>(Api.addRuleNative, CMNExecutorInterface::addRuleNative),
                    new Api.Op<>(Api.setRuleStatusNative, CMNExecutorInterface::setRuleStatusNative),
                    new Api.Op<>(Api.removeRuleNative, CMNExecutorInterface::removeRuleNative),
                    new Api.Op<>(Api.getRuleStatusNative, CMNExecutorInterface::getRuleStatusNative),
                    new Api.Op<>(Api.getRuleReportNative, CMNExecutorInterface::getRuleReportNative),
                    new Api.Op<>(Api.setRuleCPSNative, CMNExecutorInterface::setRuleCPSNative)),
            (r, rate) -> r.iConnectionsPerSecond = rate);

    static CommandLine commandLine() {
        return Records.family(KIND, new RuleCommands(), new Report(), new ListVerb(),
                new Binding(true), new Binding(false));
    }

    /** Rule types whose range is a pair of addresses rather than numbers. */
    static boolean addressRange(int ruleType) {
        return ruleType == 1;
    }

    /** CLUSTER PORT RULE. */
    static final class Id implements Records.Key<CMNRule> {
        @Parameters(index = "0", paramLabel = "CLUSTER", description = "the cluster's identifier")
        String cluster;
        @Parameters(index = "1", paramLabel = "PORT", description = "the port number",
                converter = Types.Number.class)
        int port;
        @Parameters(index = "2", paramLabel = "RULE",
                description = "the rule's name (20 characters at most)")
        String name;

        @Override
        public CMNRule make(CMNExecutorInterface api) {
            return new CMNRule(cluster, port, name);
        }
    }

    /** The identifiers of the servers bound to a rule, in the order of binding. */
    static List<String> servers(CMNExecutorInterface api, CMNRule r) throws Api.Failure {
        StringBuffer servers = new StringBuffer();
        Api.check(api.getRuleServersListNative(r, servers), Api.getRuleServersListNative,
                KIND.label.apply(r));
        return Verb.items(servers);
    }

    /** Reads the status first, so that every field shows, and lists the bound servers. */
    @Command(name = "report", mixinStandardHelpOptions = true,
            description = "Show a rule's counters and its servers.")
    static final class Report extends Records.RecordVerb<CMNRule> {
        Report() {
            super(KIND);
        }

        @Override
        void run() throws Api.Failure {
            CMNRule r = target();
            run(KIND.status, r);
            run(KIND.report, r);
            Map<String, Object> record = Output.record(r);
            record.put("servers", String.join(" ", servers(api(), r)));
            out().show(record);
        }
    }

    @Command(name = "list", mixinStandardHelpOptions = true,
            description = "List a port's rules, one row each.")
    static final class ListVerb extends Verb {
        @Parameters(index = "0", paramLabel = "CLUSTER", description = "the cluster's identifier")
        String id;
        @Parameters(index = "1", paramLabel = "PORT", description = "the port number",
                converter = Types.Number.class)
        int port;

        @Override
        void run() throws Api.Failure {
            List<Map<String, Object>> rows = new ArrayList<>();
            for (String name : names(api(), id, port)) {
                CMNRule r = new CMNRule(id, port, name);
                KIND.status.run(api(), r, KIND.label.apply(r));
                boolean addresses = addressRange(r.RuleType);
                rows.add(Output.row("rule", name, "type", r.RuleType, "priority", r.Priority,
                        "begin", addresses ? r.AddressBeginRange : r.BeginRange,
                        "end", addresses ? r.AddressEndRange : r.EndRange,
                        "servers", r.NumServers));
            }
            out().list(rows, "RULE", "TYPE", "PRIORITY", "BEGIN", "END", "SERVERS");
        }
    }

    /** The names of a port's rules, in the executor's order. */
    static List<String> names(CMNExecutorInterface api, String cluster, int port)
            throws Api.Failure {
        StringBuffer list = new StringBuffer();
        Api.check(api.getRulesListNative(cluster, port, list), Api.getRulesListNative,
                "port " + cluster + ":" + port);
        return Verb.items(list);
    }

    /** bind and unbind: CLUSTER PORT RULE SERVER. */
    @Command(mixinStandardHelpOptions = true)
    static final class Binding extends Verb {
        private final boolean bind;
        @Parameters(index = "0", paramLabel = "CLUSTER", description = "the cluster's identifier")
        String cluster;
        @Parameters(index = "1", paramLabel = "PORT", description = "the port number",
                converter = Types.Number.class)
        int port;
        @Parameters(index = "2", paramLabel = "RULE", description = "the rule's name")
        String rule;
        @Parameters(index = "3", paramLabel = "SERVER", description = "the server's identifier")
        String server;
        @Option(names = "--argument", paramLabel = "N", converter = Types.Number.class,
                description = "the binding's argument (0 unless given; bind only)")
        int argument;

        Binding(boolean bind) {
            this.bind = bind;
        }

        @Override
        String name() {
            return bind ? "bind" : "unbind";
        }

        @Override
        void run() throws Api.Failure {
            CMNRule r = new CMNRule(cluster, port, rule);
            CMNServer s = ServerCommands.server(api(), cluster, port, server);
            bind(api(), r, s, bind, argument);
            out().note(KIND.label.apply(r) + ": " + server + (bind ? " bound" : " unbound"));
        }
    }

    static void bind(CMNExecutorInterface api, CMNRule r, CMNServer s, boolean bind,
                     int argument) throws Api.Failure {
        if (bind) {
            Api.check(api.addServertoRuleNative(r, s, argument), Api.addServertoRuleNative,
                    KIND.label.apply(r));
        } else {
            Api.check(api.removeServerfromRuleNative(r, s, 0), Api.removeServerfromRuleNative,
                    KIND.label.apply(r));
        }
    }
}
