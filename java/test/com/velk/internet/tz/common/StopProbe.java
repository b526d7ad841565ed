package com.velk.internet.tz.common;

/**
 * Run in a JVM of its own by ExecutorLifecycleTest: stops the executor through a library that
 * has never opened the device, with whatever PATH and device the parent chose.
 */
public final class StopProbe {
    private StopProbe() {
    }

    public static void main(String[] args) {
        System.out.println("stopExecutorNative=" + new CMNExecutorInterface().stopExecutorNative());
    }
}
