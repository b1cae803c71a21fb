#include "app/transitions.h"

#include "display/display.h"
#include "render/framebuffer.h"
#include "render/intro_text.h"

void ColourBandFlash(int band) {
  // A band below one row would never advance through the frame: show nothing.
  if (band < 1) return;
  const double end = TimerSeconds() + 0.5;
  while (TimerSeconds() < end) {
    PaintColourBands(band);
    DisplayUpdate(FrameBuffer);
    SleepMs(1);
  }
}
