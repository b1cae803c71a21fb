// The magazine's frame drawn by the renderer: button highlights, the pointer, the level meter and
// the page transitions' curtain, checked by their arithmetic; then pixel-exact goldens of both
// skins with every layer of the frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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
  // Button 1 spans 35..123 x 40..59; its edges are outside. A taken press shows the hand but
  // the glow only fades.
  const int rows[][5] = {{35, 50, 0, 0, 1}, {60, 40, 0, 0, 1},  {123, 50, 0, 0, 1},
                         {60, 59, 0, 0, 1}, {36, 41, 0, 10, 2}, {36, 41, 1, 7, 2}};
  for (const auto& [x, y, taken, glow, shape] : rows) {
    Shared.ClickTaken = taken;
    ButtonFrame(x, y);
    EXPECT_EQ(Buttons.ButtonGlow[1], glow) << x << "," << y << " taken " << taken;
    EXPECT_EQ(Shared.PointerShape, shape) << x << "," << y << " taken " << taken;
  }
}

TEST_F(Frame, PointerIsClippedToTheFrame) {
  // {x, y, shape, last column drawn (-1: none, -2: any), a pixel and its colour}: at 789 the
  // arrow's widest row reaches column 799; at (789, 589) the hand's tip row is 599; nothing wraps.
  const int rows[][7] = {{792, 100, 1, -1, 0, 0, 0},
                         {0, 100, 1, -1, 0, 0, 0},
                         {100, 592, 1, -1, 0, 0, 0},
                         {789, 100, 1, 799, 789, 100, 0x111133},
                         {789, 589, 2, 799, 795, 599, 0x221100},
                         {791, 591, 1, 799, 0, 0, 0}};
  for (const auto& [x, y, shape, lastColumn, px, py, colour] : rows) {
    ClearFrameBuffer(0);
    Shared.PointerShape = shape;
    DrawPointer(x, y);
    int last = -1;
    for (int i = 0; i < FrameWidth * FrameHeight; ++i) {
      if (FrameBuffer[i] != 0) last = std::max(last, i % FrameWidth);
      const bool wrapped = i % FrameWidth == 0 && i / FrameWidth < y && FrameBuffer[i] != 0;
      ASSERT_FALSE(wrapped) << x << "," << y;
    }
    EXPECT_TRUE(lastColumn == -2 || last == lastColumn) << x << "," << y << ": " << last;
    EXPECT_EQ(FrameBuffer[FrameWidth * FrameHeight], 0u) << x << "," << y;
    EXPECT_EQ(Pixel(px, py), static_cast<uint32_t>(colour)) << x << "," << y;
  }
}

TEST_F(Frame, MeterPushesOnlyNotes46To83) {
  ClearFrameBuffer(0);
  const uint16_t outside[3] = {45, 84, 255};  // below, above, and a key-off
  UpdateLevelMeter(outside, 3);
  for (int i = 0; i < MeterBarCount; ++i) EXPECT_EQ(LevelMeter.MeterBars[i], 149.0) << i;
  EXPECT_TRUE(std::all_of(FrameBuffer, FrameBuffer + FrameWidth * FrameHeight,
                          [](uint32_t p) { return p == 0; }));
  // Note 46 (instrument in the high byte): bar 1 drops 4, its neighbours 3, then all rise 2 in
  // the same frame. Note 83 moves the last bar that can, 38, and 37 and 39, from rest (149).
  ResetLevelMeter();
  const uint16_t notes[2] = {0x0300 | 46, 83};
  UpdateLevelMeter(&notes[0], 1);
  UpdateLevelMeter(&notes[1], 1);
  const double want[][2] = {{0, 148}, {1, 147}, {2, 148}, {3, 149}, {38, 147}, {39, 148}};
  for (const auto& [bar, level] : want) EXPECT_EQ(LevelMeter.MeterBars[int(bar)], level) << bar;
}

TEST_F(Frame, CurtainCoversInterleavedColumnsFromBothEdges) {
  // {width, skin, row, first and last covered column, columns left open}: the first step covers
  // columns 20 and 767 on rows 192..569; the close transition's last leaves 21, 23, 25, 762, 764
  // and 766; the open transition's first covers the whole page and nothing beside it.
  const struct {
    int Width, Skin, Row, First, Last;
    std::vector<int> Open;
  } rows[] = {{0, 1, 300, 20, 767, {}},
              {740, 2, 570, 20, 767, {21, 23, 25, 762, 764, 766}},
              {747, 1, 400, 20, 767, {}}};
  for (const auto& r : rows) {
    ClearFrameBuffer(0xFFFFFF);
    Shared.SkinNumber = r.Skin;
    CoverPageColumns(r.Width);
    for (int x = 0; x < FrameWidth; ++x) {
      const bool covered = x >= r.First && x <= r.Last && (r.Width > 0 || x == 20 || x == 767) &&
                           std::find(r.Open.begin(), r.Open.end(), x) == r.Open.end();
      EXPECT_EQ(Pixel(x, r.Row) == 0, covered) << r.Width << " " << x;
    }
  }
  EXPECT_TRUE(Pixel(400, 571) != 0);
  ClearFrameBuffer(0xFFFFFF);
  CoverPageColumns(0);
  EXPECT_TRUE(Pixel(20, 192) == 0 && Pixel(20, 569) == 0);
  EXPECT_FALSE(Pixel(20, 191) == 0 || Pixel(20, 570) == 0);
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
