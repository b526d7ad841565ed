package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.*;

import java.time.Duration;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.*;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.Test;

/**
 * Several threads at once, each with clusters and ports of its own: every answer must be the one
 * that thread's own requests call for, and nothing may hang (a watchdog fails the test instead).
 * A listener that calls back into the library on the same thread is refused at once (-97, or null
 * for text) and the outer call finishes as if nothing had happened; the key computation, which
 * shares nothing, is answered.
 */
class ConcurrencyTest extends ExecutorTestBase {
    static final int THREADS = 8;
    static final Duration RUN = Duration.ofSeconds(3);
    static final Duration WATCHDOG = Duration.ofSeconds(60);

    /** Runs each task on its own thread; fails with the first error, or when one outlives the watchdog. */
    static void runAll(List<Callable<Void>> tasks) throws Exception {
        ExecutorService pool = Executors.newFixedThreadPool(tasks.size());
        try {
            List<Future<Void>> futures = pool.invokeAll(tasks, WATCHDOG.toSeconds(), TimeUnit.SECONDS);
            for (Future<Void> f : futures) {
                assertFalse(f.isCancelled(), "a thread was still inside the library after " + WATCHDOG);
                f.get();
            }
        } finally {
            pool.shutdownNow();
        }
    }

    /** One thread's life: its own cluster, ports added and removed, statuses, lists and reports. */
    Void worker(int t, AtomicInteger calls) {
        String id = "thread-" + t;
        CMNCluster c = new CMNCluster(id);
        c.Address = "10.77." + t + ".1";
        c.SetIPAddress = 1;
        c.MaxNumberOfPorts = 40 + t;
        c.SetMaxNumberOfPorts = 1;
        assertEquals(0, lib.addClusterNative(c));
        long end = System.nanoTime() + RUN.toNanos();
        List<Integer> ports = new ArrayList<>();
        for (int round = 0; System.nanoTime() < end; round++) {
            int number = 1000 * (t + 1) + round % 20;
            CMNPort p = new CMNPort(id, number);
            p.MaxNumberOfServers = 100 * t + number % 97;
            p.SetMaxNumberOfServers = 1;
            if (ports.contains(number)) {
                p.ClusterAddress = c.Address;
                assertEquals(0, lib.removePortNative(p), id + " remove " + number);
                ports.remove((Integer) number);
                continue;
            }
            assertEquals(0, lib.addPortNative(p), id + " add " + number);
            ports.add(number);

            CMNPort read = new CMNPort(id, number);
            assertEquals(0, lib.getPortStatusNative(read), id + " port status");
            assertEquals(p.MaxNumberOfServers, read.MaxNumberOfServers, id + " port " + number);

            CMNCluster status = new CMNCluster(id);
            status.iClusterIdKey = c.iClusterIdKey;
            assertEquals(0, lib.getClusterStatusNative(status), id + " cluster status");
            assertEquals(List.of(c.Address, c.MaxNumberOfPorts, ports.size()),
                    List.of(status.Address, status.MaxNumberOfPorts, status.NumPorts), id);

            StringBuffer list = new StringBuffer();
            assertEquals(0, lib.getPortsListNative(id, list), id + " list");
            StringBuilder want = new StringBuilder();
            ports.forEach(n -> want.append('+').append(n));
            assertEquals(want.toString(), list.toString(), id + " port list");
            calls.addAndGet(5);
        }
        return null;
    }

    @Test
    void threadsGetTheAnswersToTheirOwnRequests() throws Exception {
        AtomicInteger calls = new AtomicInteger();
        List<Callable<Void>> tasks = new ArrayList<>();
        for (int t = 0; t < THREADS; t++) {
            int thread = t;
            tasks.add(() -> worker(thread, calls));
        }
        runAll(tasks);
        System.out.println(THREADS + " threads made " + calls.get() + " calls");
        assertTrue(calls.get() > THREADS * 5, "every thread got some turns");
    }

    /** A killed and restarted executor: calls in flight fail with a code, none hangs, later calls succeed. */
    @Test
    void executorKilledAndRestartedMidRun() throws Exception {
        AtomicBoolean stop = new AtomicBoolean();
        ConcurrentLinkedQueue<Integer> results = new ConcurrentLinkedQueue<>();
        List<Callable<Void>> tasks = new ArrayList<>();
        for (int t = 0; t < 4; t++) {
            tasks.add(() -> {
                while (!stop.get()) {
                    results.add(lib.getExecutorStatusNative(new CMNExecutor()));
                }
                return null;
            });
        }
        tasks.add(() -> {
            Thread.sleep(300);
            sim.kill();
            Thread.sleep(300);
            sim.start();
            Thread.sleep(300);
            stop.set(true);
            return null;
        });
        runAll(tasks);
        assertTrue(results.stream().anyMatch(r -> r != 0), "some calls failed while the executor was gone");
        assertTrue(results.stream().allMatch(r -> r == 0 || r == -1 || r > 0), "failures are device errors: " + results
                .stream().filter(r -> r < -1).findFirst().orElse(null));
        assertEquals(0, lib.getExecutorStatusNative(new CMNExecutor()), "reached again after the restart");
    }

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

        assertEquals(Arrays.asList(-97, -97, null, lib.calcClusterIdKeyNative("10.1.2.3", null)), server.inner);
        assertEquals(before + 1, sim.recordCount(), "only the outer request went out");
        CMNServer read = new CMNServer("web", 80, "10.9.9.9");
        read.iServerIdKey = server.iServerIdKey;
        assertEquals(0, lib.getServerStatusNative(read));
        assertEquals(List.of(1, 8080), List.of(read.getListeners().size(), read.getListeners().get(0).getMapPort()));
    }
}
