// fontgen: builds the text font asset from the glyph design.
//   fontgen [--glyphs GLYPHS.txt] [--out FONT.bin] [--preview PREVIEW.png]
// Without --glyphs it reads the design in the source tree. --out writes the sheet and palette,
// --preview a PNG for people to look at; at least one of the two is needed.

#include <cstdio>
#include <string>

#include "generators/fontgen/fontgen.h"
#include "generators/fontgen/preview.h"

int main(int argc, char** argv) {
  std::string glyphsPath = FONTGEN_GLYPHS;
  std::string outPath;
  std::string previewPath;
  bool usage = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) {
      usage = true;
    } else if (option == "--glyphs") {
      glyphsPath = argv[++i];
    } else if (option == "--out") {
      outPath = argv[++i];
    } else if (option == "--preview") {
      previewPath = argv[++i];
    } else {
      usage = true;
    }
  }
  if (usage || (outPath.empty() && previewPath.empty())) {
    std::fprintf(stderr,
                 "usage: fontgen [--glyphs GLYPHS.txt] [--out FONT.bin] [--preview P.png]\n");
    return 2;
  }

  std::string text;
  if (!ReadWholeFile(glyphsPath, text)) {
    std::fprintf(stderr, "fontgen: cannot read %s\n", glyphsPath.c_str());
    return 1;
  }
  FontSource source;
  std::vector<uint8_t> asset;
  std::string error;
  if (!ParseFontSource(text, source, error) || !BuildFontAsset(source, asset, error)) {
    std::fprintf(stderr, "fontgen: %s: %s\n", glyphsPath.c_str(), error.c_str());
    return 1;
  }
  if (!outPath.empty() && !WriteWholeFile(outPath, asset)) {
    std::fprintf(stderr, "fontgen: cannot write %s\n", outPath.c_str());
    return 1;
  }
  if (!previewPath.empty() && !WriteFontPreview(asset, previewPath, error)) {
    std::fprintf(stderr, "fontgen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
