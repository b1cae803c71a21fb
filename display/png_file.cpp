#include "display/png_file.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The PNG encoding into an open file. False when libpng reported an error (errno then tells
// why a write failed).
bool EncodePng(FILE* file, const uint32_t* pixels, int width, int height, PngLayout layout,
               int compression) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const size_t channels = layout == PngLayout::Rgba ? 4 : 3;
  std::vector<png_byte> row(static_cast<size_t>(width) * channels);
  bool ok = false;
  if (png && info && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    if (compression >= 0) png_set_compression_level(png, compression);
    png_set_IHDR(png, info, width, height, 8,
                 layout == PngLayout::Rgba ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
        png_byte* out = &row[channels * x];
        out[0] = static_cast<png_byte>(p >> 16);
        out[1] = static_cast<png_byte>(p >> 8);
        out[2] = static_cast<png_byte>(p);
        if (channels == 4) out[3] = static_cast<png_byte>(p >> 24);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  const int error = errno;
  png_destroy_write_struct(&png, &info);
  errno = error;
  return ok;
}

}  // namespace

bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height,
              std::string* reason, PngLayout layout, int compression) {
  auto fail = [reason](int error) {
    if (reason) *reason = std::strerror(error != 0 ? error : EIO);
    return false;
  };
  if (!pixels || width <= 0 || height <= 0) return fail(EINVAL);
  // Written beside the target and renamed over it when complete, so a failure never leaves a
  // partial picture under the name.
  const std::string temp = path + "." + std::to_string(getpid()) + ".tmp";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd < 0) return fail(errno);
  FILE* file = fdopen(fd, "wb");
  if (!file) {
    const int error = errno;
    close(fd);
    unlink(temp.c_str());
    return fail(error);
  }
  bool ok = EncodePng(file, pixels, width, height, layout, compression) && std::fflush(file) == 0;
  int error = ok ? 0 : errno;
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) unlink(temp.c_str());
  return ok || fail(error);
}

bool ReadPng(const std::string& path, std::vector<uint32_t>* pixels, int* width, int* height) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  pixels->resize(static_cast<size_t>(*width) * *height);
  for (size_t i = 0; i < pixels->size(); ++i)
    (*pixels)[i] = uint32_t{rgb[3 * i]} << 16 | uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
  return true;
}
