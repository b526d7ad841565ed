package com.velk.internet.tz.common;

/**
 * The weights of the servers of one port, as parallel arrays: element i of every array
 * describes the same server. The arrays must hold at least as many elements as the count
 * passed with the request.
 */
public class CMNWeights {
    public String sClusterID;
    /** 0 to 65535. */
    public int iPortNumber;

    public int[] iServerIdKey;
    /** Travels as a signed 16-bit value. */
    public int[] iWeight;
    public byte[] bFixedWeight;
    /** Only the low byte travels. */
    public int[] ucQuiescedDown;
    /** Host order: the first octet in the most significant byte. */
    public int[] iAddress;
    public int[] iTotalConns;
    public int[] iActiveConns;
    /** The executor's result code for each server. */
    public int[] iRC;
    /** Server identifiers handed back by the weights query through {@link #setServerId}. */
    public String[] sServerId;

    public CMNWeights() {
        this(0);
    }

    public CMNWeights(int count) {
        iServerIdKey = new int[count];
        iWeight = new int[count];
        bFixedWeight = new byte[count];
        ucQuiescedDown = new int[count];
        iAddress = new int[count];
        iTotalConns = new int[count];
        iActiveConns = new int[count];
        iRC = new int[count];
        sServerId = new String[count];
    }

    /** Grows {@link #sServerId} (made anew when null) to hold the index. */
    public void setServerId(String serverId, int index) {
        if (sServerId == null) {
            sServerId = new String[index + 1];
        } else if (index >= sServerId.length) {
            sServerId = java.util.Arrays.copyOf(sServerId, index + 1);
        }
        sServerId[index] = serverId;
    }
}
