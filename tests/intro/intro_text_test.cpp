// Big-font text: the title lines, the wave scroller and its holds, the backdrop, the scroll text.
#include <algorithm>
#include <cmath>
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

// Distance the scroller has travelled from its start.
double Travelled() {
  return (Intro.ScrollPos - 1) * 32.0 - Intro.ScrollOffset;
}

}  // namespace

using IntroText = IntroTest;

TEST_F(IntroText, BigFontInkIsWhereThePaletteWordIsNotBlack) {
  // The built-in sheet: index 255 is white, index 0 black.
  EXPECT_EQ(Intro.BigFontPalette[0], 0u);
  EXPECT_EQ(Intro.BigFontPalette[255], 0xFFFFFFu);
  for (int i = 0; i < BigFontWidth * BigFontHeight; ++i) {
    ASSERT_EQ(Intro.BigFontInk[i], Intro.BigFontSheet[i] == 255 ? 1 : 0) << i;
  }
  // "A" (code 65, cell 33) has ink; the space cell has none.
  EXPECT_EQ(Intro.BigFontInk[16 * BigFontWidth + 33 * 32 + 4], 1);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) ASSERT_EQ(Intro.BigFontInk[y * BigFontWidth + x], 0);
  }
}

TEST(IntroScrollText, HoldsNamesAndLength) {
  const std::string_view text = IntroScrollText;
  ASSERT_EQ(text.size(), 881u);
  EXPECT_EQ(text.find_first_not_of(' '), 66u);
  EXPECT_EQ(text.substr(66, 19), "a     ** WELCOME **");
  EXPECT_EQ(text.substr(text.size() - 58), "   " + std::string(55, '*'));
  EXPECT_NE(text.find("MUSIC BY: a     *ARVID KELDANE*      PROGRAMMING BY: "), std::string::npos);
  EXPECT_NE(text.find("ROUTINE BY: a     *ULRIK BRANDVOLD*       PLEASE PRESS"), std::string::npos);
  EXPECT_NE(text.find("12 CLASSIC SID TUNES"), std::string::npos);
  // Five hold markers and no other lowercase letter; every character has a cell in the sheet.
  EXPECT_EQ(std::count(text.begin(), text.end(), 'a'), 5);
  for (const char c : text) {
    EXPECT_TRUE(c == 'a' || (c >= 32 && c <= 90)) << "character " << int(c);
  }
}

TEST_F(IntroText, BigTextIsCentredAndDrawsShadowHighlightAndBody) {
  UseSolidFont();
  Shared.IntroPhase = 0.0;
  UpdateWaveTables();
  DrawBigText("issue number 47", 200);               // 15 characters: x = 400 - 240 = 160
  EXPECT_EQ(Pixel(159, 199), 0xFFFFFFu);             // highlight, up and left
  EXPECT_EQ(Pixel(160, 200), Intro.TitleRamp[200]);  // body, coloured by row
  EXPECT_EQ(Pixel(639, 231), Intro.TitleRamp[231]);
  EXPECT_EQ(Pixel(640, 232), 0x444444u);  // shadow, down and right
  EXPECT_EQ(Pixel(641, 232), Untouched);
  EXPECT_EQ(Pixel(158, 200), Untouched);
  EXPECT_TRUE(RowsUntouched(0, 199));
  EXPECT_TRUE(RowsUntouched(233, FrameHeight));
}

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

TEST_F(IntroText, LowercaseIsDrawnAsCapitals) {
  UpdateWaveTables();
  DrawBigText("Released on", 126);
  std::vector<uint32_t> lower(FrameBuffer, FrameBuffer + FrameWords);
  ClearFrameBuffer(Untouched);
  DrawBigText("RELEASED ON", 126);
  EXPECT_TRUE(std::equal(lower.begin(), lower.end(), FrameBuffer));
}

TEST_F(IntroText, TitleBoxStaysInRows92To389) {
  for (double phase : {0.0, 33.3, 250.0}) {
    Shared.IntroPhase = phase;
    UpdateWaveTables();
    ClearFrameBuffer(Untouched);
    DrawIntroBox();
    EXPECT_TRUE(RowsUntouched(0, 92));
    EXPECT_FALSE(RowsUntouched(92, 390));
    EXPECT_TRUE(RowsUntouched(390, FrameHeight));
  }
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

TEST_F(IntroText, HoldMarkerTakesABlankCell) {
  Shared.IntroPhase = 0.0;
  UpdateWaveTables();
  Shared.IntroStep = 0.0;
  // "aTHE QUELLMARK 47": the marker's cell at x 0..31 stays empty, "T" fills 32..63.
  Intro.ScrollPos = static_cast<int>(IntroScrollText.find("aTHE")) + 1;
  Intro.ScrollOffset = 0.0;
  DrawIntroScroller(0.0, 1e9);
  auto columnHasInk = [](int x) {
    for (int y = 0; y < FrameHeight; ++y) {
      if (Pixel(x, y) != Untouched) return true;
    }
    return false;
  };
  for (int x = 1; x < 32; ++x) EXPECT_FALSE(columnHasInk(x)) << x;
  EXPECT_TRUE(columnHasInk(40));
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

// The effects scale by frame time: 25 s of intro at 60 and at 144 frames per second end with the
// same clock, and with the stars and the scroller within one frame's movement of each other.
TEST_F(IntroText, SixtyAndOneHundredFortyFourHertzLookTheSame) {
  struct Run {
    double phase, travelled;
    double starX[StarCount + 1];
  };
  auto simulate = [](double hz, Run& run) {
    ResetApp();
    SeedRandom(0.0);
    ResetIntroEffects();
    BuildBigFont();
    ScatterStars();
    UpdateWaveTables();  // only the scroller's positions matter here, not its shape
    const double dt = 1.0 / hz;
    const int frames = static_cast<int>(std::lround(25.0 * hz));
    double now = 0.0;
    for (int f = 0; f < frames; ++f) {
      DrawStarField();
      DrawIntroScroller(now, 0.0);
      now += dt;
      Shared.IntroStep = dt * 250.0;
      Shared.IntroPhase += dt * 50.0;
    }
    run.phase = Shared.IntroPhase;
    run.travelled = Travelled();
    std::copy(Intro.StarX, Intro.StarX + StarCount + 1, run.starX);
  };
  static Run slow, fast;
  simulate(60.0, slow);
  simulate(144.0, fast);
  EXPECT_NEAR(slow.phase, 1250.0, 1e-6);
  EXPECT_NEAR(fast.phase, 1250.0, 1e-6);
  // Motion uses the previous frame's duration, so each run lags by its own frame time; two holds
  // have begun as well, each starting on a frame boundary. A 60 Hz frame moves the scroller
  // 250 / 60 pixels and a fast star 450 / 60.
  EXPECT_NEAR(slow.travelled, fast.travelled, 2 * 250.0 / 60.0);
  EXPECT_GT(slow.travelled, 250.0 * 15);
  for (int n = 1; n <= StarCount; ++n) {
    const double gap = std::fabs(slow.starX[n] - fast.starX[n]);
    EXPECT_LE(std::min(gap, 800.0 - gap), 450.0 / 60.0) << "star " << n;
  }
}
