// Pattern effects, the volume column and the modulation waveforms.
#include <algorithm>
#include <cmath>

#include "module/module_effects.h"

namespace {

enum : int { WaveSine = 0, WaveRamp = 1, WaveSquare = 2 };

void VolumeSlide(ModuleChannel& c) {
  int32_t x = c.volumeSlideMemory >> 4, y = c.volumeSlideMemory & 15;
  c.volume = x != 0 ? std::min(c.volume + x, 64) : std::max(c.volume - y, 0);
  c.updateFlags |= UpdateVolume;
}

void AdvanceVibrato(ModuleChannel& c) {
  int32_t p = c.vibratoPosition + c.vibratoSpeed;
  if (p > 31) p -= 64;
  c.vibratoPosition = int8_t(p);
}

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

void ExtendedRow(ModuleMachine& machine, ModuleChannel& c, uint8_t x, uint8_t y,
                 ModuleSample& sample) {
  ModuleSong& song = *machine.song;
  switch (x) {
    case 1:
      if (y) c.finePortamentoUpMemory = y;
      c.period = ClampPeriod(c.period - c.finePortamentoUpMemory * 4);
      break;
    case 2:
      if (y) c.finePortamentoDownMemory = y;
      c.period = ClampPeriod(c.period + c.finePortamentoDownMemory * 4);
      break;
    case 4:
      c.waveControl = uint8_t((c.waveControl & 0xF0) | y);
      break;
    case 5:
      // The shared silent sample is never changed.
      if (&sample != &EmptySample) sample.finetune = int8_t(y);
      break;
    case 6:
      if (y == 0) {
        c.patternLoopRow = song.row;
      } else {
        c.patternLoopCount = c.patternLoopCount == 0 ? y : c.patternLoopCount - 1;
        if (c.patternLoopCount != 0) song.nextRow = c.patternLoopRow;
      }
      break;
    case 7:
      c.waveControl = uint8_t((c.waveControl & 0x0F) | y << 4);
      break;
    case 8:
      c.panning = y * 16;
      c.updateFlags |= UpdatePanning;
      break;
    case 10:
      if (y) c.fineVolumeSlideMemory = y;
      c.volume = std::min(c.volume + c.fineVolumeSlideMemory, 64);
      c.updateFlags |= UpdateVolume;
      break;
    case 11:
      if (y) c.fineVolumeSlideMemory = y;
      c.volume = std::max(c.volume - c.fineVolumeSlideMemory, 0);
      c.updateFlags |= UpdateVolume;
      break;
    case 13:
      c.updateFlags &= ~(UpdateFrequency | UpdateVolume | UpdatePanning | UpdateStartNote);
      break;
    case 14:
      song.patternDelayTicks = song.speed * y;
      break;
    default:
      break;
  }
}

void ExtendedTick(ModuleMachine& machine, ModuleChannel& c, const ModuleCell& cell, uint8_t x,
                  uint8_t y, ModuleSample& sample) {
  const int32_t tick = machine.song->tick;
  switch (x) {
    case 9:
      if (y != 0 && tick % y == 0)
        c.updateFlags |= UpdateStartNote | UpdateVolume | UpdateFrequency;
      break;
    case 12:
      if (tick == y) {
        c.volume = 0;
        c.updateFlags |= UpdateVolume;
      }
      break;
    case 13:
      if (tick != y) {
        c.updateFlags &= ~(UpdateFrequency | UpdateVolume | UpdatePanning | UpdateStartNote);
      } else {
        ResetChannel(c, sample);
        c.period = c.notePeriod;
        c.updateFlags |= UpdateFrequency;
        if (cell.volume != 0) VolumeColumn(c, cell.volume);
        c.updateFlags |= UpdateStartNote;
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
  int32_t speed = c.portamentoSpeed * 4;
  if (c.period < c.portamentoTarget) {
    c.period = std::min(c.period + speed, c.portamentoTarget);
  } else if (c.period > c.portamentoTarget) {
    c.period = std::max(c.period - speed, c.portamentoTarget);
  }
  c.updateFlags |= UpdateFrequency;
}

void DoVibrato(ModuleChannel& c) {
  int waveform = c.waveControl & 3;
  int32_t value = WaveformValue(waveform >= 2 ? WaveSquare : waveform, c.vibratoPosition);
  int32_t d = ((c.vibratoDepth * value) >> 5) & ~3;
  if (c.vibratoPosition >= 0) d = -d;
  c.periodDelta = d;
  c.updateFlags |= UpdateFrequency;
}

void DoTremolo(ModuleChannel& c) {
  int waveform = (c.waveControl >> 4) & 3;
  int32_t value = WaveformValue(waveform == 3 ? WaveSine : waveform, c.tremoloPosition);
  int32_t d = (c.tremoloDepth * value) >> 6;
  if (c.tremoloPosition >= 0) {
    if (c.volume + d > 64) d = 64 - c.volume;
    c.volumeDelta = d;
  } else {
    if (int16_t(c.volume - d) < 0) d = c.volume;
    c.volumeDelta = -d;
  }
  int32_t p = c.tremoloPosition + c.tremoloSpeed;
  if (p > 31) p -= 64;
  c.tremoloPosition = int8_t(p);
  c.updateFlags |= UpdateVolume;
}

void DoTremor(ModuleChannel& c) {
  if (c.tremorPosition >= c.tremorOnTicks) c.volumeDelta = -c.volume;
  c.tremorPosition += 1;
  if (c.tremorPosition >= c.tremorOnTicks + c.tremorOffTicks) c.tremorPosition = 0;
  c.updateFlags |= UpdateVolume;
}

void DoAutoVibrato(ModuleChannel& c, const ModuleInstrument& instrument) {
  int32_t p = c.autoVibratoPosition;
  int32_t value;
  switch (instrument.vibratoType) {
    case 0:
      value = int32_t(std::sin(p * double(0.024543688f)) * 64);
      break;
    case 1:
      value = p < 128 ? 64 : -64;
      break;
    case 2:
      value = (128 - ((p + 128) % 256)) >> 1;
      break;
    case 3:
      value = (128 - ((384 - p) % 256)) >> 1;
      break;
    default:
      value = 0;
      break;  // the format defines no other type
  }
  int32_t d = instrument.vibratoDepth * value;
  if (instrument.vibratoSweep != 0) d = c.autoVibratoSweep * d / instrument.vibratoSweep;
  c.periodDelta += d >> 6;
  if (c.autoVibratoSweep < instrument.vibratoSweep) c.autoVibratoSweep += 1;
  p += instrument.vibratoRate;
  if (p > 255) p -= 256;
  c.autoVibratoPosition = p;
  c.updateFlags |= UpdateFrequency;
}

void SetEnvelopePosition(ModuleChannel& c, const ModuleInstrument& instrument, int32_t q) {
  const ModuleEnvelopePoint* points = instrument.volumePoints;
  int32_t n = instrument.volumePointCount;
  ModuleEnvelopeState& e = c.volumeEnvelope;
  int32_t k = 0;
  while (k < n && q > points[k + 1].tick) ++k;
  e.point = k;
  if (k >= n - 1) {
    e.output = points[n - 1].value;
    e.stopped = 1;
    return;
  }
  e.stopped = 0;
  e.tick = q;
  int32_t ticks = points[k + 1].tick - points[k].tick;
  e.step = ticks != 0 ? ((points[k + 1].value - points[k].value) * 65536) / ticks : 0;
  e.point = k + 1;
  int64_t value = int64_t(q - points[k].tick) * e.step + points[k].value * 65536;
  e.value = int32_t(std::clamp<int64_t>(value, 0, 64 * 65536));
  e.output = e.value >> 16;
}

void VolumeColumn(ModuleChannel& c, uint8_t v) {
  int32_t low = v & 15;
  switch (v >> 4) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
      if (v <= 0x50) {
        c.volume = v - 0x10;
        c.updateFlags |= UpdateVolume;
      }
      break;
    case 6:
    case 8:
      c.volume = std::max(c.volume - low, 0);
      c.updateFlags |= UpdateVolume;
      break;
    case 7:
    case 9:
      c.volume = std::min(c.volume + low, 64);
      c.updateFlags |= UpdateVolume;
      break;
    case 10:
      c.vibratoSpeed = uint8_t(low);
      break;
    case 11:
      c.vibratoDepth = uint8_t(low);
      break;
    case 12:
      c.panning = low * 16;
      c.updateFlags |= UpdatePanning;
      break;
    case 13:
      c.panning -= low;
      c.updateFlags |= UpdatePanning;
      break;
    case 14:
      c.panning += low;
      c.updateFlags |= UpdatePanning;
      break;
    case 15:
      if (low != 0) c.portamentoSpeed = uint8_t(low * 16);
      c.portamentoTarget = c.notePeriod;
      c.updateFlags &= ~UpdateStartNote;
      break;
    default:
      break;
  }
}

void VolumeColumnTick(ModuleChannel& c, uint8_t v) {
  int32_t low = v & 15;
  switch (v >> 4) {
    case 6:
      c.volume = std::max(c.volume - low, 0);
      c.updateFlags |= UpdateVolume;
      break;
    case 7:
      c.volume = std::min(c.volume + low, 64);
      c.updateFlags |= UpdateVolume;
      break;
    case 11:
      c.vibratoDepth = uint8_t(low);
      DoVibrato(c);
      AdvanceVibrato(c);
      break;
    case 13:
      c.panning -= low;
      c.updateFlags |= UpdatePanning;
      break;
    case 14:
      c.panning += low;
      c.updateFlags |= UpdatePanning;
      break;
    case 15:
      TonePortamento(c);
      break;
    default:
      break;
  }
}

void EffectRow(ModuleMachine& machine, ModuleChannel& c, const ModuleCell& cell,
               ModuleInstrument& instrument, ModuleSample& sample) {
  ModuleSong& song = *machine.song;
  const uint8_t p = cell.parameter, x = p >> 4, y = p & 15;
  switch (cell.effect) {
    case 1:
      if (p) c.portamentoUpMemory = p;
      break;
    case 2:
      if (p) c.portamentoDownMemory = p;
      break;
    case 3:
      if (p) c.portamentoSpeed = p;
      c.portamentoTarget = c.notePeriod;
      c.updateFlags &= ~(UpdateFrequency | UpdateStartNote);
      break;
    case 4:
      if (x) c.vibratoSpeed = x;
      if (y) c.vibratoDepth = y;
      DoVibrato(c);
      break;
    case 5:
      c.portamentoTarget = c.notePeriod;
      if (p) c.volumeSlideMemory = p;
      c.updateFlags &= ~(UpdateFrequency | UpdateStartNote);
      break;
    case 6:
      if (p) c.volumeSlideMemory = p;
      DoVibrato(c);
      break;
    case 7:
      if (x) c.tremoloSpeed = x;
      if (y) c.tremoloDepth = y;
      break;
    case 8:
      c.panning = p;
      c.updateFlags |= UpdatePanning;
      break;
    case 9: {
      if (p) c.sampleOffsetMemory = p;
      uint32_t offset = c.sampleOffsetMemory * 256;
      if (offset < sample.loopStart + sample.loopLength) {
        machine.voices[c.voice].offsetRequest = offset;
      } else {
        c.updateFlags = uint8_t((c.updateFlags & ~UpdateStartNote) | UpdateRestart);
      }
      break;
    }
    case 10:
      if (p) c.volumeSlideMemory = p;
      break;
    case 11:
      song.nextRow = 0;
      song.nextOrder = p >= song.songLength ? 0 : p;
      machine.jumpSeen = true;
      break;
    case 12:
      c.volume = p;
      c.updateFlags |= UpdateVolume;
      break;
    case 13: {
      int32_t row = x * 10 + y;
      song.nextRow = row > 63 ? 0 : row;
      if (!machine.jumpSeen) song.nextOrder = song.orderPosition + 1;
      if (song.nextOrder >= song.songLength) song.nextOrder = 0;
      break;
    }
    case 14:
      ExtendedRow(machine, c, x, y, sample);
      break;
    case 15:
      if (p < 32) {
        song.speed = p;
      } else {
        SetBpm(song, p);
      }
      break;
    case 16:
      song.globalVolume = std::min<int32_t>(p, 64);
      c.updateFlags |= UpdateVolume;
      break;
    case 17:
      if (p) song.globalVolumeSlideMemory = p;
      break;
    case 21:
      if (instrument.volumeType & EnvelopeOn) SetEnvelopePosition(c, instrument, p);
      break;
    case 25:
      if (p) {
        c.panningSlideMemory = p;
        c.updateFlags |= UpdatePanning;
      }
      break;
    case 27:
      if (p) {
        c.retriggerAction = x;
        c.retriggerInterval = y;
      }
      break;
    case 29:
      if (p) {
        c.tremorOnTicks = uint8_t(x + 1);
        c.tremorOffTicks = uint8_t(y + 1);
      }
      DoTremor(c);
      break;
    case 33:
      if (x == 1) {
        if (y) c.extraFineUpMemory = y;
        c.period = ClampPeriod(c.period - c.extraFineUpMemory);
      } else if (x == 2) {
        if (y) c.extraFineDownMemory = y;
        c.period = ClampPeriod(c.period + c.extraFineDownMemory);
      }
      break;
    default:
      break;
  }
}

void EffectTick(ModuleMachine& machine, ModuleChannel& c, const ModuleCell& cell,
                ModuleSample& sample) {
  ModuleSong& song = *machine.song;
  const uint8_t p = cell.parameter, x = p >> 4, y = p & 15;
  const int32_t tick = song.tick;
  switch (cell.effect) {
    case 0:
      if (p) {
        int32_t offset = tick % 3 == 1 ? x : tick % 3 == 2 ? y : 0;
        if (song.flags & 1) {
          c.periodDelta = offset * 64;
        } else {
          c.periodDelta = AmigaPeriod(c.realNote + offset, sample.finetune) -
                          AmigaPeriod(c.realNote, sample.finetune);
        }
        c.updateFlags |= UpdateFrequency;
      }
      break;
    case 1:
      c.period = std::max(c.period - c.portamentoUpMemory * 4, 56);
      c.periodDelta = 0;
      c.updateFlags |= UpdateFrequency;
      break;
    case 2:
      c.period = ClampPeriod(c.period + c.portamentoDownMemory * 4);
      c.periodDelta = 0;
      c.updateFlags |= UpdateFrequency;
      break;
    case 3:
      c.periodDelta = 0;
      TonePortamento(c);
      break;
    case 4:
      DoVibrato(c);
      AdvanceVibrato(c);
      break;
    case 5:
      c.periodDelta = 0;
      TonePortamento(c);
      VolumeSlide(c);
      break;
    case 6:
      DoVibrato(c);
      AdvanceVibrato(c);
      VolumeSlide(c);
      break;
    case 7:
      DoTremolo(c);
      break;
    case 10:
      VolumeSlide(c);
      break;
    case 14:
      ExtendedTick(machine, c, cell, x, y, sample);
      break;
    case 17: {
      int32_t mx = song.globalVolumeSlideMemory >> 4, my = song.globalVolumeSlideMemory & 15;
      song.globalVolume =
          mx != 0 ? std::min(song.globalVolume + mx, 64) : std::max(song.globalVolume - my, 0);
      break;
    }
    case 25: {
      int32_t mx = c.panningSlideMemory >> 4, my = c.panningSlideMemory & 15;
      c.panning = mx != 0 ? std::min(c.panning + mx, 255) : std::max(c.panning - my, 0);
      c.updateFlags |= UpdatePanning;
      break;
    }
    case 27:
      if (c.retriggerInterval != 0 && tick % c.retriggerInterval == 0) {
        if (c.retriggerAction != 0) {
          c.volume = std::clamp(RetriggerVolume(c.volume, c.retriggerAction), 0, 64);
          c.updateFlags |= UpdateVolume;
        }
        c.updateFlags |= UpdateStartNote;
      }
      break;
    case 29:
      DoTremor(c);
      break;
    default:
      break;
  }
}
