// The built-in issue as the content store holds it after start-up: every document obeys the
// layout the page loader relies on.
#include <gtest/gtest.h>

#include "content/content.h"

namespace {

TEST(ContentStore, EveryDocumentIsFramedAndWellFormed) {
  ClearContent();
  FillContent();
  for (int d = 1; d <= MaxDocument; ++d) {
    SCOPED_TRACE("document " + std::to_string(d));
    const std::string_view frameRule = d == 20 ? "8" : "0";
    EXPECT_EQ(Content.ContentText[0][d], "");
    EXPECT_EQ(Content.ContentColour[0][d], std::string(80, '1'));
    EXPECT_EQ(Content.ContentRule[0][d], frameRule);
    int end = -1;
    for (int line = 1; line < MaxLine && end < 0; ++line) {
      if (Content.ContentText[line][d].substr(0, 5) == "<END>") end = line;
    }
    ASSERT_GT(end, 0) << "no end marker";
    EXPECT_LE(end, 4999);
    EXPECT_EQ(Content.ContentText[end][d], "<END>");
    EXPECT_EQ(Content.ContentRule[end][d], frameRule);
    for (int line = 0; line <= end; ++line) {
      EXPECT_LE(Content.ContentText[line][d].size(), 80u) << line;
      ASSERT_EQ(Content.ContentColour[line][d].size(), 80u) << line;
      ASSERT_EQ(Content.ContentStyle[line][d].size(), 80u) << line;
      ASSERT_EQ(Content.ContentRule[line][d].size(), 1u) << line;
      for (const char c : Content.ContentStyle[line][d]) ASSERT_TRUE(c == '1' || c == '2') << line;
    }
    // Nothing after the marker, and document 0 is never filled.
    EXPECT_EQ(Content.ContentText[end + 1][d], "");
    EXPECT_EQ(Content.ContentRule[end + 1][d], "");
  }
  for (int line = 0; line <= MaxLine; ++line) ASSERT_EQ(Content.ContentText[line][0], "");
}

TEST(ContentStore, ClearingEmptiesAllFourTables) {
  FillContent();
  ClearContent();
  int left = 0;
  for (int line = 0; line <= MaxLine; ++line) {
    for (int d = 0; d <= MaxDocument; ++d) {
      left += !Content.ContentText[line][d].empty() + !Content.ContentColour[line][d].empty() +
              !Content.ContentStyle[line][d].empty() + !Content.ContentRule[line][d].empty();
    }
  }
  EXPECT_EQ(left, 0);
}

}  // namespace
