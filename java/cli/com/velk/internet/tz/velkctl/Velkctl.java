package com.velk.internet.tz.velkctl;

import java.io.PrintStream;
import java.io.PrintWriter;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.IVersionProvider;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Model.ArgSpec;
import picocli.CommandLine.Model.OptionSpec;
import picocli.CommandLine.ParameterException;
import picocli.CommandLine.TypeConversionException;

/**
 * velkctl: the operator's command line over the administration interface,
 * {@code velkctl <object> <verb> [options]}. Exit status 0 on success, 1 when the library or the
 * executor refused the request, 2 on bad usage, 3 when the executor cannot be reached.
 */
@Command(name = "velkctl", mixinStandardHelpOptions = true, versionProvider = Velkctl.Version.class,
        description = {
            "Administers the executor of the load balancer through the library cmnexecutor.",
            "The executor is reached through the device that VELKLB_DEVICE names.",
            "Exit status: 0 done, 1 refused, 2 bad usage, 3 executor unreachable."})
public final class Velkctl extends Verb.Group {
    public static final int OK = 0;
    public static final int REFUSED = 1;
    public static final int USAGE = 2;
    public static final int UNREACHABLE = 3;

    @Mixin
    Output output;

    public static void main(String[] args) {
        System.exit(run(args, System.out, System.err));
    }

    /** Runs one command line; returns its exit status. */
    public static int run(String[] args, PrintStream out, PrintStream err) {
        CommandLine line = commandLine();
        ((Velkctl) line.getCommand()).output.out = out;
        line.setOut(new PrintWriter(out, true));
        line.setErr(new PrintWriter(err, true));
        line.setExitCodeExceptionMapper(
                e -> e instanceof Api.Failure ? ((Api.Failure) e).exitCode : REFUSED);
        line.setExecutionExceptionHandler((e, cmd, parsed) -> {
            if (!(e instanceof Api.Failure)) {
                throw e;
            }
            err.println("velkctl: " + e.getMessage());
            return cmd.getExitCodeExceptionMapper().getExitCode(e);
        });
        line.setParameterExceptionHandler((e, a) -> {
            err.println("velkctl: " + message(e));
            if (!(e.getCause() instanceof TypeConversionException)) {
                err.println("Try '" + e.getCommandLine().getCommandSpec().qualifiedName()
                        + " --help' for more information.");
            }
            return USAGE;
        });
        line.setExecutionStrategy(parsed -> {
            Verb.attach(parsed);
            return new CommandLine.RunLast().execute(parsed);
        });
        int status = line.execute(args);
        ((Velkctl) line.getCommand()).output.finish();
        return status;
    }

    /** A value that did not convert names its option: "--fin-timeout: not a number: ten". */
    private static String message(ParameterException e) {
        ArgSpec arg = e.getArgSpec();
        if (e.getCause() instanceof TypeConversionException && arg != null) {
            String name = arg.isOption() ? ((OptionSpec) arg).longestName() : arg.paramLabel();
            return name + ": " + e.getCause().getMessage();
        }
        return e.getMessage();
    }

    /** The whole grammar: objects, their verbs, positional names and field options. */
    public static CommandLine commandLine() {
        CommandLine line = new CommandLine(new Velkctl());
        line.addSubcommand(ExecutorCommands.executor());
        line.addSubcommand(ClusterCommands.commandLine());
        line.addSubcommand(PortCommands.commandLine());
        line.addSubcommand(ServerCommands.commandLine());
        line.addSubcommand(ExecutorCommands.weights());
        line.addSubcommand(RuleCommands.commandLine());
        line.addSubcommand(NetworkCommands.networkInterface());
        line.addSubcommand(NetworkCommands.alias());
        line.addSubcommand(NetworkCommands.ha());
        line.addSubcommand(DiagnosticCommands.affinity());
        line.addSubcommand(DiagnosticCommands.connections());
        line.addSubcommand(DiagnosticCommands.dump());
        line.addSubcommand(DiagnosticCommands.icmp());
        line.addSubcommand(DiagnosticCommands.log());
        line.addSubcommand(new ConfigCommands.Save());
        line.addSubcommand(new ConfigCommands.Diff());
        line.addSubcommand(new ConfigCommands.Apply());
        Metrics.register(line);
        return line;
    }

    static String version() {
        String v = Velkctl.class.getPackage().getImplementationVersion();
        return v == null ? "dev" : v;
    }

    /** velkctl's version from its jar's manifest. */
    static final class Version implements IVersionProvider {
        @Override
        public String[] getVersion() {
            return new String[] {"velkctl " + version()};
        }
    }
}
