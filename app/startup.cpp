#include "app/app_state.h"
#include "app/music_module.h"
#include "app/music_tune.h"
#include "app/quellmark.h"
#include "app/viewer.h"
#include "content/content.h"
#include "render/intro_effects.h"
#include "render/intro_text.h"
#include "render/text.h"

void StartUp() {
  ResetApp();
  // The content tables, filled with the issue; then the page view, opened on the editorial.
  ClearContent();
  FillContent();
  ResetViewer();
  LoadDocument(11);
  App.ScreenWidth = 800;
  App.ScreenHeight = 600;
  FillTuneTable();
  BuildTextColours();
  App.WheelNow = 0.0;
  App.WheelBefore = 0.0;

  // The star tables and the big font (the intro's state lives in `Intro`, reset here so that a
  // second run in the same process starts clean).
  FillModuleSizes();

  ResetIntroEffects();
  BuildBigFont();
}
