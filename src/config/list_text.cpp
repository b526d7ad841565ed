#include "config/list_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "jni/fields.h"
#include "jni/strings.h"

namespace cmn::config {

std::uint32_t beginList(RequestBlock& b, std::uint32_t command, const Records& run,
                        std::uint32_t expected) {
  const std::uint32_t asked = run.fitting(expected);
  b.begin(command, run.lengthFor(asked));
  b.putU32(run.count, asked);
  return asked;
}

ListText::ListText()
    : text_(static_cast<char*>(std::malloc(kListTextInitial))),
      length_(0),
      capacity_(kListTextInitial) {
  if (text_ != nullptr) text_[0] = '\0';
}

ListText::~ListText() { std::free(text_); }

int ListText::append(const char* text) {
  return text != nullptr ? append(text, std::strlen(text)) : -1;
}

int ListText::append(const char* text, std::size_t length) {
  if (text == nullptr || !makeRoom(length)) return -1;
  std::memcpy(text_ + length_, text, length);
  length_ += length;
  text_[length_] = '\0';
  return 0;
}

bool ListText::makeRoom(std::size_t added) {
  if (text_ == nullptr) return false;
  const std::size_t need = length_ + added + 1;
  if (need <= capacity_) return true;
  // Doubling keeps the copies of a growing list linear in its final length.
  const std::size_t grown =
      std::max<std::size_t>(need + kListTextGrowth, 2 * std::size_t{capacity_});
  if (grown > 0xFFFFFFFFu) return false;
  char* larger = static_cast<char*>(std::realloc(text_, grown));
  if (larger == nullptr) return false;
  text_ = larger;
  capacity_ = static_cast<std::uint32_t>(grown);
  return true;
}

void ListText::appendTo(JNIEnv* env, jobject stringBuffer) const {
  const jni::LocalRef<jstring> string(
      env, text_ != nullptr ? jni::newJavaString(env, text_, length_) : jni::newJavaString(env, ""));
  if (string.get() != nullptr) jni::appendToStringBuffer(env, stringBuffer, string.get());
}

}  // namespace cmn::config
