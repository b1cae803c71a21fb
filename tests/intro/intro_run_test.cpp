// The intro inside the whole program, run against the headless display: which input ends it,
// which does not, the tune keys, and the flashes around it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/quellmark.h"
#include "app/transitions.h"
#include "common/shared_state.h"
#include "display/audio.h"
#include "display/display.h"
#include "display/headless.h"
#include "render/framebuffer.h"
#include "render/intro_text.h"

namespace {

// What each presented frame looked like, recorded by the headless frame hook.
struct FrameNote {
  bool black;          // every pixel 0
  bool flashBands;     // rows 0..9 one colour, row 10 another: a flash of 10-row bands
  bool introBackdrop;  // row 1 is the backdrop's blue 150
};
std::vector<FrameNote> Notes;

void NoteFrame() {
  const std::vector<uint32_t>& f = Headless.LastFrame;
  FrameNote note{true, true, f[800 + 400] == 150};
  for (uint32_t word : f) {
    if (word != 0) {
      note.black = false;
      break;
    }
  }
  for (int y = 0; y < 10; ++y) note.flashBands = note.flashBands && f[y * 800] == f[0];
  note.flashBands = note.flashBands && f[10 * 800] != f[0] && !note.black;
  Notes.push_back(note);
}

// Runs the program on the headless display (reset by the caller) and notes every frame.
int RunWith(const std::string& script) {
  AudioSetBackend(AudioBackend::Null);
  Headless.MaxFrames = 5000;  // a run that misses its Escape ends (status 2) instead of hanging
  Headless.FrameHook = NoteFrame;
  Notes.clear();
  std::string error;
  EXPECT_TRUE(HeadlessLoadScript(script, &error)) << error;
  return RunQuellmark();
}

// Frames presented by the intro loop: from the first frame on the backdrop (the loop's second
// frame) to the last, plus the first one drawn over the last opening flash.
int IntroLoopFrames() {
  int count = 0;
  for (const FrameNote& n : Notes) count += n.introBackdrop ? 1 : 0;
  return count == 0 ? 0 : count + 1;
}

int LeadingBlackFrames() {
  int count = 0;
  while (count < static_cast<int>(Notes.size()) && Notes[count].black) ++count;
  return count;
}

// With the default 1/60 s frame step and the 1 ms sleep after each flash frame, a half-second
// flash shows 29 frames.
constexpr int FlashFrames = 29;

}  // namespace

// Which input ends the intro and which does not, by the frames each run shows: the leading black
// frames (a held Escape or button is waited out), then three flashes of 29 frames, then the loop
// until a fresh Escape or click. The flashes read no input, and a tap during them is over (key
// up) by the time the loop first looks: pressed since the last query but not down now.
TEST(IntroRun, WhatEndsTheIntro) {
  const struct {
    const char* Name;
    const char* Script;
    double Clock;  // the virtual clock at the start, which seeds the tune
    int Black, LoopEnd, LastFrame;
    uint32_t Tune;  // 0: any; the tune is drawn from the generator seeded with the clock, so
                    // two start times give two tunes (as measured)
  } rows[] = {
      {"Escape", "200 key Escape\n500 key Escape\n", 0, 1, 200, 500, 0},
      {"held Escape", "0 keydown Escape\n30 keyup Escape\n300 key Escape\n600 key Escape\n", 0, 31,
       300, 600, 0},
      {"held button", "0 down\n20 up\n250 down\n251 up\n600 key Escape\n", 0, 21, 250, 600, 0},
      {"tap in the flashes", "40 key Escape\n200 key Escape\n500 key Escape\n", 0, 1, 200, 500, 0},
      {"F5 then F12", "150 key F5\n170 key F12\n200 key Escape\n500 key Escape\n", 0, 1, 200, 500,
       12},
      {"seeded at 1000 s", "100 key Escape\n300 key Escape\n", 1000.0, 1, 100, 300, 2},
      {"seeded at 1000.37 s", "100 key Escape\n300 key Escape\n", 1000.37, 1, 100, 300, 11},
  };
  for (const auto& row : rows) {
    HeadlessReset();
    if (row.Clock > 0) Headless.Clock = row.Clock;
    EXPECT_EQ(RunWith(row.Script), 0) << row.Name;
    EXPECT_EQ(LeadingBlackFrames(), row.Black) << row.Name;
    EXPECT_EQ(IntroLoopFrames(), row.LoopEnd - (row.Black + 3 * FlashFrames)) << row.Name;
    EXPECT_EQ(Headless.Frame, row.LastFrame) << row.Name;
    EXPECT_TRUE(row.Tune == 0 ? App.SidTune >= 1 && App.SidTune <= 12 : App.SidTune == row.Tune)
        << row.Name << ": tune " << App.SidTune;
  }
  // The last run's frames: 10-row bands for the first two opening flashes, 2-row bands for the
  // third; six closing flashes (frames 101..274), none black, none on the intro's backdrop.
  for (int f = 1; f < 1 + 3 * FlashFrames; ++f)
    EXPECT_EQ(Notes[f].flashBands, f < 1 + 2 * FlashFrames) << "frame " << f + 1;
  for (int f = 100; f < 100 + 6 * FlashFrames; ++f)
    EXPECT_TRUE(!Notes[f].black && !Notes[f].introBackdrop) << "frame " << f + 1;
  EXPECT_TRUE(Notes[100 + 6 * FlashFrames].introBackdrop == false);
}

TEST(IntroRun, ClocksFollowFrameTimeAtAnyFrameRate) {
  // 144 Hz: 1/144 s frames plus the loop's 1 ms sleep.
  HeadlessReset();
  EXPECT_EQ(RunWith("0 step 0.0069444444\n400 key Escape\n1200 key Escape\n"), 0);
  // Every intro frame took the same time: the step is that time x 250, the phase adds it x 50.
  EXPECT_NEAR(Shared.IntroStep, (1.0 / 144 + 0.001) * 250, 0.01);
  EXPECT_NEAR(Shared.IntroPhase, IntroLoopFrames() * Shared.IntroStep / 5, 1e-6);
}

TEST(ColourBandFlash, ABandOfNoRowsShowsNothing) {
  // A band height below 1 would never advance through the rows; it presents no frame at all.
  HeadlessReset();
  ASSERT_EQ(DisplayOpen("flash", 800, 600), 1);
  ColourBandFlash(0);
  EXPECT_EQ(Headless.Frame, 0);
  DisplayClose();
}
