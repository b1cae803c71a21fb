// The desktop icons: drawn again from the skin's metal and the committed big font they must equal
// the committed PNG files pixel for pixel, in every size, with see-through corners around the
// plate.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "generators/icongen/icongen.h"
#include "generators/skingen/skingen.h"

namespace {

// Paths relative to tests/, the working directory of every test.
IconPicture Master() {
  std::vector<uint8_t> font;
  EXPECT_TRUE(ReadWholeFile("../assets/fonts/bigfont.bin", font));
  IconPicture master;
  std::string error;
  EXPECT_TRUE(DrawIconMaster(GrungePlateSquare(IconPlateSide), font, master, error)) << error;
  return master;
}

std::string CommittedPath(int size) {
  const std::string side = std::to_string(size);
  return "../data/icons/" + side + "x" + side + "/quellmark.png";
}

// Every size equals its committed file; the plate's rounded corners leave the icon's corners
// fully transparent while its middle is fully opaque (the shrinking must not smear alpha or
// colour over the edge).
TEST(Icon, RegeneratingReproducesEveryCommittedSizeWithClearCorners) {
  const IconPicture master = Master();
  ASSERT_EQ(master.Size, IconMasterSize);
  for (int size : IconSizes) {
    SCOPED_TRACE(CommittedPath(size));
    IconPicture committed;
    std::string error;
    ASSERT_TRUE(ReadIconPng(CommittedPath(size), committed, error)) << error;
    ASSERT_EQ(committed.Size, size);
    const IconPicture built = IconAtSize(master, size);
    const auto diff = std::mismatch(built.Pixels.begin(), built.Pixels.end(),
                                    committed.Pixels.begin(), committed.Pixels.end());
    EXPECT_TRUE(diff.first == built.Pixels.end())
        << "first difference at pixel " << (diff.first - built.Pixels.begin())
        << "; run `cmake --build build --target icons` after changing the drawing";
    const size_t last = static_cast<size_t>(size) * size - 1;
    EXPECT_EQ((std::vector<uint32_t>{built.Pixels[0], built.Pixels[size - 1],
                                     built.Pixels[last - (size - 1)], built.Pixels[last]}),
              std::vector<uint32_t>(4, 0));
    EXPECT_EQ(built.Pixels[static_cast<size_t>(size / 2) * size + size / 2] >> 24, 0xFFu);
  }
}

TEST(Icon, InputsOfTheWrongSizeAreRefused) {
  std::vector<uint8_t> font;
  ASSERT_TRUE(ReadWholeFile("../assets/fonts/bigfont.bin", font));
  std::vector<uint32_t> plate(static_cast<size_t>(IconPlateSide) * IconPlateSide - 1, 0);
  IconPicture master;
  std::string error;
  EXPECT_FALSE(DrawIconMaster(plate, font, master, error));
  EXPECT_NE(error.find("plate"), std::string::npos);
  plate.push_back(0);
  font.resize(100);
  EXPECT_FALSE(DrawIconMaster(plate, font, master, error));
  EXPECT_NE(error.find("font"), std::string::npos);
}

}  // namespace
