#include "render/text.h"

#include <cmath>
#include <cstring>

#include "render/framebuffer.h"
#include "text_font.h"

TextRenderer Text;

namespace {

// round(channel x factor) with the product formed exactly, as the extended-precision product of
// the channel and the double constant: the constants 0.7 and 0.3 lie just below their decimal
// values, so 5 x 0.7 gives 3, not 4. The double is split into its 53-bit integer mantissa and a
// power of two and multiplied in 64-bit integers; a remainder of exactly one half rounds down.
uint32_t ScaleExact(uint32_t channel, double factor) {
  int exponent = 0;
  const double fraction = std::frexp(factor, &exponent);  // factor = fraction x 2^exponent
  const auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
  const int shift = 53 - exponent;  // factor = mantissa / 2^shift; 53 or more for factors below 1
  const uint64_t product = channel * mantissa;  // channel < 256: fits in 61 bits
  const uint64_t whole = product >> shift;
  const uint64_t rest = product & ((uint64_t{1} << shift) - 1);
  const uint64_t half = uint64_t{1} << (shift - 1);
  return static_cast<uint32_t>(rest > half ? whole + 1 : whole);
}

inline bool GlyphArgumentsValid(std::string_view text, int32_t style, int32_t colour) {
  return !text.empty() && (style == 1 || style == 2) && colour >= 1 && colour <= 31;
}

}  // namespace

uint32_t ShadeWord(int colour, uint8_t red, uint8_t green, uint8_t blue) {
  const int group = (colour - 1) / 3;
  const double divisor = 1.0 + 0.5 * ((colour - 1) % 3);
  const auto r = static_cast<uint32_t>(std::floor(red / divisor));
  const auto g = static_cast<uint32_t>(std::floor(green / divisor));
  const auto b = static_cast<uint32_t>(std::floor(blue / divisor));
  uint32_t outR = 0, outG = 0, outB = 0;
  switch (group) {
    case 0:
      outR = r, outG = g, outB = b;
      break;  // white
    case 1:
      outR = r;
      break;  // red
    case 2:
      outG = g;
      break;  // green
    case 3:
      outB = b;
      break;  // blue
    case 4:
      outR = r, outG = g;
      break;  // yellow
    case 5:
      outG = g, outB = b;
      break;  // cyan
    case 6:
      outR = r, outB = b;
      break;  // magenta
    case 7:   // orange
      outR = r, outG = ScaleExact(g, 0.7), outB = ScaleExact(b, 0.3);
      break;
    case 8:  // sky blue
      outR = ScaleExact(r, 0.3), outG = ScaleExact(g, 0.7), outB = b;
      break;
    case 9:  // pale green
      outR = ScaleExact(r, 0.7), outG = g, outB = ScaleExact(b, 0.7);
      break;
    default:
      break;
  }
  return outR << 16 | outG << 8 | outB;
}

void BuildTextColoursFrom(TextRenderer& text, const uint8_t* sheet, const uint8_t* palette) {
  text.FontWidth = FontSheetWidth;
  text.FontHeight = FontSheetHeight;
  for (int i = 0; i < FontSheetBytes; ++i) text.FontWork[i] = sheet[i];
  text.FontWork[FontSheetBytes] = 0;
  std::memset(text.ShadeTable, 0, sizeof text.ShadeTable);
  for (int colour = 1; colour <= 30; ++colour) {
    for (int level = 0; level < 256; ++level) {
      const uint8_t* rgb = palette + 3 * level;
      text.ShadeTable[level * ShadeColours + colour] = ShadeWord(colour, rgb[0], rgb[1], rgb[2]);
    }
  }
}

void BuildTextColours() {
  BuildTextColoursFrom(Text, textfont_bin, textfont_bin + FontSheetBytes);
}

void DrawGlyphPage(std::string_view text, int32_t x, int32_t y, int32_t style, int32_t colour) {
  if (!GlyphArgumentsValid(text, style, colour)) return;
  const int32_t rowOffset = style == 1 ? 0 : 14;
  const int32_t g = static_cast<uint8_t>(text[0]) - 32;
  if (g <= 0 || g >= Text.FontWidth) return;
  const uint32_t* shade = Text.ShadeTable + colour;
  for (int32_t r = 0; r < 12; ++r) {
    const int32_t row = y + r;
    if (row < PageClipTop || row > PageClipBottom) continue;
    const uint32_t* levels = Text.FontWork + (rowOffset + r) * Text.FontWidth + g * 9 + 1;
    uint32_t* out = FrameBuffer + row * FrameWidth + x;
    for (int k = 0; k < 9; ++k) out[k] = shade[levels[k] * ShadeColours];
  }
}

void DrawGlyphClipped(std::string_view text, int32_t x, int32_t y, int32_t xMin, int32_t xMax,
                      int32_t yMin, int32_t yMax, int32_t style, int32_t colour) {
  if (!GlyphArgumentsValid(text, style, colour)) return;
  const int32_t rowOffset = style == 1 ? 0 : 14;
  const int32_t start = (static_cast<uint8_t>(text[0]) - 32) * 9 + 1;
  if (start <= 0 || start >= Text.FontWidth) return;
  const uint32_t* shade = Text.ShadeTable + colour;
  for (int32_t r = 0; r < 12; ++r) {
    const int32_t row = y + r;
    if (row < yMin || row > yMax) continue;
    const uint32_t* levels = Text.FontWork + (rowOffset + r) * Text.FontWidth + start;
    uint32_t* out = FrameBuffer + row * FrameWidth;
    for (int32_t k = 0; k < 9; ++k) {
      const int32_t column = x + k;
      if (levels[k] != 0 && column >= xMin && column <= xMax) {
        out[column] = shade[levels[k] * ShadeColours];
      }
    }
  }
}

void DrawTextClipped(std::string_view text, int32_t x, int32_t y, int32_t xMin, int32_t xMax,
                     int32_t yMin, int32_t yMax, int32_t style, int32_t colour) {
  for (size_t i = 0; i < text.size(); ++i) {
    DrawGlyphClipped(text.substr(i, 1), x + 9 * static_cast<int32_t>(i), y, xMin, xMax, yMin, yMax,
                     style, colour);
  }
}
