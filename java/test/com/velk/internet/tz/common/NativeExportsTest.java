package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertDoesNotThrow;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.Set;
import java.util.TreeSet;
import java.util.stream.Collectors;
import org.junit.jupiter.api.Test;

/** The library's dynamic symbols against the native methods the Java class declares, which the JVM binds by name. */
class NativeExportsTest {
    private static final Set<String> DECLARED = Arrays.stream(CMNExecutorInterface.class.getDeclaredMethods())
            .filter(m -> Modifier.isNative(m.getModifiers())).map(m -> "Java_com_velk_internet_tz_common_"
                    + "CMNExecutorInterface_" + m.getName()).collect(Collectors.toSet());

    @Test
    void everyJvmVisibleExportIsADeclaredNativeMethod() throws Exception {
        assertEquals(List.of(), exported().stream().filter(s -> s.startsWith("Java_") || s.startsWith("JNI_"))
                .filter(s -> !DECLARED.contains(s)).sorted().toList());
    }

    @Test
    void everyDeclaredNativeMethodIsExported() throws Exception {
        Set<String> exported = exported();
        assertEquals(List.of(), DECLARED.stream().filter(s -> !exported.contains(s)).sorted().toList());
    }

    /** Exactly the 89 entry points, and each native method binds by its name when first called. */
    @Test
    void exactlyTheEightyNineEntryPointsBind() throws Exception {
        assertEquals(89, DECLARED.size());
        assertEquals(new TreeSet<>(DECLARED), exported().stream().filter(s -> s.startsWith("Java_"))
                .collect(Collectors.toCollection(TreeSet::new)));
        for (Method m : CMNExecutorInterface.class.getDeclaredMethods()) {
            if (Modifier.isNative(m.getModifiers())) {
                // null arguments, the server modality flag set: nothing reaches an executor
                assertDoesNotThrow(() -> bind(m), m.getName());
            }
        }
    }

    /** Calls m once with null and zero arguments under the server modality flag; an unbound method throws UnsatisfiedLinkError. */
    private static void bind(Method m) throws Exception {
        if (m.getName().equals("stopExecutorNative")) {
            return;  // it runs the stop line whatever the flag; its binding is covered by the export check
        }
        CMNExecutorInterface lib = new CMNExecutorInterface();
        lib.setQVAServerModalityNative(true);
        Object[] args = Arrays.stream(m.getParameterTypes()).map(t -> t == int.class ? (Object) 0
                : t == boolean.class ? (Object) true : null).toArray();
        try {
            m.invoke(lib, args);
        } catch (InvocationTargetException e) {
            if (e.getCause() instanceof UnsatisfiedLinkError u) {
                throw u;
            }
        } finally {
            lib.setQVAServerModalityNative(false);
        }
    }

    /** The names `nm -D --defined-only` lists for the library on java.library.path. */
    private static Set<String> exported() throws Exception {
        Process nm = new ProcessBuilder("nm", "-D", "--defined-only", Path.of(System.getProperty("java.library.path"),
                System.mapLibraryName("cmnexecutor")).toString()).redirectErrorStream(true).start();
        String out = new String(nm.getInputStream().readAllBytes());
        assertEquals(0, nm.waitFor(), out);
        return out.lines().map(l -> l.substring(l.lastIndexOf(' ') + 1)).collect(Collectors.toSet());
    }
}
