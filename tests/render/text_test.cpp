// The page font renderer: the shade rule's exact arithmetic and the glyph routines' clipping.
#include <gtest/gtest.h>

#include "render/framebuffer.h"
#include "render/text.h"
#include "tests/support/pixel.h"
#include "tests/support/test_font.h"

namespace {

uint32_t Shade(int level, int colour) {
  return Text.ShadeTable[level * ShadeColours + colour];
}

// Counts pixels that differ from `background` within rows y0..y1 (whole width).
int ChangedPixels(uint32_t background, int y0 = 0, int y1 = FrameHeight - 1) {
  int n = 0;
  for (int i = y0 * FrameWidth; i < (y1 + 1) * FrameWidth; ++i) n += FrameBuffer[i] != background;
  return n;
}

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseTestFont();
    ClearFrameBuffer(Background);
  }
  static constexpr uint32_t Background = 0x123456;
};

TEST_F(TextTest, ShadeTableCheckValues) {
  // Level 3 (196, 194, 196) and level 1 (132, 130, 132): the orange, sky and pale-green recipes
  // round exact products of the floored channel and the double constants 0.7 and 0.3.
  EXPECT_EQ(Shade(3, 1), 0xC4C2C4u);
  EXPECT_EQ(Shade(3, 23), 0x825A27u);  // 129 x 0.7 = 90.3 -> 90; 130 x 0.3 just below 39 -> 39
  EXPECT_EQ(Shade(3, 29), 0x5B815Bu);
  EXPECT_EQ(Shade(1, 22), 0x845B28u);
  EXPECT_EQ(Shade(1, 30), 0x2E412Eu);
  EXPECT_EQ(Shade(8, 3), 0x0E0F0Eu);
  EXPECT_EQ(Shade(6, 30), 0x587F58u);  // the full stroke of the last colour
  // Column 0 is empty, and colour 31 reads zero for every level, the last one included.
  for (int level = 0; level < 256; ++level) {
    ASSERT_EQ(Shade(level, 0), 0u);
    ASSERT_EQ(Shade(level, 31), 0u);
  }
}

TEST(ShadeWord, ProductsThatAreHalvesInDoublePrecisionRoundDown) {
  // 5 x 0.7 is 3.4999... exactly (the double 0.7 is below 0.7); a double product would be 3.5
  // and round to 4. Red 5 in pale green (colour 28): round(5 x 0.7) = 3.
  EXPECT_EQ(ShadeWord(28, 5, 0, 0), 0x030000u);
  EXPECT_EQ(ShadeWord(28, 25, 0, 0), 0x110000u);  // 25 x 0.7 -> 17
  EXPECT_EQ(ShadeWord(25, 5, 0, 0), 0x010000u);   // 5 x 0.3 -> 1 (sky blue red)
  EXPECT_EQ(ShadeWord(22, 0, 5, 5), 0x000301u);   // orange: green x 0.7, blue x 0.3
  // The divisor floors: 255 / 1.5 = 170, 255 / 2 = 127.
  EXPECT_EQ(ShadeWord(2, 255, 255, 255), 0xAAAAAAu);
  EXPECT_EQ(ShadeWord(3, 255, 255, 255), 0x7F7F7Fu);
}

TEST_F(TextTest, PageGlyphPaintsItsWholeCellAndClipsToPageRows) {
  DrawGlyphPage("A", 100, 300, 1, 1);
  for (int r = 0; r < 12; ++r) {
    for (int k = 0; k < 9; ++k) {
      // Level 0 paints black: the cell is opaque.
      ASSERT_EQ(Pixel(100 + k, 300 + r), Shade(TestGlyphLevel('A', 1, k, r), 1)) << k << "," << r;
    }
  }
  EXPECT_EQ(Pixel(100, 302), 0u);
  EXPECT_EQ(Pixel(101, 302), 0x646244u);  // level 7 (100, 98, 68) of the heavy "A" in white
  EXPECT_EQ(ChangedPixels(Background), 9 * 12);

  ClearFrameBuffer(Background);
  DrawGlyphPage("A", 400, 186, 2, 4);  // only glyph rows 7..11 land on rows 193..197
  EXPECT_EQ(ChangedPixels(Background, 0, 192), 0);
  EXPECT_EQ(ChangedPixels(Background), 9 * 5);
  EXPECT_EQ(Pixel(400, 193), Shade(TestGlyphLevel('A', 2, 0, 7), 4));
  ClearFrameBuffer(Background);
  DrawGlyphPage("\xDB", 400, 560, 1, 7);  // rows 0..9 only: 560..569
  EXPECT_EQ(ChangedPixels(Background), 9 * 10);
  EXPECT_EQ(Pixel(400, 569), 0x00FE00u);
  EXPECT_EQ(Pixel(400, 570), Background);
}

TEST_F(TextTest, GlyphRoutinesDrawNothingForInvalidArguments) {
  DrawGlyphPage(" ", 100, 300, 1, 1);  // space: the cell stays as it was
  DrawGlyphPage("", 100, 300, 1, 1);
  DrawGlyphPage("\x1F", 100, 300, 1, 1);  // below the space
  DrawGlyphPage("A", 100, 300, 3, 1);     // style 3
  DrawGlyphPage("A", 100, 300, 0, 1);
  DrawGlyphPage("A", 100, 300, 1, 0);   // colour 0
  DrawGlyphPage("A", 100, 300, 1, 32);  // colour 32
  DrawGlyphClipped(" ", 100, 300, 0, 799, 0, 599, 1, 1);
  DrawGlyphClipped("\x04", 100, 300, 0, 799, 0, 599, 1, 1);
  DrawGlyphClipped("A", 100, 300, 0, 799, 0, 599, 1, 32);
  DrawGlyphClipped("\xFF", 100, 300, 0, 799, 0, 599, 2, 1);  // blank in the sheet
  EXPECT_EQ(ChangedPixels(Background), 0);
}

TEST_F(TextTest, ColourThirtyOneIsBlack) {
  DrawGlyphPage("A", 100, 300, 1, 31);  // the whole cell, strokes included, black
  EXPECT_EQ(ChangedPixels(Background), 9 * 12);
  EXPECT_EQ(Pixel(102, 302), 0u);
  ClearFrameBuffer(Background);
  DrawGlyphClipped("\xDB", 100, 300, 0, 799, 0, 599, 1, 31);
  EXPECT_EQ(Pixel(104, 305), 0u);
}

TEST_F(TextTest, ClippedGlyphIsTransparentAndHonoursTheRectangle) {
  DrawGlyphClipped("A", 200, 300, 0, 799, 0, 599, 1, 1);
  int drawn = 0;
  for (int r = 0; r < 12; ++r) {
    for (int k = 0; k < 9; ++k) {
      const uint8_t level = TestGlyphLevel('A', 1, k, r);
      ASSERT_EQ(Pixel(200 + k, 300 + r), level == 0 ? Background : Shade(level, 1));
      drawn += level != 0;
    }
  }
  EXPECT_EQ(ChangedPixels(Background), drawn);

  ClearFrameBuffer(Background);
  DrawGlyphClipped("\xDB", 200, 300, 0, 204, 302, 305, 1, 1);  // columns 0..4, rows 2..5
  EXPECT_EQ(ChangedPixels(Background), 5 * 4);
  EXPECT_EQ(Pixel(204, 302), 0xFCFEFCu);
  EXPECT_EQ(Pixel(205, 302), Background);
  EXPECT_EQ(Pixel(204, 306), Background);
}

TEST_F(TextTest, TextIsDrawnNinePixelsPerCharacter) {
  DrawTextClipped("\xDB\xDB", 23, 300, 0, 799, 0, 599, 1, 1);
  for (int x = 22; x <= 41; ++x) {
    EXPECT_EQ(Pixel(x, 300) != Background, x >= 23 && x <= 40) << x;
  }
}

}  // namespace
