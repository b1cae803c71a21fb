#include "app/input.h"

#include <algorithm>

#include "app/app_state.h"
#include "app/menus.h"
#include "app/music_module.h"
#include "app/trace.h"
#include "app/transitions.h"
#include "app/viewer.h"
#include "common/shared_state.h"
#include "content/content.h"
#include "display/display.h"
#include "render/buttons.h"

namespace {

bool ClickPending() {
  return Shared.MouseDown == 1 && Shared.ClickTaken == 0;
}

// Rules and Help: the page changes behind the transitions, and no menu entry stays marked, so
// every entry can be chosen again.
void ShowButtonDocument(int document) {
  PageCloseTransition();
  LoadDocument(document);
  PageOpenTransition();
  TracePhase("document", document);
  ClearMenuMarks();
}

void ButtonAction(int button) {
  switch (button) {
    case ButtonExit:
      App.QuitRequested = 1;
      break;
    case ButtonCharts:
      App.MenuMode = MenuCharts;
      break;
    case ButtonArticles:
      App.MenuMode = MenuArticles;
      break;
    case ButtonRules:
      ShowButtonDocument(DocumentRules);
      break;
    case ButtonHelp:
      ShowButtonDocument(DocumentHelp);
      break;
  }
}

}  // namespace

void PollInput() {
  // The button is read once a frame: a click shorter than a frame shows as down in this read only.
  const int32_t left = DisplayMouseLeft();
  // A press counts once: ClickTaken stays set until the button is seen up again.
  if (left == 0 && Shared.ClickTaken == 1) Shared.ClickTaken = 0;
  Shared.MouseX = std::clamp(DisplayMouseX(), 1, 789);
  Shared.MouseY = std::clamp(DisplayMouseY(), 1, 589);
  Shared.MouseDown = left;
  for (const int key : {KeyPageUp, KeyPageDown, KeyEnd, KeyHome}) {
    if (KeyNewlyPressed(key)) ScrollByPageKey(key);
  }
}

void HandleButtonsAndSkinKeys() {
  if (KeyNewlyPressed(KeyF1)) Shared.SkinNumber = 1;
  if (KeyNewlyPressed(KeyF2)) Shared.SkinNumber = 2;

  int32_t* state = Buttons.ButtonState;
  // Group A: Exit, Charts, Articles, Rules, Help. A button that is the current choice does not
  // react.
  if (ClickPending()) {
    for (int k = ButtonExit; k <= ButtonHelp; ++k) {
      if (state[k] == 0 && ButtonHit(k)) {
        Shared.ClickTaken = 1;
        for (int j = ButtonExit; j <= ButtonHelp; ++j) state[j] = 0;
        state[k] = 1;
        ButtonAction(k);
        break;
      }
    }
  }
  // The music button toggles.
  if (ClickPending() && ButtonHit(ButtonMusic)) {
    Shared.ClickTaken = 1;
    if (MusicIsOn()) {
      MusicOff();
    } else {
      MusicOn();
    }
  }
  // Group B: the four songs.
  if (ClickPending()) {
    for (int k = ButtonSong1; k <= ButtonSong4; ++k) {
      if (state[k] == 0 && ButtonHit(k)) {
        Shared.ClickTaken = 1;
        ChooseSong(k);
        break;
      }
    }
  }
  if (App.MenuMode == MenuCharts) state[ButtonCharts] = 1;
  if (App.MenuMode == MenuArticles) state[ButtonArticles] = 1;
}
