#pragma once
// Conversions from floating point to integers round to the nearest integer with halves to the even
// neighbour (the default rounding mode; the program never changes it).
#include <cmath>
#include <cstdint>

inline int32_t RoundEven(double value) {
  return static_cast<int32_t>(std::nearbyint(value));
}
