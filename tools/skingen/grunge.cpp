// 'Grunge': worn, rusty plate metal in warm browns, ochre and dull gold, held by rivets, streaked
// with rust and scratched; bronze keys with cream-gold lettering that keeps reading under the
// gold tint of a chosen button.

#include <cmath>

#include "tools/skingen/paint.h"

namespace {

constexpr uint32_t Seed = 0x6A7E5101u;

constexpr Rgb RustDark{72, 32, 16};
constexpr Rgb Rust{140, 62, 26};
constexpr Rgb RustLight{180, 100, 44};
constexpr Rgb Ochre{176, 132, 62};
constexpr Rgb Brown{64, 46, 34};
constexpr Rgb Steel{108, 94, 80};
constexpr Rgb Highlight{255, 228, 170};
constexpr Rgb Shadow{10, 6, 4};
constexpr Rgb Black{0, 0, 0};

struct Plate {
  int x0, y0, x1, y1;
  double tone;
};

constexpr Plate Plates[] = {
    {0, 0, 799, 36, 0.95},     // the logotype's band
    {0, 37, 142, 155, 1.0},    // left keys
    {653, 37, 799, 155, 1.0},  // right keys
    {143, 37, 652, 155, 0.9},  // behind the header well
    {0, 156, 799, 186, 0.88},  // the strip above the page
    {0, 187, 799, 599, 0.95},  // the page frame
};

// Bare worn metal: large rust patches, mid-size mottling, streaky grain and dark grime.
Rgb Metal(int x, int y, uint32_t seed, double tone) {
  const double big = Fbm(x / 110.0, y / 90.0, 5, seed);
  const double mid = Fbm(x / 26.0, y / 22.0, 4, seed + 7);
  const double grain = Hash01(x, y, seed + 13);
  const double streak = ValueNoise(x / 2.5, y / 9.0, seed + 17);
  Rgb base = Lerp(Brown, Steel, Clamp01(0.2 + 0.8 * mid));
  base = Lerp(base, Ochre, 0.55 * Smooth(0.58, 0.78, Fbm(x / 48.0, y / 40.0, 3, seed + 19)));
  const double rust = Smooth(0.47, 0.63, big * 0.72 + mid * 0.42 - 0.08);
  const Rgb rustColour = Lerp(RustDark, RustLight, Clamp01(mid * 1.5 - 0.25 + grain * 0.3));
  Rgb c = Lerp(base, rustColour, rust);
  if (rust > 0.55 && grain < 0.07) c = Scaled(c, 0.55);           // pitting
  if (rust < 0.3 && grain > 0.985) c = Lerp(c, Highlight, 0.35);  // bright flecks of bare metal
  const double grime = Smooth(0.56, 0.78, Fbm(x / 38.0, y / 64.0, 4, seed + 23));
  const double f = tone * (0.88 + 0.14 * grain + 0.1 * streak) * (1 - 0.4 * grime);
  return Scaled(c, f);
}

bool InPlate(const Plate& p, int x, int y) {
  return x >= p.x0 && x <= p.x1 && y >= p.y0 && y <= p.y1;
}

// Rust running down from a point: a thin wandering trail that fades with length.
void Drip(Canvas& canvas, const Plate& plate, Rng& rng, int x, int y) {
  const int length = 8 + NextInt(rng, 50);
  const double strength = 0.25 + 0.35 * NextUnit(rng);
  const int width = 1 + NextInt(rng, 2);
  const uint32_t wobble = NextU32(rng);
  for (int t = 0; t < length; ++t) {
    const int dx = static_cast<int>(std::floor((ValueNoise(t / 9.0, 0.5, wobble) - 0.5) * 4));
    const double a = strength * (1 - static_cast<double>(t) / length);
    for (int k = 0; k < width; ++k) {
      const int px = x + dx + k, py = y + t;
      if (!InPlate(plate, px, py)) continue;
      Mix(canvas, px, py, Lerp(RustDark, Rust, Hash01(px, py, Seed + 3)), a);
    }
  }
}

// A scratch: a bright line through the dirt with a dark lower lip.
void Scratch(Canvas& canvas, const Plate& plate, Rng& rng) {
  double x = plate.x0 + NextUnit(rng) * (plate.x1 - plate.x0);
  double y = plate.y0 + NextUnit(rng) * (plate.y1 - plate.y0);
  double dx = NextUnit(rng) * 2 - 1, dy = (NextUnit(rng) * 2 - 1) * 0.6;
  const double norm = std::sqrt(dx * dx + dy * dy) + 1e-9;
  dx /= norm;
  dy /= norm;
  const int length = 4 + NextInt(rng, 26);
  const double a = 0.2 + 0.3 * NextUnit(rng);
  for (int t = 0; t < length; ++t) {
    const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
    if (InPlate(plate, px, py) && InPlate(plate, px, py + 1)) {
      const double fade = t < 2 || t > length - 3 ? 0.5 : 1.0;
      Mix(canvas, px, py, Highlight, a * fade);
      Mix(canvas, px, py + 1, Black, a * 0.6 * fade);
    }
    x += dx;
    y += dy;
  }
}

void GrungeRivet(Canvas& canvas, Rng& rng, int x, int y, double radius) {
  Rivet(canvas, x, y, radius, Lerp(Ochre, Rust, NextUnit(rng) * 0.6), Rgb{250, 222, 160},
        Rgb{40, 22, 12});
}

// The sunken wells: a three-pixel inner bevel, dark at the top left where the lip shades it.
void Well(Canvas& canvas, int x0, int y0, int x1, int y1) {
  const Rgb lip{214, 170, 116};
  Bevel(canvas, x0, y0, x1, y1, Shadow, lip, {0.8, 0.5, 0.25});
  Bevel(canvas, x0 - 1, y0 - 1, x1 + 1, y1 + 1, Shadow, lip, {0.2});
}

void HeaderWell(Canvas& canvas) {
  Well(canvas, 143, 37, 652, 155);
  for (int y = 40; y <= 152; ++y) {
    for (int x = 146; x <= 649; ++x) {
      const double n = Fbm(x / 44.0, y / 30.0, 4, Seed + 41);
      const double g = Hash01(x, y, Seed + 43);
      double f = 0.8 + 0.3 * n + 0.06 * g;
      // Inner shadow under the top and left lips.
      const int dt = y - 40, dl = x - 146;
      if (dt < 5) f *= 0.55 + 0.09 * dt;
      if (dl < 4) f *= 0.65 + 0.09 * dl;
      At(canvas, x, y) = Scaled(Rgb{30, 21, 15}, f);
    }
  }
}

void PageWindow(Canvas& canvas) {
  Well(canvas, 17, 189, 773, 573);
  for (int y = 192; y <= 570; ++y) {
    for (int x = 20; x <= 770; ++x) At(canvas, x, y) = Black;
  }
}

// The scrollbar's channel: a rounded groove, darkest at its sides.
void Track(Canvas& canvas) {
  Bevel(canvas, 777, 193, 789, 577, Shadow, Highlight, {0.7, 0.35});
  const double profile[9] = {0.35, 0.55, 0.75, 0.9, 1.0, 0.95, 0.82, 0.62, 0.42};
  for (int y = 195; y <= 575; ++y) {
    for (int x = 779; x <= 787; ++x) {
      const double g = Hash01(x, y, Seed + 51);
      double f = profile[x - 779] * (0.85 + 0.2 * g);
      if (y < 199) f *= 0.5 + 0.12 * (y - 195);
      At(canvas, x, y) = Scaled(Rgb{44, 31, 22}, f);
    }
  }
  // Notches on the rim every 24 rows, like a gauge.
  for (int y = 199; y <= 571; y += 24) {
    Mix(canvas, 776, y, Shadow, 0.6);
    Mix(canvas, 775, y, Shadow, 0.4);
    Mix(canvas, 776, y + 1, Highlight, 0.25);
  }
}

std::array<Rgb, LabelInkLevels> Ramp(Rgb top, Rgb middle, Rgb bottom) {
  std::array<Rgb, LabelInkLevels> ramp;
  for (int i = 0; i < LabelInkLevels; ++i) {
    const double t = i / (LabelInkLevels - 1.0);
    ramp[i] = t < 0.5 ? Lerp(top, middle, t * 2) : Lerp(middle, bottom, t * 2 - 1);
  }
  return ramp;
}

// A bronze key filling its button rectangle, set into a slot.
void Key(Canvas& canvas, Rng& rng, const SkinButton& b, const char* label) {
  const int x1 = b.x + b.w, y1 = b.y + b.h;
  // The slot: a dark gap all round and a lit lower lip.
  Bevel(canvas, b.x - 2, b.y - 2, x1 + 2, y1 + 2, Shadow, Highlight, {0.45});
  for (int x = b.x - 1; x <= x1 + 1; ++x) {
    Mix(canvas, x, b.y - 1, Black, 0.8);
    Mix(canvas, x, y1 + 1, Black, 0.8);
  }
  for (int y = b.y; y <= y1; ++y) {
    Mix(canvas, b.x - 1, y, Black, 0.8);
    Mix(canvas, x1 + 1, y, Black, 0.8);
  }
  const uint32_t seed = NextU32(rng);
  for (int y = b.y; y <= y1; ++y) {
    const double t = static_cast<double>(y - b.y) / b.h;
    for (int x = b.x; x <= x1; ++x) {
      Rgb c = Lerp(Rgb{96, 66, 40}, Rgb{42, 27, 17}, t);
      const double brush = ValueNoise(x / 6.0, y * 1.7, seed);
      const double g = Hash01(x, y, seed + 1);
      c = Scaled(c, 0.88 + 0.14 * brush + 0.06 * g);
      // Rust creeping in from the edges, kept off the middle where the lettering sits.
      const double edge = std::min(std::min(x - b.x, x1 - x) / 14.0, 1.0);
      const double stain = Smooth(0.5, 0.72, Fbm(x / 9.0, y / 7.0, 3, seed + 2)) * (1 - edge);
      c = Lerp(c, Lerp(RustDark, Rust, g), 0.7 * stain);
      At(canvas, x, y) = c;
    }
  }
  Bevel(canvas, b.x, b.y, x1, y1, Highlight, Shadow, {0.6, 0.25});
  if (b.w > 80) {
    GrungeRivet(canvas, rng, b.x + 6, b.y + b.h / 2, 2.2);
    GrungeRivet(canvas, rng, x1 - 6, b.y + b.h / 2, 2.2);
  }
  const Mask mask = TextMask(label, Letters::Tall5x7, true, 1);
  int left, top;
  CentreOn(mask, b, left, top);
  PaintLabel(canvas, mask, left, top, 0.75);
}

// Big bevelled letters of worn gold with a hard drop shadow.
void Logotype(Canvas& canvas, const std::string& text, int centreX, int top) {
  const Mask mask = Scale2x(Scale2x(TextMask(text, Letters::Tall5x7, false, 1)));
  const int left = centreX - mask.w / 2;
  for (int y = -2; y < mask.h + 5; ++y) {
    for (int x = -2; x < mask.w + 5; ++x) {
      if (mask.At(x, y)) continue;
      if (mask.At(x - 3, y - 3) || mask.At(x - 2, y - 2)) {
        Darken(canvas, left + x, top + y, 0.35);
      } else if (mask.At(x - 1, y) || mask.At(x + 1, y) || mask.At(x, y - 1) || mask.At(x, y + 1)) {
        Darken(canvas, left + x, top + y, 0.45);
      }
    }
  }
  for (int y = 0; y < mask.h; ++y) {
    for (int x = 0; x < mask.w; ++x) {
      if (!mask.At(x, y)) continue;
      const double t = static_cast<double>(y) / (mask.h - 1);
      Rgb c = t < 0.45 ? Lerp(Rgb{246, 206, 120}, Rgb{206, 142, 58}, t / 0.45)
                       : Lerp(Rgb{206, 142, 58}, Rgb{116, 62, 26}, (t - 0.45) / 0.55);
      const int gx = left + x, gy = top + y;
      const double rust = Smooth(0.52, 0.72, Fbm(gx / 7.0, gy / 6.0, 3, Seed + 61));
      c = Lerp(c, Lerp(RustDark, Rust, Hash01(gx, gy, Seed + 62)), 0.75 * rust);
      c = Scaled(c, 0.9 + 0.14 * Hash01(gx, gy, Seed + 63));
      const bool lit1 = !mask.At(x - 1, y) || !mask.At(x, y - 1);
      const bool dark1 = !mask.At(x + 1, y) || !mask.At(x, y + 1);
      const bool lit2 = !mask.At(x - 2, y) || !mask.At(x, y - 2);
      const bool dark2 = !mask.At(x + 2, y) || !mask.At(x, y + 2);
      if (lit1 && dark1) {
        c = Lerp(c, Rgb{150, 100, 50}, 0.5);
      } else if (lit1) {
        c = Lerp(c, Rgb{255, 240, 190}, 0.7);
      } else if (dark1) {
        c = Lerp(c, Rgb{52, 26, 10}, 0.7);
      } else if (lit2) {
        c = Lerp(c, Rgb{255, 236, 180}, 0.3);
      } else if (dark2) {
        c = Lerp(c, Rgb{60, 30, 12}, 0.3);
      }
      // Rounded outer corners.
      if ((!mask.At(x - 1, y) && !mask.At(x, y - 1)) || (!mask.At(x + 1, y) && !mask.At(x, y + 1)))
        c = Lerp(c, At(canvas, gx, gy), 0.5);
      At(canvas, gx, gy) = c;
    }
  }
}

// A rubber hose along the strip, held by brass clamps.
void Hose(Canvas& canvas, Rng& rng, int x0, int x1, int centreY, int radius) {
  for (int x = x0; x <= x1; ++x) {
    const int sag = static_cast<int>(std::floor((ValueNoise(x / 60.0, 3.5, Seed + 71) - 0.5) * 3));
    for (int d = -radius - 1; d <= radius + 2; ++d) {
      const int y = centreY + sag + d;
      if (d > radius) {
        Darken(canvas, x, y, 0.55);
        continue;
      }
      const double n = static_cast<double>(d) / (radius + 0.5);
      const double nz = std::sqrt(std::max(0.0, 1 - n * n));
      const double light = Clamp01(-0.7 * n + 0.6 * nz);
      Rgb c = Lerp(Rgb{16, 11, 9}, Rgb{78, 60, 48}, light);
      if (light > 0.82) c = Lerp(c, Rgb{170, 140, 110}, (light - 0.82) * 3);
      c = Scaled(c, 0.92 + 0.1 * Hash01(x, y, Seed + 72));
      const double a = std::abs(d) == radius + 1 ? 0.5 : 1.0;
      Mix(canvas, x, y, c, a);
    }
  }
  for (int x = x0 + 30; x < x1 - 10; x += 96) {
    const int top = centreY - radius - 2, bottom = centreY + radius + 2;
    for (int y = top; y <= bottom; ++y) {
      for (int k = 0; k < 7; ++k) {
        const double t = (k + 0.5) / 7;
        const double shade = 1 - 1.6 * (t - 0.3) * (t - 0.3);
        At(canvas, x + k, y) =
            Scaled(Rgb{190, 140, 70}, shade * (0.9 + 0.1 * Hash01(x + k, y, Seed)));
      }
    }
    Bevel(canvas, x, top, x + 6, bottom, Highlight, Shadow, {0.5});
    GrungeRivet(canvas, rng, x + 3, top + 2, 1.4);
    GrungeRivet(canvas, rng, x + 3, bottom - 2, 1.4);
  }
}

}  // namespace

std::array<Rgb, LabelInkLevels> GrungeInk() {
  return Ramp(Rgb{255, 244, 200}, Rgb{240, 200, 118}, Rgb{198, 134, 56});
}

void PaintGrunge(Canvas& canvas) {
  Rng rng{0x5EED0001ULL};
  for (size_t i = 0; i < std::size(Plates); ++i) {
    const Plate& p = Plates[i];
    for (int y = p.y0; y <= p.y1; ++y) {
      for (int x = p.x0; x <= p.x1; ++x) {
        At(canvas, x, y) = Metal(x, y, Seed + 1000 * static_cast<uint32_t>(i), p.tone);
      }
    }
  }
  for (const Plate& p : Plates) {
    const int area = (p.x1 - p.x0) * (p.y1 - p.y0);
    for (int k = 0; k < area / 900; ++k) Scratch(canvas, p, rng);
    for (int k = 0; k < area / 4000; ++k) {
      // Two statements: the order of function arguments is unspecified in C++.
      const int x = p.x0 + NextInt(rng, p.x1 - p.x0);
      const int y = p.y0 + NextInt(rng, p.y1 - p.y0);
      Drip(canvas, p, rng, x, y);
    }
    Bevel(canvas, p.x0, p.y0, p.x1, p.y1, Highlight, Shadow, {0.55, 0.22});
  }

  // Rivets along the plate edges, each bleeding a little rust.
  auto rivetRow = [&](const Plate& p, int y, int x0, int x1, int step) {
    for (int x = x0; x <= x1; x += step) {
      Drip(canvas, p, rng, x - 1, y + 3);
      GrungeRivet(canvas, rng, x, y, 2.6);
    }
  };
  rivetRow(Plates[0], 7, 10, 230, 44);
  rivetRow(Plates[0], 7, 570, 790, 44);
  rivetRow(Plates[0], 28, 10, 230, 44);
  rivetRow(Plates[0], 28, 570, 790, 44);
  rivetRow(Plates[4], 163, 9, 130, 40);
  rivetRow(Plates[4], 163, 669, 790, 40);
  rivetRow(Plates[5], 590, 9, 790, 52);
  for (int y = 212; y <= 560; y += 58) {
    Drip(canvas, Plates[5], rng, 7, y + 3);
    GrungeRivet(canvas, rng, 8, y, 2.6);
  }
  GrungeRivet(canvas, rng, 8, 120, 2.6);
  GrungeRivet(canvas, rng, 134, 120, 2.6);
  GrungeRivet(canvas, rng, 661, 120, 2.6);
  GrungeRivet(canvas, rng, 792, 120, 2.6);
  GrungeRivet(canvas, rng, 8, 46, 2.6);
  GrungeRivet(canvas, rng, 792, 46, 2.6);

  HeaderWell(canvas);
  Hose(canvas, rng, 150, 650, 171, 5);
  PageWindow(canvas);
  Track(canvas);

  const Mask tunes = TextMask("TUNES", Letters::Tall5x7, false, 2);
  Engrave(canvas, tunes, 70 - tunes.w / 2, 117, 1.0);
  Engrave(canvas, tunes, 726 - tunes.w / 2, 117, 1.0);
  const Mask maker =
      TextMask("QUELLMARK HEAVY PLATE WORKS - SKIN 1 GRUNGE", Letters::Small3x5, false, 1);
  Engrave(canvas, maker, 400 - maker.w / 2, 582, 1.0);

  Logotype(canvas, "THE QUELLMARK", 400, 4);

  for (int i = 1; i <= SkinButtonCount; ++i) Key(canvas, rng, SkinButtons[1][i], SkinLabels[i]);
}
