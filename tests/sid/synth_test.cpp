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
  Write(*m, {{v, frequency & 0xFF},
             {v + 1, frequency >> 8},
             {v + 6, 0x40},
             {24, 1},
             {v + 4, waveform | 1}});
  Render(*m, 1000);
  EXPECT_EQ(m->Oscillator[voice].EnvelopeLevel, 0x400000);
  return m;
}

// The rate tables for 44,100 Hz at their ends; the noise sequence from its seed (frequency $6000
// moves accumulator >> 23 every sample, so the noise steps once per sample, whatever waveform is
// heard: here the sawtooth); the filter coefficient, (cutoff high byte x 16 + the low byte's 3
// bits) x 32 held at 65,536, and the resonance from the top nibble of register 23, 307 at 0 down to
// 153.
TEST(Synth, RateTablesNoiseSequenceAndFilterCoefficients) {
  auto m = NewMachine();
  EXPECT_EQ(
      std::vector<int>({int(m->FrequencyMultiplier), int(m->FilterMultiplier), m->AttackRate[0],
                        m->AttackRate[15], m->DecayReleaseRate[0], m->DecayReleaseRate[15]}),
      std::vector<int>({359, 32, 168867, 48, 42660, 15}));
  Write(*m, {{1, 0x60}, {4, 0x21}});
  std::vector<int> noise;
  for (int i = 0; i < 24; ++i) noise.push_back((Render(*m, 1), m->Oscillator[0].NoiseOutput));
  EXPECT_EQ(noise, std::vector<int>({0xFF, 0xFF, 0xFE, 0xFE, 0xFC, 0xFC, 0xFC, 0xF8,
                                     0xF8, 0xF8, 0xF8, 0xF0, 0xF0, 0xE0, 0xE0, 0xE0,
                                     0xC0, 0xC0, 0xC0, 0xC0, 0x81, 0x81, 0x03, 0x03}));
  const int filter[][5] = {{0x00, 0x80, 0x00, 65536, 307},
                           {0xFF, 0x7F, 0xF0, (127 * 16 + 7) * 32, 153}};
  for (const auto& r : filter) {
    Write(*m, {{21, r[0]}, {22, r[1]}, {23, r[2]}});
    SynthRender(*m, nullptr, 0);
    EXPECT_EQ(m->Filter.Cutoff * 1000 + m->Filter.Resonance, r[3] * 1000 + r[4]) << r[1];
  }
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
      // Voice 3 at $4000 wraps every 45.6 samples and resets voice 1 (before its own wrap).
      {"synced by voice 3", 0, 0x2000, 0x22, {{15, 0x40}}, 2000, Falls, 43, 45},
      {"test bit holds the accumulator", 0, 0x2345, 0x28, {}, 2000, -128, 2000, 2000},
      {"filtered, no filter mode", 0, 0x1000, 0x20, {{23, 1}}, 2000, 0, 2000, 2000},
      {"low pass", 0, 0x1000, 0x20, {{23, 1}, {22, 0x10}, {24, 0x11}}, 2000, Loud, 500, 2000},
      {"volume 15", 0, 0x1000, 0x00, {{24, 0x0F}}, 100, 127 * 15, 100, 100},
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
    EXPECT_TRUE(n >= r.low && n <= r.high) << r.name << ": " << n;
  }
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
      {{{6, 0x40}, {4, 1}}, 1000, SidEnvelopeSustain, 0x400000},
      {{{6, 0x80}}, 2, SidEnvelopeSustain, 0x800000},  // a higher sustain is reached at once
      {{{5, 0x09}, {6, 0x40}}, 8290, SidEnvelopeDecay, 0x800000 - 8289 * 506},  // a lower one
      {{}, 1, SidEnvelopeSustain, 0x400000},  // at the decay rate (after a sample to notice)
  };
  auto m = NewMachine();
  for (const auto& s : steps) {
    Write(*m, s.writes);
    Render(*m, s.samples);
    const SidOscillator& o = m->Oscillator[0];
    EXPECT_EQ(std::vector<int>({o.EnvelopePhase, o.EnvelopeLevel}),
              std::vector<int>({s.phase, s.level}))
        << "step " << &s - steps;
  }
}

// Ring modulation inverts the triangle (255 - output, so sample -1 - sample) while voice 3 is in
// its lower half: always when it stands at frequency 0, not always once it runs.
TEST(Synth, RingModulationInvertsTheTriangle) {
  auto plain = Probe(0, 0x0800, 0x10), ring = Probe(0, 0x0800, 0x14);
  for (bool running : {false, true}) {
    for (auto* m : {plain.get(), ring.get()}) Write(*m, {{15, running ? 0x01 : 0x00}});
    std::vector<int16_t> a = Render(*plain, 20000);
    for (int16_t& v : a) v = static_cast<int16_t>(-1 - v);
    EXPECT_EQ(a == Render(*ring, 20000), !running);
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
  EXPECT_GT(std::count(s.begin(), s.end(), 32767), 100);
  EXPECT_GT(std::count(s.begin(), s.end(), -32768), 100);
  for (size_t i = 1; i < s.size(); ++i) ASSERT_LT(std::abs(s[i] - s[i - 1]), 50000) << i;
}

// The sample channel alone (volume 0): each nibble's level (nibble - 7) x 1024 is heard from the
// sample after it was fetched. A period of 22 fetches a nibble every sample (985248 / 22 > 44100),
// 100 every 4.48 samples; 0 is silent. Order 0 takes the high nibble first, 1 the low one; past
// the end the channel returns to the repeat address ($4001) while repeats are left, then adds
// nothing. Control $FE and $FF start the latched sample, $FD stops it, others only latch.
TEST(SampleChannel, NibblesPeriodsOrderRepeatsControlAndInit) {
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;  // at $4000
    int period, order, repeats;
    std::vector<uint8_t> controls;
    std::vector<int16_t> heard;
  } rows[] = {
      {"order 0", {0x9F, 0x08, 0x3C}, 22, 0, 0, {0xFF}, {0, 2048, 1024, -7168, 5120, -4096, 0, 0}},
      {"order 1, repeat", {0x11, 0x2A}, 22, 1, 1, {0xFE}, {0, -5120, 3072, -5120, 3072, 0, 0}},
      {"period 100", {0xFF, 0xFF}, 100, 0, 0, {0xFF}, {0, 0, 0, 0, 0, 8192, 8192}},
      {"period 0", {0xFF, 0xFF}, 0, 0, 0, {0xFF}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"$42 keeps it", {0xFF, 0xFF}, 22, 0, 0, {0xFF, 0x42}, {0, 8192, 8192}},
      {"$FD stops", {0xFF, 0xFF}, 22, 0, 0, {0xFF, 0xFD}, {0, 0, 0}},
      {"$00 latches", {0xFF, 0xFF}, 22, 0, 0, {0x00}, {0, 0, 0}},
  };
  for (const auto& r : rows) {
    auto m = NewMachine();
    std::copy(r.bytes.begin(), r.bytes.end(), m->Ram + 0x4000);
    const int end = 0x4000 + int(r.bytes.size());
    const int writes[][2] = {{0xD41E, 0x00},     {0xD41F, 0x40},      {0xD43D, end},
                             {0xD43E, end >> 8}, {0xD45D, r.period},  {0xD45E, r.period >> 8},
                             {0xD47D, r.order},  {0xD43F, r.repeats}, {0xD47E, 0x01},
                             {0xD47F, 0x40}};
    for (const auto& w : writes) MemoryWrite(*m, uint16_t(w[0]), uint8_t(w[1]));
    for (uint8_t c : r.controls) MemoryWrite(*m, 0xD41D, c);
    EXPECT_EQ(Render(*m, int(r.heard.size())), r.heard) << r.name;
  }
  auto m = NewMachine();  // the level outlives MachineInit: it belongs to the program
  m->Sample.CurrentLevel = 3072;
  MachineInit(*m, MixRate);
  EXPECT_EQ(m->Sample.CurrentLevel, 3072);
}

}  // namespace
