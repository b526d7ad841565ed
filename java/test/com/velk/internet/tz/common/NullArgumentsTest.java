package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.function.ToIntFunction;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Every method that takes an object, given null: it refuses with -88 before anything is read or
 * sent (the block would otherwise carry the previous request's fields out again), leaves no
 * exception pending and gives the JVM's JNI checks nothing to report.
 */
class NullArgumentsTest extends ExecutorTestBase {
    static Stream<Arguments> calls() {
        CMNPort noClusterAddress = new CMNPort("c1", 80);
        return Stream.of(
                call("setExecutorStatusNative", l -> l.setExecutorStatusNative(null), -88),
                call("setExecutorCPSNative", l -> l.setExecutorCPSNative(null), -88),
                call("getExecutorStatusNative", l -> l.getExecutorStatusNative(null), -88),
                call("getExecutorReportNative", l -> l.getExecutorReportNative(null), -88),
                call("addClusterNative", l -> l.addClusterNative(null), -88),
                call("removeClusterNative", l -> l.removeClusterNative(null), -88),
                call("setClusterStatusNative", l -> l.setClusterStatusNative(null), -88),
                call("getClusterStatusNative", l -> l.getClusterStatusNative(null), -88),
                call("getClusterReportNative", l -> l.getClusterReportNative(null), -88),
                call("setClusterCPSNative", l -> l.setClusterCPSNative(null), -88),
                call("getClustersListNative", l -> l.getClustersListNative(null), -88),
                call("addPortNative", l -> l.addPortNative(null), -88),
                call("removePortNative", l -> l.removePortNative(null), -88),
                call("setPortStatusNative", l -> l.setPortStatusNative(null), -88),
                call("getPortStatusNative", l -> l.getPortStatusNative(null), -88),
                call("getPortReportNative", l -> l.getPortReportNative(null), -88),
                call("setPortCPSNative", l -> l.setPortCPSNative(null), -88),
                call("getPortsListNative(null, list)", l -> l.getPortsListNative(null, new StringBuffer()), -88),
                call("getPortsListNative(id, null)", l -> l.getPortsListNative("c1", null), -88),
                call("removePortNative, null ClusterAddress", l -> l.removePortNative(noClusterAddress), -3));
    }

    private static Arguments call(String name, ToIntFunction<CMNExecutorInterface> call, int result) {
        return Arguments.of(name, call, result);
    }

    @ParameterizedTest(name = "{0} -> {2}")
    @MethodSource("calls")
    void nullIsRefusedAndNothingIsSent(String name, ToIntFunction<CMNExecutorInterface> call, int result) {
        assertEquals(result, call.applyAsInt(lib));
        assertEquals(0, sim.recordCount());
    }
}
