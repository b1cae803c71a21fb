#pragma once
// The magazine's frame pictures and the mouse pointer. Two skin pictures ('Grunge' and 'Carbon'),
// each a 256-entry palette and 800 x 600 index bytes, are decoded once into background buffers;
// every main-loop frame starts by copying the chosen one. The pointer is an 11 x 11 arrow in two
// colourings, blue-grey (PointerShape 1) and gold (PointerShape 2, over something clickable).
#include <cstdint>

constexpr int SkinCount = 2;
constexpr int SkinPixels = 800 * 600;
constexpr int SkinPictureBytes = 768 + SkinPixels;  // palette, then the index bytes
constexpr int PointerSize = 11;

struct SkinState {
  uint32_t Palette[SkinCount + 1][256];  // skins 1 and 2; entry 0 unused
  uint32_t Background[SkinCount + 1][SkinPixels];
  // The pointer images, index 1 (arrow) and 2 (hand); 0 is transparent.
  uint32_t PointerImage[3][PointerSize * PointerSize];
  int32_t PointerWidth;
  int32_t PointerHeight;
};

extern SkinState Skins;

// The built-in picture of skin 1 or 2: palette then index bytes, SkinPictureBytes long.
const uint8_t* SkinPicture(int skin);

// Start-up: both palettes as words (red << 16 | green << 8 | blue).
void BuildSkinBackgrounds();
// After the intro: the source rectangle from (sourceX, sourceY), lastColumn and lastRow offsets
// inclusive, of skin `skin`'s picture through its palette into its background at (destX, destY).
void RenderSkinBackground(int skin, int32_t sourceX, int32_t sourceY, int32_t lastColumn,
                          int32_t lastRow, int32_t destX, int32_t destY);
// The background of Shared.SkinNumber into the frame buffer: the first step of every page frame.
void CopyBackground();

// Reads the 121 pointer codes from the built-in data list and fills both pointer images.
void BuildPointerImages();
// The pointer of Shared.PointerShape with its corner at (x, y); nothing at all when the corner
// lies outside 1..791 by 1..591.
void DrawPointer(int32_t x, int32_t y);
