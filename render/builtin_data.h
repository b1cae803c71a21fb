#pragma once
// The built-in data list: integer constants read one after the other at start-up. First the 121
// codes of the pointer grid (11 rows of 11), then the button tables: x, y, w, h, state, glow of
// buttons 1..10 in skin 1, then x, y, w, h of buttons 1..10 in skin 2.
#include <cstdint>

constexpr int PointerCodeCount = 121;
constexpr int BuiltInDataCount = PointerCodeCount + 60 + 40;

extern const int32_t BuiltInData[BuiltInDataCount];

struct BuiltInDataReader {
  int32_t Position = 0;  // index of the next value to read
};

extern BuiltInDataReader DataReader;

// Sets the read position back to the first value.
void RestoreBuiltInData();
// The next value of the list; past the end (a programming error) it answers 0 and stays there.
int32_t ReadBuiltInData();
