package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNExecutorInterface;
import java.lang.reflect.Field;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import picocli.CommandLine.Model.CommandSpec;
import picocli.CommandLine.Model.OptionSpec;
import picocli.CommandLine.Spec;

/**
 * A verb: what it does once picocli has parsed its arguments. Failures are thrown as
 * {@link Api.Failure}s, which the root turns into one error line and an exit status.
 */
abstract class Verb implements Callable<Integer> {
    @Spec
    CommandSpec spec;

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

    Output out() {
        return ((Velkctl) spec.root().userObject()).output;
    }

    static CMNExecutorInterface api() throws Api.Failure {
        return Api.session();
    }

    /** Sets every field whose option was given, and its flag byte where it has one. */
    void applyFields(Object target) {
        for (OptionSpec option : spec.commandLine().getParseResult().matchedOptions()) {
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

    /** An object: a command whose subcommands are its verbs, and which does nothing itself. */
    abstract static class Group implements Callable<Integer> {
        @Spec
        CommandSpec spec;

        @Override
        public Integer call() throws Api.Failure {
            throw Api.badUsage("name " + (spec.parent() == null ? "an object" : "a verb")
                    + "; try '" + spec.qualifiedName() + " --help'");
        }
    }
}
