// The magazine's frame drawn by the renderer: button highlights, the pointer, the level meter and
// the page transitions' curtain, checked by their arithmetic; then pixel-exact goldens of both
// skins with every layer of the frame.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/app_state.h"
#include "common/shared_state.h"
#include "render/builtin_data.h"
#include "render/buttons.h"
#include "render/framebuffer.h"
#include "render/level_meter.h"
#include "render/page_cover.h"
#include "render/skins.h"
#include "tests/support/golden.h"
#include "tests/support/pixel.h"

namespace {

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetApp();
    RestoreBuiltInData();
    BuildSkinBackgrounds();
    BuildPointerImages();
    ReadButtonTables();
    SetLevelMeterRamps();
    ResetLevelMeter();
    for (int skin = 1; skin <= SkinCount; ++skin) RenderSkinBackground(skin, 0, 0, 799, 599, 0, 0);
  }
  // One frame of the buttons over a grey ground, the mouse at (x, y).
  static void ButtonFrame(int32_t x, int32_t y) {
    Shared.MouseX = x;
    Shared.MouseY = y;
    ClearFrameBuffer(0x404040);
    DrawButtons();
  }
};

TEST_F(Frame, HoverIsStrictlyInsideAndAHeldPressDoesNotGlow) {
  // The left and top edges (x 35, y 40) and the right and bottom ones (123, 59) are outside.
  for (const auto& [x, y] : {std::pair{35, 50}, {60, 40}, {123, 50}, {60, 59}}) {
    ButtonFrame(x, y);
    EXPECT_EQ(Buttons.ButtonGlow[1], 0) << x << "," << y;
    EXPECT_EQ(Shared.PointerShape, 1) << x << "," << y;
  }
  ButtonFrame(36, 41);
  EXPECT_EQ(Buttons.ButtonGlow[1], 10);
  // A taken press: the hand shows, but the glow only fades.
  Shared.ClickTaken = 1;
  ButtonFrame(36, 41);
  EXPECT_EQ(Buttons.ButtonGlow[1], 7);
  EXPECT_EQ(Shared.PointerShape, 2);
}

TEST_F(Frame, PointerStaysInsideTheFrame) {
  auto drawnColumns = [] {
    int last = -1;
    for (int y = 0; y < FrameHeight; ++y) {
      for (int x = 0; x < FrameWidth; ++x) {
        if (Pixel(x, y) != 0) last = std::max(last, x);
      }
    }
    return last;
  };
  ClearFrameBuffer(0);
  DrawPointer(792, 100);
  EXPECT_EQ(drawnColumns(), -1);
  DrawPointer(0, 100);
  DrawPointer(100, 0);
  DrawPointer(100, 592);
  EXPECT_EQ(drawnColumns(), -1);
  // At 789 the arrow's widest row (row 6, 11 columns) reaches column 799.
  DrawPointer(789, 100);
  EXPECT_EQ(drawnColumns(), 799);
  EXPECT_EQ(Pixel(789, 100), 0x111133u);
  // At the bottom right of the mouse range the tip's last row is row 599; nothing wraps to the
  // next row or past the frame.
  ClearFrameBuffer(0);
  Shared.PointerShape = 2;
  DrawPointer(789, 589);
  EXPECT_EQ(Pixel(795, 599), 0x221100u);
  EXPECT_EQ(Pixel(0, 0), 0u);
  EXPECT_EQ(FrameBuffer[FrameWidth * FrameHeight], 0u);
  // Corners past the mouse range are clipped rather than run over the edge.
  ClearFrameBuffer(0);
  DrawPointer(791, 591);
  for (int y = 0; y < 591; ++y) ASSERT_EQ(Pixel(0, y), 0u) << y;
  EXPECT_EQ(FrameBuffer[FrameWidth * FrameHeight], 0u);
}

TEST_F(Frame, MeterPushesOnlyNotes46To83) {
  ClearFrameBuffer(0);
  const uint16_t outside[3] = {45, 84, 255};  // below, above, and a key-off
  UpdateLevelMeter(outside, 3);
  for (int i = 0; i < MeterBarCount; ++i) EXPECT_EQ(LevelMeter.MeterBars[i], 149.0) << i;
  EXPECT_TRUE(std::all_of(FrameBuffer, FrameBuffer + FrameWidth * FrameHeight,
                          [](uint32_t p) { return p == 0; }));

  // Note 46 with an instrument in the high byte: bar 1 drops by 4, its neighbours by 3, then all
  // three rise by 2 in the same frame. Bars at rest (149) stay there.
  ResetLevelMeter();
  const uint16_t note46 = 0x0300 | 46;
  UpdateLevelMeter(&note46, 1);
  EXPECT_EQ(LevelMeter.MeterBars[0], 146.0);
  EXPECT_EQ(LevelMeter.MeterBars[1], 145.0);
  EXPECT_EQ(LevelMeter.MeterBars[2], 146.0);
  EXPECT_EQ(LevelMeter.MeterBars[3], 149.0);
  // Note 83 drives the last bar that can move, 38, and its neighbours 37 and 39, from the rest
  // row 149 they reached in the first frame.
  const uint16_t note83 = 83;
  UpdateLevelMeter(&note83, 1);
  EXPECT_EQ(LevelMeter.MeterBars[38], 147.0);
  EXPECT_EQ(LevelMeter.MeterBars[39], 148.0);
  EXPECT_EQ(LevelMeter.MeterBars[1], 147.0);
}

TEST_F(Frame, CurtainCoversInterleavedColumnsFromBothEdges) {
  auto black = [](int x, int y) { return Pixel(x, y) == 0; };
  ClearFrameBuffer(0xFFFFFF);
  CoverPageColumns(0);
  for (int x = 0; x < FrameWidth; ++x) {
    EXPECT_EQ(black(x, 300), x == 20 || x == 767) << x;
  }
  EXPECT_TRUE(black(20, 192) && black(20, 569));
  EXPECT_FALSE(black(20, 191) || black(20, 570));

  // The close transition's last step leaves columns 21, 23, 25, 762, 764 and 766 of the page.
  ClearFrameBuffer(0xFFFFFF);
  Shared.SkinNumber = 2;
  CoverPageColumns(740);
  for (int x = 20; x <= 767; ++x) {
    const bool open = x == 21 || x == 23 || x == 25 || x == 762 || x == 764 || x == 766;
    EXPECT_EQ(black(x, 570), !open) << x;
  }
  // The open transition's first step covers the whole page, and nothing beside it.
  ClearFrameBuffer(0xFFFFFF);
  CoverPageColumns(747);
  for (int x = 0; x < FrameWidth; ++x) EXPECT_EQ(black(x, 400), x >= 20 && x <= 767) << x;
  EXPECT_FALSE(black(400, 571));
}

// Pixel-exact pictures: the background alone, then the buttons at rest, hovered (glow half-way
// and full) and in state 1, the pointer as arrow and hand, and the meter, for both skins.
TEST_F(Frame, GoldenFramesOfBothSkins) {
  for (int skin = 1; skin <= 2; ++skin) {
    const std::string name = "frame_skin" + std::to_string(skin);
    Shared.SkinNumber = skin;
    CopyBackground();
    EXPECT_EQ(CheckGolden(name + "_background"), "");

    // Song 1 and Articles are chosen and the music button is off (all three tinted). Help is
    // hovered to full glow (125), then Rules for 9 frames: Rules glows half-way (66) and Help
    // fades (98). The pointer is the hand over Rules.
    RestoreBuiltInData();
    BuildPointerImages();
    ReadButtonTables();
    Buttons.ButtonState[6] = 1;
    const int rules = 4, help = 5;
    auto hover = [&](int button, int frames) {
      Shared.MouseX = Buttons.ButtonLeft[skin][button] + 5;
      Shared.MouseY = Buttons.ButtonTop[skin][button] + 5;
      for (int f = 0; f < frames; ++f) {
        CopyBackground();
        DrawButtons();
      }
    };
    hover(help, 18);
    hover(rules, 9);
    EXPECT_EQ(Buttons.ButtonGlow[rules], 66);
    EXPECT_EQ(Buttons.ButtonGlow[help], 98);  // full (125) on the 18th frame, then 9 of fading
    DrawPointer(Shared.MouseX, Shared.MouseY);
    const uint16_t chord[4] = {0x0100 | 50, 0x0200 | 57, 62, 74};
    for (int f = 0; f < 6; ++f) UpdateLevelMeter(chord, 4);
    DrawPointer(300, 300);
    Shared.PointerShape = 1;
    DrawPointer(320, 300);
    EXPECT_EQ(CheckGolden(name + "_buttons"), "");
  }
}

}  // namespace
