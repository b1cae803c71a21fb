// Raster bars kept inside the frame, star field, the wave and colour tables, and the random
// sequence the stars and the tune choice draw from.
#include <cmath>
#include <tuple>

#include "common/shared_state.h"
#include "render/intro_backdrop.h"
#include "tests/intro/intro_fixture.h"

using IntroBackdrop = IntroTest;

TEST_F(IntroBackdrop, WaveTopsStayWithin137To483AndReflectionWithin514To670) {
  // 100 x A + 73 x B + 310 with A, B in [-1, 1]; a sweep of phases reaches both ends.
  int low = 1000, high = -1000, mirrorLow = 1000, mirrorHigh = -1000;
  for (double phase = 0; phase < 3000; phase += 2.3) {
    Shared.IntroPhase = phase;
    UpdateWaveTables();
    for (int j = 0; j < WaveColumns; ++j) {
      low = std::min(low, Intro.WaveTop[j]);
      high = std::max(high, Intro.WaveTop[j]);
      mirrorLow = std::min(mirrorLow, Intro.ReflectionTop[j]);
      mirrorHigh = std::max(mirrorHigh, Intro.ReflectionTop[j]);
    }
  }
  EXPECT_EQ(std::tuple(low, high, mirrorLow, mirrorHigh), std::tuple(137, 483, 514, 670));
  // Phase 0, column 0: both sines 0; columns are paired by (j + 1) div 2.
  Shared.IntroPhase = 0.0;
  UpdateWaveTables();
  EXPECT_EQ(Intro.WaveTop[0], 310);
  EXPECT_EQ(Intro.ReflectionTop[0], 592);
  EXPECT_EQ(Intro.WaveTop[799], Intro.WaveTop[800]);
  // At phase 0 the small bar of step 1 starts at row 584 and would reach 615: rows from 600 on
  // are skipped, and no bar starts above row 275.
  DrawRasterBars();
  EXPECT_EQ(FrameBuffer[FrameWidth * FrameHeight], Untouched);
  EXPECT_EQ(Pixel(0, 274), Untouched);
}

TEST_F(IntroBackdrop, StarsMoveByLayerSpeedAndStayInsideTheirRowsAndColumns) {
  ScatterStars();
  Intro.StarX[1] = Intro.StarX[101] = 10.0;
  Intro.StarX[201] = 799.5;
  Intro.StarY[201] = 50.0;
  Shared.IntroStep = 250.0 / 100.0;  // a 10 ms frame: 1.5, 3 and 4.5 pixels
  DrawStarField();
  EXPECT_DOUBLE_EQ(Intro.StarX[1], 11.5);
  EXPECT_DOUBLE_EQ(Intro.StarX[101], 13.0);
  // 799.5 + 4.5 = 804 wraps to 4 in the same frame, and px = 799 was not drawn.
  EXPECT_DOUBLE_EQ(Intro.StarX[201], 4.0);
  EXPECT_EQ(Intro.StarY[201], 50.0);
  EXPECT_EQ(Pixel(799, 50), Untouched);
  EXPECT_EQ(Pixel(798, 50), Untouched);
  for (int frame = 0; frame < 500; ++frame) {
    Shared.IntroStep = 3.7 + (frame % 5);
    DrawStarField();
  }
  for (int i = 0; i <= FrameWidth * FrameHeight; ++i) {
    const int x = i % FrameWidth, y = i / FrameWidth;
    const bool outside = y < 21 || y > 493 || x < 4 || x > 797;
    ASSERT_TRUE(!outside || FrameBuffer[i] == Untouched) << x << "," << y;
  }
}

// The first values of the generator, times 2^53, worked out with an independent xorshift64*
// (shifts 12, 25, 27, multiplier 0x2545F4914F6CDD1D, the top 53 bits): from the fixed start state
// 0x9E3779B97F4A7C15, from seed 0 (its bits are 0, so the same state), and from seed 1000.25
// (bits 0x408F420000000000 XOR the start state).
TEST(RandomSequence, SeededSequencesArePinned) {
  const struct {
    const char* Name;
    double Seed;  // < 0: the fixed start state, no seed
    uint64_t First[3];
  } rows[] = {
      {"start state", -1, {475497915171881, 2982466348269523, 5920588396760897}},
      {"seed 0", 0.0, {475497915171881, 2982466348269523, 5920588396760897}},
      {"seed 1000.25", 1000.25, {8171680391978715, 1178847392022335, 2931419444926547}},
  };
  for (const auto& row : rows) {
    row.Seed < 0 ? ResetRandom() : SeedRandom(row.Seed);
    for (const uint64_t expected : row.First)
      EXPECT_EQ(static_cast<uint64_t>(RandomUniform() * 9007199254740992.0), expected) << row.Name;
  }
}
