package com.velk.internet.tz.common;

/**
 * The rules part of the walk-through: rules of three kinds on the ports of cluster web, a change
 * made without naming the type (the library reads the stored rule first), a rate, and the
 * status, report and lists that come back.
 */
final class DemoRules {
    private DemoRules() {
    }

    /** Runs the walk-through; false (after saying which call failed) when a call did not return 0. */
    static boolean walk(CMNExecutorInterface executor) {
        System.out.println("== Rules of cluster web");
        CMNRule clients = rule("web", 80, "clients", 1);
        clients.AddressBeginRange = "10.0.5.1";
        clients.AddressEndRange = "10.0.5.99";
        clients.SetBeginRange = 1;
        clients.SetEndRange = 1;
        clients.Priority = 1;
        clients.SetPriority = 1;

        CMNRule tos = rule("web", 80, "low-delay", 7);
        tos.ServiceTOS = "xxx1xxx0";
        tos.SetServiceTOS = 1;
        tos.Priority = 2;
        tos.SetPriority = 1;

        CMNRule numbers = rule("web", 443, "business-hours", 3);
        numbers.BeginRange = 8;
        numbers.EndRange = 18;
        numbers.SetBeginRange = 1;
        numbers.SetEndRange = 1;
        numbers.StickyTime = 300;
        numbers.SetStickyTime = 1;
        numbers.sHashID = "bh";

        for (CMNRule r : new CMNRule[] {clients, tos, numbers}) {
            if (!ok("addRuleNative(" + r.ClusterId + ":" + r.PortNumber + " " + r.RuleName + ", type " + r.RuleType
                    + ")", executor.addRuleNative(r))) {
                return false;
            }
        }

        CMNRule change = new CMNRule("web", 80, "clients");
        change.iShareLevel = 50;
        change.SetShareLevel = 1;
        if (!ok("setRuleStatusNative(web:80 clients, share level 50, type not given)",
                executor.setRuleStatusNative(change))) {
            return false;
        }
        CMNRule rate = new CMNRule("web", 80, "low-delay");
        rate.iConnectionsPerSecond = 75;
        if (!ok("setRuleCPSNative(web:80 low-delay, 75 connections/s)", executor.setRuleCPSNative(rate))) {
            return false;
        }

        for (CMNRule r : new CMNRule[] {clients, tos, numbers}) {
            CMNRule read = new CMNRule(r.ClusterId, r.PortNumber, r.RuleName);
            if (!ok("getRuleStatusNative(" + r.RuleName + ")", executor.getRuleStatusNative(read))) {
                return false;
            }
            System.out.printf("    type %d, range %s..%s (%d..%d), priority %d, share %d, TOS \"%s\", sticky %d,"
                    + " %d servers%n", read.RuleType, read.AddressBeginRange, read.AddressEndRange, read.BeginRange,
                    read.EndRange, read.Priority, read.iShareLevel, read.ServiceTOS, read.StickyTime,
                    read.NumServers);
            CMNRule report = new CMNRule(r.ClusterId, r.PortNumber, r.RuleName);
            if (!ok("getRuleReportNative(" + r.RuleName + ")", executor.getRuleReportNative(report))) {
                return false;
            }
            System.out.printf("    rule #%d fired %d times, %d connections/s, %d bytes/s%n", report.iUniqueId,
                    report.TimesFired, report.iConnectionsPerSecond, report.iBytesPerSecond);
            StringBuffer servers = new StringBuffer();
            if (!ok("getRuleServersListNative(" + r.RuleName + ")",
                    executor.getRuleServersListNative(report, servers))) {
                return false;
            }
            System.out.println("    servers \"" + servers + "\"");
        }

        for (int port : new int[] {80, 443}) {
            StringBuffer list = new StringBuffer();
            if (!ok("getRulesListNative(web, " + port + ")", executor.getRulesListNative("web", port, list))) {
                return false;
            }
            System.out.println("    \"" + list + "\"");
        }
        return true;
    }

    /** Binds the two servers of web:80 to its rule "clients" and shows the rule's servers; false on a failure. */
    static boolean bindServers(CMNExecutorInterface executor) {
        System.out.println("== Servers bound to the rule clients of web:80");
        CMNRule clients = new CMNRule("web", 80, "clients");
        for (String id : new String[] {"10.0.1.11", "10.0.1.12"}) {
            CMNServer server = new CMNServer("web", 80, id);
            server.iServerIdKey = executor.calcClusterIdKeyNative(id, null);
            if (!ok("addServertoRuleNative(web:80 clients, " + id + ")",
                    executor.addServertoRuleNative(clients, server, 0))) {
                return false;
            }
        }
        if (!ok("getRuleStatusNative(clients)", executor.getRuleStatusNative(clients))) {
            return false;
        }
        StringBuffer servers = new StringBuffer();
        if (!ok("getRuleServersListNative(clients)", executor.getRuleServersListNative(clients, servers))) {
            return false;
        }
        System.out.println("    " + clients.NumServers + " servers \"" + servers + "\"");
        return true;
    }

    private static CMNRule rule(String cluster, int port, String name, int type) {
        CMNRule r = new CMNRule(cluster, port, name);
        r.RuleType = (byte) type;
        r.SetRuleType = 1;
        return r;
    }

    private static boolean ok(String call, int result) {
        System.out.println("  " + call + " = " + result);
        if (result != 0) {
            System.out.println("  " + call + " failed with " + result);
        }
        return result == 0;
    }
}
