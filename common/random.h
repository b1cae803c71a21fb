#pragma once
// The program's random generator: uniform doubles in [0, 1), seeded explicitly. The stars and the
// opening flashes draw from it before the intro seeds it from the timer; until then it runs from a
// fixed non-zero state, so a run before the seed is reproducible.
#include <cstdint>

struct RandomGenerator {
  uint64_t State = 0x9E3779B97F4A7C15ull;  // xorshift would give only 0 from 0
};

extern RandomGenerator Random;

void ResetRandom();
void SeedRandom(double seed);
double RandomUniform();
