// Big-font text: the title lines, the wave scroller and its holds.
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

// Each row sets the scroller's position, offset and step, draws one frame at `now` with a hold
// until `until`, and expects the position, the offset and whether a hold was asked for. The
// step is the frame time capped at 5 pixels; before IntroStart (the hold) it stands still; the
// first hold marker (character 67) becoming the first visible character asks for a 4 s hold;
// after the last character (881) it wraps to the start; the short last window breaks nothing.
TEST_F(IntroText, ScrollerStepsHoldsAndWraps) {
  UpdateWaveTables();
  const double hold = 100.0 + ScrollerHoldSeconds;
  const struct {
    int Pos;
    double Offset, Step, Now, Until;
    int WantPos;
    double WantOffset;
    bool Hold;
  } rows[] = {{1, 0, 12, 1, 0, 1, -5, false},           {1, -5, 2.5, 1, 0, 1, -7.5, false},
              {1, -7.5, 2.5, 1.5, 2, 1, -7.5, false},   {66, -30, 4, 100, 0, 67, -2, true},
              {67, -2, 4, 103.99, hold, 67, -2, false}, {67, -2, 4, 104.01, hold, 67, -6, false},
              {881, -30, 4, 1, 0, 1, -2, false},        {870, 0, 0, 1, 0, 870, 0, false}};
  for (const auto& r : rows) {
    Intro.ScrollPos = r.Pos;
    Intro.ScrollOffset = r.Offset;
    Shared.IntroStep = r.Step;
    EXPECT_EQ(DrawIntroScroller(r.Now, r.Until), r.Hold) << r.Pos << " at " << r.Now;
    EXPECT_EQ(Intro.ScrollPos, r.WantPos) << r.Pos << " at " << r.Now;
    EXPECT_DOUBLE_EQ(Intro.ScrollOffset, r.WantOffset) << r.Pos << " at " << r.Now;
  }
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
