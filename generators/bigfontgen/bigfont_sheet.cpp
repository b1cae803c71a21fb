#include "generators/bigfontgen/bigfont_sheet.h"

#include <array>
#include <sstream>

namespace {

// Each art pixel becomes a 2 x 2 block; the 28 x 28 result sits 2 pixels in from the cell's top
// and left edge, so neighbouring glyphs keep a 4-pixel gap.
constexpr int ArtSize = 14;
constexpr int ArtScale = 2;
constexpr int ArtMargin = 2;

constexpr uint8_t Ink = 255;

}  // namespace

bool BigFontBlankCode(int code) {
  return code == ' ' || code == '#' || code == '<' || code == '>' || code == '@';
}

bool BuildBigFontFile(const char* art, std::vector<uint8_t>& out, std::string& error) {
  out.assign(BigFontFileBytes, 0);
  std::array<bool, BigFontLastCode + 1> defined{};
  std::istringstream lines(art);
  std::string line;
  int lineNumber = 0;
  int code = -1;  // glyph being read, -1 before the first header
  int row = 0;

  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(lineNumber) + ": " + why;
    return false;
  };

  while (std::getline(lines, line)) {
    ++lineNumber;
    if (line.empty()) continue;
    if (line.size() == 1) {
      if (code >= 0 && row != ArtSize)
        return fail("glyph '" + std::string(1, char(code)) + "' has too few rows");
      code = static_cast<unsigned char>(line[0]);
      row = 0;
      if (code < BigFontFirstCode || code > BigFontLastCode) return fail("code outside 32..90");
      if (BigFontBlankCode(code)) return fail("the cell of this code stays blank");
      if (defined[code]) return fail("glyph defined twice");
      defined[code] = true;
      continue;
    }
    if (code < 0) return fail("row before the first glyph header");
    if (line.size() != ArtSize) return fail("row is not 14 characters wide");
    if (row == ArtSize) return fail("glyph has more than 14 rows");
    const int cellX = (code - BigFontFirstCode) * BigFontCell + ArtMargin;
    for (int col = 0; col < ArtSize; ++col) {
      if (line[col] != 'X' && line[col] != '.') return fail("only 'X' and '.' may draw a glyph");
      if (line[col] != 'X') continue;
      for (int dy = 0; dy < ArtScale; ++dy) {
        for (int dx = 0; dx < ArtScale; ++dx) {
          const int x = cellX + col * ArtScale + dx;
          const int y = ArtMargin + row * ArtScale + dy;
          out[static_cast<size_t>(y) * BigFontSheetWidth + x] = Ink;
        }
      }
    }
    ++row;
  }
  if (code >= 0 && row != ArtSize) return fail("last glyph has too few rows");

  for (int c = BigFontFirstCode; c <= BigFontLastCode; ++c) {
    if (!BigFontBlankCode(c) && !defined[c]) {
      error = std::string("no glyph for '") + char(c) + "'";
      return false;
    }
  }

  // Palette: a grey ramp, so index 0 is black and index 255 white.
  for (int i = 0; i < 256; ++i) {
    for (int channel = 0; channel < 3; ++channel)
      out[BigFontPixelBytes + 3 * i + channel] = static_cast<uint8_t>(i);
  }
  error.clear();
  return true;
}
