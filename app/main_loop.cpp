#include "app/app_state.h"
#include "app/quellmark.h"
#include "display/display.h"
#include "render/framebuffer.h"

void ComposePageFrame() {
  ClearFrameBuffer(0);
}

void RunMainLoop() {
  while (!KeyNewlyPressed(KeyEscape) && App.QuitRequested == 0) {
    const double frameStart = TimerSeconds();

    App.WheelBefore = App.WheelNow;
    App.WheelNow = DisplayMouseWheel();

    ComposePageFrame();
    DisplayUpdate(FrameBuffer);
    PollInput();
    SleepMs(1);
    App.AnimClock += (TimerSeconds() - frameStart) * 250.0;
  }
}
