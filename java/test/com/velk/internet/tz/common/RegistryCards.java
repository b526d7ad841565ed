package com.velk.internet.tz.common;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Comparator;
import java.util.stream.Stream;

/** Card trees in the registry folder the rig gives each class (VELKLB_REGISTRY, read by the library at each call). */
final class RegistryCards {
    static final Path ROOT = Path.of(SimExecutor.env("VELKLB_REGISTRY"));

    /** Which interface key a card's addresses go under: the executor scan's or the service scan's. */
    enum Key { TCPIP, SERVICE }

    private RegistryCards() {
    }

    /** Empties the registry, then writes cards "number service ip mask; ..." ("-" leaves a value out). */
    static void write(Key key, String cards) {
        try (Stream<Path> all = Files.walk(ROOT)) {
            all.sorted(Comparator.reverseOrder()).filter(p -> !p.equals(ROOT)).forEach(p -> p.toFile().delete());
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        add(key, cards);
    }

    static void add(Key key, String cards) {
        for (String card : cards.split(";")) {
            String[] f = card.trim().split(" +");
            if (f.length < 4) {
                continue;
            }
            put("SOFTWARE/Microsoft/Windows NT/CurrentVersion/NetworkCards/" + f[0], "ServiceName", f[1]);
            String at = key == Key.TCPIP ? "SYSTEM/CurrentControlSet/Services/Tcpip/Parameters/Interfaces/" + f[1]
                    : "SYSTEM/CurrentControlSet/Services/" + f[1] + "/Parameters/Tcpip";
            if (!f[1].equals("-")) {
                put(at, "IPAddress", f[2]);
                put(at, "SubnetMask", f[3]);
            }
        }
    }

    /** The executor's interface names by service: "service name service name ...". */
    static void names(SimExecutor sim, String pairs) {
        String[] w = pairs.trim().split(" +");
        for (int i = 0; i + 1 < w.length; i += 2) {
            sim.command("IFNAME " + w[i] + " " + w[i + 1]);
        }
    }

    private static void put(String key, String name, String text) {
        try {
            Path dir = Files.createDirectories(ROOT.resolve(key));
            if (!text.equals("-")) {
                Files.writeString(dir.resolve(name), text);
            }
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }
}
