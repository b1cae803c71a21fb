// The headless display: scripted input as the program reads it frame by frame, the virtual clock
// and frame pacing, script refusals, PNG shots, and the sharp scaler.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/frame_pacing.h"
#include "display/headless.h"
#include "display/png_file.h"
#include "display/sharp_scale.h"

namespace {

// Each row's script runs for as many frames as its trace has entries; after each frame and a 1 ms
// sleep of the program the trace holds "X,Y", the left button read twice, the wheel, KeyState of
// Escape and PageDown, the close request and the virtual milliseconds since the start.
TEST(Headless, ScriptedInputIsSeenFrameByFrame) {
  const std::pair<const char*, std::vector<std::string>> rows[] = {
      {"1 move -5 900\n2 move 10 20\n2 down\n3 wheel -2\n4 up\n5 click\n",
       {"0,599 00 0 0 0 0 18", "10,20 11 0 0 0 0 35", "10,20 11 -2 0 0 0 53",
        "10,20 00 -2 0 0 0 71", "10,20 10 -2 0 0 0 88"}},
      {"1 keydown Escape\n3 keyup Escape\n4 tap PageDown\n5 key Escape\n6 close\n",
       {"0,0 00 0 8001 0 0 18", "0,0 00 0 8000 0 0 35", "0,0 00 0 0 0 0 53", "0,0 00 0 0 1 0 71",
        "0,0 00 0 8001 0 0 88", "0,0 00 0 0 0 1 106"}},
      // A longer step, then presents that return at once: the pacer holds each frame to one
      // step, the program's own sleep included.
      {"0 step 0.02\n2 nosync\n",
       {"0,0 00 0 0 0 0 21", "0,0 00 0 0 0 0 42", "0,0 00 0 0 0 0 62", "0,0 00 0 0 0 0 82"}}};
  std::vector<uint32_t> frame(800 * 600, 0);
  for (const auto& [script, expected] : rows) {
    HeadlessReset();
    DisplaySetExitOnClose(0);
    ASSERT_TRUE(HeadlessLoadScript(script, nullptr)) << script;
    ASSERT_EQ(DisplayOpen("t", 800, 600), 1);
    const double start = TimerSeconds();
    std::vector<std::string> trace;
    for (size_t f = 0; f < expected.size(); ++f) {
      DisplayUpdate(frame.data());
      SleepMs(1);
      char text[80];
      const int left = DisplayMouseLeft();
      std::snprintf(text, sizeof text, "%d,%d %d%d %d %x %x %d %.0f", DisplayMouseX(),
                    DisplayMouseY(), left, DisplayMouseLeft(), DisplayMouseWheel(),
                    KeyState(KeyEscape), KeyState(KeyPageDown), DisplayCloseRequested(),
                    (TimerSeconds() - start) * 1000);
      trace.push_back(text);
    }
    EXPECT_EQ(trace, expected) << script;
  }
}

// Pacer calls in order (a new pacer where the rate changes): a present that returned at once
// sleeps to one period after the previous frame; one that waited, even for a slightly faster
// retrace, or a slow frame, sleeps nothing, and no burst follows a slow frame. Rate 0: 60 Hz.
TEST(Headless, FramePacingSleepsOnlyAfterPresentsThatDidNotWait) {
  const double rows[][3] = {{0, 10.0, 0}, {0, 10.004, 1.0 / 60 - 0.004},
                            {60, 1.0, 0}, {60, 1.016, 0},
                            {60, 1.2, 0}, {60, 1.201, 1.0 / 60 - 0.001}};
  FramePacer pacer;
  double previous = -1;
  for (const auto& [rate, now, delay] : rows) {
    if (rate != previous) pacer = FramePacer{};
    previous = rate;
    FramePacingSetRate(pacer, rate);
    EXPECT_NEAR(FramePacingDelay(pacer, now), delay, 1e-9) << rate << " Hz at " << now;
  }
}

// Each script is accepted or refused with the error naming the line; the rows are the edges of
// each number the reader takes.
TEST(Headless, ScriptsAreReadOrRefusedWithTheLine) {
  const char* size = "line 1: shot size must be WIDTHxHEIGHT, 1 to 8192 each";
  // A script and its error, "" when the script is accepted.
  // clang-format off
  const std::pair<const char*, const char*> rows[] = {
      {"1 move 3\n", "line 1: move needs X and Y"}, {"x down\n", "line 1: expected a frame number"},
      {"0 down\n", ""}, {"-1 down\n", "line 1: negative frame number"},
      {"# fine\n\n5 key Tab\n", "line 3: unknown key"}, {"1 move -1 -2147483648\n1 wheel -1\n", ""},
      {"1 key F1\n1 key F12\n", ""}, {"1 key F13\n", "line 1: unknown key"},
      {"1 key F0\n", "line 1: unknown key"}, {"1 shot a 1x8192\n1 shot b 8192x1\n", ""},
      {"1 shot a 0x5\n", size}, {"1 shot a 8193x5\n", size}, {"1 shot a -5x5\n", size},
      {"1 shot a 12x\n", size}, {"1 shot a 12y5\n", size},
      {"1 shot ../escape\n", "line 1: shot needs a plain name"}, {"1 step 0\n", "line 1: bad step"},
      {"1 step -0.5\n", "line 1: bad step"}, {"1 down now\n", "line 1: unexpected 'now'"}};
  // clang-format on
  for (const auto& [script, expected] : rows) {
    std::string error;
    EXPECT_EQ(HeadlessLoadScript(script, &error), !*expected) << script;
    EXPECT_EQ(error, expected) << script;
  }
  EXPECT_TRUE(HeadlessLoadScript("3 down # press\n1 up\n", nullptr));
  EXPECT_EQ(Headless.Script.front().frame, 1);  // sorted by frame
}

TEST(Headless, ShotsRoundTripThroughPng) {
  HeadlessReset();
  ASSERT_TRUE(HeadlessLoadScript("1 shot roundtrip\n", nullptr));
  Headless.OutputDir = ::testing::TempDir();
  ASSERT_EQ(DisplayOpen("t", 800, 600), 1);
  std::vector<uint32_t> frame(800 * 600), read;
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = (i * 2654435761u) & 0xFFFFFF;
  DisplayUpdate(frame.data());
  int w = 0, h = 0;
  ASSERT_TRUE(ReadPng(Headless.OutputDir + "/roundtrip.png", &read, &w, &h));
  EXPECT_TRUE(w == 800 && h == 600 && read == frame);
  std::remove((Headless.OutputDir + "/roundtrip.png").c_str());
}

// Source 40 x 30 to each target, larger and smaller (the screen at 1.28 and 1.8, a browser's
// canvas at 0.8 and 0.47, and a whole factor): a single white source pixel, scaled, gives the
// target exactly the light of its area (factor x factor pixels' worth) and keeps it centred where
// the pixel was (within half a target pixel), so no row or column is doubled, dropped or shifted.
// At a whole factor every target pixel is the full source pixel or nothing (nearest neighbour).
// And runs of changed rows, scaled alone over the last picture's target, give the same target as
// scaling the changed picture whole.
TEST(SharpScale, EverySourcePixelKeepsItsLightAndPlaceAndChangedRowsScaleAlone) {
  for (const auto& [width, height] : {std::pair{51, 38}, {72, 54}, {32, 24}, {19, 14}, {80, 60}}) {
    SharpScaler scaler;
    SharpScaleSetUp(scaler, 40, 30, width, height);
    const double fx = width / 40.0, fy = height / 30.0;
    std::vector<uint32_t> source(40 * 30, 0), target(width * height), whole(width * height);
    for (int i = 0; i < 40 * 30; ++i) {
      source[i] = 0xFFFFFF;
      SharpScale(scaler, source.data(), target.data(), width);
      source[i] = 0;
      double light = 0, x = 0, y = 0;
      int partial = 0;
      for (int t = 0; t < width * height; ++t) {
        const double level = (target[t] & 0xFF) / 255.0;
        light += level;
        x += level * (t % width + 0.5);
        y += level * (t / width + 0.5);
        partial += level > 0 && level < 1;
      }
      const std::string where = std::to_string(width) + " wide, pixel " + std::to_string(i);
      ASSERT_NEAR(light, fx * fy, 0.03) << where;
      ASSERT_TRUE(width != 80 || partial == 0) << where;
      ASSERT_NEAR(x / light, (i % 40 + 0.5) * fx, 0.51) << where;
      ASSERT_NEAR(y / light, (i / 40 + 0.5) * fy, 0.51) << where;
    }
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint32_t>(i * 2654435761u);
    SharpScale(scaler, source.data(), target.data(), width);
    for (const auto& [first, end] : {std::pair{0, 1}, {5, 6}, {12, 17}, {18, 20}, {29, 30}}) {
      for (int i = first * 40; i < end * 40; ++i) source[i] ^= 0x5A5A5A;
      int from = 0, to = 0;
      SharpScaleTargetRows(scaler, first, end, from, to);
      SharpScaleRows(scaler, source.data(), target.data(), width, from, to);
    }
    SharpScale(scaler, source.data(), whole.data(), width);
    EXPECT_TRUE(target == whole) << width << "x" << height;
  }
}

}  // namespace
