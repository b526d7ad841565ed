// The list text: lengths kept across growth, and the entry lines the lists are made of.
#include "config/list_text.h"

#include <gtest/gtest.h>

#include <string>

namespace cmn::config {
namespace {

TEST(ListText, GrowsPastItsFirstBufferKeepingEveryAppend) {
  ListText list;
  ASSERT_TRUE(list.ok());
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    const std::string line = "+entry" + std::to_string(i);
    ASSERT_EQ(i % 2 ? list.append(line.c_str()) : list.append(line.c_str(), line.size()), 0);
    expected += line;
  }
  EXPECT_EQ(list.length(), expected.size());
  EXPECT_EQ(std::string(list.text()), expected);
  EXPECT_GT(list.capacity(), expected.size());
}

TEST(ListText, EntryLines) {
  char line[kListLineSize];
  const struct {
    std::uint32_t number;
    const char* text;
  } numbers[] = {
      {0, "+0"}, {7, "+7"}, {80, "+80"}, {65535, "+65535"}, {4294967295u, "+4294967295"}};
  for (const auto& n : numbers) {
    EXPECT_EQ(numberedEntryLine(n.number, line), std::string(n.text).size());
    EXPECT_STREQ(line, n.text);
  }

  // A text field runs to its first NUL, else to the field's end, never into the next field.
  RequestBlock& b = requestBlock();
  b.fill(100, 16, 0);
  b.putText(100, 8, "web");
  b.putBytes(108, "abcdefgh", 8);
  EXPECT_EQ(namedEntryLine(b, 100, 8, line), 4u);
  EXPECT_STREQ(line, "+web");
  EXPECT_EQ(namedEntryLine(b, 108, 8, line), 9u);
  EXPECT_STREQ(line, "+abcdefgh");
  // The last field of the block, full: cut at the line's end, never read past the block.
  b.fill(kBlockSize - 120, 120, 'x');
  EXPECT_EQ(namedEntryLine(b, kBlockSize - 120, 120, line), kListLineSize - 1);
}

}  // namespace
}  // namespace cmn::config
