#include "tests/support/test_font.h"

#include <algorithm>
#include <string>

#include "render/text.h"

namespace {

// The reference "A": style 1 and style 2, rows 0..11 of nine hex digits (levels) each.
constexpr const char* HeavyA =
    "000000000007337000076666700036776300066006600066006600066666600066006600066006600066006600"
    "000000000000000000";
constexpr const char* LightA =
    "000000000004664000000961000000A4A00000460640000164690004A66A640096941690461404964666000666"
    "000000000000000000";

void PutGlyph(std::vector<uint8_t>& sheet, int code, int style, const char* rows) {
  for (int i = 0; i < 12 * 9; ++i) {
    const char c = rows[i];
    sheet[((style == 1 ? 0 : 14) + i / 9) * FontSheetWidth + (code - 32) * 9 + 1 + i % 9] =
        static_cast<uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10);
  }
}

}  // namespace

TestFontSheet MakeTestFont() {
  TestFontSheet font;
  font.Sheet.assign(FontSheetBytes, 0);
  font.Palette.assign(FontPaletteBytes, 0);
  PutGlyph(font.Sheet, 'A', 1, HeavyA);
  PutGlyph(font.Sheet, 'A', 2, LightA);
  const std::string block(12 * 9, '6');
  PutGlyph(font.Sheet, 0xDB, 1, block.c_str());
  PutGlyph(font.Sheet, 0xDB, 2, block.c_str());
  constexpr uint8_t levels[12][3] = {{0, 0, 0},       {132, 130, 132}, {252, 2, 252},
                                     {196, 194, 196}, {68, 66, 68},    {188, 190, 188},
                                     {252, 254, 252}, {100, 98, 68},   {28, 30, 28},
                                     {132, 134, 132}, {212, 210, 212}, {84, 82, 84}};
  std::copy(&levels[0][0], &levels[0][0] + 36, font.Palette.begin());
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
