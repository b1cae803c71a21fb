#include "render/intro_backdrop.h"

#include <algorithm>
#include <cmath>

#include "common/random.h"
#include "common/rounding.h"
#include "common/shared_state.h"
#include "render/framebuffer.h"
#include "render/intro_effects.h"

namespace {

// The tables' angle steps: 3.143 / 360 and 3.143 / 30, written out as the literals the effects
// were tuned with (3.143, not pi).
constexpr double WaveStep = 0.00873055555555556;
constexpr double RampStep = 0.104766666666667;

uint32_t Rgb(int32_t red, int32_t green, int32_t blue) {
  return static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 |
         static_cast<uint32_t>(blue);
}

void FillRow(int y, uint32_t colour) {
  std::fill_n(FrameBuffer + y * FrameWidth, FrameWidth, colour);
}

// A bar of step p: 32 rows whose blue rises p, 2p, ..., 16p and falls back to p, 0.
void DrawBar(int step, int top) {
  for (int r = 0; r < 32; ++r) {
    const int level = r < 16 ? step * (r + 1) : step * (31 - r);
    if (top + r < FrameHeight) FillRow(top + r, static_cast<uint32_t>(level));
  }
}

void Plot(int x, int y, uint32_t colour) {
  FrameBuffer[y * FrameWidth + x] = colour;
}

}  // namespace

void ScatterStars() {
  for (int n = 1; n <= StarCount; ++n) {
    Intro.StarX[n] = RandomUniform() * 800.0;
    Intro.StarY[n] = RandomUniform() * 470.0 + 22.0;
  }
}

void DrawRasterBars() {
  for (int i = 1; i <= 7; ++i) {
    // 3.14, not pi: the bars' paths were tuned with it.
    const double s = std::sin((4.0 * i + Shared.IntroPhase) * 3.14 / 90.0);
    DrawBar(2 * i, RoundEven(s * 100.0 + 375.0));
    DrawBar(i, RoundEven(s * -80.0 + 595.0));
  }
}

void UpdateWaveTables() {
  const double phase = Shared.IntroPhase;
  for (int j = 0; j < WaveColumns; ++j) {
    // Two neighbouring columns share a height, so the wave moves in double-size steps.
    const int k = (j + 1) / 2;
    const double a = std::sin((k - 2.5 * phase) * WaveStep * 1.5);
    const double b = std::sin((k - 4.0 * phase) * WaveStep);
    Intro.WaveTop[j] = RoundEven(a * 100.0 + b * 73.0 + 310.0);
    Intro.ReflectionTop[j] = RoundEven(592.0 - (a * 30.0 + b * 48.0));
  }

  auto wave = [](double angle, double amplitude, double centre) {
    return RoundEven(std::sin(angle * RampStep * 0.25) * amplitude + centre);
  };
  double fade = 1.0;
  for (int j = 0; j < RampRows; ++j) {
    Intro.TitleRamp[j] =
        Rgb(wave(j + phase, 90, 125), wave(j + 20 + phase, 90, 125), wave(j + 40 + phase, 90, 125));
    Intro.ScrollerRamp[j] = Rgb(wave(j, 100, 150), wave(j + 50, 100, 150), wave(j + 100, 100, 150));
    // The reflection truncates (floor), unlike the other ramps, and fades to black below row 521.
    auto dim = [fade](double angle) {
      return static_cast<int32_t>(
          std::floor((std::sin(angle * RampStep * 0.25) * 50.0 + 100.0) * fade));
    };
    Intro.ReflectionRamp[j] = Rgb(dim(-10.0 - j), dim(-90.0 - j), dim(-170.0 - j));
    if (j > 520) fade = std::max(fade - 0.015, 0.0);
  }
}

void DrawStarField() {
  struct Layer {
    double speed;
    uint32_t centre;
    uint32_t edge;
  };
  const Layer layers[3] = {{0.6 * Shared.IntroStep, 0x222222, 0x111111},
                           {1.2 * Shared.IntroStep, 0x444444, 0x222222},
                           {1.8 * Shared.IntroStep, 0x999999, 0x444444}};
  for (int n = 1; n <= StarCount; ++n) {
    const Layer& layer = layers[(n - 1) / 100];
    const int px = static_cast<int>(std::floor(Intro.StarX[n]));
    const int py = static_cast<int>(std::floor(Intro.StarY[n]));
    Intro.StarX[n] += layer.speed;
    // The row test never fails for scattered stars (rows 22..491); it keeps a star that was never
    // scattered from writing above the first row.
    if (px > 4 && px < 796 && py > 0 && py < FrameHeight - 2) {
      // A 4 x 4 dot without its corners: a 2 x 2 centre and an edge ring.
      Plot(px, py, layer.centre);
      Plot(px + 1, py, layer.centre);
      Plot(px, py + 1, layer.centre);
      Plot(px + 1, py + 1, layer.centre);
      Plot(px - 1, py, layer.edge);
      Plot(px - 1, py + 1, layer.edge);
      Plot(px + 2, py, layer.edge);
      Plot(px + 2, py + 1, layer.edge);
      Plot(px, py - 1, layer.edge);
      Plot(px + 1, py - 1, layer.edge);
      Plot(px, py + 2, layer.edge);
      Plot(px + 1, py + 2, layer.edge);
    }
    if (Intro.StarX[n] > 800.0) Intro.StarX[n] -= 800.0;
  }
}
