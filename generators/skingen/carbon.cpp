// 'Carbon': a dark 2 x 2 twill of carbon fibre whose sheen turns across the picture, brushed-steel
// bezels round the wells and keys, and cool blue light leaking from the seams.

#include <cmath>

#include "generators/skingen/paint.h"

namespace {

constexpr uint32_t Seed = 0xCA4B0002u;

constexpr Rgb Black{0, 0, 0};
constexpr Rgb SteelLight{236, 242, 252};
constexpr Rgb SteelDark{8, 10, 16};
constexpr Rgb Glow{70, 170, 255};

// Triangle wave 0..1..0 with period 1, smoothed at its turns.
double Wave(double t) {
  const double f = t - std::floor(t);
  const double tri = f < 0.5 ? f * 2 : 2 - f * 2;
  return tri * tri * (3 - 2 * tri);
}

// Brightness 0..1 of the weave at (x, y). Tows are 4 pixels wide; each passes over two crossing
// tows and under two, shifted by one tow per row, so the floats line up in diagonals.
double Weave(int x, int y) {
  const int i = x >> 2, j = y >> 2, u = x & 3, v = y & 3;
  const int phase = (i - j) & 3;
  const bool horizontal = phase < 2;
  const int across = horizontal ? v : u;
  const int along = horizontal ? phase * 4 + u : (3 - phase) * 4 + v;
  static const double acrossProfile[4] = {0.42, 0.86, 1.0, 0.7};
  double level = acrossProfile[across];
  if (along == 0) level *= 0.7;
  if (along == 7) level *= 0.58;
  // Each float is a bundle of its own, a little brighter or duller than its neighbours, with
  // fibre streaks running along it.
  const int floatX = horizontal ? i - phase : i;
  const int floatY = horizontal ? j : j - (3 - phase);
  level *= 0.9 + 0.14 * Hash01(floatX * 2 + (horizontal ? 1 : 0), floatY, Seed + 4);
  const double fibre = horizontal ? Hash01(x >> 2, y, Seed + 5) : Hash01(x, y >> 2, Seed + 6);
  level *= 0.86 + 0.16 * fibre;
  // The sheen: light catches the horizontal tows in one diagonal band and the vertical tows in
  // the bands between, so the weave's contrast flips across the surface.
  const double band = Wave((x * 0.55 + y) / 560.0 + 0.1);
  const double sheen = horizontal ? 0.4 + 0.6 * band : 0.4 + 0.6 * (1 - band);
  return level * sheen;
}

Rgb Carbon(int x, int y) {
  const double l = Weave(x, y);
  return Lerp(Rgb{9, 10, 14}, Rgb{96, 104, 122}, l * 0.85);
}

// Brushed gunmetal: long horizontal streaks, each row a little different.
Rgb Brushed(int x, int y, double tone) {
  const double streak = ValueNoise(x / 90.0, y * 1.0 + 0.5, Seed + 11);
  const double fine = ValueNoise(x / 11.0, y * 1.0 + 0.5, Seed + 12);
  const double row = Hash01(0, y, Seed + 14);
  const double g = Hash01(x, y, Seed + 13);
  const double v = tone * (0.66 + 0.2 * streak + 0.12 * fine + 0.08 * row + 0.04 * g);
  return Lerp(Rgb{16, 20, 28}, Rgb{170, 182, 204}, Clamp01(v));
}

// A bezel of brushed gunmetal, rounded across its width: a bright lip outside, a crown that
// catches the light on the top and left sides, then falling away to a sunken inner edge.
void Bezel(Canvas& canvas, int x0, int y0, int x1, int y1, int band) {
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const int left = x - x0, top = y - y0, right = x1 - x, bottom = y1 - y;
      const int d = std::min(std::min(left, top), std::min(right, bottom));
      if (d >= band) continue;
      const bool lit = left == d || top == d;
      const double across = (d + 0.5) / band;  // 0 outside .. 1 inside
      const double crown = 1 - 2.2 * (across - 0.35) * (across - 0.35);
      const double turn = 0.85 + 0.15 * Wave(x / 900.0 + y / 1400.0);
      At(canvas, x, y) = Brushed(x, y, (lit ? 0.95 : 0.62) * crown * turn);
    }
  }
  Bevel(canvas, x0, y0, x1, y1, SteelLight, SteelDark, {0.55, 0.15});
  Bevel(canvas, x0 + band - 2, y0 + band - 2, x1 - band + 2, y1 - band + 2, SteelDark, SteelLight,
        {0.6, 0.25});
}

// A soft line of blue light: a bright core of one pixel and a falloff to either side.
void GlowLineH(Canvas& canvas, int x0, int x1, int y, double strength) {
  for (int x = x0; x <= x1; ++x) {
    const double end = std::min(1.0, std::min(x - x0, x1 - x) / 12.0);
    const double a = strength * end;
    Mix(canvas, x, y, Rgb{190, 230, 255}, 0.85 * a);
    Mix(canvas, x, y - 1, Glow, 0.45 * a);
    Mix(canvas, x, y + 1, Glow, 0.45 * a);
    Mix(canvas, x, y - 2, Glow, 0.18 * a);
    Mix(canvas, x, y + 2, Glow, 0.18 * a);
  }
}

// A small blue lamp with a halo.
void Lamp(Canvas& canvas, int cx, int cy) {
  for (int y = cy - 5; y <= cy + 5; ++y) {
    for (int x = cx - 5; x <= cx + 5; ++x) {
      const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      Mix(canvas, x, y, Glow, Clamp01(0.5 / (1 + d2 * 0.35)));
    }
  }
  Rivet(canvas, cx, cy, 1.7, Rgb{80, 170, 255}, Rgb{235, 250, 255}, Rgb{20, 60, 130});
}

void HeaderWell(Canvas& canvas) {
  Bezel(canvas, 139, 33, 656, 159, 7);
  for (int y = 40; y <= 152; ++y) {
    for (int x = 146; x <= 649; ++x) {
      const double l = Weave(x, y);
      Rgb c = Lerp(Rgb{6, 7, 10}, Rgb{26, 29, 38}, l);
      const int dt = y - 40, dl = x - 146;
      double f = 1.0;
      if (dt < 5) f *= 0.5 + 0.1 * dt;
      if (dl < 4) f *= 0.6 + 0.1 * dl;
      At(canvas, x, y) = Scaled(c, f);
    }
  }
}

void PageFrame(Canvas& canvas) {
  Bezel(canvas, 12, 184, 799, 579, 8);
  // The right-hand side of the frame is one steel block that carries the scroll channel.
  for (int y = 184; y <= 579; ++y) {
    for (int x = 771; x <= 799; ++x) {
      const double tone = 0.7 + 0.15 * Wave(x / 900.0 + y / 1400.0);
      At(canvas, x, y) = Brushed(x, y, tone);
    }
  }
  Bevel(canvas, 771, 184, 799, 579, SteelLight, SteelDark, {0.45, 0.15});
  Bevel(canvas, 17, 189, 773, 573, SteelDark, SteelLight, {0.75, 0.45, 0.2});
  for (int y = 192; y <= 570; ++y) {
    for (int x = 20; x <= 770; ++x) At(canvas, x, y) = Black;
  }
  // The channel: a rounded groove with a faint blue floor.
  Bevel(canvas, 781, 193, 794, 577, SteelDark, SteelLight, {0.75, 0.4});
  const double profile[10] = {0.35, 0.55, 0.75, 0.9, 1.0, 1.0, 0.9, 0.75, 0.55, 0.38};
  for (int y = 195; y <= 575; ++y) {
    for (int x = 783; x <= 792; ++x) {
      double f = profile[x - 783] * (0.85 + 0.2 * Hash01(x, y, Seed + 21));
      if (y < 199) f *= 0.5 + 0.12 * (y - 195);
      At(canvas, x, y) = Scaled(Rgb{18, 24, 38}, f);
    }
  }
  for (int y = 199; y <= 571; y += 24) {
    Mix(canvas, 778, y, SteelDark, 0.6);
    Mix(canvas, 779, y, SteelDark, 0.6);
    Mix(canvas, 778, y + 1, SteelLight, 0.3);
    Mix(canvas, 779, y + 1, SteelLight, 0.3);
  }
}

template <size_t N>
std::array<Rgb, N> Ramp(Rgb top, Rgb bottom) {
  std::array<Rgb, N> ramp;
  for (size_t i = 0; i < N; ++i) ramp[i] = Lerp(top, bottom, i / (N - 1.0));
  return ramp;
}

// A key: a dark glossy face filling the button rectangle in a thin steel rim.
void Key(Canvas& canvas, const SkinButton& b, const char* label) {
  const int x1 = b.x + b.w, y1 = b.y + b.h;
  const bool small = b.h < 10;
  // Seat: a dark groove round the key and a steel lip outside it.
  Bevel(canvas, b.x - 3, b.y - 3, x1 + 3, y1 + 3, SteelLight, SteelDark, {0.5, 0.2});
  for (int x = b.x - 1; x <= x1 + 1; ++x) {
    Mix(canvas, x, b.y - 1, Black, 0.85);
    Mix(canvas, x, y1 + 1, Black, 0.85);
  }
  for (int y = b.y - 1; y <= y1 + 1; ++y) {
    Mix(canvas, b.x - 1, y, Black, 0.85);
    Mix(canvas, x1 + 1, y, Black, 0.85);
  }
  for (int y = b.y; y <= y1; ++y) {
    const double t = static_cast<double>(y - b.y) / b.h;
    for (int x = b.x; x <= x1; ++x) {
      // Gloss: a bright upper half fading into the dark lower half.
      Rgb c = t < 0.45 ? Lerp(Rgb{58, 66, 84}, Rgb{30, 34, 46}, t / 0.45)
                       : Lerp(Rgb{20, 23, 32}, Rgb{34, 42, 62}, (t - 0.45) / 0.55);
      c = Scaled(c, 0.94 + 0.1 * Hash01(x, y, Seed + 31));
      At(canvas, x, y) = c;
    }
  }
  Bevel(canvas, b.x, b.y, x1, y1, Rgb{200, 214, 236}, Rgb{4, 6, 12}, {0.7, 0.22});
  const Mask mask = small ? TextMask(label, Letters::Small3x5, false, 1)
                          : TextMask(label, Letters::Tall5x7, true, 1);
  int left, top;
  CentreOn(mask, b, left, top);
  PaintLabel(canvas, mask, left, top, small ? 0.5 : 0.8);
}

// Chrome letters: a sky-to-ground reflection split at the horizon, a blue rim and a halo.
void Logotype(Canvas& canvas, const std::string& text, int centreX, int top) {
  const Mask mask = Tidy(Scale2x(Scale2x(TextMask(text, Letters::Tall5x7, false, 1))));
  const int left = centreX - mask.w / 2;
  for (int y = -6; y < mask.h + 6; ++y) {
    for (int x = -6; x < mask.w + 6; ++x) {
      if (mask.At(x, y)) continue;
      int near = 0;
      for (int dy = -4; dy <= 4; ++dy) {
        for (int dx = -4; dx <= 4; ++dx) near += mask.At(x + dx, y + dy) ? 1 : 0;
      }
      if (near > 0) Mix(canvas, left + x, top + y, Glow, Clamp01(near / 81.0 * 1.3));
      if (mask.At(x - 1, y) || mask.At(x + 1, y) || mask.At(x, y - 1) || mask.At(x, y + 1)) {
        Mix(canvas, left + x, top + y, Rgb{4, 8, 20}, 0.7);
      }
    }
  }
  for (int y = 0; y < mask.h; ++y) {
    for (int x = 0; x < mask.w; ++x) {
      if (!mask.At(x, y)) continue;
      const double t = static_cast<double>(y) / (mask.h - 1);
      Rgb c = t < 0.5 ? Lerp(Rgb{250, 252, 255}, Rgb{140, 160, 196}, t / 0.5)
                      : Lerp(Rgb{40, 50, 78}, Rgb{170, 196, 236}, (t - 0.5) / 0.5);
      const int gx = left + x, gy = top + y;
      c = Scaled(c, 0.94 + 0.08 * ValueNoise(gx / 12.0, gy * 1.0, Seed + 41));
      const bool lit = !mask.At(x - 1, y) || !mask.At(x, y - 1);
      const bool dark = !mask.At(x + 1, y) || !mask.At(x, y + 1);
      if (lit && dark) {
        c = Lerp(c, Rgb{120, 150, 200}, 0.5);
      } else if (lit) {
        c = Lerp(c, Rgb{255, 255, 255}, 0.6);
      } else if (dark) {
        c = Lerp(c, Rgb{30, 90, 200}, 0.65);
      }
      if ((!mask.At(x - 1, y) && !mask.At(x, y - 1)) || (!mask.At(x + 1, y) && !mask.At(x, y + 1)))
        c = Lerp(c, At(canvas, gx, gy), 0.5);
      At(canvas, gx, gy) = c;
    }
  }
}

// A countersunk hex screw in the steel.
void Screw(Canvas& canvas, int cx, int cy) {
  Rivet(canvas, cx, cy, 2.6, Rgb{120, 130, 150}, Rgb{235, 242, 255}, Rgb{14, 16, 24});
  Mix(canvas, cx - 1, cy, Rgb{10, 12, 18}, 0.7);
  Mix(canvas, cx, cy, Rgb{10, 12, 18}, 0.8);
  Mix(canvas, cx + 1, cy, Rgb{10, 12, 18}, 0.7);
  Mix(canvas, cx, cy - 1, Rgb{10, 12, 18}, 0.5);
}

// A plaque of black glass in a thin steel rim, its caption lit from behind in blue.
void Plaque(Canvas& canvas, const char* text, int centreX, int top, int padX, int padY) {
  const Mask mask = TextMask(text, Letters::Small3x5, false, 1);
  const int x0 = centreX - mask.w / 2 - padX - 1, x1 = x0 + mask.w + 2 * padX + 1;
  const int y0 = top, y1 = top + mask.h + 2 * padY + 1;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      // The glass: a faint reflection in its upper half.
      const double t = static_cast<double>(y - y0) / (y1 - y0);
      At(canvas, x, y) = t < 0.45 ? Lerp(Rgb{26, 30, 42}, Rgb{10, 12, 18}, t / 0.45)
                                  : Lerp(Rgb{6, 7, 11}, Rgb{12, 15, 24}, (t - 0.45) / 0.55);
    }
  }
  Bevel(canvas, x0, y0, x1, y1, SteelLight, SteelDark, {0.7});
  Bevel(canvas, x0 - 1, y0 - 1, x1 + 1, y1 + 1, SteelDark, SteelLight, {0.5});
  const int left = x0 + 1 + padX, textTop = y0 + 1 + padY;
  for (int y = -1; y <= mask.h; ++y) {
    for (int x = -1; x <= mask.w; ++x) {
      if (mask.At(x, y)) continue;
      if (mask.At(x - 1, y) || mask.At(x + 1, y) || mask.At(x, y - 1) || mask.At(x, y + 1))
        Mix(canvas, left + x, textTop + y, Glow, 0.3);
    }
  }
  PaintCaption(canvas, mask, left, textTop);
}

}  // namespace

SkinInk CarbonInk() {
  return {Ramp<LabelInkLevels>(Rgb{250, 253, 255}, Rgb{150, 200, 245}),
          Ramp<CaptionInkLevels>(Rgb{214, 240, 255}, Rgb{120, 196, 255})};
}

void PaintCarbon(Canvas& canvas) {
  for (int y = 0; y < SkinHeight; ++y) {
    for (int x = 0; x < SkinWidth; ++x) At(canvas, x, y) = Carbon(x, y);
  }
  // Steel rails at the top and bottom edges of the picture.
  for (int y = 0; y <= 3; ++y) {
    for (int x = 0; x < SkinWidth; ++x) At(canvas, x, y) = Brushed(x, y, 0.85);
  }
  Bevel(canvas, 0, 0, 799, 599, SteelLight, SteelDark, {0.6, 0.25});

  HeaderWell(canvas);
  PageFrame(canvas);

  for (int x : {142, 653}) {
    Screw(canvas, x, 36);
    Screw(canvas, x, 156);
  }
  Screw(canvas, 15, 187);
  Screw(canvas, 15, 576);
  Screw(canvas, 785, 187);

  // Blue light from the seams: under the logotype, along the strip above the page and down the
  // outer edges of the key columns.
  GlowLineH(canvas, 160, 636, 170, 0.9);
  GlowLineH(canvas, 20, 120, 36, 0.7);
  GlowLineH(canvas, 680, 780, 36, 0.7);

  Lamp(canvas, 9, 141);
  Lamp(canvas, 70, 141);
  Lamp(canvas, 723, 141);
  Lamp(canvas, 788, 141);

  Plaque(canvas, "TUNES", 70, 121, 4, 2);
  Plaque(canvas, "TUNES", 722, 121, 4, 2);
  Plaque(canvas, "QUELLMARK COMPOSITES - SKIN 2 CARBON", 400, 583, 7, 2);

  Logotype(canvas, "THE QUELLMARK", 400, 4);

  for (int i = 1; i <= SkinButtonCount; ++i) Key(canvas, SkinButtons[2][i], SkinLabels[i]);
}
