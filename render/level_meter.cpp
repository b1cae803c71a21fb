#include "render/level_meter.h"

#include <cmath>

#include "common/shared_state.h"
#include "render/framebuffer.h"

LevelMeterState LevelMeter;

namespace {

constexpr int32_t TopLimit = 131;  // resting row 147 less 16
constexpr int FirstNote = 45;      // note 46 drives bar 1

// Rows 135..148; both skins' ramps fade from a bright top to a dark foot.
constexpr uint32_t RampColours[3][14] = {
    {},
    {0xEEBB33, 0xDDAA33, 0xCC9933, 0xBB8833, 0xAA7733, 0x996622, 0x885522, 0x774422, 0x663322,
     0x552211, 0x441111, 0x331111, 0x221111, 0x221111},
    {0x33BBEE, 0x33AADD, 0x3399CC, 0x3388BB, 0x3377AA, 0x226699, 0x225588, 0x224477, 0x223366,
     0x221155, 0x111144, 0x111133, 0x111122, 0x111122},
};

}  // namespace

void SetLevelMeterRamps() {
  LevelMeter.BarCount = MeterBarCount;
  LevelMeter.BarPitch = 12;
  LevelMeter.RestRow = 147;
  for (int skin = 1; skin <= 2; ++skin) {
    for (int row = 0; row <= MeterRampLastRow; ++row) {
      LevelMeter.MeterRamp[skin][row] = row >= 135 ? RampColours[skin][row - 135] : 0;
    }
  }
}

void ResetLevelMeter() {
  for (int i = 0; i < MeterBarCount; ++i) LevelMeter.MeterBars[i] = LevelMeter.RestRow;
}

void UpdateLevelMeter(const uint16_t* cells, int channels) {
  double* bars = LevelMeter.MeterBars;
  for (int n = 0; n < channels; ++n) {
    const int k = (cells[n] & 0xFF) - FirstNote;
    if (k > 0 && k < MeterBarCount - 1) {
      bars[k] -= 4;
      bars[k - 1] -= 3;
      bars[k + 1] -= 3;
    }
  }

  const int skin = Shared.SkinNumber == 2 ? 2 : 1;
  const int dy = skin == 2 ? 2 : 0;
  const int32_t rest = LevelMeter.RestRow;
  const uint32_t* ramp = LevelMeter.MeterRamp[skin];
  for (int i = 0; i < LevelMeter.BarCount; ++i) {
    const int32_t x = 157 + LevelMeter.BarPitch * i;
    if (bars[i] < TopLimit) bars[i] = TopLimit;
    if (bars[i] <= rest) bars[i] += 2;
    for (auto y = static_cast<int32_t>(std::floor(bars[i])); y <= rest; ++y) {
      uint32_t* row = FrameBuffer + (y + dy) * FrameWidth;
      for (int32_t column = x + 1; column < x + LevelMeter.BarPitch; ++column) {
        row[column] = ramp[y];
      }
    }
  }
}
