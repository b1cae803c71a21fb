// The desktop icons: drawn again from the skin's metal and the committed big font they must equal
// the committed PNG files pixel for pixel, in every size, with see-through corners around the
// plate.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generators/icongen/icongen.h"
#include "generators/skingen/skingen.h"

namespace {

// Every size, drawn again, equals its committed file; the plate's rounded corners leave the
// icon's corners fully transparent while its middle is fully opaque (the shrinking must not smear
// alpha or colour over the edge). A plate or font of the wrong size is refused.
TEST(Icon, RegeneratingReproducesEveryCommittedSizeWithClearCorners) {
  std::vector<uint8_t> font;
  ASSERT_TRUE(ReadWholeFile("../assets/fonts/bigfont.bin", font));
  IconPicture master;
  std::string error;
  ASSERT_TRUE(DrawIconMaster(GrungePlateSquare(IconPlateSide), font, master, error)) << error;
  ASSERT_EQ(master.Size, IconMasterSize);
  for (int size : IconSizes) {
    const std::string path =
        "../data/icons/" + std::to_string(size) + "x" + std::to_string(size) + "/quellmark.png";
    IconPicture committed;
    ASSERT_TRUE(ReadIconPng(path, committed, error)) << error;
    const IconPicture built = IconAtSize(master, size);
    EXPECT_TRUE(built.Size == size && built.Pixels == committed.Pixels)
        << path << ": run `cmake --build build --target icons` after changing the drawing";
    const size_t last = static_cast<size_t>(size) * size - 1;
    for (size_t corner : {size_t{0}, last - (size - 1), size_t(size - 1), last})
      EXPECT_EQ(built.Pixels[corner], 0u) << path << ", pixel " << corner;
    EXPECT_EQ(built.Pixels[static_cast<size_t>(size / 2) * size + size / 2] >> 24, 0xFFu) << path;
  }
  std::vector<uint32_t> plate(static_cast<size_t>(IconPlateSide) * IconPlateSide - 1, 0);
  EXPECT_FALSE(DrawIconMaster(plate, font, master, error));
  EXPECT_NE(error.find("plate"), std::string::npos);
  plate.push_back(0);
  font.resize(100);
  EXPECT_FALSE(DrawIconMaster(plate, font, master, error));
  EXPECT_NE(error.find("font"), std::string::npos);
}

}  // namespace
