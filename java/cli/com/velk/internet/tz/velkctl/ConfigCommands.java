package com.velk.internet.tz.velkctl;

import com.google.gson.GsonBuilder;
import com.velk.internet.tz.common.CMNExecutorInterface;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.List;
import java.util.Map;
import org.yaml.snakeyaml.DumperOptions;
import org.yaml.snakeyaml.Yaml;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;

/** save, diff and apply: the executor's whole configuration as one file. */
final class ConfigCommands {
    private ConfigCommands() {
    }

    enum Format { yaml, json }

    /** The document as text: YAML in block style, or JSON; the same tree gives the same bytes. */
    static String render(Map<String, Object> tree, Format format) {
        if (format == Format.json) {
            return new GsonBuilder().setPrettyPrinting().disableHtmlEscaping().create()
                    .toJson(tree) + "\n";
        }
        DumperOptions options = new DumperOptions();
        options.setDefaultFlowStyle(DumperOptions.FlowStyle.BLOCK);
        options.setIndent(2);
        options.setIndicatorIndent(0);
        options.setSplitLines(false);
        options.setWidth(Integer.MAX_VALUE);
        return "# velkctl save: the executor's configuration; velkctl apply -f FILE restores it\n"
                + new Yaml(options).dump(tree);
    }

    @Command(name = "save", mixinStandardHelpOptions = true,
            description = "Write the executor's whole configuration as one file (YAML unless "
                    + "--format json): settings, clusters, ports, servers, rules, aliases, high "
                    + "availability and the ICMP record.")
    static final class Save extends Verb {
        @Option(names = {"-o", "--output"}, paramLabel = "FILE",
                description = "write to this file instead of standard output")
        Path output;
        @Option(names = "--format", paramLabel = "yaml|json", description = "yaml (the default) "
                + "or json")
        Format format = Format.yaml;

        @Override
        void run() throws Api.Failure {
            String text = render(Config.read(api()).tree, format);
            if (output == null) {
                out().out.print(text);
                out().out.flush();
                return;
            }
            try {
                Path dir = output.toAbsolutePath().getParent();
                Path temp = Files.createTempFile(dir, ".velkctl-save", ".tmp");
                Files.writeString(temp, text, StandardCharsets.UTF_8);
                Files.move(temp, output, StandardCopyOption.REPLACE_EXISTING,
                        StandardCopyOption.ATOMIC_MOVE);
            } catch (IOException e) {
                throw Api.refused(output + ": can't be written: " + e.getMessage());
            }
        }
    }

    /** The file checked, the executor read, and the calls that would bring it to the file. */
    static List<Plan.Step> plan(Path file, boolean prune) throws Api.Failure {
        Map<String, Object> want = ConfigFile.read(file);
        return Plan.of(Config.read(api()), want, prune);
    }

    private static CMNExecutorInterface api() throws Api.Failure {
        return Api.session();
    }

    @Command(name = "diff", mixinStandardHelpOptions = true,
            description = "Print what apply would do with the file, one planned call a line, in "
                    + "the order apply would make them.")
    static final class Diff extends Verb {
        @Option(names = {"-f", "--file"}, paramLabel = "FILE", required = true,
                description = "the configuration file (YAML or JSON)")
        Path file;
        @Option(names = "--exit-code", description = "exit with status 1 when anything would "
                + "change")
        boolean exitCode;
        @Option(names = "--prune", description = "show the removals apply --prune would make")
        boolean prune;

        @Override
        public Integer call() throws Api.Failure {
            List<Plan.Step> steps = plan(file, prune);
            steps.forEach(s -> out().out.println(s.text));
            if (steps.isEmpty()) {
                out().out.println("no changes");
            }
            return exitCode && !steps.isEmpty() ? 1 : Velkctl.OK;
        }

        @Override
        void run() {
        }
    }

    @Command(name = "apply", mixinStandardHelpOptions = true,
            description = {"Bring the executor to the file with the fewest calls, in dependency "
                    + "order; with --prune, remove what the file leaves out.",
                "The whole file is checked before any call. On a refusal apply stops, prints "
                    + "what it applied and the refused call, and exits 1; applying the file "
                    + "again carries on from there."})
    static final class Apply extends Verb {
        @Option(names = {"-f", "--file"}, paramLabel = "FILE", required = true,
                description = "the configuration file (YAML or JSON)")
        Path file;
        @Option(names = "--dry-run", description = "check the file and print the plan; "
                + "make no change")
        boolean dryRun;
        @Option(names = "--prune", description = "remove the records, bindings, aliases and "
                + "high-availability entries that the file leaves out")
        boolean prune;

        @Override
        void run() throws Api.Failure {
            List<Plan.Step> steps = plan(file, prune);
            PrintStream out = out().out;
            if (steps.isEmpty()) {
                out.println("no changes");
                return;
            }
            if (dryRun) {
                steps.forEach(s -> out.println(s.text));
                out.println(steps.size() + " change(s) planned; none made (--dry-run)");
                return;
            }
            CMNExecutorInterface api = api();
            int done = 0;
            for (Plan.Step step : steps) {
                try {
                    step.action.run(api);
                } catch (Api.Failure e) {
                    throw new Api.Failure(e.exitCode, "refused: " + step.text + ": "
                            + e.getMessage() + "\nvelkctl: " + done + " of " + steps.size()
                            + " change(s) applied before the refusal; apply the file again to "
                            + "carry on from there");
                }
                out.println(step.text);
                done++;
            }
            out.println(done + " change(s) applied");
        }
    }
}
