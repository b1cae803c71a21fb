#include <png.h>

#include <cstdio>

#include "generators/icongen/icongen.h"

namespace {

// Reads a square picture of at most `limit` pixels a side into `pixels` (sized by the caller to
// limit x limit words) as 0xAARRGGBB; any PNG colour type is expanded to 8-bit RGBA. libpng
// reports errors by longjmp back into this function, so it holds no C++ objects that would need
// unwinding: the caller owns the file and the row buffer.
bool ReadRows(FILE* file, uint32_t* pixels, int limit, int& size, png_byte* row) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (width != height || width == 0 || width > static_cast<png_uint_32>(limit)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  size = static_cast<int>(width);
  for (int y = 0; y < size; ++y) {
    png_read_row(png, row, nullptr);
    for (int x = 0; x < size; ++x) {
      const png_byte* p = row + x * 4;
      pixels[static_cast<size_t>(y) * size + x] = static_cast<uint32_t>(p[3]) << 24 |
                                                  static_cast<uint32_t>(p[0]) << 16 |
                                                  static_cast<uint32_t>(p[1]) << 8 | p[2];
    }
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool ReadIconPng(const std::string& path, IconPicture& picture, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = "cannot open " + path;
    return false;
  }
  picture.Pixels.assign(static_cast<size_t>(IconMasterSize) * IconMasterSize, 0);
  std::vector<png_byte> row(static_cast<size_t>(IconMasterSize) * 4);
  const bool read = ReadRows(file, picture.Pixels.data(), IconMasterSize, picture.Size, row.data());
  std::fclose(file);
  if (!read) {
    error = path + " is not a square PNG picture of at most " + std::to_string(IconMasterSize) +
            " pixels";
    return false;
  }
  picture.Pixels.resize(static_cast<size_t>(picture.Size) * picture.Size);
  return true;
}
