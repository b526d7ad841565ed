package com.velk.internet.tz.velkctl;

import com.google.gson.GsonBuilder;
import com.velk.internet.tz.common.CMNExecutorInterface;
import java.io.PrintStream;
import java.lang.reflect.Field;
import java.lang.reflect.Modifier;
import java.net.InetAddress;
import java.net.UnknownHostException;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import picocli.CommandLine.Model.OptionSpec;
import picocli.CommandLine.ParseResult;

/** One verb being run: its parsed arguments, the output streams and the output form. */
final class Call {
    /** A request the library or the executor refused; the message names the object. */
    static final class Refused extends Exception {
        private static final long serialVersionUID = 1L;

        Refused(String message) {
            super(message);
        }
    }

    /** Arguments that parse but make no sense together. */
    static final class BadUsage extends Exception {
        private static final long serialVersionUID = 1L;

        BadUsage(String message) {
            super(message);
        }
    }

    final CMNExecutorInterface api;
    final PrintStream out;
    private final ParseResult parsed;
    private final boolean json;
    private final boolean numeric;

    Call(CMNExecutorInterface api, ParseResult parsed, PrintStream out) {
        this.api = api;
        this.parsed = parsed;
        this.out = out;
        this.json = parsed.hasMatchedOption("--json");
        this.numeric = parsed.hasMatchedOption("-n");
    }

    /** The positional argument at index, or null. */
    String arg(int index) {
        return parsed.matchedPositionalValue(index, null);
    }

    int port(int index) throws BadUsage {
        return number(arg(index), "port");
    }

    String option(String name) {
        return parsed.matchedOptionValue(name, null);
    }

    /** The values of a repeatable option, in the order given. */
    List<String> optionList(String name) {
        List<String> values = parsed.matchedOptionValue(name, null);
        return values == null ? List.of() : values;
    }

    boolean has(String name) {
        return parsed.hasMatchedOption(name);
    }

    int intOption(String name, int fallback) throws BadUsage {
        String text = option(name);
        return text == null ? fallback : number(text, name);
    }

    static int number(String text, String what) throws BadUsage {
        try {
            return Integer.decode(text);
        } catch (NumberFormatException | NullPointerException e) {
            throw new BadUsage(what + ": not a number: " + text);
        }
    }

    /** Throws Refused with the sentence for a negative (or other nonzero) result. */
    static void check(int result, String method, String object) throws Refused {
        if (result != 0) {
            throw new Refused(object + ": " + ErrorTable.sentence(method, result)
                    + " (" + result + ")");
        }
    }

    // ---- fields as options -----------------------------------------------------------------

    /** Sets every field whose option was given, and its flag byte to 1 where it has one. */
    void apply(Object target) throws BadUsage {
        for (OptionSpec option : parsed.matchedOptions()) {
            if (!(option.userObject() instanceof Field)) {
                continue;
            }
            Field field = (Field) option.userObject();
            if (!field.getDeclaringClass().isInstance(target)) {
                continue;
            }
            String text = option.getValue();
            try {
                field.set(target, FieldOptions.parse(field, text));
                Field flag = FieldOptions.flagOf(field);
                if (flag != null) {
                    flag.setByte(target, (byte) 1);
                }
            } catch (IllegalArgumentException e) {
                throw new BadUsage(option.longestName() + ": " + e.getMessage());
            } catch (IllegalAccessException e) {
                throw new IllegalStateException(e);
            }
        }
    }

    // ---- output ----------------------------------------------------------------------------

    /** An int address in the library's host order (first octet most significant). */
    String address(int address) {
        byte[] bytes = {(byte) (address >>> 24), (byte) (address >>> 16), (byte) (address >>> 8),
            (byte) address};
        try {
            InetAddress inet = InetAddress.getByAddress(bytes);
            return numeric || address == 0 ? inet.getHostAddress() : inet.getHostName();
        } catch (UnknownHostException e) {
            throw new IllegalStateException(e);
        }
    }

    /** Text for an address option: a name or dotted text, as a host-order int. */
    static int addressArg(String text, String what) throws BadUsage {
        try {
            byte[] b = InetAddress.getByName(text).getAddress();
            if (b.length != 4) {
                throw new BadUsage(what + ": not an IPv4 address: " + text);
            }
            return (b[0] & 0xFF) << 24 | (b[1] & 0xFF) << 16 | (b[2] & 0xFF) << 8 | (b[3] & 0xFF);
        } catch (UnknownHostException e) {
            throw new BadUsage(what + ": no such host: " + text);
        }
    }

    /** The object's fields as one record: every public field but the flag bytes and arrays. */
    Map<String, Object> record(Object source) {
        Map<String, Object> row = new LinkedHashMap<>();
        for (Field field : source.getClass().getFields()) {
            if (Modifier.isStatic(field.getModifiers()) || FieldOptions.isFlag(field)) {
                continue;
            }
            try {
                Object value = field.get(source);
                if (value instanceof byte[]) {
                    byte[] bytes = (byte[]) value;
                    value = bytes.length == 4 || bytes.length == 16
                            ? InetAddress.getByAddress(bytes).getHostAddress() : null;
                } else if (value instanceof Character) {
                    char c = (Character) value;
                    value = c == 0 ? "" : String.valueOf(c);
                } else if (value instanceof Integer && field.getName().contains("IdKey")) {
                    value = String.format("0x%08X", value);
                } else if (value != null && value.getClass().isArray()) {
                    continue;
                }
                row.put(field.getName(), value);
            } catch (IllegalAccessException | UnknownHostException e) {
                throw new IllegalStateException(e);
            }
        }
        return row;
    }

    /** One record: FIELD/VALUE rows, or a JSON object. */
    void show(Map<String, Object> record) {
        if (json) {
            out.println(new GsonBuilder().setPrettyPrinting().serializeNulls().create()
                    .toJson(record));
            return;
        }
        Table table = new Table("FIELD", "VALUE");
        record.forEach((k, v) -> table.row(k, v));
        table.print(out);
    }

    /** Rows of one listing: an aligned table, or a JSON array of objects. */
    void list(List<Map<String, Object>> rows, String... columns) {
        if (json) {
            out.println(new GsonBuilder().setPrettyPrinting().serializeNulls().create()
                    .toJson(rows));
            return;
        }
        Table table = new Table(columns);
        for (Map<String, Object> row : rows) {
            table.row(row.values().toArray());
        }
        table.print(out);
    }

    /** A report text as the executor gives it (as a JSON string with --json). */
    void text(String text) {
        if (json) {
            out.println(new GsonBuilder().create().toJson(Map.of("text", text)));
        } else {
            out.print(text);
            if (!text.isEmpty() && !text.endsWith("\n")) {
                out.println();
            }
        }
    }

    /** A line of success text, left out of JSON output. */
    void note(String text) {
        if (!json) {
            out.println(text);
        }
    }

    /** Column-aligned rows, two blanks apart. */
    static final class Table {
        private final List<String[]> rows = new ArrayList<>();

        Table(String... header) {
            rows.add(header);
        }

        void row(Object... cells) {
            String[] row = new String[cells.length];
            for (int i = 0; i < cells.length; i++) {
                row[i] = String.valueOf(cells[i]);
            }
            rows.add(row);
        }

        void print(PrintStream out) {
            int[] width = new int[rows.get(0).length];
            for (String[] row : rows) {
                for (int i = 0; i < row.length && i < width.length; i++) {
                    width[i] = Math.max(width[i], row[i].length());
                }
            }
            for (String[] row : rows) {
                StringBuilder line = new StringBuilder();
                for (int i = 0; i < row.length && i < width.length; i++) {
                    line.append(i + 1 < row.length ? String.format("%-" + width[i] + "s  ", row[i])
                            : row[i]);
                }
                out.println(line.toString().stripTrailing());
            }
        }
    }
}
