#include "jni/idkey.h"

#include <cctype>
#include <string>

#include "jni/address.h"
#include "jni/entry.h"
#include "jni/fields.h"
#include "jni/strings.h"

namespace cmn::jni {
namespace {
std::int32_t g_keyIsIpAddr = 0;
}  // namespace

std::uint8_t rotateByteRight(std::uint8_t value, unsigned count) {
  const unsigned v = value;
  return static_cast<std::uint8_t>(((v << (8 - count)) & 0xFF) + (v >> count));
}

void computeIdKey(char* text, std::uint32_t* out) {
  if (text == nullptr || out == nullptr) return;
  std::uint32_t key = parseNumericAddress(text);
  for (char* p = text; *p != '\0'; ++p) {
    *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  }
  if (key != kAddressNone) {
    *out = key;
    return;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::uint32_t shift = 0;
  std::uint32_t rot = 0;
  for (std::size_t i = 0; bytes[i] != 0; ++i) {
    const std::uint32_t r = rotateByteRight(bytes[i], rot);
    const std::uint32_t next = bytes[i + 1];
    key += (r + next) << shift;
    shift = ((shift + next) % 25) + 1;
    rot = ((rot + shift) % 8) + 1;
  }
  *out = key;
}

std::uint32_t idKeyOf(const char* chars) {
  std::string copy(chars);
  std::uint32_t key = 0;
  computeIdKey(copy.data(), &key);
  return key;
}

void getIdKeyFieldByName(JNIEnv* env, jobject obj, const char* name, std::uint32_t* out) {
  idKeyOfField(env, obj, name, out);
}

bool idKeyOfField(JNIEnv* env, jobject obj, const char* name, std::uint32_t* out) {
  jstring text = nullptr;
  if (!getStringFieldByName(env, obj, name, &text)) return false;
  return idKeyOfString(env, text, out);
}

bool idKeyOfString(JNIEnv* env, jstring id, std::uint32_t* out) {
  UtfChars chars(env, id);
  if (!chars || out == nullptr) return false;
  *out = idKeyOf(chars.get());
  return true;
}

void setKeyIsIpAddr(std::int32_t value) {
  g_keyIsIpAddr = value;
}

CMN_NATIVE(jint, calcClusterIdKeyNative)(JNIEnv* env, jobject, jstring id, jstring) {
  return enterNative<jint>(env, static_cast<jint>(kAddressNone), [&]() -> jint {
    // A null identifier counts as the empty one, whose key is all ones.
    UtfChars chars(env, id);
    if (!chars) return static_cast<jint>(kAddressNone);
    return static_cast<jint>(idKeyOf(chars.get()));
  }, kDefaultLocalCapacity, Reentry::Allowed);  // a pure computation: listeners may ask for keys
}

CMN_NATIVE(void, setKeyIsIpAddrNative)(JNIEnv* env, jobject, jint value) {
  enterNative<jint>(env, 0, [&] {
    setKeyIsIpAddr(value);
    return 0;
  });
}

}  // namespace cmn::jni
