package com.velk.internet.tz.common;

import java.lang.reflect.Array;
import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
import java.util.function.Function;

/**
 * The awkward calls both argument sweeps make (the JVM's and velkctl's error table's): every native
 * method but the stop, and for each argument each of its awkward values, then for an object of this
 * package each settable field at each of its awkward values, every other argument plain.
 */
public final class Sweep {
    private Sweep() {
    }

    /** The plain value of a type, as the sweep's caller builds it. */
    public interface Plain {
        Object of(Class<?> type) throws ReflectiveOperationException;
    }

    /** One awkward call: the argument changed, the field of it changed (or null), what was done, all arguments. */
    public record Call(int index, Field field, String what, Object[] args) {
    }

    /** Every native method but the stop, by name. */
    public static List<Method> nativeMethods() {
        return Arrays.stream(CMNExecutorInterface.class.getDeclaredMethods())
                .filter(m -> Modifier.isNative(m.getModifiers()) && !m.getName().equals("stopExecutorNative"))
                .sorted(Comparator.comparing(Method::getName)).toList();
    }

    public static Object[] plainArguments(Method m, Plain plain) throws ReflectiveOperationException {
        Object[] args = new Object[m.getParameterCount()];
        for (int k = 0; k < args.length; k++) {
            args[k] = plain.of(m.getParameterTypes()[k]);
        }
        return args;
    }

    /** Null and empty, an array type's awkward values. */
    public static List<Object> nullOrEmpty(Class<?> arrayType) {
        return Arrays.asList(null, Array.newInstance(arrayType.getComponentType(), 0));
    }

    public static List<Call> calls(Method m, Plain plain, Function<Class<?>, List<Object>> argumentValues,
            Function<Class<?>, List<Object>> fieldValues) throws ReflectiveOperationException {
        List<Call> out = new ArrayList<>();
        Class<?>[] types = m.getParameterTypes();
        for (int i = 0; i < types.length; i++) {
            for (Object v : argumentValues.apply(types[i])) {
                Object[] args = plainArguments(m, plain);
                args[i] = v;
                out.add(new Call(i, null, v instanceof String s ? s.length() + " chars" : String.valueOf(v), args));
            }
            for (Field f : types[i].getPackage() == Sweep.class.getPackage() ? types[i].getFields() : new Field[0]) {
                if (Modifier.isStatic(f.getModifiers()) || Modifier.isFinal(f.getModifiers())) {
                    continue;
                }
                for (Object v : fieldValues.apply(f.getType())) {
                    Object[] args = plainArguments(m, plain);
                    f.set(args[i], v);
                    out.add(new Call(i, f, f.getName() + " = " + (v instanceof String ? "long" : v), args));
                }
            }
        }
        return out;
    }
}
