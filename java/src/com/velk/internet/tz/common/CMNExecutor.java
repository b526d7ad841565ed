package com.velk.internet.tz.common;

/**
 * The executor-wide settings. Each setting has a byte flag named after it with the prefix Set;
 * a set request carries a setting's value only when its flag is 1, and a failed set request
 * writes the flags back as the executor answered them. The status query fills the values.
 */
public class CMNExecutor {
    /** Non-forwarding address: dotted decimal or host name. */
    public String NFA;
    public byte SetNonForwardingAddress;

    public int TraceLevel;
    public byte SetTraceLevel;

    public int DefaultClusterMaxPorts;
    public byte SetDefaultClusterMaxPorts;

    public int FINTimeout;
    public byte SetFINTimeout;

    public int HaTimeout;
    public byte SetHaTimeout;

    public int HaSyncTimeout;
    public byte SetHaSyncTimeout;

    public String ClientGateway;
    public byte SetClientGateway;

    /** IPv6 client gateway, 16 bytes in network order. */
    public byte[] v6ClientGateway = new byte[16];
    public byte Setv6ClientGateway;

    public int DefaultPortMaxServers;
    public byte SetDefaultPortMaxServers;

    public int DefaultPortStaleTimeout;
    public byte SetDefaultPortStaleTimeout;

    public int iSharedBytesPerSecond;
    public byte SetSharedBandwidth;

    public int DefaultPortStickyTime;
    public byte SetDefaultPortStickyTime;

    /** Travels as 16 bits. */
    public int DefaultPortAffinityType;
    public byte SetDefaultPortAffinityType;

    /** Travels as a signed 16-bit value. */
    public int DefaultPortWeightBound;
    public byte SetDefaultPortWeightBound;

    /** Travels as 8 bits. */
    public char DefaultPortType;
    public byte SetDefaultPortType;

    /** Travels as 8 bits. */
    public char DefaultPortReplicate;
    public byte SetDefaultPortReplicate;

    public int MaxNumberOfClusters;
    public byte SetMaxNumberOfClusters;

    public int WidePortNumber;
    public byte SetWidePortNumber;

    /** Set together with the non-forwarding address; the library computes the offset itself. */
    public byte SetSecondsWestOfGreenwich;

    /** At most 255 bytes of UTF-8 text. */
    public String ConfigFileName;
    public byte SetConfigFileName;

    /** Read back only. */
    public String sPluginConfigFileName;

    /** Sent with every set request, whatever its flag. */
    public int iCookieExpireInterval;
    public byte SetCookieExpireInterval;

    /** Connection rate for the rate setter. */
    public int iConnectionsPerSecond;

    public CMNExecutor() {
    }
}
