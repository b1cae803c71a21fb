#include "app/intro.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/app_state.h"
#include "app/music_module.h"
#include "app/music_tune.h"
#include "app/trace.h"
#include "app/transitions.h"
#include "common/random.h"
#include "common/shared_state.h"
#include "display/display.h"
#include "render/framebuffer.h"
#include "render/intro_backdrop.h"
#include "render/intro_text.h"
#include "render/skins.h"
#include "sid/sid_player.h"

namespace {

void PresentBlack() {
  ClearFrameBuffer(0);
  DisplayUpdate(FrameBuffer);
}

// F1..F12 switch the intro tune; the key of the tune that plays does nothing. Several keys in
// one frame are all served in order, so the highest wins.
void SwitchTuneKeys() {
  for (uint32_t n = 1; n <= TuneCount; ++n) {
    if (KeyNewlyPressed(KeyF1 + static_cast<int>(n) - 1) && App.SidTune != n) {
      PlayTune(static_cast<int32_t>(n));
      App.SidTune = n;
    }
  }
}

}  // namespace

void RunIntro() {
  // A key or button still held from before the start must not skip the intro: wait until Escape
  // and the left button are released, showing black meanwhile.
  while (((KeyState(KeyEscape) & 0x8001) != 0 || DisplayMouseLeft() == 1) &&
         DisplayCloseRequested() == 0)
    PresentBlack();
  PresentBlack();
  ScatterStars();
  SleepMs(150);
  // Asked of the desktop since the display opened; usually answered by now.
  Shared.ReducedMotion = DisplayReducedMotion();
  ColourBandFlash(10);
  ColourBandFlash(10);
  ColourBandFlash(2);

  SeedRandom(TimerSeconds());
  App.IntroStart = TimerSeconds();  // no hold: the scroller moves at once
  constexpr double tunes = TuneCount;
  App.SidTune =
      static_cast<uint32_t>(std::clamp(std::floor(RandomUniform() * tunes) + 1.0, 1.0, tunes));
  PlayTune(static_cast<int32_t>(App.SidTune));

  // Escape held since before the window had the keyboard reaches it as one fresh press, sent with
  // the key's first auto-repeat after focus arrives, which is usually after the drain above. A
  // press from the opening flashes does not end the intro: forget it; a key still held stays held
  // and must be released and pressed again.
  KeyState(KeyEscape);
  TracePhase("intro");
  // The frame buffer still holds the last flash: the first frame's bars and text are drawn over
  // it, and from then on every frame starts from the backdrop painted after the previous one.
  // With reduced motion the last picture shown is kept for the closing fade to start from.
  std::vector<uint32_t> shown;
  while (!KeyNewlyPressed(KeyEscape) && DisplayMouseLeft() == 0 && DisplayCloseRequested() == 0) {
    const double frameStart = TimerSeconds();
    SwitchTuneKeys();
    DrawRasterBars();
    UpdateWaveTables();
    DrawStarField();
    DrawIntroBox();
    const double now = TimerSeconds();
    if (DrawIntroScroller(now, App.IntroStart)) App.IntroStart = now + ScrollerHoldSeconds;
    DisplayUpdate(FrameBuffer);
    if (Shared.ReducedMotion) shown.assign(FrameBuffer, FrameBuffer + FrameWidth * FrameHeight);
    PaintIntroBackdrop();
    SleepMs(1);
    const double elapsed = TimerSeconds() - frameStart;
    Shared.IntroStep = elapsed * 250.0;
    Shared.IntroPhase += elapsed * 50.0;
  }

  SidStopTune();
  // A close request ends the program here: no closing flashes, no module.
  if (DisplayCloseRequested()) return;
  std::copy(shown.begin(), shown.end(), FrameBuffer);
  TracePhase("flashes");
  for (const int band : {10, 10, 2, 10, 2, 2}) ColourBandFlash(band);
  SleepMs(10);
  PlayModule1();
  ClearFrameBuffer(0);
  for (int skin = 1; skin <= SkinCount; ++skin) {
    RenderSkinBackground(skin, 0, 0, App.ScreenWidth - 1, App.ScreenHeight - 1, 0, 0);
  }
}
