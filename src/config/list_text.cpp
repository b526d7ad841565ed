#include "config/list_text.h"

#include <cstdlib>
#include <cstring>

#include "jni/fields.h"
#include "jni/strings.h"

namespace cmn::config {

int appendListText(char** buffer, const char* text, std::uint32_t* capacity) {
  if (buffer == nullptr || *buffer == nullptr || text == nullptr || capacity == nullptr) return -1;
  const std::size_t used = std::strlen(*buffer);
  const std::size_t added = std::strlen(text);
  const std::size_t need = used + added + 1;
  if (need > *capacity) {
    const std::size_t grown = need + kListTextGrowth;
    if (grown > 0xFFFFFFFFu) return -1;
    char* larger = static_cast<char*>(std::malloc(grown));
    if (larger == nullptr) return -1;
    std::memcpy(larger, *buffer, used + 1);
    std::free(*buffer);
    *buffer = larger;
    *capacity = static_cast<std::uint32_t>(grown);
  }
  std::memcpy(*buffer + used, text, added + 1);
  return 0;
}

ListText::ListText()
    : text_(static_cast<char*>(std::malloc(kListTextInitial))), capacity_(kListTextInitial) {
  if (text_ != nullptr) text_[0] = '\0';
}

ListText::~ListText() { std::free(text_); }

void ListText::appendTo(JNIEnv* env, jobject stringBuffer) const {
  jstring string = jni::newJavaString(env, text_ != nullptr ? text_ : "");
  if (string == nullptr) return;
  jni::appendToStringBuffer(env, stringBuffer, string);
  env->DeleteLocalRef(string);
}

}  // namespace cmn::config
