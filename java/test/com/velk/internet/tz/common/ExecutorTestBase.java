package com.velk.internet.tz.common;

import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;

/**
 * Runs the simulated executor for a test class: started once for the class, running and RESET
 * before every test (a test that stopped it through the library gets a fresh one), stopped at
 * the end. Every test leaves the server modality flag cleared.
 */
abstract class ExecutorTestBase {
    protected static SimExecutor sim;
    protected final CMNExecutorInterface lib = new CMNExecutorInterface();

    @BeforeAll
    static void startExecutor() {
        sim = SimExecutor.fromEnvironment();
        sim.start();
    }

    @BeforeEach
    void freshExecutor() {
        if (!sim.isRunning()) {
            sim.stop();
            sim.start();
        }
        sim.reset();
    }

    @AfterEach
    void clearServerModality() {
        lib.setQVAServerModalityNative(false);
    }

    @AfterAll
    static void stopExecutor() {
        if (sim != null) {
            sim.stop();
        }
    }
}
