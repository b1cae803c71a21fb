#pragma once
// The page transitions' curtain: interleaved columns of the page area painted black, even columns
// from the left edge inwards and odd columns from the right edge inwards.
#include <cstdint>

// Blacks out columns 20 + c and 767 - c for c = 0, 2, 4, ... up to w, over the page rows
// 192..569 (skin 1) or 192..570 (skin 2) of Shared.SkinNumber.
void CoverPageColumns(int32_t w);
