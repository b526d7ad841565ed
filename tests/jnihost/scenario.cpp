#include "scenario.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numeric>

namespace jnihost {

void Session::fill(Object* object, int seed) {
  int i = 0;
  for (const FieldDef& f : object->cls->fields) {
    Value& v = object->fields[f.slot];
    const std::int64_t k = seed * 64 + ++i;
    switch (f.signature[0]) {
      case 'B':
        v.primitive = f.name.compare(0, 3, "Set") == 0 ? 1 : static_cast<std::int8_t>(k);
        break;
      case 'C': v.primitive = 0x4100 + k; break;
      case 'Z': v.primitive = 1; break;
      case 'J':
        v.primitive =
            static_cast<std::int64_t>(0x0102030405060708ULL * static_cast<std::uint64_t>(k));
        break;
      case 'L':
        if (f.signature == "Ljava/lang/String;") {
          v.reference = host_.newString("10." + std::to_string(seed % 250) + "." +
                                        std::to_string(i % 250) + ".1");
        }
        break;
      case '[':
        if (v.reference != nullptr) {
          Object* a = v.reference;
          std::iota(a->ints.begin(), a->ints.end(), std::int32_t(0x01010101 * (k % 16)));
          std::iota(a->bytes.begin(), a->bytes.end(), static_cast<std::int8_t>(k));
        }
        break;
      default:  // int and short: a pattern whose four bytes all differ
        v.primitive = f.signature == "S" ? static_cast<std::int16_t>(0x0102 * k)
                                         : static_cast<std::int32_t>(0x01020304 * k);
        break;
    }
  }
}

Object* Session::receiver() {
  if (receiver_ == nullptr) {
    host_.defineClass("com/velk/internet/tz/common/CMNExecutorInterface");
    receiver_ = host_.newObject("com/velk/internet/tz/common/CMNExecutorInterface");
  }
  return receiver_;
}

std::string Session::show(Object* o) const {
  if (o == nullptr) return "null";
  if (o->cls->name == "java/lang/String") return '"' + o->text + '"';
  const std::size_t slash = o->cls->name.rfind('/');
  return o->cls->name.substr(slash == std::string::npos ? 0 : slash + 1);
}

void Session::describeArg(Object* o) {
  if (o == nullptr || o->cls->name == "java/lang/String") return;
  if (o->cls->name == "java/lang/StringBuffer") {
    line("  text \"%s\"\n", o->text.c_str());
    return;
  }
  if (o->cls->name[0] == '[') {
    Value v;
    v.reference = o;
    line("  array %s\n", Host::describeValue(o->cls->name, v).c_str());
    return;
  }
  line("%s", host_.describe(o).c_str());
}

namespace {

// The whole text of a file; "" when it can't be read.
std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

void Session::followToolLog(const std::string& path) {
  toolLog_ = path;
  toolLogSeen_ = readWhole(path).size();
}

void Session::writeNewToolLines() {
  if (toolLog_.empty()) return;
  const std::string text = readWhole(toolLog_);
  // Whole lines only: a line still being written is taken on the next look.
  std::size_t start = toolLogSeen_;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string tool = text.substr(start, end - start);
    if (!tool.empty() && tool.back() == '\r') tool.pop_back();
    line("  tool %s\n", tool.c_str());
  }
  toolLogSeen_ = start;
}

void Session::writeNewRequests() {
  const std::uint64_t count = std::strtoull(simMust("RECORD COUNT").c_str(), nullptr, 10);
  // The record keeps the latest 64 in full; a step never sends more than that.
  if (count > seen_ + 64) seen_ = count - 64;
  for (; seen_ < count; ++seen_) {
    line("  request %s\n", simMust("RECORD GET " + std::to_string(seen_)).c_str());
  }
}

}  // namespace jnihost
