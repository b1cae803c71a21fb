// Frame pacing, short clicks and taps, close requests and sharp scaling, on the headless display
// and its virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
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

// Source 40 x 30 to each target, larger and smaller (the screen at 1.28 and 1.8, a browser's
// canvas at 0.8 and 0.47): a single white source pixel, scaled, gives the target exactly the
// light of its area (factor x factor pixels' worth) and keeps it centred where the pixel was
// (within half a target pixel, the target's own resolution), so every row and column comes out
// equally strong, none doubled, none dropped, none shifted.
TEST(SharpScale, EverySourcePixelKeepsItsLightAndPlace) {
  const int sizes[][2] = {{51, 38}, {72, 54}, {32, 24}, {19, 14}};
  for (const auto& [width, height] : sizes) {
    SharpScaler scaler;
    SharpScaleSetUp(scaler, 40, 30, width, height);
    const double fx = width / 40.0, fy = height / 30.0;
    std::vector<uint32_t> source(40 * 30, 0), target(width * height);
    for (int i = 0; i < 40 * 30; ++i) {
      source[i] = 0xFFFFFF;
      SharpScale(scaler, source.data(), target.data(), width);
      source[i] = 0;
      double light = 0, x = 0, y = 0;
      for (int t = 0; t < width * height; ++t) {
        const double level = (target[t] & 0xFF) / 255.0;
        light += level;
        x += level * (t % width + 0.5);
        y += level * (t / width + 0.5);
      }
      const std::string where = std::to_string(width) + "x" + std::to_string(height) + " pixel " +
                                std::to_string(i % 40) + "," + std::to_string(i / 40);
      ASSERT_NEAR(light, fx * fy, 0.03) << where;
      ASSERT_NEAR(x / light, (i % 40 + 0.5) * fx, 0.51) << where;
      ASSERT_NEAR(y / light, (i / 40 + 0.5) * fy, 0.51) << where;
    }
  }
}

// The rows that changed, scaled alone over the last picture's target, give the same target as
// scaling the changed picture whole.
TEST(SharpScale, ChangedRowsAloneGiveTheWholeResult) {
  const int sizes[][2] = {{1024, 768}, {1440, 1080}, {375, 281}};
  std::vector<uint32_t> source(800 * 600);
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint32_t>(i * 2654435761u);
  for (const auto& [width, height] : sizes) {
    SharpScaler scaler;
    SharpScaleSetUp(scaler, 800, 600, width, height);
    std::vector<uint32_t> changed = source, target(width * height), whole(width * height);
    SharpScale(scaler, source.data(), target.data(), width);
    const int runs[][2] = {{0, 1}, {57, 58}, {123, 136}, {137, 140}, {599, 600}};
    for (const auto& [first, end] : runs) {
      for (int i = first * 800; i < end * 800; ++i) changed[i] ^= 0x5A5A5A;
      int from = 0, to = 0;
      SharpScaleTargetRows(scaler, first, end, from, to);
      SharpScaleRows(scaler, changed.data(), target.data(), width, from, to);
    }
    SharpScale(scaler, changed.data(), whole.data(), width);
    EXPECT_TRUE(target == whole) << width << "x" << height;
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
