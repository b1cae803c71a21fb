// Replay: rows and ticks, envelopes, periods, and carrying each channel into its mixer voice.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "module/module_effects.h"

namespace {

// Portamento down and the fine slides have no musical limit; this bound only keeps the period
// arithmetic from overflowing after hours of sliding.
constexpr int32_t PeriodBound = 1 << 24;

// The highest frequency a voice takes: keeps the playback step below 256 frames per output frame
// so the 32.32 step arithmetic stays in range.
constexpr int64_t MaxFrequency = int64_t(255) * MixRate;

// 255 / 2^35 in single precision: it takes the product of volume, envelope, fadeout and global
// volume (at most 64 x 64 x 65,536 x 64 = 2^34) to a voice volume of at most 127.
constexpr float VolumeScale = 7.4214767664670944e-9f;

void LookUp(const ModuleSong& song, const ModuleChannel& channel,
            const ModuleInstrument*& instrument, const ModuleSample*& sample) {
  if (channel.Instrument < song.InstrumentCount) {
    instrument = &song.Instruments[channel.Instrument];
    uint8_t k = instrument->Keymap[channel.Note];
    sample = k < 16 ? instrument->Samples[k] : &EmptySample;
  } else {
    instrument = &EmptyInstrument;
    sample = &EmptySample;
  }
}

void Envelopes(ModuleChannel& channel, const ModuleInstrument& instrument) {
  if ((instrument.VolumeType & EnvelopeOn) && !channel.VolumeEnvelope.Stopped) {
    ProcessEnvelope(channel, channel.VolumeEnvelope, instrument.VolumePoints,
                    instrument.VolumePointCount, instrument.VolumeType, instrument.VolumeSustain,
                    instrument.VolumeLoopStart, instrument.VolumeLoopEnd, UpdateVolume);
  }
  if ((instrument.PanningType & EnvelopeOn) && !channel.PanningEnvelope.Stopped) {
    ProcessEnvelope(channel, channel.PanningEnvelope, instrument.PanningPoints,
                    instrument.PanningPointCount, instrument.PanningType, instrument.PanningSustain,
                    instrument.PanningLoopStart, instrument.PanningLoopEnd, UpdatePanning);
  }
}

void Fadeout(ModuleChannel& channel, const ModuleInstrument& instrument) {
  if (!channel.KeyOff) return;
  channel.FadeoutVolume -= instrument.Fadeout;
  if (channel.FadeoutVolume < 0) channel.FadeoutVolume = 0;
  channel.UpdateFlags |= UpdateVolume;
}

// Channel volumes from the voice's panning and volume: panning 0 is fully left, 255 fully right.
void ChannelVolumes(MixVoice& voice) {
  voice.LeftVolume = (255 - voice.Panning) * voice.Volume / 255;
  voice.RightVolume = voice.Panning * voice.Volume / 255;
}

// The tick that a note delay EDx holds its cell back to, x; 0 for a cell played on the row tick
// (ED0 included).
int32_t DelayTick(const ModuleCell& cell) {
  const bool delay = cell.Effect == EffectExtended && (cell.Parameter >> 4) == ExtendedNoteDelay;
  return delay ? cell.Parameter & 15 : 0;
}

const ModuleCell* RowCells(const ModuleMachine& machine) {
  const ModuleSong& song = *machine.Song;
  const ModulePattern& pattern = song.Patterns[song.OrderTable[machine.OrderPosition]];
  return pattern.Cells + size_t(machine.Row) * song.Channels;
}

}  // namespace

void SetBpm(ModuleMachine& machine, int32_t bpm) {
  if (bpm < 1) bpm = 1;
  machine.Bpm = bpm;
  // A tick lasts 2.5 / BPM seconds. 0.4 and 0.001 stay single-precision: the truncated count
  // depends on their rounding (floor(110,250 / BPM) frames at 44,100 Hz).
  machine.SamplesPerTick = int32_t(1000.0 / (bpm * double(0.4f)) * MixRate * double(0.001f));
}

int32_t AmigaPeriod(int32_t realNote, int32_t finetune) {
  const double d = double(1.0f / 12.0f);
  auto p = [d](int32_t k) { return int32_t(std::pow(2.0, k * d) * 13.375); };
  int32_t p0 = p(132 - realNote);
  if (finetune < 0 && realNote != 0) {
    int32_t p1 = p(133 - realNote);
    return p0 + (std::abs(finetune) * (p0 - p1)) / -128;
  }
  int32_t p1 = p(131 - realNote);
  return p0 + ((p0 - p1) * finetune) / -128;
}

void SetNotePeriod(const ModuleSong& song, ModuleChannel& channel, const ModuleSample& sample,
                   int32_t note, int32_t finetune) {
  channel.RealNote = uint8_t(sample.RelativeNote + note);
  channel.NotePeriod = song.Flags & SongLinearFrequencies
                           ? 7680 - channel.RealNote * 64 - finetune / 2
                           : AmigaPeriod(channel.RealNote, finetune);
}

void KeyOff(ModuleChannel& channel, const ModuleInstrument& instrument) {
  channel.KeyOff = 1;
  if (!(instrument.VolumeType & EnvelopeOn)) channel.Volume = 0;
  channel.UpdateFlags |= UpdateVolume;
}

int32_t PeriodToFrequency(const ModuleSong& song, int32_t period, int32_t periodDelta) {
  double f;
  if (song.Flags & SongLinearFrequencies) {
    f = 8363.0 * std::pow(2.0, double((4608 - period) + periodDelta) * double(1.0f / 768.0f));
  } else {
    int32_t sum = period + periodDelta;
    if (sum == 0) return 0;
    f = double(14317056 / sum);
  }
  if (f > double(MaxFrequency)) return int32_t(MaxFrequency);
  if (f < 100) return 100;
  return int32_t(f);
}

void ResetChannel(ModuleChannel& channel, const ModuleSample& sample) {
  channel.Volume = sample.DefaultVolume;
  channel.Panning = int32_t(sample.DefaultPanning);
  ModuleEnvelopeState& v = channel.VolumeEnvelope;
  v.Tick = v.Point = v.Step = 0;
  v.Output = 64;
  v.Stopped = 0;
  ModuleEnvelopeState& p = channel.PanningEnvelope;
  p.Tick = p.Point = p.Step = 0;
  p.Output = 32;
  p.Stopped = 0;
  channel.KeyOff = 0;
  channel.FadeoutVolume = 65536;
  channel.AutoVibratoPosition = 0;
  channel.AutoVibratoSweep = 0;
  channel.TremorPosition = 0;
  if ((channel.WaveControl & 15) < 4) channel.VibratoPosition = 0;
  if ((channel.WaveControl >> 4) < 4) channel.TremoloPosition = 0;
  channel.UpdateFlags |= UpdateVolume | UpdatePanning;
}

void ProcessEnvelope(ModuleChannel& channel, ModuleEnvelopeState& state,
                     const ModuleEnvelopePoint* points, uint8_t count, uint8_t type,
                     uint8_t sustain, uint8_t loopStart, uint8_t loopEnd, uint8_t flag) {
  int32_t n = count;
  if (state.Point < n && state.Tick == points[state.Point].Tick) {
    if ((type & EnvelopeLoop) && state.Point == loopEnd) {
      state.Point = loopStart;
      state.Tick = points[state.Point].Tick;
    }
    const ModuleEnvelopePoint& here = points[state.Point];
    if (state.Point == n - 1) {
      state.Output = here.Value;
      state.Stopped = 1;
      channel.UpdateFlags |= flag;
      return;
    }
    if ((type & EnvelopeSustain) && state.Point == sustain && !channel.KeyOff) {
      state.Output = here.Value;
      channel.UpdateFlags |= flag;
      return;
    }
    const ModuleEnvelopePoint& next = points[state.Point + 1];
    int32_t ticks = next.Tick - here.Tick;
    state.Step = ticks != 0 ? ((next.Value - here.Value) * 65536) / ticks : 0;
    state.Value = here.Value * 65536;
    state.Point += 1;
  } else if (state.Point < n) {
    // Envelope values are 0..64; holding the sum there keeps an envelope whose tick was moved
    // before its first point (effect L) from running away.
    int64_t value = int64_t(state.Value) + state.Step;
    state.Value = int32_t(value < 0 ? 0 : value > 64 * 65536 ? 64 * 65536 : value);
  }
  state.Output = state.Value >> 16;
  state.Tick += 1;
  channel.UpdateFlags |= flag;
}

void UpdateVoice(ModuleMachine& machine, ModuleChannel& channel, const ModuleSample& sample) {
  const ModuleSong& song = *machine.Song;
  MixVoice* v = &machine.Voices[channel.Voice];
  if (channel.Period + channel.PeriodDelta == 0) channel.UpdateFlags &= ~UpdateFrequency;
  uint8_t flags = channel.UpdateFlags;

  if (flags & UpdateStartNote) {
    if (v->Sample) {
      // The sounding note moves to the twin voice and ramps down there while the new one starts.
      int32_t twin = v->Number < 32 ? v->Number + 32 : v->Number - 32;
      MixVoice& t = machine.Voices[twin];
      t = *v;
      t.Number = twin;
      v->Volume = 0;
      v->LeftVolume = v->RightVolume = 0;
      channel.Voice = twin;
      v = &t;
    }
    v->Sample = &sample;
    if (v->OffsetRequest >= sample.LoopStart + sample.LoopLength) v->OffsetRequest = 0;
    v->Position = v->OffsetRequest;
    v->PositionFraction = 0;
    v->Direction = 1;
    v->OffsetRequest = 0;
    v->LeftLevel = v->RightLevel = 0;
    v->RampFramesLeft = 0;
  }
  if (flags & UpdateVolume) {
    int64_t product = int64_t(channel.Volume + channel.VolumeDelta) *
                      channel.VolumeEnvelope.Output * channel.FadeoutVolume * machine.GlobalVolume;
    v->Volume = int32_t(double(product) * double(VolumeScale));
    ChannelVolumes(*v);
  }
  if (flags & UpdatePanning) {
    int32_t p = channel.Panning + ((128 - std::abs(channel.Panning - 128)) / 32) *
                                      (channel.PanningEnvelope.Output - 32);
    v->Panning = p < 0 ? 0 : p > 255 ? 255 : p;
    ChannelVolumes(*v);
  }
  if (flags & UpdateFrequency) {
    uint32_t f = uint32_t(PeriodToFrequency(song, channel.Period, channel.PeriodDelta));
    v->StepInteger = f / MixRate;
    v->StepFraction = uint32_t((uint64_t(f % MixRate) << 32) / MixRate);
  }
  if (flags & UpdateRestart) {
    v->Position = 0;
    v->PositionFraction = 0;
    v->OffsetRequest = 0;
  }
}

void DoRow(ModuleMachine& machine) {
  const ModuleSong& song = *machine.Song;
  machine.NextRow = -1;
  machine.NextOrder = -1;
  machine.JumpSeen = false;
  const ModuleCell* cells = RowCells(machine);
  for (int i = 0; i < song.Channels; ++i) {
    ModuleChannel& c = machine.Channels[i];
    const ModuleCell& cell = cells[i];
    const bool noteDelay = DelayTick(cell) != 0;
    // K00 keys off on the row tick in place of the cell's note; K with a parameter keys off on
    // that tick of the row (EffectTick) after the note has started.
    const bool keyOffCell =
        cell.Note == NoteKeyOff || (cell.Effect == EffectKeyOff && cell.Parameter == 0);
    // The volume column's tone portamento (Mx) takes a note as its target just as effect 3
    // does, unless a note delay plays the cell as a delayed note.
    const bool tonePortamento = cell.Effect == EffectTonePortamento ||
                                cell.Effect == EffectTonePortamentoVolumeSlide ||
                                ((cell.Volume >> 4) == VolumeTonePortamento && !noteDelay);
    const bool hasNote = cell.Note >= 1 && cell.Note <= 254 && !keyOffCell;
    // A key-off releases the instrument that sounds: an instrument number next to it does not
    // switch to another one.
    if (cell.Instrument != 0 && !tonePortamento && !keyOffCell)
      c.Instrument = uint8_t(cell.Instrument - 1);
    if (hasNote && !tonePortamento) c.Note = uint8_t(cell.Note - 1);
    const ModuleInstrument* instrument;
    const ModuleSample* sample;
    LookUp(song, c, instrument, sample);

    const int32_t oldPeriod = c.Period, oldVolume = c.Volume, oldPanning = c.Panning;
    if (c.PreviousEffect == EffectTremolo && cell.Effect != EffectTremolo)
      c.Volume += c.VolumeDelta;
    c.VolumeDelta = 0;
    c.UpdateFlags = 0;
    c.PreviousEffect = cell.Effect;
    if (hasNote) {
      // E5y plays this row's note with finetune (y - 8) x 16; the sample keeps its own.
      int32_t finetune = sample->Finetune;
      if (cell.Effect == EffectExtended && (cell.Parameter >> 4) == ExtendedSetFinetune)
        finetune = ((cell.Parameter & 15) - 8) * 16;
      SetNotePeriod(song, c, *sample, cell.Note - 1, finetune);
      if (!tonePortamento) c.Period = c.NotePeriod;
      c.UpdateFlags = UpdateStartNote;
    }
    c.PeriodDelta = 0;
    c.UpdateFlags |= UpdateFrequency | UpdateVolume;
    // A delayed key-off acts on its tick (EffectTick).
    if (keyOffCell && !noteDelay) KeyOff(c, *instrument);
    if (cell.Instrument != 0) {
      if (keyOffCell) {
        // Next to a key-off the instrument number restores volume and panning only: the note is
        // being released, so its envelopes and fadeout go on instead of starting again (and an
        // instrument without a volume envelope sounds on at that volume).
        c.Volume = sample->DefaultVolume;
        c.Panning = int32_t(sample->DefaultPanning);
        c.UpdateFlags |= UpdateVolume | UpdatePanning;
      } else {
        ResetChannel(c, *sample);
      }
    }
    // A delayed cell's volume byte acts on its tick.
    if (cell.Volume != 0 && !noteDelay) VolumeColumn(c, cell.Volume);
    Envelopes(c, *instrument);
    Fadeout(c, *instrument);
    EffectRow(machine, c, cell, *instrument, *sample);
    if (noteDelay) {
      // Note delay: the row changes nothing yet; period, volume and panning stay as they were.
      c.Period = oldPeriod;
      c.Volume = oldVolume;
      c.Panning = oldPanning;
    }
    DoAutoVibrato(c, *instrument);
    UpdateVoice(machine, c, *sample);
  }
}

void DoTick(ModuleMachine& machine) {
  const ModuleSong& song = *machine.Song;
  const ModuleCell* cells = RowCells(machine);
  for (int i = 0; i < song.Channels; ++i) {
    ModuleChannel& c = machine.Channels[i];
    const ModuleCell& cell = cells[i];
    const ModuleInstrument* instrument;
    const ModuleSample* sample;
    LookUp(song, c, instrument, sample);
    c.VolumeDelta = 0;
    c.PeriodDelta = 0;
    c.UpdateFlags = 0;
    Envelopes(c, *instrument);
    Fadeout(c, *instrument);
    // A delayed cell's volume byte starts on the cell's tick, as on a row tick.
    if (machine.Tick > DelayTick(cell)) VolumeColumnTick(c, cell.Volume);
    EffectTick(machine, c, cell, *instrument, *sample);
    DoAutoVibrato(c, *instrument);
    UpdateVoice(machine, c, *sample);
  }
}

void UpdateSong(ModuleMachine& machine) {
  const ModuleSong& song = *machine.Song;
  if (machine.Tick == 0) {
    if (machine.NextOrder >= 0) machine.OrderPosition = machine.NextOrder;
    if (machine.NextRow >= 0) machine.Row = machine.NextRow;
    // A break may name a row past the end of a shorter pattern: play its first row instead.
    uint32_t rows = song.Patterns[song.OrderTable[machine.OrderPosition]].RowCount;
    if (uint32_t(machine.Row) >= rows) machine.Row = 0;
    DoRow(machine);
    if (machine.NextRow == -1) {
      machine.NextRow = machine.Row + 1;
      if (uint32_t(machine.NextRow) >= rows) {
        machine.NextOrder = machine.OrderPosition + 1;
        if (machine.NextOrder >= song.SongLength) machine.NextOrder = song.RestartPosition;
        machine.NextRow = 0;
      }
    }
  } else {
    DoTick(machine);
  }
  machine.Tick += 1;
  if (machine.Tick >= machine.Speed + machine.PatternDelayTicks) {
    machine.Tick = 0;
    machine.PatternDelayTicks = 0;
  }
}

int32_t ClampPeriod(int32_t period) {
  return period < -PeriodBound ? -PeriodBound : period > PeriodBound ? PeriodBound : period;
}

void ResetMachine(ModuleMachine& machine, const ModuleSong* song) {
  machine.Song = song;
  for (int k = 0; k < MixVoiceCount; ++k) {
    machine.Voices[k] = MixVoice{};
    machine.Voices[k].Number = k;
    machine.Voices[k].StepInteger = 1;
  }
  for (int i = 0; i < ModuleMaxChannels; ++i) {
    machine.Channels[i] = ModuleChannel{};
    machine.Channels[i].Voice = i;
  }
  machine.JumpSeen = false;
  machine.RampLength = MixRate * 128 / 44100;
  machine.RampReciprocal = 1.0f / float(machine.RampLength);
  machine.RateReciprocal = 1.0f / float(MixRate);
  machine.FillBlockIndex = 0;
  machine.NextOrder = machine.NextRow = -1;
  machine.Row = machine.OrderPosition = machine.Tick = machine.PatternDelayTicks = 0;
  machine.SamplesLeftInTick = 0;
  machine.ElapsedMilliseconds = 0;
  machine.GlobalVolumeSlideMemory = 0;
  if (!song) return;
  machine.GlobalVolume = song->DefaultGlobalVolume;
  machine.Speed = song->DefaultSpeed;
  SetBpm(machine, song->DefaultBpm);
}
