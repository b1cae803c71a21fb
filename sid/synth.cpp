// SID synthesis in integer arithmetic: three 28-bit phase accumulators with triangle, sawtooth,
// pulse and noise, hard sync and ring modulation, linear envelopes, one state-variable filter and
// the master volume, plus the 4-bit sample channel added after the volume.
//
// Intermediate values wrap as 32-bit integers. Signed overflow is undefined in C++, so the
// wrapping sums and products go through unsigned arithmetic (Add, Sub, Mul below).
#include <algorithm>
#include <cmath>

#include "sid/sid_machine.h"

namespace {

// Envelope times in seconds from zero to full level (attack) and from full level to zero
// (decay and release), per 4-bit rate value. Single precision on purpose: the step tables
// truncate from these exact values.
constexpr float AttackTime[16] = {
    0.00225286069f, 0.00800995808f, 0.0157696046f, 0.0237795617f, 0.0372963659f, 0.0550684594f,
    0.0668330863f,  0.0783473998f,  0.0981219783f, 0.244554028f,  0.489108056f,  0.78247273f,
    0.977715433f,   2.93364692f,    4.88907814f,   7.82272482f,
};
constexpr float DecayReleaseTime[16] = {
    0.00891777687f, 0.0245940518f, 0.0484185889f, 0.0730116665f, 0.114512473f, 0.16907835f,
    0.205199435f,   0.240551978f,  0.301266134f,  0.750858247f,  1.50171554f,  2.40243673f,
    3.00189304f,    9.00721359f,   15.0109978f,   24.0182114f,
};

constexpr int32_t FixedFromFloat(float f) {
  return static_cast<int32_t>(f * 65536.0f);
}
constexpr int32_t ResonanceBase = FixedFromFloat(1.2f);   // 78643
constexpr int32_t ResonanceStep = FixedFromFloat(0.04f);  // 2621
static_assert(ResonanceBase == 78643 && ResonanceStep == 2621);

// Register numbers: seven per voice (voice v's start at v x VoiceRegisters), then the filter
// and the volume. 25..31 are read-only or unused.
enum : uint32_t {
  RegisterFrequencyLow = 0,
  RegisterFrequencyHigh = 1,
  RegisterPulseWidthLow = 2,
  RegisterPulseWidthHigh = 3,
  RegisterControl = 4,
  RegisterAttackDecay = 5,
  RegisterSustainRelease = 6,
  VoiceRegisters = 7,
  RegisterCutoffLow = 21,
  RegisterCutoffHigh = 22,
  RegisterResonanceRouting = 23,
  RegisterModeVolume = 24,
};

// Bits of a voice's control register.
enum : uint8_t {
  ControlGate = 0x01,
  ControlSync = 0x02,
  ControlRing = 0x04,
  ControlTest = 0x08,
  ControlTriangle = 0x10,
  ControlSawtooth = 0x20,
  ControlPulse = 0x40,
  ControlNoise = 0x80,
};

// Bits of the mode and volume register; the low nibble is the volume.
enum : uint8_t {
  ModeVolumeMask = 0x0F,
  ModeLowPass = 0x10,
  ModeBandPass = 0x20,
  ModeHighPass = 0x40,
  ModeVoice3Off = 0x80,
};

// The sample channel's addresses: a write to SampleControl starts or stops it with the latched
// values; the others are its latches, low byte before high byte.
enum : uint16_t {
  SampleControl = 0xD41D,
  SampleStartLow = 0xD41E,
  SampleStartHigh = 0xD41F,
  SampleEndLow = 0xD43D,
  SampleEndHigh = 0xD43E,
  SampleRepeatCount = 0xD43F,
  SamplePeriodLow = 0xD45D,
  SamplePeriodHigh = 0xD45E,
  SampleNibbleOrder = 0xD47D,
  SampleRepeatLow = 0xD47E,
  SampleRepeatHigh = 0xD47F,
};
// Values written to SampleControl: stop, and the two that start the channel. Others only latch.
constexpr uint8_t SampleStop = 0xFD;
constexpr uint8_t SampleStart = 0xFE;
constexpr uint8_t SampleStartAlt = 0xFF;

constexpr int32_t EnvelopeFull = 0xFFFFFF;
constexpr int32_t ReleaseFloor = 0x40000;  // a released voice never falls below this level
constexpr int32_t SampleClock = 985248;    // nibble timer clock of the sample channel

int32_t Add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t Sub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t Mul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
int32_t FixedMultiply(int32_t a, int32_t b) {
  return Mul(a >> 8, b >> 8);
}

// Latches the register image into the oscillators and the filter; done once per render call,
// so all writes of one play call take effect together.
void LatchRegisters(SidMachine& m) {
  const SidRegisterImage& r = m.Registers;
  for (int v = 0; v < 3; ++v) {
    const SidVoiceRegisters& vr = r.Voice[v];
    SidOscillator& o = m.Oscillator[v];
    o.Increment = vr.Frequency * m.FrequencyMultiplier;
    o.PulseThreshold = static_cast<uint32_t>(vr.PulseWidth & 0xFFF) << 16;
    o.Filtered = (r.ResonanceRouting >> v) & 1;
    o.Attack = static_cast<uint32_t>(m.AttackRate[vr.AttackDecay >> 4]);
    o.Decay = static_cast<uint32_t>(m.DecayReleaseRate[vr.AttackDecay & 15]);
    o.Sustain = vr.SustainRelease & 0xF0u;
    o.Release = static_cast<uint32_t>(m.DecayReleaseRate[vr.SustainRelease & 15]);
    o.WaveformControl = vr.Control;
  }
  SidFilter& f = m.Filter;
  // The high byte is weighted 16, not 8: the coefficient reaches 1.0 from cutoff high $80 up.
  uint32_t cutoff = (r.CutoffHigh * 16u + (r.CutoffLow & 7u)) * m.FilterMultiplier;
  f.Cutoff = static_cast<int32_t>(cutoff > 65536 ? 65536 : cutoff);
  f.LowPass = (r.ModeVolume & ModeLowPass) != 0;
  f.BandPass = (r.ModeVolume & ModeBandPass) != 0;
  f.HighPass = (r.ModeVolume & ModeHighPass) != 0;
  f.Voice3On = (r.ModeVolume & ModeVoice3Off) == 0;
  f.Volume = r.ModeVolume & ModeVolumeMask;
  f.Resonance = (ResonanceBase - ResonanceStep * (r.ResonanceRouting >> 4)) >> 8;
}

uint8_t NoiseOutputBits(uint32_t reg) {
  return static_cast<uint8_t>(((reg >> 22) & 1) << 7 | ((reg >> 20) & 1) << 6 |
                              ((reg >> 16) & 1) << 5 | ((reg >> 13) & 1) << 4 |
                              ((reg >> 11) & 1) << 3 | ((reg >> 7) & 1) << 2 |
                              ((reg >> 4) & 1) << 1 | ((reg >> 2) & 1));
}

// Steps voice `o` by one sample and returns its 8-bit waveform output. `ref` is the voice that
// syncs and ring-modulates it.
uint8_t OscillatorStep(SidOscillator& o, const SidOscillator& ref) {
  uint8_t control = o.WaveformControl;
  o.Accumulator = (o.Accumulator + o.Increment) & 0x0FFFFFFF;
  if (control & ControlTest) {
    o.Accumulator = 0;
    o.NoisePosition = 0;
    o.NoiseRegister = 0xFFFFFF;
  }
  // The reference wrapped during its last step when it is now below its increment (which is then
  // not 0, so the division is safe).
  if ((control & ControlSync) && ref.Accumulator < ref.Increment) {
    o.Accumulator = ref.Accumulator * o.Increment / ref.Increment;
  }
  uint32_t acc = o.Accumulator;
  uint8_t triangle = static_cast<uint8_t>(acc >> 19);
  if (acc & 0x8000000) triangle ^= 0xFF;
  // The noise register steps with the accumulator whether or not noise is selected.
  if ((acc >> 23) != o.NoisePosition) {
    o.NoisePosition = acc >> 23;
    uint32_t r = o.NoiseRegister;
    o.NoiseRegister = r << 1 | (((r >> 22) ^ (r >> 17)) & 1);
    o.NoiseOutput = NoiseOutputBits(o.NoiseRegister);
  }
  if ((control & ControlRing) && ref.Accumulator < 0x8000000) triangle ^= 0xFF;
  uint8_t output = 0xFF;
  if (control & ControlTriangle) output &= triangle;
  if (control & ControlSawtooth) output &= static_cast<uint8_t>(acc >> 20);
  if (control & ControlPulse) output &= acc > o.PulseThreshold ? 0x00 : 0xFF;
  if (control & ControlNoise) output &= o.NoiseOutput;
  return output;
}

void EnvelopeStep(SidOscillator& o) {
  int32_t sustainLevel = static_cast<int32_t>(o.Sustain << 16);
  switch (o.EnvelopePhase) {
    case SidEnvelopeAttack:
      o.EnvelopeLevel += static_cast<int32_t>(o.Attack);
      if (o.EnvelopeLevel >= EnvelopeFull) {
        o.EnvelopeLevel = EnvelopeFull;
        o.EnvelopePhase = SidEnvelopeDecay;
      }
      break;
    case SidEnvelopeDecay:
      o.EnvelopeLevel -= static_cast<int32_t>(o.Decay);
      if (o.EnvelopeLevel <= sustainLevel) {
        o.EnvelopeLevel = sustainLevel;
        o.EnvelopePhase = SidEnvelopeSustain;
      }
      break;
    case SidEnvelopeSustain:
      // A changed sustain value is reached at the decay rate downward and at once upward.
      if (o.EnvelopeLevel != sustainLevel) o.EnvelopePhase = SidEnvelopeDecay;
      break;
    default:
      o.EnvelopeLevel -= static_cast<int32_t>(o.Release);
      if (o.EnvelopeLevel < ReleaseFloor) o.EnvelopeLevel = ReleaseFloor;
      break;
  }
}

}  // namespace

void SynthInit(SidMachine& m, uint32_t rate) {
  m.MixingRate = rate;
  m.Sample.Fraction = 0;
  m.FrequencyMultiplier = 15872000 / rate;
  m.FilterMultiplier = static_cast<uint32_t>(21.533203125 * 65536) / rate;
  for (int i = 0; i < 16; ++i) {
    m.AttackRate[i] =
        static_cast<int32_t>(16777216.0f / (AttackTime[i] * static_cast<float>(rate)));
    m.DecayReleaseRate[i] =
        static_cast<int32_t>(16777216.0f / (DecayReleaseTime[i] * static_cast<float>(rate)));
  }
  m.Registers = {};
  m.Filter = {};
  for (SidOscillator& o : m.Oscillator) {
    o = {};
    o.NoiseRegister = 0xFFFFFF;
  }
}

void SidWriteRegister(SidMachine& m, uint32_t reg, uint8_t value) {
  SidRegisterImage& r = m.Registers;
  if (reg < 3 * VoiceRegisters) {
    int v = static_cast<int>(reg / VoiceRegisters);
    SidVoiceRegisters& vr = r.Voice[v];
    switch (reg % VoiceRegisters) {
      case RegisterFrequencyLow:
        vr.Frequency = static_cast<uint16_t>((vr.Frequency & 0xFF00) | value);
        break;
      case RegisterFrequencyHigh:
        vr.Frequency = static_cast<uint16_t>((vr.Frequency & 0x00FF) | value << 8);
        break;
      case RegisterPulseWidthLow:
        vr.PulseWidth = static_cast<uint16_t>((vr.PulseWidth & 0xFF00) | value);
        break;
      case RegisterPulseWidthHigh:
        vr.PulseWidth = static_cast<uint16_t>((vr.PulseWidth & 0x00FF) | value << 8);
        break;
      case RegisterControl: {
        vr.Control = value;
        // The gate acts on the envelope at once; holding it set does not retrigger the attack.
        SidOscillator& o = m.Oscillator[v];
        if (!(value & ControlGate)) {
          o.EnvelopePhase = SidEnvelopeRelease;
        } else if (o.EnvelopePhase == SidEnvelopeRelease) {
          o.EnvelopePhase = SidEnvelopeAttack;
        }
        break;
      }
      case RegisterAttackDecay:
        vr.AttackDecay = value;
        break;
      default:  // RegisterSustainRelease
        vr.SustainRelease = value;
        break;
    }
    return;
  }
  switch (reg) {
    case RegisterCutoffLow:
      r.CutoffLow = value;
      break;
    case RegisterCutoffHigh:
      r.CutoffHigh = value;
      break;
    case RegisterResonanceRouting:
      r.ResonanceRouting = value;
      break;
    case RegisterModeVolume:
      r.ModeVolume = value;
      break;
    default:  // 25..31: read-only or unused registers
      break;
  }
}

void SynthRender(SidMachine& m, int16_t* samples, int count) {
  LatchRegisters(m);
  SidFilter& f = m.Filter;
  for (int i = 0; i < count; ++i) {
    int32_t unfiltered = 0;
    int32_t filtered = 0;
    for (int v = 0; v < 3; ++v) {
      SidOscillator& o = m.Oscillator[v];
      // Voice 1 is synced by voice 3 as it stood after the previous sample; voices 2 and 3 by
      // the voice that has just stepped.
      const SidOscillator& ref = m.Oscillator[v == 0 ? 2 : v - 1];
      int32_t output = OscillatorStep(o, ref);
      EnvelopeStep(o);
      if (v == 2 && !f.Voice3On) continue;
      int32_t s = ((output - 128) * o.EnvelopeLevel) >> 22;
      if (o.Filtered) {
        filtered += s;
      } else {
        unfiltered += s;
      }
    }
    f.High = Sub(Sub(Mul(filtered, 65536), Mul(f.Band >> 8, f.Resonance)), f.Low);
    f.Band = Add(f.Band, FixedMultiply(f.Cutoff, f.High));
    f.Low = Add(f.Low, FixedMultiply(f.Cutoff, f.Band));
    int32_t out = 0;
    if (f.LowPass) out = Add(out, f.Low >> 16);
    if (f.BandPass) out = Add(out, f.Band >> 16);
    if (f.HighPass) out = Add(out, f.High >> 16);
    int32_t mix = Mul(Add(unfiltered, out), f.Volume);
    // A resonant filter at full volume can leave the 16-bit range: clip it there, since keeping
    // only the low 16 bits would turn a loud passage into a full-scale click.
    samples[i] = static_cast<int16_t>(std::clamp(SampleChannelMix(m, mix), -32768, 32767));
  }
}

void SampleChannelWrite(SidMachine& m, uint16_t address, uint8_t value) {
  SampleChannel& c = m.Sample;
  auto low = [](uint16_t& latch, uint8_t b) {
    latch = static_cast<uint16_t>((latch & 0xFF00) | b);
  };
  auto high = [](uint16_t& latch, uint8_t b) {
    latch = static_cast<uint16_t>((latch & 0x00FF) | b << 8);
  };
  switch (address) {
    case SampleStartLow:
      low(c.LatchStart, value);
      break;
    case SampleStartHigh:
      high(c.LatchStart, value);
      break;
    case SampleEndLow:
      low(c.LatchEnd, value);
      break;
    case SampleEndHigh:
      high(c.LatchEnd, value);
      break;
    case SampleRepeatCount:
      c.LatchRepeatCount = value;
      break;
    case SamplePeriodLow:
      low(c.LatchPeriod, value);
      break;
    case SamplePeriodHigh:
      high(c.LatchPeriod, value);
      break;
    case SampleNibbleOrder:
      c.LatchNibbleOrder = value;
      break;
    case SampleRepeatLow:
      low(c.LatchRepeatAddress, value);
      break;
    case SampleRepeatHigh:
      high(c.LatchRepeatAddress, value);
      break;
    case SampleControl:
      c.RepeatCount = c.LatchRepeatCount;
      c.Position = c.LatchStart;
      c.Start = c.LatchStart;
      c.End = c.LatchEnd;
      c.RepeatAddress = c.LatchRepeatAddress;
      c.Period = c.LatchPeriod;
      c.NibbleOrder = c.LatchNibbleOrder;
      // The nibble index and the fraction carry on from the previous sample.
      if (value == SampleStop) {
        c.Active = 0;
      } else if (value == SampleStart || value == SampleStartAlt) {
        c.Active = 1;
      }
      break;
    default:  // every other address of the window, $D45F included, has no latch
      break;
  }
}

int32_t SampleChannelMix(SidMachine& m, int32_t input) {
  SampleChannel& c = m.Sample;
  // A period of 0 has no nibble rate (it would divide by zero): the channel stays silent and
  // still until a real period is latched.
  if (!c.Active || c.Position >= c.End || c.Position < c.Start || c.Period == 0) return input;
  int32_t step = SampleClock / c.Period;
  int32_t result = Add(input, c.CurrentLevel);
  c.Fraction = Add(c.Fraction, step);
  int32_t rate = static_cast<int32_t>(m.MixingRate);
  if (c.Fraction > rate) {
    c.Fraction %= rate;
    if (c.NibbleOrder == 0) {
      if (++c.NibbleIndex >= 2) {
        c.NibbleIndex = 0;
        ++c.Position;
      }
    } else {
      if (--c.NibbleIndex < 0) {
        c.NibbleIndex = 1;
        ++c.Position;
      }
    }
    // Past the end with repeats left: back to the repeat address. With none left the channel
    // stays active and adds nothing, as the range check above shows.
    if (c.Position >= c.End && c.RepeatCount != 0) {
      --c.RepeatCount;
      c.Position = c.RepeatAddress;
    }
    uint8_t byte = m.Ram[c.Position & 0xFFFF];
    int32_t nibble = c.NibbleIndex == 1 ? byte >> 4 : byte & 15;
    c.CurrentLevel = (nibble - 7) * 1024;
  }
  return result;
}
