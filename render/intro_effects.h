#pragma once
// State of the intro's effects: the star field, the per-frame wave and colour tables, the big font
// working copies and the scroller position. One instance, `Intro`; ResetIntroEffects() restores
// the start values (the font stays empty until BuildBigFont).
#include <cstdint>

constexpr int StarCount = 300;
constexpr int WaveColumns = 801;  // screen columns 0..800
constexpr int RampRows = 631;     // screen rows 0..630
constexpr int BigFontWidth = 1888;
constexpr int BigFontHeight = 32;

struct IntroEffects {
  // Stars 1..300 (entry 0 unused): 1..100 slow layer, 101..200 middle, 201..300 fast.
  double StarX[StarCount + 1] = {};
  double StarY[StarCount + 1] = {};

  // Recomputed every frame by UpdateWaveTables.
  int32_t WaveTop[WaveColumns] = {};        // top row of the scroller glyph column
  int32_t ReflectionTop[WaveColumns] = {};  // top row of its mirror image
  uint32_t TitleRamp[RampRows] = {};
  uint32_t ScrollerRamp[RampRows] = {};
  uint32_t ReflectionRamp[RampRows] = {};

  // BuildBigFont: the sheet widened to words, and the palette as words.
  uint32_t BigFontSheet[BigFontWidth * BigFontHeight] = {};
  uint32_t BigFontPalette[256] = {};
  // 1 where the sheet pixel's palette word is not 0: the pixels the text effects draw.
  uint8_t BigFontInk[BigFontWidth * BigFontHeight] = {};

  // Scroller: 1-based index of the first visible character and its x position (-32..0).
  int32_t ScrollPos = 1;
  double ScrollOffset = 0.0;
};

extern IntroEffects Intro;

void ResetIntroEffects();
