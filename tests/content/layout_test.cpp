// The craft of the issue's pages as the compiled documents hold them: readable text colours,
// boxes that close, rules on blank lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>

#include "render/text.h"
#include "tests/content/issue_pages.h"

namespace {

constexpr unsigned char BoxTopLeft = 0xDA, BoxTopRight = 0xBF, BoxBottomLeft = 0xC0,
                        BoxBottomRight = 0xD9, BoxSide = 0xB3, BoxEdge = 0xC4;

unsigned char At(std::string_view text, size_t column) {
  return column < text.size() ? static_cast<unsigned char>(text[column]) : ' ';
}

// Text colour of a colour code, as the page loader maps it: "1".."9", "A".."V", else 1.
int TextColour(char code) {
  if (code >= '1' && code <= '9') return code - '0';
  if (code >= 'A' && code <= 'V') return code - 'A' + 10;
  return 1;
}

// WCAG contrast of a 0x00RRGGBB colour against black.
double ContrastOnBlack(uint32_t rgb) {
  auto linear = [](uint32_t channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  const double luminance = 0.2126 * linear(rgb >> 16 & 0xFF) + 0.7152 * linear(rgb >> 8 & 0xFF) +
                           0.0722 * linear(rgb & 0xFF);
  return (luminance + 0.05) / 0.05;
}

// The colour a code draws a glyph's full stroke in (font level 6).
double CodeContrast(char code) {
  return ContrastOnBlack(Text.ShadeTable[6 * ShadeColours + TextColour(code)]);
}

TEST(IssueLayout, LettersAndDigitsStandOutFromTheBlackPage) {
  BuildTextColours();
  // The darkest blues are what this guards against; white and the full colours pass easily.
  EXPECT_LT(CodeContrast('B'), 3.0);
  EXPECT_LT(CodeContrast('A'), 3.0);
  EXPECT_GT(CodeContrast('2'), 3.0);
  for (int d = 1; d <= MaxDocument; ++d) {
    for (const PageLine& line : PageLines(d)) {
      for (size_t k = 0; k < line.Text.size(); ++k) {
        const unsigned char c = At(line.Text, k);
        if (!std::isalnum(c)) continue;
        const double contrast = CodeContrast(line.Colour[k]);
        EXPECT_GE(contrast, 3.0) << Where(d, line.Number) << " column " << k + 1 << " '" << c
                                 << "' in colour " << line.Colour[k] << ": " << line.Text;
      }
    }
  }
}

// Every box closes and holds something: its sides run down the columns of its top corners to a
// bottom edge of the same width, and a rule inside it keeps a space from both sides. A wide box is
// either the 80-column title frame or 76 columns, so boxes on different pages line up.
TEST(IssueLayout, BoxesAreRectangularAndWideBoxesShareOneWidth) {
  int boxes = 0;
  for (int d = 1; d <= MaxDocument; ++d) {
    const std::vector<PageLine> lines = PageLines(d);
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string_view top = lines[i].Text;
      for (size_t left = 0; left < top.size(); ++left) {
        if (At(top, left) != BoxTopLeft) continue;
        size_t right = left + 1;
        while (At(top, right) == BoxEdge) ++right;
        if (At(top, right) != BoxTopRight) continue;
        ++boxes;
        const size_t width = right - left + 1;
        const std::string box = Where(d, lines[i].Number) + " column " + std::to_string(left + 1);
        EXPECT_TRUE(width <= 70 || width == 80 || width == 76) << box << " is " << width << " wide";
        bool closed = false;
        for (size_t j = i + 1; j < lines.size() && !closed; ++j) {
          const std::string_view row = lines[j].Text;
          if (At(row, left) == BoxBottomLeft) {
            closed = true;
            EXPECT_GT(j, i + 1) << box << " is empty";
            for (size_t k = left + 1; k < right; ++k) {
              ASSERT_EQ(At(row, k), BoxEdge) << box << ": bottom edge broken at column " << k + 1;
            }
            EXPECT_EQ(At(row, right), BoxBottomRight) << box << ": bottom edge of another width";
            break;
          }
          ASSERT_EQ(At(row, left), BoxSide)
              << box << ": left side missing on line " << lines[j].Number << ": " << row;
          ASSERT_EQ(At(row, right), BoxSide)
              << box << ": right side missing on line " << lines[j].Number << ": " << row;
          const bool ruleRow = At(row, left + 2) == BoxEdge && At(row, right - 2) == BoxEdge;
          if (ruleRow) {
            EXPECT_EQ(At(row, left + 1), ' ') << box << ": rule touches the left side";
            EXPECT_EQ(At(row, right - 1), ' ')
                << box << ": rule touches the right side on line " << lines[j].Number;
          }
        }
        EXPECT_TRUE(closed) << box << " never closes";
      }
    }
  }
  EXPECT_GT(boxes, 40);
}

// --- rules, tables, bars and numbers ------------------------------------------------------

// The space, the control bytes and 0x04 have no glyph; every other byte of a page line draws.
bool HasGlyphs(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) > ' '; });
}

// The viewer draws a rule through the middle of its own line: on a line with glyphs it strikes
// through them, so a rule belongs on a blank line.
TEST(IssueLayout, RulesRunThroughBlankLinesOnly) {
  int struck = 0;
  for (int d = 1; d <= MaxDocument; ++d) {
    for (const PageLine& line : PageLines(d)) {
      if (line.Rule == '0' || !HasGlyphs(line.Text.substr(0, 80))) continue;
      ++struck;
      ADD_FAILURE() << Where(d, line.Number) << ": rule " << line.Rule << " through " << line.Text;
    }
  }
  EXPECT_EQ(struck, 0);
}

}  // namespace
