package com.velk.internet.tz.common;

/**
 * The network part of the walk-through: the interface table of a two-card host read from the
 * registry, a cluster address brought up as an alias on the card whose subnet holds it, and a
 * balancer paired with its partner through a heartbeat and a reach target.
 */
final class DemoNetwork {
    private static final String CLUSTER_ADDRESS = "10.1.2.3";
    private static final String HEARTBEAT_LOCAL = "10.1.2.4";
    private static final String PARTNER = "10.1.9.9";
    private static final String GATEWAY = "192.168.7.1";

    private DemoNetwork() {
    }

    /** Runs the steps in order; false, after saying why, when one of them fails. */
    static boolean walkThrough(CMNExecutorInterface executor) {
        try {
            interfaces(executor);
            System.out.println();
            clusterAddress(executor);
            System.out.println();
            partner(executor);
            return true;
        } catch (IllegalStateException failure) {
            System.out.println("  " + failure.getMessage());
            return false;
        }
    }

    private static void expect(String call, int result, int wanted) {
        System.out.println("  " + call + " = " + result);
        if (result != wanted) {
            throw new IllegalStateException(call + " gave " + result + ", not " + wanted);
        }
    }

    /** The address of a host-order int (first octet in the top byte). */
    private static String dotted(int v) {
        return (v >>> 24) + "." + (v >> 16 & 255) + "." + (v >> 8 & 255) + "." + (v & 255);
    }

    private static void interfaces(CMNExecutorInterface executor) {
        System.out.println("== The host's interfaces, from the registry");
        int count = executor.setInterfacesNative(0);
        System.out.println("  setInterfacesNative = " + count);
        if (count < 1) {
            throw new IllegalStateException("no interface found; is the registry seeded?");
        }
        CMNInterfaceList list = new CMNInterfaceList();
        expect("getInterfaceListNative(table)", executor.getInterfaceListNative(1, list), 0);
        for (int i = 0; i < list.iNumInterfaces; i++) {
            System.out.printf("    %-15s netmask %-15s network %s%n", dotted(list.aiIp[i]), dotted(list.aiNetmask[i]),
                    dotted(list.aiNetnumber[i]));
        }
        // The table keeps addresses in network order as they lie in memory.
        int address = Integer.reverseBytes(0x0A010203);
        int nic = executor.getNicAddrNative(address, 0);
        System.out.println("  getNicAddrNative(" + CLUSTER_ADDRESS + ") = " + dotted(Integer.reverseBytes(nic)));
    }

    private static void clusterAddress(CMNExecutorInterface executor) {
        System.out.println("== Cluster address " + CLUSTER_ADDRESS + " as an interface alias");
        CMNAddress address = new CMNAddress(CLUSTER_ADDRESS);
        expect("clusterConfigureStatusNative (before)", executor.clusterConfigureStatusNative(address), -63);
        expect("configureAddressNative", executor.configureAddressNative(address), 0);
        expect("clusterConfigureStatusNative", executor.clusterConfigureStatusNative(address), 0);
        expect("getAddressConfigureInfoNative", executor.getAddressConfigureInfoNative(address), 0);
        System.out.println("    configured on " + address.InterfaceName + " with netmask " + address.NetMask);
    }

    private static void partner(CMNExecutorInterface executor) {
        System.out.println("== Pair with the partner at " + PARTNER);
        expect("backupAddNative(role 1, strategy 2, port 4567)", executor.backupAddNative(1, 2, "4567"), 0);
        expect("addHBNative(" + HEARTBEAT_LOCAL + " -> " + PARTNER + ")",
                executor.addHBNative(HEARTBEAT_LOCAL, PARTNER), 0);
        expect("addReachNative(" + GATEWAY + ")", executor.addReachNative(GATEWAY, "255.255.255.0", 1), 0);
        expect("setTimersNative", executor.setTimersNative("2", "4", "6", "8", "10", "12", "14"), 0);
        CMNHAInfo info = new CMNHAInfo();
        expect("getHAInfoNative", executor.getHAInfoNative(info), 0);
        System.out.printf("    mode %d, role %d, strategy %d, state %d, port %d, peer %d%n", info.haFsmMode, info.haRole,
                info.haStrategy, info.haState, info.haPort, info.haPeer);
        for (int i = 0; i < Math.min(info.haHBCount, CMNHAInfo.MAX_RECORDS); i++) {
            System.out.printf("    heartbeat %s -> %s, status %d%n", dotted(info.haLocal_Address[i]),
                    dotted(info.haRemote_Address[i]), info.haStatus[i]);
        }
        for (int i = 0; i < Math.min(info.haReachCount, CMNHAInfo.MAX_RECORDS); i++) {
            System.out.printf("    reach %s mask %s, type %d, status %d%n", dotted(info.haAddress[i]),
                    dotted(info.haMask[i]), info.haType[i], info.haAddress_status[i]);
        }
    }
}
