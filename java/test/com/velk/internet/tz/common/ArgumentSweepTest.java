package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.*;

import java.lang.reflect.Array;
import java.lang.reflect.Field;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;

/**
 * Every native method, found by reflection, with awkward arguments: each reference argument null, each String
 * empty or 100 000 characters, each int at its extremes, and each field of an object argument likewise (flags 0
 * or -1, arrays null or empty). The first request succeeds, so the way back into Java is swept too. No call may
 * throw into Java, trip the JNI checks or return a code outside the methods' range; a null object, buffer or key
 * array is refused with -88 before anything is sent. Methods added later are swept without editing this class.
 */
class ArgumentSweepTest extends ExecutorTestBase {
    static final String LONG = "7".repeat(100_000);

    static Object plain(Class<?> t) throws ReflectiveOperationException {
        if (t == int.class || t == boolean.class) {
            return t == int.class ? (Object) 1 : (Object) false;
        }
        Object o = t == String.class ? "1.2.3.4" : t == Object.class ? new Object() : t.isArray()
                ? Array.newInstance(t.getComponentType(), 8) : t.getConstructor().newInstance();
        for (Field f : t.getPackage() == CMNExecutor.class.getPackage() ? t.getFields() : new Field[0]) {
            if (f.getType() == byte.class && f.getName().startsWith("Set")) {
                f.setByte(o, (byte) 1);
            } else if (f.getType() == String.class) {
                f.set(o, "1.2.3.4");
            } else if (f.getType().isArray() && !Modifier.isFinal(f.getModifiers())) {
                f.set(o, Array.newInstance(f.getType().getComponentType(), 8));  // room for the int arguments' 1
            }
        }
        return o;
    }

    /** An argument's awkward values, then a field's. */
    static List<Object> awkwardArgument(Class<?> t) {
        List<Object> values = new ArrayList<>(t == int.class ? List.of(0, -1, Integer.MIN_VALUE, Integer.MAX_VALUE)
                : t == String.class ? List.of("", LONG) : List.of());
        if (!t.isPrimitive()) {
            values.add(null);
        }
        return values;
    }

    static List<Object> awkwardField(Class<?> t) {
        return t == String.class ? Arrays.asList(null, LONG) : t.isArray() ? Sweep.nullOrEmpty(t)
                : t == int.class ? List.of(-1, Integer.MIN_VALUE, Integer.MAX_VALUE)
                : t == byte.class ? List.of((byte) 0, (byte) -1) : List.of();
    }

    @Test
    void everyNativeMethodSurvivesAwkwardArguments() throws Exception {
        List<Method> methods = Sweep.nativeMethods();
        assertEquals(88, methods.size());
        for (Method m : methods) {
            for (Sweep.Call v : Sweep.calls(m, ArgumentSweepTest::plain, ArgumentSweepTest::awkwardArgument,
                    ArgumentSweepTest::awkwardField)) {
                Class<?> t = m.getParameterTypes()[v.index()];
                boolean refusesNull = t.getPackage() == CMNExecutor.class.getPackage() || t == StringBuffer.class
                        || t == int[].class;
                String what = m.getName() + " argument " + v.index() + ", " + v.what();
                Object[] args = v.args();
                sim.command("RESET");
                sim.script("NEXT", "MODEL", "RESULT", "0");  // succeeds: the way back into Java runs too
                Object result;
                try {
                    result = m.invoke(lib, args);
                } catch (InvocationTargetException e) {
                    throw new AssertionError(what + " threw into Java", e.getCause());
                }
                if (refusesNull && args[v.index()] == null) {
                    assertEquals(List.of(-88, 0), List.of(result, sim.recordCount()), what);
                } else if (result instanceof Integer r && !m.getName().equals("calcClusterIdKeyNative")) {
                    // 0 and the methods' own negative codes, 1 under server modality, or a device error.
                    assertTrue(r >= -128 && r < 4096, what + " returned " + r);
                }
            }
            assertTrue(sim.isRunning(), "the executor is still there after " + m.getName());
        }
        assertEquals(1, lib.isLoadedNative());
    }

    /**
     * The fields each method's first request writes with the plain arguments (settings flagged, texts "1.2.3.4",
     * counts 1 or 0), as byte ranges of the request layouts; every other byte, the reason field at 8 included,
     * must travel as the previous answer left it. Methods that refuse the plain arguments send nothing.
     */
    static final Map<String, String> WRITES = Stream.of(
            "addClusterNative setClusterStatusNative | 16-27 32-45 48-59 64-95 100-169 172-175",
            "addPortNative setPortStatusNative | 16-21 32-35 40-49 52-66 68-70 72-73 76-92",
            "addRuleNative setRuleStatusNative | 16-59 64-197 204-343",
            "addServerNative setServerStatusNative | 16-80 84-93 116-1184 1192-1221 1223-1947",
            "addServertoRuleNative removeServerfromRuleNative | 84-114 1948-1951",
            "allocateConnectionNative deallocateConnectionNative | 16-17 20-25 28-39",
            "addReachNative chgReachNative | 20-31",
            "delHBNative delReachNative takeoverNative getHAInfoNative | 20-23",
            "getClusterStatusNative removeClusterNative | 100-103",
            "getClusterReportNative getPortsListNative | 16-19",
            "setClusterCPSNative | 16-19 68-71",
            "getPortReportNative getPortStatusNative removePortNative getRulesListNative getServersListNative"
                    + " getAttackingAddrsNative | 16-21",
            "setPortCPSNative | 16-21 24-27",
            "getRuleReportNative | 16-21 32-52",
            "setRuleCPSNative | 16-21 24-27 32-52",
            "getRuleStatusNative removeRuleNative | 16-42",
            "getRuleServersListNative | 16-42 44-47",
            "getServerReportNative | 16-21 44-47",
            "setServerCPSNative | 16-21 44-47 92-95",
            "setServerUpNative setServerDownNative | 16-21 44-51",
            "getServerStatusNative removeServerNative | 84-93",
            "getServerWeightsNative | 16-21 24-27",
            "setServerWeightsNative | 16-21 24-31 106-107 120-121",
            "serverDirectedAffinityNative getAffinityInfoNative | 16-19 32-35 40-41 44-47",
            "getConnectionInfoNative | 16-43",
            "setExecutorCPSNative | 232-235",
            "setIcmpInfoNative getIcmpInfoNative | 16-23",
            "xDOSAttackNative | 16-47",
            "xlogheadNative xlogtailNative | 24-31",
            "xloglevelNative | 20-23 629",
            "xlogfilterNative | 24-27 630",
            "xmiscNative | 16-31",
            "addHBNative clusterConfigureStatusNative getAddressConfigureInfoNative unconfigureAddressNative"
                    + " backupDelNative getClustersListNative getExecutorReportNative getExecutorStatusNative"
                    + " getHalfOpenInfoNative xlogclearNative | ")
            .map(row -> row.split("\\|"))
            .flatMap(row -> Arrays.stream(row[0].trim().split(" ")).map(m -> Map.entry(m, row[1].trim())))
            .collect(Collectors.toMap(Map.Entry::getKey, Map.Entry::getValue));

    @Test
    void everyRequestKeepsTheBytesItsLayoutDoesNotName() throws Exception {
        for (Method m : Sweep.nativeMethods()) {
            Object[] args = Sweep.plainArguments(m, ArgumentSweepTest::plain);
            sim.command("RESET");
            seedBlock();
            int before = sim.recordCount();
            m.invoke(lib, args);
            if (sim.recordCount() == before) {
                continue;
            }
            String writes = WRITES.get(m.getName());
            assertNotNull(writes, m.getName() + " sends a request: name the fields its layout writes");
            byte[] rec = sim.record(before);
            boolean[] named = new boolean[rec.length];
            Arrays.fill(named, 0, 16, true);
            Arrays.fill(named, 8, 12, false);
            for (String range : writes.isEmpty() ? new String[0] : writes.split(" ")) {
                String[] ends = range.split("-");
                Arrays.fill(named, Integer.parseInt(ends[0]), Integer.parseInt(ends[ends.length - 1]) + 1, true);
            }
            for (int i = 0; i < rec.length; i++) {
                int at = i;
                assertTrue(named[i] || rec[i] == seed(i), () -> m.getName() + " wrote byte " + at);
            }
        }
    }
}
