// The intro inside the whole program, run against the headless display: which input ends it,
// which does not, the tune keys, and the flashes around it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/quellmark.h"
#include "app/transitions.h"
#include "common/random.h"
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

int RunWith(const std::string& script) {
  HeadlessReset();
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

// How much each flash frame (2..88 and 151..324 in a run whose intro ends after frame 150)
// differs from the frame before: the mean over pixels and channels, as a share of full brightness.
std::vector<double> Changes;
std::vector<uint32_t> Previous;

void NoteChange() {
  const std::vector<uint32_t>& f = Headless.LastFrame;
  const auto flash = [](int n) { return (n >= 2 && n <= 88) || (n >= 151 && n <= 324); };
  int sum = 0;
  for (size_t i = 0; i < f.size() && flash(Headless.Frame); ++i) {
    for (int shift : {0, 8, 16})
      sum += std::abs(static_cast<int>(f[i] >> shift & 255) -
                      static_cast<int>(Previous[i] >> shift & 255));
  }
  Changes.push_back(sum / (f.size() * 3 * 255.0));
  if (flash(Headless.Frame + 1)) Previous = f;
}

}  // namespace

TEST(IntroRun, OpensWithBlackThenThreeFlashesThenTheLoop) {
  EXPECT_EQ(RunWith("200 key Escape\n500 key Escape\n"), 0);
  EXPECT_EQ(LeadingBlackFrames(), 1);
  // Frames 2..88: 10-row bands for the first two flashes, 2-row bands for the third.
  for (int f = 1; f < 1 + 2 * FlashFrames; ++f)
    EXPECT_TRUE(Notes[f].flashBands) << "frame " << f + 1;
  for (int f = 1 + 2 * FlashFrames; f < 1 + 3 * FlashFrames; ++f) {
    EXPECT_FALSE(Notes[f].flashBands) << "frame " << f + 1;
  }
  // The loop runs from frame 89 until the fresh Escape after frame 200.
  EXPECT_EQ(IntroLoopFrames(), 200 - (1 + 3 * FlashFrames));
  EXPECT_FALSE(Notes[199 + 1].introBackdrop);  // closing flashes follow at once
  EXPECT_EQ(Headless.Frame, 500);
}

TEST(IntroRun, ReducedMotionFadesWhereTheBandsWouldFlash) {
  // The flashes are frames 2..88 and 151..324 (after the intro's last frame, 150). As bands they
  // change by up to half of full brightness from one frame to the next; faded, by at most 10 %,
  // and the first flash still carries the picture to its colour.
  HeadlessReset();
  AudioSetBackend(AudioBackend::Null);
  Headless.MaxFrames = 5000;
  Headless.ReducedMotion = true;
  Headless.FrameHook = NoteChange;
  Changes.clear();
  std::string error;
  ASSERT_TRUE(HeadlessLoadScript("150 key Escape\n325 key Escape\n", &error)) << error;
  ASSERT_EQ(RunQuellmark(), 0);
  double worst = 0, firstFlash = 0;
  for (int f = 1; f < 1 + 3 * FlashFrames; ++f) worst = std::max(worst, Changes[f]);
  for (int f = 150; f < 150 + 6 * FlashFrames; ++f) worst = std::max(worst, Changes[f]);
  for (int f = 1; f <= FlashFrames; ++f) firstFlash += Changes[f];
  EXPECT_LE(worst, 0.10);
  EXPECT_GT(firstFlash, 0.15);
}

TEST(IntroRun, ClosingFlashesLastThreeSeconds) {
  // Six flashes of half a second: 6 x 29 frames between the intro's last frame and the main loop.
  EXPECT_EQ(RunWith("150 key Escape\n400 key Escape\n"), 0);
  const int mainStart = 150 + 6 * FlashFrames;  // frames 151..324 flash
  for (int f = 150; f < mainStart; ++f) {
    EXPECT_FALSE(Notes[f].black) << "frame " << f + 1;
    EXPECT_FALSE(Notes[f].introBackdrop) << "frame " << f + 1;
  }
}

TEST(IntroRun, EscapeHeldAtStartWaitsAndDoesNotSkip) {
  // Escape down before the first frame, released after frame 30: black until then, one more
  // black frame, the flashes, and an intro that lasts until the fresh press at frame 300.
  EXPECT_EQ(RunWith("0 keydown Escape\n30 keyup Escape\n300 key Escape\n600 key Escape\n"), 0);
  EXPECT_EQ(LeadingBlackFrames(), 31);
  EXPECT_EQ(IntroLoopFrames(), 300 - (31 + 3 * FlashFrames));
  EXPECT_EQ(Headless.Frame, 600);
}

TEST(IntroRun, ButtonHeldAtStartWaitsButAClickEndsTheIntro) {
  EXPECT_EQ(RunWith("0 down\n20 up\n250 down\n251 up\n600 key Escape\n"), 0);
  EXPECT_EQ(LeadingBlackFrames(), 21);
  EXPECT_EQ(IntroLoopFrames(), 250 - (21 + 3 * FlashFrames));
}

TEST(IntroRun, OnlyAFreshEscapeEndsTheIntro) {
  // The flashes read no input, and a tap during them is over (key up) by the time the loop first
  // looks: pressed since the last query but not down now, so not a fresh press.
  EXPECT_EQ(RunWith("40 key Escape\n200 key Escape\n500 key Escape\n"), 0);
  EXPECT_EQ(IntroLoopFrames(), 200 - (1 + 3 * FlashFrames));
}

TEST(IntroRun, FunctionKeysChooseTheTune) {
  EXPECT_EQ(RunWith("150 key F5\n170 key F12\n200 key Escape\n500 key Escape\n"), 0);
  EXPECT_EQ(App.SidTune, 12u);
}

TEST(IntroRun, FirstTuneComesFromTheSeededGenerator) {
  EXPECT_EQ(RunWith("200 key Escape\n500 key Escape\n"), 0);
  EXPECT_GE(App.SidTune, 1u);
  EXPECT_LE(App.SidTune, 12u);
  // The generator is seeded from the timer, so another start time may give another tune.
  const uint32_t first = App.SidTune;
  bool differs = false;
  for (int start = 1; start < 40 && !differs; ++start) {
    HeadlessReset();
    Headless.Clock = 1000.0 + start * 0.37;
    AudioSetBackend(AudioBackend::Null);
    Headless.MaxFrames = 5000;
    std::string error;
    ASSERT_TRUE(HeadlessLoadScript("100 key Escape\n300 key Escape\n", &error));
    RunQuellmark();
    differs = App.SidTune != first;
  }
  EXPECT_TRUE(differs);
}

TEST(IntroRun, ClocksFollowFrameTimeAtAnyFrameRate) {
  // 144 Hz: 1/144 s frames plus the loop's 1 ms sleep.
  EXPECT_EQ(RunWith("0 step 0.0069444444\n400 key Escape\n1200 key Escape\n"), 0);
  const int frames = IntroLoopFrames();
  // Every intro frame took the same time: the step is that time x 250, the phase adds it x 50.
  EXPECT_NEAR(Shared.IntroStep, (1.0 / 144 + 0.001) * 250, 0.01);
  EXPECT_NEAR(Shared.IntroPhase, frames * Shared.IntroStep / 5, 1e-6);
}

TEST(ColourBandFlash, FillsTheFrameWithBandsForHalfASecond) {
  for (const int band : {2, 10}) {
    HeadlessReset();
    ASSERT_EQ(DisplayOpen("flash", 800, 600), 1);
    SeedRandom(7.0);
    const double start = TimerSeconds();
    ColourBandFlash(band);
    // Bounded by time, not frames: 29 frames of 1/60 s plus 1 ms, the last one starting before
    // the half second is over.
    EXPECT_EQ(Headless.Frame, 29);
    EXPECT_GE(TimerSeconds() - start, 0.5);
    const std::vector<uint32_t>& f = Headless.LastFrame;
    int bandsThatDiffer = 0;
    for (int y = 0; y < 600; ++y) {
      for (int x = 1; x < 800; ++x) ASSERT_EQ(f[y * 800 + x], f[y * 800]) << "row " << y;
      if (y % band != 0) {
        ASSERT_EQ(f[y * 800], f[(y - 1) * 800]) << "band " << band << " row " << y;
      } else if (y > 0) {
        bandsThatDiffer += f[y * 800] != f[(y - 1) * 800] ? 1 : 0;
      }
    }
    // 300 or 60 bands of random colours: neighbours almost never share one.
    EXPECT_GT(bandsThatDiffer, 600 / band - 3);
    DisplayClose();
  }
}

TEST(ColourBandFlash, ABandOfNoRowsShowsNothing) {
  // A band height below 1 would never advance through the rows; it presents no frame at all.
  HeadlessReset();
  ASSERT_EQ(DisplayOpen("flash", 800, 600), 1);
  ColourBandFlash(0);
  EXPECT_EQ(Headless.Frame, 0);
  DisplayClose();
}
