package com.velk.internet.tz.velkctl;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.UncheckedIOException;
import java.lang.reflect.Field;
import java.lang.reflect.Modifier;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import picocli.CommandLine.Model.CommandSpec;
import picocli.CommandLine.ITypeConverter;
import picocli.CommandLine.Model.OptionSpec;

/**
 * The fields of an object class as command line options: every field the library reads, either
 * behind its "Set..." flag byte (the option sets the flag too) or always read. Option names are
 * the field names without their type prefix, in lower case with dashes ("MaxNumberOfPorts" is
 * --max-number-of-ports); the help texts come from fields.txt beside this class.
 */
final class FieldOptions {
    /** Flag bytes whose name is not "Set" and the field's name. */
    private static final Map<String, String> FLAG_NAMES = Map.of(
            "CMNExecutor.NFA", "SetNonForwardingAddress",
            "CMNExecutor.iSharedBytesPerSecond", "SetSharedBandwidth",
            "CMNCluster.Address", "SetIPAddress",
            "CMNCluster.iSharedBytesPerSecond", "SetSharedBandwidth",
            "CMNCluster.iActiveConnsProp", "SetClusterProportions",
            "CMNCluster.iNewConnsProp", "SetClusterProportions",
            "CMNCluster.iPortSpecificProp", "SetClusterProportions",
            "CMNCluster.iSystemProp", "SetClusterProportions",
            "CMNRule.AddressBeginRange", "SetBeginRange",
            "CMNRule.AddressEndRange", "SetEndRange");
    private static final Map<String, String> HELP = loadHelp();
    private static final Map<Class<?>, ITypeConverter<?>> CONVERTERS = Map.of(
            int.class, new Types.Number(), byte.class, new Types.Byte(),
            char.class, new Types.Char(), byte[].class, new Types.AddressBytes(),
            String.class, text -> text);

    private FieldOptions() {
    }

    private static Map<String, String> loadHelp() {
        Map<String, String> help = new HashMap<>();
        try (InputStream in = FieldOptions.class.getResourceAsStream("fields.txt");
             BufferedReader reader = new BufferedReader(
                     new InputStreamReader(in, StandardCharsets.UTF_8))) {
            for (String line; (line = reader.readLine()) != null; ) {
                if (!line.isBlank() && !line.startsWith("#")) {
                    String[] parts = line.split(" ", 2);
                    help.put(parts[0], parts[1].strip());
                }
            }
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        return help;
    }

    static boolean isFlag(Field field) {
        return field.getType() == byte.class && field.getName().startsWith("Set");
    }

    private static String key(Field field) {
        return field.getDeclaringClass().getSimpleName() + "." + field.getName();
    }

    /** The field's name without "_" and its one-letter type prefix: "_iWeight" is "Weight". */
    static String bareName(Field field) {
        String name = field.getName().replaceFirst("^_", "");
        if (name.length() > 1 && "isb".indexOf(name.charAt(0)) >= 0
                && Character.isUpperCase(name.charAt(1))) {
            name = name.substring(1);
        }
        return Character.toUpperCase(name.charAt(0)) + name.substring(1);
    }

    /** The flag byte the library reads before the field, or null when it reads it always. */
    static Field flagOf(Field field) {
        String explicit = FLAG_NAMES.get(key(field));
        for (String name : explicit != null ? new String[] {explicit}
                : new String[] {"Set" + field.getName(), "Set" + bareName(field)}) {
            try {
                Field flag = field.getDeclaringClass().getField(name);
                if (isFlag(flag)) {
                    return flag;
                }
            } catch (NoSuchFieldException e) {
                // try the next spelling
            }
        }
        return null;
    }

    static String optionName(Field field) {
        return "--" + bareName(field).replaceAll("([a-z0-9])([A-Z])", "$1-$2")
                .replaceAll("([A-Z])([A-Z][a-z])", "$1-$2").toLowerCase();
    }

    /**
     * Adds an option for every flagged field of the class and for the named unflagged ones
     * (fields the library always reads), leaving out the ones in skip.
     */
    static void add(CommandSpec commandSpec, Class<?> type, Set<String> always, Set<String> skip) {
        for (Field field : fields(type, always, skip)) {
            String help = HELP.getOrDefault(key(field), "\"" + field.getName() + "\"");
            commandSpec.addOption(OptionSpec.builder(optionName(field))
                    .type(field.getType())
                    .converters(CONVERTERS.get(field.getType()))
                    .paramLabel(label(field))
                    .description(help + " (\"" + field.getName() + "\")")
                    .userObject(field)
                    .build());
        }
    }

    /** The fields the options of a class set, in the class's order. */
    static List<Field> fields(Class<?> type, Set<String> always, Set<String> skip) {
        List<Field> fields = new ArrayList<>();
        for (Field field : type.getFields()) {
            if (!Modifier.isStatic(field.getModifiers()) && !isFlag(field)
                    && !skip.contains(field.getName())
                    && (flagOf(field) != null || always.contains(field.getName()))) {
                fields.add(field);
            }
        }
        return fields;
    }

    /** Sets the field, and its flag byte to 1 where it has one. */
    static void set(Object target, Field field, Object value) {
        try {
            field.set(target, value);
            Field flag = flagOf(field);
            if (flag != null) {
                flag.setByte(target, (byte) 1);
            }
        } catch (IllegalAccessException e) {
            throw new IllegalStateException(e);
        }
    }

    /** True for the text fields that hold an address, name or dotted. */
    static boolean isAddress(Field field) {
        return label(field).equals("ADDRESS");
    }

    private static String label(Field field) {
        Class<?> t = field.getType();
        if (t == String.class) {
            return field.getName().matches(".*(Address|NFA|Gateway|Host).*") ? "ADDRESS" : "TEXT";
        }
        if (t == byte[].class) {
            return "ADDRESS";
        }
        if (t == char.class) {
            return "CHAR";
        }
        return t == byte.class ? "0|1" : "N";
    }
}
