#pragma once
// The picture every drawing procedure writes into: 800 x 600 words 0x00RRGGBB, row-major, pixel
// (x, y) at word y * 800 + x, plus one spare word that is never shown.
#include <cstdint>

constexpr int FrameWidth = 800;
constexpr int FrameHeight = 600;
constexpr int FrameWords = FrameWidth * FrameHeight + 1;

extern uint32_t FrameBuffer[FrameWords];

// Sets every pixel (and the spare word) to `colour`.
void ClearFrameBuffer(uint32_t colour);
