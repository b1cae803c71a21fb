// Golden screenshots of the intro at fixed frames of the headless run (virtual clock, 1/60 s frame
// step, fixed random seed before the timer seed), compared pixel for pixel.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/quellmark.h"
#include "display/audio.h"
#include "display/headless.h"
#include "render/intro_effects.h"
#include "tests/support/golden.h"

namespace {

// Frames to keep, by frame number. The intro loop starts at frame 89 and each of its frames takes
// 1/60 s + 1 ms, so frame F is about (F - 89) x 0.01767 s into the intro.
const std::map<int, std::string> GoldenFrames = {
    {150, "intro_title"},       // 1.1 s: title box, bars and stars; the scroller is still blank
    {700, "intro_hold"},        // 10.8 s: the first hold, "** WELCOME **" standing still
    {1800, "intro_scroller"},   // 30 s: text riding the top of the wave
    {2950, "intro_reflection"}  // 50.5 s: text low on the wave, its mirror image fading out
};

struct Capture {
  std::map<int, std::vector<uint32_t>> frames;
  std::map<int, std::pair<int, double>> scroller;  // frame -> (ScrollPos, ScrollOffset)
};
Capture Captured;

void CaptureFrame() {
  if (GoldenFrames.count(Headless.Frame)) Captured.frames[Headless.Frame] = Headless.LastFrame;
  Captured.scroller[Headless.Frame] = {Intro.ScrollPos, Intro.ScrollOffset};
}

}  // namespace

// One run of the intro (3,300 frames), four golden frames and the first hold.
TEST(IntroGolden, FramesAndTheFirstHold) {
  HeadlessReset();
  AudioSetBackend(AudioBackend::Null);
  Headless.MaxFrames = 5000;
  Headless.FrameHook = CaptureFrame;
  std::string error;
  ASSERT_TRUE(HeadlessLoadScript("3000 key Escape\n3300 key Escape\n", &error)) << error;
  ASSERT_EQ(RunQuellmark(), 0);
  Headless.FrameHook = nullptr;
  for (const auto& [frame, name] : GoldenFrames) {
    ASSERT_TRUE(Captured.frames.count(frame)) << "frame " << frame << " was not presented";
    EXPECT_EQ(CheckGoldenImage(name, Captured.frames[frame].data()), "") << name;
  }
  // The hold begins when the first hold marker (character 67) reaches the left edge, about 2112
  // pixels or 478 frames into the intro, and lasts 4 s (226 frames): the scroller stands still
  // from before frame 600 until after frame 770.
  EXPECT_EQ(Captured.scroller[700].first, 67);
  EXPECT_EQ(Captured.scroller[600], Captured.scroller[700]);
  EXPECT_EQ(Captured.scroller[700], Captured.scroller[770]);
}
