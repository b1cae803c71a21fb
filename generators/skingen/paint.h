#pragma once
// The painting kit shared by both skins: a true-colour canvas with a label-ink layer, a seeded
// random generator, value noise, bevels, rivets, bitmap lettering and the reduction of the
// finished canvas to a 256-colour skin file.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "generators/skingen/skingen.h"

struct Rgb {
  double r = 0, g = 0, b = 0;
};

// Ink layer values: 0 artwork; 1..LabelInkLevels button-label ink of that ramp level; after them
// CaptionInkLevels levels of caption ink.
inline constexpr int CaptionInkBase = LabelInkLevels;

struct Canvas {
  std::vector<Rgb> pixels;   // SkinWidth x SkinHeight, channels 0..255
  std::vector<uint8_t> ink;  // see CaptionInkBase
};

// The fixed colours of a skin's lettering: the button labels' ramp from the top row of a letter
// to its foot, and the captions' ramp likewise.
struct SkinInk {
  std::array<Rgb, LabelInkLevels> label;
  std::array<Rgb, CaptionInkLevels> caption;
};

Canvas NewCanvas();
Rgb& At(Canvas& canvas, int x, int y);
bool Inside(int x, int y);
// Blends c over the pixel with weight a (0..1); pixels outside the picture are ignored.
void Mix(Canvas& canvas, int x, int y, Rgb c, double a);
// Multiplies the pixel's channels by f.
void Darken(Canvas& canvas, int x, int y, double f);
Rgb Lerp(Rgb a, Rgb b, double t);
Rgb Scaled(Rgb c, double f);
double Clamp01(double v);
double Smooth(double edge0, double edge1, double v);

// xorshift64*: the only source of randomness, seeded per skin and per use.
struct Rng {
  uint64_t state;
};
uint32_t NextU32(Rng& rng);
double NextUnit(Rng& rng);     // [0, 1)
int NextInt(Rng& rng, int n);  // 0..n-1

double Hash01(int x, int y, uint32_t seed);                  // [0, 1)
double ValueNoise(double x, double y, uint32_t seed);        // [0, 1), smooth
double Fbm(double x, double y, int octaves, uint32_t seed);  // [0, 1), octaves halve in size

// Shades the ring of `alphas.size()` pixels just inside the box x0..x1, y0..y1: the top and left
// sides towards `light`, the bottom and right sides towards `dark` (a raised edge lit from the
// top left; swap the colours for a sunken one). alphas run from the outer ring inwards. The two
// outer corner pixels where light meets dark take half of each, the other two are softened.
void Bevel(Canvas& canvas, int x0, int y0, int x1, int y1, Rgb light, Rgb dark,
           const std::vector<double>& alphas);

// A domed rivet or screw head of the given radius, lit from the top left, with a soft shadow
// towards the bottom right; edges anti-aliased by 4 x 4 sub-samples.
void Rivet(Canvas& canvas, double cx, double cy, double radius, Rgb base, Rgb light, Rgb dark);

// A one-bit picture of lettering, trimmed to its ink.
struct Mask {
  int w = 0, h = 0;
  std::vector<uint8_t> on;
  bool At(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && on[y * w + x]; }
};

enum class Letters { Tall5x7, Small3x5 };
// Text in capitals, digits and a few signs; bold thickens every stroke one pixel to the right.
Mask TextMask(const std::string& text, Letters letters, bool bold, int gap);
// Doubles a mask in both directions, rounding the steps of diagonals off (the classic 2x
// pixel-art scaler), so large lettering keeps smooth slants.
Mask Scale2x(const Mask& mask);
// Scale2x leaves single dots and pinholes where two diagonals meet: drops every pixel with no
// side neighbour and fills every gap closed on three sides or more.
Mask Tidy(const Mask& mask);

// Where a mask lands when centred on a button: its top-left corner.
void CentreOn(const Mask& mask, const SkinButton& button, int& left, int& top);

// Paints label ink for `mask` at (left, top): ink level by row from the ramp's top (1) to its
// bottom (LabelInkLevels), and a drop shadow of weight shadowAlpha one pixel down and right.
void PaintLabel(Canvas& canvas, const Mask& mask, int left, int top, double shadowAlpha);

// Paints caption ink for `mask` at (left, top), ramp level by row like PaintLabel; the artwork
// around the strokes is the caller's.
void PaintCaption(Canvas& canvas, const Mask& mask, int left, int top);

// The last pass over a finished canvas: a pixel lighter or darker than all eight neighbours by
// more than `margin` luma levels (of 255) takes the colour of the neighbour nearest it in luma,
// so no detail is a lone speck. Lettering is left alone: its counters are single pixels.
void JoinSpecks(Canvas& canvas, double margin);

// Reduces the canvas to a skin file: entry 0 is black (every pixel exactly black uses it),
// entries 1..215 the artwork's colours by median cut and k-means, 216..223 the caption ramp and
// 224..255 the label ramp.
std::vector<uint8_t> Quantise(const Canvas& canvas, const SkinInk& ink);

void PaintGrunge(Canvas& canvas);
void PaintCarbon(Canvas& canvas);
SkinInk GrungeInk();
SkinInk CarbonInk();
