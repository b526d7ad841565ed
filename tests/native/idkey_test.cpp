#include "jni/idkey.h"

#include <gtest/gtest.h>

#include <string>

namespace cmn::jni {
namespace {

std::uint32_t keyOf(std::string text) {
  std::uint32_t key = 0xDEADBEEF;
  computeIdKey(text.data(), &key);
  return key;
}

TEST(IdKey, Keys) {
  const struct {
    const char* id;
    std::uint32_t key;
  } cases[] = {
      {"abc", 0x01A66882},  // the worked example
      {"ABC", 0x01A66882},
      {"aBc", 0x01A66882},
      {"A", 0x00000040},    // 0xFFFFFFFF + 'A' + terminator, no shift
      {"a", 0x00000040},
      {"", 0xFFFFFFFF},
      {"10.1.2.3", 0x0302010A},
      {"1.2.3.4 x", keyOf("1.2.3.4 X")},  // not an address on any host: hashed
  };
  for (const auto& c : cases) {
    EXPECT_EQ(keyOf(c.id), c.key) << '"' << c.id << '"';
  }
  // 255.255.255.255 is no address, so it is hashed like any text.
  EXPECT_NE(keyOf("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(keyOf("255.255.255.255"), keyOf("255.255.255.255"));
}

TEST(IdKey, UpperCasesTheCallersCopyOnly) {
  std::string text = "web-1.example";
  std::uint32_t key = 0;
  computeIdKey(text.data(), &key);
  EXPECT_EQ(text, "WEB-1.EXAMPLE");
}

TEST(IdKey, HighBytesAreUnsigned) {
  // A byte of 0xE9 must count as 233, not as a negative char.
  std::uint32_t expected = 0xFFFFFFFFu + 0xE9u;
  EXPECT_EQ(keyOf("\xE9"), expected);
}

TEST(IdKey, RotateByteRight) {
  const struct {
    std::uint8_t value;
    unsigned count;
    std::uint8_t rotated;
  } cases[] = {
      {0x41, 0, 0x41}, {0x41, 8, 0x41}, {0x42, 2, 0x90}, {0x43, 5, 0x1A},
      {0x01, 1, 0x80}, {0x80, 7, 0x01}, {0xFF, 3, 0xFF},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rotateByteRight(c.value, c.count), c.rotated)
        << int(c.value) << " by " << c.count;
  }
}

}  // namespace
}  // namespace cmn::jni
