#include "tests/support/golden.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "display/headless.h"
#include "display/png_file.h"
#include "render/framebuffer.h"
#include "tests/support/run.h"

namespace {

bool UpdateRequested() {
  const char* update = std::getenv("GOLDEN_UPDATE");
  return update != nullptr && std::string(update) == "1";
}

bool WriteText(const std::string& path, const std::string& text) {
  return bool(std::ofstream(path, std::ios::binary) << text);
}

std::string Updated(const std::string& file) {
  return "GOLDEN_UPDATE=1: wrote " + file + "; look at it, then run again without it";
}

}  // namespace

std::string CheckGoldenImage(const std::string& name, const uint32_t* pixels) {
  const std::string base = "golden/" + name;
  const auto write = [&](const std::string& file, const uint32_t* image) {
    return WritePng(base + file, image, FrameWidth, FrameHeight);
  };
  if (UpdateRequested()) {
    return write(".png", pixels) ? Updated(base + ".png") : "cannot write " + base + ".png";
  }
  std::vector<uint32_t> golden;
  int width = 0, height = 0;
  if (!ReadPng(base + ".png", &golden, &width, &height)) {
    write("_actual.png", pixels);
    return "no golden " + base + ".png (wrote " + base + "_actual.png)";
  }
  if (width != FrameWidth || height != FrameHeight) return base + ".png has the wrong size";
  std::vector<uint32_t> diff(FrameWidth * FrameHeight);
  int differing = 0;
  for (int i = 0; i < FrameWidth * FrameHeight; ++i) {
    differing += pixels[i] != golden[i];
    diff[i] = pixels[i] != golden[i] ? 0xFF0000 : (pixels[i] >> 2) & 0x3F3F3F;
  }
  if (differing == 0) return "";
  write("_actual.png", pixels);
  write("_diff.png", diff.data());
  return std::to_string(differing) + " pixels differ from " + base + ".png (see " + base +
         "_actual.png and " + base + "_diff.png)";
}

std::string CheckGolden(const std::string& name) {
  return CheckGoldenImage(name, FrameBuffer);
}

std::string CheckGoldenText(const std::string& name, const std::string& text) {
  const std::string base = "golden/" + name;
  if (UpdateRequested()) {
    return WriteText(base + ".txt", text) ? Updated(base + ".txt")
                                          : "cannot write " + base + ".txt";
  }
  if (!std::ifstream(base + ".txt")) {
    WriteText(base + "_actual.txt", text);
    return "no golden " + base + ".txt (wrote " + base + "_actual.txt)";
  }
  const std::string golden = ReadFileText(base + ".txt");
  if (golden == text) return "";
  WriteText(base + "_actual.txt", text);
  // The first line that differs: from the start of the line of the first differing byte.
  size_t at =
      std::mismatch(golden.begin(), golden.end(), text.begin(), text.end()).first - golden.begin();
  at = at == 0 ? 0 : golden.rfind('\n', at - 1) + 1;
  const auto lineAt = [at](const std::string& s) {
    return at < s.size() ? s.substr(at, s.find('\n', at) - at) : "<end>";
  };
  return base + ".txt differs at line " +
         std::to_string(std::count(golden.begin(), golden.begin() + at, '\n') + 1) +
         ": expected \"" + lineAt(golden) + "\", got \"" + lineAt(text) + "\" (see " + base +
         "_actual.txt)";
}
