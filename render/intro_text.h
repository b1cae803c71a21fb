#pragma once
// The intro's text effects and the colour-band flashes around it: the 32-pixel big font, the
// nine-line title box, the wave scroller with its mirror image, and the backdrop that every intro
// frame starts from.
#include <cstdint>
#include <string_view>

// The title box, lines 1..9 (entry 0 unused). Letters are drawn as capitals.
extern const std::string_view IntroBox[10];
// The scroll text: 66 spaces, then the message, 881 characters. Each lowercase 'a' is a hold
// marker: drawn blank, and when it becomes the first visible character the scroller stands still
// for 4 seconds.
extern const std::string_view IntroScrollText;

// One frame of random colour bands `band` rows high (red, green, blue drawn in that order per
// band), over the whole frame. A band below 1 row draws nothing.
void PaintColourBands(int band);
// The calm stand-in for the bands when motion is reduced: the picture `from` (FrameWidth x
// FrameHeight words) mixed with the colour `to` by `amount`, 0 (the picture) to 1 (the colour).
void PaintColourFade(const uint32_t* from, uint32_t to, double amount);
// Unpacks the built-in big font sheet and its palette into `Intro`.
void BuildBigFont();
// The nine title lines, centred, at rows 93, 126, ..., 357.
void DrawIntroBox();
// One line centred on column 400 with its top at row y.
void DrawBigText(std::string_view text, int y);
// The glyph whose first sheet column is `column` at (x, y): shadow, highlight, colour-ramp body.
void DrawBigGlyph(int column, int x, int y);
// How long the scroller stands still once a hold marker becomes its first visible character.
constexpr double ScrollerHoldSeconds = 4.0;
// Moves the scroller by this frame's step unless `now` (timer seconds) has not yet passed
// `holdUntil`, then draws its 28 visible characters along the wave. Returns true when a hold
// marker has just become the first visible character: the caller then holds the scroller for
// ScrollerHoldSeconds from now.
bool DrawIntroScroller(double now, double holdUntil);
// One scroller glyph at x: its mirror image first, then the glyph, each column at its wave height.
// Reads this frame's wave tables, so UpdateWaveTables must have run.
void DrawWaveGlyph(int column, int x);
// The next frame's backdrop: a blue fade over rows 1..50, black elsewhere.
void PaintIntroBackdrop();
