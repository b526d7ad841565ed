#include "jni/strings.h"

namespace cmn::jni {

UtfChars::UtfChars(JNIEnv* env, jstring string)
    : env_(env), string_(string), chars_(nullptr) {
  if (env_ != nullptr && string_ != nullptr && !env_->ExceptionCheck()) {
    chars_ = env_->GetStringUTFChars(string_, nullptr);
  }
}

UtfChars::~UtfChars() {
  if (chars_ != nullptr) env_->ReleaseStringUTFChars(string_, chars_);
}

namespace {

// Length of the well-formed modified UTF-8 sequence at p, or 0 when it is not one. Modified
// UTF-8 has one-, two- and three-byte forms only (supplementary characters travel as
// surrogate pairs of three bytes each, which are accepted as they are), each in its shortest
// form, except NUL, which is c0 80 (a C text can't hold a raw one). Longer forms of other
// characters would reach Java as characters the executor never meant, U+0000 among them.
std::size_t sequenceLength(const unsigned char* p) {
  const unsigned char lead = p[0];
  if (lead < 0x80) return 1;
  auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
  if (lead >= 0xC2 && lead <= 0xDF) return continuation(p[1]) ? 2 : 0;
  if (lead == 0xC0) return p[1] == 0x80 ? 2 : 0;
  if ((lead & 0xF0) == 0xE0) {
    // After e0 only a0 to bf leave a character of twelve bits or more.
    const bool shortest = lead != 0xE0 || p[1] >= 0xA0;
    return shortest && continuation(p[1]) && continuation(p[2]) ? 3 : 0;
  }
  return 0;
}

}  // namespace

std::string toModifiedUtf8(const char* text) {
  std::string out;
  if (text == nullptr) return out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    const std::size_t length = sequenceLength(p);
    if (length == 0) {
      out += '?';
      ++p;
    } else {
      out.append(reinterpret_cast<const char*>(p), length);
      p += length;
    }
  }
  return out;
}

jstring newJavaString(JNIEnv* env, const char* text) {
  if (env->ExceptionCheck()) return nullptr;
  const std::string safe = toModifiedUtf8(text);
  return env->NewStringUTF(safe.c_str());
}

}  // namespace cmn::jni
