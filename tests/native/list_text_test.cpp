// The list text's entry lines at the edges no answer the simulated executor gives reaches.
#include "config/list_text.h"

#include <gtest/gtest.h>

#include <string>

namespace cmn::config {
namespace {

// The entries of every list, and a list outgrowing its first buffer, are the JVM list tests'.
TEST(ListText, EntryLinesStayInTheirField) {
  char line[kListLineSize];
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
