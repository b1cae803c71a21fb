// Big-font text: the title lines, the wave scroller and its holds, the backdrop.
#include <algorithm>
#include <string>

#include "common/random.h"
#include "common/shared_state.h"
#include "render/intro_backdrop.h"
#include "tests/intro/intro_fixture.h"

namespace {

// Replaces the font with solid 32 x 32 blocks, so glyph edges sit exactly on the cell edges.
void UseSolidFont() {
  std::fill(std::begin(Intro.BigFontSheet), std::end(Intro.BigFontSheet), 255u);
  std::fill(std::begin(Intro.BigFontInk), std::end(Intro.BigFontInk), 1);
}

bool RowsUntouched(int from, int to) {
  for (int i = from * FrameWidth; i < to * FrameWidth; ++i) {
    if (FrameBuffer[i] != Untouched) return false;
  }
  return true;
}

}  // namespace

using IntroText = IntroTest;

TEST_F(IntroText, CharactersOutsideTheSheetAreSkippedAndTheLineClosesUp) {
  UseSolidFont();
  UpdateWaveTables();
  DrawBigText("A[B", 100);  // centred on three characters: x = 352; A at 352, B at 384
  EXPECT_EQ(Pixel(352, 110), Intro.TitleRamp[110]);
  EXPECT_EQ(Pixel(415, 110), Intro.TitleRamp[110]);
  EXPECT_EQ(Pixel(417, 110), Untouched);

  ClearFrameBuffer(Untouched);
  DrawBigText("", 100);
  EXPECT_TRUE(RowsUntouched(0, FrameHeight));
}

TEST_F(IntroText, ScrollerStepIsFrameTimeCappedAtFivePixels) {
  UpdateWaveTables();
  double holdUntil = 0.0;
  Shared.IntroStep = 12.0;  // a 48 ms frame
  DrawIntroScroller(1.0, holdUntil);
  EXPECT_DOUBLE_EQ(Intro.ScrollOffset, -5.0);
  Shared.IntroStep = 2.5;
  DrawIntroScroller(1.0, holdUntil);
  EXPECT_DOUBLE_EQ(Intro.ScrollOffset, -7.5);
  // Before IntroStart the scroller stands still.
  holdUntil = 2.0;
  DrawIntroScroller(1.5, holdUntil);
  EXPECT_DOUBLE_EQ(Intro.ScrollOffset, -7.5);
}

TEST_F(IntroText, HoldMarkerStopsTheScrollerForFourSeconds) {
  UpdateWaveTables();
  Shared.IntroStep = 4.0;
  Intro.ScrollPos = 66;  // the last leading space; the first hold marker is character 67
  Intro.ScrollOffset = -30.0;
  // The marker becomes the first visible character: the scroller asks for a hold.
  EXPECT_TRUE(DrawIntroScroller(100.0, 0.0));
  EXPECT_EQ(Intro.ScrollPos, 67);
  EXPECT_DOUBLE_EQ(Intro.ScrollOffset, -2.0);
  const double holdUntil = 100.0 + ScrollerHoldSeconds;

  EXPECT_FALSE(DrawIntroScroller(103.99, holdUntil));
  EXPECT_DOUBLE_EQ(Intro.ScrollOffset, -2.0);
  DrawIntroScroller(104.01, holdUntil);
  EXPECT_DOUBLE_EQ(Intro.ScrollOffset, -6.0);
}

TEST_F(IntroText, ScrollerWrapsToTheStartAfterTheLastCharacter) {
  UpdateWaveTables();
  Shared.IntroStep = 4.0;
  Intro.ScrollPos = 881;
  Intro.ScrollOffset = -30.0;
  DrawIntroScroller(1.0, 0.0);
  EXPECT_EQ(Intro.ScrollPos, 1);
  EXPECT_DOUBLE_EQ(Intro.ScrollOffset, -2.0);
  // The last window is short: the three spaces and 55 asterisks end at 881; nothing breaks.
  Intro.ScrollPos = 870;
  Intro.ScrollOffset = 0.0;
  Shared.IntroStep = 0.0;
  DrawIntroScroller(1.0, 0.0);
  EXPECT_EQ(Intro.ScrollPos, 870);
}

TEST_F(IntroText, ScrollerAndReflectionStayInRows136To598) {
  Shared.IntroStep = 3.0;
  for (double phase = 0; phase < 400; phase += 1.9) {
    Shared.IntroPhase = phase;
    UpdateWaveTables();
    ClearFrameBuffer(Untouched);
    Intro.ScrollPos = static_cast<int>(IntroScrollText.find("ALLWAYS")) + 1;
    DrawIntroScroller(1.0, 0.0);
    ASSERT_TRUE(RowsUntouched(0, 136)) << phase;
    ASSERT_TRUE(RowsUntouched(599, FrameHeight)) << phase;
    ASSERT_EQ(FrameBuffer[FrameWidth * FrameHeight], Untouched);
  }
}

TEST_F(IntroText, BackdropIsABlueFadeOverRows1To50) {
  PaintIntroBackdrop();
  EXPECT_EQ(Pixel(0, 0), 0u);
  EXPECT_EQ(Pixel(0, 1), 150u);
  EXPECT_EQ(Pixel(799, 2), 147u);
  EXPECT_EQ(Pixel(400, 50), 3u);
  EXPECT_EQ(Pixel(400, 51), 0u);
  EXPECT_EQ(Pixel(799, 599), 0u);
  EXPECT_EQ(FrameBuffer[FrameWidth * FrameHeight], Untouched);
}
