package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNExecutorInterface;
import java.io.PrintStream;
import java.io.PrintWriter;
import java.util.Set;
import picocli.CommandLine;
import picocli.CommandLine.Model.CommandSpec;
import picocli.CommandLine.Model.OptionSpec;
import picocli.CommandLine.Model.PositionalParamSpec;
import picocli.CommandLine.ParameterException;
import picocli.CommandLine.ParseResult;

/**
 * velkctl: the operator's command line over the administration interface,
 * {@code velkctl <object> <verb> [options]}. Exit status 0 on success, 1 when the library or the
 * executor refused the request, 2 on bad usage, 3 when the executor cannot be reached.
 */
public final class Velkctl {
    public static final int OK = 0;
    public static final int REFUSED = 1;
    public static final int USAGE = 2;
    public static final int UNREACHABLE = 3;

    /** What a verb does with its parsed arguments. */
    interface Action {
        void run(Call call) throws Call.Refused, Call.BadUsage;
    }

    /** A verb that tells for itself whether the executor answers (the metrics say velk_up). */
    interface Probing extends Action {
    }

    private static CMNExecutorInterface api;

    private Velkctl() {
    }

    public static void main(String[] args) {
        System.exit(run(args, System.out, System.err));
    }

    /** Runs one command line; returns its exit status. */
    public static int run(String[] args, PrintStream out, PrintStream err) {
        CommandLine commandLine = commandLine();
        commandLine.setOut(new PrintWriter(out, true));
        commandLine.setErr(new PrintWriter(err, true));
        ParseResult parsed;
        try {
            parsed = commandLine.parseArgs(args);
        } catch (ParameterException e) {
            err.println("velkctl: " + e.getMessage());
            err.println("Try 'velkctl " + path(e.getCommandLine().getCommandSpec())
                    + "--help' for more information.");
            return USAGE;
        }
        if (CommandLine.executeHelpRequest(parsed) != null) {
            return OK;
        }
        ParseResult verb = parsed;
        while (verb.subcommand() != null) {
            verb = verb.subcommand();
        }
        if (!(verb.commandSpec().userObject() instanceof Action)) {
            err.println("velkctl: name " + (verb == parsed ? "an object" : "a verb")
                    + "; try 'velkctl " + path(verb.commandSpec()) + "--help'");
            return USAGE;
        }
        try {
            if (api == null) {
                api = new CMNExecutorInterface();
            }
        } catch (UnsatisfiedLinkError e) {
            err.println("velkctl: the library cmnexecutor can't be loaded: " + e.getMessage());
            return UNREACHABLE;
        }
        Action action = (Action) verb.commandSpec().userObject();
        if (!(action instanceof Probing) && api.isLoadedNative() == 0) {
            String device = System.getProperty("os.name").startsWith("Windows") ? "\\\\.\\velklb"
                    : System.getenv("VELKLB_DEVICE");
            err.println("velkctl: the executor can't be reached at "
                    + (device == null || device.isEmpty() ? "/run/velklb" : device));
            return UNREACHABLE;
        }
        try {
            action.run(new Call(api, verb, out));
            return OK;
        } catch (Call.Refused e) {
            err.println("velkctl: " + e.getMessage());
            return REFUSED;
        } catch (Call.BadUsage e) {
            err.println("velkctl: " + e.getMessage());
            return USAGE;
        }
    }

    private static String path(CommandSpec commandSpec) {
        StringBuilder path = new StringBuilder();
        for (CommandSpec s = commandSpec; s != null && s.parent() != null; s = s.parent()) {
            path.insert(0, s.name() + " ");
        }
        return path.toString();
    }

    /** The whole grammar: objects, their verbs, positional names and field options. */
    public static CommandLine commandLine() {
        CommandSpec root = CommandSpec.create().name("velkctl").mixinStandardHelpOptions(true)
                .version("velkctl " + version());
        root.usageMessage().description(
                "Administers the executor of the load balancer through the library cmnexecutor.",
                "The executor is reached through the device that VELKLB_DEVICE names.",
                "Exit status: 0 done, 1 refused, 2 bad usage, 3 executor unreachable.");
        CommandLine line = new CommandLine(root);
        Objects.addAll(line);
        Metrics.register(line);
        return line;
    }

    static String version() {
        String v = Velkctl.class.getPackage().getImplementationVersion();
        return v == null ? "dev" : v;
    }

    /** An object: a command whose subcommands are its verbs. */
    static CommandLine object(CommandLine root, String name, String description) {
        CommandSpec commandSpec = CommandSpec.create().name(name).mixinStandardHelpOptions(true);
        commandSpec.usageMessage().description(description);
        root.addSubcommand(name, commandSpec);
        return root.getSubcommands().get(name);
    }

    /**
     * A verb of an object: positionals as "LABEL:help" texts; then its options (fields of the
     * object classes, added by the caller), --json and -n.
     */
    static CommandSpec verb(CommandLine object, String name, String description, Action action,
                            String... positionals) {
        CommandSpec commandSpec = CommandSpec.wrapWithoutInspection(action).name(name)
                .mixinStandardHelpOptions(true);
        commandSpec.usageMessage().description(description);
        for (int i = 0; i < positionals.length; i++) {
            String[] p = positionals[i].split(":", 2);
            commandSpec.addPositional(PositionalParamSpec.builder().index(String.valueOf(i))
                    .paramLabel(p[0]).description(p[1]).type(String.class).build());
        }
        commandSpec.addOption(OptionSpec.builder("--json").type(boolean.class)
                .description("print JSON for scripts instead of tables").build());
        commandSpec.addOption(OptionSpec.builder("-n", "--numeric").type(boolean.class)
                .description("print addresses as dotted numbers, without name lookups").build());
        object.addSubcommand(name, commandSpec);
        return commandSpec;
    }

    static CommandSpec option(CommandSpec commandSpec, String name, String label, String help) {
        commandSpec.addOption(OptionSpec.builder(name).type(String.class).paramLabel(label)
                .description(help).build());
        return commandSpec;
    }

    static CommandSpec fields(CommandSpec commandSpec, Class<?> type, Set<String> always,
                              Set<String> skip) {
        FieldOptions.add(commandSpec, type, always, skip);
        return commandSpec;
    }
}
