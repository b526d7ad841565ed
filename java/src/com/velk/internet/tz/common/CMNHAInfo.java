package com.velk.internet.tz.common;

/**
 * The high-availability partner information: the state machine's scalars, one entry per
 * heartbeat and one per reach target. Addresses are host-order ints (first octet in the most
 * significant byte). The arrays hold room for the 32 records the executor can report; the
 * counts are the executor's own and may be larger, so read at most 32 records.
 */
public class CMNHAInfo {
    public static final int MAX_RECORDS = 32;

    /** In: the state machine to ask about; out: as the executor answered. */
    public int haFsmAddress;
    public int haFsmMode;
    public int haRole;
    public int haStrategy;
    public int haState;
    public int haSubstate;
    public int haPort;
    public int haPeer;

    public int haHBCount;
    public int[] haLocal_Address = new int[MAX_RECORDS];
    public int[] haRemote_Address = new int[MAX_RECORDS];
    public int[] haStatus = new int[MAX_RECORDS];

    public int haReachCount;
    public int[] haAddress = new int[MAX_RECORDS];
    public int[] haMask = new int[MAX_RECORDS];
    public int[] haType = new int[MAX_RECORDS];
    public int[] haAddress_status = new int[MAX_RECORDS];
    public int[] haRemote_status = new int[MAX_RECORDS];
    public int[] haLTimeStamp = new int[MAX_RECORDS];
    public int[] haRTimeStamp = new int[MAX_RECORDS];

    public CMNHAInfo() {
    }
}
