// The two skin pictures: regenerated from their painting code they must equal the committed
// files, and the committed files must keep what the program draws over them in place: label ink
// only on the keys, centred under the highlights with room to spare, and a black page; every
// label must read.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "generators/skingen/skingen.h"
#include "tests/support/run.h"

namespace {

// Paths relative to tests/, the working directory of every test.
std::string CommittedPath(int skin) {
  return "../assets/skins/skin" + std::to_string(skin) + ".bin";
}

std::vector<uint8_t> Committed(int skin) {
  const std::string bytes = ReadFileText(CommittedPath(skin));
  return {bytes.begin(), bytes.end()};
}

uint8_t Index(const std::vector<uint8_t>& file, int x, int y) {
  return file[SkinPaletteBytes + y * SkinWidth + x];
}

bool IsInk(const std::vector<uint8_t>& file, int x, int y) {
  const int i = Index(file, x, y);
  return i >= LabelInkFirst && i <= LabelInkLast;
}

bool IsAnyInk(const std::vector<uint8_t>& file, int x, int y) {
  return Index(file, x, y) >= CaptionInkFirst;
}

uint32_t Colour(const std::vector<uint8_t>& file, int x, int y) {
  const uint8_t* rgb = &file[Index(file, x, y) * 3];
  return static_cast<uint32_t>(rgb[0]) << 16 | static_cast<uint32_t>(rgb[1]) << 8 | rgb[2];
}

// Relative luminance (WCAG 2): linearised sRGB channels weighted 0.2126, 0.7152, 0.0722.
double Luminance(uint32_t rgb) {
  const auto linear = [](uint32_t c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(rgb >> 16 & 255) + 0.7152 * linear(rgb >> 8 & 255) +
         0.0722 * linear(rgb & 255);
}

class Skin : public ::testing::TestWithParam<int> {};

TEST_P(Skin, RegeneratingReproducesTheCommittedFile) {
  const std::vector<uint8_t> committed = Committed(GetParam());
  ASSERT_EQ(committed.size(), static_cast<size_t>(SkinFileBytes)) << CommittedPath(GetParam());
  const std::vector<uint8_t> built = BuildSkinFile(GetParam());
  ASSERT_EQ(built.size(), committed.size());
  const auto mismatch = std::mismatch(built.begin(), built.end(), committed.begin());
  EXPECT_TRUE(mismatch.first == built.end())
      << "first difference at byte " << (mismatch.first - built.begin())
      << "; run `cmake --build build --target skins` after changing the painting";
}

// Label ink only on the keys: strictly inside a key's rectangle with a margin of plain key
// between the edge and the lettering (two pixels, one on the 8-pixel song keys); every key
// carries ink, its bounding box centred on the key within two pixels; and the page area that the
// program draws over is black.
TEST_P(Skin, LabelsSitCentredInsideTheirKeysAndThePageIsBlack) {
  const int skin = GetParam();
  const std::vector<uint8_t> file = Committed(skin);
  ASSERT_EQ(file.size(), static_cast<size_t>(SkinFileBytes));
  int x0[SkinButtonCount + 1], y0[SkinButtonCount + 1],
      x1[SkinButtonCount + 1] = {}, y1[SkinButtonCount + 1] = {}, faults = 0;
  std::fill_n(x0, SkinButtonCount + 1, SkinWidth);
  std::fill_n(y0, SkinButtonCount + 1, SkinHeight);
  for (int y = 0; y < SkinHeight; ++y) {
    for (int x = 0; x < SkinWidth; ++x) {
      const bool page = y >= 192 && y <= 570 && x >= 20 && x <= 770;
      int key = 0;
      for (int b = 1; b <= SkinButtonCount; ++b) {
        const SkinButton& k = SkinButtons[skin][b];
        const int m = k.h < 10 ? 2 : 3;  // the margin and the key's edge
        if (x >= k.x + m && x <= k.x + k.w - m && y >= k.y + m && y <= k.y + k.h - m) key = b;
      }
      if (IsInk(file, x, y) && key != 0) {
        x0[key] = std::min(x0[key], x), x1[key] = std::max(x1[key], x);
        y0[key] = std::min(y0[key], y), y1[key] = std::max(y1[key], y);
      } else if ((IsInk(file, x, y) || (page && Colour(file, x, y) != 0)) && faults++ < 5) {
        ADD_FAILURE() << "skin " << skin << ": stray ink or colour at " << x << "," << y;
      }
    }
  }
  EXPECT_EQ(faults, 0);
  for (int b = 1; b <= SkinButtonCount; ++b) {
    const SkinButton& k = SkinButtons[skin][b];
    ASSERT_GT(x1[b], 0) << "skin " << skin << " button " << b << " has no label";
    // Doubled coordinates keep the half pixels exact.
    EXPECT_LE(std::abs((x0[b] + x1[b]) - (2 * k.x + k.w)), 4) << "skin " << skin << " key " << b;
    EXPECT_LE(std::abs((y0[b] + y1[b]) - (2 * k.y + k.h)), 4) << "skin " << skin << " key " << b;
  }
}

// Every label (the ink of the key labels and of the captions) reads at a contrast of at least
// 3:1 against the pixels around it: per word, the mean relative luminance of its ink against that
// of the other pixels within two pixels of its strokes. Ink pixels at most two blank pixels apart
// belong to one word.
TEST_P(Skin, EveryLabelStandsOutFromWhatSurroundsIt) {
  const int skin = GetParam();
  const int expectedWords[3] = {0, 24, 22};  // key labels ("SONG" and "1" apart) and captions
  const std::vector<uint8_t> file = Committed(skin);
  ASSERT_EQ(file.size(), static_cast<size_t>(SkinFileBytes));
  std::vector<int> word(static_cast<size_t>(SkinWidth) * SkinHeight, 0);
  int words = 0;
  for (int sy = 0; sy < SkinHeight; ++sy) {
    for (int sx = 0; sx < SkinWidth; ++sx) {
      if (!IsAnyInk(file, sx, sy) || word[sy * SkinWidth + sx] != 0) continue;
      ++words;
      std::vector<std::pair<int, int>> ink = {{sx, sy}};
      word[sy * SkinWidth + sx] = words;
      for (size_t k = 0; k < ink.size(); ++k) {
        for (int dy = -3; dy <= 3; ++dy) {
          for (int dx = -3; dx <= 3; ++dx) {
            const int x = ink[k].first + dx, y = ink[k].second + dy;
            if (x < 0 || y < 0 || x >= SkinWidth || y >= SkinHeight) continue;
            if (!IsAnyInk(file, x, y) || word[y * SkinWidth + x] != 0) continue;
            word[y * SkinWidth + x] = words;
            ink.push_back({x, y});
          }
        }
      }
      double inkSum = 0, aroundSum = 0;
      int around = 0;
      std::vector<bool> counted(word.size(), false);
      for (const auto& [ix, iy] : ink) {
        inkSum += Luminance(Colour(file, ix, iy));
        for (int y = std::max(0, iy - 2); y <= std::min(SkinHeight - 1, iy + 2); ++y) {
          for (int x = std::max(0, ix - 2); x <= std::min(SkinWidth - 1, ix + 2); ++x) {
            if (IsAnyInk(file, x, y) || counted[y * SkinWidth + x]) continue;
            counted[y * SkinWidth + x] = true;
            aroundSum += Luminance(Colour(file, x, y));
            ++around;
          }
        }
      }
      const double a = inkSum / ink.size(), b = aroundSum / around;
      const double contrast = (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
      EXPECT_GE(contrast, 3.0) << "skin " << skin << ": the word whose ink starts at " << sx << ","
                               << sy;
    }
  }
  EXPECT_EQ(words, expectedWords[skin]) << "skin " << skin;
}

INSTANTIATE_TEST_SUITE_P(BothSkins, Skin, ::testing::Values(1, 2));

TEST(SkinFile, DecodingLooksUpThePaletteAndRefusesAWrongSize) {
  std::vector<uint8_t> file(SkinFileBytes, 0);
  file[5 * 3] = 0x12;
  file[5 * 3 + 1] = 0x34;
  file[5 * 3 + 2] = 0x56;
  file[SkinPaletteBytes + SkinWidth + 2] = 5;  // pixel (2, 1)
  const std::vector<uint32_t> picture = DecodeSkinFile(file);
  ASSERT_EQ(picture.size(), static_cast<size_t>(SkinWidth) * SkinHeight);
  EXPECT_EQ(picture[SkinWidth + 2], 0x123456u);
  EXPECT_EQ(picture[0], 0u);
  file.pop_back();
  EXPECT_TRUE(DecodeSkinFile(file).empty());
}

}  // namespace
