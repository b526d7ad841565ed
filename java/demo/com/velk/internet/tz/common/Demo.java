package com.velk.internet.tz.common;

import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Instant;
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
                demo::configureExecutor,
                demo::addClustersAndPorts,
                () -> { if (!DemoRules.walk(demo.executor)) throw new DemoFailure("the rule walk-through failed"); },
                demo::changeCluster,
                demo::listClustersAndPorts,
                () -> { if (!DemoServers.walk(demo.executor)) throw new DemoFailure("a server step failed"); },
                () -> { if (!DemoRules.bindServers(demo.executor)) throw new DemoFailure("a binding failed"); },
                demo::printReports,
                demo::printLogHead,
                () -> { if (!DemoNetwork.walkThrough(demo.executor)) throw new DemoFailure("network walk-through"); },
                () -> { if (!DemoDiagnostics.show(demo.executor)) throw new DemoFailure("a diagnostic view failed"); },
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

    /** Prints a call and its result; anything but 0 ends the demo. */
    private static void expectZero(String call, int result) throws DemoFailure {
        System.out.println("  " + call + " = " + result);
        if (result != 0) {
            throw new DemoFailure(call + " failed with " + result);
        }
    }

    private void configureExecutor() throws DemoFailure {
        heading("Configure the executor");
        CMNExecutor settings = new CMNExecutor();
        settings.NFA = "10.0.0.254";
        settings.SetNonForwardingAddress = 1;
        settings.TraceLevel = 2;
        settings.SetTraceLevel = 1;
        settings.DefaultClusterMaxPorts = 16;
        settings.SetDefaultClusterMaxPorts = 1;
        settings.FINTimeout = 120;
        settings.SetFINTimeout = 1;
        settings.MaxNumberOfClusters = 32;
        settings.SetMaxNumberOfClusters = 1;
        settings.ConfigFileName = "/etc/velklb/demo.cfg";
        settings.SetConfigFileName = 1;
        settings.iCookieExpireInterval = 600;
        expectZero("setExecutorStatusNative(NFA 10.0.0.254, trace level 2, 16 ports per cluster, "
                + "FIN timeout 120, 32 clusters, demo.cfg)", executor.setExecutorStatusNative(settings));

        CMNExecutor current = new CMNExecutor();
        expectZero("getExecutorStatusNative", executor.getExecutorStatusNative(current));
        System.out.printf("  NFA %s, trace level %d, ports per cluster %d, FIN timeout %d, clusters %d,%n"
                + "  HA timeouts %d/%d, port defaults: %d servers, stale %d, weight bound %d, config file %s%n",
                current.NFA, current.TraceLevel, current.DefaultClusterMaxPorts, current.FINTimeout,
                current.MaxNumberOfClusters, current.HaTimeout, current.HaSyncTimeout,
                current.DefaultPortMaxServers, current.DefaultPortStaleTimeout, current.DefaultPortWeightBound,
                current.ConfigFileName);
    }

    private final CMNCluster web = new CMNCluster("web");
    private final CMNCluster mail = new CMNCluster("mail");

    private void addClustersAndPorts() throws DemoFailure {
        heading("Add two clusters with their ports");
        web.Address = "10.0.1.10";
        mail.Address = "10.0.2.20";
        for (CMNCluster cluster : new CMNCluster[] {web, mail}) {
            expectZero("addClusterNative(" + cluster.sClusterId + " at " + cluster.Address + ")",
                    executor.addClusterNative(cluster));
            System.out.printf("    ID key 0x%08X%n", cluster.iClusterIdKey);
        }
        for (Object[] port : new Object[][] {{web, 80}, {web, 443}, {mail, 25}, {mail, 587}}) {
            String id = ((CMNCluster) port[0]).sClusterId;
            expectZero("addPortNative(" + id + ", " + port[1] + ")",
                    executor.addPortNative(new CMNPort(id, (Integer) port[1])));
        }
    }

    private void changeCluster() throws DemoFailure {
        heading("Change cluster web: at most 4 ports, 40 KB/s shared, 250 connections/s");
        web.MaxNumberOfPorts = 4;
        web.SetMaxNumberOfPorts = 1;
        web.iSharedBytesPerSecond = 40960;
        web.SetSharedBandwidth = 1;
        expectZero("setClusterStatusNative(web)", executor.setClusterStatusNative(web));
        web.iConnectionsPerSecond = 250;
        expectZero("setClusterCPSNative(web)", executor.setClusterCPSNative(web));
        CMNCluster current = new CMNCluster("web");
        expectZero("getClusterStatusNative(web)", executor.getClusterStatusNative(current));
        System.out.printf("  web: address %s, %d of at most %d ports, shared bandwidth %d bytes/s%n",
                current.Address, current.NumPorts, current.MaxNumberOfPorts, current.iSharedBytesPerSecond);
    }

    private void listClustersAndPorts() throws DemoFailure {
        heading("List clusters and ports");
        StringBuffer clusters = new StringBuffer();
        expectZero("getClustersListNative", executor.getClustersListNative(clusters));
        System.out.println("    \"" + clusters + "\"");
        for (String id : new String[] {"web", "mail"}) {
            StringBuffer ports = new StringBuffer();
            expectZero("getPortsListNative(" + id + ")", executor.getPortsListNative(id, ports));
            System.out.println("    \"" + ports + "\"");
        }
    }

    private void printReports() throws DemoFailure {
        heading("Executor report and the report of cluster web");
        CMNExecutorReport report = new CMNExecutorReport();
        expectZero("getExecutorReportNative", executor.getExecutorReportNative(report));
        System.out.printf("  version %s, started %s, NFA %s, %d clusters, %d hash buckets%n", report.Version,
                Instant.ofEpochSecond(Integer.toUnsignedLong(report.iTimeStarted)), report.NFA,
                report.NumClusters, report.InconnHashBkts);
        System.out.printf("  packets: total %d, forwarded %d, broadcast %d%n", report.Pcktotal,
                report.PckVECforward, report.PckVECbroadcast);
        CMNCluster cluster = new CMNCluster("web");
        expectZero("getClusterReportNative(web)", executor.getClusterReportNative(cluster));
        System.out.printf("  web: address %s, %d ports, %d connections/s, %d bytes/s%n", cluster.Address,
                cluster.NumPorts, cluster.iConnectionsPerSecond, cluster.iBytesPerSecond);
    }

    private void printLogHead() {
        heading("Head of the executor log");
        System.out.print(executor.xlogheadNative(600, 0));
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
