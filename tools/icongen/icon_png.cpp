#include <png.h>

#include <cstdio>

#include "tools/icongen/icongen.h"

namespace {

// libpng reports errors by longjmp back into these functions, so they hold no C++ objects that
// would need unwinding: the callers own the file and the row buffer.
bool WriteRows(FILE* file, const IconPicture& picture, png_byte* row) {
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
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, picture.Size, picture.Size, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < picture.Size; ++y) {
    for (int x = 0; x < picture.Size; ++x) {
      const uint32_t p = picture.Pixels[static_cast<size_t>(y) * picture.Size + x];
      row[x * 4] = static_cast<png_byte>(p >> 16);
      row[x * 4 + 1] = static_cast<png_byte>(p >> 8);
      row[x * 4 + 2] = static_cast<png_byte>(p);
      row[x * 4 + 3] = static_cast<png_byte>(p >> 24);
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Reads a square picture of at most `limit` pixels a side into `pixels` (sized by the caller to
// limit x limit words) as 0xAARRGGBB; any PNG colour type is expanded to 8-bit RGBA.
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

bool WriteIconPng(const IconPicture& picture, const std::string& path, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot open " + path;
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(picture.Size) * 4);
  const bool written = WriteRows(file, picture, row.data());
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) error = "cannot write " + path;
  return written && closed;
}

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
