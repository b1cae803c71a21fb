#pragma once
// The two primitives drawn outside the text: a translucent filled rectangle and a three-row
// horizontal rule. Neither clips; callers keep them inside the frame buffer.
#include <cstdint>

// Blends (r, g, b) with weight alpha / 256 over columns x..x + w and rows y..y + h (both ends
// included).
void BlendRect(int32_t x, int32_t y, int32_t w, int32_t h, int32_t alpha, int32_t r, int32_t g,
               int32_t b);

// A rule on rows y - 1, y and y + 1 from column x. Styles 1..7 are plain (length pixels of one
// bright colour on row y, a dim one above and below); style 8 is the moving rainbow (length + 1
// pixels) driven by Shared.AnimClock. Any other style draws nothing.
void DrawRule(int32_t y, int32_t x, int32_t length, int32_t style);
