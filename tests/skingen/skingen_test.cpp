// The two skin pictures: regenerated from their painting code they must equal the committed
// files, and the committed files must keep what the program draws over them in place: label ink
// only on the keys, centred under the highlights with room to spare, and a black page; every
// label must read, and no pixel may stand out alone as a speck.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "generators/skingen/skingen.h"

namespace {

// Paths relative to tests/, the working directory of every test.
std::string CommittedPath(int skin) {
  return "../assets/skins/skin" + std::to_string(skin) + ".bin";
}

std::vector<uint8_t> Committed(int skin) {
  std::ifstream file(CommittedPath(skin), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
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

// Luma 0..255 (ITU-R BT.601 weights), for telling specks from their neighbours.
int Luma(uint32_t rgb) {
  return static_cast<int>((299 * (rgb >> 16 & 255) + 587 * (rgb >> 8 & 255) + 114 * (rgb & 255)) /
                          1000);
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

// Every key carries ink; the ink near a key sits strictly inside its rectangle with a margin of
// plain key between the edge and the lettering (two pixels, one on the 8-pixel song keys), and
// the ink's bounding box is centred on the rectangle within two pixels.
TEST_P(Skin, LabelsSitInsideAndCentredOnTheirKeys) {
  const int skin = GetParam();
  const std::vector<uint8_t> file = Committed(skin);
  ASSERT_EQ(file.size(), static_cast<size_t>(SkinFileBytes));
  for (int b = 1; b <= SkinButtonCount; ++b) {
    const SkinButton& k = SkinButtons[skin][b];
    const int margin = k.h < 10 ? 1 : 2;
    int x0 = SkinWidth, y0 = SkinHeight, x1 = -1, y1 = -1;
    for (int y = std::max(0, k.y - 8); y <= std::min(SkinHeight - 1, k.y + k.h + 8); ++y) {
      for (int x = std::max(0, k.x - 8); x <= std::min(SkinWidth - 1, k.x + k.w + 8); ++x) {
        if (!IsInk(file, x, y)) continue;
        EXPECT_TRUE(x >= k.x + 1 + margin && x <= k.x + k.w - 1 - margin && y >= k.y + 1 + margin &&
                    y <= k.y + k.h - 1 - margin)
            << "skin " << skin << " button " << b << ": ink at " << x << "," << y;
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
      }
    }
    ASSERT_GE(x1, 0) << "skin " << skin << " button " << b << " has no label";
    // Compare doubled coordinates to keep the half pixels exact.
    EXPECT_LE(std::abs((x0 + x1) - (2 * k.x + k.w)), 4) << "skin " << skin << " button " << b;
    EXPECT_LE(std::abs((y0 + y1) - (2 * k.y + k.h)), 4) << "skin " << skin << " button " << b;
  }
}

TEST_P(Skin, LabelInkAppearsOnlyOnKeys) {
  const int skin = GetParam();
  const std::vector<uint8_t> file = Committed(skin);
  ASSERT_EQ(file.size(), static_cast<size_t>(SkinFileBytes));
  int stray = 0;
  for (int y = 0; y < SkinHeight; ++y) {
    for (int x = 0; x < SkinWidth; ++x) {
      if (!IsInk(file, x, y)) continue;
      bool onKey = false;
      for (int b = 1; b <= SkinButtonCount; ++b) {
        const SkinButton& k = SkinButtons[skin][b];
        onKey = onKey || (x >= k.x && x <= k.x + k.w && y >= k.y && y <= k.y + k.h);
      }
      if (!onKey && stray++ < 5) ADD_FAILURE() << "skin " << skin << ": ink at " << x << "," << y;
    }
  }
  EXPECT_EQ(stray, 0);
}

TEST_P(Skin, PageAreaIsBlack) {
  const int skin = GetParam();
  const std::vector<uint8_t> file = Committed(skin);
  ASSERT_EQ(file.size(), static_cast<size_t>(SkinFileBytes));
  int coloured = 0;
  for (int y = 192; y <= 570; ++y) {
    for (int x = 20; x <= 770; ++x) {
      const int i = Index(file, x, y);
      if (file[i * 3] != 0 || file[i * 3 + 1] != 0 || file[i * 3 + 2] != 0) ++coloured;
    }
  }
  EXPECT_EQ(coloured, 0) << "skin " << skin;
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

// Texture comes in clusters, as a pixel artist paints it: no pixel is lighter or darker than all
// eight of its neighbours by more than 24 luma levels (of 255). Lettering is left out: the
// counter of a small letter is one pixel by design.
TEST_P(Skin, NoPixelIsASpeck) {
  const int skin = GetParam();
  const std::vector<uint8_t> file = Committed(skin);
  ASSERT_EQ(file.size(), static_cast<size_t>(SkinFileBytes));
  int specks = 0;
  for (int y = 1; y < SkinHeight - 1; ++y) {
    for (int x = 1; x < SkinWidth - 1; ++x) {
      const int self = Luma(Colour(file, x, y));
      int darkerBy = 255, lighterBy = 255;
      bool lettering = false;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          lettering = lettering || IsAnyInk(file, x + dx, y + dy);
          if (dx == 0 && dy == 0) continue;
          const int other = Luma(Colour(file, x + dx, y + dy));
          darkerBy = std::min(darkerBy, other - self);
          lighterBy = std::min(lighterBy, self - other);
        }
      }
      if (lettering || (darkerBy <= 24 && lighterBy <= 24)) continue;
      if (specks++ < 5) ADD_FAILURE() << "skin " << skin << ": speck at " << x << "," << y;
    }
  }
  EXPECT_EQ(specks, 0) << "skin " << skin;
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
