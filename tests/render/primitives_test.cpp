// Blended rectangles and rules: extents (both ends included) and exact colours.
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "common/shared_state.h"
#include "render/framebuffer.h"
#include "render/primitives.h"
#include "tests/support/pixel.h"

namespace {

int Changed(uint32_t background) {
  int n = 0;
  for (int i = 0; i < FrameWidth * FrameHeight; ++i) n += FrameBuffer[i] != background;
  return n;
}

TEST(BlendRect, CoversBothEndsAndBlendsExactly) {
  ClearFrameBuffer(0);
  BlendRect(10, 20, 0, 0, 125, 30, 50, 125);
  EXPECT_EQ(Changed(0), 1);
  EXPECT_EQ(Pixel(10, 20), 0x0E183Du);  // (14, 24, 61): 30 x 125 / 256 = 14.6 -> 14

  ClearFrameBuffer(0x808080);
  BlendRect(100, 200, 8, 19, 0, 255, 255, 255);  // alpha 0 changes nothing
  EXPECT_EQ(Changed(0x808080), 0);

  // (w + 1) x (h + 1) pixels; channels do not leak into each other at the extremes.
  ClearFrameBuffer(0xFFFFFF);
  BlendRect(779, 195, 8, 19, 127, 0, 0, 0);
  EXPECT_EQ(Changed(0xFFFFFF), 9 * 20);
  EXPECT_EQ(Pixel(787, 214), 0x808080u);  // 255 x 129 / 256 = 128.5 -> 128
  EXPECT_EQ(Pixel(788, 214), 0xFFFFFFu);
  ClearFrameBuffer(0x00FF00);
  BlendRect(0, 0, 0, 0, 100, 255, 0, 255);
  EXPECT_EQ(Pixel(0, 0), 0x639B63u);  // 255 x 100 / 256 = 99.6 -> 99; 255 x 156 / 256 -> 155
}

TEST(DrawRule, PlainStylesCoverLengthPixelsOnThreeRows) {
  ClearFrameBuffer(0);
  DrawRule(300, 20, 750, 1);
  EXPECT_EQ(Changed(0), 3 * 750);
  EXPECT_EQ(Pixel(20, 300), 0xFFFFFFu);
  EXPECT_EQ(Pixel(769, 299), 0x888888u);
  EXPECT_EQ(Pixel(769, 301), 0x888888u);
  EXPECT_EQ(Pixel(770, 300), 0u);
  DrawRule(400, 20, 750, 4);
  EXPECT_EQ(Pixel(400, 400), 0x0000FFu);
  EXPECT_EQ(Pixel(400, 399), 0x000088u);

  ClearFrameBuffer(0);
  DrawRule(300, 20, 750, 0);
  DrawRule(300, 20, 750, 9);
  DrawRule(300, 20, 750, -1);
  EXPECT_EQ(Changed(0), 0);
}

TEST(DrawRule, RainbowCoversOneMorePixelAndFollowsTheClock) {
  ResetApp();
  ClearFrameBuffer(0);
  DrawRule(300, 20, 750, 8);
  EXPECT_EQ(Pixel(770, 300) != 0, true);
  EXPECT_EQ(Pixel(771, 300), 0u);
  // t = 0: sin 0 -> 125; sin 0.96 x 124 + 125 = 226.58 -> 227; sin 2.47 x 124 + 125 = 202.16
  // -> 202. Dim rows: 65, 117.43 -> 117, 104.82 -> 105.
  EXPECT_EQ(Pixel(20, 300), 125u << 16 | 227u << 8 | 202u);
  EXPECT_EQ(Pixel(20, 299), 65u << 16 | 117u << 8 | 105u);
  EXPECT_EQ(Pixel(20, 301), Pixel(20, 299));
  // The colours drift along the rule with the clock: pixel i at clock c equals pixel i + c at
  // clock 0. t = 1000: 57.54 -> 58, 172.56 -> 173, 154.23 -> 154.
  Shared.AnimClock = 1000.0;
  DrawRule(400, 20, 750, 8);
  EXPECT_EQ(Pixel(20, 400), 58u << 16 | 173u << 8 | 154u);
  Shared.AnimClock = 100.0;
  DrawRule(500, 20, 750, 8);
  EXPECT_EQ(Pixel(20, 500), Pixel(120, 300));
  ResetApp();
}

}  // namespace
