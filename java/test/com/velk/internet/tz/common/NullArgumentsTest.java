package com.velk.internet.tz.common;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.function.Consumer;
import java.util.function.ToIntFunction;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Every method that takes an object, given null: it refuses with -88 before anything is read or
 * sent (the block would otherwise carry the previous request's fields out again), leaves no
 * exception pending and gives the JVM's JNI checks nothing to report. The same holds for a value
 * behind a flag of 1 that can't be had: a null address is refused as an unresolvable one, a null
 * or short array with the missing-argument code, and the block's stale bytes never go out.
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

    static Stream<Arguments> flaggedValues() {
        Consumer<CMNExecutor> nfa = e -> e.SetNonForwardingAddress = 1;
        return Stream.of(
                flagged("NFA null", nfa, CMNExecutorInterface::setExecutorStatusNative, -21),
                flagged("ClientGateway null", e -> e.SetClientGateway = 1,
                        CMNExecutorInterface::setExecutorStatusNative, -49),
                flagged("v6ClientGateway length 0", e -> {
                    e.Setv6ClientGateway = 1;
                    e.v6ClientGateway = new byte[0];
                }, CMNExecutorInterface::setExecutorStatusNative, -88),
                flagged("v6ClientGateway length 15", e -> {
                    e.Setv6ClientGateway = 1;
                    e.v6ClientGateway = new byte[15];
                }, CMNExecutorInterface::setExecutorStatusNative, -88),
                clusterFlagged("natPtAddress null", c -> c.natPtAddress = null, -88),
                clusterFlagged("natPtAddress length 0", c -> c.natPtAddress = new byte[0], -88),
                clusterFlagged("natPtAddress length 3", c -> c.natPtAddress = new byte[3], -88));
    }

    private static Arguments flagged(String name, Consumer<CMNExecutor> setUp,
            java.util.function.ToIntBiFunction<CMNExecutorInterface, CMNExecutor> call, int result) {
        CMNExecutor e = new CMNExecutor();
        setUp.accept(e);
        return Arguments.of(name, (ToIntFunction<CMNExecutorInterface>) l -> call.applyAsInt(l, e), result);
    }

    private static Arguments clusterFlagged(String name, Consumer<CMNCluster> setUp, int result) {
        CMNCluster c = new CMNCluster("c1");
        c.SetNatPtAddress = 1;
        setUp.accept(c);
        return Arguments.of(name, (ToIntFunction<CMNExecutorInterface>) l -> l.addClusterNative(c), result);
    }

    @ParameterizedTest(name = "{0} -> {2}")
    @MethodSource("flaggedValues")
    void flaggedValueThatCantBeHadIsRefused(String name, ToIntFunction<CMNExecutorInterface> call, int result) {
        nullIsRefusedAndNothingIsSent(name, call, result);
    }

    /** A read-back array shorter than its field is left alone; the other fields are still written. */
    @org.junit.jupiter.api.Test
    void shortArrayOnReadBackIsLeftAlone() {
        CMNExecutor e = new CMNExecutor();
        e.v6ClientGateway = new byte[] {7};
        e.TraceLevel = -5;
        assertEquals(0, lib.getExecutorStatusNative(e));
        assertArrayEquals(new byte[] {7}, e.v6ClientGateway);
        assertEquals(0, e.TraceLevel);  // the executor's value: the fields before the array were written
    }
}
