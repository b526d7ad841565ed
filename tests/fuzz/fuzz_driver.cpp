// One libFuzzer target per method family (CMN_FUZZ_FAMILY): each input is a session of calls
// into the library under the JNI host, the entry points and their arguments picked by the
// input, every device call answered from it (fuzz_input.h). After every call:
//   - no JNI rule broken (the host's checks, modified UTF-8 of every string handed to Java
//     included), no exception left for Java (the objects are made so that the Java methods of
//     java_methods.h, which the library calls back, never throw);
//   - every text handed to Java (a list, a report, a returned string, a String field) within
//     what one block can carry;
// and AddressSanitizer and UndefinedBehaviorSanitizer watch the rest. A failed invariant
// aborts, so libFuzzer keeps the input.
//
// With CMN_FUZZ_RECORD=DIR the target writes its seed corpus to DIR instead: the family's plans
// run against the simulated executor's core in process and each session's bytes become a seed.
// With CMN_FUZZ_TRACE=1 it shows each call and its result on standard error.

#include <dlfcn.h>
#include <jni.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "java_methods.h"
#include "native_kinds.h"
#include "plan.h"
#include "jni/idkey.h"
#include "sim_core.h"

namespace cmnfuzz {
namespace {

using jnihost::Host;
using jnihost::Object;
using jnihost::Value;

constexpr std::size_t kBlockBytes = 64016;
// What one call may hand to Java as a list or field text: every entry's line is at most one byte
// longer than the entry it comes from, and the entries lie within the block.
constexpr std::size_t kTextBound = 2 * kBlockBytes;
// A returned report may say more: the dump renders each 24-byte affinity-list record of a full
// block in up to 325 characters (13.5 blocks in all), the most of any view.
constexpr std::size_t kReportBound = 14 * kBlockBytes;
constexpr int kCallsPerSession = 24;
constexpr const char* kPackage = "com/velk/internet/tz/common/";
constexpr const char* kEntryPrefix = "Java_com_velk_internet_tz_common_CMNExecutorInterface_";

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "FUZZ INVARIANT FAILED: %s\n", what.c_str());
  std::abort();
}

using namespace jnihost::kinds;

const std::string kLongText(300, 'x');
const char* const kTexts[] = {nullptr,    "",   "web",  "10.0.0.1",       "255.255.255.0",
                              "10.0.0.2", "80", "srv0", kLongText.c_str()};
constexpr std::size_t kTextCount = sizeof(kTexts) / sizeof(kTexts[0]);

// ---- One session -------------------------------------------------------------------------------

class Run {
 public:
  explicit Run(Host& host) : host_(host), receiver_(receiver()) { jnihost::addJavaMethods(host); }

  // The objects of a session live until it ends.
  void startSession() { mark_ = host_.objectMark(); }
  void endSession() { host_.dropObjectsSince(mark_); }

  JNIEnv* env() { return host_.env(); }
  jobject self() { return host_.arg(receiver_); }
  void setVariant(std::uint8_t variant) { variant_ = variant; }

  jint make(I_) { return static_cast<jint>(input().little(4)); }
  jboolean make(Z_) { return (input().u8() & 1) != 0 ? JNI_TRUE : JNI_FALSE; }
  jstring make(String_) {
    const char* text = kTexts[input().u8() % kTextCount];
    return text != nullptr ? static_cast<jstring>(pass(host_.newString(text))) : nullptr;
  }
  jobject make(StringBuffer_) { return pass(host_.newObject("java/lang/StringBuffer")); }
  jintArray make(I_Array_) {
    const std::uint8_t length = input().u8();
    return length != 255 ? static_cast<jintArray>(pass(host_.newIntArray(length))) : nullptr;
  }
  template <typename Kind>
  jobject make(Kind) {
    return pass(fill(host_.newObject(Kind::kClass)));
  }

  void returned(jstring text) {
    const std::string* shown = text != nullptr ? &host_.deref(text)->text : nullptr;
    if (shown != nullptr) checkText("the returned string", *shown, kReportBound);
    if (trace_) std::fprintf(stderr, "  -> %s\n", shown != nullptr ? shown->c_str() : "null");
  }
  void returned(jint value) {
    if (trace_) std::fprintf(stderr, "  -> %d\n", static_cast<int>(value));
  }

  // Opens and closes a native call's frame; checks what it left behind.
  void begin(const char* method) {
    if (trace_) std::fprintf(stderr, "%s (variant %u)\n", method, variant_);
    host_.beginCall(method);
    passed_.clear();
  }
  void end(const char* method);

 private:
  jobject pass(Object* o) {
    passed_.push_back(o);
    return host_.arg(o);
  }
  Object* receiver();
  Object* fill(Object* o);
  void checkText(const std::string& where, const std::string& text,
                 std::size_t bound = kTextBound) const;

  Host& host_;
  Object* receiver_;
  std::uint8_t variant_ = 0;
  // CMN_FUZZ_TRACE=1 shows each call and what it returned, to read a seed or a failing input.
  const bool trace_ = std::getenv("CMN_FUZZ_TRACE") != nullptr;
  std::vector<Object*> passed_;
  std::size_t mark_ = 0;
};

// One host for the process: making one, with its classes, costs more than a session's calls.
Run& theRun() {
  static Host host;
  static Run run(host);
  return run;
}

Object* Run::receiver() {
  const std::string name = std::string(kPackage) + "CMNExecutorInterface";
  host_.defineClass(name);
  return host_.newObject(name);
}

// Field values from the variant byte: bit 0 clears every "Set" flag, bit 1 makes the texts null
// (identifiers excepted), bits 2-4 give arrays that the class makes empty a length, bits 5-7
// pick the object (server and rule names, addresses, numbers). Identifiers and port numbers
// are those of the recorded sessions, so the simulated executor accepts their requests.
Object* Run::fill(Object* o) {
  const int which = variant_ >> 5;
  const std::string cluster = which < 4 ? "web" : "mail";
  const std::string server = "srv" + std::to_string(which);
  int i = 0;
  for (const jnihost::FieldDef& f : o->cls->fields) {
    Value& v = o->fields[f.slot];
    const std::string& name = f.name;
    ++i;
    const int small = 1 + ((which + 1) * 7 + i) % 16;
    if (f.signature == "Ljava/lang/String;") {
      std::string text = "10.0." + std::to_string(which) + "." + std::to_string(i);
      const bool identifier = name == "sClusterId" || name == "ClusterId" || name == "sClusterID" ||
                              name == "sServerID" || name == "RuleName";
      if (name == "sServerID") text = server;
      if (name == "RuleName") text = "rule" + std::to_string(which);
      if (name == "sClusterId" || name == "ClusterId" || name == "sClusterID") text = cluster;
      if (name == "NetMask") text = "255.255.255.0";
      if (name == "InterfaceName") text = "en0";
      if ((variant_ & 2) != 0 && !identifier) continue;
      v.reference = host_.newString(text);
    } else if (f.signature == "[Ljava/lang/String;") {  // set through a method, which grows it
      v.reference = host_.newObjectArray("java/lang/String", (variant_ >> 2) & 7);
    } else if (f.signature[0] == '[') {  // int[] or byte[]
      Object* array = v.reference;
      if (array == nullptr || (array->ints.empty() && array->bytes.empty())) {
        // One whose length the class leaves to its user (the weights' arrays).
        const std::size_t length = (variant_ >> 2) & 7;
        array = f.signature == "[I" ? host_.newIntArray(length) : host_.newByteArray(length);
        v.reference = array;
      }
      std::iota(array->ints.begin(), array->ints.end(), small);
      std::iota(array->bytes.begin(), array->bytes.end(), std::int8_t{10});
    } else if (f.signature == "B") {
      v.primitive = name.compare(0, 3, "Set") == 0 ? ((variant_ & 1) != 0 ? 0 : 1) : small % 2;
    } else if (f.signature == "C") {
      v.primitive = 'A' + i % 26;
    } else if (name == "iServerIdKey" || name == "iClusterIdKey") {
      v.primitive = static_cast<std::int32_t>(
          cmn::jni::idKeyOf((name == "iServerIdKey" ? server : cluster).c_str()));
    } else if (name == "PortNumber" || name == "Port" || name == "iPortNumber") {
      v.primitive = 80;
    } else if (name.size() >= 11 && name.compare(name.size() - 11, 11, "WeightBound") == 0) {
      v.primitive = 20;
    } else if (name.find("Weight") != std::string::npos) {
      v.primitive = which % 4;
    } else if (name == "_iNumListeners") {
      v.primitive = which % 3;
    } else {
      v.primitive = small;
    }
  }
  if (o->cls->name == std::string(kPackage) + "CMNServer") {
    for (int n = 0; n < which % 3; ++n) {
      jnihost::addListener(host_, o, fill(host_.newObject("CMNListener")));
    }
  }
  return o;
}

void Run::checkText(const std::string& where, const std::string& text,
                    std::size_t bound) const {
  if (text.size() > bound) {
    fail(where + " carries " + std::to_string(text.size()) + " bytes, more than a block gives");
  }
}

void Run::end(const char* method) {
  const std::string thrown = host_.endCall();
  if (!thrown.empty()) fail(std::string(method) + " left an exception for Java: " + thrown);
  for (Object* o : passed_) {
    if (o->cls->name == "java/lang/String") continue;
    if (o->cls->name == "java/lang/StringBuffer") checkText("the list text", o->text);
    for (const jnihost::FieldDef& f : o->cls->fields) {
      const Object* value = o->fields[f.slot].reference;
      if (value == nullptr) continue;
      if (f.signature == "Ljava/lang/String;") checkText("field " + f.name, value->text);
      // The identifiers the library handed to "setServerId".
      for (const Object* item : value->items) {
        if (item != nullptr && item->cls->name == "java/lang/String") {
          checkText("an element of " + f.name, item->text);
        }
      }
    }
  }
  if (!host_.violations().empty()) fail(std::string(method) + ": " + host_.violations().front());
}

// ---- The entry points --------------------------------------------------------------------------

// The method families, one fuzz target each (CMN_FUZZ_FAMILIES in CMakeLists.txt).
constexpr char kExecutor[] = "executor", kClusters[] = "clusters", kServers[] = "servers",
               kRules[] = "rules", kNetwork[] = "network", kDiagnostics[] = "diagnostics";

using Invoke = void (*)(Run&, void* entry);

// Calls `entry` with arguments made in order from the input.
template <typename R, typename... A>
void invoke(Run& run, void* entry) {
  std::tuple<typename A::Type...> args{run.make(A{})...};
  using Fn = R(JNICALL*)(JNIEnv*, jobject, typename A::Type...);
  const auto fn = reinterpret_cast<Fn>(entry);
  std::apply(
      [&](auto... a) {
        if constexpr (std::is_void_v<R>) {
          fn(run.env(), run.self(), a...);
        } else {
          run.returned(fn(run.env(), run.self(), a...));
        }
      },
      args);
}

struct Entry {
  const char* name;
  const char* family;
  Invoke invoke;
};

// A family by what an entry point's name speaks of, the first that matches; else the executor's.
const char* familyOf(const char* name) {
  static const std::pair<const char*, std::regex> kFamilies[] = {
      {kExecutor, std::regex("calcClusterIdKey|allocateConnection|ServerModality")},
      {kDiagnostics, std::regex("Affinity|ConnectionInfo|HalfOpen|Attack|xmisc|Icmp")},
      {kNetwork, std::regex("onfigure|HAInfo|backup|Reach|HB|Timers|takeover|Interface|NicAddr")},
      {kRules, std::regex("Rule")},
      {kServers, std::regex("Server|Host|Weights")},
      {kClusters, std::regex("Cluster|Port")},
  };
  for (const auto& [family, words] : kFamilies) {
    if (std::regex_search(name, words)) return family;
  }
  return kExecutor;
}

// Every entry point, as javap reads them from the compiled interface, in its order. One the
// library does not export (yet) is left out of the sessions.
#define JNIHOST_EXPAND(...) __VA_ARGS__
#define JNIHOST_NATIVE(name, result, kinds) \
  {#name, familyOf(#name), invoke<result JNIHOST_EXPAND kinds>},
const Entry kEntries[] = {
#include "java_classes.inc"
};
#undef JNIHOST_NATIVE

struct Resolved {
  const Entry* entry;
  void* function;
};

// The entry points of the target's family (or all of them) that the library exports, in table
// order.
std::vector<Resolved> entriesOf(bool all) {
  std::vector<Resolved> out;
  for (const Entry& e : kEntries) {
    if (!all && std::strcmp(e.family, CMN_FUZZ_FAMILY) != 0) continue;
    void* function = ::dlsym(RTLD_DEFAULT, (std::string(kEntryPrefix) + e.name).c_str());
    if (function != nullptr) out.push_back(Resolved{&e, function});
  }
  return out;
}

std::vector<Resolved> g_entries;  // the target's family

// Calls `method` with `args`, with the device answering errors and shell lines
// failing, reading no input.
template <typename R, typename... A>
void quietCall(Run& run, const char* method, A... args) {
  void* f = ::dlsym(RTLD_DEFAULT, (std::string(kEntryPrefix) + method).c_str());
  if (f == nullptr) return;
  input().quiet(true);
  run.begin(method);
  reinterpret_cast<R(JNICALL*)(JNIEnv*, jobject, A...)>(f)(run.env(), run.self(), args...);
  run.end(method);
  input().quiet(false);
}

// What the library keeps from one call to the next starts each session the same, so that an
// input means the same whatever ran before it: no server modality, no key-is-address flag, the
// interface table as an executor that answers nothing leaves it.
void resetLibrary() {
  Run& run = theRun();
  quietCall<void>(run, "setQVAServerModalityNative", static_cast<jboolean>(JNI_FALSE));
  quietCall<void>(run, "setKeyIsIpAddrNative", jint{0});
  quietCall<jint>(run, "setInterfacesNative", jint{0});
}

// Runs the input as a session of calls over `entries`.
void runSession(const std::vector<Resolved>& entries) {
  Run& run = theRun();
  run.startSession();
  for (int call = 0; call < kCallsPerSession && !input().exhausted(); ++call) {
    const Resolved& r = entries[input().u8() % entries.size()];
    run.setVariant(input().u8());
    run.begin(r.entry->name);
    r.entry->invoke(run, r.function);
    run.end(r.entry->name);
  }
  run.endSession();
}

// ---- Recording the seeds -----------------------------------------------------------------------

// One call of a plan (its words): its entry point's name, and the input bytes of its variant
// and arguments.
std::vector<std::uint8_t> callBytes(const std::vector<std::string>& words, std::string* name) {
  const std::size_t slash = words[0].find('/');
  *name = words[0].substr(0, slash);
  std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(
      slash == std::string::npos ? 0 : std::stoi(words[0].substr(slash + 1)))};
  for (std::size_t w = 1; w < words.size(); ++w) {
    const std::string& word = words[w];
    if (word[0] == '#') {
      bytes.push_back(static_cast<std::uint8_t>(std::stoi(word.substr(1))));
    } else if (word == "null" || word[0] == '\'') {
      const char* const* text = std::find_if(kTexts, kTexts + kTextCount, [&word](const char* t) {
        return t == nullptr ? word == "null" : word == "'" + std::string(t) + "'";
      });
      if (text == kTexts + kTextCount) fail("no text " + word);
      bytes.push_back(static_cast<std::uint8_t>(text - kTexts));
    } else {
      const auto value = static_cast<std::uint32_t>(std::stoll(word, nullptr, 0));
      for (int shift = 0; shift < 32; shift += 8) bytes.push_back(std::uint8_t(value >> shift));
    }
  }
  return bytes;
}

std::unique_ptr<velksim::SimState> g_sim;
std::uint8_t g_simAnswer[velksim::kBlockSize];

// The simulated executor's answer, kept as the bytes that differ from what the platform stand-in
// would make of the request alone.
Answer simulatedAnswer(const std::uint8_t* block, std::uint32_t length) {
  Answer a;
  const velksim::DeviceReply reply = velksim::simHandleRequest(*g_sim, block, length, g_simAnswer);
  if (reply.outcome != velksim::DeviceOutcome::kAnswer) {
    a.mode = kDeviceError;
    a.n = reply.outcome == velksim::DeviceOutcome::kError ? reply.error : 22;
    return a;
  }
  a.n = reply.answerLength;
  std::uint32_t given = 0;
  for (std::uint32_t i = 0; i < a.n; ++i) {
    if (g_simAnswer[i] != (i < length ? block[i] : 0)) given = i + 1;
  }
  a.bytes = g_simAnswer;
  a.given = given;
  return a;
}

// Where the entry point `name` is in `entries`; their count when it is not there.
std::size_t indexOf(const std::vector<Resolved>& entries, const std::string& name) {
  std::size_t i = 0;
  while (i < entries.size() && name != entries[i].entry->name) ++i;
  return i;
}

// Runs the plan of `lines` against a fresh simulated executor and writes the session's bytes
// to DIR/name.
void record(const std::string& name, const std::vector<jnihost::PlanLine>& lines,
            const std::string& dir) {
  g_sim = std::make_unique<velksim::SimState>();
  velksim::simInit(*g_sim);
  velksim::simSetClock(*g_sim, 1700000000);
  static char answer[velksim::kControlAnswerMax];
  const std::vector<Resolved> all = entriesOf(true);
  resetLibrary();
  std::vector<std::uint8_t> tape;
  for (const jnihost::PlanLine& line : lines) {
    if (line.text.compare(0, 2, "> ") == 0) {
      velksim::simHandleControl(*g_sim, line.text.c_str() + 2, answer, sizeof(answer));
      if (std::strncmp(answer, "OK", 2) != 0) jnihost::planError(line, answer);
      continue;
    }
    // Calls of other families only set the simulated executor up (they come first in a plan):
    // they are not on the tape.
    std::string method;
    std::vector<std::uint8_t> bytes = callBytes(jnihost::planWords(line.text), &method);
    std::size_t index = indexOf(g_entries, method);
    const bool own = index < g_entries.size();
    if (!own) index = indexOf(all, method);
    if (index == all.size()) fail("no " + method);
    bytes.insert(bytes.begin(), static_cast<std::uint8_t>(index));
    std::vector<std::uint8_t> untaped;
    input().record(bytes, simulatedAnswer, own ? &tape : &untaped);
    runSession(own ? g_entries : all);
  }
  const std::string path = dir + "/" + name;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr || std::fwrite(tape.data(), 1, tape.size(), out) != tape.size()) {
    fail("can't write " + path);
  }
  std::fclose(out);
  std::printf("%s: %zu bytes\n", path.c_str(), tape.size());
}

// Records the seeds of the target's family in plans.txt, each section "== FAMILY NAME" a seed.
void recordAll(const std::string& dir) {
  std::string name;
  std::vector<jnihost::PlanLine> lines;
  const auto flush = [&] {
    if (!name.empty()) record(name, lines, dir);
    lines.clear();
  };
  for (const jnihost::PlanLine& line : jnihost::readPlan(CMN_FUZZ_PLANS)) {
    if (line.text.compare(0, 3, "== ") != 0) {
      lines.push_back(line);
      continue;
    }
    flush();
    std::istringstream words(line.text.substr(3));
    std::string family;
    words >> family >> name;
    if (family != CMN_FUZZ_FAMILY) name.clear();
  }
  flush();
}

}  // namespace
}  // namespace cmnfuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  using namespace cmnfuzz;
  g_entries = entriesOf(false);
  if (g_entries.empty()) fail("no entry point of family " + std::string(CMN_FUZZ_FAMILY));
  const char* dir = std::getenv("CMN_FUZZ_RECORD");
  if (dir != nullptr && dir[0] != '\0') {
    recordAll(dir);
    std::exit(0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  cmnfuzz::resetLibrary();
  cmnfuzz::input().replay(data, size);
  cmnfuzz::runSession(cmnfuzz::g_entries);
  return 0;
}
