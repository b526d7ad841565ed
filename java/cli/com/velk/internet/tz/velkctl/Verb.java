package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNExecutorInterface;
import java.lang.reflect.Field;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import picocli.CommandLine;
import picocli.CommandLine.Model.OptionSpec;
import picocli.CommandLine.Parameters;

/**
 * A verb: what it does once picocli has parsed its arguments. Failures are thrown as
 * {@link Api.Failure}s, which the root turns into one error line and an exit status.
 */
abstract class Verb implements Callable<Integer> {
    /** The command line this verb was parsed by; set before it runs (see {@link #attach}). */
    CommandLine command;

    abstract void run() throws Api.Failure;

    @Override
    public Integer call() throws Api.Failure {
        run();
        return Velkctl.OK;
    }

    /** The verb's name: its command's, unless one class serves several verbs. */
    String name() {
        return getClass().getAnnotation(picocli.CommandLine.Command.class).name();
    }

    /** The verb's help line, where one class serves several verbs (else its annotation's). */
    String description() {
        return null;
    }

    /** The verb as a command line, with its own help line. */
    CommandLine line() {
        CommandLine line = new CommandLine(this);
        if (description() != null) {
            line.getCommandSpec().usageMessage().description(description());
        }
        return line;
    }

    Output out() {
        return ((Velkctl) command.getCommandSpec().root().userObject()).output;
    }

    static CMNExecutorInterface api() throws Api.Failure {
        return Api.session();
    }

    /** Sets every field whose option was given, and its flag byte where it has one. */
    void applyFields(Object target) {
        for (OptionSpec option : command.getParseResult().matchedOptions()) {
            if (option.userObject() instanceof Field
                    && ((Field) option.userObject()).getDeclaringClass().isInstance(target)) {
                FieldOptions.set(target, (Field) option.userObject(), option.getValue());
            }
        }
    }

    /** Items of a list text "+a+b+c". */
    static List<String> items(CharSequence list) {
        List<String> items = new ArrayList<>();
        for (String item : list.toString().split("\\+")) {
            if (!item.isEmpty()) {
                items.add(item);
            }
        }
        return items;
    }

    static String nonNull(String text, String what) throws Api.Failure {
        if (text == null) {
            throw Api.refused(what + ": the library gave no report");
        }
        return text;
    }

    /** CLUSTER PORT: the positionals that name a port, first of every port-level verb's. */
    static class PortKey {
        @Parameters(index = "0", paramLabel = "CLUSTER", description = "the cluster's identifier")
        String cluster;
        @Parameters(index = "1", paramLabel = "PORT", description = "the port number",
                converter = Types.Number.class)
        int port;
    }

    /** An object: a command whose subcommands are its verbs, and which does nothing itself. */
    abstract static class Group implements Callable<Integer> {
        CommandLine command;

        @Override
        public Integer call() throws Api.Failure {
            throw Api.badUsage("name " + (command.getParent() == null ? "an object" : "a verb")
                    + "; try '" + command.getCommandSpec().qualifiedName() + " --help'");
        }
    }

    /** Hands each parsed verb and object the command line that parsed it. */
    static void attach(CommandLine.ParseResult parsed) {
        for (CommandLine line : parsed.asCommandLineList()) {
            Object command = line.getCommand();
            if (command instanceof Verb) {
                ((Verb) command).command = line;
            } else if (command instanceof Group) {
                ((Group) command).command = line;
            }
        }
    }
}
