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
#include <string>

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
       s.call<jint>("allocateConnectionNative", jint{0x0A000001}, jint{2}, jint{0x0A000002},
                    jint{4}, jint{8080}, jint{0x0A000003});
       s.call<jint>("deallocateConnectionNative", jint{0x0A000001}, jint{2}, jint{0x0A000002},
                    jint{4}, jint{8080}, jint{0x0A000003});
     }},
    {"clusters",
     [](Session& s, Host& h) {
       s.call<jint>("addClusterNative", cluster(s, h, "web", "10.0.0.1", 2));
       s.call<jint>("addClusterNative", cluster(s, h, "mail", "10.0.0.2", 3));
       s.call<jint>("addClusterNative", cluster(s, h, "web", "10.0.0.1", 4));
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
       s.call<jint>("addPortNative", port(s, h, "web", 70000, 8));
       s.call<jint>("addPortNative", port(s, h, "nowhere", 80, 9));
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
  Session session(host, library, transcript);
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
