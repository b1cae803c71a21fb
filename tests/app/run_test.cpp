// Whole-program runs against the headless display: start-up, the intro's input rules, the main
// loop's end, and the exit status.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/app_state.h"
#include "app/quellmark.h"
#include "common/shared_state.h"
#include "display/audio.h"
#include "display/headless.h"

namespace {

int RunWith(const std::string& script) {
  HeadlessReset();
  AudioSetBackend(AudioBackend::Null);
  Headless.MaxFrames = 0;
  std::string error;
  EXPECT_TRUE(HeadlessLoadScript(script, &error)) << error;
  return RunQuellmark();
}

// Input scripted at frame N is seen by the loops after frame N has been presented, so a run whose
// last fresh Escape comes at frame N presents exactly N frames. At the default 1/60 s step the
// intro loop starts at frame 89 (one black frame, three half-second flashes of 29 frames) and is
// followed by six flashes (174 frames) before the main loop.

TEST(Run, OpensTheTitledSurfaceFullScreenWithoutAskingOrEndsWithMinusOneWithoutADisplay) {
  HeadlessReset();
  Headless.OpenFails = true;
  EXPECT_EQ(RunQuellmark(), -1);
  EXPECT_EQ(Headless.Frame, 0);
  EXPECT_EQ(RunWith("100 key Escape\n300 key Escape\n"), 0);
  EXPECT_EQ(Headless.Title, "CODED BY VELTHRANE :-)");
  // 800 x 600, not asking, full screen, no exit on close, cursor hidden, closed at the end.
  EXPECT_EQ(std::tuple(Headless.Width, Headless.Height, Headless.Ask, Headless.Windowed,
                       Headless.ExitOnClose, Headless.CursorHidden, Headless.Open),
            std::tuple(800, 600, 0, 0, 0, true, false));
}

// How each run ends: the frame of the last input that counts. Held keys and buttons at the start
// are covered by the intro's own table (tests/intro).
TEST(Run, WhatEndsTheLoops) {
  const struct {
    const char* Name;
    const char* Script;
    int LastFrame;
  } rows[] = {
      // The intro ends at frame 100; Escape held from 300 to 320 is one fresh press.
      {"held Escape in the main loop", "100 key Escape\n300 keydown Escape\n320 keyup Escape\n",
       300},
      // A click and an Escape tap, each shorter than a frame, count.
      {"short click and tap", "100 click\n300 tap Escape\n", 300},
      // The platform reports a key held before the window had the keyboard with its first
      // auto-repeat after focus arrives, here during the opening flashes: it does not count.
      {"Escape before focus",
       "20 keydown Escape\n150 keyup Escape\n200 key Escape\n400 key Escape\n", 400},
      // A close request ends the intro (no closing flashes, no main loop) or the main loop.
      {"close in the intro", "120 close\n", 120},
      {"close in the main loop", "100 key Escape\n320 close\n", 320},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(RunWith(row.Script), 0) << row.Name;
    EXPECT_EQ(Headless.Frame, row.LastFrame) << row.Name;
    EXPECT_FALSE(Headless.Open) << row.Name;
  }
}

TEST(Run, MainLoopClocksAdvanceByRealFrameTime) {
  // 20 ms frames: a flash shows 24 of them (with its 1 ms sleeps), so the intro loop starts at
  // frame 74 and the main loop at frame 245.
  EXPECT_EQ(RunWith("0 step 0.02\n100 key Escape\n344 key Escape\n"), 0);
  // About 100 main-loop frames of 20 ms plus their 1 ms sleeps, at 250 units a second.
  EXPECT_NEAR(Shared.AnimClock, 100 * 0.021 * 250, 0.021 * 250 * 2);
  EXPECT_GT(Shared.IntroPhase, 0.0);
}

TEST(Run, WithoutRetraceWaitsTheMagazineRunsAtTheSameSpeed) {
  // Presents that return at once (a window without vsync) against presents that wait for a
  // 60 Hz retrace: the frames last as long and the page scrolls as far in the same time.
  double seconds[2] = {};
  int lines[2] = {};
  for (const bool sync : {true, false}) {
    const std::string script = std::string(sync ? "" : "0 nosync\n") +
                               "0 step 0.0166667\n100 click\n300 keydown Down\n330 keyup Down\n"
                               "400 key Escape\n";
    const double start = 1000.0;
    EXPECT_EQ(RunWith(script), 0);
    seconds[sync] = (Headless.Clock - start) / Headless.Frame;
    lines[sync] = App.TopLine;
  }
  EXPECT_NEAR(seconds[false], 1.0 / 60, 0.002);
  EXPECT_NEAR(seconds[false], seconds[true], 0.002);
  EXPECT_EQ(lines[false], lines[true]);
}

}  // namespace
