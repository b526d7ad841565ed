// Instructions per call of the library's own code, a figure that does not depend on the
// machine's noise. Runs the bench's cases through the library under the in-process JNI host,
// against the simulated executor, and marks each case's calls for callgrind:
//
//   valgrind --tool=callgrind --collect-atstart=no ... cmn-instructions LIBRARY OUT [CALLS]
//
// Each case is set up, called twice (so that lazy binding and first-touch costs stay out), then
// called CALLS times between a zeroing and a dump of callgrind's counts, the dump named by the
// case's label. OUT receives one line per case: label, calls, JNI lookups per call (classes,
// fields and methods looked up, counted by wrapping the host's function table).
// count-instructions.sh then takes the library's share out of each dump.

#include <valgrind/callgrind.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "jnihost.h"
#include "native_library.h"
#include "sim_link.h"

using jnihost::Host;
using jnihost::Object;
using jnihost::simMust;

namespace {

// ---- Lookups, counted on their way to the host ---------------------------------------------

std::uint64_t lookups = 0;
JNINativeInterface_ hostTable;

jclass JNICALL countedFindClass(JNIEnv* env, const char* name) {
  ++lookups;
  return hostTable.FindClass(env, name);
}
jclass JNICALL countedGetObjectClass(JNIEnv* env, jobject object) {
  ++lookups;
  return hostTable.GetObjectClass(env, object);
}
jfieldID JNICALL countedGetFieldID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  ++lookups;
  return hostTable.GetFieldID(env, cls, name, sig);
}
jmethodID JNICALL countedGetMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  ++lookups;
  return hostTable.GetMethodID(env, cls, name, sig);
}

class Driver {
 public:
  Driver(Host& host, jnihost::NativeLibrary& library) : host_(host), library_(library) {
    hostTable = *host.env()->functions;
    counted_ = hostTable;
    counted_.FindClass = countedFindClass;
    counted_.GetObjectClass = countedGetObjectClass;
    counted_.GetFieldID = countedGetFieldID;
    counted_.GetMethodID = countedGetMethodID;
    host.env()->functions = &counted_;
    const char* self = "com/velk/internet/tz/common/CMNExecutorInterface";
    if (host.findClass(self) == nullptr) host.defineClass(self);
    receiver_ = host.newObject(self);
  }

  // Calls `method` with Object* arguments (null for none); its int result.
  template <typename... A>
  jint call(const char* method, A... args) {
    void* fn = library_.entry(method);
    if (fn == nullptr) fail(std::string("no entry point ") + method);
    host_.beginCall(method);
    jobject self = host_.arg(receiver_);
    const jint result = jnihost::callEntry<jint>(fn, host_.env(), self, pass(args)...);
    host_.endCall();
    return result;
  }

  void must(jint result, const std::string& what) {
    if (result != 0) fail(what + " returned " + std::to_string(result));
  }

  [[noreturn]] static void fail(const std::string& what) {
    std::fprintf(stderr, "cmn-instructions: %s\n", what.c_str());
    std::exit(1);
  }

  Host& host() { return host_; }

 private:
  jobject pass(Object* o) { return host_.arg(o); }
  static jint pass(jint v) { return v; }

  Host& host_;
  jnihost::NativeLibrary& library_;
  JNINativeInterface_ counted_;
  Object* receiver_ = nullptr;
};

struct Case {
  std::string label;
  std::function<void(Driver&)> setup;
  std::function<jint(Driver&)> call;
};

std::string clusterId(int i) {
  char head[24];
  std::snprintf(head, sizeof(head), "cluster-%04d.", i);
  std::string id = head;
  while (id.size() < 64) id += static_cast<char>('a' + id.size() % 26);
  return id;
}

std::string le32(std::uint32_t v) {
  char hex[9];
  std::snprintf(hex, sizeof(hex), "%02x%02x%02x%02x", v & 0xFF, v >> 8 & 0xFF, v >> 16 & 0xFF,
                v >> 24);
  return hex;
}

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint8_t b : bytes) {
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

Object* cluster(Driver& d, const std::string& id) {
  Object* c = d.host().newObject("CMNCluster");
  d.host().setString(c, "sClusterId", id.c_str());
  return c;
}

Object* port(Driver& d, const char* clusterId, int number) {
  Object* p = d.host().newObject("CMNPort");
  d.host().setString(p, "ClusterId", clusterId);
  d.host().setInt(p, "PortNumber", number);
  return p;
}

void reset(Driver& d) {
  simMust("RESET");
  Object* e = d.host().newObject("CMNExecutor");
  d.host().setInt(e, "MaxNumberOfClusters", 256);
  d.host().setInt(e, "SetMaxNumberOfClusters", 1);
  d.must(d.call("setExecutorStatusNative", e), "executor settings");
}

jint listClusters(Driver& d) {
  return d.call("getClustersListNative", d.host().newObject("java/lang/StringBuffer"));
}

jint listPorts(Driver& d) {
  return d.call("getPortsListNative", d.host().newString("ports"),
                d.host().newObject("java/lang/StringBuffer"));
}

std::vector<Case> cases() {
  std::vector<Case> all;
  auto oneOfEach = [](Driver& d) {
    reset(d);
    d.must(d.call("addClusterNative", cluster(d, "bench")), "cluster add");
    d.must(d.call("addPortNative", port(d, "bench", 80)), "port add");
  };
  all.push_back({"getPortStatusNative", oneOfEach,
                 [](Driver& d) { return d.call("getPortStatusNative", port(d, "bench", 80)); }});
  all.push_back({"getExecutorReportNative", oneOfEach, [](Driver& d) {
                   return d.call("getExecutorReportNative",
                                 d.host().newObject("CMNExecutorReport"));
                 }});
  all.push_back({"getExecutorStatusNative", oneOfEach, [](Driver& d) {
                   return d.call("getExecutorStatusNative", d.host().newObject("CMNExecutor"));
                 }});
  all.push_back({"getClusterStatusNative", oneOfEach,
                 [](Driver& d) { return d.call("getClusterStatusNative", cluster(d, "bench")); }});
  for (int n : {10, 100, 256}) {
    all.push_back({"getClustersListNative " + std::to_string(n),
                   [n](Driver& d) {
                     reset(d);
                     for (int i = 0; i < n; ++i) {
                       d.must(d.call("addClusterNative", cluster(d, clusterId(i))), "cluster add");
                     }
                   },
                   listClusters});
  }
  all.push_back({"getClustersListNative 888 scripted",
                 [](Driver& d) {
                   reset(d);
                   constexpr int n = 888;
                   std::vector<std::uint8_t> entries(n * 72);
                   for (int i = 0; i < n; ++i) {
                     const std::string id = clusterId(i);
                     std::copy(id.begin(), id.end(), entries.begin() + i * 72);
                     entries[i * 72 + 68] = static_cast<std::uint8_t>(i + 1);
                     entries[i * 72 + 69] = static_cast<std::uint8_t>((i + 1) >> 8);
                   }
                   simMust("SCRIPT CMD 3 MODEL PUT 220 " + le32(n));
                   simMust("SCRIPT CMD 6 PUT 16 " + le32(n) + " PUT 20 " + hexOf(entries));
                 },
                 listClusters});
  for (int n : {10, 100, 1024}) {
    all.push_back({"getPortsListNative " + std::to_string(n),
                   [n](Driver& d) {
                     reset(d);
                     Object* c = cluster(d, "ports");
                     d.host().setInt(c, "MaxNumberOfPorts", 1024);
                     d.host().setInt(c, "SetMaxNumberOfPorts", 1);
                     d.must(d.call("addClusterNative", c), "cluster add");
                     for (int i = 1; i <= n; ++i) {
                       d.must(d.call("addPortNative", port(d, "ports", i)), "port add");
                     }
                   },
                   listPorts});
  }
  all.push_back({"getPortsListNative 7999 scripted",
                 [](Driver& d) {
                   reset(d);
                   constexpr int n = 7999;
                   std::vector<std::uint8_t> entries(n * 8);
                   for (int i = 0; i < n; ++i) {
                     entries[i * 8] = static_cast<std::uint8_t>((i + 1) >> 8);
                     entries[i * 8 + 1] = static_cast<std::uint8_t>(i + 1);
                   }
                   simMust("SCRIPT CMD 9 PUT 24 " + le32(n));
                   simMust("SCRIPT CMD 12 PUT 20 " + le32(n) + " PUT 24 " + hexOf(entries));
                 },
                 listPorts});
  // One answer holds 726 servers: the block's most is the executor's most for a list.
  for (int n : {10, 100, 726}) {
    all.push_back({"getServersListNative " + std::to_string(n) + " scripted",
                   [n](Driver& d) {
                     reset(d);
                     std::vector<std::uint8_t> entries(n * 88);
                     for (int i = 0; i < n; ++i) {
                       entries[i * 88] = static_cast<std::uint8_t>(i + 1);
                       entries[i * 88 + 1] = static_cast<std::uint8_t>((i + 1) >> 8);
                       const std::string id = "server" + clusterId(i).substr(7);
                       std::copy(id.begin(), id.end(), entries.begin() + i * 88 + 8);
                     }
                     simMust("SCRIPT CMD 15 PUT 36 " + le32(n));
                     simMust("SCRIPT CMD 31 PUT 36 " + le32(n) + " PUT 48 " + hexOf(entries));
                   },
                   [](Driver& d) {
                     return d.call("getServersListNative", d.host().newString("servers"), jint{80},
                                   d.host().newObject("java/lang/StringBuffer"),
                                   d.host().newIntArray(726));
                   }});
  }
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: %s LIBRARY OUT [CALLS]\n", argv[0]);
    return 2;
  }
  const int calls = argc == 4 ? std::atoi(argv[3]) : 5;
  if (!jnihost::startExecutor(20)) {
    std::fprintf(stderr, "the simulated executor does not answer\n");
    return 2;
  }
  jnihost::NativeLibrary library;
  if (!library.open(argv[1])) {
    std::fprintf(stderr, "can't load %s: %s\n", argv[1], library.error().c_str());
    return 2;
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "can't write %s\n", argv[2]);
    return 2;
  }
  Host host;
  Driver driver(host, library);
  for (const Case& c : cases()) {
    c.setup(driver);
    for (int i = 0; i < 2; ++i) driver.must(c.call(driver), c.label);
    lookups = 0;
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < calls; ++i) {
      if (c.call(driver) != 0) Driver::fail(c.label + " failed");
    }
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(c.label.c_str());
    std::fprintf(out, "%s\t%d\t%.1f\n", c.label.c_str(), calls,
                 static_cast<double>(lookups) / calls);
  }
  std::fclose(out);
  const std::size_t failures = host.violations().size();
  if (failures != 0) std::fprintf(stderr, "%zu JNI check(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
