package com.velk.internet.tz.common;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

/**
 * A walk through the administration interface against a running executor: each step prints
 * what it asked and what the executor (or the library) answered. Steps run in order; a step
 * that cannot go on says why and the demo ends with a nonzero status.
 *
 * <p>Run with the library on java.library.path and the shell-tool stand-ins first on PATH, e.g.
 * {@code java -Djava.library.path=build/lib -jar build/cmnexecutor-demo.jar}.
 */
public final class Demo {
    /** How long to wait for the executor device to disappear after a stop. */
    private static final long DEVICE_GONE_WAIT_MILLIS = 5000;

    private final CMNExecutorInterface executor = new CMNExecutorInterface();

    /** One step of the walk-through. */
    private interface Step {
        void run() throws DemoFailure;
    }

    private static final class DemoFailure extends Exception {
        private static final long serialVersionUID = 1L;

        DemoFailure(String message) {
            super(message);
        }
    }

    private Demo() {
    }

    public static void main(String[] args) {
        Demo demo = new Demo();
        List<Step> steps = List.of(
                demo::probeExecutor,
                demo::computeKeys,
                demo::stopExecutor);
        try {
            for (Step step : steps) {
                step.run();
                System.out.println();
            }
        } catch (DemoFailure failure) {
            System.out.println("demo stopped: " + failure.getMessage());
            System.exit(1);
        }
    }

    private static void heading(String title) {
        System.out.println("== " + title);
    }

    private void probeExecutor() throws DemoFailure {
        heading("Is the executor loaded?");
        int loaded = executor.isLoadedNative();
        System.out.println("isLoadedNative() = " + loaded);
        if (loaded != 1) {
            throw new DemoFailure("the executor device " + devicePath() + " cannot be opened; start the executor first");
        }
    }

    private void computeKeys() {
        heading("ID keys of cluster and server identifiers");
        for (String id : new String[] {"10.1.2.3", "abc", "ABC", "web-cluster", "255.255.255.255"}) {
            int key = executor.calcClusterIdKeyNative(id, null);
            System.out.printf("  %-18s -> 0x%08X%n", id, key);
        }
    }

    private void stopExecutor() throws DemoFailure {
        heading("Stop the executor");
        String result = executor.stopExecutorNative();
        System.out.println("stopExecutorNative() = " + result);
        if (!"EOK".equals(result)) {
            throw new DemoFailure("the executor service did not stop");
        }
        // The service stop returns once the executor is told to go; give it a moment to leave.
        Path device = devicePath();
        long deadline = System.currentTimeMillis() + DEVICE_GONE_WAIT_MILLIS;
        while (Files.exists(device) && System.currentTimeMillis() < deadline) {
            pause(50);
        }
        int loaded = executor.isLoadedNative();
        System.out.println("isLoadedNative() = " + loaded + (loaded == 0 ? " (the device is gone)" : ""));
        if (loaded != 0) {
            throw new DemoFailure("the executor device is still there after the stop");
        }
    }

    /** Where the library finds the executor device on Linux. */
    private static Path devicePath() {
        String device = System.getenv("VELKLB_DEVICE");
        return Path.of(device == null || device.isEmpty() ? "/run/velklb" : device);
    }

    private static void pause(long millis) {
        try {
            Thread.sleep(millis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
