// The page font renderer: the shade rule's exact arithmetic and the glyph routines' clipping.
#include <gtest/gtest.h>

#include "render/framebuffer.h"
#include "render/text.h"
#include "tests/support/pixel.h"
#include "tests/support/test_font.h"

namespace {

constexpr uint32_t Ground = 0x123456;

uint32_t Shade(int level, int colour) {
  return Text.ShadeTable[level * ShadeColours + colour];
}

// Pixels that differ from the ground.
int Changed() {
  int n = 0;
  for (int i = 0; i < FrameWidth * FrameHeight; ++i) n += FrameBuffer[i] != Ground;
  return n;
}

TEST(Shade, TableAndWordRoundExactProducts) {
  UseTestFont();
  // Rows {level, colour, 0, 0, 0, want} read the table, level 9 is ShadeWord(colour, r, g, b):
  // 129 x 0.7 = 90.3 -> 90; 130 x 0.3 just below 39 -> 39; 5 x 0.7 is 3.4999... in doubles -> 3.
  const uint32_t rows[][6] = {
      {3, 1, 0, 0, 0, 0xC4C2C4},      {3, 23, 0, 0, 0, 0x825A27}, {3, 29, 0, 0, 0, 0x5B815B},
      {1, 22, 0, 0, 0, 0x845B28},     {1, 30, 0, 0, 0, 0x2E412E}, {8, 3, 0, 0, 0, 0x0E0F0E},
      {6, 30, 0, 0, 0, 0x587F58},     {9, 28, 5, 0, 0, 0x030000}, {9, 28, 25, 0, 0, 0x110000},
      {9, 25, 5, 0, 0, 0x010000},     {9, 22, 0, 5, 5, 0x000301}, {9, 2, 255, 255, 255, 0xAAAAAA},
      {9, 3, 255, 255, 255, 0x7F7F7F}};
  for (const auto& r : rows) {
    const uint32_t got = r[0] == 9 ? ShadeWord(r[1], r[2], r[3], r[4]) : Shade(r[0], r[1]);
    EXPECT_EQ(got, r[5]) << r[0] << " " << r[1] << " " << r[2];
  }
  for (int level = 0; level < 256; ++level) ASSERT_EQ(Shade(level, 0) | Shade(level, 31), 0u);
}

// Each row draws one glyph on a fresh ground: the pixels changed, one pixel's colour, and a
// neighbour (nx, ny) that keeps the ground. Page cells clip to the page rows 193..569.
TEST(Glyphs, CellsClipAndInvalidArgumentsDrawNothing) {
  UseTestFont();
  const struct {
    bool Page;  // DrawGlyphPage, else DrawGlyphClipped over (left..right, top..bottom)
    const char* Glyph;
    int X, Y, Right, Top, Bottom, Style, Colour, Count, PX, PY;
    uint32_t Want;
    int NX, NY;
  } rows[] = {
      {true, "A", 100, 300, 0, 0, 0, 1, 1, 108, 101, 302, 0x646244, 100, 312},  // level 7
      {true, "A", 400, 186, 0, 0, 0, 2, 4, 45, 400, 193, Shade(TestGlyphLevel('A', 2, 0, 7), 4),
       400, 192},
      {true, "\xDB", 400, 560, 0, 0, 0, 1, 7, 90, 400, 569, 0x00FE00, 400, 570},
      {true, "A", 100, 300, 0, 0, 0, 1, 31, 108, 102, 302, 0, 100, 312},  // colour 31: black
      {false, "\xDB", 200, 300, 204, 302, 305, 1, 1, 20, 204, 302, 0xFCFEFC, 205, 302},
      {false, "\xDB", 100, 300, 799, 0, 599, 1, 31, 108, 104, 305, 0, 100, 312},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& r = rows[i];
    ClearFrameBuffer(Ground);
    if (r.Page)
      DrawGlyphPage(r.Glyph, r.X, r.Y, r.Style, r.Colour);
    else
      DrawGlyphClipped(r.Glyph, r.X, r.Y, 0, r.Right, r.Top, r.Bottom, r.Style, r.Colour);
    EXPECT_EQ(Changed(), r.Count) << "row " << i;
    EXPECT_EQ(Pixel(r.PX, r.PY), r.Want) << "row " << i;
    EXPECT_EQ(Pixel(r.NX, r.NY), Ground) << "row " << i;
  }
  ClearFrameBuffer(Ground);
  // Space, empty, below the space, styles 3 and 0, colours 0 and 32.
  const struct {
    const char* Glyph;
    int Style, Colour;
  } bad[] = {{" ", 1, 1}, {"", 1, 1},  {"\x1F", 1, 1}, {"A", 3, 1},
             {"A", 0, 1}, {"A", 1, 0}, {"A", 1, 32}};
  for (const auto& [glyph, style, colour] : bad) {
    DrawGlyphPage(glyph, 100, 300, style, colour);
    DrawGlyphClipped(glyph, 100, 300, 0, 799, 0, 599, style, colour);
  }
  DrawGlyphClipped("\x04", 100, 300, 0, 799, 0, 599, 1, 1);
  DrawGlyphClipped("\xFF", 100, 300, 0, 799, 0, 599, 2, 1);  // blank in the sheet
  EXPECT_EQ(Changed(), 0);
}

TEST(Glyphs, PageCellsAreOpaqueClippedOnesTransparentAndTextStepsNine) {
  UseTestFont();
  for (const bool page : {true, false}) {
    ClearFrameBuffer(Ground);
    page ? DrawGlyphPage("A", 200, 300, 1, 1)
         : DrawGlyphClipped("A", 200, 300, 0, 799, 0, 599, 1, 1);
    for (int r = 0; r < 12; ++r) {
      for (int k = 0; k < 9; ++k) {
        const uint8_t level = TestGlyphLevel('A', 1, k, r);
        ASSERT_EQ(Pixel(200 + k, 300 + r), !page && level == 0 ? Ground : Shade(level, 1))
            << page << " " << k << "," << r;
      }
    }
  }
  ClearFrameBuffer(Ground);
  DrawTextClipped("\xDB\xDB", 23, 300, 0, 799, 0, 599, 1, 1);
  for (int x = 22; x <= 41; ++x) EXPECT_EQ(Pixel(x, 300) != Ground, x >= 23 && x <= 40) << x;
}

}  // namespace
