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

// Arms of the CP437 box-drawing characters 0xB3..0xDA: up, down, left, right; 1 single,
// 2 double.
struct BoxArms {
  int code;
  int up, down, left, right;
};
constexpr BoxArms BoxTable[] = {
    {0xB3, 1, 1, 0, 0}, {0xB4, 1, 1, 1, 0}, {0xB5, 1, 1, 2, 0}, {0xB6, 2, 2, 1, 0},
    {0xB7, 0, 2, 1, 0}, {0xB8, 0, 1, 2, 0}, {0xB9, 2, 2, 2, 0}, {0xBA, 2, 2, 0, 0},
    {0xBB, 0, 2, 2, 0}, {0xBC, 2, 0, 2, 0}, {0xBD, 2, 0, 1, 0}, {0xBE, 1, 0, 2, 0},
    {0xBF, 0, 1, 1, 0}, {0xC0, 1, 0, 0, 1}, {0xC1, 1, 0, 1, 1}, {0xC2, 0, 1, 1, 1},
    {0xC3, 1, 1, 0, 1}, {0xC4, 0, 0, 1, 1}, {0xC5, 1, 1, 1, 1}, {0xC6, 1, 1, 0, 2},
    {0xC7, 2, 2, 0, 1}, {0xC8, 2, 0, 0, 2}, {0xC9, 0, 2, 0, 2}, {0xCA, 2, 0, 2, 2},
    {0xCB, 0, 2, 2, 2}, {0xCC, 2, 2, 0, 2}, {0xCD, 0, 0, 2, 2}, {0xCE, 2, 2, 2, 2},
    {0xCF, 1, 0, 2, 2}, {0xD0, 2, 0, 1, 1}, {0xD1, 0, 1, 2, 2}, {0xD2, 0, 2, 1, 1},
    {0xD3, 2, 0, 0, 1}, {0xD4, 1, 0, 0, 2}, {0xD5, 0, 1, 0, 2}, {0xD6, 0, 2, 0, 1},
    {0xD7, 2, 2, 1, 1}, {0xD8, 1, 1, 2, 2}, {0xD9, 1, 0, 1, 0}, {0xDA, 0, 1, 0, 1},
};

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
    for (const BoxArms& box : BoxTable) {
      SCOPED_TRACE("code " + std::to_string(box.code) + " style " + std::to_string(style));
      EXPECT_EQ(Row(box.code, 0), verticals[box.up]);
      EXPECT_EQ(Row(box.code, 11), verticals[box.down]);
      EXPECT_EQ(Col(box.code, 0), horizontals[box.left]);
      EXPECT_EQ(Col(box.code, 8), horizontals[box.right]);
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
  auto at = [](const GlyphCell& cell, int x, int y) { return int(cell[y * GlyphWidth + x]); };
  // Light face: the skeleton at full stroke, the steps beside the diagonal in one grey (left of
  // the top pixel and above the next one, below it and right of the next one), nothing elsewhere.
  // Heavy face: every skeleton pixel doubled to the right.
  const int step = at(light, 5, 1);
  EXPECT_TRUE(step != 0 && step != FontInk) << step;
  const struct {
    const GlyphCell& face;
    int x, y, level;
  } pixels[] = {{light, 6, 1, FontInk}, {light, 2, 5, FontInk}, {light, 6, 2, step},
                {light, 0, 0, 0},       {light, 8, 5, 0},       {heavy, 6, 1, FontInk},
                {heavy, 7, 1, FontInk}, {heavy, 2, 5, FontInk}, {heavy, 3, 5, FontInk}};
  for (const auto& p : pixels) {
    EXPECT_EQ(at(p.face, p.x, p.y), p.level)
        << (&p.face == &light ? "light " : "heavy ") << p.x << "," << p.y;
  }
  // A face drawn by hand replaces the derived one and leaves the other face derived.
  std::string drawn = design + "heavy 2F slash\n";
  for (int y = 0; y < GlyphHeight; ++y) drawn += y == 3 ? "...5a4...\n" : ".........\n";
  FontSource withFace;
  ASSERT_TRUE(ParseFontSource(drawn, withFace, error)) << error;
  GlyphCell expected{};
  expected[3 * GlyphWidth + 3] = 5;
  expected[3 * GlyphWidth + 4] = 10;
  expected[3 * GlyphWidth + 5] = 4;
  EXPECT_EQ(RenderGlyph(withFace, 0x2F, 1), expected);
  EXPECT_EQ(RenderGlyph(withFace, 0x2F, 2), light);
  // Codes that the design does not define render empty.
  EXPECT_EQ(RenderGlyph(source, 0x41, 1), GlyphCell{});
}

TEST(FontDesign, RefusesMalformedSources) {
  struct Case {
    const char* what;
    std::string text;
    const char* message;  // part of the expected error
  };
  std::string twelveRows;
  for (int i = 0; i < 12; ++i) twelveRows += ".........\n";
  const Case cases[] = {
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
  };
  for (const Case& c : cases) {
    FontSource source;
    std::string error;
    EXPECT_FALSE(ParseFontSource(c.text, source, error)) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
  }
  // A design that parses but leaves a code undefined does not build.
  FontSource source;
  std::string error;
  ASSERT_TRUE(ParseFontSource("box B3 1 1 0 0\n", source, error)) << error;
  std::vector<uint8_t> asset;
  EXPECT_FALSE(BuildFontAsset(source, asset, error));
  EXPECT_NE(error.find("21"), std::string::npos) << error;
}

}  // namespace
