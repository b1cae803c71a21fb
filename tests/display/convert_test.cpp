// Row converters against a plain per-pixel reference, on rows of every length the block and tail
// paths can split differently, and the choice of converter by bits and channel masks.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "display/convert.h"

namespace {

// A surface format: its bits and masks, its converter, bytes per pixel, and the reference's
// channel widths (outer channels `side` bits, green `middle` bits) and channel order.
struct Format {
  const char* name;
  int bits;
  uint32_t red, green, blue;
  RowConverter convert;
  int bytes, side, middle;
  bool bgr;
};

const Format kFormats[] = {
    {"32 RGB", 32, 0xFF0000, 0xFF00, 0xFF, Convert32Rgb, 4, 8, 8, false},
    {"32 BGR", 32, 0xFF, 0xFF00, 0xFF0000, Convert32Bgr, 4, 8, 8, true},
    {"24 RGB", 24, 0xFF0000, 0xFF00, 0xFF, Convert24Rgb, 3, 8, 8, false},
    {"24 BGR", 24, 0xFF, 0xFF00, 0xFF0000, Convert24Bgr, 3, 8, 8, true},
    {"16 RGB 565", 16, 0xF800, 0x7E0, 0x1F, Convert16Rgb565, 2, 5, 6, false},
    {"16 BGR 565", 16, 0x1F, 0x7E0, 0xF800, Convert16Bgr565, 2, 5, 6, true},
    {"15 RGB 555", 16, 0x7C00, 0x3E0, 0x1F, Convert15Rgb555, 2, 5, 5, false},
    {"15 BGR 555", 16, 0x1F, 0x3E0, 0x7C00, Convert15Bgr555, 2, 5, 5, true},
};

// One pixel the plain way: each channel's top bits, packed in the format's order. Only the
// straight copy passes the source's top byte on.
uint32_t Expected(const Format& f, uint32_t p) {
  if (f.convert == Convert32Rgb) return p;
  const uint32_t r = (p >> 16 & 0xFF) >> (8 - f.side), g = (p >> 8 & 0xFF) >> (8 - f.middle);
  const uint32_t b = (p & 0xFF) >> (8 - f.side);
  return (f.bgr ? b : r) << (f.side + f.middle) | g << f.side | (f.bgr ? r : b);
}

TEST(Convert, EveryFormatAndLengthMatchesThePerPixelReference) {
  std::mt19937 random(47);
  for (const Format& f : kFormats) {
    EXPECT_EQ(SelectConverter(f.bits, f.red, f.green, f.blue), f.convert) << f.name;
    for (int length = 0; length <= 40; ++length) {
      std::vector<uint32_t> row(length);
      for (uint32_t& p : row) p = random();
      if (length == 1) row[0] = 0xFFFFFFFF;  // white with a top byte: 5-5-5 keeps bit 15 clear
      // Guard bytes after the row catch a converter that writes past its count.
      std::vector<uint8_t> out(length * f.bytes + 16, 0xA5), expected(out.size(), 0xA5);
      f.convert(row.data(), out.data(), length);
      for (int i = 0; i < length; ++i)
        for (int k = 0; k < f.bytes; ++k) expected[i * f.bytes + k] = Expected(f, row[i]) >> 8 * k;
      EXPECT_EQ(out, expected) << f.name << ", " << length << " pixels";
    }
  }
  EXPECT_EQ(SelectConverter(8, 0xE0, 0x1C, 0x03), nullptr);
  EXPECT_EQ(SelectConverter(32, 0xFF00, 0xFF0000, 0xFF), nullptr);
  EXPECT_EQ(SelectConverter(24, 0xF800, 0x7E0, 0x1F), nullptr);
}

}  // namespace
