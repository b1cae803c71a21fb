#pragma once
// Conversions from floating point to integers round to the nearest integer with halves to the even
// neighbour (the default rounding mode; the program never changes it).
#include <cmath>
#include <cstdint>

inline int32_t RoundEven(double value) {
  return static_cast<int32_t>(std::nearbyint(value));
}

// Length of a chart bar in blocks: value / perBlock to the nearest whole block, an exact half to
// the even one like every other rounding. A chart drawn in half blocks passes perBlock / 2 and
// gets the number of half blocks.
inline int32_t BarBlocks(double value, double perBlock) {
  return RoundEven(value / perBlock);
}
