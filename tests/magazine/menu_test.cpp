// The menu panel's own rules: the ticker's wrap and the hover bars' pointer; the bars, marks
// and the ticker's pace show in the magazine goldens.
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

// The ticker's pace shows in the magazine's ticker golden; here, its wrap: after the last
// character the text starts over from its leading spaces.
TEST_F(MenuPanel, TickerStartsOverAfterTheLastCharacter) {
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

}  // namespace
