// The main loop's input poll on the headless display: the mouse copy and its limits, the release
// of a used click, and the page keys read through the poll.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/input.h"
#include "common/shared_state.h"
#include "display/display.h"
#include "display/headless.h"

namespace {

class PollInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    ResetShared();
    ResetApp();
    ASSERT_EQ(DisplayOpen("poll", 800, 600), 1);
    frame.assign(800 * 600, 0);
  }
  // Presents one frame (events scripted for it take effect) and polls.
  void FrameAndPoll() {
    DisplayUpdate(frame.data());
    PollInput();
  }
  std::vector<uint32_t> frame;
};

TEST_F(PollInputTest, PointerIsHeldInsideThePage) {
  const struct {
    int x, y, shownX, shownY;
  } cases[] = {
      {-40, -3, 1, 1},      {0, 0, 1, 1},         {1, 1, 1, 1},         {400, 300, 400, 300},
      {789, 589, 789, 589}, {790, 590, 789, 589}, {799, 599, 789, 589}, {5000, 40, 789, 40},
  };
  for (const auto& k : cases) {
    Headless.MouseX = k.x;
    Headless.MouseY = k.y;
    PollInput();
    EXPECT_EQ(Shared.MouseX, k.shownX) << k.x;
    EXPECT_EQ(Shared.MouseY, k.shownY) << k.y;
  }
}

// Each row {button events, press taken before the poll, MouseDown, ClickTaken after}: a used
// press stays used while held and is released when the button is seen up; a click shorter than
// a frame (down and up: 2) shows as down for one poll and is not released in it.
TEST_F(PollInputTest, AUsedClickIsReleasedOnlyWhenTheButtonIsSeenUp) {
  const int rows[][4] = {{1, 0, 1, 0}, {-1, 1, 1, 1}, {0, -1, 0, 0}, {2, 1, 1, 1}, {-1, -1, 0, 0}};
  for (const auto& [events, taken, down, takenAfter] : rows) {
    if (events == 1 || events == 2) MouseButtonSet(Headless.MouseLeft, true);
    if (events == 0 || events == 2) MouseButtonSet(Headless.MouseLeft, false);
    if (taken >= 0) Shared.ClickTaken = taken;
    PollInput();
    EXPECT_EQ(Shared.MouseDown, down) << events << " " << taken;
    EXPECT_EQ(Shared.ClickTaken, takenAfter) << events << " " << taken;
  }
}

TEST_F(PollInputTest, EveryPageKeyScrollsOncePerPress) {
  // A document of 200 lines shows 33 rows, so its last top line is 167; a page is 29 lines (rows
  // 2..31 are whole at ScrollPixel 0). Keys are pressed on odd frames; End is held over frames 7
  // and 8 and scrolls once. From frame 15 the document has 34 lines: End goes to line 1 and Page
  // Up from there to 0.
  std::string error;
  ASSERT_TRUE(
      HeadlessLoadScript("1 key PageDown\n3 key PageDown\n5 key PageUp\n7 keydown End\n"
                         "9 keyup End\n10 key PageUp\n12 key Home\n14 key PageUp\n"
                         "15 key End\n16 key PageUp\n",
                         &error))
      << error;
  App.LineCount = 200;
  std::vector<int32_t> tops;
  for (int f = 1; f <= 16; ++f) {
    if (f == 15) App.LineCount = 34;
    FrameAndPoll();
    tops.push_back(App.TopLine);
  }
  EXPECT_EQ(tops,
            (std::vector<int32_t>{29, 29, 58, 58, 29, 29, 167, 167, 167, 138, 138, 0, 0, 0, 1, 0}));
}

}  // namespace
