#include "app/startup.h"

#include "app/app_state.h"
#include "app/menus.h"
#include "app/music_module.h"
#include "app/music_tune.h"
#include "app/viewer.h"
#include "content/content.h"
#include "render/builtin_data.h"
#include "render/buttons.h"
#include "render/level_meter.h"
#include "render/skins.h"
#include "render/text.h"

void StartUp() {
  ResetApp();
  RestoreBuiltInData();
  // The content tables, filled with the issue; then the page view, opened on the editorial.
  ClearContent();
  FillContent();
  ResetViewer();
  LoadDocument(DocumentEditorial);

  // Ticker texts, menu captions (the editorial marked as current), the songs' credits.
  BuildInfoTexts();
  SetMenuCaptions();
  SetSongCredits();
  FillTuneTable();

  App.ScreenWidth = 800;
  App.ScreenHeight = 600;
  BuildSkinBackgrounds();
  BuildTextColours();
  // The built-in data list holds the pointer codes first, then the button tables.
  BuildPointerImages();
  SetLevelMeterRamps();
  App.WheelNow = 0.0;
  App.WheelBefore = 0.0;
  ReadButtonTables();
  ResetLevelMeter();
  FillModuleSizes();
}
