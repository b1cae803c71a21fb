#include "render/intro_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/random.h"
#include "common/rounding.h"
#include "common/shared_state.h"
#include "intro_assets.h"
#include "render/framebuffer.h"
#include "render/intro_effects.h"

namespace {

constexpr char ScrollTextData[] =
    // 66 spaces: the text enters an empty screen.
    "                                                                  "
    "a     ** WELCOME **        ---------------------------------------------- "
    "aTHE QUELLMARK 47"
    " ------------------ RELEASED BY THE QUELLMARK STAFF ON 17 OCTOBER IN 2010!! "
    "------------------ "
    "THIS TIME I BRING YOU:     "
    "12 CLASSIC SID TUNES ALL COMPOSED BY ARVID KELDANE! ----- "
    "UPDATED STANDARD ISO 2010 RULESET INCLUDED! ----- "
    "ANOTHER BUNCH OF LETTERS TO THE EDITOR! ----- "
    "ALLWAYS THE BEST IN SCENE STATS! ----- "
    "FOUR HANDPICKED TUNES FOR YOU! ----- "
    "TWO SKINS TO CHOOSE FROM!      "
    "AND SO MUCH MORE............              "
    "INTRO CREDITS ----- MUSIC BY: "
    "a     *ARVID KELDANE*      "
    "PROGRAMMING BY: "
    "a      *VELTHRANE*       "
    "SID REPLAY ROUTINE BY: "
    "a     *ULRIK BRANDVOLD*      "
    " PLEASE PRESS THE -LEFT MOUSE- BUTTON OR -ESCAPE- TO BEGIN   ----   WE HOPE YOU ENJOY IT   "
    "   *******************************************************";
static_assert(sizeof ScrollTextData - 1 == 881);

constexpr char HoldMarker = 'a';
constexpr int GlyphSize = 32;
constexpr int VisibleCharacters = 28;
constexpr double MaxScrollStep = 5.0;

constexpr uint32_t ShadowColour = 0x444444;
constexpr uint32_t HighlightColour = 0xFFFFFF;

int Capital(unsigned char c) {
  return c >= 'a' && c <= 'z' ? c - 32 : c;
}

// First sheet column of a character's glyph; outside 0..1887 when the sheet has no glyph for it.
int GlyphColumn(unsigned char c) {
  return (Capital(c) - 32) * GlyphSize;
}

bool HasGlyph(int column) {
  return column >= 0 && column < BigFontWidth;
}

bool Ink(int sheetX, int sheetY) {
  return Intro.BigFontInk[sheetY * BigFontWidth + sheetX] != 0;
}

void Plot(int x, int y, uint32_t colour) {
  FrameBuffer[y * FrameWidth + x] = colour;
}

}  // namespace

// Entry 0 is unused: the lines are numbered 1 to 9.
// clang-format off
const std::string_view IntroBox[10] = {
    "",
    "***********************",
    "*THE QUELLMARK*",
    "***********************",
    "",
    "issue number 47",
    "Released on",
    "17-10-2010",
    "",
    "= TRY F1 TO F12 =",
};
// clang-format on

const std::string_view IntroScrollText(ScrollTextData, sizeof ScrollTextData - 1);

void PaintColourBands(int band) {
  if (band < 1) return;
  for (int y = 0; y < FrameHeight; y += band) {
    const auto channel = [] { return static_cast<uint32_t>(RoundEven(RandomUniform() * 255.0)); };
    const uint32_t red = channel();
    const uint32_t green = channel();
    const uint32_t blue = channel();
    const int rows = std::min(band, FrameHeight - y);
    std::fill_n(FrameBuffer + y * FrameWidth, rows * FrameWidth, red << 16 | green << 8 | blue);
  }
}

void PaintColourFade(const uint32_t* from, uint32_t to, double amount) {
  const auto w = static_cast<uint32_t>(std::clamp(amount, 0.0, 1.0) * 256.0 + 0.5);
  const uint32_t toRb = (to & 0xFF00FF) * w, toG = (to & 0x00FF00) * w;
  for (int i = 0; i < FrameWidth * FrameHeight; ++i) {
    const uint32_t p = from[i];
    const uint32_t rb = ((p & 0xFF00FF) * (256 - w) + toRb) >> 8;
    const uint32_t g = ((p & 0x00FF00) * (256 - w) + toG) >> 8;
    FrameBuffer[i] = (rb & 0xFF00FF) | (g & 0x00FF00);
  }
}

void BuildBigFont() {
  // The sheet is our own asset of fixed size; the bounds only guard against a wrong build.
  constexpr size_t SheetBytes = BigFontWidth * BigFontHeight;
  std::copy(bigfont_bin, bigfont_bin + std::min<size_t>(bigfont_bin_size, SheetBytes),
            Intro.BigFontSheet);
  const size_t entries = bigfont_bin_size > SheetBytes
                             ? std::min<size_t>((bigfont_bin_size - SheetBytes) / 3, 256)
                             : 0;
  for (size_t i = 0; i < entries; ++i) {
    const unsigned char* rgb = bigfont_bin + SheetBytes + 3 * i;
    Intro.BigFontPalette[i] =
        static_cast<uint32_t>(rgb[0]) << 16 | static_cast<uint32_t>(rgb[1]) << 8 | rgb[2];
  }
  // Ink is decided by the palette word, never by the index itself; deciding it once here keeps
  // the palette out of the per-pixel loops.
  for (int i = 0; i < BigFontWidth * BigFontHeight; ++i) {
    Intro.BigFontInk[i] = Intro.BigFontPalette[Intro.BigFontSheet[i] & 0xFF] != 0 ? 1 : 0;
  }
}

void DrawIntroBox() {
  for (int i = 1; i <= 9; ++i) DrawBigText(IntroBox[i], 60 + 33 * i);
}

void DrawBigText(std::string_view text, int y) {
  int x = 400 - 16 * static_cast<int>(text.size());
  for (const char c : text) {
    const int column = GlyphColumn(static_cast<unsigned char>(c));
    if (!HasGlyph(column)) continue;  // no glyph: skipped, and the rest closes up
    DrawBigGlyph(column, x, y);
    x += GlyphSize;
  }
}

void DrawBigGlyph(int column, int x, int y) {
  struct Pass {
    int dx, dy;
    bool ramp;
    uint32_t colour;
  };
  const Pass passes[3] = {
      {1, 1, false, ShadowColour}, {-1, -1, false, HighlightColour}, {0, 0, true, 0}};
  // Within a pass every ink pixel lands on a pixel of its own, so rows may go outermost, which
  // walks the sheet and the frame buffer along their rows.
  const int firstK = std::max(0, 1 - x);
  const int lastK = std::min(GlyphSize - 1, FrameWidth - 1 - x);
  for (const Pass& pass : passes) {
    for (int r = 0; r < GlyphSize; ++r) {
      const uint32_t colour = pass.ramp ? Intro.TitleRamp[y + r] : pass.colour;
      const int rowStart = (y + r + pass.dy) * FrameWidth + x + pass.dx;
      for (int k = firstK; k <= lastK; ++k) {
        if (Ink(column + k, r)) FrameBuffer[rowStart + k] = colour;
      }
    }
  }
}

bool DrawIntroScroller(double now, double holdUntil) {
  const double speed = std::min(Shared.IntroStep, MaxScrollStep);
  if (now > holdUntil) Intro.ScrollOffset -= speed;
  bool holdStarts = false;
  const int length = static_cast<int>(IntroScrollText.size());
  if (Intro.ScrollOffset < -GlyphSize) {
    ++Intro.ScrollPos;
    if (Intro.ScrollPos <= length && IntroScrollText[Intro.ScrollPos - 1] == HoldMarker) {
      holdStarts = true;
    }
    if (Intro.ScrollPos > length) Intro.ScrollPos = 1;
    Intro.ScrollOffset += GlyphSize;
  }

  const std::string_view window = IntroScrollText.substr(Intro.ScrollPos - 1, VisibleCharacters);
  int x = static_cast<int>(std::floor(Intro.ScrollOffset));
  for (const char c : window) {
    const int column = c == HoldMarker ? 0 : GlyphColumn(static_cast<unsigned char>(c));
    if (!HasGlyph(column)) continue;
    DrawWaveGlyph(column, x);
    x += GlyphSize;
  }
  return holdStarts;
}

void DrawWaveGlyph(int column, int x) {
  // Passes 1..3: the mirror image (the glyph read upside down), clipped above row 598, its shadow
  // and highlight taking the ramp 20 rows further down and up. Passes 4..6: the glyph itself.
  enum Colour { Ramp, Shadow, Highlight };
  struct Pass {
    bool mirror;
    int dx, dy;
    Colour colour;
    int rampShift;
  };
  const Pass passes[6] = {{true, 1, 1, Ramp, 20},        {true, -1, -1, Ramp, -20},
                          {true, 0, 0, Ramp, 0},         {false, 1, 1, Shadow, 0},
                          {false, -1, -1, Highlight, 0}, {false, 0, 0, Ramp, 0}};
  const int firstK = std::max(0, 1 - x);
  const int lastK = std::min(GlyphSize - 1, FrameWidth - 2 - x);
  for (const Pass& pass : passes) {
    for (int r = 0; r < GlyphSize; ++r) {
      const int sheetRow = pass.mirror ? GlyphSize - 1 - r : r;
      for (int k = firstK; k <= lastK; ++k) {
        if (!Ink(column + k, sheetRow)) continue;
        const int s = x + k;
        const int top = pass.mirror ? Intro.ReflectionTop[s] : Intro.WaveTop[s];
        if (pass.mirror && top + r >= 598) continue;
        uint32_t colour = pass.colour == Shadow ? ShadowColour : HighlightColour;
        if (pass.colour == Ramp) {
          colour = pass.mirror ? Intro.ReflectionRamp[top + r + pass.rampShift]
                               : Intro.ScrollerRamp[top + r];
        }
        Plot(s + pass.dx, top + r + pass.dy, colour);
      }
    }
  }
}

void PaintIntroBackdrop() {
  std::fill_n(FrameBuffer, FrameWidth, 0u);
  for (int r = 1; r <= 50; ++r) {
    std::fill_n(FrameBuffer + r * FrameWidth, FrameWidth, static_cast<uint32_t>(150 - 3 * (r - 1)));
  }
  std::fill_n(FrameBuffer + 51 * FrameWidth, (FrameHeight - 51) * FrameWidth, 0u);
}
