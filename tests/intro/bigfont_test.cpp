// The big font sheet: the committed asset is what the generator makes from the committed art, and
// the sheet keeps the layout the intro's text drawing relies on.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "generators/bigfontgen/bigfont_sheet.h"
#include "intro_assets.h"

namespace {

std::vector<uint8_t> Generate() {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(BuildBigFontFile(BigFontArt, bytes, error)) << error;
  return bytes;
}

}  // namespace

TEST(BigFontSheet, CommittedAndEmbeddedBytesMatchTheGenerator) {
  const std::vector<uint8_t> generated = Generate();
  ASSERT_EQ(generated.size(), 61184u);  // 1888 x 32 pixels + 256 x 3 palette bytes

  std::ifstream file("../assets/fonts/bigfont.bin", std::ios::binary);
  ASSERT_TRUE(file) << "run from the tests/ folder";
  const std::vector<uint8_t> committed((std::istreambuf_iterator<char>(file)),
                                       std::istreambuf_iterator<char>());
  EXPECT_TRUE(committed == generated)
      << "assets/fonts/bigfont.bin is stale: cmake --build build --target bigfont";

  const std::vector<uint8_t> embedded(bigfont_bin, bigfont_bin + bigfont_bin_size);
  EXPECT_TRUE(embedded == generated);
}

TEST(BigFontSheet, RejectsMalformedArt) {
  std::string glyph = "\n";  // fourteen rows of fourteen
  for (int i = 0; i < 14; ++i) glyph += "XXXXXXXXXXXXXX\n";
  const struct {
    std::string Art;
    const char* Words;  // "" when any message does
  } rows[] = {
      {"#" + glyph, "blank"},                // a glyph for a cell that stays blank
      {"A\nXXX\n", ""},                      // a row of the wrong width
      {"A\nXXXXXXXXXXXXXX\nB" + glyph, ""},  // too few rows before the next glyph
      {"a" + glyph, ""},                     // beyond 'Z': lowercase uses the capitals
      {"A" + glyph, "no glyph"},             // well-formed, most glyphs missing
      {"A" + glyph + "A" + glyph, ""},       // the same glyph twice
  };
  for (const auto& row : rows) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(BuildBigFontFile(row.Art.c_str(), bytes, error)) << row.Art.substr(0, 20);
    EXPECT_NE(error.find(row.Words), std::string::npos) << error;
  }
}
