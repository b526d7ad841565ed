package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.*;

import java.lang.reflect.Array;
import java.lang.reflect.Field;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
import java.util.Set;
import org.junit.jupiter.api.Test;

/**
 * Every native method of CMNExecutorInterface, found by reflection, called with awkward arguments:
 * null for every reference parameter; for every object argument, each String field null, empty and
 * 100 000 characters long, each array field null and of length 0 and 1, each flag byte 1, 0 and
 * -1; every int at 0, -1, MIN_VALUE and MAX_VALUE. No call may abort the JVM, trip the JNI checks
 * (the rig fails the class on any warning), throw into Java or return a code outside the range
 * the methods use. Methods added later are swept without editing this class.
 */
class ArgumentSweepTest extends ExecutorTestBase {
    /** Stops the executor, which the rest of the sweep needs. */
    static final Set<String> NOT_SWEPT = Set.of("stopExecutorNative");
    static final String LONG = "7".repeat(100_000);
    static final int[] INTS = {0, -1, Integer.MIN_VALUE, Integer.MAX_VALUE};
    /** Int methods whose result is a value, not a result code. */
    static final Set<String> VALUE_RESULTS = Set.of("calcClusterIdKeyNative");

    int calls;

    /** An object argument whose settings are all flagged, so that every value behind a flag is read. */
    static Object baseObject(Class<?> type) throws ReflectiveOperationException {
        if (type == Object.class) {
            return new Object();
        }
        if (type == StringBuffer.class) {
            return new StringBuffer();
        }
        if (type == String.class) {
            return "1.2.3.4";
        }
        if (type.isArray()) {
            return Array.newInstance(type.getComponentType(), 8);
        }
        Object o = type.getConstructor().newInstance();
        for (Field f : type.getFields()) {
            if (Modifier.isStatic(f.getModifiers()) || Modifier.isFinal(f.getModifiers())) {
                continue;
            }
            if (f.getType() == byte.class && f.getName().startsWith("Set")) {
                f.setByte(o, (byte) 1);
            } else if (f.getType() == String.class) {
                f.set(o, "1.2.3.4");
            }
        }
        return o;
    }

    Object[] baseArguments(Method m) throws ReflectiveOperationException {
        Class<?>[] types = m.getParameterTypes();
        Object[] args = new Object[types.length];
        for (int i = 0; i < types.length; i++) {
            args[i] = types[i] == int.class ? 1 : types[i] == boolean.class ? false : baseObject(types[i]);
        }
        return args;
    }

    /** Calls m and checks what comes back; false when the library does not provide m (yet). */
    boolean call(Method m, Object[] args, String what) {
        Object result;
        try {
            result = m.invoke(lib, args);
        } catch (InvocationTargetException e) {
            if (e.getCause() instanceof UnsatisfiedLinkError) {
                return false;
            }
            throw new AssertionError(m.getName() + " " + what + " threw into Java", e.getCause());
        } catch (IllegalAccessException e) {
            throw new AssertionError(e);
        }
        calls++;
        if (result instanceof Integer r && !VALUE_RESULTS.contains(m.getName())) {
            // 0 and the methods' own negative codes, 1 under server modality, or a device error.
            assertTrue(r >= -128 && r < 4096, m.getName() + " " + what + " returned " + r);
        }
        return true;
    }

    /** One variant per field of an object argument; `set` puts the field's awkward value. */
    void sweepFields(Method m, int index) throws ReflectiveOperationException {
        Class<?> type = m.getParameterTypes()[index];
        if (type.getPackage() != CMNExecutorInterface.class.getPackage()) {
            return;
        }
        for (Field f : type.getFields()) {
            if (Modifier.isStatic(f.getModifiers()) || Modifier.isFinal(f.getModifiers())) {
                continue;
            }
            List<Object> values = new ArrayList<>();
            if (f.getType() == String.class) {
                values.addAll(Arrays.asList(null, "", LONG));
            } else if (f.getType().isArray()) {
                values.add(null);
                values.add(Array.newInstance(f.getType().getComponentType(), 0));
                values.add(Array.newInstance(f.getType().getComponentType(), 1));
            } else if (f.getType() == byte.class) {
                values.addAll(List.of((byte) 1, (byte) 0, (byte) -1));
            } else if (f.getType() == int.class) {
                for (int v : INTS) {
                    values.add(v);
                }
            } else {
                continue;
            }
            for (Object v : values) {
                Object[] args = baseArguments(m);
                f.set(args[index], v);
                String text = v instanceof String s ? "(" + s.length() + " chars)" : v == null ? "null"
                        : v.getClass().isArray() ? "length " + Array.getLength(v) : v.toString();
                call(m, args, type.getSimpleName() + "." + f.getName() + " = " + text);
            }
        }
    }

    @Test
    void everyNativeMethodSurvivesAwkwardArguments() throws Exception {
        Method[] methods = Arrays.stream(CMNExecutorInterface.class.getDeclaredMethods())
                .filter(m -> Modifier.isNative(m.getModifiers()) && !NOT_SWEPT.contains(m.getName()))
                .sorted(Comparator.comparing(Method::getName)).toArray(Method[]::new);
        List<String> missing = new ArrayList<>();
        for (Method m : methods) {
            if (!call(m, baseArguments(m), "with plain arguments")) {
                missing.add(m.getName());
                continue;
            }
            Class<?>[] types = m.getParameterTypes();
            for (int i = 0; i < types.length; i++) {
                Object[] args = baseArguments(m);
                if (types[i] == int.class) {
                    for (int v : INTS) {
                        args[i] = v;
                        call(m, args, "argument " + i + " = " + v);
                    }
                } else if (!types[i].isPrimitive()) {
                    args[i] = null;
                    call(m, args, "argument " + i + " = null");
                    if (types[i] == String.class) {
                        for (String s : new String[] {"", LONG}) {
                            args[i] = s;
                            call(m, args, "argument " + i + " (" + s.length() + " chars)");
                        }
                    }
                    sweepFields(m, i);
                }
            }
            assertTrue(sim.isRunning(), "the executor is still there after " + m.getName());
        }
        assertEquals(1, lib.isLoadedNative());
        System.out.println("swept " + (methods.length - missing.size()) + " methods with " + calls + " calls; "
                + "not in the library yet: " + missing);
    }
}
