// The big font sheet: the committed asset is what the generator makes from the committed art, and
// the sheet keeps the layout the intro's text drawing relies on.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "generators/bigfontgen/bigfont_sheet.h"
#include "intro_assets.h"

namespace {

std::vector<uint8_t> Generate() {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(BuildBigFontFile(BigFontArt, bytes, error)) << error;
  return bytes;
}

bool CellHasInk(const std::vector<uint8_t>& sheet, int code) {
  const int left = (code - BigFontFirstCode) * BigFontCell;
  for (int y = 0; y < BigFontSheetHeight; ++y) {
    for (int x = left; x < left + BigFontCell; ++x) {
      if (sheet[static_cast<size_t>(y) * BigFontSheetWidth + x] != 0) return true;
    }
  }
  return false;
}

}  // namespace

TEST(BigFontSheet, CommittedAndEmbeddedBytesMatchTheGenerator) {
  const std::vector<uint8_t> generated = Generate();
  ASSERT_EQ(generated.size(), 61184u);  // 1888 x 32 pixels + 256 x 3 palette bytes

  std::ifstream file("../assets/fonts/bigfont.bin", std::ios::binary);
  ASSERT_TRUE(file) << "run from the tests/ folder";
  const std::vector<uint8_t> committed((std::istreambuf_iterator<char>(file)),
                                       std::istreambuf_iterator<char>());
  EXPECT_TRUE(committed == generated)
      << "assets/fonts/bigfont.bin is stale: cmake --build build --target bigfont";

  const std::vector<uint8_t> embedded(bigfont_bin, bigfont_bin + bigfont_bin_size);
  EXPECT_TRUE(embedded == generated);
}

TEST(BigFontSheet, UsesBlackAndWhiteOnlyAndLeavesExactlyTheFiveBlankCells) {
  const std::vector<uint8_t> sheet = Generate();
  for (size_t i = 0; i < BigFontPixelBytes; ++i) {
    ASSERT_TRUE(sheet[i] == 0 || sheet[i] == 255) << "pixel " << i;
  }
  // Palette: index 0 black (paper), index 255 white (ink).
  EXPECT_EQ(sheet[BigFontPixelBytes + 0], 0);
  EXPECT_EQ(sheet[BigFontPixelBytes + 2], 0);
  EXPECT_EQ(sheet[BigFontPixelBytes + 3 * 255], 255);
  EXPECT_EQ(sheet[BigFontPixelBytes + 3 * 255 + 2], 255);

  for (int code = BigFontFirstCode; code <= BigFontLastCode; ++code) {
    const bool blank = code == ' ' || code == '#' || code == '<' || code == '>' || code == '@';
    EXPECT_EQ(CellHasInk(sheet, code), !blank) << "code " << code;
  }
}

TEST(BigFontSheet, GlyphsKeepClearOfTheCellBorder) {
  // The shadow and highlight passes draw one pixel beside the ink; a 2-pixel margin keeps
  // neighbouring glyphs from merging.
  const std::vector<uint8_t> sheet = Generate();
  for (int x = 0; x < BigFontSheetWidth; ++x) {
    const int inCell = x % BigFontCell;
    for (int y = 0; y < BigFontSheetHeight; ++y) {
      const bool border = inCell < 2 || inCell >= 30 || y < 2 || y >= 30;
      if (border) {
        ASSERT_EQ(sheet[static_cast<size_t>(y) * BigFontSheetWidth + x], 0) << x << "," << y;
      }
    }
  }
}

TEST(BigFontSheet, RejectsMalformedArt) {
  std::vector<uint8_t> bytes;
  std::string error;
  const std::string row = "XXXXXXXXXXXXXX\n";
  std::string fourteenRows;
  for (int i = 0; i < 14; ++i) fourteenRows += row;

  // A glyph for a cell that stays blank.
  EXPECT_FALSE(BuildBigFontFile(("#\n" + fourteenRows).c_str(), bytes, error));
  EXPECT_NE(error.find("blank"), std::string::npos) << error;
  // A row of the wrong width.
  EXPECT_FALSE(BuildBigFontFile("A\nXXX\n", bytes, error));
  // Too few rows before the next glyph.
  EXPECT_FALSE(BuildBigFontFile(("A\n" + row + "B\n" + fourteenRows).c_str(), bytes, error));
  // A code beyond 'Z' (lowercase letters are drawn with the capitals' glyphs).
  EXPECT_FALSE(BuildBigFontFile(("a\n" + fourteenRows).c_str(), bytes, error));
  // Well-formed but incomplete: most glyphs are missing.
  EXPECT_FALSE(BuildBigFontFile(("A\n" + fourteenRows).c_str(), bytes, error));
  EXPECT_NE(error.find("no glyph"), std::string::npos) << error;
  // The same glyph twice.
  EXPECT_FALSE(
      BuildBigFontFile(("A\n" + fourteenRows + "A\n" + fourteenRows).c_str(), bytes, error));
}
