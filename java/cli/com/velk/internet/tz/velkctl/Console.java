package com.velk.internet.tz.velkctl;

import com.sun.jna.Library;
import com.sun.jna.Native;
import com.sun.jna.Pointer;
import com.velk.internet.tz.common.CMNExecutorInterface;

/**
 * Keeps the library's own console line (printed by the interface table's rebuild) out of
 * velkctl's standard output, so that scripts can parse what velkctl prints: around the call,
 * the process's standard output descriptor points at standard error, through the C library
 * (Debian's libjna-java). Without JNA, or with the property velkctl.console.keep set (JNA's own
 * native code does not pass the JVM's -Xcheck:jni, which the library's tests run under), the
 * line stays where the library puts it.
 */
final class Console {
    /** The C library's descriptor calls, POSIX names. */
    interface Posix extends Library {
        int dup(int fd);

        int dup2(int fd, int fd2);

        int close(int fd);

        int fflush(Pointer stream);
    }

    /** The same calls in the Windows C runtime the DLL writes through. */
    interface Msvcrt extends Library {
        int _dup(int fd);

        int _dup2(int fd, int fd2);

        int _close(int fd);

        int _flushall();
    }

    private static final boolean WINDOWS = System.getProperty("os.name").startsWith("Windows");
    private static Object c;

    private Console() {
    }

    private static Object c() {
        if (c == null && Boolean.getBoolean("velkctl.console.keep")) {
            c = Boolean.FALSE;
        }
        if (c == null) {
            try {
                c = WINDOWS ? Native.load("msvcrt", Msvcrt.class) : Native.load("c", Posix.class);
            } catch (LinkageError | RuntimeException e) {
                c = Boolean.FALSE;
            }
        }
        return c;
    }

    /** Rebuilds the library's interface table; its console line goes to standard error. */
    static int rebuildInterfaces(CMNExecutorInterface api) {
        System.out.flush();
        Object lib = c();
        int saved = -1;
        if (lib instanceof Posix) {
            saved = ((Posix) lib).dup(1);
            ((Posix) lib).dup2(2, 1);
        } else if (lib instanceof Msvcrt) {
            saved = ((Msvcrt) lib)._dup(1);
            ((Msvcrt) lib)._dup2(2, 1);
        }
        try {
            return api.setInterfacesNative(0);
        } finally {
            if (saved >= 0 && lib instanceof Posix) {
                ((Posix) lib).fflush(null);
                ((Posix) lib).dup2(saved, 1);
                ((Posix) lib).close(saved);
            } else if (saved >= 0) {
                ((Msvcrt) lib)._flushall();
                ((Msvcrt) lib)._dup2(saved, 1);
                ((Msvcrt) lib)._close(saved);
            }
        }
    }
}
