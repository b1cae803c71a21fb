// skingen ASSET_DIR PREVIEW_DIR: paints both skins, writes ASSET_DIR/skin1.bin and skin2.bin and
// the previews PREVIEW_DIR/skin1_preview.png and skin2_preview.png.

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "display/png_file.h"
#include "generators/skingen/skingen.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: skingen ASSET_DIR PREVIEW_DIR\n");
    return 2;
  }
  for (int skin = 1; skin <= 2; ++skin) {
    const std::vector<uint8_t> bytes = BuildSkinFile(skin);
    const std::string name = "skin" + std::to_string(skin);
    const std::string assetPath = std::string(argv[1]) + "/" + name + ".bin";
    std::ofstream file(assetPath, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      std::fprintf(stderr, "skingen: cannot write %s\n", assetPath.c_str());
      return 1;
    }
    std::string reason;
    const std::string previewPath = std::string(argv[2]) + "/" + name + "_preview.png";
    const std::vector<uint32_t> preview = DecodeSkinFile(bytes);
    if (!WritePng(previewPath, preview.data(), SkinWidth, SkinHeight, &reason)) {
      std::fprintf(stderr, "skingen: cannot write %s: %s\n", previewPath.c_str(), reason.c_str());
      return 1;
    }
  }
  return 0;
}
