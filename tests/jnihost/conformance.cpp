// The conformance scenario: every implemented entry point, called with objects whose fields
// all carry values of their own, against the simulated executor's model and its scripts.
// Each later entry point adds its steps to kSteps.
//
//   jnihost-scenario LIBRARY TRANSCRIPT
//
// writes the transcript to the file TRANSCRIPT (the commands the library runs share standard
// output); exit status 0 when the scenario ran with no JNI
// check failing and every entry point present, 1 otherwise, 2 when the executor can't be used.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "java_methods.h"
#include "scenario.h"

using jnihost::Host;
using jnihost::Object;
using jnihost::Session;
using jnihost::simMust;

namespace {

struct Step {
  const char* title;
  void (*run)(Session& s, Host& h);
};

Object* cluster(Session& s, Host& h, const char* id, const char* address, int seed) {
  Object* c = h.newObject("CMNCluster");
  s.fill(c, seed);
  h.setString(c, "sClusterId", id);
  h.setString(c, "Address", address);
  h.setString(c, "sPrimaryHost", "localhost");
  h.setInt(c, "MaxNumberOfPorts", 8);
  return c;
}

Object* port(Session& s, Host& h, const char* clusterId, int number, int seed) {
  Object* p = h.newObject("CMNPort");
  s.fill(p, seed);
  h.setString(p, "ClusterId", clusterId);
  h.setInt(p, "PortNumber", number);
  return p;
}

// A server of port web:80 with every setting flagged and the given listeners.
Object* server(Session& s, Host& h, const char* id, int seed, int listeners) {
  Object* v = h.newObject("CMNServer");
  s.fill(v, seed);
  h.setString(v, "sServerID", id);
  h.setString(v, "ClusterId", "web");
  h.setInt(v, "Port", 80);
  h.setInt(v, "_iWeight", 5);
  h.setInt(v, "_iNumListeners", 0);
  h.setInt(v, "_iConnectTimeout", 30 + seed);
  h.setInt(v, "_iWaitForComplete", seed);
  for (int i = 0; i < listeners; ++i) {
    // Address 10.0.<seed>.<i + 1>, a mapped port, TCP, and the secured listener's files.
    const std::string ring = "ring" + std::to_string(i);
    jnihost::addListener(h, v,
                         jnihost::newListener(h, 0x0A000001 + seed * 256 + i, 8080 + seed + i, 6,
                                              ring.c_str(), i == 0 ? nullptr : "stash"));
  }
  return v;
}

// A server object that names an existing one (by identifier, key and port) and nothing else.
Object* serverNamed(Host& h, Object* of) {
  Object* v = h.newObject("CMNServer");
  h.setObject(v, "sServerID", h.getObject(of, "sServerID"));
  h.setInt(v, "iServerIdKey", h.getInt(of, "iServerIdKey"));
  h.setString(v, "ClusterId", "web");
  h.setInt(v, "Port", 80);
  return v;
}

Object* rule(Session& s, Host& h, const char* name, int seed, int type) {
  Object* r = h.newObject("CMNRule");
  s.fill(r, seed);
  h.setString(r, "ClusterId", "web");
  h.setInt(r, "PortNumber", 80);
  h.setString(r, "RuleName", name);
  h.setInt(r, "RuleType", type);
  h.setString(r, "ServiceTOS", "01x10xx1");
  return r;
}

Object* address(Host& h, const char* text, int provided, const char* interface,
                const char* netmask) {
  Object* a = h.newObject("CMNAddress");
  h.setString(a, "Address", text);
  h.setInt(a, "ConfigInfoProvided", provided);
  h.setString(a, "InterfaceName", interface);
  h.setString(a, "NetMask", netmask);
  return a;
}

// A weights object whose arrays hold `length` elements, as its constructor makes them.
Object* weights(Host& h, int length) {
  Object* w = h.newObject("CMNWeights");
  h.setString(w, "sClusterID", "web");
  h.setInt(w, "iPortNumber", 80);
  for (const char* f : {"iServerIdKey", "iWeight", "ucQuiescedDown", "iAddress", "iTotalConns",
                        "iActiveConns", "iRC"}) {
    h.setObject(w, f, h.newIntArray(length));
  }
  h.setObject(w, "bFixedWeight", h.newByteArray(length));
  h.setObject(w, "sServerId", h.newObjectArray("java/lang/String", length));
  return w;
}

// The servers the server steps add and later steps bind, weigh and remove.
Object* g_first = nullptr;
Object* g_second = nullptr;

Object* buffer(Host& h) {
  return h.newObject("java/lang/StringBuffer");
}

const Step kSteps[] = {
    {"library and channel",
     [](Session& s, Host& h) {
       s.call<jint>("isLoadedNative");
       s.call<void>("setQVAServerModalityNative", false);
       s.call<jint>("calcClusterIdKeyNative", h.newString("web.cluster"), h.newString("x"));
       s.call<void>("setKeyIsIpAddrNative", jint{0});
       s.call<jint>("calcClusterIdKeyNative", h.newString("caf\xc3\xa9"),
                    static_cast<Object*>(nullptr));
       s.call<jstring>("updateKernelNative");
       s.call<jstring>("ScriptPrefixNative");
       s.call<jint>("solarisUpNative");
       s.call<jint>("linuxUpNative");
       s.call<jint>("HPUpNative");
       s.call<jint>("loadUserExecutorNative");
     }},
    {"executor settings and report",
     [](Session& s, Host& h) {
       Object* e = h.newObject("CMNExecutor");
       s.fill(e, 1);
       h.setString(e, "NFA", "192.168.7.9");
       h.setString(e, "ClientGateway", "localhost");
       h.setInt(e, "MaxNumberOfClusters", 100);
       s.call<jint>("setExecutorStatusNative", e);
       s.call<jint>("setExecutorCPSNative", e);
       Object* read = h.newObject("CMNExecutor");
       s.call<jint>("getExecutorStatusNative", read);
       s.call<jint>("getExecutorReportNative", h.newObject("CMNExecutorReport"));
       simMust("SCRIPT NEXT RESULT -1 REASON -3");
       s.call<jint>("getExecutorStatusNative", h.newObject("CMNExecutor"));
     }},
    {"logging",
     [](Session& s, Host&) {
       s.call<jstring>("xloglevelNative", jint{3});
       s.call<jstring>("xlogfilterNative", jint{0x0F0F});
       s.call<jstring>("xlogheadNative", jint{120}, jint{0});
       s.call<jstring>("xlogtailNative", jint{90});
       s.call<jstring>("xlogclearNative");
     }},
    {"connections",
     [](Session& s, Host&) {
       s.call<jint>("allocateConnectionNative", jint{0x0A000001}, jint{2}, jint{0x0A000002},
                    jint{4}, jint{8080}, jint{0x0A000003});
       s.call<jint>("deallocateConnectionNative", jint{0x0A000001}, jint{2}, jint{0x0A000002},
                    jint{4}, jint{8080}, jint{0x0A000003});
     }},
    {"clusters",
     [](Session& s, Host& h) {
       s.call<jint>("addClusterNative", cluster(s, h, "web", "10.0.0.1", 2));
       s.call<jint>("addClusterNative", cluster(s, h, "mail", "10.0.0.2", 3));
       s.call<jint>("setClusterStatusNative", cluster(s, h, "web", "10.0.0.9", 5));
       s.call<jint>("getClusterStatusNative", h.newObject("CMNCluster"));
       Object* read = h.newObject("CMNCluster");
       h.setString(read, "sClusterId", "web");
       s.call<jint>("getClusterStatusNative", read);
       s.call<jint>("setClusterCPSNative", read);
       s.call<jint>("getClusterReportNative", read);
       s.call<jint>("getClustersListNative", h.newObject("java/lang/StringBuffer"));
     }},
    {"ports",
     [](Session& s, Host& h) {
       s.call<jint>("addPortNative", port(s, h, "web", 80, 6));
       s.call<jint>("addPortNative", port(s, h, "web", 443, 7));
       s.call<jint>("setPortStatusNative", port(s, h, "web", 80, 10));
       Object* read = h.newObject("CMNPort");
       h.setString(read, "ClusterId", "web");
       h.setInt(read, "PortNumber", 443);
       s.call<jint>("getPortStatusNative", read);
       s.call<jint>("setPortCPSNative", read);
       s.call<jint>("getPortReportNative", read);
       s.call<jint>("getPortsListNative", h.newString("web"),
                    h.newObject("java/lang/StringBuffer"));
       // A refusal whose reason the port mapping knows (the busy retry's pauses are timed by
       // the Windows checks, where Sleep can be replaced).
       simMust("SCRIPT NEXT RESULT -1 REASON -4");
       s.call<jint>("setPortStatusNative", read);
       s.call<jint>("removePortNative", port(s, h, "web", 443, 11));
       s.call<jint>("removeClusterNative", cluster(s, h, "mail", "10.0.0.2", 12));
       s.call<jint>("getClustersListNative", h.newObject("java/lang/StringBuffer"));
     }},
    {"interface discovery",
     [](Session& s, Host& h) {
       // The executor's interface names of the registry's cards (registry-cards.txt).
       for (const char* line : {"IFNAME svcA eth0", "IFNAME svcB eth1", "IFNAME svcC eth2",
                                "IFNAME svcE eth4", "IFNAME svcG eth9"}) {
         simMust(line);
       }
       s.call<jint>("setInterfacesNative", jint{0});
       // Addresses as the table holds them: the first octet in the lowest byte.
       s.call<jint>("getNicAddrNative", jint{0x0902010A}, jint{0});
       s.call<jint>("getNicAddrNative", jint{0x4407A8C0}, jint{0});
       s.call<jint>("getNicAddrNative", jint{0x0100000B}, jint{0});
       s.call<jint>("getInterfaceListNative", jint{1}, h.newObject("CMNInterfaceList"));
       s.call<jint>("getInterfaceListNative", jint{0}, h.newObject("CMNInterfaceList"));
     }},
    {"cluster addresses",
     [](Session& s, Host& h) {
       Object* a = address(h, "10.1.2.3", 0, nullptr, nullptr);
       s.call<jint>("clusterConfigureStatusNative", a);
       s.call<jint>("configureAddressNative", a);
       s.call<jint>("configureAddressNative", a);  // the tool refuses it: listed already
       s.call<jint>("clusterConfigureStatusNative", a);
       s.call<jint>("getAddressConfigureInfoNative", a);
       s.call<jint>("configureAddressNative", address(h, "192.168.7.9", 2, "eth5", "255.0.0.0"));
       s.call<jint>("configureAddressNative", address(h, "172.16.0.1", 1, "eth7", "255.255.0.0"));
       s.call<jint>("configureAddressNative", address(h, "10.1.9.9", 1, "eth0;x", "255.0.0.0"));
       s.call<jint>("configureAddressNative", address(h, "172.20.0.9", 0, nullptr, nullptr));
       s.call<jint>("getAddressConfigureInfoNative", address(h, "10.3.3.3", 0, nullptr, nullptr));
       s.call<jint>("unconfigureAddressNative", a);
       s.call<jint>("unconfigureAddressNative", a);
       s.call<jint>("unconfigureAddressNative", address(h, "172.16.0.1", 1, "eth7", nullptr));
     }},
    {"servers",
     [](Session& s, Host& h) {
       // Room for servers on web:80, whose settings the port steps left at test patterns.
       Object* room = h.newObject("CMNPort");
       h.setString(room, "ClusterId", "web");
       h.setInt(room, "PortNumber", 80);
       h.setInt(room, "WeightBound", 20);
       h.setInt(room, "SetWeightBound", 1);
       h.setInt(room, "MaxNumberOfServers", 8);
       h.setInt(room, "SetMaxNumberOfServers", 1);
       s.call<jint>("setPortStatusNative", room);
       g_first = server(s, h, "first", 20, 2);
       s.call<jint>("addServerNative", g_first);
       g_second = server(s, h, "10.0.0.7", 21, 1);
       h.setInt(g_second, "SetRouterAddress", 0);
       h.setInt(g_second, "SetCookieValue", 0);
       s.call<jint>("addServerNative", g_second);
       s.call<jint>("addServerNative", server(s, h, "first", 22, 0));  // the key exists
       s.call<jint>("addServerNative", server(s, h, "third", 23, 3));  // three listeners
       Object* change = server(s, h, "first", 24, 1);
       h.setInt(change, "iServerIdKey", h.getInt(g_first, "iServerIdKey"));
       h.setInt(change, "_iWeight", 9);
       h.setInt(change, "SetListeners", 0);
       s.call<jint>("setServerStatusNative", change);
       // Read back into a server holding one listener: the library makes room for the other.
       Object* read = serverNamed(h, g_first);
       jnihost::addListener(h, read, h.newObject("CMNListener"));
       s.call<jint>("getServerStatusNative", read);
       s.call<jint>("getServerStatusNative", serverNamed(h, g_second));
       s.call<jint>("setServerDownNative", serverNamed(h, g_second));
       s.call<jint>("setServerUpNative", serverNamed(h, g_first));
       Object* rated = serverNamed(h, g_second);
       h.setInt(rated, "_iCPSCount", 7);
       s.call<jint>("setServerCPSNative", rated);
       s.call<jint>("getServerReportNative", rated);
       // A key with its top bit set is refused by the rate setter before anything is sent.
       Object* topBit = serverNamed(h, g_first);
       h.setInt(topBit, "_iCPSCount", 7);
       s.call<jint>("setServerCPSNative", topBit);
       s.call<jint>("getServersListNative", h.newString("web"), jint{80}, buffer(h),
                    h.newIntArray(4));
       s.call<jint>("checkMaxClustersNative", jint{887});
       s.call<jint>("checkMaxPortsNative", jint{7995});
       s.call<jint>("checkMaxServersNative", jint{725});
       s.call<jint>("setHostDownNative", h.newObject("CMNServer"));
       s.call<jint>("setHostUpNative", h.newString("host"));
       s.call<jint>("removeHostNative", static_cast<Object*>(nullptr));
     }},
    {"server weights",
     [](Session& s, Host& h) {
       s.call<jint>("getServerWeightsNative", weights(h, 3), jint{3});
       Object* w = weights(h, 2);
       Object* keys = h.getObject(w, "iServerIdKey");
       keys->ints = {static_cast<std::int32_t>(h.getInt(g_first, "iServerIdKey")),
                     static_cast<std::int32_t>(h.getInt(g_second, "iServerIdKey"))};
       h.getObject(w, "iWeight")->ints = {3, 50};  // the second above the port's bound
       h.getObject(w, "bFixedWeight")->bytes = {1, 0};
       h.getObject(w, "ucQuiescedDown")->ints = {0x101, 1};
       s.call<jint>("setServerWeightsNative", w, jint{2});
       s.call<jint>("getServerWeightsNative", weights(h, 2), jint{3});  // arrays too short
       // "setServerId" throws on a null array: the library stops and leaves it for Java.
       Object* noIds = weights(h, 1);
       h.setObject(noIds, "sServerId", nullptr);
       s.call<jint>("getServerWeightsNative", noIds, jint{1});
       Object* fewIds = weights(h, 2);  // an identifier array that setServerId must grow
       h.setObject(fewIds, "sServerId", h.newObjectArray("java/lang/String", 1));
       s.call<jint>("getServerWeightsNative", fewIds, jint{2});
     }},
    {"rules and bindings",
     [](Session& s, Host& h) {
       Object* r1 = rule(s, h, "byAddress", 30, 1);
       h.setString(r1, "AddressBeginRange", "10.0.0.1");
       h.setString(r1, "AddressEndRange", "10.0.0.200");
       s.call<jint>("addRuleNative", r1);
       Object* r2 = rule(s, h, "byTos", 31, 7);
       s.call<jint>("addRuleNative", r2);
       s.call<jint>("addRuleNative", rule(s, h, "byTos", 32, 7));  // the name is taken
       Object* change = rule(s, h, "byTos", 34, 0);
       h.setInt(change, "SetRuleType", 0);  // read from the executor, then changed
       h.setInt(change, "SetPriority", 0);
       s.call<jint>("setRuleStatusNative", change);
       Object* read = h.newObject("CMNRule");
       h.setString(read, "ClusterId", "web");
       h.setInt(read, "PortNumber", 80);
       h.setString(read, "RuleName", "byTos");
       s.call<jint>("getRuleStatusNative", read);
       s.call<jint>("addServertoRuleNative", r1, serverNamed(h, g_first), jint{5});
       s.call<jint>("addServertoRuleNative", r1, serverNamed(h, g_second), jint{-6});
       h.setInt(r1, "NumServers", 4);
       s.call<jint>("getRuleServersListNative", r1, buffer(h));
       s.call<jint>("removeServerfromRuleNative", r1, serverNamed(h, g_second), jint{0});
       h.setInt(r1, "iConnectionsPerSecond", 12);
       s.call<jint>("setRuleCPSNative", r1);
       s.call<jint>("getRuleReportNative", r1);
       s.call<jint>("getRulesListNative", h.newString("web"), jint{80}, buffer(h));
       s.call<jint>("removeRuleNative", r2);
       s.call<jint>("removeServerNative", serverNamed(h, g_second));
       s.call<jint>("getRuleServersListNative", r1, buffer(h));
     }},
    {"high availability",
     [](Session& s, Host& h) {
       s.call<jint>("getHAInfoNative", h.newObject("CMNHAInfo"));
       s.call<jint>("backupAddNative", jint{1}, jint{2}, h.newString("8080"));
       s.call<jint>("backupAddNative", jint{1}, jint{2}, h.newString("0"));
       s.call<jint>("addReachNative", h.newString("10.1.0.1"), h.newString("255.255.0.0"), jint{3});
       s.call<jint>("addReachNative", h.newString("192.168.7.1"), h.newString("255.255.255.0"),
                    jint{1});
       s.call<jint>("chgReachNative", jint{0x0A010001}, jint{2}, jint{1});
       // The local address is made an alias of the interface whose network holds it first.
       s.call<jint>("addHBNative", h.newString("10.1.0.9"), h.newString("10.1.0.10"));
       s.call<jint>("addHBNative", h.newString("10.1.0.9"), h.newString("10.1.0.11"));
       s.call<jint>("addHBNative", h.newString("172.31.0.1"), h.newString("10.1.0.12"));
       Object* info = h.newObject("CMNHAInfo");
       h.setInt(info, "haFsmAddress", 0x0A010005);
       s.call<jint>("getHAInfoNative", info);
       s.call<jint>("delHBNative", h.newString("10.1.0.11"));
       s.call<jint>("setTimersNative", h.newString("1"), h.newString("2"), h.newString("3"),
                    h.newString("4"), h.newString("5"), h.newString("6"), h.newString("7"));
       s.call<jint>("takeoverNative", h.newString("10.1.0.10"));
       s.call<jint>("delReachNative", h.newString("192.168.7.1"));
       s.call<jint>("backupDelNative");
       s.call<jint>("getHAInfoNative", h.newObject("CMNHAInfo"));
     }},
    {"diagnostics",
     [](Session& s, Host& h) {
       // Records seeded as traffic would leave them, with the executor's clock pinned so that
       // ages read the same on every host.
       for (const char* line :
            {"DIAG CLOCK 1767225600",
             "DIAG CONNECTION 172.16.4.1 40112 10.1.2.3 80 10.1.0.11 1767225590 0x1b 3 4 65",
             "DIAG CONNECTION 172.16.4.2 40113 10.1.2.3 80 10.1.0.12 1767225555 0x02 4 99 0",
             "DIAG NPS 2", "DIAG HALFOPEN 203.0.113.7 51000 1", "DIAG HALFOPEN 203.0.113.8 7 0",
             "DIAG ATTACKER 10.1.2.3 80 203.0.113.7 120", "DIAG AFFPORT 10.1.2.3 80 255 1",
             "DIAG RAT 10.1.0.11 3 10.1.0.5 2", "DIAG CRLL 10.1.2.3 80 main 4 1 0 60",
             "DIAG ICMP 1 10.1.0.11"}) {
         simMust(line);
       }
       Object* bind = h.newObject("CMNAffinity");
       h.setInt(bind, "iCommand", 1);
       h.setInt(bind, "iClusterAddr", 0x0302010A);  // 10.1.2.3 as it lies in memory
       h.setInt(bind, "iPort", 80);
       h.setInt(bind, "iNumAffinities", 2);
       Object* clients = h.getObject(bind, "aiClientAddr");
       Object* servers = h.getObject(bind, "aiServerAddr");
       clients->ints[0] = 0x010410AC;
       clients->ints[1] = 0x020410AC;
       servers->ints[0] = 0x0B00010A;
       servers->ints[1] = 0x0C00010A;
       s.call<jint>("serverDirectedAffinityNative", bind);
       h.setInt(bind, "iNumAffinities", 2001);
       s.call<jint>("serverDirectedAffinityNative", bind);
       for (jint flag : {0, 1}) {
         s.call<jstring>("getAffinityInfoNative", jint{0x0A010203}, jint{80}, flag);
       }
       s.call<jstring>("getConnectionInfoNative", jint{0}, jint{0}, jint{0}, jint{0}, jint{0},
                       jint{0}, jint{1});
       s.call<jstring>("getConnectionInfoNative", jint{0x0A010203}, jint{80}, jint{0}, jint{0},
                       jint{0}, jint{0x8050}, jint{0});
       s.call<jint>("getHalfOpenInfoNative", h.newObject("CMNHalfOpenListener"));
       s.call<jint>("getAttackingAddrsNative", h.newObject("CMNAttackListener"),
                    jint{0x0A010203}, jint{80});
       s.call<jint>("xDOSAttackNative", jint{1}, jint{500}, jint{0x10000 + 60}, jint{10},
                    jint{-1}, jint{0}, jint{0}, jint{0});
       for (jint sub : {99, 98, 1, 8, 10, 11, 12, 30, 43, -5}) {
         s.call<jstring>("xmiscNative", sub, jint{0}, jint{0}, jint{0});
       }
       Object* icmp = h.newObject("CMNIcmp");
       s.call<jint>("getIcmpInfoNative", icmp);
       h.setInt(icmp, "iIcmpRespAddr", 0x0C00010A);
       s.call<jint>("setIcmpInfoNative", icmp);
       s.call<jint>("getIcmpInfoNative", h.newObject("CMNIcmp"));
     }},
    {"device errors and refused arguments",
     [](Session& s, Host& h) {
       simMust("SCRIPT NEXT ERROR 31");
       s.call<jint>("getExecutorStatusNative", h.newObject("CMNExecutor"));
       simMust("SCRIPT NEXT N 8");
       s.call<jint>("getClusterStatusNative", cluster(s, h, "web", "10.0.0.1", 13));
       // Answers of no bytes and of more bytes than were sent: only the bytes returned count.
       simMust("SCRIPT NEXT N 0");
       s.call<jint>("getExecutorStatusNative", h.newObject("CMNExecutor"));
       simMust("SCRIPT NEXT MODEL PUT 690 0102030405060708090a N 700");
       s.call<jint>("getExecutorStatusNative", h.newObject("CMNExecutor"));
       simMust("SCRIPT NEXT PUT 64000 ffeeddccbbaa99887766554433221100 N 64016");
       s.call<jint>("getClusterReportNative", cluster(s, h, "web", "10.0.0.1", 14));
       simMust("SCRIPT NEXT RESULT -1 REASON -5");
       s.call<jint>("getPortReportNative", port(s, h, "web", 80, 15));
       s.call<jint>("addClusterNative", static_cast<Object*>(nullptr));
       s.call<jint>("addPortNative", static_cast<Object*>(nullptr));
     }},
    {"executor stop",
     [](Session& s, Host&) {
       s.followRecord(false);
       s.followTools(false);
       s.call<jstring>("stopExecutorNative");
       s.call<jint>("isLoadedNative");
     }},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s LIBRARY TRANSCRIPT\n", argv[0]);
    return 2;
  }
  if (!jnihost::startExecutor(20)) {
    std::fprintf(stderr, "the simulated executor does not answer\n");
    return 2;
  }
  simMust("RESET");
  // The start time is the executor's own clock, and it stays behind in the request block for
  // later requests; a fixed one keeps transcripts comparable.
  simMust("SCRIPT CMD 3 MODEL PUT 120 f1debc9a78563412");
  jnihost::NativeLibrary library;
  if (!library.open(argv[1])) {
    std::fprintf(stderr, "can't load %s: %s\n", argv[1], library.error().c_str());
    return 2;
  }
  std::FILE* transcript = std::fopen(argv[2], "wb");
  if (transcript == nullptr) {
    std::fprintf(stderr, "can't write %s\n", argv[2]);
    return 2;
  }
  Host host;
  jnihost::addJavaMethods(host);
  Session session(host, library, transcript);
  if (const char* log = std::getenv("VELKLB_TOOL_LOG"); log != nullptr && *log != '\0') {
    session.followToolLog(log);
  }
  for (const Step& step : kSteps) {
    session.note(step.title);
    step.run(session, host);
  }
  std::fclose(transcript);
  const std::size_t failures = host.violations().size();
  if (failures != 0) std::fprintf(stderr, "%zu JNI check(s) failed\n", failures);
  if (session.missingEntryPoints() != 0) std::fprintf(stderr, "entry points missing\n");
  return failures == 0 && session.missingEntryPoints() == 0 ? 0 : 1;
}
