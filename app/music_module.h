#pragma once
// The choice of module: the four embedded songs and the procedures that switch the music to one.
#include <cstdint>

constexpr int SongCount = 4;

// Channel count of the module started last (read each frame by the level meter).
extern int16_t ModuleChannelCount;
// Byte sizes of the embedded module images 1..4 (entry 0 unused), taken at start-up.
extern int32_t ModuleSize[SongCount + 1];
void FillModuleSizes();

// Each stops and releases the song that plays, then loads and starts embedded module n from its
// beginning. The results are not looked at: without sound the magazine goes on silently.
void PlayModule1();
void PlayModule2();
void PlayModule3();
void PlayModule4();

// The credit line of song 1..4 (entry 0 unused), shown in the ticker after "Selected song: ".
extern const char* const SongCredit[SongCount + 1];
// Start-up: appends each song's credit to ticker texts 1..4.
void SetSongCredits();

// ButtonSong1..ButtonSong4: marks it as the chosen song, switches the music on, restarts the
// ticker on the song's credit and plays its module from the beginning. Other buttons do nothing.
void ChooseSong(int button);
// The music's one on/off flag is the music button's state, which its tint shows: 0 on, 1 off.
bool MusicIsOn();
// The music button: off stops the module; on starts the chosen song again from its beginning.
void MusicOff();
void MusicOn();
// Per frame while the music is on: the cell words of the row being heard, for the channels of the
// module started last, feed the level meter.
void FeedLevelMeter();
