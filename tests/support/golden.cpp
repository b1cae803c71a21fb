#include "tests/support/golden.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "display/headless.h"
#include "display/png_file.h"
#include "render/framebuffer.h"

namespace {

bool UpdateRequested() {
  const char* update = std::getenv("GOLDEN_UPDATE");
  return update != nullptr && std::string(update) == "1";
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return bool(out);
}

}  // namespace

std::string CheckGoldenImage(const std::string& name, const uint32_t* pixels) {
  const std::string base = "golden/" + name;
  if (UpdateRequested()) {
    if (!WritePng(base + ".png", pixels, FrameWidth, FrameHeight)) {
      return "cannot write " + base + ".png";
    }
    return "GOLDEN_UPDATE=1: wrote " + base + ".png; look at it, then run again without it";
  }
  std::vector<uint32_t> golden;
  int width = 0, height = 0;
  if (!ReadPng(base + ".png", &golden, &width, &height)) {
    WritePng(base + "_actual.png", pixels, FrameWidth, FrameHeight);
    return "no golden " + base + ".png (wrote " + base + "_actual.png)";
  }
  if (width != FrameWidth || height != FrameHeight) return base + ".png has the wrong size";
  std::vector<uint32_t> diff(FrameWidth * FrameHeight);
  int differing = 0;
  for (int i = 0; i < FrameWidth * FrameHeight; ++i) {
    if (pixels[i] != golden[i]) {
      ++differing;
      diff[i] = 0xFF0000;
    } else {
      diff[i] = (pixels[i] >> 2) & 0x3F3F3F;
    }
  }
  if (differing == 0) return "";
  WritePng(base + "_actual.png", pixels, FrameWidth, FrameHeight);
  WritePng(base + "_diff.png", diff.data(), FrameWidth, FrameHeight);
  return std::to_string(differing) + " pixels differ from " + base + ".png (see " + base +
         "_actual.png and " + base + "_diff.png)";
}

std::string CheckGolden(const std::string& name) {
  return CheckGoldenImage(name, FrameBuffer);
}

std::string CheckGoldenText(const std::string& name, const std::string& text) {
  const std::string base = "golden/" + name;
  if (UpdateRequested()) {
    if (!WriteText(base + ".txt", text)) return "cannot write " + base + ".txt";
    return "GOLDEN_UPDATE=1: wrote " + base + ".txt; look at it, then run again without it";
  }
  std::ifstream in(base + ".txt", std::ios::binary);
  if (!in) {
    WriteText(base + "_actual.txt", text);
    return "no golden " + base + ".txt (wrote " + base + "_actual.txt)";
  }
  std::stringstream golden;
  golden << in.rdbuf();
  if (golden.str() == text) return "";
  WriteText(base + "_actual.txt", text);
  std::istringstream expected(golden.str()), actual(text);
  std::string want, got;
  int line = 1;
  while (true) {
    const bool moreWanted = bool(std::getline(expected, want));
    const bool moreGot = bool(std::getline(actual, got));
    if (!moreWanted || !moreGot || want != got) {
      return base + ".txt differs at line " + std::to_string(line) + ": expected \"" +
             (moreWanted ? want : "<end>") + "\", got \"" + (moreGot ? got : "<end>") + "\" (see " +
             base + "_actual.txt)";
    }
    ++line;
  }
}
