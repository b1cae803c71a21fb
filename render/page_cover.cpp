#include "render/page_cover.h"

#include "common/shared_state.h"
#include "render/framebuffer.h"

void CoverPageColumns(int32_t w) {
  const int32_t lastRow = Shared.SkinNumber == 2 ? 570 : 569;
  // The widest step, w = 747, reaches columns 767 and 20: both sets stay inside the page.
  for (int32_t c = 0; c <= w && c <= 747; c += 2) {
    for (int32_t y = 192; y <= lastRow; ++y) {
      FrameBuffer[y * FrameWidth + 20 + c] = 0;
      FrameBuffer[y * FrameWidth + 767 - c] = 0;
    }
  }
}
