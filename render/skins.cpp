#include "render/skins.h"

#include <algorithm>

#include "common/shared_state.h"
#include "render/builtin_data.h"
#include "render/framebuffer.h"
#include "skin_assets.h"

SkinState Skins;

namespace {

// Pointer colours by grid code 1..4: blue-grey for the arrow, gold for the hand.
constexpr uint32_t PointerColours[3][5] = {
    {0, 0, 0, 0, 0},
    {0, 0x111133, 0x8888AA, 0xCCCCEE, 0x555577},
    {0, 0x221100, 0xDDBB77, 0xFFEEAA, 0x995522},
};

}  // namespace

const uint8_t* SkinPicture(int skin) {
  return skin == 2 ? skin2_bin : skin1_bin;
}

void BuildSkinBackgrounds() {
  for (int skin = 1; skin <= SkinCount; ++skin) {
    const uint8_t* rgb = SkinPicture(skin);
    for (int i = 0; i < 256; ++i) {
      Skins.Palette[skin][i] = static_cast<uint32_t>(rgb[3 * i]) << 16 |
                               static_cast<uint32_t>(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    }
  }
}

void RenderSkinBackground(int skin, int32_t sourceX, int32_t sourceY, int32_t lastColumn,
                          int32_t lastRow, int32_t destX, int32_t destY) {
  const uint8_t* index = SkinPicture(skin) + 768;
  const uint32_t* palette = Skins.Palette[skin];
  for (int32_t r = 0; r <= lastRow; ++r) {
    const uint8_t* from = index + (sourceY + r) * FrameWidth + sourceX;
    uint32_t* to = Skins.Background[skin] + (destY + r) * FrameWidth + destX;
    for (int32_t c = 0; c <= lastColumn; ++c) to[c] = palette[from[c]];
  }
}

void CopyBackground() {
  const int skin = Shared.SkinNumber == 2 ? 2 : 1;
  std::copy_n(Skins.Background[skin], SkinPixels, FrameBuffer);
}

void BuildPointerImages() {
  Skins.PointerWidth = PointerSize;
  Skins.PointerHeight = PointerSize;
  for (int i = 0; i < PointerSize * PointerSize; ++i) {
    const int32_t code = std::clamp(ReadBuiltInData(), 0, 4);
    Skins.PointerImage[1][i] = PointerColours[1][code];
    Skins.PointerImage[2][i] = PointerColours[2][code];
  }
}

void DrawPointer(int32_t x, int32_t y) {
  if (x < 1 || x > 791 || y < 1 || y > 591) return;
  const uint32_t* image = Skins.PointerImage[Shared.PointerShape == 2 ? 2 : 1];
  // A corner past 789 or 589 would run the image over the frame's right edge (into the next
  // row) or below its last row; the mouse copy never goes there, but clip all the same.
  const int32_t width = std::min(Skins.PointerWidth, FrameWidth - x);
  const int32_t height = std::min(Skins.PointerHeight, FrameHeight - y);
  for (int32_t r = 0; r < height; ++r) {
    uint32_t* row = FrameBuffer + (y + r) * FrameWidth + x;
    for (int32_t c = 0; c < width; ++c) {
      const uint32_t colour = image[r * PointerSize + c];
      if (colour != 0) row[c] = colour;
    }
  }
}
