#include "app/main_loop.h"

#include "app/app_state.h"
#include "app/input.h"
#include "app/menu_clicks.h"
#include "app/page_frame.h"
#include "app/trace.h"
#include "app/viewer.h"
#include "common/shared_state.h"
#include "display/display.h"
#include "render/framebuffer.h"
#include "render/skins.h"

void RunMainLoop() {
  TracePhase("magazine");
  // Escape, the Exit button, or a close request (the window's close button, SIGINT, SIGTERM).
  while (!KeyNewlyPressed(KeyEscape) && App.QuitRequested == 0 && DisplayCloseRequested() == 0) {
    const double frameStart = TimerSeconds();

    // A key counts as pressed when it is down now or was pressed since the last query.
    const bool downPressed = KeyState(KeyDown) != 0;
    const bool upPressed = KeyState(KeyUp) != 0;
    ScrollByArrowKeys(downPressed, upPressed);
    App.WheelBefore = App.WheelNow;
    App.WheelNow = DisplayMouseWheel();
    ScrollByWheel();
    HandleButtonsAndSkinKeys();
    HandleMenuClicks();

    ComposePageFrame();
    if (App.LineCount > 32) {
      DrawScrollbarThumb();
      HandleScrollbarDrag();
    } else {
      App.ScrollPixel = 5;
    }
    DrawPointer(Shared.MouseX, Shared.MouseY);
    DisplayUpdate(FrameBuffer);
    PollInput();
    SleepMs(1);
    Shared.AnimClock += (TimerSeconds() - frameStart) * 250.0;
  }
}
