package com.velk.internet.tz.common;

/**
 * The administration server's gateway to the executor.
 *
 * <p>Every method is implemented by the native library {@code cmnexecutor}: it turns the call
 * into one request for the executor (or none, for the probes) and hands the answer back as a
 * result code, as fields written into the objects passed in, as callbacks on them, or as a
 * string. All methods share one request block inside the library, which therefore serves one
 * native call at a time: concurrent callers wait their turn. A method called from inside a
 * callback of another native call on the same thread (a listener calling back into the library)
 * is refused at once: int methods return -97, String methods null.
 *
 * <p>Results follow one convention: 0 is success, negative values are the method's own failure
 * codes, and methods that pass the executor's send result through may also give -1, a positive
 * operating-system error code, or 1 while the server modality flag is set.
 */
public class CMNExecutorInterface {

    static {
        System.loadLibrary("cmnexecutor");
    }

    public CMNExecutorInterface() {
    }

    // ---- request channel -------------------------------------------------------------------

    /** 1 when the executor device is open or can be opened now, else 0. */
    public native int isLoadedNative();

    /** While set, no request reaches the executor and every request gives 1. */
    public native void setQVAServerModalityNative(boolean serverModality);

    // ---- identifier keys -------------------------------------------------------------------

    /** The ID key of an identifier: its address when it is a numeric IPv4 address, else a hash. */
    public native int calcClusterIdKeyNative(String identifier, String unused);

    public native void setKeyIsIpAddrNative(int keyIsIpAddr);

    // ---- executor lifecycle ----------------------------------------------------------------

    /** Drops the library's device connection and stops the executor service: "EOK" or "FAILURE". */
    public native String stopExecutorNative();

    public native String updateKernelNative();

    public native String ScriptPrefixNative();

    public native int solarisUpNative();

    public native int linuxUpNative();

    public native int HPUpNative();

    public native int loadUserExecutorNative();

    // ---- executor settings, status and report ----------------------------------------------

    public native int setExecutorStatusNative(CMNExecutor executor);

    public native int setExecutorCPSNative(CMNExecutor executor);

    public native int getExecutorStatusNative(CMNExecutor executor);

    public native int getExecutorReportNative(CMNExecutorReport report);

    // ---- executor log and connection entries -----------------------------------------------

    public native String xloglevelNative(int level);

    public native String xlogfilterNative(int filter);

    public native String xlogheadNative(int size, int second);

    public native String xlogtailNative(int size);

    public native String xlogclearNative();

    /** Addresses are host-order ints (first octet in the most significant byte). */
    public native int allocateConnectionNative(int address1, int value, int address2, int value2,
                                               int port, int address3);

    public native int deallocateConnectionNative(int address1, int value, int address2, int value2,
                                                 int port, int address3);

    // ---- clusters --------------------------------------------------------------------------

    public native int addClusterNative(CMNCluster cluster);

    public native int removeClusterNative(CMNCluster cluster);

    public native int setClusterStatusNative(CMNCluster cluster);

    public native int getClusterStatusNative(CMNCluster cluster);

    public native int getClusterReportNative(CMNCluster cluster);

    public native int setClusterCPSNative(CMNCluster cluster);

    /** Appends "+id" for every cluster, without separators. */
    public native int getClustersListNative(StringBuffer list);

    // ---- cluster addresses on host interfaces ----------------------------------------------

    public native int configureAddressNative(CMNAddress address);

    public native int unconfigureAddressNative(CMNAddress address);

    public native int clusterConfigureStatusNative(CMNAddress address);

    public native int getAddressConfigureInfoNative(CMNAddress address);

    // ---- ports -----------------------------------------------------------------------------

    public native int addPortNative(CMNPort port);

    public native int removePortNative(CMNPort port);

    public native int setPortStatusNative(CMNPort port);

    public native int getPortStatusNative(CMNPort port);

    public native int getPortReportNative(CMNPort port);

    public native int setPortCPSNative(CMNPort port);

    /** Appends "+port" for every port of the cluster, without separators. */
    public native int getPortsListNative(String clusterId, StringBuffer list);

    // ---- servers ---------------------------------------------------------------------------

    public native int addServerNative(CMNServer server);

    public native int removeServerNative(CMNServer server);

    public native int setServerStatusNative(CMNServer server);

    public native int setServerUpNative(CMNServer server);

    public native int setServerDownNative(CMNServer server);

    public native int getServerStatusNative(CMNServer server);

    public native int getServerReportNative(CMNServer server);

    /** Appends "+id" for every server of the port and stores the servers' ID keys in keys. */
    public native int getServersListNative(String clusterId, int port, StringBuffer list, int[] keys);

    public native int setServerCPSNative(CMNServer server);

    /** Host methods: accepted for any object and answered with 0; the executor has no host record. */
    public native int setHostDownNative(Object host);

    public native int setHostUpNative(Object host);

    public native int removeHostNative(Object host);

    /** 0 when one more cluster still fits a list answer, else -1; likewise for ports and servers. */
    public native int checkMaxClustersNative(int count);

    public native int checkMaxPortsNative(int count);

    public native int checkMaxServersNative(int count);

    // ---- server weights --------------------------------------------------------------------

    public native int getServerWeightsNative(CMNWeights weights, int count);

    public native int setServerWeightsNative(CMNWeights weights, int count);

    // ---- rules -----------------------------------------------------------------------------

    public native int addRuleNative(CMNRule rule);

    public native int removeRuleNative(CMNRule rule);

    public native int setRuleStatusNative(CMNRule rule);

    public native int getRuleStatusNative(CMNRule rule);

    public native int addServertoRuleNative(CMNRule rule, CMNServer server, int argument);

    public native int removeServerfromRuleNative(CMNRule rule, CMNServer server, int argument);

    public native int getRuleReportNative(CMNRule rule);

    public native int setRuleCPSNative(CMNRule rule);

    /** Appends "+name" for every rule of the port, without separators. */
    public native int getRulesListNative(String clusterId, int port, StringBuffer list);

    /** Appends "+id" for every server bound to the rule, without separators. */
    public native int getRuleServersListNative(CMNRule rule, StringBuffer list);

    // ---- high availability -----------------------------------------------------------------

    public native int getHAInfoNative(CMNHAInfo info);

    /** The port travels as decimal text; anything but digits, or a port outside 1-65535, gives -10. */
    public native int backupAddNative(int value1, int value2, String port);

    public native int backupDelNative();

    public native int addReachNative(String address1, String address2, int value);

    public native int delReachNative(String address);

    public native int chgReachNative(int value1, int value2, int value3);

    public native int addHBNative(String localAddress, String remoteAddress);

    public native int delHBNative(String address);

    /** Seven decimal texts; any character other than a digit gives -6. */
    public native int setTimersNative(String timer1, String timer2, String timer3, String timer4,
                                      String timer5, String timer6, String timer7);

    public native int takeoverNative(String address);

    // ---- affinity --------------------------------------------------------------------------

    public native int serverDirectedAffinityNative(CMNAffinity affinity);

    /** Debugging report of a port's affinity records; the cluster address is a host-order int. */
    public native String getAffinityInfoNative(int clusterAddress, int port, int listFlag);

    // ---- connection and attack reports -----------------------------------------------------

    /** Debugging report of connection records; addresses are host-order ints. */
    public native String getConnectionInfoNative(int address1, int port1, int address2, int port2,
                                                 int address3, int port3, int listFlag);

    public native int getHalfOpenInfoNative(CMNHalfOpenListener listener);

    public native int getAttackingAddrsNative(CMNAttackListener listener, int address, int port);

    /** Only the low 16 bits of each value reach the executor. */
    public native int xDOSAttackNative(int value1, int value2, int value3, int value4,
                                       int value5, int value6, int value7, int value8);

    // ---- interface discovery ---------------------------------------------------------------

    /** Rebuilds the library's interface table and returns the number of interfaces in it. */
    public native int setInterfacesNative(int unused);

    /** The address, in the table's form, of the first interface whose subnet holds address. */
    public native int getNicAddrNative(int address, int unused);

    /** Selector 0: a fresh table from the host's settings; otherwise the library's own table. */
    public native int getInterfaceListNative(int selector, CMNInterfaceList list);

    // ---- miscellaneous dump ----------------------------------------------------------------

    public native String xmiscNative(int subCommand, int argument1, int argument2, int argument3);

    // ---- ICMP probe ------------------------------------------------------------------------

    public native int getIcmpInfoNative(CMNIcmp icmp);

    public native int setIcmpInfoNative(CMNIcmp icmp);
}
