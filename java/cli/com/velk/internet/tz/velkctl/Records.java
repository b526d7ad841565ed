package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNExecutorInterface;
import java.util.List;
import java.util.Set;
import java.util.function.Function;
import java.util.function.ObjIntConsumer;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;

/**
 * The record verbs that clusters, ports, servers and rules share (add, set, remove, show,
 * report), each written once over a {@link Kind}: the record's class, how its positional
 * arguments name one, and the library methods that add, change, remove and read it.
 */
final class Records {
    private Records() {
    }

    /** The positional arguments that name one record: a mixin of each verb. */
    interface Key<T> {
        T make(CMNExecutorInterface api);
    }

    /** Options a kind adds to its add and set verbs beside the fields (a server's listeners). */
    interface Extra<T> {
        void prepare(T target);
    }

    /** What the shared verbs need to know of one kind of record. */
    static final class Kind<T> {
        final String noun;
        final Class<T> type;
        final Set<String> always;
        final Set<String> skip;
        final java.util.function.Supplier<Key<T>> key;
        final Function<T, String> label;
        final Api.Op<T> add;
        final Api.Op<T> set;
        final Api.Op<T> remove;
        final Api.Op<T> status;
        final Api.Op<T> report;
        final Api.Op<T> rate;
        final ObjIntConsumer<T> setRate;
        java.util.function.Supplier<Extra<T>> extra = () -> null;
        Function<T, String> added;

        Kind(String noun, Class<T> type, Set<String> always, Set<String> skip,
             java.util.function.Supplier<Key<T>> key, Function<T, String> label,
             List<Api.Op<T>> ops, ObjIntConsumer<T> setRate) {
            this.noun = noun;
            this.type = type;
            this.always = always;
            this.skip = skip;
            this.key = key;
            this.label = label;
            this.add = ops.get(0);
            this.set = ops.get(1);
            this.remove = ops.get(2);
            this.status = ops.get(3);
            this.report = ops.get(4);
            this.rate = ops.get(5);
            this.setRate = setRate;
            this.added = t -> label.apply(t) + ": added";
        }
    }

    /** add, set, remove, show, report of the kind, with the family's own verbs beside them. */
    static <T> CommandLine family(Kind<T> kind, Verb.Group group, Verb... own) {
        CommandLine line = new CommandLine(group);
        java.util.Map<String, Verb> verbs = new java.util.LinkedHashMap<>();
        for (Verb verb : new Verb[] {new Add<>(kind), new Change<>(kind), new Remove<>(kind),
            new Show<>(kind), new Report<>(kind)}) {
            verbs.put(verb.name(), verb);
        }
        for (Verb verb : own) {
            verbs.put(verb.name(), verb);
        }
        verbs.forEach((name, verb) -> {
            CommandLine sub = new CommandLine(verb);
            if (verb instanceof RecordVerb) {
                sub.addMixin("key", ((RecordVerb<?>) verb).key);
            }
            if (verb instanceof Write && ((Write<?>) verb).extra != null) {
                sub.addMixin("extra", ((Write<?>) verb).extra);
            }
            if (verb instanceof Write) {
                FieldOptions.add(sub.getCommandSpec(), kind.type, kind.always, kind.skip);
            }
            line.addSubcommand(name, sub);
        });
        return line;
    }

    /** A verb over one record named by its positional arguments. */
    abstract static class RecordVerb<T> extends Verb {
        final Kind<T> kind;
        final Key<T> key;

        RecordVerb(Kind<T> kind) {
            this.kind = kind;
            this.key = kind.key.get();
        }

        T target() throws Api.Failure {
            return key.make(api());
        }

        void run(Api.Op<T> op, T target) throws Api.Failure {
            op.run(api(), target, kind.label.apply(target));
        }
    }

    /** add and set: the record's fields as options, the rate after the request. */
    abstract static class Write<T> extends RecordVerb<T> {
        @Option(names = "--connections-per-second", paramLabel = "N",
                converter = Types.Number.class,
                description = "the connection rate, sent after the request")
        Integer rate;
        final Extra<T> extra;

        Write(Kind<T> kind) {
            super(kind);
            extra = kind.extra.get();
        }

        void write(Api.Op<T> op, String note) throws Api.Failure {
            T t = target();
            applyFields(t);
            if (extra != null) {
                extra.prepare(t);
            }
            run(op, t);
            if (rate != null) {
                kind.setRate.accept(t, rate);
                run(kind.rate, t);
            }
            out().note(note == null ? kind.added.apply(t) : kind.label.apply(t) + note);
        }
    }

    @Command(name = "add", mixinStandardHelpOptions = true, description = "Add the record.")
    static final class Add<T> extends Write<T> {
        Add(Kind<T> kind) {
            super(kind);
        }

        @Override
        void run() throws Api.Failure {
            write(kind.add, null);
        }
    }

    @Command(name = "set", mixinStandardHelpOptions = true,
            description = "Change the settings given as options.")
    static final class Change<T> extends Write<T> {
        Change(Kind<T> kind) {
            super(kind);
        }

        @Override
        void run() throws Api.Failure {
            write(kind.set, ": changed");
        }
    }

    @Command(name = "remove", mixinStandardHelpOptions = true, description = "Remove the record.")
    static final class Remove<T> extends RecordVerb<T> {
        Remove(Kind<T> kind) {
            super(kind);
        }

        @Override
        void run() throws Api.Failure {
            T t = target();
            run(kind.remove, t);
            out().note(kind.label.apply(t) + ": removed");
        }
    }

    @Command(name = "show", mixinStandardHelpOptions = true, description = "Show the settings.")
    static final class Show<T> extends RecordVerb<T> {
        Show(Kind<T> kind) {
            super(kind);
        }

        @Override
        void run() throws Api.Failure {
            T t = target();
            run(kind.status, t);
            out().show(Output.record(t));
        }
    }

    @Command(name = "report", mixinStandardHelpOptions = true,
            description = "Show the rates and counters.")
    static final class Report<T> extends RecordVerb<T> {
        Report(Kind<T> kind) {
            super(kind);
        }

        @Override
        void run() throws Api.Failure {
            T t = target();
            run(kind.report, t);
            out().show(Output.record(t));
        }
    }
}
