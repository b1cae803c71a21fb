// 'Grunge': worn plate metal in warm browns, ochre and dull gold, held by rivets, with clustered
// rust patches (pitted, their flaking edges catching the light), rust washed down from the rivets
// and seams, and scratches; bronze keys with cream-gold lettering that keeps reading under the
// gold tint of a chosen button; captions stamped into brass plates.

#include <algorithm>
#include <cmath>

#include "generators/skingen/paint.h"

namespace {

constexpr uint32_t Seed = 0x6A7E5101u;

constexpr Rgb RustDark{72, 32, 16};
constexpr Rgb Rust{140, 62, 26};
constexpr Rgb Ochre{176, 132, 62};
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

// The plates are painted the way a pixel artist works: every pixel first gets a level from a
// small ramp (five of bare metal, five of rust), so colour sits in clusters with hard edges, and
// no cluster is a single pixel; the stains that rain washes down from rivets and seams are a
// second layer of levels. Colour and a soft light come last.
constexpr int SteelLevels = 5;
constexpr int RustPit = 8, RustDeep = 9, RustMid = 10, RustBright = 11, RustEdge = 12;

// Bare metal, dark grime to worn highlights: warm brown-greys.
constexpr Rgb SteelRamp[SteelLevels] = {
    {76, 58, 43}, {90, 71, 54}, {104, 85, 66}, {118, 98, 78}, {134, 113, 90}};
// Rust, from the pits to the flaking edges that catch the light.
constexpr Rgb RustRamp[RustEdge - RustPit + 1] = {
    {62, 28, 12}, {106, 48, 18}, {146, 72, 28}, {178, 100, 42}, {204, 134, 66}};
// The stain that runs down from rivets and seams, and how strongly each stain level shows.
constexpr Rgb StainBrown{146, 70, 28};
constexpr double StainWeight[4] = {0, 0.3, 0.5, 0.7};

struct Texture {
  std::vector<uint8_t> level;       // SkinWidth x SkinHeight: steel 0..4 or RustPit..RustEdge
  std::vector<float> stain;         // the runs' summed strength, 0..1
  std::vector<uint8_t> stainLevel;  // 0..3
};

struct Point {
  int x, y;
};

bool InPlate(const Plate& p, int x, int y) {
  return x >= p.x0 && x <= p.x1 && y >= p.y0 && y <= p.y1;
}

size_t Pixel(int x, int y) {
  return static_cast<size_t>(y) * SkinWidth + x;
}

// Rust gathers where water stands: along the lower edge of a plate and round its rivets.
double RustAmount(const Plate& p, int x, int y, uint32_t seed, const std::vector<Point>& rivets) {
  const double wx = x + (Fbm(x / 40.0, y / 40.0, 2, seed + 31) - 0.5) * 36;
  const double wy = y + (Fbm(x / 40.0, y / 40.0, 2, seed + 37) - 0.5) * 36;
  double r = Fbm(wx / 56.0, wy / 64.0, 5, seed + 3);
  r += 0.08 * Smooth(p.y1 - 12.0, p.y1 - 2.0, y);
  for (const Point& q : rivets) {
    const double dx = x - q.x, dy = (y - q.y) * 0.7;
    const double d2 = dx * dx + dy * dy;
    if (d2 < 400) r += 0.08 * (1 - d2 / 400);
  }
  return r;
}

void PlateLevels(Texture& tex, const Plate& p, uint32_t seed, const std::vector<Point>& rivets) {
  const int w = p.x1 - p.x0 + 1, h = p.y1 - p.y0 + 1;
  std::vector<double> rust(static_cast<size_t>(w) * h);
  for (int y = p.y0; y <= p.y1; ++y) {
    for (int x = p.x0; x <= p.x1; ++x) {
      rust[static_cast<size_t>(y - p.y0) * w + (x - p.x0)] = RustAmount(p, x, y, seed, rivets);
    }
  }
  constexpr double PatchEdge = 0.545;
  const auto rustAt = [&](int x, int y) {
    return rust[static_cast<size_t>(y - p.y0) * w + (x - p.x0)];
  };
  const auto inPatch = [&](int x, int y) { return InPlate(p, x, y) && rustAt(x, y) > PatchEdge; };
  for (int y = p.y0; y <= p.y1; ++y) {
    for (int x = p.x0; x <= p.x1; ++x) {
      uint8_t& level = tex.level[Pixel(x, y)];
      if (!inPatch(x, y)) {
        const double m =
            Fbm(x / 90.0, y / 70.0, 4, seed) * 0.6 + Fbm(x / 15.0, y / 11.0, 3, seed + 7) * 0.4;
        int v = std::clamp(static_cast<int>(std::floor((m - 0.3) / 0.09)), 0, SteelLevels - 1);
        // The bare metal round a patch is stained darker.
        if (inPatch(x - 1, y) || inPatch(x + 1, y) || inPatch(x, y - 1) || inPatch(x, y + 1))
          v = std::max(0, v - 1);
        level = static_cast<uint8_t>(v);
        continue;
      }
      // Inside a patch: the flaking rim is lit, brightest where it faces the light (top left);
      // the middle is deeper and pitted.
      const bool rimUpLeft = !inPatch(x - 1, y) || !inPatch(x, y - 1);
      const bool rim = rimUpLeft || !inPatch(x + 1, y) || !inPatch(x, y + 1) ||
                       !inPatch(x - 2, y) || !inPatch(x, y - 2) || !inPatch(x - 1, y - 1);
      if (rimUpLeft) {
        level = RustEdge;
      } else if (rim) {
        level = RustBright;
      } else if (rustAt(x, y) < PatchEdge + 0.035) {
        level = RustMid;
      } else {
        // Pits cluster in the deepest rust, in some places more than others.
        const double depth = Smooth(PatchEdge + 0.035, PatchEdge + 0.12, rustAt(x, y));
        const double density = Smooth(0.35, 0.7, ValueNoise(x / 14.0, y / 12.0, seed + 9));
        const bool pit = ValueNoise(x / 2.2, y / 2.2, seed + 5) > 0.92 - 0.3 * depth * density;
        const bool flake = ValueNoise(x / 4.5, y / 3.5, seed + 11) > 0.72;
        level = pit ? RustPit : (flake ? RustMid : RustDeep);
      }
    }
  }
  // A pit's far rim catches the light.
  for (int y = p.y1; y > p.y0; --y) {
    for (int x = p.x1; x > p.x0; --x) {
      uint8_t& level = tex.level[Pixel(x, y)];
      if (level == RustDeep && tex.level[Pixel(x - 1, y - 1)] == RustPit) level = RustMid;
    }
  }
}

// Any pixel whose level no neighbour shares takes the level most of its neighbours have, so
// every cluster of colour is at least two pixels. Neighbours outside the plate do not count.
void Despeckle(std::vector<uint8_t>& levels, const Plate& p) {
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<uint8_t> out = levels;
    for (int y = p.y0; y <= p.y1; ++y) {
      for (int x = p.x0; x <= p.x1; ++x) {
        const uint8_t self = levels[Pixel(x, y)];
        int count[256] = {};
        bool alone = true;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            if ((dx == 0 && dy == 0) || !InPlate(p, x + dx, y + dy)) continue;
            const uint8_t v = levels[Pixel(x + dx, y + dy)];
            alone = alone && v != self;
            ++count[v];
          }
        }
        if (!alone) continue;
        int best = -1;
        for (int v = 0; v < 256; ++v) {
          if (count[v] > 0 && (best < 0 || count[v] > count[best])) best = v;
        }
        if (best >= 0) out[Pixel(x, y)] = static_cast<uint8_t>(best);
      }
    }
    levels = out;
  }
}

// Rust washed down by rain from a point: a run that narrows and fades with its length and ends
// in a small drop, wandering a little from the vertical.
void Run(Texture& tex, const Plate& p, Rng& rng, double x0, int y0, int length, double width,
         double strength) {
  const uint32_t wobble = NextU32(rng);
  for (int t = 0; t <= length; ++t) {
    const double f = static_cast<double>(t) / length;
    const double centre = x0 + (ValueNoise(t / 11.0, 0.5, wobble) - 0.5) * 3.5;
    double half = width * 0.5 * (1 - 0.55 * f);
    if (t >= length - 2) half += 0.5;  // the drop at the end
    const double a = strength * (1 - 0.75 * std::pow(f, 1.4));
    const int y = y0 + t;
    for (int x = static_cast<int>(std::floor(centre - half - 1));
         x <= static_cast<int>(std::ceil(centre + half + 1)); ++x) {
      if (!InPlate(p, x, y)) continue;
      const double d = std::abs(x + 0.5 - centre) / (half + 0.5);
      if (d >= 1) continue;
      float& s = tex.stain[Pixel(x, y)];
      s = std::min(1.0f, s + static_cast<float>(a * (1 - d * d * 0.6)));
    }
  }
}

// A seam leaks along its length: an intermittent line just under it and runs of every length.
void SeamRuns(Texture& tex, const Plate& p, Rng& rng, int y, int x0, int x1) {
  const uint32_t seed = NextU32(rng);
  for (int x = x0; x <= x1; ++x) {
    const double line = Smooth(0.45, 0.75, ValueNoise(x / 13.0, 0.5, seed));
    const int depth = 1 + static_cast<int>(ValueNoise(x / 5.0, 1.5, seed) * 2.5);
    for (int d = 0; d < depth; ++d) {
      if (!InPlate(p, x, y + d)) continue;
      float& s = tex.stain[Pixel(x, y + d)];
      s = std::max(s, static_cast<float>(0.75 * line));
    }
  }
  for (int x = x0 + NextInt(rng, 12); x <= x1; x += 6 + NextInt(rng, 22)) {
    const double u = NextUnit(rng);
    const int length = 3 + static_cast<int>(u * u * 34);
    const double width = 1.4 + NextUnit(rng) * 1.4;
    const double strength = 0.55 + 0.35 * NextUnit(rng);
    Run(tex, p, rng, x, y, length, width, strength);
  }
}

Rgb PlateColour(const Texture& tex, int x, int y, uint32_t seed, double tone) {
  const size_t i = Pixel(x, y);
  const int level = tex.level[i];
  const double stain = StainWeight[tex.stainLevel[i]];
  Rgb c;
  if (level < SteelLevels) {
    c = SteelRamp[level];
    // Patches where the old paint's ochre still shows, at the metal's own brightness.
    const double patina = Smooth(0.5, 0.7, Fbm(x / 48.0, y / 40.0, 3, seed + 19));
    const double brightness = (c.r + c.g + c.b) / (Ochre.r + Ochre.g + Ochre.b);
    c = Lerp(c, Scaled(Ochre, brightness * 1.1), 0.6 * patina);
    c = Lerp(c, StainBrown, stain);
  } else {
    c = Scaled(RustRamp[level - RustPit], 1 - 0.4 * stain);
  }
  // Soft light over the clusters: dark grime in broad clouds, faint vertical weathering.
  const double grime = Smooth(0.56, 0.78, Fbm(x / 38.0, y / 64.0, 4, seed + 23));
  const double streak = ValueNoise(x / 2.5, y / 9.0, seed + 17);
  return Scaled(c, tone * (0.96 + 0.08 * streak) * (1 - 0.35 * grime));
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
    Mix(canvas, 775, y + 1, Highlight, 0.25);
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
      const double g = ValueNoise(x / 2.5, y / 2.5, seed + 1);
      c = Scaled(c, 0.88 + 0.14 * brush + 0.04 * g);
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
  const Mask mask = Tidy(Scale2x(Scale2x(TextMask(text, Letters::Tall5x7, false, 1))));
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
      c = Lerp(c, Lerp(RustDark, Rust, ValueNoise(gx / 2.5, gy / 2.5, Seed + 62)), 0.75 * rust);
      c = Scaled(c, 0.92 + 0.1 * ValueNoise(gx / 3.0, gy / 2.0, Seed + 63));
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

// A brass plate screwed onto the metal and stamped with a caption: dark strokes with a lit lower
// lip, on brass that is light at the top and duller at the foot, tarnished in places.
struct Tag {
  Mask text;
  int x0, y0, x1, y1;  // the plate, both ends included
};

constexpr int TagScrewSpace = 7;

Tag PlaceTag(const std::string& text, Letters letters, int gap, int centreX, int top, int padX,
             int padY) {
  Tag tag{TextMask(text, letters, false, gap), 0, top, 0, 0};
  const int half = tag.text.w / 2 + padX + TagScrewSpace;
  tag.x0 = centreX - half;
  tag.x1 = tag.x0 + tag.text.w + 2 * (padX + TagScrewSpace) - 1;
  tag.y1 = top + tag.text.h + 2 * padY - 1;
  return tag;
}

void BrassTag(Canvas& canvas, Rng& rng, const Tag& tag) {
  const Rgb outline{40, 24, 10};
  for (int y = tag.y0 + 1; y <= tag.y1 + 1; ++y) Darken(canvas, tag.x1 + 1, y, 0.5);
  for (int x = tag.x0 + 1; x <= tag.x1; ++x) Darken(canvas, x, tag.y1 + 1, 0.5);
  const uint32_t seed = NextU32(rng);
  for (int y = tag.y0; y <= tag.y1; ++y) {
    const double t = static_cast<double>(y - tag.y0) / (tag.y1 - tag.y0);
    for (int x = tag.x0; x <= tag.x1; ++x) {
      const bool edgeX = x == tag.x0 || x == tag.x1, edgeY = y == tag.y0 || y == tag.y1;
      if (edgeX && edgeY) continue;  // rounded corners: the metal shows through
      if (edgeX || edgeY) {
        At(canvas, x, y) = outline;
        continue;
      }
      Rgb c = Lerp(Rgb{232, 194, 118}, Rgb{172, 122, 56}, t);
      const double tarnish = Smooth(0.56, 0.76, Fbm(x / 10.0, y / 5.0, 3, seed));
      c = Lerp(c, Rgb{132, 92, 44}, 0.45 * tarnish);
      c = Scaled(c, 0.97 + 0.06 * ValueNoise(x / 7.0, y * 1.0, seed + 1));
      At(canvas, x, y) = c;
    }
  }
  for (int x = tag.x0 + 1; x < tag.x1; ++x) {
    Mix(canvas, x, tag.y0 + 1, Rgb{255, 242, 200}, 0.55);
    Mix(canvas, x, tag.y1 - 1, Rgb{96, 60, 24}, 0.55);
  }
  for (int y = tag.y0 + 2; y < tag.y1 - 1; ++y) {
    Mix(canvas, tag.x0 + 1, y, Rgb{255, 242, 200}, 0.4);
    Mix(canvas, tag.x1 - 1, y, Rgb{96, 60, 24}, 0.55);
  }
  const int middle = (tag.y0 + tag.y1) / 2;
  GrungeRivet(canvas, rng, tag.x0 + 4, middle, 1.6);
  GrungeRivet(canvas, rng, tag.x1 - 4, middle, 1.6);
  const int left = tag.x0 + (tag.x1 - tag.x0 + 1 - tag.text.w) / 2;
  const int top = tag.y0 + (tag.y1 - tag.y0 + 1 - tag.text.h) / 2;
  for (int y = 0; y <= tag.text.h; ++y) {
    for (int x = 0; x <= tag.text.w; ++x) {
      if (!tag.text.At(x, y) && (tag.text.At(x - 1, y - 1) || tag.text.At(x, y - 1)))
        Mix(canvas, left + x, top + y, Rgb{255, 246, 214}, 0.55);
    }
  }
  PaintCaption(canvas, tag.text, left, top);
}

// Where rust leaks from a seam: along row y of a plate, columns x0..x1.
struct Seam {
  int plate, y, x0, x1;
};

// Bare metal for every plate, rusted and stained, scratched, bevelled and riveted. Plate i's
// texture is seeded with seed + 1000 i.
void PaintMetal(Canvas& canvas, Rng& rng, uint32_t seed, const std::vector<Plate>& plates,
                const std::vector<Point>& rivets, const std::vector<Seam>& seams) {
  Texture tex;
  tex.level.assign(static_cast<size_t>(SkinWidth) * SkinHeight, 0);
  tex.stain.assign(tex.level.size(), 0);
  tex.stainLevel.assign(tex.level.size(), 0);
  for (size_t i = 0; i < plates.size(); ++i) {
    PlateLevels(tex, plates[i], seed + 1000 * static_cast<uint32_t>(i), rivets);
  }
  // Rain washes rust down from under every rivet, from the foot of the rust patches and out of
  // the seams.
  for (const Point& q : rivets) {
    const Plate* plate = &plates[0];
    for (const Plate& p : plates) {
      if (InPlate(p, q.x, q.y)) {
        plate = &p;
        break;
      }
    }
    const double u = NextUnit(rng);
    const int length = 8 + static_cast<int>(u * 34);
    const double width = 3.2 + NextUnit(rng) * 1.4;
    Run(tex, *plate, rng, q.x + 0.5, q.y + 2, length, width, 0.95);
  }
  for (const Plate& p : plates) {
    for (int y = p.y0; y < p.y1; ++y) {
      for (int x = p.x0; x <= p.x1; ++x) {
        if (tex.level[Pixel(x, y)] < RustPit || tex.level[Pixel(x, y + 1)] >= RustPit) continue;
        if (Hash01(x, y, seed + 77) > 0.05) continue;
        const double u = NextUnit(rng);
        const int length = 4 + static_cast<int>(u * u * 26);
        const double width = 1.6 + NextUnit(rng) * 1.2;
        Run(tex, p, rng, x + 0.5, y + 1, length, width, 0.6 + 0.3 * NextUnit(rng));
      }
    }
  }
  for (const Seam& seam : seams) SeamRuns(tex, plates[seam.plate], rng, seam.y, seam.x0, seam.x1);
  for (size_t i = 0; i < tex.stain.size(); ++i) {
    const float s = tex.stain[i];
    tex.stainLevel[i] = s > 0.6f ? 3 : (s > 0.35f ? 2 : (s > 0.15f ? 1 : 0));
  }
  for (const Plate& p : plates) {
    Despeckle(tex.level, p);
    Despeckle(tex.stainLevel, p);
  }
  for (size_t i = 0; i < plates.size(); ++i) {
    const Plate& p = plates[i];
    for (int y = p.y0; y <= p.y1; ++y) {
      for (int x = p.x0; x <= p.x1; ++x) {
        At(canvas, x, y) = PlateColour(tex, x, y, seed + 1000 * static_cast<uint32_t>(i), p.tone);
      }
    }
  }
  for (const Plate& p : plates) {
    const int area = (p.x1 - p.x0) * (p.y1 - p.y0);
    for (int k = 0; k < area / 900; ++k) Scratch(canvas, p, rng);
    Bevel(canvas, p.x0, p.y0, p.x1, p.y1, Highlight, Shadow, {0.55, 0.22});
  }
  for (const Point& q : rivets) GrungeRivet(canvas, rng, q.x, q.y, 2.6);
}

}  // namespace

SkinInk GrungeInk() {
  SkinInk ink;
  ink.label = Ramp(Rgb{255, 244, 200}, Rgb{240, 200, 118}, Rgb{198, 134, 56});
  for (int i = 0; i < CaptionInkLevels; ++i) {
    ink.caption[i] = Lerp(Rgb{62, 34, 14}, Rgb{40, 20, 8}, i / (CaptionInkLevels - 1.0));
  }
  return ink;
}

void PaintGrunge(Canvas& canvas) {
  Rng rng{0x5EED0001ULL};
  const Tag tunesLeft = PlaceTag("TUNES", Letters::Tall5x7, 2, 70, 114, 3, 3);
  const Tag tunesRight = PlaceTag("TUNES", Letters::Tall5x7, 2, 726, 114, 3, 3);
  const Tag maker =
      PlaceTag("QUELLMARK HEAVY PLATE WORKS - SKIN 1 GRUNGE", Letters::Small3x5, 1, 400, 581, 6, 4);

  // Rivets along the plate edges; the maker's plate takes the place of those at the foot.
  std::vector<Point> rivets;
  const auto rivetRow = [&rivets](int y, int x0, int x1, int step) {
    for (int x = x0; x <= x1; x += step) rivets.push_back({x, y});
  };
  rivetRow(7, 10, 230, 44);
  rivetRow(7, 570, 790, 44);
  rivetRow(28, 10, 230, 44);
  rivetRow(28, 570, 790, 44);
  rivetRow(163, 9, 130, 40);
  rivetRow(163, 669, 790, 40);
  for (int x = 9; x <= 790; x += 52) {
    if (x < maker.x0 - 6 || x > maker.x1 + 6) rivets.push_back({x, 590});
  }
  for (int y = 212; y <= 560; y += 58) rivets.push_back({8, y});
  for (const Point q : {Point{8, 120}, Point{134, 120}, Point{661, 120}, Point{792, 120},
                        Point{8, 46}, Point{792, 46}}) {
    rivets.push_back(q);
  }

  // The seams leak below the bevel of the lower plate.
  const std::vector<Plate> plates(std::begin(Plates), std::end(Plates));
  PaintMetal(
      canvas, rng, Seed, plates, rivets,
      {{1, 39, 2, 140}, {2, 39, 655, 797}, {4, 158, 2, 797}, {5, 189, 2, 15}, {5, 189, 775, 797}});

  HeaderWell(canvas);
  Hose(canvas, rng, 150, 650, 171, 5);
  PageWindow(canvas);
  Track(canvas);

  BrassTag(canvas, rng, tunesLeft);
  BrassTag(canvas, rng, tunesRight);
  BrassTag(canvas, rng, maker);

  Logotype(canvas, "THE QUELLMARK", 400, 4);

  for (int i = 1; i <= SkinButtonCount; ++i) Key(canvas, rng, SkinButtons[1][i], SkinLabels[i]);
}

std::vector<uint32_t> GrungePlateSquare(int side) {
  if (side < 1 || side > SkinHeight) return {};
  Canvas canvas = NewCanvas();
  Rng rng{0x5EED0101ULL};
  const int inset = side * 7 / 64;
  const int far = side - 1 - inset;
  // Seeded apart from the skin's plates: plate 0 would repeat the title band's rust.
  PaintMetal(canvas, rng, Seed + 1, {{0, 0, side - 1, side - 1, 0.95}},
             {{inset, inset}, {far, inset}, {inset, far}, {far, far}}, {});
  std::vector<uint32_t> square(static_cast<size_t>(side) * side);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const Rgb& c = At(canvas, x, y);
      const auto channel = [](double v) {
        return static_cast<uint32_t>(std::clamp(std::floor(v + 0.5), 0.0, 255.0));
      };
      square[static_cast<size_t>(y) * side + x] =
          channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
    }
  }
  return square;
}
