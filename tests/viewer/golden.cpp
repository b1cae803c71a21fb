#include "golden.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "render/framebuffer.h"

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

}  // namespace

bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height) {
  File f(std::fopen(path.c_str(), "wb"));
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f.get());
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t p = pixels[y * width + x];
      row[3 * x] = static_cast<png_byte>(p >> 16);
      row[3 * x + 1] = static_cast<png_byte>(p >> 8);
      row[3 * x + 2] = static_cast<png_byte>(p);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool ReadPng(const std::string& path, std::basic_string<uint32_t>& pixels, int& width,
             int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return false;
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  pixels.assign(static_cast<size_t>(width) * height, 0);
  for (size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = uint32_t{bytes[3 * i]} << 16 | uint32_t{bytes[3 * i + 1]} << 8 | bytes[3 * i + 2];
  }
  return true;
}

std::string CheckGolden(const std::string& name) {
  const std::string base = "golden/" + name;
  const char* update = std::getenv("GOLDEN_UPDATE");
  if (update != nullptr && std::string(update) == "1") {
    if (!WritePng(base + ".png", FrameBuffer, FrameWidth, FrameHeight)) {
      return "cannot write " + base + ".png";
    }
    return "GOLDEN_UPDATE=1: wrote " + base + ".png; look at it, then run again without it";
  }
  std::basic_string<uint32_t> golden;
  int width = 0, height = 0;
  if (!ReadPng(base + ".png", golden, width, height)) {
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
