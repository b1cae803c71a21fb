// The page viewer's per-frame work (rules and text of 33 rows x 81 columns) and the load of the
// longest document, with the issue's own content and font.
#include <benchmark/benchmark.h>

#include "app/app_state.h"
#include "app/viewer.h"
#include "common/shared_state.h"
#include "content/content.h"
#include "render/framebuffer.h"
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

}  // namespace
