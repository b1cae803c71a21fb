// Golden screenshots of the intro at fixed frames of the headless run (virtual clock, 1/60 s frame
// step, fixed random seed before the timer seed), compared pixel for pixel.
//
// On a mismatch the test writes golden/NAME_actual.png and golden/NAME_diff.png (differing pixels
// red over a dimmed copy of the golden). GOLDEN_UPDATE=1 rewrites the goldens and fails the run,
// so that a regenerated golden is always looked at before it is committed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/quellmark.h"
#include "display/audio.h"
#include "display/headless.h"
#include "render/intro_effects.h"

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

class IntroGolden : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HeadlessReset();
    AudioSetBackend(AudioBackend::Null);
    Headless.MaxFrames = 5000;
    Headless.FrameHook = CaptureFrame;
    Captured = {};
    std::string error;
    ASSERT_TRUE(HeadlessLoadScript("3000 key Escape\n3300 key Escape\n", &error)) << error;
    ASSERT_EQ(RunQuellmark(), 0);
  }
};

void WriteDiff(const std::string& path, const std::vector<uint32_t>& golden,
               const std::vector<uint32_t>& actual) {
  std::vector<uint32_t> diff(actual.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    diff[i] = golden[i] == actual[i] ? (golden[i] >> 2) & 0x3F3F3F : 0xFF0000;
  }
  WritePng(path, diff.data(), 800, 600);
}

void CheckGolden(int frame, const std::string& name) {
  ASSERT_TRUE(Captured.frames.count(frame)) << "frame " << frame << " was not presented";
  const std::vector<uint32_t>& actual = Captured.frames[frame];
  const std::string goldenPath = "golden/" + name + ".png";
  const char* update = std::getenv("GOLDEN_UPDATE");
  if (update && std::string(update) == "1") {
    ASSERT_TRUE(WritePng(goldenPath, actual.data(), 800, 600));
    FAIL() << "wrote " << goldenPath << "; look at it, then run again without GOLDEN_UPDATE";
  }
  std::vector<uint32_t> golden;
  int width = 0, height = 0;
  ASSERT_TRUE(ReadPng(goldenPath, &golden, &width, &height)) << "cannot read " << goldenPath;
  ASSERT_EQ(width, 800);
  ASSERT_EQ(height, 600);
  size_t differing = 0;
  for (size_t i = 0; i < actual.size(); ++i) differing += golden[i] != actual[i] ? 1 : 0;
  if (differing != 0) {
    WritePng("golden/" + name + "_actual.png", actual.data(), 800, 600);
    WriteDiff("golden/" + name + "_diff.png", golden, actual);
  }
  EXPECT_EQ(differing, 0u) << name << ": see golden/" << name << "_actual.png and _diff.png";
}

}  // namespace

TEST_F(IntroGolden, TitleBox) {
  CheckGolden(150, "intro_title");
}

TEST_F(IntroGolden, Hold) {
  CheckGolden(700, "intro_hold");
  // The hold begins when the first hold marker (character 67) reaches the left edge, about 2112
  // pixels or 478 frames into the intro, and lasts 4 s (226 frames): the scroller stands still
  // from before frame 600 until after frame 770.
  EXPECT_EQ(Captured.scroller[700].first, 67);
  EXPECT_EQ(Captured.scroller[600], Captured.scroller[700]);
  EXPECT_EQ(Captured.scroller[700], Captured.scroller[770]);
}

TEST_F(IntroGolden, ScrollerOnTheWave) {
  CheckGolden(1800, "intro_scroller");
}

TEST_F(IntroGolden, ReflectionFade) {
  CheckGolden(2950, "intro_reflection");
}
