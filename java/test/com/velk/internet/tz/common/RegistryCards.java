package com.velk.internet.tz.common;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Comparator;
import java.util.stream.Stream;

/**
 * Network card trees in the registry folder the rig gives each test class (VELKLB_REGISTRY,
 * which the library reads at call time), written from rows of data so each case reads as a table.
 */
final class RegistryCards {
    static final Path ROOT = Path.of(SimExecutor.env("VELKLB_REGISTRY"));
    static final String CARDS = "SOFTWARE/Microsoft/Windows NT/CurrentVersion/NetworkCards/";
    static final String TCPIP = "SYSTEM/CurrentControlSet/Services/Tcpip/Parameters/Interfaces/";
    static final String SERVICES = "SYSTEM/CurrentControlSet/Services/";

    /** Which interface key a card's addresses go under. */
    enum Key { TCPIP, SERVICE }

    /** A card: its number, service name and interface values; a null value is left out, a null service too. */
    record Card(int number, String service, String ip, String mask) {
    }

    private RegistryCards() {
    }

    static Card card(int number, String service, String ip, String mask) {
        return new Card(number, service, ip, mask);
    }

    /** Empties the registry folder. */
    static void clear() {
        try (Stream<Path> all = Files.walk(ROOT)) {
            all.sorted(Comparator.reverseOrder()).filter(p -> !p.equals(ROOT)).forEach(p -> p.toFile().delete());
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** Writes each card's key and its interface key under `key`. An interface key with no values still exists. */
    static void write(Key key, Card... cards) {
        for (Card c : cards) {
            mkdir(CARDS + c.number());
            value(CARDS + c.number(), "ServiceName", c.service());
            if (c.service() == null) {
                continue;
            }
            String path = key == Key.TCPIP ? TCPIP + c.service() : SERVICES + c.service() + "/Parameters/Tcpip";
            mkdir(path);
            value(path, "IPAddress", c.ip());
            value(path, "SubnetMask", c.mask());
        }
    }

    static void mkdir(String path) {
        try {
            Files.createDirectories(ROOT.resolve(path));
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** A value file; null writes nothing. Raw bytes so tests can store any text. */
    static void value(String keyPath, String name, String text) {
        if (text == null) {
            return;
        }
        try {
            Files.write(ROOT.resolve(keyPath).resolve(name), text.getBytes(java.nio.charset.StandardCharsets.ISO_8859_1));
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }
}
