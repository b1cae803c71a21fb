#pragma once
// The frame buffer's pixel at (x, y), as 0x00RRGGBB.
#include <cstdint>

#include "render/framebuffer.h"

inline uint32_t Pixel(int x, int y) {
  return FrameBuffer[y * FrameWidth + x];
}
