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
  XmModule desc = Song(
      "N 037/n61 v63, 120/v82 C30, 210/820, n52 i0 308/vC5, 448/n61 v20 R62, "
      "T21/n61 i2 901, A04/n61 i2 ED2, EC2/G20",
      8, 2);
  desc.Flags = 0;
  desc.Instruments.push_back(SineInstrument(512));
  ExpectGoldenTrace("module_trace_effects", desc, 8 * 6);
}

// One channel on the linear table with both envelopes, a fadeout and auto-vibrato: the volume
// envelope holds at its sustain point until the key-off on row 2, then falls while the fadeout
// runs; the panning envelope loops between points 1 and 2; L06 on row 4 moves the volume
// envelope between two points.
TEST(ModuleTrace, EnvelopesFadeoutAndAutoVibratoPerTick) {
  XmModule desc = Song("N,, =, N, L06", 6);
  XmInstrument& ins = desc.Instruments[0];
  ins.VolumeEnvelope = {{{0, 64}, {4, 32}, {8, 0}}, EnvelopeOn | EnvelopeSustain, 1};
  ins.PanningEnvelope = {{{0, 0}, {2, 64}, {4, 0}}, EnvelopeOn | EnvelopeLoop, 0, 1, 2};
  std::tie(ins.Fadeout, ins.VibratoSweep, ins.VibratoDepth, ins.VibratoRate) =
      std::tuple(0x800, 2, 4, 8);
  ExpectGoldenTrace("module_trace_envelopes", desc, 6 * 6);
}
