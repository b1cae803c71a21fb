#include "golden.h"

#include <cstdlib>
#include <vector>

#include "display/headless.h"
#include "render/framebuffer.h"

std::string CheckGolden(const std::string& name) {
  const std::string base = "golden/" + name;
  const char* update = std::getenv("GOLDEN_UPDATE");
  if (update != nullptr && std::string(update) == "1") {
    if (!WritePng(base + ".png", FrameBuffer, FrameWidth, FrameHeight)) {
      return "cannot write " + base + ".png";
    }
    return "GOLDEN_UPDATE=1: wrote " + base + ".png; look at it, then run again without it";
  }
  std::vector<uint32_t> golden;
  int width = 0, height = 0;
  if (!ReadPng(base + ".png", &golden, &width, &height)) {
    WritePng(base + "_actual.png", FrameBuffer, FrameWidth, FrameHeight);
    return "no golden " + base + ".png (wrote " + base + "_actual.png)";
  }
  if (width != FrameWidth || height != FrameHeight) return base + ".png has the wrong size";
  std::vector<uint32_t> diff(FrameWidth * FrameHeight);
  int differing = 0;
  for (int i = 0; i < FrameWidth * FrameHeight; ++i) {
    if (FrameBuffer[i] != golden[i]) {
      ++differing;
      diff[i] = 0xFF0000;
    } else {
      diff[i] = (FrameBuffer[i] >> 2) & 0x3F3F3F;
    }
  }
  if (differing == 0) return "";
  WritePng(base + "_actual.png", FrameBuffer, FrameWidth, FrameHeight);
  WritePng(base + "_diff.png", diff.data(), FrameWidth, FrameHeight);
  return std::to_string(differing) + " pixels differ from " + base + ".png (see " + base +
         "_actual.png and " + base + "_diff.png)";
}
