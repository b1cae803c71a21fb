#include "render/primitives.h"

#include <cmath>

#include "common/rounding.h"
#include "common/shared_state.h"
#include "render/framebuffer.h"

namespace {

struct RuleColours {
  uint32_t Bright;
  uint32_t Dim;
};
constexpr RuleColours PlainRules[8] = {
    {0, 0},
    {0xFFFFFF, 0x888888},
    {0xFF0000, 0x880000},
    {0x00FF00, 0x008800},
    {0x0000FF, 0x000088},
    {0xFFFF00, 0x888800},
    {0x00FFFF, 0x008888},
    {0xFF00FF, 0x880088},
};

// A colour channel rounded to the nearest level, halves to the even neighbour.
inline uint32_t Level(double v) {
  return static_cast<uint32_t>(RoundEven(v));
}

}  // namespace

void BlendRect(int32_t x, int32_t y, int32_t w, int32_t h, int32_t alpha, int32_t r, int32_t g,
               int32_t b) {
  const auto a = static_cast<uint32_t>(alpha);
  const uint32_t keep = 256 - a;
  // Red and blue blend together in one product of the word masked with 0xFF00FF; each channel's
  // result is below 256 after the shift, so they cannot run into each other.
  const uint32_t addRB = (static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(b)) * a;
  const uint32_t addG = (static_cast<uint32_t>(g) << 8) * a;
  for (int32_t row = y; row <= y + h; ++row) {
    uint32_t* p = FrameBuffer + row * FrameWidth;
    for (int32_t col = x; col <= x + w; ++col) {
      const uint32_t pixel = p[col];
      const uint32_t rb = ((pixel & 0xFF00FF) * keep + addRB) >> 8 & 0xFF00FF;
      const uint32_t gg = ((pixel & 0x00FF00) * keep + addG) >> 8 & 0x00FF00;
      p[col] = rb | gg;
    }
  }
}

void DrawRule(int32_t y, int32_t x, int32_t length, int32_t style) {
  uint32_t* above = FrameBuffer + (y - 1) * FrameWidth;
  uint32_t* middle = FrameBuffer + y * FrameWidth;
  uint32_t* below = FrameBuffer + (y + 1) * FrameWidth;
  if (style >= 1 && style <= 7) {
    const RuleColours c = PlainRules[style];
    for (int32_t i = x; i < x + length; ++i) {
      above[i] = c.Dim;
      middle[i] = c.Bright;
      below[i] = c.Dim;
    }
  } else if (style == 8) {
    for (int32_t i = 0; i <= length; ++i) {
      const double t = Shared.AnimClock + i;
      const double sr = std::sin(t * 0.01);
      const double sg = std::sin(t * 0.012 + 0.96);
      const double sb = std::sin(t * 0.013 + 2.47);
      middle[x + i] =
          Level(sr * 124 + 125) << 16 | Level(sg * 124 + 125) << 8 | Level(sb * 124 + 125);
      const uint32_t dim =
          Level(sr * 64 + 65) << 16 | Level(sg * 64 + 65) << 8 | Level(sb * 64 + 65);
      above[x + i] = dim;
      below[x + i] = dim;
    }
  }
}
