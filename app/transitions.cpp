#include "app/transitions.h"

#include "app/quellmark.h"
#include "common/shared_state.h"
#include "display/display.h"
#include "render/framebuffer.h"
#include "render/intro_text.h"
#include "render/page_cover.h"

namespace {

void TransitionFrame(int32_t w) {
  const double frameStart = TimerSeconds();
  ComposePageFrame();
  CoverPageColumns(w);
  DisplayUpdate(FrameBuffer);
  SleepMs(1);
  Shared.AnimClock += (TimerSeconds() - frameStart) * 250.0;
}

}  // namespace

void ColourBandFlash(int band) {
  // A band below one row would never advance through the frame: show nothing.
  if (band < 1) return;
  const double end = TimerSeconds() + 0.5;
  while (TimerSeconds() < end && DisplayCloseRequested() == 0) {
    PaintColourBands(band);
    DisplayUpdate(FrameBuffer);
    SleepMs(1);
  }
}

void PageCloseTransition() {
  for (int32_t w = 0; w <= 740 && DisplayCloseRequested() == 0; w += 10) TransitionFrame(w);
}

void PageOpenTransition() {
  for (int32_t w = 747; w >= 7 && DisplayCloseRequested() == 0; w -= 10) TransitionFrame(w);
}
