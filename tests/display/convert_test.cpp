// Row converters against a plain per-pixel reference, on rows of every length the block and tail
// paths can split differently.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "display/convert.h"

namespace {

// Plain per-pixel reference: bytes per pixel and the target pixel value, little-endian.
struct Format {
  const char* name;
  int bits;
  uint32_t red, green, blue;
  RowConverter expected;
  int bytes;
  uint32_t (*pixel)(uint32_t rgb);
};

uint32_t R(uint32_t p) {
  return (p >> 16) & 0xFF;
}
uint32_t G(uint32_t p) {
  return (p >> 8) & 0xFF;
}
uint32_t B(uint32_t p) {
  return p & 0xFF;
}

const Format kFormats[] = {
    {"32 RGB", 32, 0xFF0000, 0xFF00, 0xFF, Convert32Rgb, 4, [](uint32_t p) { return p; }},
    {"32 BGR", 32, 0xFF, 0xFF00, 0xFF0000, Convert32Bgr, 4,
     [](uint32_t p) { return B(p) << 16 | G(p) << 8 | R(p); }},
    {"24 RGB", 24, 0xFF0000, 0xFF00, 0xFF, Convert24Rgb, 3,
     [](uint32_t p) { return p & 0xFFFFFF; }},
    {"24 BGR", 24, 0xFF, 0xFF00, 0xFF0000, Convert24Bgr, 3,
     [](uint32_t p) { return B(p) << 16 | G(p) << 8 | R(p); }},
    {"16 RGB 565", 16, 0xF800, 0x7E0, 0x1F, Convert16Rgb565, 2,
     [](uint32_t p) { return (R(p) >> 3) << 11 | (G(p) >> 2) << 5 | B(p) >> 3; }},
    {"16 BGR 565", 16, 0x1F, 0x7E0, 0xF800, Convert16Bgr565, 2,
     [](uint32_t p) { return (B(p) >> 3) << 11 | (G(p) >> 2) << 5 | R(p) >> 3; }},
    {"15 RGB 555", 16, 0x7C00, 0x3E0, 0x1F, Convert15Rgb555, 2,
     [](uint32_t p) { return (R(p) >> 3) << 10 | (G(p) >> 3) << 5 | B(p) >> 3; }},
    {"15 BGR 555", 16, 0x1F, 0x3E0, 0x7C00, Convert15Bgr555, 2,
     [](uint32_t p) { return (B(p) >> 3) << 10 | (G(p) >> 3) << 5 | R(p) >> 3; }},
};

std::vector<uint8_t> Reference(const Format& f, const std::vector<uint32_t>& row) {
  std::vector<uint8_t> out;
  for (uint32_t p : row) {
    const uint32_t v = f.pixel(p);
    for (int k = 0; k < f.bytes; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
  }
  return out;
}

std::vector<uint8_t> Convert(const Format& f, const std::vector<uint32_t>& row) {
  // Guard bytes after the row catch a converter that writes past its count.
  std::vector<uint8_t> out(row.size() * f.bytes + 16, 0xA5);
  f.expected(row.data(), out.data(), static_cast<int>(row.size()));
  for (size_t i = row.size() * f.bytes; i < out.size(); ++i)
    EXPECT_EQ(out[i], 0xA5) << f.name << " wrote past the row of " << row.size();
  out.resize(row.size() * f.bytes);
  return out;
}

TEST(Convert, EveryLengthMatchesThePerPixelReference) {
  std::mt19937 random(47);
  for (const Format& f : kFormats) {
    for (int length = 0; length <= 40; ++length) {
      std::vector<uint32_t> row(length);
      for (uint32_t& p : row) p = random() & 0x00FFFFFF;
      EXPECT_EQ(Convert(f, row), Reference(f, row)) << f.name << ", " << length << " pixels";
    }
  }
}

TEST(Convert, SelectionFollowsBitsAndMasks) {
  for (const Format& f : kFormats)
    EXPECT_EQ(SelectConverter(f.bits, f.red, f.green, f.blue), f.expected) << f.name;
  EXPECT_EQ(SelectConverter(8, 0xE0, 0x1C, 0x03), nullptr);
  EXPECT_EQ(SelectConverter(32, 0xFF00, 0xFF0000, 0xFF), nullptr);
  EXPECT_EQ(SelectConverter(24, 0xF800, 0x7E0, 0x1F), nullptr);
}

uint32_t One(RowConverter convert, uint32_t pixel, int bytes) {
  uint8_t out[4] = {};
  convert(&pixel, out, 1);
  uint32_t v = 0;
  for (int k = 0; k < bytes; ++k) v |= uint32_t{out[k]} << (8 * k);
  return v;
}

TEST(Convert, ChannelsKeepTheirTopBits) {
  EXPECT_EQ(One(Convert16Rgb565, 0x00FF0000, 2), 0xF800u);
  EXPECT_EQ(One(Convert15Rgb555, 0x00FF0000, 2), 0x7C00u);
  EXPECT_EQ(One(Convert15Bgr555, 0x00FF0000, 2), 0x001Fu);
  EXPECT_EQ(One(Convert32Bgr, 0x00FF0000, 4), 0x000000FFu);
  EXPECT_EQ(One(Convert16Rgb565, 0x00070307, 2), 0u);
  EXPECT_EQ(One(Convert15Rgb555, 0x00070307, 2), 0u);
  EXPECT_EQ(One(Convert16Bgr565, 0x00070307, 2), 0u);
  // The top byte reaches only the straight copy.
  EXPECT_EQ(One(Convert32Bgr, 0x12345678, 4), 0x00785634u);
  EXPECT_EQ(One(Convert32Rgb, 0x12345678, 4), 0x12345678u);
  // 5-5-5 never sets the top bit, even for white.
  EXPECT_EQ(One(Convert15Rgb555, 0x00FFFFFF, 2), 0x7FFFu);
  EXPECT_EQ(One(Convert15Bgr555, 0x00FFFFFF, 2), 0x7FFFu);
}

}  // namespace
