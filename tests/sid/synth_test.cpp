// SID synthesis on known register programs.
//
// Most tests use a "probe": one voice gated with attack 0, decay 0 and sustain $4 settles at the
// envelope level $400000 = 2^22, where ((output - 128) x level) >> 22 is exactly output - 128;
// with volume 1 and nothing filtered each sample is then that voice's 8-bit waveform minus 128.
// The other voices are never gated: they rise and decay to level 0 during the warm-up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "tests/sid/sid_test_util.h"

namespace {

using Writes = std::vector<std::pair<int, int>>;  // register, value

void Write(SidMachine& m, const Writes& writes) {
  for (auto [reg, value] : writes) SidWriteRegister(m, uint32_t(reg), uint8_t(value));
}

std::unique_ptr<SidMachine> Probe(int voice, uint16_t frequency, uint8_t waveform) {
  auto m = NewMachine();
  const int v = 7 * voice;
  Write(*m, {{v, frequency & 0xFF}, {v + 1, frequency >> 8}, {v + 6, 0x40}, {24, 1}});
  Write(*m, {{v + 4, waveform | 1}});
  Render(*m, 1000);
  EXPECT_EQ(m->Oscillator[voice].EnvelopeLevel, 0x400000);
  EXPECT_EQ(m->Oscillator[(voice + 1) % 3].EnvelopeLevel, 0);
  return m;
}

TEST(Synth, InitBuildsTheRateTablesFor44100) {
  auto m = NewMachine();
  EXPECT_EQ(m->FrequencyMultiplier, 359u);
  EXPECT_EQ(m->FilterMultiplier, 32u);
  EXPECT_EQ(std::vector<int32_t>(m->AttackRate, m->AttackRate + 16),
            std::vector<int32_t>({168867, 47495, 24124, 15998, 10200, 6908, 5692, 4855, 3877, 1555,
                                  777, 486, 389, 129, 77, 48}));
  EXPECT_EQ(std::vector<int32_t>(m->DecayReleaseRate, m->DecayReleaseRate + 16),
            std::vector<int32_t>({42660, 15468, 7857, 5210, 3322, 2250, 1853, 1581, 1262, 506, 253,
                                  158, 126, 42, 25, 15}));
  for (const SidOscillator& o : m->Oscillator) EXPECT_EQ(o.NoiseRegister, 0xFFFFFFu);
}

// Each row: a probe, more register writes, then `count` samples, of which between `low` and
// `high` must equal `value` (or, for Falls, drop like a sawtooth's wrap; for Loud, exceed 60).
TEST(Synth, WaveformsFilterRoutingAndVolume) {
  constexpr int Falls = 100000, Loud = 100001;
  const struct {
    const char* name;
    int voice, frequency, waveform;
    Writes writes;
    int count, value, low, high;
  } rows[] = {
      {"no waveform: 255", 0, 0x1000, 0x00, {}, 2000, 127, 2000, 2000},
      {"sawtooth at $1000: 241.6 wraps a second", 0, 0x1000, 0x20, {}, 44100, Falls, 241, 242},
      // The accumulator exceeds a width of 0 except when exactly 0: every 65536 samples here.
      {"pulse width 0", 0, 0x1000, 0x40, {}, 65536, -128, 65535, 65535},
      {"pulse width $FFF", 0, 0x1000, 0x40, {{2, 0xFF}, {3, 0x0F}}, 100000, 127, 99950, 99990},
      {"pulse width $F800 is $800", 0, 0x1000, 0x40, {{3, 0xF8}}, 100000, 127, 49400, 50600},
      {"test bit holds the accumulator", 0, 0x2345, 0x28, {}, 2000, -128, 2000, 2000},
      {"filtered, no filter mode", 0, 0x1000, 0x20, {{23, 1}}, 2000, 0, 2000, 2000},
      {"low pass", 0, 0x1000, 0x20, {{23, 1}, {22, 0x10}, {24, 0x11}}, 2000, Loud, 500, 2000},
      {"volume 0", 0, 0x1000, 0x20, {{24, 0}}, 2000, 0, 2000, 2000},
      {"volume 15", 0, 0x1000, 0x00, {{24, 0x0F}}, 100, 127 * 15, 100, 100},
      {"voice 3", 2, 0x1000, 0x00, {}, 100, 127, 100, 100},
      {"voice 3 off, filtered too", 2, 0x1000, 0x00, {{23, 4}, {24, 0xF1}}, 2000, 0, 2000, 2000},
  };
  for (const auto& r : rows) {
    auto m = Probe(r.voice, uint16_t(r.frequency), uint8_t(r.waveform));
    Write(*m, r.writes);
    const std::vector<int16_t> s = Render(*m, r.count);
    int n = 0;
    for (size_t i = 0; i < s.size(); ++i) {
      n += r.value == Falls  ? i > 0 && s[i] < s[i - 1] - 100
           : r.value == Loud ? std::abs(s[i]) > 60
                             : s[i] == r.value;
    }
    EXPECT_GE(n, r.low) << r.name;
    EXPECT_LE(n, r.high) << r.name;
  }
}

// Frequency $6000 moves accumulator >> 23 every sample, so the noise steps once per sample, and
// it steps whatever waveform is heard (here the sawtooth).
TEST(Synth, NoiseSequenceFromTheSeed) {
  auto m = NewMachine();
  Write(*m, {{1, 0x60}, {4, 0x21}});
  std::vector<int> heard;
  for (int i = 0; i < 24; ++i) {
    Render(*m, 1);
    heard.push_back(m->Oscillator[0].NoiseOutput);
  }
  EXPECT_EQ(heard, std::vector<int>({0xFF, 0xFF, 0xFE, 0xFE, 0xFC, 0xFC, 0xFC, 0xF8,
                                     0xF8, 0xF8, 0xF8, 0xF0, 0xF0, 0xE0, 0xE0, 0xE0,
                                     0xC0, 0xC0, 0xC0, 0xC0, 0x81, 0x81, 0x03, 0x03}));
}

// Voice 1's envelope through register writes and renders, from a fresh machine (attack, decay,
// sustain and release 0; phase attack at level 0).
TEST(Synth, EnvelopeSteps) {
  const struct {
    Writes writes;
    int samples, phase, level;
  } steps[] = {
      {{}, 99, SidEnvelopeAttack, 99 * 168867},  // attack 0 takes 100 samples
      {{}, 1, SidEnvelopeDecay, 0xFFFFFF},
      {{{4, 1}}, 0, SidEnvelopeDecay, 0xFFFFFF},  // gate set outside release: no retrigger
      {{{4, 0}}, 0, SidEnvelopeRelease, 0xFFFFFF},
      {{{4, 1}}, 0, SidEnvelopeAttack, 0xFFFFFF},  // gate set in release restarts the attack
      {{{6, 0x0F}, {4, 0}}, 1101004, SidEnvelopeRelease, 0xFFFFFF - 1101004 * 15},
      {{}, 1, SidEnvelopeRelease, 0x40000},  // then the floor
      {{}, 10, SidEnvelopeRelease, 0x40000},
      {{{6, 0x40}, {4, 1}}, 1000, SidEnvelopeSustain, 0x400000},
      {{{6, 0x80}}, 2, SidEnvelopeSustain, 0x800000},  // a higher sustain is reached at once
      {{{5, 0x09}, {6, 0x40}}, 8290, SidEnvelopeDecay, 0x800000 - 8289 * 506},  // a lower one
      {{}, 1, SidEnvelopeSustain, 0x400000},  // at the decay rate (after a sample to notice)
  };
  auto m = NewMachine();
  int row = 0;
  for (const auto& s : steps) {
    Write(*m, s.writes);
    Render(*m, s.samples);
    EXPECT_EQ(m->Oscillator[0].EnvelopePhase, s.phase) << "step " << row;
    EXPECT_EQ(m->Oscillator[0].EnvelopeLevel, s.level) << "step " << row++;
  }
}

// Cutoff (high byte x 16 + the low byte's 3 bits) x 32, held at 65,536; resonance from the top
// nibble of register 23, 307 at 0 down to 153 at 15.
TEST(Synth, FilterCoefficientAndResonance) {
  const int rows[][5] = {{0x00, 0x80, 0x00, 65536, 307},
                         {0x07, 0xFF, 0x00, 65536, 307},
                         {0xFF, 0x7F, 0xF0, (127 * 16 + 7) * 32, 153}};
  for (const auto& r : rows) {
    auto m = NewMachine();
    Write(*m, {{21, r[0]}, {22, r[1]}, {23, r[2]}});
    SynthRender(*m, nullptr, 0);
    EXPECT_EQ(m->Filter.Cutoff, r[3]) << r[1] << " " << r[0];
    EXPECT_EQ(m->Filter.Resonance, r[4]) << r[2];
  }
}

// Voice 1 (sawtooth at $0100) is synced by voice 3 ($4000, a wrap every 45.6 samples) and takes
// its phase, scaled; voice 2 is synced by voice 1 of the same sample. The products wrap at 32
// bits on purpose.
TEST(Synth, HardSyncResetsToTheReferencePhase) {
  auto m = Probe(0, 0x0100, 0x22);
  Write(*m, {{15, 0x40}, {8, 0x01}, {11, 0x02}});
  Render(*m, 1);
  int syncs = 0;
  for (int i = 0; i < 2000; ++i) {
    const SidOscillator before1 = m->Oscillator[0], before3 = m->Oscillator[2];
    Render(*m, 1);
    const SidOscillator &o1 = m->Oscillator[0], &o2 = m->Oscillator[1];
    const bool sync = before3.Accumulator < before3.Increment;
    syncs += sync;
    ASSERT_EQ(o1.Accumulator, sync ? before3.Accumulator * o1.Increment / before3.Increment
                                   : (before1.Accumulator + o1.Increment) & 0x0FFFFFFF)
        << i;
    if (o1.Accumulator < o1.Increment) {
      ASSERT_EQ(o2.Accumulator, uint32_t(o1.Accumulator * o2.Increment) / o1.Increment) << i;
    }
  }
  EXPECT_GE(syncs, 43);
  EXPECT_LE(syncs, 44);
}

// Ring modulation inverts the triangle (255 - output, so sample -1 - sample) while voice 3 is in
// its lower half: always when it stands at frequency 0, about half the time when it runs.
TEST(Synth, RingModulationInvertsTheTriangle) {
  for (int f3 : {0x0000, 0x0123}) {
    auto plain = Probe(0, 0x0800, 0x10), ring = Probe(0, 0x0800, 0x14);
    Write(*plain, {{14, f3 & 0xFF}, {15, f3 >> 8}});
    Write(*ring, {{14, f3 & 0xFF}, {15, f3 >> 8}});
    const std::vector<int16_t> a = Render(*plain, 20000), b = Render(*ring, 20000);
    int same = 0, inverted = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      same += b[i] == a[i];
      inverted += b[i] == -1 - a[i];
    }
    EXPECT_EQ(same + inverted, 20000) << f3;
    EXPECT_GT(inverted, 5000) << f3;
    EXPECT_TRUE(f3 == 0 ? same == 0 : same > 5000) << f3 << ": " << same;
  }
}

// Three pulse voices in phase through the low pass at full resonance and volume 15 overshoot
// the 16-bit range on every edge. The samples clip at the rails; kept as their low 16 bits they
// would jump by about 65536 from one sample to the next, a full-scale click.
TEST(Synth, AMixBeyondSixteenBitsClipsInsteadOfWrapping) {
  auto m = NewMachine();
  for (int v = 0; v < 21; v += 7) Write(*m, {{v + 1, 2}, {v + 3, 8}, {v + 6, 0xF0}, {v + 4, 0x41}});
  Write(*m, {{22, 0x10}, {23, 0xF7}, {24, 0x1F}});
  const std::vector<int16_t> s = Render(*m, 44100);
  int atTop = 0, atBottom = 0, clicks = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    atTop += s[i] == 32767;
    atBottom += s[i] == -32768;
    clicks += i > 0 && std::abs(s[i] - s[i - 1]) > 50000;
  }
  EXPECT_GT(atTop, 100);
  EXPECT_GT(atBottom, 100);
  EXPECT_EQ(clicks, 0);
}

void LatchSample(SidMachine& m, uint16_t start, uint16_t end, uint16_t period, uint8_t order,
                 uint8_t repeats, uint16_t repeat, uint8_t control) {
  const int writes[][2] = {{0xD41E, start},       {0xD41F, start >> 8}, {0xD43D, end},
                           {0xD43E, end >> 8},    {0xD45D, period},     {0xD45E, period >> 8},
                           {0xD47D, order},       {0xD43F, repeats},    {0xD47E, repeat},
                           {0xD47F, repeat >> 8}, {0xD41D, control}};
  for (const auto& w : writes) MemoryWrite(m, uint16_t(w[0]), uint8_t(w[1]));
}

// The sample channel alone (volume 0): each nibble's level (nibble - 7) x 1024 is heard from the
// sample after it was fetched. A period of 22 fetches a nibble every sample (985248 / 22 > 44100),
// 100 every 4.48 samples; 0 is silent. Order 0 takes the high nibble first, 1 the low one; past
// the end the channel returns to the repeat address while repeats are left, then adds nothing.
TEST(SampleChannel, NibblesPeriodsOrderAndRepeats) {
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;  // at $4000
    uint16_t period;
    uint8_t order, repeats, control;
    std::vector<int16_t> heard;
  } rows[] = {
      {"order 0", {0x9F, 0x08, 0x3C}, 22, 0, 0, 0xFF, {0, 2048, 1024, -7168, 5120, -4096, 0, 0}},
      {"order 1, repeat", {0x11, 0x2A}, 22, 1, 1, 0xFE, {0, -5120, 3072, -5120, 3072, 0, 0}},
      {"period 100", {0xFF, 0xFF}, 100, 0, 0, 0xFF, {0, 0, 0, 0, 0, 8192, 8192}},
      {"period 0", {0xFF, 0xFF}, 0, 0, 0, 0xFF, {0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& r : rows) {
    auto m = NewMachine();
    std::copy(r.bytes.begin(), r.bytes.end(), m->Ram + 0x4000);
    LatchSample(*m, 0x4000, uint16_t(0x4000 + r.bytes.size()), r.period, r.order, r.repeats, 0x4001,
                r.control);
    EXPECT_EQ(Render(*m, int(r.heard.size())), r.heard) << r.name;
  }
}

TEST(SampleChannel, ControlValuesMirrorsAndInit) {
  auto m = NewMachine();
  LatchSample(*m, 0x4000, 0x4004, 22, 0, 0, 0, 0x00);  // copies the latches, stays inactive
  EXPECT_EQ(std::vector<int>({m->Sample.Start, m->Sample.End, m->Sample.Active}),
            std::vector<int>({0x4000, 0x4004, 0}));
  const int controls[][2] = {{0xFE, 1}, {0x42, 1}, {0xFD, 0}, {0xFF, 1}};
  for (const auto& c : controls) {
    MemoryWrite(*m, 0xD41D, uint8_t(c[0]));
    EXPECT_EQ(m->Sample.Active, c[1]) << c[0];  // other values keep the flag
  }
  // A mirror of a latch address is a plain register write, and $D45F changes nothing.
  MemoryWrite(*m, 0xD49E, 0x12);
  MemoryWrite(*m, 0xD45F, 0x77);
  EXPECT_EQ(m->Sample.LatchStart, 0x4000);
  EXPECT_EQ(m->Ram[0xD45F], 0);
  // The level survives MachineInit (it belongs to the program, not to one tune).
  m->Sample.CurrentLevel = 3072;
  MachineInit(*m, MixRate);
  EXPECT_EQ(m->Sample.CurrentLevel, 3072);
  EXPECT_EQ(m->Sample.Active, 0);
}

}  // namespace
