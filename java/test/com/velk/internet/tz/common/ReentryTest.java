package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * A listener method that calls back into the library while a native call is under way on the
 * same thread: the inner call is refused at once (-97, or null for text) and the outer call
 * finishes as if nothing had happened; the key computation, which shares nothing, is answered.
 */
class ReentryTest extends ExecutorTestBase {
    /** A server whose listener getter calls the library from inside the server add. */
    static final class CallingServer extends CMNServer {
        final CMNExecutorInterface lib = new CMNExecutorInterface();
        final List<Object> inner = new ArrayList<>();

        CallingServer() {
            super("web", 80, "10.9.9.9");
            addListener(new CMNListener(0x0A090909, 8080, 6, null, null));
            SetListeners = 1;
        }

        @Override
        public CMNListener getListener(int index) {
            inner.add(lib.getExecutorStatusNative(new CMNExecutor()));
            inner.add(lib.addClusterNative(new CMNCluster("inner")));
            inner.add(lib.xlogheadNative(100, 0));
            inner.add(lib.calcClusterIdKeyNative("10.1.2.3", null));
            return super.getListener(index);
        }
    }

    @Test
    void innerCallsAreRefusedAndTheOuterCallCompletes() {
        CMNCluster c = new CMNCluster("web");
        c.Address = "10.1.0.1";
        c.SetIPAddress = 1;
        assertEquals(0, lib.addClusterNative(c));
        assertEquals(0, lib.addPortNative(new CMNPort("web", 80)));
        int before = sim.recordCount();

        CallingServer server = new CallingServer();
        assertEquals(0, lib.addServerNative(server));

        assertEquals(-97, server.inner.get(0));
        assertEquals(-97, server.inner.get(1));
        assertNull(server.inner.get(2));
        assertEquals(lib.calcClusterIdKeyNative("10.1.2.3", null), server.inner.get(3));
        assertEquals(before + 1, sim.recordCount(), "only the outer request went out");
        CMNServer read = new CMNServer("web", 80, "10.9.9.9");
        read.iServerIdKey = server.iServerIdKey;
        assertEquals(0, lib.getServerStatusNative(read));
        assertEquals(1, read.getListeners().size());
        assertEquals(8080, read.getListeners().get(0).getMapPort());
    }
}
