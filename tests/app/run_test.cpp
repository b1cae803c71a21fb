// Whole-program runs against the headless display: start-up, the intro's input rules, the main
// loop's end, and the exit status.
#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "app/quellmark.h"
#include "display/audio.h"
#include "display/headless.h"

namespace {

int RunWith(const std::string& script) {
  HeadlessReset();
  AudioSetBackend(AudioBackend::Null);
  Headless.maxFrames = 0;
  std::string error;
  EXPECT_TRUE(HeadlessLoadScript(script, &error)) << error;
  return RunQuellmark();
}

// Input scripted at frame N is seen by the loops after frame N has been presented, so a run whose
// last fresh Escape comes at frame N presents exactly N frames.

TEST(Run, NoDisplayEndsWithStatusMinusOne) {
  HeadlessReset();
  Headless.openFails = true;
  EXPECT_EQ(RunQuellmark(), -1);
  EXPECT_EQ(Headless.frame, 0);
}

TEST(Run, OpensTheTitledSurfaceFullScreenWithoutAsking) {
  EXPECT_EQ(RunWith("5 key Escape\n10 key Escape\n"), 0);
  EXPECT_EQ(Headless.title, "CODED BY VELTHRANE :-)");
  EXPECT_EQ(Headless.width, 800);
  EXPECT_EQ(Headless.height, 600);
  EXPECT_EQ(Headless.ask, 0);
  EXPECT_EQ(Headless.windowed, 0);
  EXPECT_EQ(Headless.exitOnClose, 0);
  EXPECT_TRUE(Headless.cursorHidden);
  EXPECT_FALSE(Headless.open);  // closed at the end
}

TEST(Run, EscapeHeldAtStartDoesNotSkipTheIntro) {
  // Escape is down before the first frame and released at frame 30. Had it ended the intro, the
  // second press (frame 40) would end the program there.
  EXPECT_EQ(RunWith("0 keydown Escape\n30 keyup Escape\n40 key Escape\n60 key Escape\n"), 0);
  EXPECT_EQ(Headless.frame, 60);
}

TEST(Run, ButtonHeldAtStartDoesNotSkipTheIntroButAClickEndsIt) {
  EXPECT_EQ(RunWith("0 down\n20 up\n30 down\n31 up\n50 key Escape\n"), 0);
  EXPECT_EQ(Headless.frame, 50);
}

TEST(Run, OnlyAFreshEscapeEndsTheMainLoop) {
  // The intro ends at frame 10; Escape is held from 20 to 40 (one fresh press ends the loop).
  EXPECT_EQ(RunWith("10 key Escape\n20 keydown Escape\n40 keyup Escape\n"), 0);
  EXPECT_EQ(Headless.frame, 20);
}

TEST(Run, MainLoopClocksAdvanceByRealFrameTime) {
  EXPECT_EQ(RunWith("0 step 0.02\n10 key Escape\n110 key Escape\n"), 0);
  // About 100 main-loop frames of 20 ms plus their 1 ms sleeps, at 250 units a second.
  EXPECT_NEAR(App.AnimClock, 100 * 0.021 * 250, 0.021 * 250 * 2);
  EXPECT_GT(App.IntroPhase, 0.0);
}

}  // namespace
