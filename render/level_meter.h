#pragma once
// The level meter under the header: 40 narrow bars that jump to the notes of the row being heard
// and sink back by a fixed step per frame. Its speed follows the frame rate, on purpose.
#include <cstdint>

constexpr int MeterBarCount = 40;
constexpr int MeterRampFirstRow = 131;
constexpr int MeterRampLastRow = 148;

struct LevelMeterState {
  int32_t BarCount;
  int32_t BarPitch;
  int32_t RestRow;                      // 147: a bar at or below it draws nothing
  double MeterBars[MeterBarCount + 1];  // entries 0..39: each bar's top row
  // Colour per screen row 131..148 for skin 1 and 2 (entry 0 unused); rows 131..134 are black.
  uint32_t MeterRamp[3][MeterRampLastRow + 1];
};

extern LevelMeterState LevelMeter;

// Start-up: the geometry (40 bars, 12-pixel pitch, resting row 147) and both colour ramps.
void SetLevelMeterRamps();
// Start-up: every bar at its resting row.
void ResetLevelMeter();
// Per frame while the music is on: `cells` are the cell words of the row being heard, one per
// channel (the low byte is the note). Notes 46..83 push the bars near their pitch; then every bar
// sinks by 2 and is drawn in the current skin (skin 2 two rows lower).
void UpdateLevelMeter(const uint16_t* cells, int channels);
