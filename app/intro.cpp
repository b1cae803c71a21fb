#include "app/app_state.h"
#include "app/quellmark.h"
#include "display/display.h"
#include "render/framebuffer.h"

namespace {

void PresentBlack() {
  ClearFrameBuffer(0);
  DisplayUpdate(FrameBuffer);
}

}  // namespace

void RunIntro() {
  // A key or button still held from before the start must not skip the intro: wait until Escape
  // and the left button are released, showing black meanwhile.
  while ((KeyState(KeyEscape) & 0x8001) != 0 || DisplayMouseLeft() == 1) PresentBlack();
  PresentBlack();
  SleepMs(150);

  SeedRandom(TimerSeconds());
  App.IntroStart = TimerSeconds();

  while (!KeyNewlyPressed(KeyEscape) && DisplayMouseLeft() == 0) {
    const double frameStart = TimerSeconds();
    DisplayUpdate(FrameBuffer);
    SleepMs(1);
    const double elapsed = TimerSeconds() - frameStart;
    App.IntroStep = elapsed * 250.0;
    App.IntroPhase += elapsed * 50.0;
  }

  SleepMs(10);
  ClearFrameBuffer(0);
}
