#pragma once
// The choice of module: the four embedded songs and the procedures that switch the music to one.
#include <cstdint>

// Channel count of the module started last (read each frame by the level meter).
extern int16_t ModuleChannelCount;
// Byte sizes of the embedded module images 1..4 (entry 0 unused), taken at start-up.
extern int32_t ModuleSize[5];
void FillModuleSizes();

// Each stops and releases the song that plays, then loads and starts embedded module n from its
// beginning. The results are not looked at: without sound the magazine goes on silently.
void PlayModule1();
void PlayModule2();
void PlayModule3();
void PlayModule4();
