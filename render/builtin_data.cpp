#include "render/builtin_data.h"

// clang-format off
const int32_t BuiltInData[BuiltInDataCount] = {
    // The pointer: 0 transparent, 1 outline, 2 body, 3 light edge, 4 shade.
    1,1,1,1,1,1,1,1,1,0,0,
    1,2,3,3,3,3,3,1,0,0,0,
    1,4,2,2,2,2,1,0,0,0,0,
    1,4,2,2,2,2,3,1,0,0,0,
    1,4,2,2,2,2,2,3,1,0,0,
    1,4,2,2,2,2,2,2,3,1,0,
    1,4,1,4,2,2,2,2,2,3,1,
    1,1,0,1,4,2,2,2,2,1,0,
    1,0,0,0,1,4,2,2,1,0,0,
    0,0,0,0,0,1,4,1,0,0,0,
    0,0,0,0,0,0,1,0,0,0,0,
    // Skin 1: x, y, w, h, state, glow of buttons 1..10.
    35,40,88,19,0,0,     // 1 Exit
    35,65,88,19,0,0,     // 2 Charts
    35,90,88,19,1,0,     // 3 Articles (the menu shown at start)
    672,65,88,19,0,0,    // 4 Rules
    672,90,88,19,0,0,    // 5 Help
    672,40,88,19,0,0,    // 6 music on/off
    9,132,57,19,1,0,     // 7 song 1 (playing at start)
    73,132,57,19,0,0,    // 8 song 2
    665,132,57,19,0,0,   // 9 song 3
    729,132,57,19,0,0,   // 10 song 4
    // Skin 2: x, y, w, h of buttons 1..10.
    25,49,76,19,  25,73,76,19,  25,97,76,19,  698,73,76,19,  698,97,76,19,
    698,49,76,19, 18,137,43,8,  79,137,44,8,  669,137,44,8,  733,137,43,8,
};
// clang-format on

BuiltInDataReader DataReader;

void RestoreBuiltInData() {
  DataReader.Position = 0;
}

int32_t ReadBuiltInData() {
  if (DataReader.Position >= BuiltInDataCount) return 0;
  return BuiltInData[DataReader.Position++];
}
