// What no request layout reaches: accesses at the block's end and texts cut to their field. The
// widths, byte orders and signs of every field are the JVM tests' (every layout, seeded block).
#include "channel/request_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace cmn {
namespace {

// A scratch block of our own, so these tests don't disturb the process-wide one.
RequestBlock& scratch() {
  static RequestBlock block;
  std::memset(block.raw(), 0xEE, kBlockSize);
  return block;
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
