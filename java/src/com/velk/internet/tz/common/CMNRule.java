package com.velk.internet.tz.common;

/**
 * A named selection rule of a port. Optional settings carry a byte flag with the prefix Set;
 * add and set requests write eleven of the flags back as the executor answered them.
 */
public class CMNRule {
    /** Identifier of the rule's cluster; its ID key addresses the cluster. */
    public String ClusterId;
    /** 0 to 65535. */
    public int PortNumber;
    /** At most 20 characters. */
    public String RuleName;

    /** Sent whatever its flag. */
    public int _iConfigSource;
    public byte SetConfigSource;

    /** 0 to 9; type 1 takes its range from the address texts, the others from the ints. */
    public byte RuleType;
    public byte SetRuleType;

    public int BeginRange;
    public String AddressBeginRange;
    public byte SetBeginRange;

    public int EndRange;
    public String AddressEndRange;
    public byte SetEndRange;

    public int Priority;
    public byte SetPriority;

    public int iShareLevel;
    public byte SetShareLevel;

    /** Eight characters, bit 7 first: "0" bit must be 0, "1" bit must be 1, anything else free. */
    public String ServiceTOS;
    public byte SetServiceTOS;

    /** At most 99 characters. */
    public String Pattern;
    public byte SetPattern;

    public byte bEvaluate;
    public byte SetEvaluate;

    public int WhatAffinity;
    public byte SetWhatAffinity;

    public int StickyTime;
    public byte SetStickyTime;

    /** At most 99 characters. */
    public String CookieName;
    public byte SetCookieName;

    /** At most 39 characters; sent with every add and set. */
    public String sHashID;

    public int NumServers;
    public int iConnectionsPerSecond;
    public int TimesFired;
    public int iUniqueId;
    public int ActiveConnections;
    public int iBytesPerSecond;

    public CMNRule() {
    }

    public CMNRule(String clusterId, int portNumber, String ruleName) {
        ClusterId = clusterId;
        PortNumber = portNumber;
        RuleName = ruleName;
    }
}
