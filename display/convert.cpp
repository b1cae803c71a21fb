#include "display/convert.h"

#include <cstring>

namespace {

inline uint16_t Pack565(uint32_t rgb) {
  return static_cast<uint16_t>(((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x07E0) |
                               ((rgb >> 3) & 0x001F));
}

inline uint16_t Pack565Swapped(uint32_t rgb) {
  return static_cast<uint16_t>(((rgb << 8) & 0xF800) | ((rgb >> 5) & 0x07E0) |
                               ((rgb >> 19) & 0x1F));
}

// The 5-5-5 pixels are formed the way a multiply-add over 16-bit lanes forms them: the two outer
// channel bytes, masked to their top five bits, are scaled (by 8 for the lane that ends at the
// bottom, by 0x2000 for the lane that ends at the top) and added, the green bits are or-ed in,
// and the sum is shifted right by 6.
inline uint16_t Pack555(uint32_t rgb, uint32_t blueScale, uint32_t redScale) {
  const uint32_t blue = rgb & 0xF8;
  const uint32_t red = (rgb >> 16) & 0xF8;
  const uint32_t sum = blue * blueScale + red * redScale;
  return static_cast<uint16_t>((sum | (rgb & 0xF800)) >> 6);
}

inline void Store16(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value);
  out[1] = static_cast<uint8_t>(value >> 8);
}

inline void Store64(uint8_t* out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

template <uint16_t (*Pack)(uint32_t)>
void Convert16Blocks(const uint32_t* source, void* target, int count) {
  auto* out = static_cast<uint8_t*>(target);
  int i = 0;
  for (; i + 4 <= count; i += 4) {  // 16 source bytes become 8 target bytes
    const uint64_t packed = uint64_t{Pack(source[i])} | uint64_t{Pack(source[i + 1])} << 16 |
                            uint64_t{Pack(source[i + 2])} << 32 |
                            uint64_t{Pack(source[i + 3])} << 48;
    Store64(out + 2 * i, packed);
  }
  for (; i < count; ++i) Store16(out + 2 * i, Pack(source[i]));
}

inline uint16_t PackRgb555(uint32_t rgb) {
  return Pack555(rgb, 8, 0x2000);
}
inline uint16_t PackBgr555(uint32_t rgb) {
  return Pack555(rgb, 0x2000, 8);
}

template <uint16_t (*Pack)(uint32_t)>
void Convert15Blocks(const uint32_t* source, void* target, int count) {
  auto* out = static_cast<uint8_t*>(target);
  int i = 0;
  for (; i + 8 <= count; i += 8) {  // 32 source bytes become 16 target bytes
    uint64_t low = 0, high = 0;
    for (int k = 0; k < 4; ++k) {
      low |= uint64_t{Pack(source[i + k])} << (16 * k);
      high |= uint64_t{Pack(source[i + 4 + k])} << (16 * k);
    }
    Store64(out + 2 * i, low);
    Store64(out + 2 * i + 8, high);
  }
  for (; i < count; ++i) Store16(out + 2 * i, Pack(source[i]));
}

}  // namespace

void Convert32Rgb(const uint32_t* source, void* target, int count) {
  if (count <= 0) return;
  const auto* in = reinterpret_cast<const uint8_t*>(source);
  auto* out = static_cast<uint8_t*>(target);
  const int bytes = count * 4;
  int i = 0;
  for (; i + 64 <= bytes; i += 64) std::memcpy(out + i, in + i, 64);  // 16 pixels a step
  for (; i < bytes; ++i) out[i] = in[i];
}

void Convert32Bgr(const uint32_t* source, void* target, int count) {
  auto* out = static_cast<uint8_t*>(target);
  for (int i = 0; i < count; ++i) {
    const uint32_t p = source[i];
    const uint32_t swapped = (p & 0xFF) << 16 | (p & 0xFF00) | ((p >> 16) & 0xFF);
    std::memcpy(out + 4 * i, &swapped, 4);
  }
}

void Convert24Rgb(const uint32_t* source, void* target, int count) {
  auto* out = static_cast<uint8_t*>(target);
  int i = 0;
  for (; i + 4 <= count; i += 4) {  // 16 source bytes become 12 target bytes
    const uint64_t p0 = source[i] & 0xFFFFFF, p1 = source[i + 1] & 0xFFFFFF;
    const uint64_t p2 = source[i + 2] & 0xFFFFFF, p3 = source[i + 3] & 0xFFFFFF;
    Store64(out + 3 * i, p0 | p1 << 24 | p2 << 48);
    const uint32_t rest = static_cast<uint32_t>(p2 >> 16 | p3 << 8);
    for (int k = 0; k < 4; ++k) out[3 * i + 8 + k] = static_cast<uint8_t>(rest >> (8 * k));
  }
  for (; i < count; ++i) {
    out[3 * i] = static_cast<uint8_t>(source[i]);
    out[3 * i + 1] = static_cast<uint8_t>(source[i] >> 8);
    out[3 * i + 2] = static_cast<uint8_t>(source[i] >> 16);
  }
}

void Convert24Bgr(const uint32_t* source, void* target, int count) {
  auto* out = static_cast<uint8_t*>(target);
  for (int i = 0; i < count; ++i) {
    out[3 * i] = static_cast<uint8_t>(source[i] >> 16);
    out[3 * i + 1] = static_cast<uint8_t>(source[i] >> 8);
    out[3 * i + 2] = static_cast<uint8_t>(source[i]);
  }
}

void Convert16Rgb565(const uint32_t* source, void* target, int count) {
  Convert16Blocks<Pack565>(source, target, count);
}

void Convert16Bgr565(const uint32_t* source, void* target, int count) {
  Convert16Blocks<Pack565Swapped>(source, target, count);
}

void Convert15Rgb555(const uint32_t* source, void* target, int count) {
  Convert15Blocks<PackRgb555>(source, target, count);
}

void Convert15Bgr555(const uint32_t* source, void* target, int count) {
  Convert15Blocks<PackBgr555>(source, target, count);
}

namespace {

struct FormatRow {
  int bits;
  uint32_t red, green, blue;
  RowConverter convert;
};

// Compared in this order; the first match wins.
constexpr FormatRow kFormats[] = {
    {32, 0xFF0000, 0xFF00, 0xFF, Convert32Rgb}, {32, 0xFF, 0xFF00, 0xFF0000, Convert32Bgr},
    {24, 0xFF0000, 0xFF00, 0xFF, Convert24Rgb}, {24, 0xFF, 0xFF00, 0xFF0000, Convert24Bgr},
    {16, 0xF800, 0x7E0, 0x1F, Convert16Rgb565}, {16, 0x1F, 0x7E0, 0xF800, Convert16Bgr565},
    {16, 0x7C00, 0x3E0, 0x1F, Convert15Rgb555}, {16, 0x1F, 0x3E0, 0x7C00, Convert15Bgr555},
};

}  // namespace

RowConverter SelectConverter(int bits, uint32_t redMask, uint32_t greenMask, uint32_t blueMask) {
  for (const FormatRow& row : kFormats) {
    if (row.bits == bits && row.red == redMask && row.green == greenMask && row.blue == blueMask)
      return row.convert;
  }
  return nullptr;
}
