// Executor text on its way to Java: every byte sequence of up to three bytes against a decoder
// that knows only what the JVM accepts (shortest forms of code points up to U+FFFF, and c0 80).
#include "jni/strings.h"

#include <gtest/gtest.h>

#include <string>

#include "jnihost.h"

namespace cmn::jni {
namespace {

// Bytes the JVM takes at s[i], 0 when none: decoded and checked by value, not by lead byte.
std::size_t acceptedAt(const std::string& s, std::size_t i) {
  auto byte = [&](std::size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
  auto cont = [&](std::size_t k) { return (byte(k) & 0xC0) == 0x80; };
  const unsigned b0 = byte(i);
  if (b0 < 0x80) return 1;
  if ((b0 & 0xE0) == 0xC0 && cont(i + 1)) {
    const unsigned cp = (b0 & 0x1F) << 6 | (byte(i + 1) & 0x3F);
    return cp >= 0x80 || cp == 0 ? 2 : 0;
  }
  if ((b0 & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
    const unsigned cp = (b0 & 0x0F) << 12 | (byte(i + 1) & 0x3F) << 6 | (byte(i + 2) & 0x3F);
    return cp >= 0x800 ? 3 : 0;
  }
  return 0;
}

std::string expected(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = acceptedAt(s, i);
    out += n ? s.substr(i, n) : "?";
    i += n ? n : 1;
  }
  return out;
}

TEST(ModifiedUtf8, EverySequenceOfUpToThreeBytes) {
  std::string s;
  for (unsigned a = 1; a < 256; ++a) {
    for (unsigned b = 0; b < 256; ++b) {
      for (unsigned c = 0; c < 256; ++c) {
        s.assign({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
        // A zero byte ends the text, so the shorter sequences are the prefixes.
        const std::string text = s.substr(0, b == 0 ? 1 : c == 0 ? 2 : 3);
        const std::string got = toModifiedUtf8(text.c_str());
        if (got != expected(text)) {
          FAIL() << std::hex << a << ' ' << b << ' ' << c << ": " << got;
        }
        if (b == 0) break;
      }
    }
  }
}

// A text of known length (a list's) reaches Java as the same characters whichever way it goes:
// all ASCII as bytes, anything else through NewStringUTF after the replacements above. Long
// texts are scanned in runs of 32 bytes: an offending byte or sequence at any place within or
// across a run is still found and what follows it kept, and a byte beyond ASCII anywhere keeps
// the text off the byte path (the host's String(byte[], int, int, int) reports a character
// beyond ASCII).
TEST(ModifiedUtf8, TextsOfKnownLengthReachJavaAsExpected) {
  jnihost::Host host;
  JNIEnv* env = host.env();
  host.beginCall("strings");
  for (const std::string odd :
       {"", "\xff\xc3\xa9", "\xe0\x80\x80", "\xc3", "\xed\xa0", "\xc3\xa9"}) {
    for (std::size_t at = 0; at <= 70; ++at) {
      const std::string text = std::string(at, 'a') + odd + std::string(40, 'z');
      jstring string = newJavaString(env, text.c_str(), text.size());
      ASSERT_NE(string, nullptr) << at;
      EXPECT_EQ(host.deref(string)->text, expected(text)) << at;
      env->DeleteLocalRef(string);
    }
  }
  EXPECT_EQ(host.endCall(), "");
  EXPECT_TRUE(host.violations().empty());
}

}  // namespace
}  // namespace cmn::jni
