// Reduction of a painted canvas to the 256-colour skin file: a median cut over the artwork's
// distinct colours, refined by a few rounds of k-means, all in integers so the palette is the
// same on every run.

#include <algorithm>
#include <cmath>

#include "generators/skingen/paint.h"

namespace {

constexpr int ArtworkEntries = CaptionInkFirst - 1;  // entries 1..215

struct Colour {
  int r, g, b;
  int64_t count;
};

uint32_t Pack(int r, int g, int b) {
  return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}

int Channel(double v) {
  const double rounded = std::floor(v + 0.5);
  return rounded < 0 ? 0 : (rounded > 255 ? 255 : static_cast<int>(rounded));
}

int Get(const Colour& c, int axis) {
  return axis == 0 ? c.r : (axis == 1 ? c.g : c.b);
}

// Perceptual weights: green matters most, blue least.
int64_t Distance(const Colour& a, const Colour& b) {
  const int64_t dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

struct Box {
  size_t begin, end;
};

void BoxRange(const std::vector<Colour>& colours, const Box& box, int& axis, int& range) {
  int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
  for (size_t i = box.begin; i < box.end; ++i) {
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], Get(colours[i], a));
      hi[a] = std::max(hi[a], Get(colours[i], a));
    }
  }
  axis = 0;
  range = -1;
  const int weight[3] = {3, 4, 2};
  for (int a = 0; a < 3; ++a) {
    const int r = (hi[a] - lo[a]) * weight[a];
    if (r > range) {
      range = r;
      axis = a;
    }
  }
}

std::vector<Colour> MedianCut(std::vector<Colour>& colours, int wanted) {
  std::vector<Box> boxes = {{0, colours.size()}};
  while (static_cast<int>(boxes.size()) < wanted) {
    // Split the box with the largest spread, weighted by the square root of its pixel count.
    int best = -1;
    double bestScore = 0;
    int bestAxis = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].end - boxes[i].begin < 2) continue;
      int axis, range;
      BoxRange(colours, boxes[i], axis, range);
      int64_t pixels = 0;
      for (size_t k = boxes[i].begin; k < boxes[i].end; ++k) pixels += colours[k].count;
      const double score = range * std::sqrt(static_cast<double>(pixels));
      if (score > bestScore) {
        bestScore = score;
        best = static_cast<int>(i);
        bestAxis = axis;
      }
    }
    if (best < 0) break;
    Box& box = boxes[best];
    std::sort(colours.begin() + box.begin, colours.begin() + box.end,
              [bestAxis](const Colour& a, const Colour& b) {
                const int ka = Get(a, bestAxis), kb = Get(b, bestAxis);
                if (ka != kb) return ka < kb;
                return Pack(a.r, a.g, a.b) < Pack(b.r, b.g, b.b);
              });
    int64_t total = 0;
    for (size_t k = box.begin; k < box.end; ++k) total += colours[k].count;
    int64_t half = 0;
    size_t cut = box.begin + 1;
    for (size_t k = box.begin; k < box.end - 1; ++k) {
      half += colours[k].count;
      cut = k + 1;
      if (2 * half >= total) break;
    }
    const Box upper = {cut, box.end};
    box.end = cut;
    boxes.push_back(upper);
  }
  std::vector<Colour> centres;
  for (const Box& box : boxes) {
    int64_t r = 0, g = 0, b = 0, n = 0;
    for (size_t k = box.begin; k < box.end; ++k) {
      r += colours[k].r * colours[k].count;
      g += colours[k].g * colours[k].count;
      b += colours[k].b * colours[k].count;
      n += colours[k].count;
    }
    centres.push_back({static_cast<int>((r + n / 2) / n), static_cast<int>((g + n / 2) / n),
                       static_cast<int>((b + n / 2) / n), 0});
  }
  return centres;
}

int Nearest(const std::vector<Colour>& centres, const Colour& c) {
  int best = 0;
  int64_t bestDistance = Distance(centres[0], c);
  for (size_t i = 1; i < centres.size(); ++i) {
    const int64_t d = Distance(centres[i], c);
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

}  // namespace

std::vector<uint8_t> Quantise(const Canvas& canvas, const SkinInk& ink) {
  const size_t count = canvas.pixels.size();
  std::vector<uint32_t> packed(count);
  std::vector<uint32_t> artwork;
  for (size_t i = 0; i < count; ++i) {
    const Rgb& p = canvas.pixels[i];
    packed[i] = Pack(Channel(p.r), Channel(p.g), Channel(p.b));
    if (canvas.ink[i] == 0 && packed[i] != 0) artwork.push_back(packed[i]);
  }
  std::sort(artwork.begin(), artwork.end());
  std::vector<Colour> colours;
  for (size_t i = 0; i < artwork.size();) {
    size_t j = i;
    while (j < artwork.size() && artwork[j] == artwork[i]) ++j;
    colours.push_back({static_cast<int>(artwork[i] >> 16), static_cast<int>(artwork[i] >> 8 & 255),
                       static_cast<int>(artwork[i] & 255), static_cast<int64_t>(j - i)});
    i = j;
  }
  std::vector<Colour> centres;
  if (!colours.empty()) {
    std::vector<Colour> work = colours;
    centres = MedianCut(work, ArtworkEntries);
    for (int round = 0; round < 6; ++round) {
      std::vector<int64_t> sum(centres.size() * 4, 0);
      for (const Colour& c : colours) {
        const int k = Nearest(centres, c);
        sum[k * 4] += c.r * c.count;
        sum[k * 4 + 1] += c.g * c.count;
        sum[k * 4 + 2] += c.b * c.count;
        sum[k * 4 + 3] += c.count;
      }
      for (size_t k = 0; k < centres.size(); ++k) {
        const int64_t n = sum[k * 4 + 3];
        if (n == 0) continue;
        centres[k] = {static_cast<int>((sum[k * 4] + n / 2) / n),
                      static_cast<int>((sum[k * 4 + 1] + n / 2) / n),
                      static_cast<int>((sum[k * 4 + 2] + n / 2) / n), 0};
      }
    }
  }
  // Each distinct artwork colour's entry, found again by binary search per pixel.
  std::vector<uint8_t> entryOf(colours.size());
  for (size_t i = 0; i < colours.size(); ++i) {
    entryOf[i] = static_cast<uint8_t>(1 + Nearest(centres, colours[i]));
  }

  std::vector<uint8_t> file(SkinFileBytes, 0);
  for (size_t k = 0; k < centres.size(); ++k) {
    file[(k + 1) * 3] = static_cast<uint8_t>(centres[k].r);
    file[(k + 1) * 3 + 1] = static_cast<uint8_t>(centres[k].g);
    file[(k + 1) * 3 + 2] = static_cast<uint8_t>(centres[k].b);
  }
  const auto setEntry = [&file](int entry, const Rgb& c) {
    file[entry * 3] = static_cast<uint8_t>(Channel(c.r));
    file[entry * 3 + 1] = static_cast<uint8_t>(Channel(c.g));
    file[entry * 3 + 2] = static_cast<uint8_t>(Channel(c.b));
  };
  for (int i = 0; i < LabelInkLevels; ++i) setEntry(LabelInkFirst + i, ink.label[i]);
  for (int i = 0; i < CaptionInkLevels; ++i) setEntry(CaptionInkFirst + i, ink.caption[i]);
  for (size_t i = 0; i < count; ++i) {
    uint8_t index = 0;
    if (canvas.ink[i] > CaptionInkBase) {
      index = static_cast<uint8_t>(CaptionInkFirst - 1 + canvas.ink[i] - CaptionInkBase);
    } else if (canvas.ink[i] != 0) {
      index = static_cast<uint8_t>(LabelInkFirst - 1 + canvas.ink[i]);
    } else if (packed[i] != 0) {
      const Colour key = {static_cast<int>(packed[i] >> 16), static_cast<int>(packed[i] >> 8 & 255),
                          static_cast<int>(packed[i] & 255), 0};
      const auto found = std::lower_bound(colours.begin(), colours.end(), key,
                                          [](const Colour& a, const Colour& b) {
                                            return Pack(a.r, a.g, a.b) < Pack(b.r, b.g, b.b);
                                          });
      index = entryOf[found - colours.begin()];
    }
    file[SkinPaletteBytes + i] = index;
  }
  return file;
}
