// One intro frame as the intro loop draws it: raster bars, wave and colour tables, star field,
// title box, scroller, and the backdrop for the next frame. Target: under 2 ms.
#include <benchmark/benchmark.h>

#include "app/app_state.h"
#include "app/transitions.h"
#include "common/random.h"
#include "common/shared_state.h"
#include "display/display.h"
#include "display/headless.h"
#include "render/framebuffer.h"
#include "render/intro_backdrop.h"
#include "render/intro_effects.h"
#include "render/intro_text.h"

namespace {

void PrepareIntro() {
  ResetApp();
  SeedRandom(0.0);
  ResetIntroEffects();
  BuildBigFont();
  ScatterStars();
  PaintIntroBackdrop();
  Shared.IntroStep = 250.0 / 60.0;
  // Mid-text, so all 28 scroller cells hold glyphs.
  Intro.ScrollPos = static_cast<int>(IntroScrollText.find("UPDATED")) + 1;
}

void BM_IntroFrame(benchmark::State& state) {
  PrepareIntro();
  double now = 0.0;
  for (auto _ : state) {
    DrawRasterBars();
    UpdateWaveTables();
    DrawStarField();
    DrawIntroBox();
    DrawIntroScroller(now, 0.0);
    benchmark::DoNotOptimize(FrameBuffer);
    PaintIntroBackdrop();
    now += 1.0 / 60.0;
    Shared.IntroPhase += 50.0 / 60.0;
    // Keep the scroller in the middle of the text, away from the holds.
    if (Intro.ScrollPos > 800) Intro.ScrollPos = 400;
  }
}
BENCHMARK(BM_IntroFrame)->Unit(benchmark::kMicrosecond);

// The parts on their own, to see where a frame's time goes.
void BM_UpdateWaveTables(benchmark::State& state) {
  PrepareIntro();
  for (auto _ : state) {
    UpdateWaveTables();
    benchmark::DoNotOptimize(Intro.WaveTop);
    Shared.IntroPhase += 50.0 / 60.0;
  }
}
BENCHMARK(BM_UpdateWaveTables)->Unit(benchmark::kMicrosecond);

void BM_DrawIntroBox(benchmark::State& state) {
  PrepareIntro();
  UpdateWaveTables();
  for (auto _ : state) {
    DrawIntroBox();
    benchmark::DoNotOptimize(FrameBuffer);
  }
}
BENCHMARK(BM_DrawIntroBox)->Unit(benchmark::kMicrosecond);

void BM_DrawIntroScroller(benchmark::State& state) {
  PrepareIntro();
  UpdateWaveTables();
  Shared.IntroStep = 0.0;  // stand still: the same 28 glyphs every time
  for (auto _ : state) {
    DrawIntroScroller(0.0, 0.0);
    benchmark::DoNotOptimize(FrameBuffer);
  }
}
BENCHMARK(BM_DrawIntroScroller)->Unit(benchmark::kMicrosecond);

// A half-second flash of 2-row bands (300 bands a frame) on the headless display, whose
// virtual clock makes it 29 frames.
void BM_ColourBandFlash(benchmark::State& state) {
  PrepareIntro();
  HeadlessReset();
  DisplayOpen("bench", FrameWidth, FrameHeight);
  for (auto _ : state) ColourBandFlash(2);
  state.counters["frames"] =
      benchmark::Counter(static_cast<double>(Headless.Frame), benchmark::Counter::kAvgIterations);
  DisplayClose();
}
BENCHMARK(BM_ColourBandFlash)->Unit(benchmark::kMillisecond);

}  // namespace
