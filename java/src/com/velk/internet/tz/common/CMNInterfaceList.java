package com.velk.internet.tz.common;

/**
 * The host's IPv4 interfaces as parallel arrays: element i of every array describes the same
 * interface. Addresses and masks are host-order ints (first octet in the most significant byte).
 */
public class CMNInterfaceList {
    /** Room of the library's interface table. */
    public static final int MAX_INTERFACES = 100;

    public int iNumInterfaces;
    public int[] aiIp = new int[MAX_INTERFACES];
    public int[] aiNetmask = new int[MAX_INTERFACES];
    public int[] aiNetnumber = new int[MAX_INTERFACES];
    public int[] aiBroadcast = new int[MAX_INTERFACES];

    public CMNInterfaceList() {
    }
}
