package com.velk.internet.tz.common;

/** The executor's report: version, start time, packet counters, clusters and current rates. */
public class CMNExecutorReport {
    public String NFA;
    public String Version;
    public int iTimeStarted;

    public long Pcktotal;
    public long Pcktoshort;
    public long Pcknonforw;
    public long PckVECdiscard;
    public long PckVECerror;
    public long PckVEClocal;
    public long PckVECownaddr;
    public long PckVECforward;
    public long Pckforwarderr;
    public long PcknotVEC;
    public long PckVECbroadcast;

    public int InconnHashBkts;
    public int NumClusters;
    public int iBytesPerSecond;
    public int iConnectionsPerSecond;

    public CMNExecutorReport() {
    }
}
