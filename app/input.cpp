#include <algorithm>

#include "app/app_state.h"
#include "app/quellmark.h"
#include "app/viewer.h"
#include "display/display.h"

void PollInput() {
  // A press counts once: ClickTaken stays set until the button is seen up again.
  if (DisplayMouseLeft() == 0 && App.ClickTaken == 1) App.ClickTaken = 0;
  App.MouseX = std::clamp(DisplayMouseX(), 1, 789);
  App.MouseY = std::clamp(DisplayMouseY(), 1, 589);
  App.MouseDown = DisplayMouseLeft();
  for (const int key : {KeyPageUp, KeyPageDown, KeyEnd, KeyHome}) {
    if (KeyNewlyPressed(key)) ScrollByPageKey(key);
  }
}
