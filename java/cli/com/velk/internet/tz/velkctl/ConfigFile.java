package com.velk.internet.tz.velkctl;

import java.io.IOException;
import java.io.Reader;
import java.lang.reflect.Field;
import java.math.BigInteger;
import java.net.Inet4Address;
import java.net.InetAddress;
import java.net.UnknownHostException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import org.yaml.snakeyaml.LoaderOptions;
import org.yaml.snakeyaml.Yaml;
import org.yaml.snakeyaml.error.Mark;
import org.yaml.snakeyaml.error.MarkedYAMLException;
import org.yaml.snakeyaml.error.YAMLException;
import org.yaml.snakeyaml.nodes.MappingNode;
import org.yaml.snakeyaml.nodes.Node;
import org.yaml.snakeyaml.nodes.NodeTuple;
import org.yaml.snakeyaml.nodes.ScalarNode;
import org.yaml.snakeyaml.nodes.SequenceNode;
import org.yaml.snakeyaml.nodes.Tag;

/**
 * Reads a configuration file (YAML, or JSON, which the same parser reads) into the tree of
 * {@link Config}, checking all of it first. The file is data: it is only composed into nodes,
 * never constructed into objects, any tag beyond the plain types is refused, and the size,
 * nesting depth and aliases are bounded, so a hostile file gives an error, not an object graph
 * or an exhausted heap. Every error names the file, line and column.
 */
final class ConfigFile {
    /** Far more than the largest configuration the executor can hold. */
    static final long MAX_BYTES = 8L << 20;
    static final int MAX_DEPTH = 16;
    static final int MAX_ALIASES = 16;
    private static final Set<Tag> PLAIN = Set.of(Tag.STR, Tag.INT, Tag.BOOL, Tag.NULL, Tag.FLOAT,
            Tag.MAP, Tag.SEQ);
    /** Texts with a length the library refuses beyond, by field. */
    private static final Map<String, Integer> MAX_TEXT = Map.of("ConfigFileName", 255,
            "_sAdvisorRequest", 255, "_sAdvisorResponse", 255, "CookieValue", 99, "CloneID", 101,
            "Pattern", 99, "CookieName", 99, "sHashID", 39, "ServiceTOS", 8);

    private final String name;
    private final List<String> errors = new ArrayList<>();

    private ConfigFile(String name) {
        this.name = name;
    }

    /** The checked tree; throws a bad-usage failure listing every error, nothing read past. */
    static Map<String, Object> read(Path file) throws Api.Failure {
        ConfigFile f = new ConfigFile(file.toString());
        Map<String, Object> tree = null;
        try {
            if (Files.size(file) > MAX_BYTES) {
                f.errors.add(file + ": larger than " + (MAX_BYTES >> 20) + " MB; not read");
            } else {
                try (Reader reader = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
                    tree = f.document(reader);
                }
            }
        } catch (java.nio.file.NoSuchFileException e) {
            f.errors.add(file + ": no such file");
        } catch (IOException | java.io.UncheckedIOException e) {
            f.errors.add(file + ": can't be read: " + e.getMessage());
        }
        if (!f.errors.isEmpty()) {
            throw Api.badUsage(String.join("\n", f.errors) + "\n" + file + ": " + f.errors.size()
                    + " error(s); nothing was sent");
        }
        return tree;
    }

    private Map<String, Object> document(Reader reader) {
        LoaderOptions options = new LoaderOptions();
        options.setMaxAliasesForCollections(MAX_ALIASES);
        options.setNestingDepthLimit(MAX_DEPTH);
        options.setCodePointLimit((int) MAX_BYTES);
        options.setAllowRecursiveKeys(false);
        Node root;
        try {
            root = new Yaml(options).compose(reader);
        } catch (MarkedYAMLException e) {
            errors.add(at(e.getProblemMark()) + e.getProblem());
            return null;
        } catch (YAMLException e) {
            errors.add(name + ": " + e.getMessage());
            return null;
        }
        if (root == null) {
            return new LinkedHashMap<>();
        }
        Map<String, Object> tree = new LinkedHashMap<>();
        Map<String, Node> top = mapping(root, Set.of("executor", "clusters", "aliases", "ha",
                "icmp"));
        if (top == null) {
            return null;
        }
        Map<String, Object> executor = section(top.get("executor"), Config.EXECUTOR);
        if (executor != null) {
            tree.put("executor", executor);
        }
        Node clusters = top.get("clusters");
        Map<String, Object> cl = new TreeMap<>();
        Map<String, Node> clusterNodes = clusters == null ? Map.of() : entries(clusters);
        for (Map.Entry<String, Node> e : clusterNodes.entrySet()) {
            identifier(e.getKey(), 64, e.getValue(), "cluster identifier");
            cl.put(e.getKey(), cluster(e.getKey(), e.getValue(), executor));
        }
        if (clusters != null) {
            tree.put("clusters", cl);
        }
        if (top.containsKey("aliases")) {
            List<String> aliases = new ArrayList<>();
            for (Node n : sequence(top.get("aliases"))) {
                String a = address(n);
                if (a != null && cl.values().stream().noneMatch(c -> a.equals(
                        ((Map<?, ?>) c).get("address")))) {
                    error(n, "alias " + a + " is no cluster's address in this file");
                }
                aliases.add(a);
            }
            aliases.sort(null);
            tree.put("aliases", aliases);
        }
        if (top.containsKey("ha")) {
            tree.put("ha", ha(top.get("ha")));
        }
        if (top.containsKey("icmp")) {
            Map<String, Node> icmp = mapping(top.get("icmp"),
                    Set.of("got-icmp-resp", "icmp-resp-addr"));
            if (icmp != null) {
                tree.put("icmp", Config.icmp(
                        icmp.containsKey("got-icmp-resp") ? number(icmp.get("got-icmp-resp"),
                                Integer.MIN_VALUE, Integer.MAX_VALUE) : 0,
                        icmp.containsKey("icmp-resp-addr") ? address(icmp.get("icmp-resp-addr"))
                                : "0.0.0.0"));
            }
        }
        return tree;
    }

    private Map<String, Object> cluster(String id, Node node, Map<String, Object> executor) {
        Map<String, Object> c = section(node, Config.CLUSTER, Config.PORTS);
        if (c == null) {
            return null;
        }
        Node portsNode = mappingNodes(node).get(Config.PORTS);
        Map<Integer, Object> ports = new TreeMap<>();
        if (portsNode != null) {
            Map<String, Node> byKey = entries(portsNode);
            Object limit = c.containsKey("max-number-of-ports") ? c.get("max-number-of-ports")
                    : executor == null ? null : executor.get("default-cluster-max-ports");
            if (limit instanceof Integer && byKey.size() > (Integer) limit) {
                error(portsNode, "cluster " + id + " has " + byKey.size()
                        + " ports, more than its limit of " + limit);
            }
            for (Map.Entry<String, Node> e : byKey.entrySet()) {
                Integer port = portNumber(e.getKey(), e.getValue());
                if (port != null) {
                    ports.put(port, port(id + ":" + port, e.getValue(), c));
                }
            }
        }
        if (portsNode != null) {
            c.put(Config.PORTS, ports);
        }
        return c;
    }

    private Map<String, Object> port(String label, Node node, Map<String, Object> cluster) {
        Map<String, Object> p = section(node, Config.PORT, Config.SERVERS, Config.RULES);
        if (p == null) {
            return null;
        }
        Map<String, Node> nodes = mappingNodes(node);
        Map<String, Object> servers = new TreeMap<>();
        Node serversNode = nodes.get(Config.SERVERS);
        Object bound = p.containsKey("weight-bound") ? p.get("weight-bound")
                : cluster.get("default-port-weight-bound");
        if (serversNode != null) {
            Map<String, Node> byId = entries(serversNode);
            Object limit = p.get("max-number-of-servers");
            if (limit instanceof Integer && byId.size() > (Integer) limit) {
                error(serversNode, "port " + label + " has " + byId.size()
                        + " servers, more than its limit of " + limit);
            }
            for (Map.Entry<String, Node> e : byId.entrySet()) {
                identifier(e.getKey(), 64, e.getValue(), "server identifier");
                Map<String, Object> s = section(e.getValue(), Config.SERVER, Config.LISTENER);
                if (s == null) {
                    continue;
                }
                Object weight = s.get("weight");
                Node weightNode = mappingNodes(e.getValue()).get("weight");
                if (weight instanceof Integer && bound instanceof Integer
                        && ((Integer) weight < 0 || (Integer) weight > (Integer) bound)) {
                    error(weightNode, "weight " + weight + " is outside 0 to the port's weight "
                            + "bound " + bound);
                }
                List<String> listeners = new ArrayList<>();
                Node l = mappingNodes(e.getValue()).get(Config.LISTENER);
                if (l != null) {
                    for (Node item : sequence(l)) {
                        listeners.add(listener(item));
                    }
                    if (listeners.size() > 2) {
                        error(l, "a server has two listeners at most");
                    }
                    s.put(Config.LISTENER, listeners);
                }
                servers.put(e.getKey(), s);
            }
        }
        Map<String, Object> rules = new TreeMap<>();
        Node rulesNode = nodes.get(Config.RULES);
        if (rulesNode != null) {
            for (Map.Entry<String, Node> e : entries(rulesNode).entrySet()) {
                identifier(e.getKey(), 20, e.getValue(), "rule name");
                Map<String, Object> r = section(e.getValue(), Config.RULE, Config.SERVERS);
                if (r == null) {
                    continue;
                }
                Object type = r.getOrDefault("rule-type", 0);
                for (String k : new ArrayList<>(r.keySet())) {
                    if (type instanceof Integer && Config.offRange(k, (Integer) type)) {
                        error(mappingNodes(e.getValue()).get(k), k + " does not go with rule type "
                                + type);
                    }
                }
                List<String> bound2 = new ArrayList<>();
                Node b = mappingNodes(e.getValue()).get(Config.SERVERS);
                if (b != null) {
                    for (Node item : sequence(b)) {
                        String id = text(item);
                        if (id != null && !servers.containsKey(id)) {
                            error(item, "rule " + e.getKey() + " names server " + id
                                    + ", which port " + label + " lacks");
                        }
                        bound2.add(id);
                    }
                    bound2.sort(null);
                    r.put(Config.SERVERS, bound2);
                }
                rules.put(e.getKey(), r);
            }
        }
        if (serversNode != null) {
            p.put(Config.SERVERS, servers);
        }
        if (rulesNode != null) {
            p.put(Config.RULES, rules);
        }
        return p;
    }

    private Map<String, Object> ha(Node node) {
        Map<String, Node> m = mapping(node, Set.of("role", "strategy", "port", "heartbeat",
                "reach"));
        Map<String, Object> ha = new LinkedHashMap<>();
        if (m == null) {
            return ha;
        }
        if (m.containsKey("role")) {
            ha.put("role", number(m.get("role"), 0, 255));
            ha.put("strategy", m.containsKey("strategy") ? number(m.get("strategy"), 0, 255) : 0);
            ha.put("port", m.containsKey("port") ? number(m.get("port"), 1, 65535) : 0);
        } else if (m.containsKey("strategy") || m.containsKey("port")) {
            error(node, "strategy and port go with a role");
        }
        List<String> heartbeats = new ArrayList<>();
        if (m.containsKey("heartbeat")) {
            for (Node n : sequence(m.get("heartbeat"))) {
                String t = text(n);
                String[] pair = t == null ? new String[0] : t.split(",", -1);
                if (pair.length != 2) {
                    error(n, "LOCAL,REMOTE expected");
                    continue;
                }
                heartbeats.add(resolve(n, pair[0]) + "," + resolve(n, pair[1]));
            }
        }
        heartbeats.sort(null);
        if (m.containsKey("heartbeat")) {
            ha.put("heartbeat", heartbeats);
        }
        Map<String, Object> reach = new TreeMap<>();
        if (m.containsKey("reach")) {
            for (Map.Entry<String, Node> e : entries(m.get("reach")).entrySet()) {
                Map<String, Node> t = mapping(e.getValue(), Set.of("mask", "type"));
                Map<String, Object> target = new LinkedHashMap<>();
                // The library reads an all-ones mask as no address at all: it can't be sent.
                String mask = t != null && t.containsKey("mask") ? address(t.get("mask")) : null;
                if (t != null && mask == null && !t.containsKey("mask")) {
                    error(e.getValue(), "a reach target needs its mask");
                } else if ("255.255.255.255".equals(mask)) {
                    error(t.get("mask"), "the library can't send the mask 255.255.255.255");
                }
                target.put("mask", mask);
                target.put("type", t != null && t.containsKey("type")
                        ? number(t.get("type"), 0, 255) : 1);
                reach.put(resolve(e.getValue(), e.getKey()), target);
            }
        }
        if (m.containsKey("reach")) {
            ha.put("reach", reach);
        }
        return ha;
    }

    // ---- one record's settings -------------------------------------------------------------

    /** The record's settings; the keys in nested are its own sub-trees, read by the caller. */
    private Map<String, Object> section(Node node, Config.Section section, String... nested) {
        if (node == null) {
            return null;
        }
        Set<String> allowed = new java.util.HashSet<>(section.fields.keySet());
        allowed.addAll(List.of(nested));
        Map<String, Node> m = mapping(node, allowed);
        if (m == null) {
            return null;
        }
        Map<String, Object> values = new LinkedHashMap<>();
        for (Map.Entry<String, Field> e : section.fields.entrySet()) {
            Node n = m.get(e.getKey());
            if (n != null) {
                Object v = value(n, e.getValue());
                if (v != null) {
                    values.put(e.getKey(), v);
                }
            }
        }
        return values;
    }

    private Object value(Node node, Field field) {
        Class<?> t = field.getType();
        if (t == int.class) {
            boolean port = field.getName().equals("iCrossPort");
            return number(node, port ? 0 : Integer.MIN_VALUE, port ? 65535 : Integer.MAX_VALUE);
        }
        if (t == byte.class) {
            return number(node, -128, 255);
        }
        String text = text(node);
        if (text == null) {
            return null;
        }
        if (t == char.class && text.length() > 1) {
            error(node, "one character expected");
            return null;
        }
        if (t == byte[].class) {
            try {
                return InetAddress.getByName(text).getHostAddress();
            } catch (UnknownHostException e) {
                error(node, "the address " + text + " does not resolve");
                return null;
            }
        }
        if (FieldOptions.isAddress(field)) {
            return resolve(node, text);
        }
        Integer max = MAX_TEXT.get(field.getName());
        if (max != null && text.getBytes(StandardCharsets.UTF_8).length > max) {
            error(node, "longer than " + max + " characters");
        }
        return text;
    }

    // ---- nodes -----------------------------------------------------------------------------

    private String at(Mark mark) {
        return name + ":" + (mark.getLine() + 1) + ":" + (mark.getColumn() + 1) + ": ";
    }

    private void error(Node node, String message) {
        errors.add(at(node.getStartMark()) + message);
    }

    private boolean plain(Node node) {
        if (!PLAIN.contains(node.getTag())) {
            error(node, "the tag " + node.getTag() + " is not allowed: the file is data");
            return false;
        }
        return true;
    }

    private static Map<String, Node> mappingNodes(Node node) {
        Map<String, Node> m = new HashMap<>();
        if (node instanceof MappingNode) {
            for (NodeTuple t : ((MappingNode) node).getValue()) {
                if (t.getKeyNode() instanceof ScalarNode) {
                    m.put(((ScalarNode) t.getKeyNode()).getValue(), t.getValueNode());
                }
            }
        }
        return m;
    }

    /** A mapping's entries by key, in the file's order, checking keys against allowed. */
    private Map<String, Node> mapping(Node node, Set<String> allowed) {
        Map<String, Node> m = keyed(node);
        if (m == null || !(node instanceof MappingNode)) {
            return m;
        }
        for (NodeTuple t : ((MappingNode) node).getValue()) {
            if (!(t.getKeyNode() instanceof ScalarNode)) {
                continue;
            }
            String key = ((ScalarNode) t.getKeyNode()).getValue();
            if (allowed != null && !allowed.contains(key)) {
                error(t.getKeyNode(), "unknown key " + key);
                m.remove(key);
            }
        }
        return m;
    }

    /** A mapping's entries, none when it is no mapping (an error already noted). */
    private Map<String, Node> entries(Node node) {
        Map<String, Node> m = keyed(node);
        return m == null ? new LinkedHashMap<>() : m;
    }

    /** A mapping whose keys are scalars: identifiers or setting names. */
    private Map<String, Node> keyed(Node node) {
        if (!plain(node)) {
            return null;
        }
        if (node.getTag() == Tag.NULL) {
            return new LinkedHashMap<>();  // "servers:" with nothing after it
        }
        if (!(node instanceof MappingNode)) {
            error(node, "a mapping is expected here");
            return null;
        }
        Map<String, Node> m = new LinkedHashMap<>();
        for (NodeTuple t : ((MappingNode) node).getValue()) {
            Node k = t.getKeyNode();
            if (!plain(k) || !plain(t.getValueNode())) {
                continue;
            }
            if (!(k instanceof ScalarNode) || k.getTag() == Tag.NULL) {
                error(k, "a key must be a name");
                continue;
            }
            String key = ((ScalarNode) k).getValue();
            if (m.put(key, t.getValueNode()) != null) {
                error(k, "the key " + key + " is given twice");
            }
        }
        return m;
    }

    private List<Node> sequence(Node node) {
        if (!plain(node)) {
            return List.of();
        }
        if (node.getTag() == Tag.NULL) {
            return List.of();
        }
        if (!(node instanceof SequenceNode)) {
            error(node, "a list is expected here");
            return List.of();
        }
        List<Node> items = new ArrayList<>();
        for (Node item : ((SequenceNode) node).getValue()) {
            if (plain(item)) {
                items.add(item);
            }
        }
        return items;
    }

    private String text(Node node) {
        if (!plain(node)) {
            return null;
        }
        if (!(node instanceof ScalarNode) || node.getTag() == Tag.NULL) {
            error(node, "a value is expected here");
            return null;
        }
        return ((ScalarNode) node).getValue();
    }

    private Integer number(Node node, long min, long max) {
        String text = text(node);
        if (text == null) {
            return null;
        }
        if (node.getTag() != Tag.INT) {
            error(node, "a whole number is expected, not " + text);
            return null;
        }
        BigInteger n;
        try {
            String t = text.replace("_", "");
            boolean negative = t.startsWith("-");
            t = t.replaceFirst("^[-+]", "");
            n = t.startsWith("0x") ? new BigInteger(t.substring(2), 16)
                    : t.startsWith("0o") ? new BigInteger(t.substring(2), 8)
                    : new BigInteger(t);
            n = negative ? n.negate() : n;
        } catch (NumberFormatException e) {
            error(node, "a whole number is expected, not " + text);
            return null;
        }
        if (n.compareTo(BigInteger.valueOf(min)) < 0 || n.compareTo(BigInteger.valueOf(max)) > 0) {
            error(node, text + " is out of range (" + min + " to " + max + ")");
            return null;
        }
        return n.intValue();
    }

    private Integer portNumber(String key, Node at) {
        try {
            int port = Integer.parseInt(key);
            if (port >= 0 && port <= 65535) {
                return port;
            }
        } catch (NumberFormatException e) {
            // reported below
        }
        error(at, "port " + key + " is not a number from 0 to 65535");
        return null;
    }

    private void identifier(String id, int max, Node at, String what) {
        if (id.isEmpty() || id.length() > max) {
            error(at, "the " + what + " " + id + " is not 1 to " + max + " characters");
        }
    }

    private String address(Node node) {
        String text = text(node);
        return text == null ? null : resolve(node, text);
    }

    /** An IPv4 address or host name as dotted text. */
    private String resolve(Node node, String text) {
        try {
            InetAddress a = InetAddress.getByName(text);
            if (a instanceof Inet4Address) {
                return a.getHostAddress();
            }
            error(node, text + " is not an IPv4 address");
        } catch (UnknownHostException e) {
            error(node, "the address " + text + " does not resolve");
        }
        return null;
    }

    private String listener(Node node) {
        String text = text(node);
        if (text == null) {
            return null;
        }
        String[] parts = text.split(":");
        if (parts.length < 2 || parts.length > 3) {
            error(node, "ADDRESS:PORT[:PROTOCOL] expected: " + text);
            return null;
        }
        String address = resolve(node, parts[0]);
        try {
            int port = Integer.parseInt(parts[1]);
            int protocol = parts.length == 3 ? Integer.parseInt(parts[2]) : 6;
            if (port < 0 || port > 65535 || protocol < 0 || protocol > 255) {
                error(node, "the listener's port or protocol is out of range: " + text);
            }
            return address + ":" + port + ":" + protocol;
        } catch (NumberFormatException e) {
            error(node, "ADDRESS:PORT[:PROTOCOL] expected: " + text);
            return null;
        }
    }
}
