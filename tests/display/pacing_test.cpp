// Frame pacing, short clicks and taps, close requests and sharp scaling, on the headless display
// and its virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "display/display.h"
#include "display/frame_pacing.h"
#include "display/headless.h"
#include "display/sharp_scale.h"

namespace {

TEST(FramePacing, PresentsThatReturnAtOnceAreHeldToTheRefreshRate) {
  FramePacer pacer;
  FramePacingSetRate(pacer, 0);  // not reported: 60 Hz
  double now = 10.0;
  now += FramePacingDelay(pacer, now);
  for (int i = 0; i < 120; ++i) {
    now += 0.004;  // drawing and a present that did not wait
    now += FramePacingDelay(pacer, now);
  }
  EXPECT_NEAR(now - 10.0, 2.0, 1e-9);
}

TEST(FramePacing, PresentsThatWaitedAndSlowFramesGetNoExtraSleep) {
  FramePacer pacer;
  FramePacingSetRate(pacer, 60);
  EXPECT_EQ(FramePacingDelay(pacer, 1.0), 0.0);
  // A 62.5 Hz retrace wait: a little shorter than the reported period, still no sleep.
  EXPECT_EQ(FramePacingDelay(pacer, 1.016), 0.0);
  // A slow frame is not followed by a burst: the next one again lasts one period.
  EXPECT_EQ(FramePacingDelay(pacer, 1.2), 0.0);
  EXPECT_NEAR(FramePacingDelay(pacer, 1.201), 1.0 / 60 - 0.001, 1e-9);
}

class HeadlessInput : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    ASSERT_EQ(DisplayOpen("t", 800, 600), 1);
  }
  void Load(const char* script) {
    std::string error;
    ASSERT_TRUE(HeadlessLoadScript(script, &error)) << error;
  }
  std::vector<uint32_t> frame = std::vector<uint32_t>(800 * 600, 0);
};

TEST_F(HeadlessInput, WithoutRetraceWaitsFramesStillLastOneRefresh) {
  Load("0 nosync\n");
  const double start = TimerSeconds();
  for (int i = 0; i < 60; ++i) {
    DisplayUpdate(frame.data());
    SleepMs(1);  // the loops' own sleep is absorbed, not added
  }
  EXPECT_NEAR(TimerSeconds() - start, 59.0 / 60 + 0.001, 1e-6);
}

TEST_F(HeadlessInput, AClickShorterThanAFrameIsSeenOnce) {
  Load("1 click\n2 down\n3 up\n");
  DisplayUpdate(frame.data());
  EXPECT_EQ(DisplayMouseLeft(), 1);  // pressed and released before this read
  EXPECT_EQ(DisplayMouseLeft(), 0);
  DisplayUpdate(frame.data());
  EXPECT_EQ(DisplayMouseLeft(), 1);  // held
  EXPECT_EQ(DisplayMouseLeft(), 1);
  DisplayUpdate(frame.data());
  EXPECT_EQ(DisplayMouseLeft(), 0);
}

TEST_F(HeadlessInput, AKeyTapShorterThanAFrameCountsAsNewlyPressedOnce) {
  Load("1 tap PageDown\n2 keydown Escape\n");
  DisplayUpdate(frame.data());
  EXPECT_TRUE(KeyNewlyPressed(KeyPageDown));
  EXPECT_FALSE(KeyNewlyPressed(KeyPageDown));
  DisplayUpdate(frame.data());
  EXPECT_TRUE(KeyNewlyPressed(KeyEscape));
  DisplayUpdate(frame.data());
  EXPECT_FALSE(KeyNewlyPressed(KeyEscape));  // held, not pressed again
}

TEST_F(HeadlessInput, ACloseRequestIsRecordedWhenExitOnCloseIsOff) {
  DisplaySetExitOnClose(0);
  Load("2 close\n");
  DisplayUpdate(frame.data());
  EXPECT_EQ(DisplayCloseRequested(), 0);
  DisplayUpdate(frame.data());
  EXPECT_EQ(DisplayCloseRequested(), 1);
  EXPECT_EQ(DisplayCloseRequested(), 1);
}

// One white source column on black, scaled: the light it spreads over the target row.
double ColumnWeight(int column, int width, int targetWidth) {
  SharpScaler scaler;
  SharpScaleSetUp(scaler, width, 1, targetWidth, 1);
  std::vector<uint32_t> source(width, 0), target(targetWidth, 0);
  source[column] = 0xFFFFFF;
  SharpScale(scaler, source.data(), target.data(), targetWidth);
  double sum = 0;
  for (uint32_t p : target) sum += (p & 0xFF) / 255.0;
  return sum;
}

TEST(SharpScale, ColumnsComeOutNearlyEquallyWideAtAFractionalFactor) {
  // 800 -> 1024 (1.28) and 800 -> 1440 (1.8). Nearest neighbour gives every column 1 or 2 whole
  // pixels (off by 0.28 or 0.72 at 1.28); enlarging and filtering down by area keeps every column
  // within 0.02 of the factor.
  for (const int target : {1024, 1440}) {
    const double factor = target / 800.0;
    double worst = 0;
    for (int column = 1; column < 799; ++column)
      worst = std::max(worst, std::abs(ColumnWeight(column, 800, target) - factor));
    EXPECT_LT(worst, 0.02) << target;
  }
}

TEST(SharpScale, AWholeFactorIsExactlyNearestNeighbour) {
  SharpScaler scaler;
  SharpScaleSetUp(scaler, 4, 3, 8, 6);
  const std::vector<uint32_t> source = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0xFFFFFF};
  std::vector<uint32_t> target(8 * 6, 0);
  SharpScale(scaler, source.data(), target.data(), 8);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(target[y * 8 + x], source[y / 2 * 4 + x / 2]);
}

}  // namespace
