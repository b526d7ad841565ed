package com.velk.internet.tz.velkctl;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.TreeMap;

/**
 * What a failed call means, as one sentence about the object it named. The sentences live in
 * errors.txt beside this class: "method code sentence" lines, "method = other" to share another
 * method's lines, "method * sentence" for the executor's own reasons a method passes through, and
 * "*" lines for the codes every method that passes the send result through may give.
 */
public final class ErrorTable {
    private static final String ANY = "*";
    private static final Map<String, String> PASSED_REASONS = new LinkedHashMap<>();
    private static final Map<String, Map<Integer, String>> TABLE = load();

    private ErrorTable() {
    }

    private static Map<String, Map<Integer, String>> load() {
        Map<String, Map<Integer, String>> table = new LinkedHashMap<>();
        try (InputStream in = ErrorTable.class.getResourceAsStream("errors.txt");
             BufferedReader reader = new BufferedReader(
                     new InputStreamReader(in, StandardCharsets.UTF_8))) {
            for (String line; (line = reader.readLine()) != null; ) {
                line = line.strip();
                if (line.isEmpty() || line.startsWith("#")) {
                    continue;
                }
                String[] parts = line.split(" ", 3);
                Map<Integer, String> codes = table.computeIfAbsent(parts[0], k -> new TreeMap<>());
                if (parts[1].equals(ANY)) {
                    PASSED_REASONS.put(parts[0], parts[2]);
                } else if (parts[1].equals("=")) {
                    codes.putAll(table.getOrDefault(parts[2], Map.of()));
                } else {
                    codes.put(Integer.parseInt(parts[1]), parts[2]);
                }
            }
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        return table;
    }

    /** The codes with a sentence of their own for the method (the "*" codes not included). */
    public static Map<Integer, String> codesOf(String method) {
        return Collections.unmodifiableMap(TABLE.getOrDefault(method, Map.of()));
    }

    /** The methods the table names. */
    public static Iterable<String> methods() {
        return TABLE.keySet();
    }

    /** The sentence for a method's result, without the object's name. */
    public static String sentence(String method, int code) {
        String text = TABLE.getOrDefault(method, Map.of()).get(code);
        if (text == null) {
            text = TABLE.get(ANY).get(code);
        }
        if (text == null && code < 0) {
            text = PASSED_REASONS.get(method);
        }
        if (text != null) {
            return text;
        }
        if (code == 1) {
            return "requests are held while the server modality flag is set";
        }
        if (code > 0) {
            return "the executor device call failed with system error " + code;
        }
        return "unknown error";
    }
}
