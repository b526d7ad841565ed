package com.velk.internet.tz.common;

import java.util.Arrays;

/**
 * The servers part of the walk-through: servers with listeners behind the ports of cluster web,
 * their weights set and read as one request per port, their status, reports and lists.
 */
final class DemoServers {
    private DemoServers() {
    }

    /** Runs the steps in order; false (after saying why) when one of them fails. */
    static boolean walk(CMNExecutorInterface executor) {
        System.out.println("== Servers with listeners behind web:80 and web:443");
        CMNServer[] servers = {server("web", 80, "10.0.1.11", 10), server("web", 80, "10.0.1.12", 10),
            server("web", 443, "app-secure", 5)};
        servers[0].addListener(new CMNListener(0x0A00010B, 8080, 6, null, null));
        servers[1].addListener(new CMNListener(0x0A00010C, 8080, 6, null, null));
        servers[2].addListener(new CMNListener(0x0A00010D, 8443, 6, "/etc/velklb/keys.kdb", "/etc/velklb/keys.sth"));
        servers[2].addListener(new CMNListener(0x0A00010D, 9443, 6, "/etc/velklb/keys.kdb", "/etc/velklb/keys.sth"));
        for (CMNServer s : servers) {
            s.SetListeners = 1;
            s._iConnectTimeout = 30;
            if (!ok("addServerNative(" + s.ClusterId + ":" + s.Port + ", " + s.sServerID + ")",
                    executor.addServerNative(s))) {
                return false;
            }
            System.out.printf("    ID key 0x%08X, %d listener(s)%n", s.iServerIdKey, s._iNumListeners);
        }

        System.out.println("== Set the weights of web:80 in one request, then read them back");
        CMNWeights weights = new CMNWeights(2);
        weights.sClusterID = "web";
        weights.iPortNumber = 80;
        weights.iServerIdKey = new int[] {servers[0].iServerIdKey, servers[1].iServerIdKey};
        weights.iWeight = new int[] {15, 7};
        if (!ok("setServerWeightsNative(web:80, 2)", executor.setServerWeightsNative(weights, 2))) {
            return false;
        }
        System.out.println("    result per server " + Arrays.toString(weights.iRC));
        CMNWeights read = new CMNWeights(2);
        read.sClusterID = "web";
        read.iPortNumber = 80;
        if (!ok("getServerWeightsNative(web:80, 2)", executor.getServerWeightsNative(read, 2))) {
            return false;
        }
        for (int i = 0; i < 2; i++) {
            System.out.printf("    %-10s address %s weight %d%n", read.sServerId[i], dotted(read.iAddress[i]),
                    read.iWeight[i]);
        }

        System.out.println("== Mark 10.0.1.12 down, rate-limit app-secure, read status and reports");
        if (!ok("setServerDownNative(10.0.1.12)", executor.setServerDownNative(servers[1]))) {
            return false;
        }
        servers[2]._iCPSCount = 40;
        if (!ok("setServerCPSNative(app-secure)", executor.setServerCPSNative(servers[2]))) {
            return false;
        }
        CMNServer status = server("web", 443, "app-secure", 0);
        status.iServerIdKey = servers[2].iServerIdKey;
        if (!ok("getServerStatusNative(app-secure)", executor.getServerStatusNative(status))) {
            return false;
        }
        System.out.printf("    weight %d, connect timeout %d, %d listener(s):%n", status._iWeight,
                status._iConnectTimeout, status.getListeners().size());
        for (CMNListener l : status.getListeners()) {
            System.out.printf("      %s:%d protocol %d key ring %s%n", dotted(l._iAddress), l._iMapPort,
                    l._iProtocol, l._sKeyRing);
        }
        if (!ok("getServerReportNative(app-secure)", executor.getServerReportNative(servers[2]))) {
            return false;
        }
        System.out.printf("    saved weight %d, %d bytes/s%n", servers[2]._iSavedWeight,
                servers[2].iBytesPerSecond);
        CMNPort port = new CMNPort("web", 80);
        if (!ok("getPortReportNative(web:80)", executor.getPortReportNative(port))) {
            return false;
        }
        System.out.printf("    web:80 has %d servers, %d down%n", port.NumServers, port.NumNodesDown);

        System.out.println("== Server lists");
        for (int number : new int[] {80, 443}) {
            StringBuffer list = new StringBuffer();
            int[] keys = new int[4];
            if (!ok("getServersListNative(web, " + number + ")",
                    executor.getServersListNative("web", number, list, keys))) {
                return false;
            }
            System.out.println("    \"" + list + "\"");
        }
        System.out.printf("== Room for one more: servers after 725 %d, after 726 %d%n",
                executor.checkMaxServersNative(725), executor.checkMaxServersNative(726));
        return true;
    }

    private static CMNServer server(String cluster, int port, String id, int weight) {
        CMNServer s = new CMNServer(cluster, port, id);
        s._iWeight = weight;
        s.SetWeight = (byte) (weight > 0 ? 1 : 0);
        return s;
    }

    private static boolean ok(String call, int result) {
        System.out.println(call + " = " + result);
        if (result != 0) {
            System.out.println("demo stopped: " + call + " failed");
        }
        return result == 0;
    }

    private static String dotted(int address) {
        return (address >>> 24) + "." + (address >>> 16 & 0xFF) + "." + (address >>> 8 & 0xFF) + "." + (address & 0xFF);
    }
}
