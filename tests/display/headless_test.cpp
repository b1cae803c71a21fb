// The headless display: scripts, key state, the virtual clock and PNG round trips.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/headless.h"
#include "display/png_file.h"

namespace {

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override { HeadlessReset(); }
  std::vector<uint32_t> frame = std::vector<uint32_t>(800 * 600 + 1, 0);
};

TEST_F(HeadlessTest, ScriptEventsTakeEffectAfterTheirFrame) {
  ASSERT_TRUE(HeadlessLoadScript("2 move 10 20\n2 down\n3 wheel -2\n4 up\n", nullptr));
  ASSERT_EQ(DisplayOpen("t", 800, 600), 1);
  DisplayUpdate(frame.data());  // frame 1
  EXPECT_EQ(DisplayMouseX(), 0);
  EXPECT_EQ(DisplayMouseLeft(), 0);
  DisplayUpdate(frame.data());  // frame 2
  EXPECT_EQ(DisplayMouseX(), 10);
  EXPECT_EQ(DisplayMouseY(), 20);
  EXPECT_EQ(DisplayMouseLeft(), 1);
  DisplayUpdate(frame.data());  // frame 3
  EXPECT_EQ(DisplayMouseWheel(), -2);
  DisplayUpdate(frame.data());  // frame 4
  EXPECT_EQ(DisplayMouseLeft(), 0);
}

TEST_F(HeadlessTest, PointerStaysOnTheSurface) {
  ASSERT_TRUE(HeadlessLoadScript("1 move -5 900\n", nullptr));
  ASSERT_EQ(DisplayOpen("t", 800, 600), 1);
  DisplayUpdate(frame.data());
  EXPECT_EQ(DisplayMouseX(), 0);
  EXPECT_EQ(DisplayMouseY(), 599);
}

TEST_F(HeadlessTest, KeyStateReportsDownAndPressedSinceLastQuery) {
  ASSERT_TRUE(HeadlessLoadScript("1 keydown Escape\n3 keyup Escape\n4 key F3\n", nullptr));
  ASSERT_EQ(DisplayOpen("t", 800, 600), 1);
  EXPECT_EQ(KeyState(KeyEscape), 0);
  DisplayUpdate(frame.data());
  EXPECT_EQ(KeyState(KeyEscape), 0x8001);  // newly pressed
  EXPECT_EQ(KeyState(KeyEscape), 0x8000);  // still held: no longer new
  DisplayUpdate(frame.data());
  DisplayUpdate(frame.data());
  EXPECT_EQ(KeyState(KeyEscape), 0);
  DisplayUpdate(frame.data());  // F3 goes down and comes up before anyone asks
  DisplayUpdate(frame.data());
  EXPECT_EQ(KeyState(KeyF1 + 2), 1);  // pressed since the last query, not down: not "newly"
  EXPECT_FALSE(KeyNewlyPressed(KeyF1 + 2));
}

TEST_F(HeadlessTest, VirtualClockMovesByFramesAndSleeps) {
  ASSERT_TRUE(HeadlessLoadScript("", nullptr));
  Headless.FrameStep = 0.02;
  ASSERT_EQ(DisplayOpen("t", 800, 600), 1);
  const double start = TimerSeconds();
  DisplayUpdate(frame.data());
  SleepMs(5);
  EXPECT_NEAR(TimerSeconds() - start, 0.025, 1e-9);
}

// Each script is accepted or refused with the error naming the line; the rows are the edges of
// each number the reader takes.
TEST_F(HeadlessTest, ScriptsAreReadOrRefusedWithTheLine) {
  const struct {
    const char* script;
    const char* error;  // "" when the script is accepted
  } rows[] = {
      {"1 move 3\n", "line 1: move needs X and Y"},
      {"# fine\n\n5 key Tab\n", "line 3: unknown key"},
      {"0 down\n", ""},
      {"-1 down\n", "line 1: negative frame number"},
      {"1 move -1 -2147483648\n1 wheel -1\n", ""},
      {"x down\n", "line 1: expected a frame number"},
      {"1 key F1\n1 key F12\n", ""},
      {"1 key F13\n", "line 1: unknown key"},
      {"1 key F0\n", "line 1: unknown key"},
      {"1 shot a 1x8192\n1 shot b 8192x1\n", ""},
      {"1 shot a 0x5\n", "line 1: shot size must be WIDTHxHEIGHT, 1 to 8192 each"},
      {"1 shot a 8193x5\n", "line 1: shot size must be WIDTHxHEIGHT, 1 to 8192 each"},
      {"1 shot a -5x5\n", "line 1: shot size must be WIDTHxHEIGHT, 1 to 8192 each"},
      {"1 shot a 12x\n", "line 1: shot size must be WIDTHxHEIGHT, 1 to 8192 each"},
      {"1 shot a 12y5\n", "line 1: shot size must be WIDTHxHEIGHT, 1 to 8192 each"},
      {"1 shot ../escape\n", "line 1: shot needs a plain name"},
      {"1 step 0\n", "line 1: bad step"},
      {"1 step -0.5\n", "line 1: bad step"},
      {"1 down now\n", "line 1: unexpected 'now'"},
  };
  for (const auto& row : rows) {
    std::string error;
    EXPECT_EQ(HeadlessLoadScript(row.script, &error), !*row.error) << row.script;
    EXPECT_EQ(error, row.error) << row.script;
  }
  EXPECT_TRUE(HeadlessLoadScript("3 down # press\n1 up\n", nullptr));
  EXPECT_EQ(Headless.Script.front().frame, 1);  // sorted by frame
}

TEST_F(HeadlessTest, ShotsRoundTripThroughPng) {
  const std::string dir = ::testing::TempDir();
  ASSERT_TRUE(HeadlessLoadScript("1 shot roundtrip\n", nullptr));
  Headless.OutputDir = dir;
  ASSERT_EQ(DisplayOpen("t", 800, 600), 1);
  for (size_t i = 0; i < frame.size(); ++i)
    frame[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF;
  DisplayUpdate(frame.data());
  ASSERT_EQ(Headless.ShotsWritten.size(), 1u);
  std::vector<uint32_t> read;
  int w = 0, h = 0;
  ASSERT_TRUE(ReadPng(dir + "/roundtrip.png", &read, &w, &h));
  ASSERT_EQ(w, 800);
  ASSERT_EQ(h, 600);
  EXPECT_TRUE(std::equal(read.begin(), read.end(), frame.begin()));
  std::remove((dir + "/roundtrip.png").c_str());
}

TEST_F(HeadlessTest, OpenCanBeMadeToFail) {
  Headless.OpenFails = true;
  EXPECT_EQ(DisplayOpen("t", 800, 600), 0);
  EXPECT_EQ(DisplayUpdate(frame.data()), 0);
}

}  // namespace
