// The built-in issue as the content store holds it after start-up: every document obeys the
// layout the page loader relies on, and clearing empties all four tables.
#include <gtest/gtest.h>

#include "content/content.h"

namespace {

TEST(ContentStore, EveryDocumentIsFramedAndWellFormedAndClearingEmptiesIt) {
  ClearContent();
  FillContent();
  for (int d = 1; d <= MaxDocument; ++d) {
    const std::string_view frameRule = d == 20 ? "8" : "0";
    int end = 1;
    while (end < MaxLine && Content.ContentText[end][d].substr(0, 5) != "<END>") ++end;
    ASSERT_LE(end, 4999) << d;
    for (const int line : {0, end}) {
      EXPECT_EQ(Content.ContentText[line][d], line ? "<END>" : "") << d;
      EXPECT_EQ(Content.ContentRule[line][d], frameRule) << d;
    }
    EXPECT_EQ(Content.ContentColour[0][d], std::string(80, '1')) << d;
    for (int line = 0; line <= end; ++line) {
      EXPECT_LE(Content.ContentText[line][d].size(), 80u) << d << " " << line;
      ASSERT_EQ(Content.ContentColour[line][d].size(), 80u) << d << " " << line;
      ASSERT_EQ(Content.ContentStyle[line][d].find_first_not_of("12"), std::string::npos);
      ASSERT_EQ(Content.ContentStyle[line][d].size(), 80u) << d << " " << line;
      ASSERT_EQ(Content.ContentRule[line][d].size(), 1u) << d << " " << line;
    }
    // Nothing after the marker, and document 0 is never filled.
    EXPECT_EQ(Content.ContentText[end + 1][d], "") << d;
    EXPECT_EQ(Content.ContentRule[end + 1][d], "") << d;
  }
  for (int line = 0; line <= MaxLine; ++line) ASSERT_EQ(Content.ContentText[line][0], "");
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
