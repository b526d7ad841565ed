#include "jni/address.h"

#include <gtest/gtest.h>

#include <cstring>

namespace cmn::jni {
namespace {

std::uint32_t octets(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  const std::uint8_t bytes[4] = {a, b, c, d};
  std::uint32_t v;
  std::memcpy(&v, bytes, 4);
  return v;
}

TEST(Address, DottedShape) {
  const struct {
    const char* text;
    int dotted;
  } cases[] = {
      {"10.1.2.3", 1},   {"0x0A.1.2.3", 1}, {"012.1.2.3", 1}, {"167838211", 1},
      {"10.70000", 1},   {"", 1},           {"08.1.2.3", 1},  {"0xff.0XFF.1.2", 1},
      {"10.1.2.", 0},    {".10.1.2", 0},    {"10..2.3", 0},   {"256.1.2.3", 0},
      {"1.2.3.4.5", 0},  {"10.1.2.3x", 0},  {"10.1.70000", 0}, {"1.2.3.256", 0},
      {"1.2.3.4 x", 0},  {"localhost", 0},  {"0x", 1},        {"1.16777216", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isDottedAddress(c.text), c.dotted) << '"' << c.text << '"';
  }
}

// The parser is ours on every host; these are the inputs on which host parsers disagree.
TEST(Address, NumericParsingIsStrictAndTheSameEverywhere) {
  const struct {
    const char* text;
    std::uint32_t address;
  } cases[] = {
      {"10.1.2.3", octets(10, 1, 2, 3)},
      {"0x0A.1.2.3", octets(10, 1, 2, 3)},
      {"012.1.2.3", octets(10, 1, 2, 3)},
      {"167838211", octets(10, 1, 2, 3)},
      {"10.70000", octets(10, 1, 0x11, 0x70)},
      {"10.1.515", octets(10, 1, 2, 3)},
      {"0", octets(0, 0, 0, 0)},
      {"1.2.3.4 x", kAddressNone},   // text after a blank
      {"1.2.3.4 ", kAddressNone},
      {" 1.2.3.4", kAddressNone},
      {"08.1.2.3", kAddressNone},    // 8 is no octal digit
      {"0x", kAddressNone},          // prefix without digits
      {"", kAddressNone},
      {"4294967296", kAddressNone},  // past 32 bits
      {"255.255.255.255", kAddressNone},
      {"1.2.3.4.5", kAddressNone},
      {"1..2", kAddressNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseNumericAddress(c.text), c.address) << '"' << c.text << '"';
  }
}

TEST(Address, Resolution) {
  std::uint32_t out = 0x12345678;
  EXPECT_EQ(resolveAddress("10.1.2.3", &out), 0);
  EXPECT_EQ(out, octets(10, 1, 2, 3));

  out = 0x12345678;
  EXPECT_EQ(resolveAddress("255.255.255.255", &out), 1);
  EXPECT_EQ(out, kAddressNone);
  out = 0x12345678;
  EXPECT_EQ(resolveAddress("", &out), 1);
  EXPECT_EQ(out, kAddressNone);
  out = 0x12345678;
  EXPECT_EQ(resolveAddress("08.1.2.3", &out), 1);  // numeric shape: never looked up by name
  EXPECT_EQ(out, kAddressNone);

  EXPECT_EQ(resolveAddress("localhost", &out), 0);
  EXPECT_EQ(out, octets(127, 0, 0, 1));

  out = 0x12345678;
  EXPECT_EQ(resolveAddress("no-such-host.invalid", &out), 1);
  EXPECT_EQ(out, 0x12345678u);
}

}  // namespace
}  // namespace cmn::jni
