#pragma once
// The program's icon for the desktop: a riveted plate cut from the 'Grunge' skin with the intro
// font's "Q" on it in the copper of the skin's title lettering. Drawn once at a master size and
// shrunk by whole-pixel averaging to each size a desktop looks for.

#include <cstdint>
#include <string>
#include <vector>

constexpr int IconMasterSize = 768;  // a multiple of every size below
constexpr int IconSizes[] = {16, 32, 48, 64, 128, 256};

// Pixels are 0xAARRGGBB words with straight (not premultiplied) alpha, rows top to bottom.
struct IconPicture {
  int Size = 0;
  std::vector<uint32_t> Pixels;
};

// Draws the master picture from the bytes of assets/skins/skin1.bin and assets/fonts/bigfont.bin.
// Returns false and says why in `error` when either file has the wrong size.
bool DrawIconMaster(const std::vector<uint8_t>& skinFile, const std::vector<uint8_t>& bigFontFile,
                    IconPicture& master, std::string& error);

// The master shrunk to `size` x `size`; every output pixel averages a square of master pixels,
// weighted by their alpha. `size` must divide the master's size.
IconPicture ShrinkIcon(const IconPicture& master, int size);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

// Reads an RGBA PNG file (icon_png.cpp); icongen writes its icons with WritePng.
bool ReadIconPng(const std::string& path, IconPicture& picture, std::string& error);
