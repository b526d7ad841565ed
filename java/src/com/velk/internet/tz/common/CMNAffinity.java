package com.velk.internet.tz.common;

/**
 * A server-directed affinity exchange for one cluster port: the caller supplies a sub-command
 * and client-to-server bindings, the executor answers with its response, its clock and the
 * resulting bindings. Addresses are kept in network order in the int's memory.
 */
public class CMNAffinity {
    /** Most bindings one exchange may supply. */
    public static final int MAX_SUPPLIED = 3000;

    public int iCommand;
    /** Sent as it stands, without byte-order conversion. */
    public int iClusterAddr;
    /** Only the low 16 bits travel. */
    public int iPort;
    /** In: bindings supplied; out: bindings returned. */
    public int iNumAffinities;
    public int[] aiClientAddr = new int[MAX_SUPPLIED];
    public int[] aiServerAddr = new int[MAX_SUPPLIED];

    /** The executor's response, or the library's own error code. */
    public int iResponse;
    /** The executor's clock, low 32 bits of its seconds. */
    public int iTime;
    public int[] aiNumActive = new int[MAX_SUPPLIED];
    public int[] aiAgeOrResponse = new int[MAX_SUPPLIED];

    public CMNAffinity() {
    }
}
