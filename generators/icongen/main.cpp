// icongen ASSET_DIR ICON_DIR: draws the desktop icon on the 'Grunge' skin's plate metal with the
// "Q" of ASSET_DIR/fonts/bigfont.bin and writes ICON_DIR/NxN/quellmark.png for every size.

#include <cstdio>
#include <filesystem>

#include "display/png_file.h"
#include "generators/icongen/icongen.h"
#include "generators/skingen/skingen.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: icongen ASSET_DIR ICON_DIR\n");
    return 2;
  }
  const std::string assets = argv[1];
  std::vector<uint8_t> font;
  if (!ReadWholeFile(assets + "/fonts/bigfont.bin", font)) {
    std::fprintf(stderr, "icongen: cannot read the big font under %s\n", argv[1]);
    return 1;
  }
  IconPicture master;
  std::string error;
  if (!DrawIconMaster(GrungePlateSquare(IconPlateSide), font, master, error)) {
    std::fprintf(stderr, "icongen: %s\n", error.c_str());
    return 1;
  }
  for (int size : IconSizes) {
    const std::string dir =
        std::string(argv[2]) + "/" + std::to_string(size) + "x" + std::to_string(size);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const IconPicture icon = IconAtSize(master, size);
    const std::string path = dir + "/quellmark.png";
    if (!WritePng(path, icon.Pixels.data(), icon.Size, icon.Size, &error, PngLayout::Rgba, 9)) {
      std::fprintf(stderr, "icongen: cannot write %s: %s\n", path.c_str(), error.c_str());
      return 1;
    }
  }
  return 0;
}
