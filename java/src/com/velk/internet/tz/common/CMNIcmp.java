package com.velk.internet.tz.common;

/** The executor's ICMP response record: whether a response arrived, and from which address. */
public class CMNIcmp {
    /** Nonzero when a response has arrived. */
    public int iGotIcmpResp;
    /** Passed through as the executor keeps it, without byte-order conversion. */
    public int iIcmpRespAddr;

    public CMNIcmp() {
    }
}
