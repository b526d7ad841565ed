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
import org.junit.jupiter.api.Test;

/**
 * Every native method, found by reflection, with awkward arguments: each reference argument null,
 * each String argument empty and 100 000 characters long, each int at its extremes, and for an
 * object argument (settings all flagged, arrays of 8 elements) each String field null or long,
 * each array field null or empty, each int field at its extremes and each flag 0 or -1. The first
 * request of each call succeeds, so the answer's way back into Java is swept as well. No call may throw into Java, trip
 * the JNI checks (the rig fails the class on any warning) or return a code outside the range the
 * methods use; a null object, buffer or key array is refused with -88 before anything is sent.
 * Methods added later are swept without editing this class.
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

    static Object[] arguments(Method m, int i, Object value) throws ReflectiveOperationException {
        Object[] args = new Object[m.getParameterCount()];
        for (int k = 0; k < args.length; k++) {
            args[k] = k == i ? value : plain(m.getParameterTypes()[k]);
        }
        return args;
    }

    /** A field's awkward values; none for a final field. */
    static Object[] awkward(Field f) {
        Class<?> t = f.getType();
        if (Modifier.isFinal(f.getModifiers())) {
            return new Object[0];
        }
        if (t == String.class) {
            return new Object[] {null, LONG};
        }
        if (t.isArray()) {
            return new Object[] {null, Array.newInstance(t.getComponentType(), 0)};
        }
        if (t == int.class) {
            return new Object[] {-1, Integer.MIN_VALUE, Integer.MAX_VALUE};
        }
        return t == byte.class ? new Object[] {(byte) 0, (byte) -1} : new Object[0];
    }

    /** Argument i's awkward values, each as {what, the argument list}. */
    static List<Object[]> variants(Method m, int i) throws ReflectiveOperationException {
        Class<?> t = m.getParameterTypes()[i];
        List<Object> values = new ArrayList<>(t == int.class ? List.of(0, -1, Integer.MIN_VALUE, Integer.MAX_VALUE)
                : t == String.class ? List.of("", LONG) : List.of());
        if (!t.isPrimitive()) {
            values.add(null);
        }
        List<Object[]> out = new ArrayList<>();
        for (Object v : values) {
            out.add(new Object[] {v instanceof String s ? s.length() + " chars" : v, arguments(m, i, v)});
        }
        for (Field f : t.getPackage() == CMNExecutor.class.getPackage() ? t.getFields() : new Field[0]) {
            for (Object v : awkward(f)) {
                Object o = plain(t);
                f.set(o, v);
                out.add(new Object[] {f.getName() + " = " + (v instanceof String ? "long" : v), arguments(m, i, o)});
            }
        }
        return out;
    }

    @Test
    void everyNativeMethodSurvivesAwkwardArguments() throws Exception {
        Method[] methods = Arrays.stream(CMNExecutorInterface.class.getDeclaredMethods())
                .filter(m -> Modifier.isNative(m.getModifiers()) && !m.getName().equals("stopExecutorNative"))
                .toArray(Method[]::new);
        assertEquals(88, methods.length);
        for (Method m : methods) {
            for (int i = 0; i < m.getParameterCount(); i++) {
                Class<?> t = m.getParameterTypes()[i];
                boolean refusesNull = t.getPackage() == CMNExecutor.class.getPackage() || t == StringBuffer.class
                        || t == int[].class;
                for (Object[] v : variants(m, i)) {
                    String what = m.getName() + " argument " + i + ", " + v[0];
                    Object[] args = (Object[]) v[1];
                    sim.command("RESET");
                    sim.script("NEXT", "MODEL", "RESULT", "0");  // a success, so that what is handed back to Java runs too
                    Object result;
                    try {
                        result = m.invoke(lib, args);
                    } catch (InvocationTargetException e) {
                        throw new AssertionError(what + " threw into Java", e.getCause());
                    }
                    if (refusesNull && args[i] == null) {
                        assertEquals(List.of(-88, 0), List.of(result, sim.recordCount()), what);
                    } else if (result instanceof Integer r && !m.getName().equals("calcClusterIdKeyNative")) {
                        // 0 and the methods' own negative codes, 1 under server modality, or a device error.
                        assertTrue(r >= -128 && r < 4096, what + " returned " + r);
                    }
                }
            }
            assertTrue(sim.isRunning(), "the executor is still there after " + m.getName());
        }
        assertEquals(1, lib.isLoadedNative());
    }
}
