#pragma once
// The application core's global state: the clocks, the mouse copy, the page position and the
// choices the reader has made. One instance, `App`; ResetApp() restores the start values so a test
// or a scripted run starts from a clean program.
#include <cstdint>

struct AppState {
  int32_t ScreenWidth = 0;
  int32_t ScreenHeight = 0;

  // Page position (the page viewer keeps it up to date).
  int32_t LineCount = 1;
  int32_t TopLine = 0;
  int32_t ScrollPixel = 0;

  int32_t MenuMode = 2;    // 1 Charts menu, 2 Articles menu
  int32_t SkinNumber = 1;  // 1 'Grunge', 2 'Carbon'
  int32_t QuitRequested = 0;
  uint32_t SidTune = 1;  // intro tune 1..12

  // Clocks. AnimClock: main-loop time in 1/250 s. IntroStep: the last intro frame's duration
  // times 250. IntroPhase: intro time in 1/50 s. IntroStart: the intro scroller holds until the
  // timer passes it.
  double AnimClock = 0.0;
  double IntroStep = 0.0;
  double IntroPhase = 0.0;
  double IntroStart = 0.0;

  double WheelNow = 0.0;
  double WheelBefore = 0.0;

  // The application's copy of the mouse, taken once per frame after presenting.
  int32_t MouseX = 0;
  int32_t MouseY = 0;
  int32_t MouseDown = 0;
  int32_t ClickTaken = 0;
  int32_t PointerShape = 1;  // 1 arrow, 2 hand

  // The stars and the opening flashes draw random numbers before the intro seeds the generator
  // from the timer; until then it runs from this fixed state (xorshift would give only 0 from 0).
  uint64_t RandomState = 0x9E3779B97F4A7C15ull;
};

extern AppState App;

void ResetApp();

// The program's random generator: uniform doubles in [0, 1).
void SeedRandom(double seed);
double RandomUniform();
