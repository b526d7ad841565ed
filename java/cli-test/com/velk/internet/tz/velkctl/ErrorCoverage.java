package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNAddress;
import com.velk.internet.tz.common.CMNAffinity;
import com.velk.internet.tz.common.CMNCluster;
import com.velk.internet.tz.common.CMNExecutorInterface;
import com.velk.internet.tz.common.CMNListener;
import com.velk.internet.tz.common.CMNPort;
import com.velk.internet.tz.common.CMNRule;
import com.velk.internet.tz.common.CMNServer;
import com.velk.internet.tz.common.CMNWeights;
import com.velk.internet.tz.common.Sweep;
import java.io.IOException;
import java.lang.reflect.Array;
import java.lang.reflect.Field;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import java.util.TreeSet;

/**
 * The error table against the library, in three sweeps over every native method that returns a result code (found
 * by reflection, so methods added later are swept too): each executor reason some method maps, and one none does, as
 * the answer to the method's first request, then to its second (retries of a busy executor see it too); each plain
 * argument, and each field of an object argument, set to an awkward value (null, empty, too long, a name that does
 * not resolve, a number or byte out of range) with the executor accepting all; and the cases only Java objects bring
 * (a server whose listener can't be had, a listener whose values don't fit, a call into the library from a callback).
 * Every code a call gives must have a sentence of its own, and every code the table names must be given by some call,
 * except the codes given only when memory runs out. Each velkctl command line of the arguments file ("method code
 * args...") must end in that code's error line.
 */
public final class ErrorCoverage {
    /** Methods whose int result is a value, not a result code. */
    private static final Set<String> NOT_SWEPT = Set.of("calcClusterIdKeyNative", "isLoadedNative");
    /** Every reason some method maps to a code of its own, and one that none does (-120). */
    private static final int[] REASONS = {-1, -2, -3, -4, -5, -7, -8, -9, -11, -13, -14, -15, -18, -27, -33, -36, -43,
        -44, -45, -46, -47, -48, -49, -51, -52, -53, -54, -55, -56, -58, -61, -62, -70, -84, -87, -120};
    /** Plain text and number arguments a method needs to get as far as its requests. */
    private static final Map<String, String> TEXT_ARGUMENTS = Map.of("setTimersNative", "1", "backupAddNative", "4567",
            "getPortsListNative", "cov", "getServersListNative", "cov", "getRulesListNative", "cov", "addHBNative",
            "10.1.0.5");
    private static final Set<String> PORT_ARGUMENTS = Set.of("getServersListNative", "getRulesListNative");
    /** The executor's objects the plain arguments name; made again after each method's sweep. */
    private static final List<String> SET_UP = List.of("cluster add cov --address 10.0.1.10", "port add cov 80",
            "server add cov 80 s1", "rule add cov 80 r1 --rule-type 0", "rule bind cov 80 r1 s1", "interface list",
            "ha add --reach 192.168.7.1 --mask 255.255.255.0", "ha add --role 1 --port 4567");

    private final CMNExecutorInterface api = new CMNExecutorInterface();
    /** Codes each method gave, "*" for the codes of the shared lines. */
    private final Map<String, Set<Integer>> reached = new TreeMap<>();
    private final Set<String> failures = new TreeSet<>();

    /** The set-up's objects (cluster cov, port 80, server s1, rule r1), settings flagged. */
    private Object plain(Class<?> type, String method) throws ReflectiveOperationException {
        if (type == int.class || type == boolean.class || type == String.class || type == Object.class) {
            return type == int.class ? (Object) (PORT_ARGUMENTS.contains(method) ? 80 : 1)
                    : type == boolean.class ? false : type == Object.class ? new Object()
                    : TEXT_ARGUMENTS.getOrDefault(method, "10.0.1.1");
        } else if (type.isArray()) {
            return Array.newInstance(type.getComponentType(), 8);
        } else if (type == CMNAddress.class) {
            return new CMNAddress("10.0.1.10");
        }
        Object o = type == CMNCluster.class ? new CMNCluster("cov") : type == CMNPort.class ? new CMNPort("cov", 80)
                : type == CMNServer.class ? new CMNServer("cov", 80, "s2")  // s1's key is negative: no rate
                : type == CMNRule.class ? new CMNRule("cov", 80, "r1") : type == CMNWeights.class ? new CMNWeights(1)
                : type.getConstructor().newInstance();
        if (o instanceof CMNCluster c) {
            c.Address = "10.0.1.11";
        } else if (o instanceof CMNPort p) {
            p.ClusterAddress = "10.0.1.10";
        } else if (o instanceof CMNServer s) {
            s.iServerIdKey = api.calcClusterIdKeyNative("s2", null);
        } else if (o instanceof CMNRule r) {
            r.RuleType = 1;  // its type is fetched, then kept
        } else if (o instanceof CMNWeights w) {
            w.sClusterID = "cov";
            w.iPortNumber = 80;
            w.iServerIdKey[0] = api.calcClusterIdKeyNative("s1", null);
        } else if (o instanceof CMNAffinity a) {
            a.iNumAffinities = 1;
        }
        return o;
    }

    private void note(String method, int code) {
        if (code != 0) {
            reached.computeIfAbsent(method, k -> new TreeSet<>()).add(code);
            if (!ErrorTable.codesOf(method).containsKey(code)) {
                reached.computeIfAbsent("*", k -> new TreeSet<>()).add(code);
            }
            if (ErrorTable.sentence(method, code).equals("unknown error")) {
                failures.add(method + " gives " + code + ", which has no sentence");
            }
        }
    }

    /** Calls m, its requests answered from `answers`, the last repeated twice more for a busy executor's retries. */
    private void call(Method m, Object[] args, String... answers) throws Exception {
        for (int i = 0; i < answers.length + 2; i++) {
            Rig.SIM.command("SCRIPT NEXT " + answers[Math.min(i, answers.length - 1)]);
        }
        try {
            note(m.getName(), (Integer) m.invoke(api, args));
        } catch (InvocationTargetException e) {
            // An exception from the objects' own code (a getter, a callback) is theirs; the library may throw none.
            StackTraceElement[] at = e.getCause().getStackTrace();
            if (at.length == 0 || at[0].getMethodName().equals(m.getName())) {
                failures.add(m.getName() + " threw " + e.getCause());
            }
        } finally {
            Rig.SIM.command("UNSCRIPT");
        }
    }

    /** Each reason refusing the first request, then the second after the model's answer (a list's report first). */
    private void sweepAnswers(Method m) throws Exception {
        for (int reason : REASONS) {
            call(m, Sweep.plainArguments(m, t -> plain(t, m.getName())), "RESULT -1 REASON " + reason);
            call(m, Sweep.plainArguments(m, t -> plain(t, m.getName())), "MODEL", "RESULT -1 REASON " + reason);
        }
    }

    private static List<Object> awkward(Class<?> type) {
        return type == String.class ? Arrays.asList(null, "", "x".repeat(300), "no.such.host.invalid")
                : type == int.class ? List.of(-1, 70000) : type == byte.class ? List.of((byte) -1, (byte) 10)
                : type.isArray() ? Sweep.nullOrEmpty(type) : type.isPrimitive() ? List.of()
                : Arrays.asList((Object) null);
    }

    /** Each argument, and each field of an object argument (its flag set), awkward; all accepted. */
    private void sweepArguments(Method m) throws Exception {
        for (Sweep.Call c : Sweep.calls(m, t -> plain(t, m.getName()), ErrorCoverage::awkward,
                ErrorCoverage::awkward)) {
            Field flag = c.field() == null ? null : FieldOptions.flagOf(c.field());
            if (flag != null) {
                flag.setByte(c.args()[c.index()], (byte) 1);
            }
            call(m, c.args(), "RESULT 0");
        }
    }

    /** A server whose listener can't be had; its probe calls back into the library meanwhile. */
    private final class ListenerLess extends CMNServer {
        ListenerLess(String id) {
            super("cov", 80, id);
            iServerIdKey = api.calcClusterIdKeyNative(id, null);
        }

        @Override
        public CMNListener getListener(int index) {
            note("*", api.getClustersListNative(new StringBuffer()));
            return null;
        }
    }

    private void sweepJavaObjects() throws Exception {
        CMNServer s = new ListenerLess("s4");
        s.SetListeners = 1;
        s._iNumListeners = 1;
        CMNServer unfit = new CMNServer("cov", 80, "s1");
        unfit.addListener(new CMNListener(0x0a000105, 70000, 6, "", ""));
        unfit.SetListeners = 1;
        for (CMNServer server : List.of(s, unfit)) {
            note("addServerNative", api.addServerNative(server));
            server.sServerID = "s1";
            note("setServerStatusNative", api.setServerStatusNative(server));
        }
        // A server the executor holds with one listener, asked about through one that has none.
        CMNServer held = new CMNServer("cov", 80, "s6");
        held.addListener(new CMNListener(0x0a000106, 8080, 6, "", ""));
        held.SetListeners = 1;
        note("addServerNative", api.addServerNative(held));
        note("getServerStatusNative", api.getServerStatusNative(new ListenerLess("s6")));
    }

    private void sweepVelkctlLines(Path file) throws IOException {
        for (String line : Files.readAllLines(file).stream().filter(l -> !l.isBlank() && !l.startsWith("#")).toList()) {
            String[] parts = line.split(" ", 3);
            String text = Rig.velkctl(parts[2]).err().strip();
            if (!text.endsWith("(" + parts[1] + ")")) {
                failures.add(line + ": gave " + text);
            }
            note(parts[0], Integer.parseInt(parts[1]));
        }
    }

    private int run(Path arguments) throws Exception {
        SET_UP.stream().filter(l -> Rig.velkctl(l).status() != 0).forEach(l -> failures.add("set-up failed: " + l));
        List<Method> methods = Sweep.nativeMethods().stream()
                .filter(m -> m.getReturnType() == int.class && !NOT_SWEPT.contains(m.getName())).toList();
        for (Method m : methods) {
            sweepAnswers(m);
            sweepArguments(m);
            SET_UP.forEach(Rig::velkctl);  // what the model answered may have removed
        }
        sweepJavaObjects();
        sweepVelkctlLines(arguments);
        ErrorTable.methods().forEach(method -> ErrorTable.codesOf(method).forEach((code, sentence) -> {
            if (!reached.getOrDefault(method, Set.of()).contains(code) && !sentence.startsWith("no memory")) {
                failures.add(method + " " + code + " is named but no call gave it");
            }
        }));
        reached.forEach((m, codes) -> System.out.println(m + " " + codes));
        failures.forEach(f -> System.out.println("FAIL " + f));
        System.out.println(methods.size() + " methods swept");
        return failures.isEmpty() ? 0 : 1;
    }

    public static void main(String[] args) throws Exception {
        System.exit(new ErrorCoverage().run(Path.of(args[1])));
    }
}
