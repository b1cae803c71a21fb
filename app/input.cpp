#include <algorithm>

#include "app/app_state.h"
#include "app/menus.h"
#include "app/music_module.h"
#include "app/quellmark.h"
#include "app/transitions.h"
#include "app/viewer.h"
#include "common/shared_state.h"
#include "display/display.h"
#include "render/buttons.h"

namespace {

bool ClickPending() {
  return Shared.MouseDown == 1 && Shared.ClickTaken == 0;
}

// Rules (document 12) and Help (document 10): the page changes behind the transitions, and no
// menu entry stays marked, so every entry can be chosen again.
void ShowButtonDocument(int document) {
  PageCloseTransition();
  LoadDocument(document);
  PageOpenTransition();
  ClearMenuMarks();
}

void ButtonAction(int button) {
  switch (button) {
    case 1:
      App.QuitRequested = 1;
      break;
    case 2:
      App.MenuMode = 1;
      break;
    case 3:
      App.MenuMode = 2;
      break;
    case 4:
      ShowButtonDocument(12);
      break;
    default:
      ShowButtonDocument(10);
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
  if (KeyNewlyPressed(KeyF1 + 1)) Shared.SkinNumber = 2;

  int32_t* state = Buttons.ButtonState;
  // Group A: Exit, Charts, Articles, Rules, Help. A button that is the current choice does not
  // react.
  if (ClickPending()) {
    for (int k = 1; k <= 5; ++k) {
      if (state[k] == 0 && ButtonHit(k)) {
        Shared.ClickTaken = 1;
        for (int j = 1; j <= 5; ++j) state[j] = 0;
        state[k] = 1;
        ButtonAction(k);
        break;
      }
    }
  }
  // The music button toggles.
  if (ClickPending() && ButtonHit(6)) {
    Shared.ClickTaken = 1;
    if (state[6] == 0) {
      MusicOff();
      state[6] = 1;
    } else {
      MusicOn();
      state[6] = 0;
    }
  }
  // Group B: the four songs.
  if (ClickPending()) {
    for (int k = 7; k <= 10; ++k) {
      if (state[k] == 0 && ButtonHit(k)) {
        Shared.ClickTaken = 1;
        ChooseSong(k);
        break;
      }
    }
  }
  if (App.MenuMode == 1) state[2] = 1;
  if (App.MenuMode == 2) state[3] = 1;
}
