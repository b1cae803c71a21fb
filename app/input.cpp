#include <algorithm>

#include "app/app_state.h"
#include "app/quellmark.h"
#include "app/viewer.h"
#include "common/shared_state.h"
#include "display/display.h"

void PollInput() {
  // A press counts once: ClickTaken stays set until the button is seen up again.
  if (DisplayMouseLeft() == 0 && Shared.ClickTaken == 1) Shared.ClickTaken = 0;
  Shared.MouseX = std::clamp(DisplayMouseX(), 1, 789);
  Shared.MouseY = std::clamp(DisplayMouseY(), 1, 589);
  Shared.MouseDown = DisplayMouseLeft();
  for (const int key : {KeyPageUp, KeyPageDown, KeyEnd, KeyHome}) {
    if (KeyNewlyPressed(key)) ScrollByPageKey(key);
  }
}
