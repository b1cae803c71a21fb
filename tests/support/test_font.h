#pragma once
// A small font sheet built in code for the renderer and viewer tests: the letter "A" of both
// styles as the reference rows give it, a full block (code 0xDB) of level 6, and the palette
// entries 0..11 of the page font; every other glyph is blank.
#include <cstdint>
#include <vector>

struct TestFontSheet {
  std::vector<uint8_t> Sheet;    // 2048 x 28 level bytes
  std::vector<uint8_t> Palette;  // 256 x 3 bytes
};

TestFontSheet MakeTestFont();
// Builds the program's text renderer from MakeTestFont().
void UseTestFont();
// The level at column k, row r of a glyph cell of the test sheet.
uint8_t TestGlyphLevel(int code, int style, int column, int row);
