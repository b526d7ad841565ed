package com.velk.internet.tz.velkctl;

import com.velk.internet.tz.common.CMNExecutorInterface;
import java.lang.reflect.Method;
import java.util.Arrays;
import java.util.function.ToIntBiFunction;

/**
 * The library's result-code methods velkctl calls, by name. A refusal's sentence is looked up
 * under one of these constants, never under a string typed at the call site, and the class
 * refuses to load when a constant names no method of the interface.
 */
enum Api {
    addClusterNative, removeClusterNative, setClusterStatusNative, getClusterStatusNative,
    getClusterReportNative, setClusterCPSNative, getClustersListNative,
    addPortNative, removePortNative, setPortStatusNative, getPortStatusNative,
    getPortReportNative, setPortCPSNative, getPortsListNative,
    addServerNative, removeServerNative, setServerStatusNative, setServerUpNative,
    setServerDownNative, getServerStatusNative, getServerReportNative, getServersListNative,
    setServerCPSNative, getServerWeightsNative, setServerWeightsNative,
    addRuleNative, removeRuleNative, setRuleStatusNative, getRuleStatusNative,
    addServertoRuleNative, removeServerfromRuleNative, getRuleReportNative, setRuleCPSNative,
    getRulesListNative, getRuleServersListNative,
    setExecutorStatusNative, setExecutorCPSNative, getExecutorStatusNative,
    getExecutorReportNative,
    configureAddressNative, unconfigureAddressNative, getAddressConfigureInfoNative,
    getHAInfoNative, backupAddNative, backupDelNative, addReachNative, delReachNative,
    addHBNative, delHBNative, setTimersNative, takeoverNative,
    serverDirectedAffinityNative, getHalfOpenInfoNative, getAttackingAddrsNative,
    getInterfaceListNative, getIcmpInfoNative, setIcmpInfoNative;

    static {
        for (Api api : values()) {
            if (Arrays.stream(CMNExecutorInterface.class.getMethods()).map(Method::getName)
                    .noneMatch(api.name()::equals)) {
                throw new ExceptionInInitializerError(api + " is no method of the interface");
            }
        }
    }

    /** A method of one record class with its name: what the record verbs and apply call. */
    static final class Op<T> {
        final Api method;
        private final ToIntBiFunction<CMNExecutorInterface, T> call;

        Op(Api method, ToIntBiFunction<CMNExecutorInterface, T> call) {
            this.method = method;
            this.call = call;
        }

        /** Calls the method; throws Refused with its sentence about the object when refused. */
        void run(CMNExecutorInterface api, T target, String object) throws Failure {
            check(call.applyAsInt(api, target), method, object);
        }
    }

    /** A refusal, a bad usage or an executor out of reach, with velkctl's exit status. */
    static class Failure extends Exception {
        private static final long serialVersionUID = 1L;
        final int exitCode;

        Failure(int exitCode, String message) {
            super(message);
            this.exitCode = exitCode;
        }
    }

    /** Throws a refusal with the sentence for a nonzero result. */
    static void check(int result, Api method, String object) throws Failure {
        if (result != 0) {
            throw refused(object + ": " + ErrorTable.sentence(method.name(), result)
                    + " (" + result + ")");
        }
    }

    static Failure refused(String message) {
        return new Failure(Velkctl.REFUSED, message);
    }

    static Failure badUsage(String message) {
        return new Failure(Velkctl.USAGE, message);
    }

    private static CMNExecutorInterface session;

    /** The library's interface, loaded once per process; the executor must answer. */
    static CMNExecutorInterface session() throws Failure {
        try {
            if (session == null) {
                session = new CMNExecutorInterface();
            }
        } catch (LinkageError e) {
            throw new Failure(Velkctl.UNREACHABLE,
                    "the library cmnexecutor can't be loaded: " + e.getMessage());
        }
        if (session.isLoadedNative() == 0) {
            String device = System.getProperty("os.name").startsWith("Windows") ? "\\\\.\\velklb"
                    : System.getenv("VELKLB_DEVICE");
            throw new Failure(Velkctl.UNREACHABLE, "the executor can't be reached at "
                    + (device == null || device.isEmpty() ? "/run/velklb" : device));
        }
        return session;
    }
}
