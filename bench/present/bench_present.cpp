// The processor's share of presenting a frame on a screen without a GPU (display/sharp_scale.h,
// display/frame_damage.h, as the SDL display's window-surface path uses them), on the program's
// own main-loop frames:
// - a whole picture scaled to the sizes a full screen asks for (1024 x 768, 1440 x 1080 inside
//   1920 x 1080, 1920 x 1440 inside 2560 x 1440, 2880 x 2160 inside 3840 x 2160), as in the intro
//   or while scrolling, when every row changes, and below its own size as a browser's canvas asks;
// - the idle main loop as presented: the rows changed since the frame before found, then copied
//   (the 800 x 600 window) or scaled (full screen); `rows` counts the changed source rows a frame.
#include <benchmark/benchmark.h>

#include <cstring>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/page_frame.h"
#include "app/startup.h"
#include "app/viewer.h"
#include "common/shared_state.h"
#include "display/frame_damage.h"
#include "display/sharp_scale.h"
#include "render/framebuffer.h"
#include "render/level_meter.h"
#include "render/skins.h"

namespace {

// The program's main loop on the editorial, as after the intro, the pointer over the page.
void PrepareMainLoop() {
  StartUp();
  for (int skin = 1; skin <= SkinCount; ++skin) RenderSkinBackground(skin, 0, 0, 799, 599, 0, 0);
  Shared.MouseX = 400;
  Shared.MouseY = 400;
}

void MainLoopFrame() {
  for (int i = 0; i < MeterBarCount; i += 3) LevelMeter.MeterBars[i] = 131;
  ComposePageFrame();
  DrawScrollbarThumb();
  DrawPointer(Shared.MouseX, Shared.MouseY);
  Shared.AnimClock += 4.0;
}

void BM_SharpScaleWhole(benchmark::State& state) {
  PrepareMainLoop();
  MainLoopFrame();
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  SharpScaler scaler;
  SharpScaleSetUp(scaler, FrameWidth, FrameHeight, width, height);
  std::vector<uint32_t> target(static_cast<size_t>(width) * height);
  for (auto _ : state) {
    SharpScale(scaler, FrameBuffer, target.data(), width);
    benchmark::DoNotOptimize(target.data());
  }
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(width) * height * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SharpScaleWhole)
    ->Args({1024, 768})
    ->Args({1440, 1080})
    ->Args({1920, 1440})
    ->Args({2880, 2160})
    ->Args({640, 480})
    ->Args({375, 281})
    ->Unit(benchmark::kMicrosecond);

// The idle main loop's presenting: width 800 copies the changed rows (the window), any other
// width scales them.
void BM_PresentMainLoop(benchmark::State& state) {
  PrepareMainLoop();
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const bool scaled = width != FrameWidth;
  SharpScaler scaler;
  if (scaled) SharpScaleSetUp(scaler, FrameWidth, FrameHeight, width, height);
  std::vector<uint32_t> target(static_cast<size_t>(width) * height);
  FrameDamage damage;
  std::vector<std::pair<int, int>> runs;
  MainLoopFrame();
  FrameDamageRuns(damage, FrameBuffer, FrameWidth, FrameHeight, runs);
  double rows = 0;
  for (auto _ : state) {
    state.PauseTiming();
    MainLoopFrame();
    state.ResumeTiming();
    FrameDamageRuns(damage, FrameBuffer, FrameWidth, FrameHeight, runs);
    for (const auto& [first, end] : runs) {
      rows += end - first;
      if (!scaled) {
        std::memcpy(target.data() + static_cast<size_t>(first) * width,
                    FrameBuffer + static_cast<size_t>(first) * FrameWidth,
                    sizeof(uint32_t) * FrameWidth * (end - first));
        continue;
      }
      int from = 0, to = 0;
      SharpScaleTargetRows(scaler, first, end, from, to);
      SharpScaleRows(scaler, FrameBuffer, target.data(), width, from, to);
    }
    benchmark::DoNotOptimize(target.data());
  }
  state.counters["rows"] = rows / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PresentMainLoop)
    ->Args({800, 600})
    ->Args({1024, 768})
    ->Args({1440, 1080})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
