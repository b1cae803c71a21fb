// bigfontgen OUTPUT: writes the intro's big font sheet (pixels, then palette) to OUTPUT.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "generators/bigfontgen/bigfont_sheet.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bigfontgen OUTPUT\n");
    return 2;
  }
  std::vector<uint8_t> bytes;
  std::string error;
  if (!BuildBigFontFile(BigFontArt, bytes, error)) {
    std::fprintf(stderr, "bigfontgen: %s\n", error.c_str());
    return 1;
  }
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) {
    std::fprintf(stderr, "bigfontgen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
