#include "app/page_frame.h"

#include "app/app_state.h"
#include "app/menus.h"
#include "app/music_module.h"
#include "app/viewer.h"
#include "render/buttons.h"
#include "render/skins.h"

void ComposePageFrame() {
  CopyBackground();
  DrawButtons();
  DrawMenuPanel();
  DrawPageRules(App.TopLine);
  DrawPageText(App.TopLine);
  if (MusicIsOn()) FeedLevelMeter();
  DrawTicker();
}
