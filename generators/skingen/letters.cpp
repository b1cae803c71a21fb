// Our own two bitmap alphabets: tall 5 x 7 capitals for labels, plates and the logotype, and
// small 3 x 5 capitals for the tiny song keys and stamped serials.

#include <algorithm>
#include <cmath>
#include <iterator>

#include "generators/skingen/paint.h"

namespace {

struct Glyph {
  char c;
  const char* rows[7];
};

// clang-format off
constexpr Glyph Tall[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {"###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'J', {"..###", "...#.", "...#.", "...#.", "#..#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."}},
    {'-', {"....", "....", "....", "####", "....", "....", "...."}},
    {'.', {".", ".", ".", ".", ".", ".", "#"}},
    {'/', {"....#", "...#.", "...#.", "..#..", ".#...", ".#...", "#...."}},
    {'*', {".....", "#.#.#", ".###.", "#####", ".###.", "#.#.#", "....."}},
    {' ', {"...", "...", "...", "...", "...", "...", "..."}},
};

constexpr Glyph Small[] = {
    {'A', {"###", "#.#", "###", "#.#", "#.#"}},
    {'B', {"##.", "#.#", "##.", "#.#", "##."}},
    {'C', {"###", "#..", "#..", "#..", "###"}},
    {'D', {"##.", "#.#", "#.#", "#.#", "##."}},
    {'E', {"###", "#..", "##.", "#..", "###"}},
    {'F', {"###", "#..", "##.", "#..", "#.."}},
    {'G', {"###", "#..", "#.#", "#.#", "###"}},
    {'H', {"#.#", "#.#", "###", "#.#", "#.#"}},
    {'I', {"###", ".#.", ".#.", ".#.", "###"}},
    {'K', {"#.#", "#.#", "##.", "#.#", "#.#"}},
    {'L', {"#..", "#..", "#..", "#..", "###"}},
    {'M', {"#.#", "###", "###", "#.#", "#.#"}},
    {'N', {"##.", "#.#", "#.#", "#.#", "#.#"}},
    {'O', {"###", "#.#", "#.#", "#.#", "###"}},
    {'P', {"###", "#.#", "###", "#..", "#.."}},
    {'Q', {"###", "#.#", "#.#", "##.", ".##"}},
    {'R', {"##.", "#.#", "##.", "#.#", "#.#"}},
    {'S', {"###", "#..", "###", "..#", "###"}},
    {'T', {"###", ".#.", ".#.", ".#.", ".#."}},
    {'U', {"#.#", "#.#", "#.#", "#.#", "###"}},
    {'V', {"#.#", "#.#", "#.#", "#.#", ".#."}},
    {'W', {"#.#", "#.#", "###", "###", "#.#"}},
    {'X', {"#.#", "#.#", ".#.", "#.#", "#.#"}},
    {'Y', {"#.#", "#.#", ".#.", ".#.", ".#."}},
    {'0', {"###", "#.#", "#.#", "#.#", "###"}},
    {'1', {".#.", "##.", ".#.", ".#.", "###"}},
    {'2', {"##.", "..#", ".#.", "#..", "###"}},
    {'3', {"##.", "..#", ".#.", "..#", "##."}},
    {'4', {"#.#", "#.#", "###", "..#", "..#"}},
    {'5', {"###", "#..", "##.", "..#", "##."}},
    {'6', {".##", "#..", "###", "#.#", "###"}},
    {'7', {"###", "..#", ".#.", ".#.", ".#."}},
    {'8', {"###", "#.#", "###", "#.#", "###"}},
    {'9', {"###", "#.#", "###", "..#", "##."}},
    {'-', {"...", "...", "###", "...", "..."}},
    {'.', {".", ".", ".", ".", "#"}},
    {'/', {"..#", "..#", ".#.", "#..", "#.."}},
    {' ', {"..", "..", "..", "..", ".."}},
};
// clang-format on

const Glyph* Find(const Glyph* table, size_t count, char c) {
  for (size_t i = 0; i < count; ++i) {
    if (table[i].c == c) return &table[i];
  }
  return nullptr;
}

Mask Trim(const Mask& mask) {
  int x0 = mask.w, y0 = mask.h, x1 = -1, y1 = -1;
  for (int y = 0; y < mask.h; ++y) {
    for (int x = 0; x < mask.w; ++x) {
      if (!mask.At(x, y)) continue;
      x0 = std::min(x0, x);
      x1 = std::max(x1, x);
      y0 = std::min(y0, y);
      y1 = std::max(y1, y);
    }
  }
  Mask out;
  if (x1 < 0) return out;
  out.w = x1 - x0 + 1;
  out.h = y1 - y0 + 1;
  out.on.assign(static_cast<size_t>(out.w) * out.h, 0);
  for (int y = 0; y < out.h; ++y) {
    for (int x = 0; x < out.w; ++x) out.on[y * out.w + x] = mask.At(x + x0, y + y0);
  }
  return out;
}

}  // namespace

Mask TextMask(const std::string& text, Letters letters, bool bold, int gap) {
  const Glyph* table = letters == Letters::Tall5x7 ? Tall : Small;
  const size_t count = letters == Letters::Tall5x7 ? std::size(Tall) : std::size(Small);
  const int height = letters == Letters::Tall5x7 ? 7 : 5;
  std::vector<const Glyph*> glyphs;
  int width = 0;
  for (char c : text) {
    const Glyph* g = Find(table, count, c);
    if (g == nullptr) g = Find(table, count, ' ');
    glyphs.push_back(g);
    width += static_cast<int>(std::string(g->rows[0]).size()) + (bold ? 1 : 0) + gap;
  }
  Mask mask;
  mask.w = width;
  mask.h = height;
  mask.on.assign(static_cast<size_t>(width) * height, 0);
  int x = 0;
  for (const Glyph* g : glyphs) {
    const int w = static_cast<int>(std::string(g->rows[0]).size());
    for (int r = 0; r < height; ++r) {
      for (int k = 0; k < w; ++k) {
        if (g->rows[r][k] != '#') continue;
        mask.on[r * width + x + k] = 1;
        if (bold) mask.on[r * width + x + k + 1] = 1;
      }
    }
    x += w + (bold ? 1 : 0) + gap;
  }
  return Trim(mask);
}

Mask Scale2x(const Mask& mask) {
  Mask out;
  out.w = mask.w * 2;
  out.h = mask.h * 2;
  out.on.assign(static_cast<size_t>(out.w) * out.h, 0);
  for (int y = 0; y < mask.h; ++y) {
    for (int x = 0; x < mask.w; ++x) {
      const bool p = mask.At(x, y);
      const bool a = mask.At(x, y - 1), b = mask.At(x + 1, y), c = mask.At(x - 1, y),
                 d = mask.At(x, y + 1);
      out.on[(2 * y) * out.w + 2 * x] = (c == a && c != d && a != b) ? a : p;
      out.on[(2 * y) * out.w + 2 * x + 1] = (a == b && a != c && b != d) ? b : p;
      out.on[(2 * y + 1) * out.w + 2 * x] = (d == c && d != b && c != a) ? c : p;
      out.on[(2 * y + 1) * out.w + 2 * x + 1] = (b == d && b != a && d != c) ? d : p;
    }
  }
  return out;
}

Mask Tidy(const Mask& mask) {
  Mask out = mask;
  for (int y = 0; y < mask.h; ++y) {
    for (int x = 0; x < mask.w; ++x) {
      const int sides =
          mask.At(x - 1, y) + mask.At(x + 1, y) + mask.At(x, y - 1) + mask.At(x, y + 1);
      if (mask.At(x, y) && sides == 0) out.on[y * mask.w + x] = 0;
      if (!mask.At(x, y) && sides >= 3) out.on[y * mask.w + x] = 1;
    }
  }
  return out;
}

void CentreOn(const Mask& mask, const SkinButton& button, int& left, int& top) {
  // Centre of the rectangle x..x+w is x + w/2; the mask's centre is left + (mask.w - 1)/2.
  left = static_cast<int>(std::floor(button.x + button.w / 2.0 - (mask.w - 1) / 2.0 + 0.5));
  top = static_cast<int>(std::floor(button.y + button.h / 2.0 - (mask.h - 1) / 2.0 + 0.5));
}

namespace {

// Ramp level 1..levels of row y of a mask h rows tall: the top row 1, the foot `levels`.
int RowLevel(int y, int h, int levels) {
  if (h == 1) return 1;
  return 1 + static_cast<int>(std::floor(y * (levels - 1.0) / (h - 1) + 0.5));
}

}  // namespace

void PaintLabel(Canvas& canvas, const Mask& mask, int left, int top, double shadowAlpha) {
  for (int y = 0; y <= mask.h; ++y) {
    for (int x = 0; x <= mask.w; ++x) {
      if (!mask.At(x, y) && mask.At(x - 1, y - 1)) {
        Mix(canvas, left + x, top + y, Rgb{0, 0, 0}, shadowAlpha);
      }
    }
  }
  for (int y = 0; y < mask.h; ++y) {
    const int level = RowLevel(y, mask.h, LabelInkLevels);
    for (int x = 0; x < mask.w; ++x) {
      if (mask.At(x, y) && Inside(left + x, top + y)) {
        canvas.ink[(top + y) * SkinWidth + left + x] = static_cast<uint8_t>(level);
      }
    }
  }
}

void PaintCaption(Canvas& canvas, const Mask& mask, int left, int top) {
  for (int y = 0; y < mask.h; ++y) {
    const int level = CaptionInkBase + RowLevel(y, mask.h, CaptionInkLevels);
    for (int x = 0; x < mask.w; ++x) {
      if (mask.At(x, y) && Inside(left + x, top + y)) {
        canvas.ink[(top + y) * SkinWidth + left + x] = static_cast<uint8_t>(level);
      }
    }
  }
}
