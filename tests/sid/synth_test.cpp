// SID synthesis on known register programs.
//
// Most tests use a "probe": voice 1 gated with attack 0, decay 0 and sustain $4 settles at the
// envelope level $400000 = 2^22, where ((output - 128) x level) >> 22 is exactly output - 128;
// with volume 1 and nothing filtered each sample is then voice 1's 8-bit waveform minus 128.
// Voices 2 and 3 are never gated: they rise and decay to level 0 during the warm-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "tests/sid/sid_test_util.h"

namespace {

void Write(SidMachine& m, uint32_t reg, uint8_t value) {
  SidWriteRegister(m, reg, value);
}

void SetFrequency(SidMachine& m, int voice, uint16_t f) {
  Write(m, voice * 7 + 0, static_cast<uint8_t>(f));
  Write(m, voice * 7 + 1, static_cast<uint8_t>(f >> 8));
}

void SetPulseWidth(SidMachine& m, int voice, uint16_t w) {
  Write(m, voice * 7 + 2, static_cast<uint8_t>(w));
  Write(m, voice * 7 + 3, static_cast<uint8_t>(w >> 8));
}

std::vector<int16_t> Render(SidMachine& m, int count) {
  std::vector<int16_t> s(static_cast<size_t>(count));
  SynthRender(m, s.data(), count);
  return s;
}

// Voice 1 with the given frequency and waveform bits (gate added), settled at level 2^22.
std::unique_ptr<SidMachine> Probe(uint16_t frequency, uint8_t waveform) {
  auto m = NewMachine();
  SetFrequency(*m, 0, frequency);
  Write(*m, 5, 0x00);   // attack 0, decay 0
  Write(*m, 6, 0x40);   // sustain 4 -> level $400000
  Write(*m, 24, 0x01);  // volume 1, no filter modes
  Write(*m, 4, static_cast<uint8_t>(waveform | 0x01));
  Render(*m, 1000);
  EXPECT_EQ(m->Oscillator[0].EnvelopeLevel, 0x400000);
  EXPECT_EQ(m->Oscillator[2].EnvelopeLevel, 0);
  return m;
}

TEST(Synth, InitBuildsTheRateTablesFor44100) {
  auto m = NewMachine();
  EXPECT_EQ(m->FrequencyMultiplier, 359u);
  EXPECT_EQ(m->FilterMultiplier, 32u);
  const int32_t attack[16] = {168867, 47495, 24124, 15998, 10200, 6908, 5692, 4855,
                              3877,   1555,  777,   486,   389,   129,  77,   48};
  const int32_t decay[16] = {42660, 15468, 7857, 5210, 3322, 2250, 1853, 1581,
                             1262,  506,   253,  158,  126,  42,   25,   15};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(m->AttackRate[i], attack[i]) << i;
    EXPECT_EQ(m->DecayReleaseRate[i], decay[i]) << i;
  }
  for (const SidOscillator& o : m->Oscillator) EXPECT_EQ(o.NoiseRegister, 0xFFFFFFu);
}

TEST(Synth, RegisterWritesReplaceHalvesAndIgnoreTheTop) {
  auto m = NewMachine();
  Write(*m, 14, 0x34);
  Write(*m, 15, 0x12);
  Write(*m, 14, 0x78);
  EXPECT_EQ(m->Registers.Voice[2].Frequency, 0x1278);
  Write(*m, 21, 1);
  Write(*m, 22, 2);
  Write(*m, 23, 3);
  Write(*m, 24, 4);
  for (uint32_t reg = 25; reg < 32; ++reg) Write(*m, reg, 0xFF);
  EXPECT_EQ(m->Registers.CutoffLow, 1);
  EXPECT_EQ(m->Registers.CutoffHigh, 2);
  EXPECT_EQ(m->Registers.ResonanceRouting, 3);
  EXPECT_EQ(m->Registers.ModeVolume, 4);
}

TEST(Synth, AccumulatorRateGivesThePitch) {
  // Frequency $1000: 4096 x 359 = 1470464 per sample, a wrap every 182.55 samples (241.6 Hz).
  auto m = Probe(0x1000, 0x20);
  EXPECT_EQ(m->Oscillator[0].Increment, 1470464u);
  std::vector<int16_t> s = Render(*m, 441000);
  int wraps = 0;
  for (size_t i = 1; i < s.size(); ++i) wraps += s[i] < s[i - 1] - 100;  // sawtooth falls
  EXPECT_GE(wraps, 2415);
  EXPECT_LE(wraps, 2416);
}

TEST(Synth, NoWaveformGivesAConstantOffset) {
  auto m = Probe(0x1000, 0x00);
  for (int16_t v : Render(*m, 2000)) ASSERT_EQ(v, 127);  // ((255 - 128) x 2^22) >> 22
}

TEST(Synth, PulseWidthExtremes) {
  {  // Width 0: the accumulator is above the threshold except when exactly 0, which at this
     // frequency happens every 65536 samples (4096 x 359 x 65536 = 359 x 2^28).
    auto m = Probe(0x1000, 0x40);
    SetPulseWidth(*m, 0, 0x000);
    std::vector<int16_t> s = Render(*m, 65536);
    EXPECT_EQ(std::count(s.begin(), s.end(), -128), 65535);
  }
  {  // Width $FFF: high except in the top 1/4096 of the cycle (about 24 of 100000 samples).
    auto m = Probe(0x1000, 0x40);
    SetPulseWidth(*m, 0, 0xFFF);
    int low = 0;
    for (int16_t v : Render(*m, 100000)) {
      ASSERT_TRUE(v == 127 || v == -128);
      low += v == -128;
    }
    EXPECT_GE(low, 10);
    EXPECT_LE(low, 50);
  }
  {  // The upper 4 bits of the width are ignored: $F800 is a half duty cycle like $0800.
    auto m = Probe(0x1000, 0x40);
    SetPulseWidth(*m, 0, 0xF800);
    int high = 0;
    for (int16_t v : Render(*m, 100000)) high += v == 127;
    EXPECT_NEAR(high, 50000, 600);  // whole samples per cycle: up to one off each
  }
}

TEST(Synth, TestBitHoldsAccumulatorAndNoise) {
  auto m = Probe(0x2345, 0x88);  // noise + test
  Render(*m, 500);
  EXPECT_EQ(m->Oscillator[0].Accumulator, 0u);
  EXPECT_EQ(m->Oscillator[0].NoiseRegister, 0xFFFFFFu);
}

TEST(Synth, NoiseSequenceFromTheSeed) {
  // Frequency $6000 moves accumulator >> 23 every sample, so the noise steps once per sample.
  auto m = NewMachine();
  SetFrequency(*m, 0, 0x6000);
  Write(*m, 4, 0x81);
  const uint8_t expected[24] = {0xFF, 0xFF, 0xFE, 0xFE, 0xFC, 0xFC, 0xFC, 0xF8,
                                0xF8, 0xF8, 0xF8, 0xF0, 0xF0, 0xE0, 0xE0, 0xE0,
                                0xC0, 0xC0, 0xC0, 0xC0, 0x81, 0x81, 0x03, 0x03};
  for (uint8_t e : expected) {
    Render(*m, 1);
    EXPECT_EQ(m->Oscillator[0].NoiseOutput, e);
  }
  // The register steps whatever waveform is heard: switching noise on later continues it.
  auto saw = NewMachine();
  SetFrequency(*saw, 0, 0x6000);
  Write(*saw, 4, 0x21);
  Render(*saw, 10);
  EXPECT_NE(saw->Oscillator[0].NoiseRegister, 0xFFFFFFu);
}

TEST(Synth, EnvelopeSteps) {
  auto m = NewMachine();
  // Phases start at attack with level 0. Attack 0 takes 100 samples: 99 x 168867 < $FFFFFF.
  Render(*m, 99);
  EXPECT_EQ(m->Oscillator[0].EnvelopePhase, SidEnvelopeAttack);
  EXPECT_EQ(m->Oscillator[0].EnvelopeLevel, 99 * 168867);
  Render(*m, 1);
  EXPECT_EQ(m->Oscillator[0].EnvelopePhase, SidEnvelopeDecay);
  EXPECT_EQ(m->Oscillator[0].EnvelopeLevel, 0xFFFFFF);

  // Gate set outside release does not retrigger; gate clear releases; gate set restarts attack.
  Write(*m, 4, 0x01);
  EXPECT_EQ(m->Oscillator[0].EnvelopePhase, SidEnvelopeDecay);
  Write(*m, 4, 0x00);
  EXPECT_EQ(m->Oscillator[0].EnvelopePhase, SidEnvelopeRelease);
  Write(*m, 4, 0x01);
  EXPECT_EQ(m->Oscillator[0].EnvelopePhase, SidEnvelopeAttack);

  // Release 15 (step 15) from $FFFFFF reaches the floor $40000 after 1,101,005 samples:
  // (16777215 - 262144) / 15 = 1101004.7.
  Write(*m, 6, 0x0F);
  Write(*m, 4, 0x00);
  m->Oscillator[0].EnvelopeLevel = 0xFFFFFF;
  Render(*m, 1101004);
  EXPECT_EQ(m->Oscillator[0].EnvelopeLevel, 0xFFFFFF - 1101004 * 15);
  Render(*m, 1);
  EXPECT_EQ(m->Oscillator[0].EnvelopeLevel, 0x40000);
  Render(*m, 10);
  EXPECT_EQ(m->Oscillator[0].EnvelopeLevel, 0x40000);
}

TEST(Synth, SustainChangesDownAtDecayRateAndUpAtOnce) {
  auto m = Probe(0x1000, 0x20);
  Write(*m, 6, 0x80);  // sustain up to $800000: reached within two samples
  Render(*m, 2);
  EXPECT_EQ(m->Oscillator[0].EnvelopeLevel, 0x800000);
  EXPECT_EQ(m->Oscillator[0].EnvelopePhase, SidEnvelopeSustain);
  Write(*m, 5, 0x09);  // decay step 506
  Write(*m, 6, 0x40);  // back down to $400000: 4194304 / 506 = 8289.1 samples
  Render(*m, 8290);
  EXPECT_NE(m->Oscillator[0].EnvelopeLevel, 0x400000);
  Render(*m, 2);
  EXPECT_EQ(m->Oscillator[0].EnvelopeLevel, 0x400000);
}

// Cutoff (high byte x 16 + the low byte's 3 bits) x 32, held at 65,536; resonance from the top
// nibble of register 23, 307 at 0 down to 153 at 15.
TEST(Synth, FilterCoefficientAndResonance) {
  const struct {
    uint8_t low, high, resonance;
    int32_t cutoff, q;
  } rows[] = {
      {0x00, 0x80, 0x00, 65536, 307},
      {0x07, 0xFF, 0x00, 65536, 307},
      {0xFF, 0x7F, 0xF0, (127 * 16 + 7) * 32, 153},
  };
  for (const auto& r : rows) {
    auto m = NewMachine();
    Write(*m, 21, r.low);
    Write(*m, 22, r.high);
    Write(*m, 23, r.resonance);
    SynthRender(*m, nullptr, 0);
    EXPECT_EQ(m->Filter.Cutoff, r.cutoff) << int(r.high) << " " << int(r.low);
    EXPECT_EQ(m->Filter.Resonance, r.q) << int(r.resonance);
  }
}

TEST(Synth, FilterRoutingVolumeAndVoice3Off) {
  {  // Routed through the filter with no filter mode on: silent.
    auto m = Probe(0x1000, 0x20);
    Write(*m, 23, 0x01);
    for (int16_t v : Render(*m, 2000)) ASSERT_EQ(v, 0);
    // Low-pass well above the tone lets it through.
    Write(*m, 22, 0x10);
    Write(*m, 24, 0x11);
    int loud = 0;
    for (int16_t v : Render(*m, 2000)) loud += v > 60 || v < -60;
    EXPECT_GT(loud, 500);
  }
  {  // Volume 0: nothing at all.
    auto m = Probe(0x1000, 0x20);
    Write(*m, 24, 0x00);
    for (int16_t v : Render(*m, 2000)) ASSERT_EQ(v, 0);
  }
  {  // Volume scales the mix: volume 15 gives 15 x (output - 128).
    auto m = Probe(0x1000, 0x00);
    Write(*m, 24, 0x0F);
    EXPECT_EQ(Render(*m, 1)[0], 127 * 15);
  }
  {  // Mode bit 7 silences voice 3, even when it is routed through the filter.
    auto m = NewMachine();
    Write(*m, 14 + 5, 0x00);
    Write(*m, 14 + 6, 0x40);
    Write(*m, 14 + 4, 0x01);  // voice 3: gate, no waveform: a constant 127 when heard
    Write(*m, 24, 0x01);
    Render(*m, 1000);
    EXPECT_EQ(Render(*m, 1)[0], 127);
    Write(*m, 23, 0x04);  // voice 3 through the filter
    Write(*m, 24, 0xF1);  // all filter modes on, voice 3 off
    for (int16_t v : Render(*m, 2000)) ASSERT_EQ(v, 0);
  }
}

TEST(Synth, HardSyncResetsToTheReferencePhase) {
  auto m = Probe(0x0100, 0x22);  // voice 1 sawtooth, synced by voice 3
  SetFrequency(*m, 2, 0x4000);   // voice 3 wraps every 45.6 samples
  SetFrequency(*m, 1, 0x0100);
  Write(*m, 7 + 4, 0x02);  // voice 2 synced by voice 1
  Render(*m, 1);
  int syncs = 0;
  for (int i = 0; i < 2000; ++i) {
    SidOscillator before3 = m->Oscillator[2];
    SidOscillator before1 = m->Oscillator[0];
    Render(*m, 1);
    const SidOscillator& o1 = m->Oscillator[0];
    const SidOscillator& o2 = m->Oscillator[1];
    if (before3.Accumulator < before3.Increment) {
      // Voice 3 wrapped on the previous sample: voice 1 takes its phase, scaled (32-bit product).
      ++syncs;
      ASSERT_EQ(o1.Accumulator, before3.Accumulator * o1.Increment / before3.Increment);
    } else {
      ASSERT_EQ(o1.Accumulator, (before1.Accumulator + o1.Increment) & 0x0FFFFFFF);
    }
    // Voice 2 follows voice 1 of the same sample. The product wraps at 32 bits on purpose.
    if (o1.Accumulator < o1.Increment) {
      ASSERT_EQ(o2.Accumulator,
                static_cast<uint32_t>(o1.Accumulator * o2.Increment) / o1.Increment);
    }
  }
  EXPECT_GE(syncs, 43);  // 2000 / 45.6
  EXPECT_LE(syncs, 44);
  // Voice 1 never gets far: it restarts before it reaches 46 increments.
  EXPECT_LT(m->Oscillator[0].Accumulator, 47u * m->Oscillator[0].Increment);
}

TEST(Synth, RingModulationInvertsTheTriangle) {
  // Voice 3 at frequency 0 stays in its lower half, so ring modulation inverts every triangle
  // value: ring output = 255 - plain output, that is sample_ring = -1 - sample_plain.
  auto plain = Probe(0x0800, 0x10);
  auto ring = Probe(0x0800, 0x14);
  std::vector<int16_t> a = Render(*plain, 5000);
  std::vector<int16_t> b = Render(*ring, 5000);
  for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(b[i], -1 - a[i]) << i;
  // With voice 3 running, only its lower half inverts: both kinds of sample occur.
  auto ring2 = Probe(0x0800, 0x14);
  auto plain2 = Probe(0x0800, 0x10);
  SetFrequency(*ring2, 2, 0x0123);
  SetFrequency(*plain2, 2, 0x0123);
  std::vector<int16_t> c = Render(*plain2, 20000);
  std::vector<int16_t> d = Render(*ring2, 20000);
  int same = 0, inverted = 0;
  for (size_t i = 0; i < c.size(); ++i) {
    same += d[i] == c[i];
    inverted += d[i] == -1 - c[i];
  }
  EXPECT_GT(same, 5000);
  EXPECT_GT(inverted, 5000);
  EXPECT_EQ(same + inverted, 20000);
}

// Three pulse voices in phase through the low pass at full resonance and volume 15 overshoot
// the 16-bit range on every edge. The samples clip at the rails; kept as their low 16 bits they
// would jump by about 65536 from one sample to the next, a full-scale click.
TEST(Synth, AMixBeyondSixteenBitsClipsInsteadOfWrapping) {
  auto m = NewMachine();
  for (int v = 0; v < 3; ++v) {
    SetFrequency(*m, v, 0x0200);
    SetPulseWidth(*m, v, 0x0800);
    Write(*m, v * 7 + 5, 0x00);
    Write(*m, v * 7 + 6, 0xF0);
    Write(*m, v * 7 + 4, 0x41);  // pulse + gate
  }
  Write(*m, 22, 0x10);  // cutoff
  Write(*m, 23, 0xF7);  // resonance 15, voices 1..3 filtered
  Write(*m, 24, 0x1F);  // low pass, volume 15
  std::vector<int16_t> s = Render(*m, 44100);
  int atTop = 0, atBottom = 0, clicks = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    atTop += s[i] == 32767;
    atBottom += s[i] == -32768;
    if (i > 0) clicks += std::abs(s[i] - s[i - 1]) > 50000;
  }
  EXPECT_GT(atTop, 100);
  EXPECT_GT(atBottom, 100);
  EXPECT_EQ(clicks, 0);
}

// ---- Sample channel ---------------------------------------------------------------------

void LatchSample(SidMachine& m, uint16_t start, uint16_t end, uint16_t period, uint8_t order,
                 uint8_t repeats, uint16_t repeatAddress) {
  MemoryWrite(m, 0xD41E, static_cast<uint8_t>(start));
  MemoryWrite(m, 0xD41F, static_cast<uint8_t>(start >> 8));
  MemoryWrite(m, 0xD43D, static_cast<uint8_t>(end));
  MemoryWrite(m, 0xD43E, static_cast<uint8_t>(end >> 8));
  MemoryWrite(m, 0xD45D, static_cast<uint8_t>(period));
  MemoryWrite(m, 0xD45E, static_cast<uint8_t>(period >> 8));
  MemoryWrite(m, 0xD47D, order);
  MemoryWrite(m, 0xD43F, repeats);
  MemoryWrite(m, 0xD47E, static_cast<uint8_t>(repeatAddress));
  MemoryWrite(m, 0xD47F, static_cast<uint8_t>(repeatAddress >> 8));
}

TEST(SampleChannel, PlaysNibblesOnePerSampleAtShortPeriods) {
  auto m = NewMachine();  // volume 0: the output is the channel's level alone
  Poke(*m, 0x4000, {0x9F, 0x08, 0x3C});
  // Period 22: step 985248 / 22 = 44784 > 44100, so one nibble per sample. Order 0 counts the
  // nibble index 0 -> 1 (high nibble of the same byte) -> 0 (next byte, low nibble).
  LatchSample(*m, 0x4000, 0x4003, 22, 0, 0, 0);
  MemoryWrite(*m, 0xD41D, 0xFF);
  std::vector<int16_t> s = Render(*m, 7);
  // Each level is heard from the sample after it was fetched.
  const int16_t expected[7] = {
      0,                 // level before the first fetch
      (0x9 - 7) * 1024,  // high nibble of $9F
      (0x8 - 7) * 1024,  // low nibble of $08
      (0x0 - 7) * 1024,  // high nibble of $08
      (0xC - 7) * 1024,  // low nibble of $3C
      (0x3 - 7) * 1024,  // high nibble of $3C; the next step passes the end
      0,                 // past the end, no repeats: nothing added while active
  };
  for (int i = 0; i < 7; ++i) EXPECT_EQ(s[i], expected[i]) << i;
  EXPECT_EQ(m->Sample.Active, 1);
}

TEST(SampleChannel, RepeatsReturnToTheRepeatAddress) {
  auto m = NewMachine();
  Poke(*m, 0x5000, {0x11, 0x22});
  LatchSample(*m, 0x5000, 0x5002, 22, 1, 1, 0x5001);  // order 1: low nibble index first
  MemoryWrite(*m, 0xD41D, 0xFE);
  Render(*m, 4);  // four nibbles: the position passes the end and returns to $5001 once
  EXPECT_EQ(m->Sample.RepeatCount, 0);
  EXPECT_EQ(m->Sample.Position, 0x5001);
  Render(*m, 2);
  EXPECT_EQ(m->Sample.Position, 0x5002);  // at the end with no repeats left: stays
  Render(*m, 10);
  EXPECT_EQ(m->Sample.Position, 0x5002);
}

TEST(SampleChannel, LongPeriodsHoldEachNibble) {
  auto m = NewMachine();
  Poke(*m, 0x6000, {0xFF, 0xFF});
  // Period 100: 9852 per sample, a nibble every 4.48 samples.
  LatchSample(*m, 0x6000, 0x6002, 100, 0, 0, 0);
  MemoryWrite(*m, 0xD41D, 0xFF);
  std::vector<int16_t> s = Render(*m, 10);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(s[i], 0) << i;  // the fifth step passes 44100
  EXPECT_EQ(s[5], 8 * 1024);
}

TEST(SampleChannel, PeriodZeroIsSilentAndDoesNotDivide) {
  auto m = NewMachine();
  Poke(*m, 0x4000, {0xFF, 0xFF});
  LatchSample(*m, 0x4000, 0x4002, 0, 0, 0, 0);
  MemoryWrite(*m, 0xD41D, 0xFF);
  for (int16_t v : Render(*m, 100)) ASSERT_EQ(v, 0);
  EXPECT_EQ(m->Sample.Position, 0x4000);
  // A real period latched later starts it.
  MemoryWrite(*m, 0xD45D, 22);
  MemoryWrite(*m, 0xD41D, 0xFF);
  Render(*m, 3);
  EXPECT_EQ(m->Sample.CurrentLevel, 8 * 1024);
}

TEST(SampleChannel, ControlValuesAndExactAddresses) {
  auto m = NewMachine();
  Poke(*m, 0x4000, {0xFF, 0xFF, 0xFF, 0xFF});
  LatchSample(*m, 0x4000, 0x4004, 22, 0, 0, 0);
  MemoryWrite(*m, 0xD41D, 0x00);  // copies the latches, leaves the channel inactive
  EXPECT_EQ(m->Sample.Start, 0x4000);
  EXPECT_EQ(m->Sample.End, 0x4004);
  EXPECT_EQ(m->Sample.Active, 0);
  MemoryWrite(*m, 0xD41D, 0xFE);
  EXPECT_EQ(m->Sample.Active, 1);
  MemoryWrite(*m, 0xD41D, 0x42);  // other values keep the flag
  EXPECT_EQ(m->Sample.Active, 1);
  MemoryWrite(*m, 0xD41D, 0xFD);
  EXPECT_EQ(m->Sample.Active, 0);
  // Mirrors of the latch addresses are plain SID register writes, and $D45F changes nothing.
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
