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
  int32_t x = c.volumeSlideMemory >> 4, y = c.volumeSlideMemory & 15;
  c.volume = x != 0 ? std::min(c.volume + x, 64) : std::max(c.volume - y, 0);
  c.updateFlags |= UpdateVolume;
}

void AdvanceVibrato(ModuleChannel& c) {
  int32_t p = c.vibratoPosition + c.vibratoSpeed;
  if (p > 31) p -= 64;
  c.vibratoPosition = int8_t(p);
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

void ExtendedRow(ModuleMachine& machine, ModuleChannel& c, const ModuleCell& cell, uint8_t x,
                 uint8_t y) {
  ModuleSong& song = *machine.song;
  switch (x) {
    case ExtendedFinePortamentoUp:
      if (y) c.finePortamentoUpMemory = y;
      c.period = ClampPeriod(c.period - c.finePortamentoUpMemory * 4);
      break;
    case ExtendedFinePortamentoDown:
      if (y) c.finePortamentoDownMemory = y;
      c.period = ClampPeriod(c.period + c.finePortamentoDownMemory * 4);
      break;
    case ExtendedVibratoControl:
      c.waveControl = uint8_t((c.waveControl & 0xF0) | y);
      break;
    case ExtendedPatternLoop:
      if (y == 0) {
        c.patternLoopRow = song.row;
      } else {
        c.patternLoopCount = c.patternLoopCount == 0 ? y : c.patternLoopCount - 1;
        if (c.patternLoopCount != 0) song.nextRow = c.patternLoopRow;
      }
      break;
    case ExtendedTremoloControl:
      c.waveControl = uint8_t((c.waveControl & 0x0F) | y << 4);
      break;
    case ExtendedSetPanning:
      c.panning = y * 16;
      c.updateFlags |= UpdatePanning;
      break;
    case ExtendedFineVolumeUp:
      if (y) c.fineVolumeSlideMemory = y;
      c.volume = std::min(c.volume + c.fineVolumeSlideMemory, 64);
      c.updateFlags |= UpdateVolume;
      break;
    case ExtendedFineVolumeDown:
      if (y) c.fineVolumeSlideMemory = y;
      c.volume = std::max(c.volume - c.fineVolumeSlideMemory, 0);
      c.updateFlags |= UpdateVolume;
      break;
    case ExtendedNoteDelay:
      // A delayed key-off leaves the sounding note alone until its tick.
      if (y != 0 && cell.note != NoteKeyOff)
        c.updateFlags &= ~(UpdateFrequency | UpdateVolume | UpdatePanning | UpdateStartNote);
      break;
    case ExtendedPatternDelay:
      song.patternDelayTicks = song.speed * y;
      break;
    default:
      break;
  }
}

void ExtendedTick(ModuleMachine& machine, ModuleChannel& c, const ModuleCell& cell, uint8_t x,
                  uint8_t y, const ModuleInstrument& instrument, const ModuleSample& sample) {
  const int32_t tick = machine.song->tick;
  switch (x) {
    case ExtendedRetrigger:
      if (y != 0 && tick % y == 0)
        c.updateFlags |= UpdateStartNote | UpdateVolume | UpdateFrequency;
      break;
    case ExtendedNoteCut:
      if (tick == y) {
        c.volume = 0;
        c.updateFlags |= UpdateVolume;
      }
      break;
    case ExtendedNoteDelay:
      if (y == 0) break;  // ED0 played its cell on the row tick
      if (cell.note == NoteKeyOff) {
        // A delayed key-off releases the note on its tick and never starts one.
        if (tick == y) {
          c.keyOff = 1;
          if (!(instrument.volumeType & EnvelopeOn)) c.volumeEnvelope.output = 0;
          c.updateFlags |= UpdateVolume;
        }
      } else if (tick != y) {
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
  if (v >= VolumeSetFirst && v <= VolumeSetLast) {
    c.volume = v - VolumeSetFirst;
    c.updateFlags |= UpdateVolume;
    return;
  }
  switch (v >> 4) {
    case VolumeSlideDown:
    case VolumeFineSlideDown:
      c.volume = std::max(c.volume - low, 0);
      c.updateFlags |= UpdateVolume;
      break;
    case VolumeSlideUp:
    case VolumeFineSlideUp:
      c.volume = std::min(c.volume + low, 64);
      c.updateFlags |= UpdateVolume;
      break;
    case VolumeVibratoSpeed:
      c.vibratoSpeed = uint8_t(low);
      break;
    case VolumeVibrato:
      c.vibratoDepth = uint8_t(low);
      break;
    case VolumeSetPanning:
      c.panning = low * 16;
      c.updateFlags |= UpdatePanning;
      break;
    case VolumePanningSlideLeft:
      c.panning -= low;
      c.updateFlags |= UpdatePanning;
      break;
    case VolumePanningSlideRight:
      c.panning += low;
      c.updateFlags |= UpdatePanning;
      break;
    case VolumeTonePortamento:
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
    case VolumeSlideDown:
      c.volume = std::max(c.volume - low, 0);
      c.updateFlags |= UpdateVolume;
      break;
    case VolumeSlideUp:
      c.volume = std::min(c.volume + low, 64);
      c.updateFlags |= UpdateVolume;
      break;
    case VolumeVibrato:
      c.vibratoDepth = uint8_t(low);
      DoVibrato(c);
      AdvanceVibrato(c);
      break;
    case VolumePanningSlideLeft:
      c.panning -= low;
      c.updateFlags |= UpdatePanning;
      break;
    case VolumePanningSlideRight:
      c.panning += low;
      c.updateFlags |= UpdatePanning;
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
  ModuleSong& song = *machine.song;
  const uint8_t p = cell.parameter, x = p >> 4, y = p & 15;
  switch (cell.effect) {
    case EffectPortamentoUp:
      if (p) c.portamentoUpMemory = p;
      break;
    case EffectPortamentoDown:
      if (p) c.portamentoDownMemory = p;
      break;
    case EffectTonePortamento:
      if (p) c.portamentoSpeed = p;
      c.portamentoTarget = c.notePeriod;
      c.updateFlags &= ~(UpdateFrequency | UpdateStartNote);
      break;
    case EffectVibrato:
      if (x) c.vibratoSpeed = x;
      if (y) c.vibratoDepth = y;
      DoVibrato(c);
      break;
    case EffectTonePortamentoVolumeSlide:
      c.portamentoTarget = c.notePeriod;
      if (p) c.volumeSlideMemory = p;
      c.updateFlags &= ~(UpdateFrequency | UpdateStartNote);
      break;
    case EffectVibratoVolumeSlide:
      if (p) c.volumeSlideMemory = p;
      DoVibrato(c);
      break;
    case EffectTremolo:
      if (x) c.tremoloSpeed = x;
      if (y) c.tremoloDepth = y;
      break;
    case EffectSetPanning:
      c.panning = p;
      c.updateFlags |= UpdatePanning;
      break;
    case EffectSampleOffset: {
      if (p) c.sampleOffsetMemory = p;
      uint32_t offset = c.sampleOffsetMemory * 256;
      if (offset < sample.loopStart + sample.loopLength) {
        machine.voices[c.voice].offsetRequest = offset;
      } else {
        c.updateFlags = uint8_t((c.updateFlags & ~UpdateStartNote) | UpdateRestart);
      }
      break;
    }
    case EffectVolumeSlide:
      if (p) c.volumeSlideMemory = p;
      break;
    case EffectPositionJump:
      song.nextRow = 0;
      song.nextOrder = p >= song.songLength ? 0 : p;
      machine.jumpSeen = true;
      break;
    case EffectSetVolume:
      c.volume = p;
      c.updateFlags |= UpdateVolume;
      break;
    case EffectPatternBreak: {
      int32_t row = x * 10 + y;
      song.nextRow = row > 63 ? 0 : row;
      if (!machine.jumpSeen) song.nextOrder = song.orderPosition + 1;
      if (song.nextOrder >= song.songLength) song.nextOrder = 0;
      break;
    }
    case EffectExtended:
      ExtendedRow(machine, c, cell, x, y);
      break;
    case EffectSetSpeed:
      if (p < 32) {
        song.speed = p;
      } else {
        SetBpm(song, p);
      }
      break;
    case EffectSetGlobalVolume:
      song.globalVolume = std::min<int32_t>(p, 64);
      c.updateFlags |= UpdateVolume;
      break;
    case EffectGlobalVolumeSlide:
      if (p) song.globalVolumeSlideMemory = p;
      break;
    case EffectSetEnvelopePosition:
      if (instrument.volumeType & EnvelopeOn) SetEnvelopePosition(c, instrument, p);
      break;
    case EffectPanningSlide:
      if (p) {
        c.panningSlideMemory = p;
        c.updateFlags |= UpdatePanning;
      }
      break;
    case EffectMultiRetrigger:
      if (p) {
        c.retriggerAction = x;
        c.retriggerInterval = y;
      }
      break;
    case EffectTremor:
      if (p) {
        c.tremorOnTicks = uint8_t(x + 1);
        c.tremorOffTicks = uint8_t(y + 1);
      }
      DoTremor(c);
      break;
    case EffectExtraFinePortamento:
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
                const ModuleInstrument& instrument, const ModuleSample& sample) {
  ModuleSong& song = *machine.song;
  const uint8_t p = cell.parameter, x = p >> 4, y = p & 15;
  const int32_t tick = song.tick;
  switch (cell.effect) {
    case EffectArpeggio:
      if (p) {
        int32_t offset = tick % 3 == 1 ? x : tick % 3 == 2 ? y : 0;
        if (song.flags & SongLinearFrequencies) {
          c.periodDelta = offset * 64;
        } else {
          c.periodDelta = AmigaPeriod(c.realNote + offset, sample.finetune) -
                          AmigaPeriod(c.realNote, sample.finetune);
        }
        c.updateFlags |= UpdateFrequency;
      }
      break;
    case EffectPortamentoUp:
      c.period = std::max(c.period - c.portamentoUpMemory * 4, 56);
      c.periodDelta = 0;
      c.updateFlags |= UpdateFrequency;
      break;
    case EffectPortamentoDown:
      c.period = ClampPeriod(c.period + c.portamentoDownMemory * 4);
      c.periodDelta = 0;
      c.updateFlags |= UpdateFrequency;
      break;
    case EffectTonePortamento:
      c.periodDelta = 0;
      TonePortamento(c);
      break;
    case EffectVibrato:
      DoVibrato(c);
      AdvanceVibrato(c);
      break;
    case EffectTonePortamentoVolumeSlide:
      c.periodDelta = 0;
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
      int32_t mx = song.globalVolumeSlideMemory >> 4, my = song.globalVolumeSlideMemory & 15;
      song.globalVolume =
          mx != 0 ? std::min(song.globalVolume + mx, 64) : std::max(song.globalVolume - my, 0);
      break;
    }
    case EffectPanningSlide: {
      int32_t mx = c.panningSlideMemory >> 4, my = c.panningSlideMemory & 15;
      c.panning = mx != 0 ? std::min(c.panning + mx, 255) : std::max(c.panning - my, 0);
      c.updateFlags |= UpdatePanning;
      break;
    }
    case EffectMultiRetrigger:
      if (c.retriggerInterval != 0 && tick % c.retriggerInterval == 0) {
        if (c.retriggerAction != 0) {
          c.volume = std::clamp(RetriggerVolume(c.volume, c.retriggerAction), 0, 64);
          c.updateFlags |= UpdateVolume;
        }
        c.updateFlags |= UpdateStartNote;
      }
      break;
    case EffectTremor:
      DoTremor(c);
      break;
    default:
      break;
  }
}
