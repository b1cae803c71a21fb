#pragma once
// The text font generator: reads the glyph design (glyphs.txt), derives the heavy face (style 1)
// and the lighter face (style 2) from it, and lays both out as the 2048 x 28 font sheet followed
// by the 256-entry font palette (assets/fonts/textfont.bin).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int FontSheetWidth = 2048;
constexpr int FontSheetHeight = 28;
constexpr int FontSheetBytes = FontSheetWidth * FontSheetHeight;   // 57,344
constexpr int FontPaletteBytes = 256 * 3;                          // 768
constexpr int FontAssetBytes = FontSheetBytes + FontPaletteBytes;  // 58,112
constexpr int GlyphWidth = 9;
constexpr int GlyphHeight = 12;
constexpr int FontFirstCode = 32;
constexpr int FontLastCode = 255;
constexpr int FontLevelCount = 12;  // the glyphs use levels 0..11
constexpr int FontInk = 6;          // the full stroke
// The first sheet row of each style (index 1 for style 1, 2 for style 2).
constexpr int FontStyleRow[3] = {0, 0, 14};

// The palette entries 0..11 that the levels stand for; entries 12..255 are zero.
extern const std::array<std::array<uint8_t, 3>, FontLevelCount> FontLevelColours;

// One 9 x 12 glyph cell, row-major, one level per pixel.
using GlyphCell = std::array<uint8_t, GlyphWidth * GlyphHeight>;

// How a glyph of the design is turned into pixels.
enum class GlyphKind : uint8_t {
  None,      // not defined
  Skeleton,  // one-pixel drawing, both faces derived from it
  Exact,     // levels used unchanged in both faces
  Box,       // box-drawing arms, drawn to the face's line geometry
};

struct GlyphSource {
  GlyphKind kind = GlyphKind::None;
  GlyphCell cell{};               // skeleton (0 or FontInk) or exact levels
  std::array<uint8_t, 4> arms{};  // Box: up, down, left, right; 0 none, 1 single, 2 double
  // A face drawn by hand replaces the derived one (index 1 heavy, 2 light).
  std::array<bool, 3> drawnFace{};
  std::array<GlyphCell, 3> face{};
};

// The parsed design: one entry per CP437 code.
struct FontSource {
  std::array<GlyphSource, 256> glyphs{};
};

// Parses the design text. On failure returns false with a message naming the line.
bool ParseFontSource(const std::string& text, FontSource& source, std::string& error);

// The finished cell of `code` in `style` (1 heavy, 2 light).
GlyphCell RenderGlyph(const FontSource& source, int code, int style);

// Builds the complete asset: sheet bytes then palette bytes. Fails (with a message) if a code
// from 33 to 254 has no glyph.
bool BuildFontAsset(const FontSource& source, std::vector<uint8_t>& asset, std::string& error);

// Reads a whole file; false if it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& text);
// Writes bytes to a file; false if it cannot be written completely.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
