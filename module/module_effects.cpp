// Pattern effects, the volume column and the modulation waveforms.
#include <algorithm>
#include <cmath>

#include "module/module_effects.h"

namespace {

enum : int { WaveSine = 0, WaveRamp = 1, WaveSquare = 2 };

// The instrument's auto-vibrato waveforms.
enum : uint8_t {
  AutoVibratoSine = 0,
  AutoVibratoSquare = 1,
  AutoVibratoRampDown = 2,
  AutoVibratoRampUp = 3,
};

void VolumeSlide(ModuleChannel& c) {
  int32_t x = c.VolumeSlideMemory >> 4, y = c.VolumeSlideMemory & 15;
  c.Volume = x != 0 ? std::min(c.Volume + x, 64) : std::max(c.Volume - y, 0);
  c.UpdateFlags |= UpdateVolume;
}

void AdvanceVibrato(ModuleChannel& c) {
  int32_t p = c.VibratoPosition + c.VibratoSpeed;
  if (p > 31) p -= 64;
  c.VibratoPosition = int8_t(p);
}

// The volume change of a multi-retrigger action (its parameter's high nibble); 0 and 8 change
// nothing.
int32_t RetriggerVolume(int32_t volume, uint8_t action) {
  switch (action) {
    case 1:
      return volume - 1;
    case 2:
      return volume - 2;
    case 3:
      return volume - 4;
    case 4:
      return volume - 8;
    case 5:
      return volume - 16;
    case 6:
      return volume * 2 / 3;
    case 7:
      return volume >> 1;
    case 9:
      return volume + 1;
    case 10:
      return volume + 2;
    case 11:
      return volume + 4;
    case 12:
      return volume + 8;
    case 13:
      return volume + 16;
    case 14:
      return volume * 3 / 2;
    case 15:
      return volume * 2;
    default:
      return volume;
  }
}

void ExtendedRow(ModuleMachine& machine, ModuleChannel& c, uint8_t x, uint8_t y) {
  switch (x) {
    case ExtendedFinePortamentoUp:
      if (y) c.FinePortamentoUpMemory = y;
      c.Period = ClampPeriod(c.Period - c.FinePortamentoUpMemory * 4);
      break;
    case ExtendedFinePortamentoDown:
      if (y) c.FinePortamentoDownMemory = y;
      c.Period = ClampPeriod(c.Period + c.FinePortamentoDownMemory * 4);
      break;
    case ExtendedVibratoControl:
      c.WaveControl = uint8_t((c.WaveControl & 0xF0) | y);
      break;
    case ExtendedPatternLoop:
      if (y == 0) {
        c.PatternLoopRow = machine.Row;
      } else {
        c.PatternLoopCount = c.PatternLoopCount == 0 ? y : c.PatternLoopCount - 1;
        if (c.PatternLoopCount != 0) machine.NextRow = c.PatternLoopRow;
      }
      break;
    case ExtendedTremoloControl:
      c.WaveControl = uint8_t((c.WaveControl & 0x0F) | y << 4);
      break;
    case ExtendedSetPanning:
      c.Panning = y * 16;
      c.UpdateFlags |= UpdatePanning;
      break;
    case ExtendedFineVolumeUp:
      if (y) c.FineVolumeSlideMemory = y;
      c.Volume = std::min(c.Volume + c.FineVolumeSlideMemory, 64);
      c.UpdateFlags |= UpdateVolume;
      break;
    case ExtendedFineVolumeDown:
      if (y) c.FineVolumeSlideMemory = y;
      c.Volume = std::max(c.Volume - c.FineVolumeSlideMemory, 0);
      c.UpdateFlags |= UpdateVolume;
      break;
    case ExtendedNoteDelay:
      if (y != 0)
        c.UpdateFlags &= ~(UpdateFrequency | UpdateVolume | UpdatePanning | UpdateStartNote);
      break;
    case ExtendedPatternDelay:
      machine.PatternDelayTicks = machine.Speed * y;
      break;
    default:
      break;
  }
}

void ExtendedTick(ModuleMachine& machine, ModuleChannel& c, const ModuleCell& cell, uint8_t x,
                  uint8_t y, const ModuleInstrument& instrument, const ModuleSample& sample) {
  const int32_t tick = machine.Tick;
  switch (x) {
    case ExtendedRetrigger:
      if (y != 0 && tick % y == 0)
        c.UpdateFlags |= UpdateStartNote | UpdateVolume | UpdateFrequency;
      break;
    case ExtendedNoteCut:
      if (tick == y) {
        c.Volume = 0;
        c.UpdateFlags |= UpdateVolume;
      }
      break;
    case ExtendedNoteDelay:
      if (y == 0) break;  // ED0 played its cell on the row tick
      if (tick != y) {
        c.UpdateFlags &= ~(UpdateFrequency | UpdateVolume | UpdatePanning | UpdateStartNote);
      } else if (cell.Note == NoteKeyOff) {
        // A delayed key-off releases the note and, as every delayed cell does, starts its
        // envelopes and fadeout again without restarting the sample: with a volume envelope the
        // note sounds on from the envelope's start, without one it stays silent unless the
        // instrument number or the volume byte sets a volume.
        KeyOff(c, instrument);
        const int32_t volume = c.Volume, panning = c.Panning;
        ResetChannel(c, sample);
        if (cell.Instrument == 0) {
          c.Volume = volume;
          c.Panning = panning;
        }
        if (cell.Volume != 0) VolumeColumn(c, cell.Volume);
      } else {
        // The cell's note, or without one the channel's last note, starts on the sample of the
        // channel's instrument now.
        ResetChannel(c, sample);
        SetNotePeriod(*machine.Song, c, sample, c.Note, sample.Finetune);
        c.Period = c.NotePeriod;
        c.UpdateFlags |= UpdateFrequency;
        if (cell.Volume != 0) VolumeColumn(c, cell.Volume);
        c.UpdateFlags |= UpdateStartNote;
      }
      break;
    default:
      break;
  }
}

}  // namespace

int32_t WaveformValue(int waveform, int8_t position) {
  switch (waveform) {
    case WaveSine:
      return int32_t(std::fabs(std::sin(2.0 * position * double(0.049087375f))) * 256);
    case WaveRamp:
      return position >= 0 ? position * 8 : 255 - (position + 32) * 8;
    default:
      return 255;
  }
}

void TonePortamento(ModuleChannel& c) {
  int32_t speed = c.PortamentoSpeed * 4;
  if (c.Period < c.PortamentoTarget) {
    c.Period = std::min(c.Period + speed, c.PortamentoTarget);
  } else if (c.Period > c.PortamentoTarget) {
    c.Period = std::max(c.Period - speed, c.PortamentoTarget);
  }
  c.UpdateFlags |= UpdateFrequency;
}

void DoVibrato(ModuleChannel& c) {
  int waveform = c.WaveControl & 3;
  int32_t value = WaveformValue(waveform >= 2 ? WaveSquare : waveform, c.VibratoPosition);
  int32_t d = ((c.VibratoDepth * value) >> 5) & ~3;
  if (c.VibratoPosition >= 0) d = -d;
  c.PeriodDelta = d;
  c.UpdateFlags |= UpdateFrequency;
}

void DoTremolo(ModuleChannel& c) {
  int waveform = (c.WaveControl >> 4) & 3;
  int32_t value = WaveformValue(waveform == 3 ? WaveSine : waveform, c.TremoloPosition);
  int32_t d = (c.TremoloDepth * value) >> 6;
  if (c.TremoloPosition >= 0) {
    if (c.Volume + d > 64) d = 64 - c.Volume;
    c.VolumeDelta = d;
  } else {
    if (int16_t(c.Volume - d) < 0) d = c.Volume;
    c.VolumeDelta = -d;
  }
  int32_t p = c.TremoloPosition + c.TremoloSpeed;
  if (p > 31) p -= 64;
  c.TremoloPosition = int8_t(p);
  c.UpdateFlags |= UpdateVolume;
}

void DoTremor(ModuleChannel& c) {
  if (c.TremorPosition >= c.TremorOnTicks) c.VolumeDelta = -c.Volume;
  c.TremorPosition += 1;
  if (c.TremorPosition >= c.TremorOnTicks + c.TremorOffTicks) c.TremorPosition = 0;
  c.UpdateFlags |= UpdateVolume;
}

void DoAutoVibrato(ModuleChannel& c, const ModuleInstrument& instrument) {
  int32_t p = c.AutoVibratoPosition;
  int32_t value;
  switch (instrument.VibratoType) {
    case AutoVibratoSine:
      value = int32_t(std::sin(p * double(0.024543688f)) * 64);
      break;
    case AutoVibratoSquare:
      value = p < 128 ? 64 : -64;
      break;
    case AutoVibratoRampDown:
      value = (128 - ((p + 128) % 256)) >> 1;
      break;
    case AutoVibratoRampUp:
      value = (128 - ((384 - p) % 256)) >> 1;
      break;
    default:
      value = 0;
      break;  // the format defines no other type
  }
  int32_t d = instrument.VibratoDepth * value;
  if (instrument.VibratoSweep != 0) d = c.AutoVibratoSweep * d / instrument.VibratoSweep;
  c.PeriodDelta += d >> 6;
  if (c.AutoVibratoSweep < instrument.VibratoSweep) c.AutoVibratoSweep += 1;
  p += instrument.VibratoRate;
  if (p > 255) p -= 256;
  c.AutoVibratoPosition = p;
  c.UpdateFlags |= UpdateFrequency;
}

void SetEnvelopePosition(ModuleChannel& c, const ModuleInstrument& instrument, int32_t q) {
  const ModuleEnvelopePoint* points = instrument.VolumePoints;
  int32_t n = instrument.VolumePointCount;
  ModuleEnvelopeState& e = c.VolumeEnvelope;
  int32_t k = 0;
  while (k < n && q > points[k + 1].Tick) ++k;
  e.Point = k;
  if (k >= n - 1) {
    e.Output = points[n - 1].Value;
    e.Stopped = 1;
    return;
  }
  e.Stopped = 0;
  e.Tick = q;
  int32_t ticks = points[k + 1].Tick - points[k].Tick;
  e.Step = ticks != 0 ? ((points[k + 1].Value - points[k].Value) * 65536) / ticks : 0;
  e.Point = k + 1;
  int64_t value = int64_t(q - points[k].Tick) * e.Step + points[k].Value * 65536;
  e.Value = int32_t(std::clamp<int64_t>(value, 0, 64 * 65536));
  e.Output = e.Value >> 16;
}

void VolumeColumn(ModuleChannel& c, uint8_t v) {
  int32_t low = v & 15;
  if (v >= VolumeSetFirst && v <= VolumeSetLast) {
    c.Volume = v - VolumeSetFirst;
    c.UpdateFlags |= UpdateVolume;
    return;
  }
  switch (v >> 4) {
    case VolumeSlideDown:
    case VolumeFineSlideDown:
      c.Volume = std::max(c.Volume - low, 0);
      c.UpdateFlags |= UpdateVolume;
      break;
    case VolumeSlideUp:
    case VolumeFineSlideUp:
      c.Volume = std::min(c.Volume + low, 64);
      c.UpdateFlags |= UpdateVolume;
      break;
    case VolumeVibratoSpeed:
      c.VibratoSpeed = uint8_t(low);
      break;
    case VolumeVibrato:
      c.VibratoDepth = uint8_t(low);
      break;
    case VolumeSetPanning:
      c.Panning = low * 16;
      c.UpdateFlags |= UpdatePanning;
      break;
    case VolumePanningSlideLeft:
      c.Panning -= low;
      c.UpdateFlags |= UpdatePanning;
      break;
    case VolumePanningSlideRight:
      c.Panning += low;
      c.UpdateFlags |= UpdatePanning;
      break;
    case VolumeTonePortamento:
      if (low != 0) c.PortamentoSpeed = uint8_t(low * 16);
      c.PortamentoTarget = c.NotePeriod;
      c.UpdateFlags &= ~UpdateStartNote;
      break;
    default:
      break;
  }
}

void VolumeColumnTick(ModuleChannel& c, uint8_t v) {
  int32_t low = v & 15;
  switch (v >> 4) {
    case VolumeSlideDown:
      c.Volume = std::max(c.Volume - low, 0);
      c.UpdateFlags |= UpdateVolume;
      break;
    case VolumeSlideUp:
      c.Volume = std::min(c.Volume + low, 64);
      c.UpdateFlags |= UpdateVolume;
      break;
    case VolumeVibrato:
      c.VibratoDepth = uint8_t(low);
      DoVibrato(c);
      AdvanceVibrato(c);
      break;
    case VolumePanningSlideLeft:
      c.Panning -= low;
      c.UpdateFlags |= UpdatePanning;
      break;
    case VolumePanningSlideRight:
      c.Panning += low;
      c.UpdateFlags |= UpdatePanning;
      break;
    case VolumeTonePortamento:
      TonePortamento(c);
      break;
    default:
      break;
  }
}

void EffectRow(ModuleMachine& machine, ModuleChannel& c, const ModuleCell& cell,
               const ModuleInstrument& instrument, const ModuleSample& sample) {
  const ModuleSong& song = *machine.Song;
  const uint8_t p = cell.Parameter, x = p >> 4, y = p & 15;
  switch (cell.Effect) {
    case EffectPortamentoUp:
      if (p) c.PortamentoUpMemory = p;
      break;
    case EffectPortamentoDown:
      if (p) c.PortamentoDownMemory = p;
      break;
    case EffectTonePortamento:
      if (p) c.PortamentoSpeed = p;
      c.PortamentoTarget = c.NotePeriod;
      c.UpdateFlags &= ~(UpdateFrequency | UpdateStartNote);
      break;
    case EffectVibrato:
      if (x) c.VibratoSpeed = x;
      if (y) c.VibratoDepth = y;
      DoVibrato(c);
      break;
    case EffectTonePortamentoVolumeSlide:
      c.PortamentoTarget = c.NotePeriod;
      if (p) c.VolumeSlideMemory = p;
      c.UpdateFlags &= ~(UpdateFrequency | UpdateStartNote);
      break;
    case EffectVibratoVolumeSlide:
      if (p) c.VolumeSlideMemory = p;
      DoVibrato(c);
      break;
    case EffectTremolo:
      if (x) c.TremoloSpeed = x;
      if (y) c.TremoloDepth = y;
      break;
    case EffectSetPanning:
      c.Panning = p;
      c.UpdateFlags |= UpdatePanning;
      break;
    case EffectSampleOffset: {
      if (p) c.SampleOffsetMemory = p;
      uint32_t offset = c.SampleOffsetMemory * 256;
      if (offset < sample.LoopStart + sample.LoopLength) {
        machine.Voices[c.Voice].OffsetRequest = offset;
      } else {
        c.UpdateFlags = uint8_t((c.UpdateFlags & ~UpdateStartNote) | UpdateRestart);
      }
      break;
    }
    case EffectVolumeSlide:
      if (p) c.VolumeSlideMemory = p;
      break;
    case EffectPositionJump:
      machine.NextRow = 0;
      machine.NextOrder = p >= song.SongLength ? 0 : p;
      machine.JumpSeen = true;
      break;
    case EffectSetVolume:
      c.Volume = p;
      c.UpdateFlags |= UpdateVolume;
      break;
    case EffectPatternBreak: {
      int32_t row = x * 10 + y;
      machine.NextRow = row > 63 ? 0 : row;
      if (!machine.JumpSeen) machine.NextOrder = machine.OrderPosition + 1;
      if (machine.NextOrder >= song.SongLength) machine.NextOrder = 0;
      break;
    }
    case EffectExtended:
      ExtendedRow(machine, c, x, y);
      break;
    case EffectSetSpeed:
      if (p < 32) {
        machine.Speed = p;
      } else {
        SetBpm(machine, p);
      }
      break;
    case EffectSetGlobalVolume:
      machine.GlobalVolume = std::min<int32_t>(p, 64);
      c.UpdateFlags |= UpdateVolume;
      break;
    case EffectGlobalVolumeSlide:
      if (p) machine.GlobalVolumeSlideMemory = p;
      break;
    case EffectSetEnvelopePosition:
      if (instrument.VolumeType & EnvelopeOn) SetEnvelopePosition(c, instrument, p);
      break;
    case EffectPanningSlide:
      if (p) {
        c.PanningSlideMemory = p;
        c.UpdateFlags |= UpdatePanning;
      }
      break;
    case EffectMultiRetrigger:
      if (p) {
        c.RetriggerAction = x;
        c.RetriggerInterval = y;
      }
      break;
    case EffectTremor:
      if (p) {
        c.TremorOnTicks = uint8_t(x + 1);
        c.TremorOffTicks = uint8_t(y + 1);
      }
      DoTremor(c);
      break;
    case EffectExtraFinePortamento:
      if (x == 1) {
        if (y) c.ExtraFineUpMemory = y;
        c.Period = ClampPeriod(c.Period - c.ExtraFineUpMemory);
      } else if (x == 2) {
        if (y) c.ExtraFineDownMemory = y;
        c.Period = ClampPeriod(c.Period + c.ExtraFineDownMemory);
      }
      break;
    default:
      break;
  }
}

void EffectTick(ModuleMachine& machine, ModuleChannel& c, const ModuleCell& cell,
                const ModuleInstrument& instrument, const ModuleSample& sample) {
  const ModuleSong& song = *machine.Song;
  const uint8_t p = cell.Parameter, x = p >> 4, y = p & 15;
  const int32_t tick = machine.Tick;
  switch (cell.Effect) {
    case EffectArpeggio:
      if (p) {
        int32_t offset = tick % 3 == 1 ? x : tick % 3 == 2 ? y : 0;
        if (song.Flags & SongLinearFrequencies) {
          c.PeriodDelta = offset * 64;
        } else {
          c.PeriodDelta = AmigaPeriod(c.RealNote + offset, sample.Finetune) -
                          AmigaPeriod(c.RealNote, sample.Finetune);
        }
        c.UpdateFlags |= UpdateFrequency;
      }
      break;
    case EffectPortamentoUp:
      c.Period = std::max(c.Period - c.PortamentoUpMemory * 4, 56);
      c.PeriodDelta = 0;
      c.UpdateFlags |= UpdateFrequency;
      break;
    case EffectPortamentoDown:
      c.Period = ClampPeriod(c.Period + c.PortamentoDownMemory * 4);
      c.PeriodDelta = 0;
      c.UpdateFlags |= UpdateFrequency;
      break;
    case EffectTonePortamento:
      c.PeriodDelta = 0;
      TonePortamento(c);
      break;
    case EffectVibrato:
      DoVibrato(c);
      AdvanceVibrato(c);
      break;
    case EffectTonePortamentoVolumeSlide:
      c.PeriodDelta = 0;
      TonePortamento(c);
      VolumeSlide(c);
      break;
    case EffectVibratoVolumeSlide:
      DoVibrato(c);
      AdvanceVibrato(c);
      VolumeSlide(c);
      break;
    case EffectTremolo:
      DoTremolo(c);
      break;
    case EffectVolumeSlide:
      VolumeSlide(c);
      break;
    case EffectExtended:
      ExtendedTick(machine, c, cell, x, y, instrument, sample);
      break;
    case EffectGlobalVolumeSlide: {
      int32_t mx = machine.GlobalVolumeSlideMemory >> 4, my = machine.GlobalVolumeSlideMemory & 15;
      machine.GlobalVolume = mx != 0 ? std::min(machine.GlobalVolume + mx, 64)
                                     : std::max(machine.GlobalVolume - my, 0);
      break;
    }
    case EffectPanningSlide: {
      int32_t mx = c.PanningSlideMemory >> 4, my = c.PanningSlideMemory & 15;
      c.Panning = mx != 0 ? std::min(c.Panning + mx, 255) : std::max(c.Panning - my, 0);
      c.UpdateFlags |= UpdatePanning;
      break;
    }
    case EffectMultiRetrigger:
      if (c.RetriggerInterval != 0 && tick % c.RetriggerInterval == 0) {
        if (c.RetriggerAction != 0) {
          c.Volume = std::clamp(RetriggerVolume(c.Volume, c.RetriggerAction), 0, 64);
          c.UpdateFlags |= UpdateVolume;
        }
        c.UpdateFlags |= UpdateStartNote;
      }
      break;
    case EffectTremor:
      DoTremor(c);
      break;
    case EffectKeyOff:
      if (p != 0 && tick == p) KeyOff(c, instrument);
      break;
    default:
      break;
  }
}
