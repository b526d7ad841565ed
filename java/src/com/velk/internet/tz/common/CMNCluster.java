package com.velk.internet.tz.common;

/**
 * A cluster: one load-balanced virtual address with its limits, the defaults for its ports,
 * its four proportions and its counters. Optional settings carry a byte flag with the prefix
 * Set; add and set requests write the flags back as the executor answered them.
 */
public class CMNCluster {
    /** At most 64 characters. */
    public String sClusterId;
    /** ID key of sClusterId; add computes it, set sends it as it stands. */
    public int iClusterIdKey;

    /** Dotted decimal or host name. */
    public String Address;
    public byte SetIPAddress;

    public int MaxNumberOfPorts;
    public byte SetMaxNumberOfPorts;

    public String sPrimaryHost;
    public byte SetPrimaryHost;

    public int DefaultPortMaxServers;
    public byte SetDefaultPortMaxServers;

    public int DefaultPortStickyTime;
    public byte SetDefaultPortStickyTime;

    public int DefaultPortAffinityType;
    public byte SetDefaultPortAffinityType;

    public int DefaultPortWeightBound;
    public byte SetDefaultPortWeightBound;

    public int DefaultPortStaleTimeout;
    public byte SetDefaultPortStaleTimeout;

    public char DefaultPortType;
    public byte SetDefaultPortType;

    public char DefaultPortReplicate;
    public byte SetDefaultPortReplicate;

    public int iActiveConnsProp;
    public int iNewConnsProp;
    public int iPortSpecificProp;
    public int iSystemProp;
    public byte SetClusterProportions;

    public int iSharedBytesPerSecond;
    public byte SetSharedBandwidth;

    /** NAT-PT address, the four bytes in network order. */
    public byte[] natPtAddress = new byte[4];
    public byte SetNatPtAddress;

    public int NumPorts;
    public int iConnectionsPerSecond;

    public int SYNonActive;
    public int SYNonFINNed;
    public int FINs_Dropped;
    public int ACKs_Dropped;
    public int RSTs_Dropped;
    public int PKTs_Dropped;
    public int PKTnonExisting;
    public int QuiescNew;
    public int iBytesPerSecond;

    public CMNCluster() {
    }

    public CMNCluster(String clusterId) {
        sClusterId = clusterId;
    }
}
