// The two skin pictures: regenerated from their painting code they must equal the committed
// files, and the committed files must keep what the program draws over them in place: label ink
// only on the keys, centred under the highlights with room to spare, and a black page.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/skingen/skingen.h"

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
