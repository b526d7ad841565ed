package com.velk.internet.tz.common;

/**
 * A port of a cluster: its limits, timeouts, sticky settings, method and protocol, and its
 * counters. Optional settings carry a byte flag with the prefix Set; add and set requests write
 * the flags back as the executor answered them.
 */
public class CMNPort {
    /** Identifier of the port's cluster; its ID key addresses the cluster. */
    public String ClusterId;
    /** Read by remove only. */
    public String ClusterAddress;
    /** 0 to 65535. */
    public int PortNumber;

    public int MaxNumberOfServers;
    public byte SetMaxNumberOfServers;

    public int StaleTimeout;
    public byte SetStaleTimeout;

    public int StickyTime;
    public byte SetStickyTime;

    public int iStickyBits;
    public byte SetStickyBits;

    public int WeightBound;
    public byte SetWeightBound;

    public char Type;
    public byte SetType;

    public int iMethod;
    public byte SetMethod;

    public int iPortProtocol;
    public byte SetPortProtocol;

    public int Replicate;
    public byte SetReplicate;

    public int iMaxHalfOpen;
    public byte SetMaxHalfOpen;

    /** A port number. */
    public int iCrossPort;
    public byte SetCrossPort;

    public byte SendReset;
    public byte SetSendReset;

    public int NumServers;
    public int iConnectionsPerSecond;

    public int NumNodesDown;
    public int NumNodesLocal;
    public int MaxWeight;
    public int ActiveConnections;
    public int iNumHalfOpen;
    public int iBytesPerSecond;
    public int iResetsSent;

    public CMNPort() {
    }

    public CMNPort(String clusterId, int portNumber) {
        ClusterId = clusterId;
        PortNumber = portNumber;
    }
}
