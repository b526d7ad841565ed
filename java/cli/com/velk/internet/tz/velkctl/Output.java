package com.velk.internet.tz.velkctl;

import com.google.gson.GsonBuilder;
import java.io.PrintStream;
import java.lang.reflect.Field;
import java.lang.reflect.Modifier;
import java.net.InetAddress;
import java.net.UnknownHostException;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import picocli.CommandLine.Option;
import picocli.CommandLine.ScopeType;

/**
 * How a verb prints: tables or JSON, addresses as names or numbers. Mixed into the root command
 * once; its two options are inherited by every object and verb.
 */
final class Output {
    @Option(names = "--json", scope = ScopeType.INHERIT,
            description = "print JSON for scripts instead of tables")
    boolean json;

    @Option(names = {"-n", "--numeric"}, scope = ScopeType.INHERIT,
            description = "print addresses as dotted numbers, without name lookups")
    boolean numeric;

    PrintStream out = System.out;

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

    /** The object's fields as one record: every public field but the flag bytes and arrays. */
    static Map<String, Object> record(Object source) {
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

    static Map<String, Object> row(Object... pairs) {
        Map<String, Object> row = new LinkedHashMap<>();
        for (int i = 0; i + 1 < pairs.length; i += 2) {
            row.put((String) pairs[i], pairs[i + 1]);
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
