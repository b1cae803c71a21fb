// Whole-program runs against the headless display: start-up, the intro's input rules, the main
// loop's end, and the exit status.
#include <gtest/gtest.h>

#include <string>

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

TEST(Run, NoDisplayEndsWithStatusMinusOne) {
  HeadlessReset();
  Headless.OpenFails = true;
  EXPECT_EQ(RunQuellmark(), -1);
  EXPECT_EQ(Headless.Frame, 0);
}

TEST(Run, OpensTheTitledSurfaceFullScreenWithoutAsking) {
  EXPECT_EQ(RunWith("100 key Escape\n300 key Escape\n"), 0);
  EXPECT_EQ(Headless.Title, "CODED BY VELTHRANE :-)");
  EXPECT_EQ(Headless.Width, 800);
  EXPECT_EQ(Headless.Height, 600);
  EXPECT_EQ(Headless.Ask, 0);
  EXPECT_EQ(Headless.Windowed, 0);
  EXPECT_EQ(Headless.ExitOnClose, 0);
  EXPECT_TRUE(Headless.CursorHidden);
  EXPECT_FALSE(Headless.Open);  // closed at the end
}

TEST(Run, EscapeHeldAtStartDoesNotSkipTheIntro) {
  // Escape is down before the first frame and released at frame 30. Had it ended the intro, the
  // intro loop would not have run at all.
  EXPECT_EQ(RunWith("0 keydown Escape\n30 keyup Escape\n140 key Escape\n400 key Escape\n"), 0);
  EXPECT_EQ(Headless.Frame, 400);
  EXPECT_GT(Shared.IntroPhase, 10.0);
}

TEST(Run, ButtonHeldAtStartDoesNotSkipTheIntroButAClickEndsIt) {
  EXPECT_EQ(RunWith("0 down\n20 up\n150 down\n151 up\n400 key Escape\n"), 0);
  EXPECT_EQ(Headless.Frame, 400);
  EXPECT_GT(Shared.IntroPhase, 10.0);
}

TEST(Run, OnlyAFreshEscapeEndsTheMainLoop) {
  // The intro ends at frame 100; Escape is held from 300 to 320 (one fresh press ends the loop).
  EXPECT_EQ(RunWith("100 key Escape\n300 keydown Escape\n320 keyup Escape\n"), 0);
  EXPECT_EQ(Headless.Frame, 300);
}

TEST(Run, MainLoopClocksAdvanceByRealFrameTime) {
  // 20 ms frames: a flash shows 24 of them (with its 1 ms sleeps), so the intro loop starts at
  // frame 74 and the main loop at frame 245.
  EXPECT_EQ(RunWith("0 step 0.02\n100 key Escape\n344 key Escape\n"), 0);
  // About 100 main-loop frames of 20 ms plus their 1 ms sleeps, at 250 units a second.
  EXPECT_NEAR(Shared.AnimClock, 100 * 0.021 * 250, 0.021 * 250 * 2);
  EXPECT_GT(Shared.IntroPhase, 0.0);
}

TEST(Run, ShortTapsAndClicksCount) {
  // A click and an Escape tap, each shorter than a frame, end the intro and the main loop.
  EXPECT_EQ(RunWith("100 click\n300 tap Escape\n"), 0);
  EXPECT_EQ(Headless.Frame, 300);
}

TEST(Run, EscapeHeldBeforeTheWindowHadTheKeyboardDoesNotSkipTheIntro) {
  // The platform first reports the held key with its first auto-repeat after focus arrives, as a
  // fresh press, here during the opening flashes; it is released later and pressed again.
  EXPECT_EQ(RunWith("20 keydown Escape\n150 keyup Escape\n200 key Escape\n400 key Escape\n"), 0);
  EXPECT_EQ(Headless.Frame, 400);
}

TEST(Run, ACloseRequestEndsTheIntroAndTheProgramInOrder) {
  // No closing flashes, no main loop: the program ends at the close request's frame.
  EXPECT_EQ(RunWith("120 close\n"), 0);
  EXPECT_EQ(Headless.Frame, 120);
  EXPECT_FALSE(Headless.Open);
}

TEST(Run, ACloseRequestEndsTheMainLoop) {
  EXPECT_EQ(RunWith("100 key Escape\n320 close\n"), 0);
  EXPECT_EQ(Headless.Frame, 320);
  EXPECT_FALSE(Headless.Open);
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
