#include "tools/skingen/preview.h"

#include <png.h>

#include <cstdio>

namespace {

// libpng reports errors by longjmp back into this function, so it holds no C++ objects that
// would need unwinding: the caller owns the file and the row buffer.
bool WritePngRows(FILE* file, const uint32_t* pixels, int width, int height, png_byte* row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t word = pixels[y * width + x];
      row[x * 3] = static_cast<png_byte>(word >> 16);
      row[x * 3 + 1] = static_cast<png_byte>(word >> 8);
      row[x * 3 + 2] = static_cast<png_byte>(word);
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePng(const std::vector<uint32_t>& pixels, int width, int height, const std::string& path,
              std::string& error) {
  if (pixels.size() != static_cast<size_t>(width) * height) {
    error = "the picture has the wrong size";
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot open " + path;
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  const bool written = WritePngRows(file, pixels.data(), width, height, row.data());
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) error = "cannot write " + path;
  return written && closed;
}
