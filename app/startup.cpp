#include "app/app_state.h"
#include "app/quellmark.h"
#include "render/intro_effects.h"
#include "render/intro_text.h"

void StartUp() {
  ResetApp();
  // The stars and the opening flashes draw random numbers before the intro seeds the generator
  // from the timer; they start from this fixed seed (an unseeded generator would give only 0).
  SeedRandom(0.0);
  App.ScreenWidth = 800;
  App.ScreenHeight = 600;
  App.WheelNow = 0.0;
  App.WheelBefore = 0.0;

  // The star tables and the big font (the intro's state lives in `Intro`, reset here so that a
  // second run in the same process starts clean).
  ResetIntroEffects();
  BuildBigFont();
}
