package com.velk.internet.tz.velkctl;

import com.google.gson.GsonBuilder;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
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
}
