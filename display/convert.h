#pragma once
// Row conversion from frame-buffer words 0x00RRGGBB to a screen surface's pixel format.
//
// A converter turns `count` source pixels into the target format: 4, 3 or 2 bytes per pixel,
// 16-bit pixels little-endian. Channel reduction keeps the top bits of each channel (no rounding,
// no dithering). The fast converters work on blocks of pixels and finish the row with a
// per-pixel tail; the results equal a plain per-pixel conversion for every count.
#include <cstdint>

using RowConverter = void (*)(const uint32_t* source, void* target, int count);

// The converter for a surface of `bits` bits per pixel with the given channel masks, or null when
// no converter matches.
RowConverter SelectConverter(int bits, uint32_t redMask, uint32_t greenMask, uint32_t blueMask);

void Convert32Rgb(const uint32_t* source, void* target, int count);  // straight copy
void Convert32Bgr(const uint32_t* source, void* target, int count);
void Convert24Rgb(const uint32_t* source, void* target, int count);  // bytes B, G, R
void Convert24Bgr(const uint32_t* source, void* target, int count);  // bytes R, G, B
void Convert16Rgb565(const uint32_t* source, void* target, int count);
void Convert16Bgr565(const uint32_t* source, void* target, int count);
void Convert15Rgb555(const uint32_t* source, void* target, int count);
void Convert15Bgr555(const uint32_t* source, void* target, int count);
