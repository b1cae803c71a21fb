#pragma once
// The intro's SID tunes: the table of the twelve built-in PSID images and PlayTune.
#include <cstdint>

constexpr int TuneCount = 12;

struct TuneEntry {
  const uint8_t* Image;  // null: no image built in for this number
  uint32_t Size;
  uint8_t Song;  // every tune starts its first song, whatever its header says
};

// Entries 1..12; entry 0 is unused.
extern TuneEntry TuneTable[TuneCount + 1];

// Fills TuneTable from the embedded tunes (their sizes are taken once, here). Call at start-up.
void FillTuneTable();
// Stops the SID tune that plays; then, for 1..12, starts that tune from its beginning and lets
// it sound. Any other number, or a tune whose image is missing or refused, leaves the music off.
void PlayTune(int32_t number);
