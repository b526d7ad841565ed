#include "channel/request_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace cmn {
namespace {

// A scratch block of our own, so these tests don't disturb the process-wide one.
RequestBlock& scratch() {
  static RequestBlock block;
  std::memset(block.raw(), 0xEE, kBlockSize);
  return block;
}

std::vector<std::uint8_t> bytesAt(const RequestBlock& b, std::uint32_t offset, std::uint32_t n) {
  return std::vector<std::uint8_t>(b.raw() + offset, b.raw() + offset + n);
}

struct WidthCase {
  const char* name;
  void (*put)(RequestBlock&);
  std::uint32_t offset;
  std::vector<std::uint8_t> expected;
};

TEST(RequestBlock, WritesEachWidthInItsByteOrderAndTouchesNothingElse) {
  const WidthCase cases[] = {
      {"u8", [](RequestBlock& b) { b.putU8(20, 0xAB); }, 20, {0xAB}},
      {"u16 host", [](RequestBlock& b) { b.putU16(20, 0x1234); }, 20, {0x34, 0x12}},
      {"u16 network", [](RequestBlock& b) { b.putU16(20, 80, ByteOrder::Network); }, 20,
       {0x00, 0x50}},
      {"u32 host", [](RequestBlock& b) { b.putU32(20, 0x01020304); }, 20, {4, 3, 2, 1}},
      {"u32 network", [](RequestBlock& b) { b.putU32(20, 0x0A010203, ByteOrder::Network); },
       20, {10, 1, 2, 3}},
      {"i64 of -1", [](RequestBlock& b) { b.putI64(32, -1); }, 32,
       {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"u64 host", [](RequestBlock& b) { b.putU64(32, 0x0000000100000005ull); }, 32,
       {5, 0, 0, 0, 1, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RequestBlock& b = scratch();
    c.put(b);
    EXPECT_EQ(bytesAt(b, c.offset, static_cast<std::uint32_t>(c.expected.size())), c.expected);
    EXPECT_EQ(b.u8(c.offset - 1), 0xEE);
    EXPECT_EQ(b.u8(c.offset + static_cast<std::uint32_t>(c.expected.size())), 0xEE);
  }
}

TEST(RequestBlock, ReadsBackSignAndZeroExtensionAsStored) {
  RequestBlock& b = scratch();
  b.putU16(40, 0xFFFF);
  EXPECT_EQ(b.u16(40), 0xFFFF);
  EXPECT_EQ(b.i16(40), -1);
  b.putU16(72, 8080, ByteOrder::Network);
  EXPECT_EQ(b.u16(72, ByteOrder::Network), 8080);
  EXPECT_EQ(b.u16(72), 0x901F);
  b.putU64(48, 0x100000005ull);
  EXPECT_EQ(static_cast<std::int32_t>(b.u64(48)), 5);
}

TEST(RequestBlock, AccessAtTheEndStaysInsideTheBlock) {
  RequestBlock& b = scratch();
  b.putU32(kBlockSize - 4, 0x11223344);
  EXPECT_EQ(b.u32(kBlockSize - 4), 0x11223344u);
  // One byte too far: nothing is written and the read gives zero.
  b.putU32(kBlockSize - 3, 0);
  EXPECT_EQ(b.u32(kBlockSize - 4), 0x11223344u);
  EXPECT_EQ(b.u32(kBlockSize - 3), 0u);
  EXPECT_EQ(b.u64(0xFFFFFFFCu), 0u);  // offset + width would wrap in 32 bits
  b.fill(kBlockSize - 2, 3, 0);
  EXPECT_EQ(b.u8(kBlockSize - 1), 0x11);
  EXPECT_FALSE(b.putText(kBlockSize - 4, 5, "abc"));
}

TEST(RequestBlock, TextIsCutToItsFieldAndAlwaysTerminated) {
  RequestBlock& b = scratch();
  EXPECT_TRUE(b.putText(104, 65, std::string(64, 'x').c_str()));
  EXPECT_EQ(b.u8(104 + 64), 0);
  EXPECT_EQ(b.u8(104 + 65), 0xEE);
  EXPECT_FALSE(b.putText(104, 65, std::string(65, 'y').c_str()));
  EXPECT_EQ(b.u8(104 + 63), 'y');
  EXPECT_EQ(b.u8(104 + 64), 0);
  EXPECT_EQ(b.u8(104 + 65), 0xEE);

  // An unterminated field reads up to its end and no further.
  b.fill(20, 100, 'v');
  char out[200];
  EXPECT_EQ(b.getText(20, 100, out, sizeof(out)), 100u);
  EXPECT_EQ(std::string(out), std::string(100, 'v'));
  // A small out buffer bounds the copy too.
  EXPECT_EQ(b.getText(20, 100, out, 8), 7u);
  EXPECT_STREQ(out, "vvvvvvv");
}

}  // namespace
}  // namespace cmn
