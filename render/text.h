#pragma once
// The 9 x 12 page font: glyph pixels are grey levels 0..11 of the font sheet, coloured through the
// ShadeTable, one row of 31 colour words per level. Used for page text, menu labels and the ticker.
#include <cstdint>
#include <string_view>

constexpr int FontSheetWidth = 2048;
constexpr int FontSheetHeight = 28;
constexpr int FontSheetBytes = FontSheetWidth * FontSheetHeight;
constexpr int FontPaletteBytes = 768;
constexpr int ShadeColours = 31;  // columns per level: 0 (always 0) and the text colours 1..30

// Page rows that DrawGlyphPage clips to.
constexpr int PageClipTop = 193;
constexpr int PageClipBottom = 569;

struct TextRenderer {
  // The font sheet widened to one word per pixel (plus one spare word); FontWidth and FontHeight
  // are its row stride and height, the bounds the glyph routines test against.
  uint32_t FontWork[FontSheetBytes + 1];
  int32_t FontWidth;
  int32_t FontHeight;
  // level * 31 + colour. One spare word after the last level, so that colour 31 of level 255 reads
  // 0 like every other colour-31 lookup (it lands on the next level's column 0).
  uint32_t ShadeTable[256 * ShadeColours + 1];
};

extern TextRenderer Text;

// Builds the program's font working array and ShadeTable from the built-in font sheet.
void BuildTextColours();
// The same from a sheet of 2048 x 28 level bytes and a 256-entry red, green, blue palette.
void BuildTextColoursFrom(TextRenderer& text, const uint8_t* sheet, const uint8_t* palette);
// The ShadeTable word of one level's palette entry in text colour 1..30.
uint32_t ShadeWord(int colour, uint8_t red, uint8_t green, uint8_t blue);

// Opaque glyph of the first character of `text`, clipped only to rows 193..569 (the whole 9 x 12
// cell is painted, level 0 in black). Nothing for an empty text, a code of 32 or below, a style
// other than 1 or 2, or a colour outside 1..31.
void DrawGlyphPage(std::string_view text, int32_t x, int32_t y, int32_t style, int32_t colour);
// Transparent glyph (level 0 leaves the frame as it was), clipped to xMin..xMax, yMin..yMax.
void DrawGlyphClipped(std::string_view text, int32_t x, int32_t y, int32_t xMin, int32_t xMax,
                      int32_t yMin, int32_t yMax, int32_t style, int32_t colour);
// Every character of `text` with DrawGlyphClipped, 9 pixels apart.
void DrawTextClipped(std::string_view text, int32_t x, int32_t y, int32_t xMin, int32_t xMax,
                     int32_t yMin, int32_t yMax, int32_t style, int32_t colour);
