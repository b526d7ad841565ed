// The conformance scenario: the plan conformance.plan run through the library under the JNI
// host, against the simulated executor's model and its scripts.
//
//   jnihost-scenario LIBRARY TRANSCRIPT PLAN
//
// writes the transcript to the file TRANSCRIPT (the commands the library runs share standard
// output); exit status 0 when the scenario ran with no JNI
// check failing and every entry point present, 1 otherwise, 2 when the executor can't be used
// or the plan can't be run.

#include <cstdio>
#include <cstdlib>

#include "java_methods.h"
#include "scenario.h"

using jnihost::simMust;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s LIBRARY TRANSCRIPT PLAN\n", argv[0]);
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
  const std::vector<jnihost::PlanLine> plan = jnihost::readPlan(argv[3]);
  jnihost::Host host;
  jnihost::addJavaMethods(host);
  jnihost::Session session(host, library, transcript);
  if (const char* log = std::getenv("VELKLB_TOOL_LOG"); log != nullptr && *log != '\0') {
    session.followToolLog(log);
  }
  jnihost::runPlan(session, host, plan);
  std::fclose(transcript);
  const std::size_t failures = host.violations().size();
  if (failures != 0) std::fprintf(stderr, "%zu JNI check(s) failed\n", failures);
  if (session.missingEntryPoints() != 0) std::fprintf(stderr, "entry points missing\n");
  return failures == 0 && session.missingEntryPoints() == 0 ? 0 : 1;
}
