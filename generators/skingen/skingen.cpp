#include "generators/skingen/skingen.h"

#include "generators/skingen/paint.h"

std::vector<uint8_t> BuildSkinFile(int skin) {
  Canvas canvas = NewCanvas();
  if (skin == 1) {
    PaintGrunge(canvas);
  } else {
    PaintCarbon(canvas);
  }
  // A little under the tests' 24 levels, so rounding to the palette cannot make a new speck.
  JoinSpecks(canvas, 16);
  return Quantise(canvas, skin == 1 ? GrungeInk() : CarbonInk());
}

std::vector<uint32_t> DecodeSkinFile(const std::vector<uint8_t>& file) {
  if (file.size() != static_cast<size_t>(SkinFileBytes)) return {};
  std::vector<uint32_t> picture(static_cast<size_t>(SkinWidth) * SkinHeight, 0);
  for (size_t i = 0; i < picture.size(); ++i) {
    const uint8_t* rgb = &file[file[SkinPaletteBytes + i] * 3];
    picture[i] = static_cast<uint32_t>(rgb[0]) << 16 | static_cast<uint32_t>(rgb[1]) << 8 | rgb[2];
  }
  return picture;
}
