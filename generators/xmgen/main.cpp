// xmgen OUT_DIR SONG...: builds the module of every score SONG (generators/xmgen/songs/NAME.txt)
// and writes it as OUT_DIR/NAME.xm.
#include <cstdio>
#include <filesystem>
#include <string>

#include "generators/xmgen/score.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: xmgen OUT_DIR SONG...\n");
    return 2;
  }
  const std::filesystem::path out_dir = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::filesystem::path song = argv[i];
    const std::filesystem::path xm = out_dir / (song.stem().string() + ".xm");
    std::string error;
    if (!GenerateModuleFile(song.string(), xm.string(), error)) {
      std::fprintf(stderr, "xmgen: %s\n", error.c_str());
      return 1;
    }
    std::printf("xmgen: wrote %s\n", xm.string().c_str());
  }
  return 0;
}
