// Effects at their edges, table-driven: each case plays a few cells on one channel and compares one
// field of the channel or the song, tick by tick (or row by row), with values worked out by hand
// in the comments. Default sample: volume 64, panning 128, finetune 0; note 49 is real note 48,
// period 4608 on the linear table. At speed 6 a row is six ticks: the row tick and five more.
#include <gtest/gtest.h>

#include "module/module_effects.h"
#include "tests/module/module_test_util.h"

namespace {

enum class Field { Period, PeriodDelta, Volume, VolumeDelta, Panning, GlobalVolume };

struct TickCase {
  const char* name;
  std::vector<std::pair<int, XmCell>> cells;
  Field field;
  std::vector<int32_t> expected;  // after each tick, or after each row with every = 6
  int every = 1;
  int speed = 6;
  uint8_t sampleVolume = 64;
};

int32_t Read(TestSong& t, Field field) {
  const ModuleChannel& c = t.Channel(0);
  switch (field) {
    case Field::Period:
      return c.Period;
    case Field::PeriodDelta:
      return c.PeriodDelta;
    case Field::Volume:
      return c.Volume;
    case Field::VolumeDelta:
      return c.VolumeDelta;
    case Field::Panning:
      return c.Panning;
    default:
      return t.machine->GlobalVolume;
  }
}

std::vector<int32_t> Series(const XmModule& desc, Field field, size_t count, int every) {
  TestSong t(desc);
  std::vector<int32_t> out;
  while (out.size() < count) {
    t.Ticks(every);
    out.push_back(Read(t, field));
  }
  return out;
}

void RunCases(const std::vector<TickCase>& cases) {
  for (const TickCase& k : cases) {
    XmModule desc = OneChannelSong(k.cells);
    desc.Speed = k.speed;
    desc.Instruments[0].Samples[0].Volume = k.sampleVolume;
    EXPECT_EQ(Series(desc, k.field, k.expected.size(), k.every), k.expected) << k.name;
  }
}

XmCell Fx(uint8_t effect, uint8_t parameter, uint8_t volume = 0) {
  return Cell(0, 0, volume, effect, parameter);
}
XmCell NoteFx(uint8_t effect, uint8_t parameter, uint8_t volume = 0) {
  return Cell(49, 1, volume, effect, parameter);
}

}  // namespace

// A parameter of 0 takes the effect's memory; memories of the volume slides are shared by A, 5
// and 6 and by nothing else.
TEST(ModuleEffects, ParameterZeroUsesTheMemory) {
  RunCases({
      // 104 slides 16 a tick from 4608; 100 on the next row goes on at 16.
      {"1xx",
       {{0, NoteFx(0x01, 0x04)}, {1, Fx(0x01, 0)}},
       Field::Period,
       {4608, 4592, 4576, 4560, 4544, 4528, 4528, 4512, 4496, 4480, 4464, 4448}},
      // 202 then 200: +8 a tick.
      {"2xx",
       {{0, NoteFx(0x02, 0x02)}, {1, Fx(0x02, 0)}},
       Field::Period,
       {4608, 4616, 4624, 4632, 4640, 4648, 4648, 4656, 4664, 4672, 4680, 4688}},
      // Vibrato 48 (speed 4, depth 8) on the sine, then 400 keeps both. The row tick does not
      // advance the position: -(8 x sine[p]) >> 5 with the two low bits cleared, p = 0, 0, 4, 8,
      // 12, 16 | 20, 20, 24, 28, -32, -28 (sine 0, 0, 97, 181, 236, 255 | 236, 236, 181, 97, 0,
      // 97; positive where p < 0).
      {"4xy",
       {{0, NoteFx(0x04, 0x48)}, {1, Fx(0x04, 0)}},
       Field::PeriodDelta,
       {0, 0, -24, -44, -56, -60, -56, -56, -44, -24, 0, 24}},
      // A02: down 2 a tick; 600 and 500 use that memory; 610 sets up 1, A00 keeps it. Row ends:
      {"A/5/6 memory",
       {{0, NoteFx(0x0A, 0x02)},
        {1, Fx(0x06, 0)},
        {2, Fx(0x06, 0x10)},
        {3, Fx(0x0A, 0)},
        {4, Fx(0x05, 0)}},
       Field::Volume,
       {54, 44, 49, 54, 59},
       6},
      // X13 -3, X10 -3 again, X22 +2, X20 +2 again (row ticks only, at speed 1).
      {"X1y/X2y",
       {{0, NoteFx(0x21, 0x13)}, {1, Fx(0x21, 0x10)}, {2, Fx(0x21, 0x22)}, {3, Fx(0x21, 0x20)}},
       Field::Period,
       {4605, 4602, 4604, 4606},
       1,
       1},
      // E12 -8, E10 -8 again; E23 +12, E20 +12 again.
      {"E1y/E2y",
       {{0, NoteFx(0x0E, 0x12)}, {1, Fx(0x0E, 0x10)}, {2, Fx(0x0E, 0x23)}, {3, Fx(0x0E, 0x20)}},
       Field::Period,
       {4600, 4592, 4604, 4616},
       1,
       1},
      // EA3 +3, EB0 uses the shared memory: -3; EB5 -5, EA0 +5 (from volume 32).
      {"EAy/EBy",
       {{0, NoteFx(0x0E, 0xA3, 0x30)},
        {1, Fx(0x0E, 0xB0)},
        {2, Fx(0x0E, 0xB5)},
        {3, Fx(0x0E, 0xA0)}},
       Field::Volume,
       {35, 32, 27, 32},
       1,
       1},
  });
}

TEST(ModuleEffects, TremoloAndItsOffsetAfterTheRow) {
  // 748 at volume 32: speed 4, depth 8; (8 x sine[p]) >> 6 with p = 0, 4, 8, 12, 16 on ticks
  // 1..5: 0, 12, 22, 29, 31. The row after it without tremolo keeps the last offset: 63.
  const std::vector<std::pair<int, XmCell>> cells = {{0, NoteFx(0x07, 0x48, 0x30)}, {1, Cell(0)}};
  RunCases({
      {"7xy offset", cells, Field::VolumeDelta, {0, 0, 12, 22, 29, 31}},
      {"7xy kept", cells, Field::Volume, {32, 63}, 6},
  });
}

// Limits at the largest parameters and just inside them.
TEST(ModuleEffects, ParametersAtTheirLimits) {
  RunCases({
      // G50 is held to 64, G3F sets 63, G00 silences, G40 is the largest plain value.
      {"Gxx",
       {{0, NoteFx(0x10, 0x50)}, {1, Fx(0x10, 0x3F)}, {2, Fx(0x10, 0)}, {3, Fx(0x10, 0x40)}},
       Field::GlobalVolume,
       {64, 63, 0, 64},
       1,
       1},
      // H: from 64, H0F takes 15 a tick down to 0 within a row; HF0 adds 15 a tick up to 64;
      // H00 keeps sliding up.
      {"Hxy",
       {{0, NoteFx(0x11, 0x0F)}, {1, Fx(0x11, 0xF0)}, {2, Fx(0x11, 0)}},
       Field::GlobalVolume,
       {0, 64, 64},
       6},
      // Panning 240 from the volume column, PF0 slides right 15 a tick and stops at 255; then
      // panning 0 and P01 stay at 0.
      {"Pxy",
       {{0, NoteFx(0x19, 0xF0, 0xCF)}, {1, Fx(0x19, 0x01, 0xC0)}},
       Field::Panning,
       {240, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0}},
      // 8FF and 800 set the panning outright; E8F gives 240.
      {"8xx/E8y",
       {{0, NoteFx(0x08, 0xFF)}, {1, Fx(0x08, 0)}, {2, Fx(0x0E, 0x8F)}},
       Field::Panning,
       {255, 0, 240},
       1,
       1},
      // CFF is not limited; C00 silences; C40 is the full volume.
      {"Cxx",
       {{0, NoteFx(0x0C, 0xFF)}, {1, Fx(0x0C, 0)}, {2, Fx(0x0C, 0x40)}},
       Field::Volume,
       {255, 0, 64},
       1,
       1},
      // EAF from volume 60 stops at 64, EBF from 5 at 0.
      {"EAF/EBF",
       {{0, NoteFx(0x0E, 0xAF, 0x4C)}, {1, Fx(0x0E, 0xBF, 0x15)}},
       Field::Volume,
       {64, 0},
       1,
       1},
      // A0F from 64 reaches 0 and stays; AF0 from 0 climbs 15 a tick to 64.
      {"Axy", {{0, NoteFx(0x0A, 0x0F)}, {1, Fx(0x0A, 0xF0)}}, Field::Volume, {0, 64}, 6},
      // 3FF from 4608 toward note 61's 3840: 1020 a tick lands on the target at once.
      {"3FF",
       {{0, NoteFx(0, 0)}, {1, Cell(61, 1, 0, 0x03, 0xFF)}},
       Field::Period,
       {4608, 4608, 4608, 4608, 4608, 4608, 4608, 3840, 3840}},
  });
}

// The volume column's byte on a note row, from a sample volume of 32: 0x10..0x50 set 0..64, the
// bytes next to that range do nothing, the slides act once on the row tick.
TEST(ModuleEffects, VolumeColumnRanges) {
  const std::pair<uint8_t, int32_t> cases[] = {
      {0x0F, 32}, {0x10, 0},  {0x11, 1},  {0x4F, 63}, {0x50, 64}, {0x51, 32},
      {0x60, 32}, {0x65, 27}, {0x7F, 47}, {0x8A, 22}, {0x9F, 47}, {0xA5, 32},
  };
  for (const auto& [byte, volume] : cases) {
    XmModule desc = OneChannelSong({{0, Cell(49, 1, byte)}});
    desc.Instruments[0].Samples[0].Volume = 32;
    TestSong t(desc);
    t.Tick();
    EXPECT_EQ(t.Channel(0).Volume, volume) << std::hex << int(byte);
  }
}

// Auto-vibrato of the instrument, depth 8 and rate 64 (positions 0, 64, 128, 192, 0, 64), over
// two notes: the second note restarts the position and the sweep. Period delta each tick,
// (8 x value) >> 6 with the arithmetic shift:
//   sine: values 0, 63, 0, -63 (the peak is 63) -> 0, 7, 0, -8;
//   square: 64 below position 128, else -64 -> 8, 8, -8, -8; with sweep 2 scaled by 0/2, 1/2,
//   then 2/2: 0, 4, -8, -8, 8, 8;
//   ramp down (type 2): 0, -32, 64, 32 -> 0, -4, 8, 4;
//   ramp up (type 3): 0, 32, 64, -32 -> 0, 4, 8, -4.
TEST(ModuleEffects, AutoVibratoWaveformsAndSweepOverTwoNotes) {
  struct Case {
    uint8_t type, sweep;
    std::vector<int32_t> row;
  };
  const Case cases[] = {
      {0, 0, {0, 7, 0, -8, 0, 7}},
      {1, 2, {0, 4, -8, -8, 8, 8}},
      {2, 0, {0, -4, 8, 4, 0, -4}},
      {3, 0, {0, 4, 8, -4, 0, 4}},
  };
  for (const Case& k : cases) {
    XmModule desc = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(49, 1)}});
    XmInstrument& ins = desc.Instruments[0];
    ins.VibratoType = k.type;
    ins.VibratoSweep = k.sweep;
    ins.VibratoDepth = 8;
    ins.VibratoRate = 64;
    std::vector<int32_t> expected = k.row;
    expected.insert(expected.end(), k.row.begin(), k.row.end());
    EXPECT_EQ(Series(desc, Field::PeriodDelta, 12, 1), expected) << "type " << int(k.type);
  }
}

// The note period on both tables with the sample's finetune of either sign: linear 4608 minus
// finetune / 2 (truncated toward zero); Amiga 1712 at 0, 1813 at -128, 1616 at 127.
TEST(ModuleEffects, FinetuneOfBothSigns) {
  const struct {
    uint16_t flags;
    int8_t finetune;
    int32_t period;
  } cases[] = {
      {1, -128, 4672}, {1, -3, 4609},   {1, -1, 4608}, {1, 3, 4607},
      {1, 127, 4545},  {0, -128, 1813}, {0, 0, 1712},  {0, 127, 1616},
  };
  for (const auto& k : cases) {
    XmModule desc = OneChannelSong({{0, Cell(49, 1)}});
    desc.Flags = k.flags;
    desc.Instruments[0].Samples[0].Finetune = k.finetune;
    TestSong t(desc);
    t.Tick();
    EXPECT_EQ(t.Channel(0).Period, k.period) << int(k.finetune) << " table " << k.flags;
  }
}

// Dxy reads its parameter as decimal tens and units into a 64-row pattern; rows above 63 play
// row 0.
TEST(ModuleEffects, PatternBreakIsDecimal) {
  const std::pair<uint8_t, int> cases[] = {
      {0x00, 0}, {0x09, 9}, {0x0A, 10}, {0x19, 19}, {0x63, 63}, {0x64, 0}, {0x70, 0},
  };
  for (const auto& [parameter, row] : cases) {
    XmModule desc;
    desc.Speed = 1;
    desc.Orders = {0, 1};
    desc.Instruments.push_back(SineInstrument());
    XmPattern p;
    p.At(0, 0, 1) = Fx(0x0D, parameter);
    desc.Patterns = {p, XmPattern{}};
    EXPECT_EQ(RowTrace(desc, 2), (std::vector<int>{0, 100 + row})) << std::hex << int(parameter);
  }
}

// At the natural end the song goes on at the restart position; a restart position at or past the
// song length counts as 0.
TEST(ModuleEffects, RestartPositionAtAndBeyondTheEnd) {
  const std::pair<int, int> cases[] = {{0, 0}, {2, 200}, {3, 0}, {200, 0}};
  for (const auto& [restart, first] : cases) {
    XmModule desc;
    desc.Speed = 1;
    desc.Orders = {0, 1, 2};
    desc.Restart = restart;
    desc.Instruments.push_back(SineInstrument());
    for (int i = 0; i < 3; ++i) {
      XmPattern p;
      p.Rows = 2;
      desc.Patterns.push_back(p);
    }
    EXPECT_EQ(RowTrace(desc, 8), (std::vector<int>{0, 1, 100, 101, 200, 201, first, first + 1}))
        << "restart " << restart;
  }
}

// EE2 at speed 3 holds row 1 for 3 + 6 ticks, and its volume-column slide (0x61) acts on all of
// them: 64 - 9 = 55. The next row is back to 3 ticks.
TEST(ModuleEffects, PatternDelayCoversItsRowOnly) {
  XmModule desc = OneChannelSong({{0, NoteFx(0x0F, 3)}, {1, Fx(0x0E, 0xE2, 0x61)}});
  EXPECT_EQ(RowTrace(desc, 3 + 9 + 3 + 1), (std::vector<int>{0, 1, 2, 3}));
  TestSong t(desc);
  t.Ticks(3 + 9);
  EXPECT_EQ(t.Channel(0).Volume, 55);
}
