#include "render/framebuffer.h"

#include <algorithm>

uint32_t FrameBuffer[FrameWords];

void ClearFrameBuffer(uint32_t colour) {
  std::fill(FrameBuffer, FrameBuffer + FrameWords, colour);
}
