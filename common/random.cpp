#include "common/random.h"

#include <cstring>

RandomGenerator Random;

void ResetRandom() {
  Random = RandomGenerator{};
}

void SeedRandom(double seed) {
  uint64_t bits = 0;
  std::memcpy(&bits, &seed, sizeof bits);
  // Any seed, including 0, must give a non-zero xorshift state.
  Random.State = bits ^ 0x9E3779B97F4A7C15ull;
  if (Random.State == 0) Random.State = 1;
}

double RandomUniform() {
  // xorshift64*: plenty for picking a tune; the top 53 bits make the double.
  uint64_t x = Random.State;
  x ^= x >> 12;
  x ^= x << 25;
  x ^= x >> 27;
  Random.State = x;
  return static_cast<double>((x * 0x2545F4914F6CDD1Dull) >> 11) * (1.0 / 9007199254740992.0);
}
