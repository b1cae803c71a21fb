// Per-tick traces of small in-code modules against golden text files (tests/golden/*.txt): the
// order, row and tick, the global volume, and for every channel the period and its effect delta,
// the volume and its delta, the panning, the volume and panning envelope outputs, the fadeout
// volume and the voice's sample position (set by the replay only: the trace mixes nothing).
// GOLDEN_UPDATE=1 rewrites the traces and fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/module/module_test_util.h"
#include "tests/support/golden.h"

namespace {

void ExpectGoldenTrace(const std::string& name, const XmModule& desc, int ticks) {
  TestSong t(desc);
  ASSERT_NE(t.song, nullptr);
  std::string out =
      "order row tick global | per channel: period+delta volume+delta panning "
      "envelope-volume envelope-panning fadeout position\n";
  char line[160];
  for (int i = 0; i < ticks; ++i) {
    const int tick = t.machine->Tick;
    t.Ticks(1);
    std::snprintf(line, sizeof line, "%02d %02d %2d %3d", t.machine->OrderPosition, t.machine->Row,
                  tick, t.machine->GlobalVolume);
    out += line;
    for (int c = 0; c < desc.Channels; ++c) {
      const ModuleChannel& ch = t.Channel(c);
      std::snprintf(line, sizeof line, " | %4d%+5d %3d%+4d %3d %3d %3d %5d %5u", ch.Period,
                    ch.PeriodDelta, ch.Volume, ch.VolumeDelta, ch.Panning, ch.VolumeEnvelope.Output,
                    ch.PanningEnvelope.Output, ch.FadeoutVolume, t.Voice(c).Position);
      out += line;
    }
    out += '\n';
  }
  const std::string failure = CheckGoldenText(name, out);
  EXPECT_TRUE(failure.empty()) << failure;
}

}  // namespace

// Two channels on the Amiga table, one effect per row. Channel 1: arpeggio 037, portamento up and
// down, tone portamento, vibrato, tremor 21 (on from the row tick), volume slide, note cut ECx.
// Channel 2: volume-column slides under Cxx, panning by 8xx and the volume column, retrigger
// with volume action 6, sample offset 9xx into a longer sample, note delay ED2 and Gxx.
TEST(ModuleTrace, EffectsPerTick) {
  XmModule desc;
  std::tie(desc.Channels, desc.Flags) = std::tuple(2, 0);
  desc.Instruments = {SineInstrument(), SineInstrument(512)};
  const XmCell effects[2][8] = {
      {Cell(49, 1, 0, 0x00, 0x37), Cell(0, 0, 0, 0x01, 0x20), Cell(0, 0, 0, 0x02, 0x10),
       Cell(52, 0, 0, 0x03, 0x08), Cell(0, 0, 0, 0x04, 0x48), Cell(0, 0, 0, 0x1D, 0x21),
       Cell(0, 0, 0, 0x0A, 0x04), Cell(0, 0, 0, 0x0E, 0xC2)},
      {Cell(61, 1, 0x63), Cell(0, 0, 0x82, 0x0C, 0x30), Cell(0, 0, 0, 0x08, 0x20), Cell(0, 0, 0xC5),
       Cell(61, 1, 0x20, 0x1B, 0x62), Cell(61, 2, 0, 0x09, 0x01), Cell(61, 2, 0, 0x0E, 0xD2),
       Cell(0, 0, 0, 0x10, 0x20)}};
  desc.Patterns = {{8, {}}};
  for (int row = 0; row < 8; ++row) {
    for (int c = 0; c < 2; ++c) desc.Patterns[0].At(row, c, 2) = effects[c][row];
  }
  ExpectGoldenTrace("module_trace_effects", desc, 8 * 6);
}

// One channel on the linear table with both envelopes, a fadeout and auto-vibrato: the volume
// envelope holds at its sustain point until the key-off on row 2, then falls while the fadeout
// runs; the panning envelope loops between points 1 and 2; L06 on row 4 moves the volume
// envelope between two points.
TEST(ModuleTrace, EnvelopesFadeoutAndAutoVibratoPerTick) {
  XmModule desc;
  desc.Instruments = {SineInstrument()};
  XmInstrument& ins = desc.Instruments[0];
  ins.VolumeEnvelope = {{{0, 64}, {4, 32}, {8, 0}}, EnvelopeOn | EnvelopeSustain, 1};
  ins.PanningEnvelope = {{{0, 0}, {2, 64}, {4, 0}}, EnvelopeOn | EnvelopeLoop, 0, 1, 2};
  std::tie(ins.Fadeout, ins.VibratoSweep, ins.VibratoDepth, ins.VibratoRate) =
      std::tuple(0x800, 2, 4, 8);
  desc.Patterns = {{6, {}}};
  for (const auto& [row, cell] :
       {std::pair{0, Cell(49, 1)}, {2, Cell(97)}, {3, Cell(49, 1)}, {4, Cell(0, 0, 0, 0x15, 6)}}) {
    desc.Patterns[0].At(row, 0, 1) = cell;
  }
  ExpectGoldenTrace("module_trace_envelopes", desc, 6 * 6);
}
