// The page viewer's per-frame work (rules and text of 33 rows x 81 columns), the load of the
// longest document, and whole main-loop frames (background, buttons, menu panel, page, level
// meter, ticker, scrollbar, pointer) and transition frames as the program composes them, with the
// issue's own content, font and skins. Nothing is presented.
#include <benchmark/benchmark.h>

#include "app/app_state.h"
#include "app/page_frame.h"
#include "app/startup.h"
#include "app/viewer.h"
#include "common/shared_state.h"
#include "content/content.h"
#include "render/framebuffer.h"
#include "render/level_meter.h"
#include "render/page_cover.h"
#include "render/skins.h"
#include "render/text.h"

namespace {

void Prepare() {
  ResetApp();
  ClearContent();
  FillContent();
  ResetViewer();
  BuildTextColours();
}

// One frame of page text and rules, scrolled mid-line so rows 0 and 31 take the clipped path.
void BM_PageTextAndRules(benchmark::State& state) {
  Prepare();
  LoadDocument(4);
  App.TopLine = App.LineCount > 100 ? 60 : 0;
  App.ScrollPixel = 6;
  for (auto _ : state) {
    DrawPageRules(App.TopLine);
    DrawPageText(App.TopLine);
    benchmark::DoNotOptimize(FrameBuffer[400 * FrameWidth + 400]);
    Shared.AnimClock += 4.0;  // rainbow rules change every frame
  }
}
BENCHMARK(BM_PageTextAndRules)->Unit(benchmark::kMicrosecond);

void BM_LoadDocument4(benchmark::State& state) {
  Prepare();
  for (auto _ : state) {
    LoadDocument(4);
    benchmark::DoNotOptimize(App.LineCount);
  }
}
BENCHMARK(BM_LoadDocument4)->Unit(benchmark::kMicrosecond);

// The program's own start-up, then the skins rendered as after the intro; the longest document
// scrolled mid-line, the mouse over a menu slot, and the meter pushed every frame.
void PrepareMainLoop() {
  StartUp();
  for (int skin = 1; skin <= SkinCount; ++skin) RenderSkinBackground(skin, 0, 0, 799, 599, 0, 0);
  LoadDocument(4);
  App.TopLine = 60;
  App.ScrollPixel = 6;
  Shared.MouseX = 250;
  Shared.MouseY = 80;
}

void PushMeter() {
  for (int i = 0; i < MeterBarCount; i += 3) LevelMeter.MeterBars[i] = 131;
}

// One whole main-loop frame without presenting: the page-frame composer, the scrollbar and the
// pointer. Both skins alternate.
void BM_MainLoopFrame(benchmark::State& state) {
  PrepareMainLoop();
  int frame = 0;
  for (auto _ : state) {
    Shared.SkinNumber = 1 + (++frame & 1);
    PushMeter();
    ComposePageFrame();
    DrawScrollbarThumb();
    HandleScrollbarDrag();
    DrawPointer(Shared.MouseX, Shared.MouseY);
    benchmark::DoNotOptimize(FrameBuffer[400 * FrameWidth + 400]);
    Shared.AnimClock += 4.0;
  }
}
BENCHMARK(BM_MainLoopFrame)->Unit(benchmark::kMicrosecond);

// One page-transition frame: the composer, then the curtain half-way.
void BM_TransitionFrame(benchmark::State& state) {
  PrepareMainLoop();
  for (auto _ : state) {
    PushMeter();
    ComposePageFrame();
    CoverPageColumns(370);
    benchmark::DoNotOptimize(FrameBuffer[400 * FrameWidth + 400]);
    Shared.AnimClock += 4.0;
  }
}
BENCHMARK(BM_TransitionFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
