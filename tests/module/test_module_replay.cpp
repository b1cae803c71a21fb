// Loader: fields as stored, decoding of samples, and refusal of malformed or truncated input.
// Replay and effects at their edges, as tables: each row plays a few cells and compares the order
// flow, or one field of channel 0 tick by tick (or every few ticks), with values worked out by
// hand. Default sample: volume 64, panning 128, finetune 0; note 49 is real note 48, period 4608
// on the linear table, 1712 on the Amiga table. At speed 6 a row is six ticks. Two modules run
// tick by tick against golden traces.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/module/module_test_util.h"
#include "tests/support/golden.h"

namespace {

const ModuleSong* Load(const std::vector<uint8_t>& image) {
  return LoadSong(image.data(), image.size());
}

// Two channels, patterns 0 (packed) and 1 (empty) of a song that also names a missing pattern 3;
// an 8-bit forward-looped sample with a volume envelope whose first value lies above 64, a 16-bit
// ping-pong sample, an instrument without samples, and an 8-bit sample whose deltas wrap, with
// a loop of length 0, a volume envelope of one point and a panning envelope above 64.
XmModule ReferenceSong() {
  XmModule desc = Song("N v40 C20/=, /, i2 F03, n1 i129, n1 i128", 8, 2);
  std::tie(desc.Orders, desc.Restart) = std::tuple(std::vector<uint8_t>{0, 1, 0, 3}, 3);
  desc.Patterns.push_back({4, {}});  // without cells: packed size 0
  XmInstrument a, b, c;
  a.Samples.push_back({"", {16, 32, 16, 0, -16, -32}, false, 1, 2, 3, 64, -16, 200, 12});
  a.VolumeEnvelope = {{{0, 80}, {10, 32}, {20, 0}}, EnvelopeOn | EnvelopeSustain, 1};
  a.Fadeout = 0x0800;
  b.Samples.push_back({"", {1000, 2000, 3000, 4000, 5000}, true, 3, 1, 3});  // loop 3: ping-pong
  b.Keymap[10] = 0;
  c.Samples.push_back({"", {0x10, 0x20, 0x10}, false, 1, 1, 0});  // deltas 0x10, 0x10, 0xF0
  std::tie(c.VolumeEnvelope, c.PanningEnvelope) =
      std::tuple(XmEnvelope{{{0, 64}}, EnvelopeOn}, XmEnvelope{{{0, 200}, {4, 32}}, EnvelopeOn});
  desc.Instruments = {a, b, XmInstrument{}, c};
  return desc;
}

// What a row reads after its ticks: a field of channel 0, its voice or the song.
using Field = int32_t (*)(TestSong&);
constexpr Field Period = [](TestSong& t) { return t.Channel(0).Period; };
constexpr Field PeriodDelta = [](TestSong& t) { return t.Channel(0).PeriodDelta; };
constexpr Field Volume = [](TestSong& t) { return t.Channel(0).Volume; };
constexpr Field VolumeDelta = [](TestSong& t) { return t.Channel(0).VolumeDelta; };
constexpr Field Panning = [](TestSong& t) { return t.Channel(0).Panning; };
constexpr Field Fadeout = [](TestSong& t) { return t.Channel(0).FadeoutVolume; };
constexpr Field Envelope = [](TestSong& t) { return t.Channel(0).VolumeEnvelope.Output; };
constexpr Field Global = [](TestSong& t) { return t.machine->GlobalVolume; };
constexpr Field Position = [](TestSong& t) { return int32_t(t.Voice(0).Position); };
constexpr Field Step = [](TestSong& t) { return int32_t(t.Voice(0).StepFraction); };
constexpr Field VoiceNumber = [](TestSong& t) { return t.Channel(0).Voice; };
constexpr Field Sounding = [](TestSong& t) { return int32_t(t.Voice(0).Sample != nullptr); };
constexpr Field FramesPerTick = [](TestSong& t) { return t.machine->SamplesPerTick; };

constexpr auto Speed1 = [](XmModule& d) { d.Speed = 1; };
constexpr auto Amiga = [](XmModule& d) { d.Flags = 0; };
constexpr auto Long = [](XmModule& d) { d.Instruments[0] = SineInstrument(512); };
constexpr auto Quiet = [](XmModule& d) { d.Speed = 1, d.Instruments[0].Samples[0].Volume = 32; };
template <uint16_t F, uint16_t End = 64>
void Fade(XmModule& d) {
  d.Instruments[0].VolumeEnvelope = {{{0, 64}, {8, End}}, EnvelopeOn};
  d.Instruments[0].Fadeout = F;
}
template <uint8_t T, uint8_t S>
void AutoVibrato(XmModule& d) {
  XmInstrument& i = d.Instruments[0];
  std::tie(i.VibratoType, i.VibratoSweep, i.VibratoDepth, i.VibratoRate) = std::tuple(T, S, 8, 64);
}
template <uint16_t Flags, int8_t... F>
void Finetunes(XmModule& d) {
  std::tie(d.Flags, d.Speed) = std::tuple(Flags, 1);
  d.Instruments.clear();
  for (int8_t f : {F...}) d.Instruments.emplace_back(SineInstrument()).Samples[0].Finetune = f;
}

// Retrigger with every volume action once from volume 40, a note a row at speed 2 (the action on
// tick 1); then 6 from 64, 5 from 10 (held to 0) and 7 from 33 (halved with the shift).
const char* const Retriggers =
    "N v38 R01, N v38 R11, N v38 R21, N v38 R31, N v38 R41, N v38 R51, N v38 R61, N v38 R71, "
    "N v38 R81, N v38 R91, N v38 RA1, N v38 RB1, N v38 RC1, N v38 RD1, N v38 RE1, N v38 RF1, "
    "N v50 R61, N v1A R51, N v31 R71";

// Per-tick traces against golden text files (tests/golden/*.txt): the order, row and tick, the
// global volume, and for every channel the period and its effect delta, the volume and its
// delta, the panning, the volume and panning envelope outputs, the fadeout volume and the
// voice's sample position (set by the replay only: the trace mixes nothing). GOLDEN_UPDATE=1
// rewrites the traces and fails.
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
  EXPECT_EQ(CheckGoldenText(name, out), "");
}

}  // namespace

TEST(ModuleReplay, EffectsTickByTick) {
  const struct {
    const char *name, *cells;
    Field field;
    int every;  // ticks between two readings
    const char* expected;
    void (*tweak)(XmModule&) = nullptr;
    bool poke = false;  // sets the voice's position to 9 before each reading but the first
  } cases[] = {
      // A parameter of 0 takes the effect's memory: 104 then 100 -16 a tick, 202 then 200 +8 (none
      // on the row tick).
      {"1xx", "N 104, 100", Period, 2, "4592 4560 4528 4512 4480 4448"},
      {"2xx", "N 202, 200", Period, 2, "4616 4632 4648 4656 4672 4688"},
      // Vibrato 48 then 400: -(8 x sine[p]) >> 5, low two bits cleared; the row tick does not
      // advance p: 0, 0, 4, 8, 12, 16 | 20, 20, 24, 28, -32, -28.
      {"4xy", "N 448, 400", PeriodDelta, 1, "0 0 -24 -44 -56 -60 -56 -56 -44 -24 0 24"},
      // A02 down 2 a tick; 600 and 500 take that memory; 610 sets up 1, A00 keeps it.
      {"A/5/6 memory", "N A02, 600, 610, A00, 500", Volume, 6, "54 44 49 54 59"},
      {"X1y/X2y", "N X13, X10, X22, X20", Period, 1, "4605 4602 4604 4606", Speed1},
      {"E1y/E2y", "N E12, E10, E23, E20", Period, 1, "4600 4592 4604 4616", Speed1},
      // EA3 +3, EB0 takes the shared memory: -3; EB5 -5, EA0 +5 (from volume 32).
      {"EAy/EBy", "N v30 EA3, EB0, EB5, EA0", Volume, 1, "35 32 27 32", Speed1},
      // Tremolo 48 at volume 32: (8 x sine[p]) >> 6; the row after it keeps the last offset.
      {"7xy", "N v30 748", VolumeDelta, 1, "0 0 12 22 29 31"},
      {"7xy kept", "N v30 748", Volume, 6, "32 63"},
      // The deepest vibrato at the sine's peak: (15 x 255) >> 5 = 119, low bits cleared; tremolo
      // cut to reach 64 or 0 exactly (p = 16 and -16 on tick 5).
      {"44F", "N 44F", PeriodDelta, 6, "-116"},
      {"74F", "N v4C 74F", VolumeDelta, 6, "4"},
      {"7CF", "N v1A 7CF", VolumeDelta, 6, "-10"},
      // Limits at the largest parameters and just inside them.
      {"Gxx", "N G50, G3F, G00, G40", Global, 1, "64 63 0 64", Speed1},
      {"Hxy", "N H0F, HF0, H00", Global, 6, "0 64 64"},
      {"Pxy", "N vCF PF0, vC0 P01", Panning, 1, "240 255 255 255 255 255 0 0 0 0 0 0"},
      {"8xx/E8y", "N 8FF, 800, E8F", Panning, 1, "255 0 240", Speed1},
      {"Cxx", "N CFF, C00, C40", Volume, 1, "255 0 64", Speed1},
      {"EAF/EBF", "N v4C EAF, v15 EBF", Volume, 1, "64 0", Speed1},
      {"Axy", "N A0F, AF0", Volume, 6, "0 64"},
      {"3FF", "N, n61 3FF", Period, 1, "4608 4608 4608 4608 4608 4608 4608 3840 3840"},
      {"1FF stops at 56", "N 1FF, 100", Period, 12, "56", Amiga},
      {"2FF has no limit", "N 2FF", Period, 6, "6812", Amiga},
      // The volume column from sample volume 32: 0x10..0x50 set 0..64, the bytes beside them do
      // nothing, the slides act on the row tick.
      {"volume column",
       "N v0F, N v10, N v11, N v4F, N v50, N v51, N v60, N v65, N v7F, N v8A, N v9F, N vA5", Volume,
       1, "32 0 1 63 64 32 32 27 47 22 47 32", Quiet},
      // Volume-column tone portamento 0xF2 (128 a tick) keeps the row's note, period and voice;
      // 0xF0 goes on from memory. A volume byte beside a note starts it at once.
      {"0xF2", "N, n61 vF2, vF0", Period, 1,
       "4608 4608 4608 4608 4608 4608 4608 4480 4352 4224 4096 3968 3968 3840"},
      {"0xF2 voice", "N, n61 vF2", Position, 6, "0 9", nullptr, true},
      {"0x30 beside a note", "N, n61 v30", Period, 7, "3840"},
      // An instrument without a note resets the volume without restarting the sound.
      {"instrument alone", "N v20, i1", Volume, 6, "16 64"},
      {"instrument alone voice", "N v20, i1", Position, 6, "0 9", nullptr, true},
      // 9xx into a 512-frame loop: 901 starts at 256 on the twin voice; 902 (the loop end) restarts
      // the sound from 0 on the same voice.
      {"9xx", "N, N 901, N 902", Position, 6, "0 256 0", Long, true},
      {"9xx voice", "N, N 901, N 902", VoiceNumber, 6, "0 32 32", Long},
      {"ED2", "N ED2", Sounding, 1, "0 0 1"},
      // E5y plays its row's note with finetune (y - 8) x 16, the plain notes after it at 0; on the
      // Amiga table E58 is finetune 0 whatever the sample's (16).
      {"E5y", "N E50, N, N E5F, E5C, N", Period, 6, "4672 4608 4552 4552 4608"},
      {"E58 Amiga", "N E58, N", Period, 1, "1712 1700", Finetunes<0, 16>},
      // The sample's finetune of either sign: linear 4608 - finetune / 2 (toward zero).
      {"finetune linear", "N, N i2, N i3, N i4, N i5", Period, 1, "4672 4609 4608 4607 4545",
       Finetunes<1, -128, -3, -1, 3, 127>},
      {"finetune Amiga", "N, N i2, N i3", Period, 1, "1813 1712 1616", Finetunes<0, -128, 0, 127>},
      // A step of frequency x 2^32 / 44,100 frames: note 49 at 8,363 Hz on the linear table, at
      // 8,362 Hz (14,317,056 / 1712) on the Amiga table; 4,181 Hz an octave down (truncated).
      {"step", "N", Step, 1, "814485521"},
      {"step Amiga", "N", Step, 1, "814388129", Amiga},
      {"step an octave down", "n37", Step, 1, "407194064"},
      // 2.5 x 44,100 / BPM frames a tick, truncated.
      {"Fxx", "F20, F7C, F7D, FFF", FramesPerTick, 1, "3445 889 882 432", Speed1},
      // Auto-vibrato depth 8, rate 64 over two notes (the second restarts position and sweep):
      // (8 x value) >> 6; sine peak 63; square +-64 (sweep 2 scales by 0/2, 1/2, 2/2); ramps.
      {"auto sine", "N, N", PeriodDelta, 1, "0 7 0 -8 0 7 0 7 0 -8 0 7", AutoVibrato<0, 0>},
      {"auto square", "N, N", PeriodDelta, 1, "0 4 -8 -8 8 8 0 4 -8 -8 8 8", AutoVibrato<1, 2>},
      {"auto ramp down", "N, N", PeriodDelta, 1, "0 -4 8 4 0 -4 0 -4 8 4 0 -4", AutoVibrato<2, 0>},
      {"auto ramp up", "N, N", PeriodDelta, 1, "0 4 8 -4 0 4 0 4 8 -4 0 4", AutoVibrato<3, 0>},
      // Fadeout (twice the file's value) from the key-off's row tick, stopping at 0; 0 holds.
      {"fadeout 0x800", "N, =", Fadeout, 7, "61440 32768 4096 0", Fade<0x800>},
      {"fadeout 0xFFF", "N, =", Fadeout, 7, "57346 16 0", Fade<0xFFF>},
      {"fadeout 0", "N, =", Fadeout, 7, "65536 65536", Fade<0>},
      // A key-off beside the instrument number does not restart an envelope that has died away.
      {"key-off beside instrument", "N, = i1", Envelope, 10, "0", Fade<0, 0>},
      // EE2 at speed 3 repeats row 1 six ticks more; its volume-column slide acts on all nine.
      {"EEx", "N F03, v61 EE2", Volume, 12, "55"},
      {"Rxy", Retriggers, Volume, 2, "40 39 38 36 32 24 26 20 40 41 42 44 48 56 60 64 42 0 16",
       [](XmModule& d) { d.Speed = 2; }},
  };
  for (const auto& k : cases) {
    XmModule desc = Song(k.cells, 20);
    if (k.tweak) k.tweak(desc);
    TestSong t(desc);
    std::vector<int32_t> got;
    while (got.size() < Ints(k.expected).size()) {
      if (k.poke && !got.empty()) t.Voice(0).Position = 9;
      t.Ticks(k.every);
      got.push_back(k.field(t));
    }
    EXPECT_EQ(got, Ints(k.expected)) << k.name;
  }
}

// Order flow on four channels at speed 1 in three patterns: order position x 100 + row on every
// row tick.
TEST(ModuleReplay, OrderFlow) {
  const struct {
    const char *name, *orders, *cells, *expected;
    int rows, restart, ticks;
  } cases[] = {
      {"F00: every tick a row", "0", "F06,, F00", "0 1 2 3 4", 16, 0, 15},
      {"B then D: B's order, D's row", "0 1 2", "B02//D01", "0 201", 2, 1, 2},
      {"D then B: B's order, row 0", "0 1 2", "D01//B02", "0 200", 2, 1, 2},
      {"B past the end", "0 1 2", ", B09", "0 1 0", 2, 1, 3},
      {"D past the rows", "1 2 0", ",, D10", "0 100", 2, 1, 2},
      {"E61", "0", ", E60, E61", "0 1 2 1 2 3 4", 5, 0, 7},
      {"E62", "0", ", E60, E62", "0 1 2 1 2 1 2 3 4", 5, 0, 9},
      // EE2 at speed 3 holds row 1 for 3 + 6 ticks; the next row is back to 3.
      {"EE2", "0", "F03, EE2", "0 1 2 3", 8, 0, 16},
      // Dxy is decimal into a 64-row pattern; rows above 63 play row 0.
      {"D00", "0 1", "D00", "0 100", 64, 0, 2},
      {"D0A", "0 1", "D0A", "0 110", 64, 0, 2},
      {"D19", "0 1", "D19", "0 119", 64, 0, 2},
      {"D63", "0 1", "D63", "0 163", 64, 0, 2},
      {"D64", "0 1", "D64", "0 100", 64, 0, 2},
      // At the natural end the song goes on at the restart position; one at or past the song
      // length counts as 0.
      {"restart 0", "0 1 2", "", "0 1 100 101 200 201 0 1", 2, 0, 8},
      {"restart 2", "0 1 2", "", "0 1 100 101 200 201 200 201", 2, 2, 8},
      {"restart 3", "0 1 2", "", "0 1 100 101 200 201 0 1", 2, 3, 8},
      {"restart 200", "0 1 2", "", "0 1 100 101 200 201 0 1", 2, 200, 8},
  };
  for (const auto& k : cases) {
    XmModule desc = Song(k.cells, k.rows, 4, 3);
    const std::vector<int32_t> orders = Ints(k.orders);
    std::tie(desc.Speed, desc.Orders, desc.Restart) =
        std::tuple(1, std::vector<uint8_t>(orders.begin(), orders.end()), k.restart);
    TestSong t(desc);
    std::vector<int> rows;
    for (int i = 0; i < k.ticks; ++i) {
      const bool rowTick = t.machine->Tick == 0;
      t.Ticks(1);
      if (rowTick) rows.push_back(t.machine->OrderPosition * 100 + t.machine->Row);
    }
    EXPECT_EQ(rows, Ints(k.expected)) << k.name;
  }
}

// A loaded song is only read: two machines on one song, mixed block by block in turn, each play
// it as a machine of its own does. A reset machine starts afresh: H00 on row 0 finds no global
// volume slide (H04 on row 1) remembered from before.
TEST(ModuleReplay, MachinesSideBySideOnOneSong) {
  const XmModule desc = Song("N 100/H00, 104/H04", 4, 2);
  const int blocks = 40;  // 4 rows of 6 ticks are 24 x 882 frames: the song plays about 1.5 times
  TestSong own(desc, true), a(desc, true), b(desc, true);
  const std::vector<int16_t> expected = own.Render(blocks * BlockLength);
  ResetMachine(*b.machine, a.song);
  std::vector<int16_t> heard[2];  // a's and b's blocks in turn
  for (int k = 0; k < blocks * 2; ++k) {
    const std::vector<int16_t> block = (k % 2 ? b : a).Render(BlockLength);
    heard[k % 2].insert(heard[k % 2].end(), block.begin(), block.end());
  }
  EXPECT_EQ(heard[0], expected);
  EXPECT_EQ(heard[1], expected);
  ResetMachine(*a.machine, a.song);
  EXPECT_EQ(a.Render(blocks * BlockLength), expected);
  b.machine->Song = b.song;  // b releases its own song, not a's
}

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

// The restart position must lie inside the song: 4 of 4 orders is taken as 0.
TEST(ModuleLoader, StoresFieldsAndDecodesSamples) {
  for (const auto& [restart, stored] : {std::pair{3, 3}, {4, 0}}) {
    XmModule desc = ReferenceSong();
    desc.Restart = restart;
    const ModuleSong* song = Load(WriteXm(desc));
    ASSERT_NE(song, nullptr);
    const ModulePattern* p = song->Patterns;
    const ModuleCell& c = p[0].Cells[0];
    // Header; the first cell; 97 becomes key-off; instruments above 128 read as none; packed
    // size 0 keeps the header's row count; a pattern missing from the file is 64 empty rows.
    EXPECT_EQ(
        std::vector<int>({song->SongLength, song->RestartPosition, song->Channels,
                          song->PatternSlots, song->PatternsUsed, song->DefaultGlobalVolume,
                          int(p[0].RowCount), c.Note, c.Instrument, c.Volume, c.Effect, c.Parameter,
                          p[0].Cells[1].Note, p[0].Cells[6].Instrument, p[0].Cells[8].Instrument,
                          int(p[1].RowCount), p[1].Cells[7].Note, int(p[3].RowCount)}),
        std::vector<int>(
            {4, stored, 2, 4, 4, 64, 8, 49, 1, 0x40, 0x0C, 0x20, NoteKeyOff, 0, 128, 4, 0, 64}));
    // 8-bit frames scaled to 16 bits; past the forward loop the loop start's value; fadeout
    // doubled; envelope values taken as 64 at most.
    const ModuleInstrument& a = song->Instruments[0];
    const ModuleSample& s8 = *a.Samples[0];
    EXPECT_EQ(std::vector<int>({s8.Bits, s8.LoopMode, s8.Data[0], s8.Data[4], s8.Data[5],
                                s8.Finetune, s8.RelativeNote, int(s8.DefaultPanning), a.Fadeout,
                                a.VolumeType, a.VolumePoints[0].Value}),
              std::vector<int>({16, 2, 16 * 256, -16 * 256, 16 * 256, -16, 12, 200, 0x1000,
                                EnvelopeOn | EnvelopeSustain, 64}));
    // 16-bit: 10 bytes are 5 frames, loop points halved alike; past the ping-pong loop its last
    // value, then 0. Wrapped deltas; a loop of length 0 is none; one point is no envelope.
    const ModuleSample &s16 = *song->Instruments[1].Samples[0],
                       &w = *song->Instruments[3].Samples[0];
    const ModuleInstrument& d = song->Instruments[3];
    EXPECT_EQ(
        std::vector<int>({int(s16.Length), int(s16.LoopStart), int(s16.LoopLength), s16.LoopMode,
                          s16.Data[3], s16.Data[4], s16.Data[5], w.Data[0], w.Data[1], w.Data[2],
                          w.LoopMode, int(w.LoopStart), int(w.LoopLength), d.VolumeType,
                          d.PanningPoints[0].Value, d.PanningPoints[1].Value}),
        std::vector<int>({5, 1, 3, 4, 4000, 4000, 0, 4096, 8192, 4096, 1, 0, 3, 0, 64, 32}));
    EXPECT_EQ(std::vector<const ModuleSample*>({a.Samples[1], song->Instruments[2].Samples[0],
                                                song->Instruments[2].Samples[15]}),
              std::vector<const ModuleSample*>(3, &EmptySample));
    EXPECT_EQ(song->Instruments[2].SampleCount, 0u);
    ReleaseSong(song);
  }
}

// Every truncation and a flipped bit in any byte of the signature are refused.
TEST(ModuleLoader, RefusesTruncationsAndWrongSignatures) {
  const std::vector<uint8_t> image = WriteXm(ReferenceSong());
  for (size_t n = 0; n < image.size() + 17; ++n) {
    std::vector<uint8_t> bad(image.begin(), image.begin() + long(std::min(n, image.size())));
    if (n >= image.size()) bad[n - image.size()] ^= 0x01;
    EXPECT_EQ(Load(bad), nullptr) << (n < image.size() ? "length " : "signature byte ")
                                  << n % image.size();
  }
}

// Each field at the values the loader accepts at its limits and one beyond, in a song of one
// empty pattern and an instrument whose volume envelope has two points, a sustain and a loop.
TEST(ModuleLoader, FieldsAtTheirLimitsAndOneBeyond) {
  static constexpr auto Env = [](XmModule& d) -> XmEnvelope& {
    return d.Instruments[0].VolumeEnvelope;
  };
  const struct {
    const char *name, *acceptedRefused;
    void (*set)(XmModule&, int);
  } cases[] = {
      {"channels", "32 33 1 0", [](XmModule& d, int n) { d.Channels = n; }},
      {"song length", "256 257 1 0", [](XmModule& d, int n) { d.Orders.assign(size_t(n), 0); }},
      {"patterns", "256 257",
       [](XmModule& d, int n) {
         d.Patterns.resize(size_t(n), {1, {}});
       }},
      {"rows", "256 257 1 0", [](XmModule& d, int n) { d.Patterns[0].Rows = n; }},
      {"instruments", "128 129", [](XmModule& d, int n) { d.Instruments.resize(size_t(n)); }},
      {"samples", "16 17", [](XmModule& d, int n) { d.Instruments[0].Samples.resize(size_t(n)); }},
      {"BPM", "255 256 1 0", [](XmModule& d, int n) { d.Bpm = n; }},
      {"speed", "255 256", [](XmModule& d, int n) { d.Speed = n; }},
      {"note", "97 98", [](XmModule& d, int n) { d.Patterns[0].At(3, 0, 1) = Cell(uint8_t(n)); }},
      {"envelope points", "12 13",
       [](XmModule& d, int n) {
         Env(d).Points.resize(size_t(n), {8, 0});
       }},
      {"sustain point", "1 2", [](XmModule& d, int n) { Env(d).Sustain = uint8_t(n); }},
      {"loop point", "1 2", [](XmModule& d, int n) { Env(d).LoopEnd = uint8_t(n); }},
      {"sample loop start", "0 1",
       [](XmModule& d, int n) { d.Instruments[0].Samples[0].LoopStart = uint32_t(n); }},
  };
  for (const auto& k : cases) {
    const std::vector<int32_t> values = Ints(k.acceptedRefused);
    for (size_t i = 0; i < values.size(); ++i) {
      XmModule desc;
      std::tie(desc.Instruments, desc.Patterns) =
          std::tuple(std::vector{SineInstrument()}, std::vector<XmPattern>{{16, {}}});
      Env(desc) = {{{0, 64}, {8, 0}}, EnvelopeOn | EnvelopeSustain | EnvelopeLoop};
      k.set(desc, values[i]);
      const ModuleSong* song = Load(WriteXm(desc));
      EXPECT_EQ(song != nullptr, i % 2 == 0) << k.name << " " << values[i];
      ReleaseSong(song);
    }
  }
}

// The pattern header at 336 (length 9, packing 0, rows, packed size): packed data that over- or
// underruns its rows is refused; a longer header is skipped, unless it reaches past the file.
TEST(ModuleLoader, PatternHeaders) {
  const std::vector<uint8_t> image = WriteXm(Song("N,,, =", 4));
  const size_t header = 60 + 276;
  ASSERT_EQ(std::vector<uint8_t>(image.begin() + header, image.begin() + header + 6),
            std::vector<uint8_t>({9, 0, 0, 0, 0, 4}));
  for (const auto& [at, value] : {std::pair{5, 5}, {5, 3}, {2, 1}}) {
    std::vector<uint8_t> bad = image;
    bad[header + size_t(at)] = uint8_t(value);
    EXPECT_EQ(Load(bad), nullptr) << at << " " << value;
  }
  std::vector<uint8_t> longer = image;
  longer[header] = 13;
  longer.insert(longer.begin() + long(header + 9), {0xFF, 0xFF, 0xFF, 0xFF});
  const ModuleSong* song = Load(longer);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(std::vector<int>({int(song->Patterns[0].RowCount), song->Patterns[0].Cells[0].Note,
                              song->Patterns[0].Cells[3].Note,
                              int(song->Instruments[0].Samples[0]->Length)}),
            std::vector<int>({4, 49, NoteKeyOff, 32}));
  ReleaseSong(song);
}
