// The text font asset: regenerated from its design it must equal the committed bytes, and the
// committed bytes must keep the sheet layout the renderer relies on.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "generators/fontgen/fontgen.h"

namespace {

// Paths relative to tests/, the working directory of every test.
const char* const GlyphsPath = "../generators/fontgen/glyphs.txt";
const char* const AssetPath = "../assets/fonts/textfont.bin";

std::vector<uint8_t> CommittedAsset() {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(AssetPath, bytes)) << AssetPath;
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// The inked columns of row `at` of a cell (`row`), or the inked rows of its column `at`.
std::set<int> Ink(const std::vector<uint8_t>& asset, int code, int style, int at, bool row) {
  std::set<int> inked;
  for (int i = 0; i < (row ? GlyphWidth : GlyphHeight); ++i) {
    const int x = row ? i : at, y = row ? at : i;
    if (asset[(FontStyleRow[style] + y) * FontSheetWidth + (code - 32) * GlyphWidth + 1 + x] != 0)
      inked.insert(i);
  }
  return inked;
}

TEST(FontAsset, RegeneratesByteForByte) {
  std::string text;
  ASSERT_TRUE(ReadWholeFile(GlyphsPath, text)) << GlyphsPath;
  FontSource source;
  std::vector<uint8_t> built;
  std::string error;
  ASSERT_TRUE(ParseFontSource(text, source, error)) << error;
  ASSERT_TRUE(BuildFontAsset(source, built, error)) << error;
  EXPECT_TRUE(built == CommittedAsset()) << "run the fontgen_assets target";
}

// Arms of the CP437 box-drawing characters 0xB3..0xDA, one group each: up, down, left, right;
// 1 single, 2 double.
const char* const BoxArms =
    "1100 1110 1120 2210 0210 0120 2220 2200 0220 2020 2010 1020 0110 1001 1011 0111 "
    "1101 0011 1111 1102 2201 2002 0202 2022 0222 2202 0022 2222 1022 2011 0122 0211 "
    "2001 1002 0102 0201 2211 1122 1010 0101";

// Every arm meets the cell edge exactly where the straight lines do (│ ║ for vertical arms,
// ─ ═ for horizontal ones), so any two neighbouring box characters join, and an edge without
// an arm stays empty.
TEST(FontAsset, SheetLayoutAndBoxDrawingArmsReachTheirEdges) {
  const std::vector<uint8_t> asset = CommittedAsset();
  ASSERT_EQ(asset.size(), 58112u);  // the sheet, then the palette
  // Levels within the palette, no magenta (level 2), blank gaps between the styles' rows and
  // beside the glyphs.
  for (int y = 0; y < FontSheetHeight; ++y) {
    for (int x = 0; x < FontSheetWidth; ++x) {
      const int level = asset[y * FontSheetWidth + x];
      const bool gap = y == 12 || y == 13 || y == 26 || y == 27 || x == 0 || x >= 2017;
      ASSERT_TRUE(level < FontLevelCount && level != 2 && (!gap || level == 0)) << x << "," << y;
    }
  }
  for (int style = 1; style <= 2; ++style) {
    // Only the blank space (32) and code 255 are empty.
    auto Row = [&](int code, int y) { return Ink(asset, code, style, y, true); };
    auto Col = [&](int code, int x) { return Ink(asset, code, style, x, false); };
    for (int code = 32; code <= 255; ++code) {
      bool empty = true;
      for (int y = 0; y < GlyphHeight; ++y) empty = empty && Row(code, y).empty();
      EXPECT_EQ(empty, code == 32 || code == 255) << "code " << code << " style " << style;
    }
    const std::set<int> verticals[3] = {{}, Row(0xB3, 0), Row(0xBA, 0)};
    const std::set<int> horizontals[3] = {{}, Col(0xC4, 0), Col(0xCD, 0)};
    // The straight lines (│ ║ ─ ═ are rows of the table too); a double line is two lines apart.
    ASSERT_FALSE(verticals[1].empty() || horizontals[1].empty());
    for (const std::set<int>* lines : {verticals, horizontals}) {
      EXPECT_EQ(lines[2].size(), 2 * lines[1].size());
      EXPECT_GT(*lines[2].rbegin() - *lines[2].begin() + 1, static_cast<int>(lines[2].size()))
          << "the two lines of a double must not touch";
    }
    for (int code = 0xB3; code <= 0xDA; ++code) {
      SCOPED_TRACE("code " + std::to_string(code) + " style " + std::to_string(style));
      const char* arms = BoxArms + (code - 0xB3) * 5;
      EXPECT_EQ(Row(code, 0), verticals[arms[0] - '0']);
      EXPECT_EQ(Row(code, 11), verticals[arms[1] - '0']);
      EXPECT_EQ(Col(code, 0), horizontals[arms[2] - '0']);
      EXPECT_EQ(Col(code, 8), horizontals[arms[3] - '0']);
    }
  }
}

// The derivation of the two faces from a skeleton, on a tiny design built here.
TEST(FontDesign, FacesFromSkeleton) {
  std::string design = "glyph 2F slash\n";  // a diagonal from (6,1) down to (2,5)
  for (int y = 0; y < GlyphHeight; ++y) {
    design += y >= 1 && y <= 5 ? std::string(7 - y, '.') + "#" + std::string(y + 1, '.') + "\n"
                               : ".........\n";
  }
  FontSource source;
  std::string error;
  ASSERT_TRUE(ParseFontSource(design, source, error)) << error;
  const GlyphCell light = RenderGlyph(source, 0x2F, 2);
  const GlyphCell heavy = RenderGlyph(source, 0x2F, 1);
  // Light face: the skeleton at full stroke, the steps beside the diagonal in one grey (left of
  // the top pixel and above the next one, below it and right of the next one), nothing elsewhere.
  // Heavy face: every skeleton pixel doubled to the right. Rows: face (1 heavy), x, y, level
  // (-1: the grey of the step at 5,1).
  const int step = light[1 * GlyphWidth + 5];
  EXPECT_TRUE(step != 0 && step != FontInk) << step;
  const int pixels[][4] = {{2, 6, 1, FontInk}, {2, 2, 5, FontInk}, {2, 6, 2, -1},
                           {2, 0, 0, 0},       {2, 8, 5, 0},       {1, 6, 1, FontInk},
                           {1, 7, 1, FontInk}, {1, 2, 5, FontInk}, {1, 3, 5, FontInk}};
  for (const auto& p : pixels) {
    EXPECT_EQ((p[0] == 1 ? heavy : light)[p[2] * GlyphWidth + p[1]], p[3] < 0 ? step : p[3])
        << "style " << p[0] << " at " << p[1] << "," << p[2];
  }
  // A face drawn by hand replaces the derived one and leaves the other face derived.
  std::string drawn = design + "heavy 2F slash\n";
  for (int y = 0; y < GlyphHeight; ++y) drawn += y == 3 ? "...5a4...\n" : ".........\n";
  FontSource withFace;
  ASSERT_TRUE(ParseFontSource(drawn, withFace, error)) << error;
  GlyphCell expected{};
  expected[3 * GlyphWidth + 3] = 5, expected[3 * GlyphWidth + 4] = 10;
  expected[3 * GlyphWidth + 5] = 4;
  EXPECT_EQ(RenderGlyph(withFace, 0x2F, 1), expected);
  EXPECT_EQ(RenderGlyph(withFace, 0x2F, 2), light);
  // Codes that the design does not define render empty.
  EXPECT_EQ(RenderGlyph(source, 0x41, 1), GlyphCell{});
}

TEST(FontDesign, RefusesMalformedSources) {
  std::string twelveRows;
  for (int i = 0; i < 12; ++i) twelveRows += ".........\n";
  const struct {
    const char* what;
    std::string text;
    const char* message;  // part of the expected error
  } cases[] = {
      {"short row", "glyph 41 A\n........\n" + twelveRows, "line 2"},
      {"unknown directive", "glif 41 A\n", "line 1"},
      {"code 20 is the blank space", "glyph 20 space\n" + twelveRows, "line 1"},
      {"code FF is blank", "box FF 1 1 0 0\n", "line 1"},
      {"duplicate", "box B3 1 1 0 0\nbox B3 1 1 0 0\n", "line 2"},
      {"grey in a skeleton", "glyph 41 A\n....4....\n" + twelveRows, "line 2"},
      {"magenta level", "exact 41 A\n....2....\n" + twelveRows, "line 2"},
      {"file ends in a glyph", "glyph 41 A\n.........\n", "ends inside"},
      {"box arm out of range", "box C4 0 0 3 1\n", "line 1"},
      {"drawn face before its glyph", "heavy 41 A\n" + twelveRows, "line 1"},
      {"compose of nothing", "accent dot 1\n...#.....\ncompose 81 75 dot\n", "line 3"},
      {"codes left undefined", "box B3 1 1 0 0\n", "21"},  // parses, but does not build
  };
  for (const auto& c : cases) {
    FontSource source;
    std::vector<uint8_t> asset;
    std::string error;
    EXPECT_FALSE(ParseFontSource(c.text, source, error) && BuildFontAsset(source, asset, error))
        << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
  }
}

}  // namespace
