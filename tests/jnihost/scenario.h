// Runs entry points of the library under the JNI host and writes a transcript: per call, the
// arguments, the value handed back, the exception left for Java, every field of the objects
// passed, and every request the simulated executor recorded meanwhile, in hex. Two builds of
// the library that behave alike write identical transcripts.
#pragma once

#include <jni.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

#include "jnihost.h"
#include "native_library.h"
#include "plan.h"
#include "sim_link.h"

namespace jnihost {

class Session {
 public:
  Session(Host& host, NativeLibrary& library, std::FILE* out)
      : host_(host), library_(library), out_(out) {}

  // Fills every field of `object` with a value of its own (flag bytes 1, texts dotted
  // addresses), so a request shows which field went to which offset.
  void fill(Object* object, int seed);

  // Whether the requests sent during each call are looked up and written.
  void followRecord(bool follow) { followRecord_ = follow; }

  // Writes, after each call, the lines that the shell tools appended meanwhile to the log at
  // `path` (the file VELKLB_TOOL_LOG names); "" for none.
  void followToolLog(const std::string& path);
  // Whether those lines are written (the executor stop runs a tool only the Linux stand-ins log).
  void followTools(bool follow) { followTools_ = follow; }

  // Calls Java method `method` with `args` (jint, jboolean or Object*); the result as text.
  template <typename R, typename... A>
  std::string call(const std::string& method, A... args) {
    void* fn = library_.entry(method);
    if (fn == nullptr) {
      line("%s: no such entry point\n", method.c_str());
      ++missing_;
      return "";
    }
    host_.beginCall(method);
    jobject self = host_.arg(receiver());
    std::string result;
    if constexpr (std::is_void_v<R>) {
      callEntry<void>(fn, host_.env(), self, pass(args)...);
      result = "void";
    } else if constexpr (std::is_same_v<R, jstring>) {
      jstring s = callEntry<jstring>(fn, host_.env(), self, pass(args)...);
      Value v;
      v.reference = s != nullptr ? host_.deref(s) : nullptr;
      result = Host::describeValue("Ljava/lang/String;", v);
    } else {
      result = std::to_string(callEntry<R>(fn, host_.env(), self, pass(args)...));
    }
    const std::string thrown = host_.endCall();
    std::string shown;
    ((shown += (shown.empty() ? "" : ", ") + show(args)), ...);
    line("%s(%s) -> %s\n", method.c_str(), shown.c_str(), result.c_str());
    if (!thrown.empty()) line("  thrown %s\n", thrown.c_str());
    (describeArg(args), ...);
    if (followRecord_) writeNewRequests();
    if (followTools_) writeNewToolLines();
    return result;
  }

  // Writes the requests recorded since the last look.
  void writeNewRequests();
  void note(const std::string& text) { line("# %s\n", text.c_str()); }
  void writeNewToolLines();

  int missingEntryPoints() const { return missing_; }

 private:
  template <typename... T>
  void line(const char* format, T... values) {
    std::fprintf(out_, format, values...);
  }
  Object* receiver();
  jobject pass(Object* o) { return host_.arg(o); }
  static jint pass(jint v) { return v; }
  static jboolean pass(bool v) { return v ? JNI_TRUE : JNI_FALSE; }
  std::string show(Object* o) const;
  static std::string show(jint v) { return std::to_string(v); }
  static std::string show(bool v) { return v ? "true" : "false"; }
  void describeArg(Object* o);
  static void describeArg(jint) {}
  static void describeArg(bool) {}

  Host& host_;
  NativeLibrary& library_;
  std::FILE* out_;
  Object* receiver_ = nullptr;
  std::uint64_t seen_ = 0;
  std::string toolLog_;
  std::size_t toolLogSeen_ = 0;
  bool followRecord_ = true;
  bool followTools_ = true;
  int missing_ = 0;
};

// Runs plan lines (plan.h) in `session` one at a time, keeping what earlier lines named; exits
// with status 2 on a line it can't run.
class PlanRunner {
 public:
  PlanRunner(Session& session, Host& host);
  ~PlanRunner();
  // A call line's result as text (Session::call); "" for any other line.
  std::string run(const PlanLine& line);

 private:
  class Interpreter;
  std::unique_ptr<Interpreter> interpreter_;
};

// Runs `plan` in `session`, a line at a time; exits with status 2 on a line it can't run.
void runPlan(Session& session, Host& host, const std::vector<PlanLine>& plan);

}  // namespace jnihost
