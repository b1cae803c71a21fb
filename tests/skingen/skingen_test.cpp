// The two skin pictures: regenerated from their painting code they must equal the committed
// files, and keep what the program draws over them in place: label ink only on the keys, centred
// under the highlights with room to spare, and a black page; every label must read.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "generators/skingen/skingen.h"
#include "tests/support/run.h"

namespace {

// Relative luminance (WCAG 2): linearised sRGB channels weighted 0.2126, 0.7152, 0.0722.
double Luminance(const uint8_t* rgb) {
  const auto linear = [](uint8_t c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(rgb[0]) + 0.7152 * linear(rgb[1]) + 0.0722 * linear(rgb[2]);
}

class Skin : public ::testing::TestWithParam<int> {};

// Label ink only on the keys: strictly inside a key's rectangle with a margin of plain key
// between the edge and the lettering (two pixels, one on the 8-pixel song keys); every key
// carries ink, its bounding box centred on the key within two pixels; the page area that the
// program draws over is black. Every word (ink pixels at most two blank pixels apart) of the key
// labels and captions reads at a contrast of at least 3:1: the mean relative luminance of its ink
// against that of the other pixels within two pixels of its strokes.
TEST_P(Skin, RegeneratesWithLabelsCentredInsideTheirKeysThatRead) {
  const int skin = GetParam();
  const std::string path = "../assets/skins/skin" + std::to_string(skin) + ".bin";
  const std::string bytes = ReadFileText(path);
  const std::vector<uint8_t> file(bytes.begin(), bytes.end());
  ASSERT_TRUE(BuildSkinFile(skin) == file) << path << ": run `cmake --build build --target skins`";
  auto index = [&](int x, int y) { return file[SkinPaletteBytes + y * SkinWidth + x]; };
  auto label = [&](int x, int y) {
    return index(x, y) >= LabelInkFirst && index(x, y) <= LabelInkLast;
  };
  auto ink = [&](int x, int y) { return index(x, y) >= CaptionInkFirst; };
  auto luminance = [&](int x, int y) { return Luminance(&file[index(x, y) * 3]); };

  // Each key's label ink: its leftmost, topmost, rightmost and bottommost pixel.
  std::vector<std::array<int, 4>> box(SkinButtonCount + 1, {SkinWidth, SkinHeight, 0, 0});
  int faults = 0;
  for (int y = 0; y < SkinHeight; ++y) {
    for (int x = 0; x < SkinWidth; ++x) {
      const bool page = y >= 192 && y <= 570 && x >= 20 && x <= 770;
      int key = 0;
      for (int b = 1; b <= SkinButtonCount; ++b) {
        const SkinButton& k = SkinButtons[skin][b];
        const int m = k.h < 10 ? 2 : 3;  // the margin and the key's edge
        if (x >= k.x + m && x <= k.x + k.w - m && y >= k.y + m && y <= k.y + k.h - m) key = b;
      }
      if (label(x, y) && key != 0) {
        std::array<int, 4>& b = box[key];
        b = {std::min(b[0], x), std::min(b[1], y), std::max(b[2], x), std::max(b[3], y)};
      } else if ((label(x, y) || (page && luminance(x, y) != 0)) && faults++ < 5) {
        ADD_FAILURE() << "skin " << skin << ": stray ink or colour at " << x << "," << y;
      }
    }
  }
  for (int b = 1; b <= SkinButtonCount; ++b) {
    const SkinButton& k = SkinButtons[skin][b];
    // Doubled coordinates keep the half pixels exact.
    ASSERT_GT(box[b][2], 0) << "skin " << skin << " button " << b << " has no label";
    EXPECT_TRUE(std::abs(box[b][0] + box[b][2] - (2 * k.x + k.w)) <= 4 &&
                std::abs(box[b][1] + box[b][3] - (2 * k.y + k.h)) <= 4)
        << "skin " << skin << " key " << b;
  }

  std::vector<int> word(file.size(), 0);  // by pixel: the word it belongs to, 0 for none
  std::vector<bool> counted(file.size());
  int words = 0;
  for (int sy = 0; sy < SkinHeight; ++sy) {
    for (int sx = 0; sx < SkinWidth; ++sx) {
      if (!ink(sx, sy) || word[sy * SkinWidth + sx] != 0) continue;
      word[sy * SkinWidth + sx] = ++words;
      std::vector<std::pair<int, int>> strokes = {{sx, sy}};
      double inkSum = 0, aroundSum = 0;
      int around = 0;
      for (size_t k = 0; k < strokes.size(); ++k) {
        const auto [ix, iy] = strokes[k];
        inkSum += luminance(ix, iy);
        for (int y = std::max(0, iy - 3); y <= std::min(SkinHeight - 1, iy + 3); ++y) {
          for (int x = std::max(0, ix - 3); x <= std::min(SkinWidth - 1, ix + 3); ++x) {
            const int at = y * SkinWidth + x;
            if (ink(x, y) && word[at] == 0) word[at] = words, strokes.push_back({x, y});
            const bool near = std::abs(x - ix) <= 2 && std::abs(y - iy) <= 2;
            if (!ink(x, y) && near && !counted[at]) {
              counted[at] = true, aroundSum += luminance(x, y), ++around;
            }
          }
        }
      }
      std::fill(counted.begin(), counted.end(), false);
      const double a = inkSum / strokes.size(), b = aroundSum / around;
      EXPECT_GE((std::max(a, b) + 0.05) / (std::min(a, b) + 0.05), 3.0)
          << "skin " << skin << ": the word whose ink starts at " << sx << "," << sy;
    }
  }
  EXPECT_EQ(words, skin == 1 ? 24 : 22);  // key labels ("SONG" and "1" apart) and captions
}

INSTANTIATE_TEST_SUITE_P(BothSkins, Skin, ::testing::Values(1, 2));

TEST(SkinFile, DecodingLooksUpThePaletteAndRefusesAWrongSize) {
  std::vector<uint8_t> file(SkinFileBytes, 0);
  file[5 * 3] = 0x12, file[5 * 3 + 1] = 0x34, file[5 * 3 + 2] = 0x56;
  file[SkinPaletteBytes + SkinWidth + 2] = 5;  // pixel (2, 1)
  EXPECT_EQ(DecodeSkinFile(file)[SkinWidth + 2], 0x123456u);
  file.pop_back();
  EXPECT_TRUE(DecodeSkinFile(file).empty());
}

}  // namespace
