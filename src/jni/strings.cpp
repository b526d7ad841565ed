#include "jni/strings.h"

#include <cstdint>
#include <cstring>

#include "jni/fields.h"

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

// How many bytes from p on (of `length`) are ASCII: the offset of the first that is not, or
// `length`. Passed over 32 bytes at a time; most of any executor text is plain ASCII.
std::size_t asciiPrefix(const unsigned char* p, std::size_t length) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  constexpr std::size_t kRun = 4 * sizeof(std::uint64_t);
  std::size_t i = 0;
  for (; length - i >= kRun; i += kRun) {
    std::uint64_t w[4];
    std::memcpy(w, p + i, kRun);
    if (((w[0] | w[1] | w[2] | w[3]) & kHighBits) != 0) break;
  }
  while (i < length && p[i] < 0x80) ++i;
  return i;
}

// How many bytes from p on (of `length`, followed by a NUL) are well-formed: the offset of the
// first offending byte, or `length`.
std::size_t validPrefix(const unsigned char* p, std::size_t length) {
  std::size_t i = asciiPrefix(p, length);
  while (i < length) {
    const std::size_t n = sequenceLength(p + i);
    if (n == 0) return i;
    i += n;
    i += asciiPrefix(p + i, length - i);
  }
  return i;
}

std::string toModifiedUtf8(const char* text, std::size_t length) {
  std::string out;
  out.reserve(length);
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  std::size_t at = 0;
  while (at < length) {
    const std::size_t valid = validPrefix(p + at, length - at);
    out.append(text + at, valid);
    at += valid;
    if (at < length) {
      out += '?';
      ++at;
    }
  }
  return out;
}

// ASCII text as a Java string made from its bytes with String(byte[] ascii, int hibyte, int
// offset, int count), each byte one character: the JVM copies the bytes as they are, where
// NewStringUTF decodes them one at a time (a list of 888 identifiers of 64 characters: some
// 58 KB, about 20 µs less in the JVM). Null with the JVM's exception pending when any step fails.
jstring newAsciiJavaString(JNIEnv* env, const char* text, jsize length) {
  const LocalRef<jclass> stringClass(env, env->FindClass("java/lang/String"));
  if (stringClass.get() == nullptr) return nullptr;
  const jmethodID fromAscii = env->GetMethodID(stringClass.get(), "<init>", "([BIII)V");
  if (fromAscii == nullptr) return nullptr;
  const LocalRef<jbyteArray> bytes(env, env->NewByteArray(length));
  if (bytes.get() == nullptr) return nullptr;
  env->SetByteArrayRegion(bytes.get(), 0, length, reinterpret_cast<const jbyte*>(text));
  if (env->ExceptionCheck()) return nullptr;
  jobject string = env->NewObject(stringClass.get(), fromAscii, bytes.get(), 0, 0, length);
  if (env->ExceptionCheck()) {
    if (string != nullptr) env->DeleteLocalRef(string);
    return nullptr;
  }
  return static_cast<jstring>(string);
}

}  // namespace

std::string toModifiedUtf8(const char* text) {
  if (text == nullptr) return std::string();
  return toModifiedUtf8(text, std::strlen(text));
}

namespace {

// `text` (`length` bytes, the first `ascii` of them ASCII) through NewStringUTF, made well
// formed first where it is not.
jstring newUtfString(JNIEnv* env, const char* text, std::size_t length, std::size_t ascii) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  if (ascii + validPrefix(bytes + ascii, length - ascii) == length) return env->NewStringUTF(text);
  const std::string safe = toModifiedUtf8(text, length);
  return env->NewStringUTF(safe.c_str());
}

}  // namespace

jstring newJavaString(JNIEnv* env, const char* text) {
  if (env->ExceptionCheck()) return nullptr;
  if (text == nullptr) text = "";
  return newUtfString(env, text, std::strlen(text), 0);
}

jstring newJavaString(JNIEnv* env, const char* text, std::size_t length) {
  if (env->ExceptionCheck()) return nullptr;
  const std::size_t ascii = asciiPrefix(reinterpret_cast<const unsigned char*>(text), length);
  if (ascii == length && length <= 0x7FFFFFFF) {
    return newAsciiJavaString(env, text, static_cast<jsize>(length));
  }
  return newUtfString(env, text, length, ascii);
}

}  // namespace cmn::jni
