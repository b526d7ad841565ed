// Runs a plan (plan.h) as the conformance scenario, one Session call per call line.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <utility>
#include <type_traits>

#include "java_methods.h"
#include "native_kinds.h"
#include "plan.h"
#include "scenario.h"

namespace jnihost {
namespace {

using namespace kinds;

template <typename K>
auto as(const Value& v) {
  if constexpr (std::is_same_v<K, I_>) {
    return static_cast<jint>(v.primitive);
  } else if constexpr (std::is_same_v<K, Z_>) {
    return v.primitive != 0;
  } else {
    return v.reference;
  }
}

using Dispatch = bool (*)(Session&, const std::string&, const std::vector<Value>&, std::string&);

template <typename R, typename... K, std::size_t... I>
std::string callWith(Session& s, const std::string& method, const std::vector<Value>& args,
                     std::index_sequence<I...>) {
  return s.call<R>(method, as<K>(args[I])...);
}

template <typename R, typename... K>
bool dispatch(Session& s, const std::string& method, const std::vector<Value>& args,
              std::string& result) {
  if (args.size() != sizeof...(K)) return false;
  result = callWith<R, K...>(s, method, args, std::index_sequence_for<K...>{});
  return true;
}

#define JNIHOST_EXPAND(...) __VA_ARGS__
#define JNIHOST_NATIVE(name, result, kinds) {#name, dispatch<result JNIHOST_EXPAND kinds>},
const std::map<std::string, Dispatch> kNatives = {
#include "java_classes.inc"
};
#undef JNIHOST_NATIVE

}  // namespace

class PlanRunner::Interpreter {
 public:
  Interpreter(Session& s, Host& h) : s_(s), h_(h) {}
  std::string run(const PlanLine& line);

 private:
  // An argument or field value: a number, a boolean, or an object (null included).
  Value value(const char*& p);
  void assign(Object* o, const char*& p);
  [[noreturn]] void fail(const std::string& what) { planError(*line_, what); }
  std::string name(const char*& p) {
    std::string n;
    while (std::isalnum(static_cast<unsigned char>(*p)) || *p == '_' || *p == '/') {
      n += *p++;
    }
    return n;
  }
  void expect(const char*& p, char c) {
    if (*p++ != c) fail(std::string("expected ") + c);
  }

  Session& s_;
  Host& h_;
  const PlanLine* line_ = nullptr;
  std::map<std::string, Object*> vars_;
  std::map<std::string, std::string> shapes_;
};

Value PlanRunner::Interpreter::value(const char*& p) {
  Value v;
  if (*p == '\'') {
    const char* end = std::strchr(p + 1, '\'');
    if (end == nullptr) fail("unended text");
    v.reference = h_.newString(std::string(p + 1, end));
    p = end + 1;
  } else if (*p == '-' || std::isdigit(static_cast<unsigned char>(*p))) {
    char* end = nullptr;
    v.primitive = std::strtoll(p, &end, 0);
    p = end;
  } else if (*p == '[' || (p[0] == 'b' && p[1] == '[')) {
    const bool bytes = *p == 'b';
    p += bytes ? 2 : 1;
    std::vector<std::int64_t> items;
    while (*p != ']') {
      items.push_back(value(p).primitive);
      if (*p == ',') ++p;
    }
    ++p;
    v.reference = bytes ? h_.newByteArray(items.size()) : h_.newIntArray(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (bytes) v.reference->bytes[i] = static_cast<std::int8_t>(items[i]);
      else v.reference->ints[i] = static_cast<std::int32_t>(items[i]);
    }
  } else if (*p == '$') {
    const std::string n = name(++p);
    const auto it = vars_.find(n);
    if (it == vars_.end()) fail("no object $" + n);
    Object* o = v.reference = it->second;
    if (*p == '.') {
      ++p;
      v = o->fields[h_.field(o, name(p))->slot];  // a field the class lacks stops the host
    }
    if (*p == '{') assign(o, p);
  } else {
    const std::string word = name(p);
    v.primitive = word == "true";
    if (word == "null" || word == "true" || word == "false") return v;
    if (*p == '[') {  // an empty array
      ++p;
      const std::size_t length = std::strtoul(p, const_cast<char**>(&p), 10);
      expect(p, ']');
      v.reference = word == "int"    ? h_.newIntArray(length)
                    : word == "byte" ? h_.newByteArray(length)
                                     : h_.newObjectArray("java/lang/" + word, length);
      return v;
    }
    Object* o = h_.newObject(word);
    v.reference = o;
    if (*p == '@') {
      ++p;
      s_.fill(o, static_cast<int>(std::strtol(p, const_cast<char**>(&p), 10)));
    }
    if (*p == '{') assign(o, p);
  }
  return v;
}

// Takes "{ASSIGN...}" at p into o.
void PlanRunner::Interpreter::assign(Object* o, const char*& p) {
  expect(p, '{');
  while (true) {
    while (*p == ' ') ++p;
    if (*p == '}' || *p == '\0') break;
    if (*p == ':') {
      ++p;
      const auto shape = shapes_.find(name(p));
      if (shape == shapes_.end()) fail("no such shape");
      const std::string text = "{" + shape->second + "}";
      const char* q = text.c_str();
      assign(o, q);
      continue;
    }
    const std::string field = name(p);
    const FieldDef* f = h_.field(o, field);  // a field the class lacks stops the host
    if (*p == '[') {
      ++p;
      const std::size_t index = std::strtoul(p, const_cast<char**>(&p), 10);
      expect(p, ']');
      expect(p, '=');
      Object* array = o->fields[f->slot].reference;
      if (array == nullptr || index >= array->ints.size()) fail("no element of " + field);
      array->ints[index] = static_cast<std::int32_t>(value(p).primitive);
    } else if (*p == '+') {
      p += 2;
      addListener(h_, o, value(p).reference);
    } else {
      expect(p, '=');
      o->fields[f->slot] = value(p);
    }
  }
  expect(p, '}');
}

std::string PlanRunner::Interpreter::run(const PlanLine& line) {
  line_ = &line;
  const std::string& t = line.text;
  const char* p = t.c_str();
  if (t.compare(0, 3, "== ") == 0) {
    s_.note(t.substr(3));
  } else if (t.compare(0, 2, "> ") == 0) {
    simMust(t.substr(2));
  } else if (t == "follow off") {
    s_.followRecord(false);
    s_.followTools(false);
  } else if (t.compare(0, 6, "shape ") == 0) {
    p += 6;
    const std::string n = name(p);
    shapes_[n] = std::string(p);
  } else if (t.compare(0, 4, "let ") == 0) {
    p += 4;
    const std::string n = name(p);
    if (std::strncmp(p, " = ", 3) != 0) fail("expected =");
    p += 3;
    vars_[n] = value(p).reference;
  } else {
    const std::vector<std::string> words = planWords(t);
    const auto native = kNatives.find(words[0]);
    if (native == kNatives.end()) fail("no native method " + words[0]);
    std::vector<Value> args;
    for (std::size_t i = 1; i < words.size(); ++i) {
      const char* q = words[i].c_str();
      args.push_back(value(q));
      if (*q != '\0') fail("unread text in " + words[i]);
    }
    std::string result;
    if (!native->second(s_, words[0], args, result)) fail("wrong number of arguments");
    return result;
  }
  return "";
}

PlanRunner::PlanRunner(Session& session, Host& host)
    : interpreter_(std::make_unique<Interpreter>(session, host)) {}
PlanRunner::~PlanRunner() = default;
std::string PlanRunner::run(const PlanLine& line) { return interpreter_->run(line); }

void runPlan(Session& session, Host& host, const std::vector<PlanLine>& plan) {
  PlanRunner runner(session, host);
  for (const PlanLine& line : plan) runner.run(line);
}

}  // namespace jnihost
