#pragma once
// The program's icon for the desktop: a riveted plate of the 'Grunge' skin's metal with the intro
// font's "Q" on it in the copper of the skin's title lettering. Drawn once at a master size and
// shrunk by whole-pixel averaging to each size a desktop looks for, except the two smallest,
// which are drawn by hand pixel by pixel: shrinking leaves them muddy.

#include <cstdint>
#include <string>
#include <vector>

constexpr int IconMasterSize = 768;  // a multiple of every size below
constexpr int IconSizes[] = {16, 32, 48, 64, 128, 256};
// The plate metal is IconPlateSide pixels a side; one of its pixels is three master pixels, so
// the 256-pixel icon shows the metal at the skin's own scale.
constexpr int IconPlateTexel = 3;
constexpr int IconPlateSide = IconMasterSize / IconPlateTexel;

// Pixels are 0xAARRGGBB words with straight (not premultiplied) alpha, rows top to bottom.
struct IconPicture {
  int Size = 0;
  std::vector<uint32_t> Pixels;
};

// Draws the master picture on `plate` (IconPlateSide x IconPlateSide 0x00RRGGBB words, the
// 'Grunge' metal) with the "Q" of assets/fonts/bigfont.bin. Returns false and says why in
// `error` when either has the wrong size.
bool DrawIconMaster(const std::vector<uint32_t>& plate, const std::vector<uint8_t>& bigFontFile,
                    IconPicture& master, std::string& error);

// The master shrunk to `size` x `size`; every output pixel averages a square of master pixels,
// weighted by their alpha. `size` must divide the master's size.
IconPicture ShrinkIcon(const IconPicture& master, int size);

// The icon at one of IconSizes: the hand-drawn picture for 16 and 32, the master shrunk for the
// others.
IconPicture IconAtSize(const IconPicture& master, int size);

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

// Reads an RGBA PNG file (icon_png.cpp); icongen writes its icons with WritePng.
bool ReadIconPng(const std::string& path, IconPicture& picture, std::string& error);
