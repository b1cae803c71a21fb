// The menu panel's own rules: the ticker's pace and wrap, the hover bars' pointer and the marks.
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/menus.h"
#include "app/music_module.h"
#include "common/shared_state.h"
#include "render/framebuffer.h"
#include "render/text.h"

namespace {

class MenuPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetApp();
    BuildTextColours();
    BuildInfoTexts();
    SetMenuCaptions();
    SetSongCredits();
    ClearFrameBuffer(0);
  }
};

TEST_F(MenuPanel, TickerMovesAPixelAFrameAndACharacterEveryNine) {
  for (int frame = 1; frame <= 9; ++frame) DrawTicker();
  EXPECT_EQ(Menu.InfoPos, 1);
  EXPECT_DOUBLE_EQ(Menu.InfoShift, 9.0);
  DrawTicker();  // the shift passes 9
  EXPECT_EQ(Menu.InfoPos, 2);
  EXPECT_DOUBLE_EQ(Menu.InfoShift, 1.0);
  // After the last character the text starts over from its leading spaces.
  Menu.InfoPos = static_cast<int32_t>(Menu.InfoText[1].size());
  Menu.InfoShift = 9.0;
  DrawTicker();
  EXPECT_EQ(Menu.InfoPos, 1);
}

TEST_F(MenuPanel, HoverBarsShowTheHandOnlyWhileNoPressIsHeld) {
  // {x, y, press taken, hand}: column 1, slot 2 has bar rows 73..83 and is hovered for
  // 73 < y < 83 and 149 <= x <= 392; column 2 up to x 646.
  const int rows[][4] = {{149, 78, 0, 1}, {392, 78, 0, 1}, {148, 78, 0, 0}, {393, 78, 0, 0},
                         {200, 73, 0, 0}, {200, 74, 0, 1}, {200, 82, 0, 1}, {200, 83, 0, 0},
                         {200, 78, 1, 0}, {403, 78, 0, 1}, {646, 78, 0, 1}, {647, 78, 0, 0}};
  for (const auto& [x, y, taken, hand] : rows) {
    Shared.MouseX = x;
    Shared.MouseY = y;
    Shared.ClickTaken = taken;
    Shared.PointerShape = 1;
    DrawMenuPanel();
    EXPECT_EQ(Shared.PointerShape, hand + 1) << x << "," << y << " taken " << taken;
  }
}

TEST_F(MenuPanel, BarsAreDrawnForEverySlotAndTheMarkOnlyForTheCurrentEntry) {
  Shared.MouseX = 0;
  Shared.MouseY = 0;
  DrawMenuPanel();
  // Over black, a resting bar is grey 100 at opacity 60: 100 x 60 / 256 = 23. The editorial
  // (column 1, slot 1) is marked: red (200, 100, 100) at 90 over the bar:
  // (200 x 90 + 23 x 166) / 256 = 85 and (100 x 90 + 23 x 166) / 256 = 50.
  const uint32_t rest = 0x171717;
  EXPECT_EQ(FrameBuffer[61 * FrameWidth + 390], 0x553232u);
  EXPECT_EQ(FrameBuffer[73 * FrameWidth + 390], rest);
  // Column 2's disabled slots 2..4 and the switch slot still get their bars.
  for (int s = 2; s <= 5; ++s) EXPECT_EQ(FrameBuffer[(49 + 12 * s) * FrameWidth + 646], rest) << s;
}

}  // namespace
