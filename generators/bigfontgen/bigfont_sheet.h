#pragma once
// The intro's big font sheet: 1888 x 32 palette indices (59 cells of 32 x 32 for the codes 32 to
// 90, the cell of code c at column (c - 32) x 32), followed by a palette of 256 red, green, blue
// byte triples. Ink is index 255 (white), paper index 0 (black); no other index is used.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int BigFontSheetWidth = 1888;
constexpr int BigFontSheetHeight = 32;
constexpr int BigFontCell = 32;
constexpr int BigFontFirstCode = 32;
constexpr int BigFontLastCode = 90;
constexpr size_t BigFontPixelBytes = BigFontSheetWidth * BigFontSheetHeight;
constexpr size_t BigFontFileBytes = BigFontPixelBytes + 256 * 3;

// Glyph art as text (glyph_art.cpp).
extern const char* const BigFontArt;

// Codes whose cells are left blank on purpose.
bool BigFontBlankCode(int code);

// Builds the whole file (sheet then palette) from `art`. On malformed art (a row of the wrong
// width, a glyph for a blank or unknown code, a glyph defined twice or missing) returns false and
// says why in `error`.
bool BuildBigFontFile(const char* art, std::vector<uint8_t>& out, std::string& error);
