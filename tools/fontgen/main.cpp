// fontgen: builds the text font asset from the glyph design.
//   fontgen GLYPHS OUT.bin              write the sheet and palette
//   fontgen GLYPHS OUT.bin --preview P  also write a PNG preview of the result

#include <cstdio>
#include <string>

#include "tools/fontgen/fontgen.h"
#include "tools/fontgen/preview.h"

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--preview")) {
    std::fprintf(stderr, "usage: fontgen GLYPHS OUT.bin [--preview OUT.png]\n");
    return 2;
  }
  std::string text;
  if (!ReadWholeFile(argv[1], text)) {
    std::fprintf(stderr, "fontgen: cannot read %s\n", argv[1]);
    return 1;
  }
  FontSource source;
  std::vector<uint8_t> asset;
  std::string error;
  if (!ParseFontSource(text, source, error) || !BuildFontAsset(source, asset, error)) {
    std::fprintf(stderr, "fontgen: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  if (!WriteWholeFile(argv[2], asset)) {
    std::fprintf(stderr, "fontgen: cannot write %s\n", argv[2]);
    return 1;
  }
  if (argc == 5 && !WriteFontPreview(asset, argv[4], error)) {
    std::fprintf(stderr, "fontgen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
