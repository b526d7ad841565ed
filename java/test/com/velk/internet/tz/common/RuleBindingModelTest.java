package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.List;
import org.junit.jupiter.api.Test;

/** Servers bound to rules through the model: the binding, the rule's server list and its count. */
class RuleBindingModelTest extends ExecutorTestBase {
    static CMNServer server(String id) {
        CMNServer s = new CMNServer("web", 80, id);
        s.SetWeight = 1;
        s._iWeight = 10;
        return s;
    }

    @Test
    void bindListUnbind() {
        assertEquals(0, lib.addClusterNative(new CMNCluster("web")));
        assertEquals(0, lib.addPortNative(new CMNPort("web", 80)));
        CMNServer srv1 = server("srv1");
        CMNServer srv2 = server("10.0.0.7");
        assertEquals(List.of(0, 0), List.of(lib.addServerNative(srv1), lib.addServerNative(srv2)));
        CMNRule rule = new CMNRule("web", 80, "r1");
        rule.SetRuleType = 1;
        assertEquals(0, lib.addRuleNative(rule));

        assertEquals(List.of(0, 0), List.of(lib.addServertoRuleNative(rule, srv2, 5),
                lib.addServertoRuleNative(rule, srv1, 0)));
        assertEquals(-60, lib.addServertoRuleNative(rule, srv1, 0), "bound already");
        CMNServer missing = server("srv3");
        missing.iServerIdKey = (int) key("srv3");
        assertEquals(-19, lib.addServertoRuleNative(rule, missing, 0), "no such server");

        CMNRule read = new CMNRule("web", 80, "r1");
        assertEquals(0, lib.getRuleStatusNative(read));
        assertEquals(2, read.NumServers);
        StringBuffer sb = new StringBuffer();
        assertEquals(0, lib.getRuleServersListNative(read, sb));
        assertEquals("+10.0.0.7+srv1", sb.toString(), "in the order of binding");

        assertEquals(0, lib.removeServerfromRuleNative(rule, srv2, 5));
        assertEquals(-59, lib.removeServerfromRuleNative(rule, srv2, 5), "not bound any more");
        CMNRule report = new CMNRule("web", 80, "r1");
        assertEquals(0, lib.getRuleReportNative(report));
        assertEquals(1, report.NumServers);
        sb.setLength(0);
        assertEquals(0, lib.getRuleServersListNative(report, sb));
        assertEquals("+srv1", sb.toString());

        assertEquals(0, lib.removeRuleNative(rule));
        assertEquals(-57, lib.addServertoRuleNative(rule, srv1, 0), "the rule is gone, and its bindings");
    }
}
