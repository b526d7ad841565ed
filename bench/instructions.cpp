// Instructions per call of the library's own code, a figure that does not depend on the
// machine's noise. Runs the bench's cases (the plan Bench.java writes with --plan: per case a
// "== LABEL" line, the lines that set it up, and last the call it measures) through the library
// under the in-process JNI host, against the simulated executor, and marks each case's calls
// for callgrind:
//
//   valgrind --tool=callgrind --collect-atstart=no ... cmn-instructions LIBRARY PLAN OUT [CALLS]
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
#include <string>
#include <vector>

#include "jnihost.h"
#include "native_library.h"
#include "plan.h"
#include "scenario.h"
#include "sim_link.h"

namespace {

// ---- Lookups, counted on their way to the host ---------------------------------------------

std::uint64_t lookups = 0;
JNINativeInterface_ hostTable;
JNINativeInterface_ countedTable;

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

void countLookups(jnihost::Host& host) {
  hostTable = *host.env()->functions;
  countedTable = hostTable;
  countedTable.FindClass = countedFindClass;
  countedTable.GetObjectClass = countedGetObjectClass;
  countedTable.GetFieldID = countedGetFieldID;
  countedTable.GetMethodID = countedGetMethodID;
  host.env()->functions = &countedTable;
}

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "cmn-instructions: %s\n", what.c_str());
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: %s LIBRARY PLAN OUT [CALLS]\n", argv[0]);
    return 2;
  }
  const int calls = argc == 5 ? std::atoi(argv[4]) : 5;
  if (!jnihost::startExecutor(20)) {
    std::fprintf(stderr, "the simulated executor does not answer\n");
    return 2;
  }
  jnihost::NativeLibrary library;
  if (!library.open(argv[1])) {
    std::fprintf(stderr, "can't load %s: %s\n", argv[1], library.error().c_str());
    return 2;
  }
  const std::vector<jnihost::PlanLine> plan = jnihost::readPlan(argv[2]);
  std::FILE* out = std::fopen(argv[3], "wb");
  // The calls' transcript is not wanted here; only their results are.
  std::FILE* transcript = std::fopen("/dev/null", "wb");
  if (out == nullptr || transcript == nullptr) {
    std::fprintf(stderr, "can't write %s\n", argv[3]);
    return 2;
  }
  jnihost::Host host;
  countLookups(host);
  jnihost::Session session(host, library, transcript);
  session.followRecord(false);
  session.followTools(false);
  jnihost::PlanRunner runner(session, host);
  const auto isTitle = [](const jnihost::PlanLine& line) { return line.text.rfind("== ", 0) == 0; };
  std::string label;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (isTitle(plan[i])) {
      label = plan[i].text.substr(3);
      continue;
    }
    if (i + 1 < plan.size() && !isTitle(plan[i + 1])) {  // a line that sets the case up
      const std::string result = runner.run(plan[i]);
      if (!result.empty() && result != "0") fail(plan[i].text + " returned " + result);
      continue;
    }
    for (int k = 0; k < 2; ++k) {
      if (runner.run(plan[i]) != "0") fail(label + " failed");
    }
    lookups = 0;
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    for (int k = 0; k < calls; ++k) {
      if (runner.run(plan[i]) != "0") fail(label + " failed");
    }
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(label.c_str());
    std::fprintf(out, "%s\t%d\t%.1f\n", label.c_str(), calls, static_cast<double>(lookups) / calls);
  }
  std::fclose(out);
  const std::size_t failures = host.violations().size();
  if (failures != 0) std::fprintf(stderr, "%zu JNI check(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
