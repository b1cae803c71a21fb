#include "app/transitions.h"

#include <algorithm>
#include <vector>

#include "app/page_frame.h"
#include "common/shared_state.h"
#include "display/display.h"
#include "render/framebuffer.h"
#include "render/intro_text.h"
#include "render/page_cover.h"

namespace {

constexpr uint32_t CalmFlashColour = 0x18305C;

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
  const double start = TimerSeconds(), end = start + 0.5;
  // Reduced motion: the picture on screen fades smoothly, to a deep blue where coarse bands
  // would flash and to black where fine ones would, so the flashes keep their rhythm and length
  // without a hard change from one frame to the next.
  std::vector<uint32_t> from;
  if (Shared.ReducedMotion) from.assign(FrameBuffer, FrameBuffer + FrameWidth * FrameHeight);
  const uint32_t calm = band >= 10 ? CalmFlashColour : 0;
  while (TimerSeconds() < end && DisplayCloseRequested() == 0) {
    if (Shared.ReducedMotion) {
      const double t = std::min(1.0, (TimerSeconds() - start) / 0.5);
      PaintColourFade(from.data(), calm, t * t * (3 - 2 * t));  // eased at both ends
    } else {
      PaintColourBands(band);
    }
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
