#include "generators/skingen/paint.h"

#include <cmath>

Canvas NewCanvas() {
  Canvas canvas;
  canvas.pixels.assign(static_cast<size_t>(SkinWidth) * SkinHeight, Rgb{});
  canvas.ink.assign(static_cast<size_t>(SkinWidth) * SkinHeight, 0);
  return canvas;
}

Rgb& At(Canvas& canvas, int x, int y) {
  return canvas.pixels[y * SkinWidth + x];
}

bool Inside(int x, int y) {
  return x >= 0 && y >= 0 && x < SkinWidth && y < SkinHeight;
}

Rgb Lerp(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scaled(Rgb c, double f) {
  return {c.r * f, c.g * f, c.b * f};
}

void Mix(Canvas& canvas, int x, int y, Rgb c, double a) {
  if (!Inside(x, y)) return;
  Rgb& p = At(canvas, x, y);
  p = Lerp(p, c, a);
}

void Darken(Canvas& canvas, int x, int y, double f) {
  if (!Inside(x, y)) return;
  Rgb& p = At(canvas, x, y);
  p = Scaled(p, f);
}

double Clamp01(double v) {
  return v < 0 ? 0 : (v > 1 ? 1 : v);
}

double Smooth(double edge0, double edge1, double v) {
  const double t = Clamp01((v - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

uint32_t NextU32(Rng& rng) {
  rng.state ^= rng.state >> 12;
  rng.state ^= rng.state << 25;
  rng.state ^= rng.state >> 27;
  return static_cast<uint32_t>((rng.state * 0x2545F4914F6CDD1DULL) >> 32);
}

double NextUnit(Rng& rng) {
  return (NextU32(rng) >> 8) / 16777216.0;
}

int NextInt(Rng& rng, int n) {
  return static_cast<int>(NextUnit(rng) * n);
}

namespace {

uint32_t Hash(int x, int y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B9u ^ static_cast<uint32_t>(x) * 0x85EBCA6Bu ^
               static_cast<uint32_t>(y) * 0xC2B2AE35u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

}  // namespace

double Hash01(int x, int y, uint32_t seed) {
  return (Hash(x, y, seed) >> 8) / 16777216.0;
}

double ValueNoise(double x, double y, uint32_t seed) {
  const double fx = std::floor(x);
  const double fy = std::floor(y);
  const int ix = static_cast<int>(fx);
  const int iy = static_cast<int>(fy);
  double tx = x - fx;
  double ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  const double top = Hash01(ix, iy, seed) * (1 - tx) + Hash01(ix + 1, iy, seed) * tx;
  const double bottom = Hash01(ix, iy + 1, seed) * (1 - tx) + Hash01(ix + 1, iy + 1, seed) * tx;
  return top * (1 - ty) + bottom * ty;
}

double Fbm(double x, double y, int octaves, uint32_t seed) {
  double sum = 0;
  double weight = 0;
  double amplitude = 1;
  for (int i = 0; i < octaves; ++i) {
    sum += ValueNoise(x, y, seed + 101 * i) * amplitude;
    weight += amplitude;
    amplitude *= 0.5;
    x *= 2.03;
    y *= 2.03;
  }
  return sum / weight;
}

void Bevel(Canvas& canvas, int x0, int y0, int x1, int y1, Rgb light, Rgb dark,
           const std::vector<double>& alphas) {
  const int width = static_cast<int>(alphas.size());
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const int left = x - x0, top = y - y0, right = x1 - x, bottom = y1 - y;
      const int d = std::min(std::min(left, top), std::min(right, bottom));
      if (d >= width) continue;
      const double a = alphas[d];
      const bool lit = left == d || top == d;
      const bool shaded = right == d || bottom == d;
      if (lit && shaded) {
        Mix(canvas, x, y, Lerp(light, dark, 0.5), a * 0.7);
      } else if (lit) {
        Mix(canvas, x, y, light, a);
      } else {
        Mix(canvas, x, y, dark, a);
      }
    }
  }
  // Soften the outer corners so the edge reads as rounded rather than cut.
  Mix(canvas, x0, y0, dark, 0.35);
  Mix(canvas, x1, y1, dark, 0.35);
}

void Rivet(Canvas& canvas, double cx, double cy, double radius, Rgb base, Rgb light, Rgb dark) {
  const int x0 = static_cast<int>(std::floor(cx - radius - 1));
  const int x1 = static_cast<int>(std::ceil(cx + radius + 2));
  const int y0 = static_cast<int>(std::floor(cy - radius - 1));
  const int y1 = static_cast<int>(std::ceil(cy + radius + 2));
  // Light from the top left and a little in front.
  const double lx = -0.55, ly = -0.6, lz = 0.58;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      int shadowHits = 0, hits = 0;
      double shade = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const double px = x + (sx + 0.5) / 4 - cx - 0.5;
          const double py = y + (sy + 0.5) / 4 - cy - 0.5;
          const double rr = (px * px + py * py) / (radius * radius);
          const double sxr = px - 1.1, syr = py - 1.3;
          if ((sxr * sxr + syr * syr) < (radius + 0.6) * (radius + 0.6)) ++shadowHits;
          if (rr >= 1) continue;
          ++hits;
          const double nz = std::sqrt(1 - rr);
          const double lambert = (px / radius) * lx + (py / radius) * ly + nz * lz;
          shade += lambert;
        }
      }
      if (shadowHits > 0) Mix(canvas, x, y, Rgb{0, 0, 0}, 0.45 * shadowHits / 16.0);
      if (hits == 0) continue;
      const double l = shade / hits;  // about -0.4 .. 1
      Rgb c = l > 0.55 ? Lerp(base, light, Clamp01((l - 0.55) / 0.4))
                       : Lerp(dark, base, Clamp01((l + 0.2) / 0.75));
      Mix(canvas, x, y, c, hits / 16.0);
    }
  }
}

namespace {

double Luma(const Rgb& c) {
  return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
}

}  // namespace

void JoinSpecks(Canvas& canvas, double margin) {
  // Joining one speck can leave its neighbour alone in turn: repeat until none is left.
  for (bool changed = true; changed;) {
    changed = false;
    const std::vector<Rgb> before = canvas.pixels;
    for (int y = 1; y < SkinHeight - 1; ++y) {
      for (int x = 1; x < SkinWidth - 1; ++x) {
        const double self = Luma(before[y * SkinWidth + x]);
        bool lighter = true, darker = true, lettering = false;
        int nearest = -1;
        double nearestGap = 1e9;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int i = (y + dy) * SkinWidth + x + dx;
            lettering = lettering || canvas.ink[i] != 0;
            if (dx == 0 && dy == 0) continue;
            const double other = Luma(before[i]);
            lighter = lighter && self - other > margin;
            darker = darker && other - self > margin;
            if (std::abs(other - self) < nearestGap) {
              nearestGap = std::abs(other - self);
              nearest = i;
            }
          }
        }
        if (lettering || !(lighter || darker)) continue;
        canvas.pixels[y * SkinWidth + x] = before[nearest];
        changed = true;
      }
    }
  }
}
