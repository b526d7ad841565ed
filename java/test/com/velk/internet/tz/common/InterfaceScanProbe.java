package com.velk.internet.tz.common;

/** Run in a JVM of its own by InterfaceDiscoveryTest: rebuilds the interface table, so its output can be seen whole. */
public final class InterfaceScanProbe {
    private InterfaceScanProbe() {
    }

    public static void main(String[] args) {
        int count = new CMNExecutorInterface().setInterfacesNative(0);
        System.out.println("count=" + count);
    }
}
