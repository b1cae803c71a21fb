#include "tests/support/test_font.h"

#include "render/text.h"

namespace {

// The reference "A": style 1 rows 0..11, style 2 rows 0..11 (hex digits are levels).
constexpr const char* HeavyA[12] = {"000000000", "007337000", "076666700", "036776300",
                                    "066006600", "066006600", "066666600", "066006600",
                                    "066006600", "066006600", "000000000", "000000000"};
constexpr const char* LightA[12] = {"000000000", "004664000", "000961000", "000A4A000",
                                    "004606400", "001646900", "04A66A640", "096941690",
                                    "461404964", "666000666", "000000000", "000000000"};

void PutGlyph(std::vector<uint8_t>& sheet, int code, int style, const char* const rows[12]) {
  const int rowOffset = style == 1 ? 0 : 14;
  for (int r = 0; r < 12; ++r) {
    for (int k = 0; k < 9; ++k) {
      const char c = rows[r][k];
      const int level = c <= '9' ? c - '0' : c - 'A' + 10;
      sheet[(rowOffset + r) * FontSheetWidth + (code - 32) * 9 + 1 + k] =
          static_cast<uint8_t>(level);
    }
  }
}

}  // namespace

TestFontSheet MakeTestFont() {
  TestFontSheet font;
  font.Sheet.assign(FontSheetBytes, 0);
  font.Palette.assign(FontPaletteBytes, 0);
  PutGlyph(font.Sheet, 'A', 1, HeavyA);
  PutGlyph(font.Sheet, 'A', 2, LightA);
  const char* const block[12] = {"666666666", "666666666", "666666666", "666666666",
                                 "666666666", "666666666", "666666666", "666666666",
                                 "666666666", "666666666", "666666666", "666666666"};
  PutGlyph(font.Sheet, 0xDB, 1, block);
  PutGlyph(font.Sheet, 0xDB, 2, block);
  constexpr uint8_t levels[12][3] = {{0, 0, 0},       {132, 130, 132}, {252, 2, 252},
                                     {196, 194, 196}, {68, 66, 68},    {188, 190, 188},
                                     {252, 254, 252}, {100, 98, 68},   {28, 30, 28},
                                     {132, 134, 132}, {212, 210, 212}, {84, 82, 84}};
  for (int i = 0; i < 12; ++i) {
    for (int c = 0; c < 3; ++c) font.Palette[3 * i + c] = levels[i][c];
  }
  return font;
}

void UseTestFont() {
  const TestFontSheet font = MakeTestFont();
  BuildTextColoursFrom(Text, font.Sheet.data(), font.Palette.data());
}

uint8_t TestGlyphLevel(int code, int style, int column, int row) {
  const int rowOffset = style == 1 ? 0 : 14;
  return static_cast<uint8_t>(
      Text.FontWork[(rowOffset + row) * FontSheetWidth + (code - 32) * 9 + 1 + column]);
}
