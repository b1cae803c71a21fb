#pragma once
// The application core's global state: the page position, the menu, the intro tune and the
// wheel. The clocks, the skin and the mouse copy are read by the renderer too and live in
// `Shared` (common/shared_state.h). One instance, `App`; ResetApp() restores the start values so a
// test or a scripted run starts from a clean program.
#include <cstdint>

// The menu shown in the panel (MenuMode).
constexpr int32_t MenuCharts = 1;
constexpr int32_t MenuArticles = 2;

struct AppState {
  int32_t ScreenWidth = 0;
  int32_t ScreenHeight = 0;

  // Page position (the page viewer keeps it up to date).
  int32_t LineCount = 1;
  int32_t TopLine = 0;
  int32_t ScrollPixel = 0;

  int32_t MenuMode = MenuArticles;
  int32_t QuitRequested = 0;
  uint32_t SidTune = 1;  // intro tune 1..12

  // The intro scroller holds until the timer passes this time; the intro sets it when the tune
  // starts and again when the scroller reaches a hold marker.
  double IntroStart = 0.0;

  double WheelNow = 0.0;
  double WheelBefore = 0.0;
};

extern AppState App;

// Restores the start values of App and of the state shared with the renderer (Shared, Random).
void ResetApp();
