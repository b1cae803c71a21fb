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

void LookUp(const ModuleSong& song, const ModuleChannel& channel, ModuleInstrument*& instrument,
            ModuleSample*& sample) {
  if (channel.instrument < song.instrumentCount) {
    instrument = &song.instruments[channel.instrument];
    uint8_t k = instrument->keymap[channel.note];
    sample = k < 16 ? instrument->samples[k] : &EmptySample;
  } else {
    instrument = &EmptyInstrument;
    sample = &EmptySample;
  }
}

void Envelopes(ModuleChannel& channel, const ModuleInstrument& instrument) {
  if ((instrument.volumeType & EnvelopeOn) && !channel.volumeEnvelope.stopped) {
    ProcessEnvelope(channel, channel.volumeEnvelope, instrument.volumePoints,
                    instrument.volumePointCount, instrument.volumeType, instrument.volumeSustain,
                    instrument.volumeLoopStart, instrument.volumeLoopEnd, UpdateVolume);
  }
  if ((instrument.panningType & EnvelopeOn) && !channel.panningEnvelope.stopped) {
    ProcessEnvelope(channel, channel.panningEnvelope, instrument.panningPoints,
                    instrument.panningPointCount, instrument.panningType, instrument.panningSustain,
                    instrument.panningLoopStart, instrument.panningLoopEnd, UpdatePanning);
  }
}

void Fadeout(ModuleChannel& channel, const ModuleInstrument& instrument) {
  if (!channel.keyOff) return;
  channel.fadeoutVolume -= instrument.fadeout;
  if (channel.fadeoutVolume < 0) channel.fadeoutVolume = 0;
  channel.updateFlags |= UpdateVolume;
}

// Channel volumes from the voice's panning and volume: panning 0 is fully left, 255 fully right.
void ChannelVolumes(MixVoice& voice) {
  voice.leftVolume = (255 - voice.panning) * voice.volume / 255;
  voice.rightVolume = voice.panning * voice.volume / 255;
}

const ModuleCell* RowCells(const ModuleSong& song) {
  const ModulePattern& pattern = song.patterns[song.orderTable[song.orderPosition]];
  return pattern.cells + size_t(song.row) * song.channels;
}

}  // namespace

void SetBpm(ModuleSong& song, int32_t bpm) {
  if (bpm < 1) bpm = 1;
  song.bpm = bpm;
  // A tick lasts 2.5 / BPM seconds. 0.4 and 0.001 stay single-precision: the truncated count
  // depends on their rounding (floor(110,250 / BPM) frames at 44,100 Hz).
  song.samplesPerTick = int32_t(1000.0 / (bpm * double(0.4f)) * MixRate * double(0.001f));
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

int32_t PeriodToFrequency(const ModuleSong& song, int32_t period, int32_t periodDelta) {
  double f;
  if (song.flags & SongLinearFrequencies) {
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
  channel.volume = sample.defaultVolume;
  channel.panning = int32_t(sample.defaultPanning);
  ModuleEnvelopeState& v = channel.volumeEnvelope;
  v.tick = v.point = v.step = 0;
  v.output = 64;
  v.stopped = 0;
  ModuleEnvelopeState& p = channel.panningEnvelope;
  p.tick = p.point = p.step = 0;
  p.output = 32;
  p.stopped = 0;
  channel.keyOff = 0;
  channel.fadeoutVolume = 65536;
  channel.autoVibratoPosition = 0;
  channel.autoVibratoSweep = 0;
  channel.tremorPosition = 0;
  if ((channel.waveControl & 15) < 4) channel.vibratoPosition = 0;
  if ((channel.waveControl >> 4) < 4) channel.tremoloPosition = 0;
  channel.updateFlags |= UpdateVolume | UpdatePanning;
}

void ProcessEnvelope(ModuleChannel& channel, ModuleEnvelopeState& state,
                     const ModuleEnvelopePoint* points, uint8_t count, uint8_t type,
                     uint8_t sustain, uint8_t loopStart, uint8_t loopEnd, uint8_t flag) {
  int32_t n = count;
  if (state.point < n && state.tick == points[state.point].tick) {
    if ((type & EnvelopeLoop) && state.point == loopEnd) {
      state.point = loopStart;
      state.tick = points[state.point].tick;
    }
    const ModuleEnvelopePoint& here = points[state.point];
    if (state.point == n - 1) {
      state.output = here.value;
      state.stopped = 1;
      channel.updateFlags |= flag;
      return;
    }
    if ((type & EnvelopeSustain) && state.point == sustain && !channel.keyOff) {
      state.output = here.value;
      channel.updateFlags |= flag;
      return;
    }
    const ModuleEnvelopePoint& next = points[state.point + 1];
    int32_t ticks = next.tick - here.tick;
    state.step = ticks != 0 ? ((next.value - here.value) * 65536) / ticks : 0;
    state.value = here.value * 65536;
    state.point += 1;
  } else if (state.point < n) {
    // Envelope values are 0..64; holding the sum there keeps an envelope whose tick was moved
    // before its first point (effect L) from running away.
    int64_t value = int64_t(state.value) + state.step;
    state.value = int32_t(value < 0 ? 0 : value > 64 * 65536 ? 64 * 65536 : value);
  }
  state.output = state.value >> 16;
  state.tick += 1;
  channel.updateFlags |= flag;
}

void UpdateVoice(ModuleMachine& machine, ModuleChannel& channel, const ModuleSample& sample) {
  const ModuleSong& song = *machine.song;
  MixVoice* v = &machine.voices[channel.voice];
  if (channel.period + channel.periodDelta == 0) channel.updateFlags &= ~UpdateFrequency;
  uint8_t flags = channel.updateFlags;

  if (flags & UpdateStartNote) {
    if (v->sample) {
      // The sounding note moves to the twin voice and ramps down there while the new one starts.
      int32_t twin = v->number < 32 ? v->number + 32 : v->number - 32;
      MixVoice& t = machine.voices[twin];
      t = *v;
      t.number = twin;
      v->volume = 0;
      v->leftVolume = v->rightVolume = 0;
      channel.voice = twin;
      v = &t;
    }
    v->sample = &sample;
    if (v->offsetRequest >= sample.loopStart + sample.loopLength) v->offsetRequest = 0;
    v->position = v->offsetRequest;
    v->positionFraction = 0;
    v->direction = 1;
    v->offsetRequest = 0;
    v->leftLevel = v->rightLevel = 0;
    v->rampFramesLeft = 0;
  }
  if (flags & UpdateVolume) {
    int64_t product = int64_t(channel.volume + channel.volumeDelta) *
                      channel.volumeEnvelope.output * channel.fadeoutVolume * song.globalVolume;
    v->volume = int32_t(double(product) * double(VolumeScale));
    ChannelVolumes(*v);
  }
  if (flags & UpdatePanning) {
    int32_t p = channel.panning + ((128 - std::abs(channel.panning - 128)) / 32) *
                                      (channel.panningEnvelope.output - 32);
    v->panning = p < 0 ? 0 : p > 255 ? 255 : p;
    ChannelVolumes(*v);
  }
  if (flags & UpdateFrequency) {
    uint32_t f = uint32_t(PeriodToFrequency(song, channel.period, channel.periodDelta));
    v->stepInteger = f / MixRate;
    v->stepFraction = uint32_t((uint64_t(f % MixRate) << 32) / MixRate);
  }
  if (flags & UpdateRestart) {
    v->position = 0;
    v->positionFraction = 0;
    v->offsetRequest = 0;
  }
}

void DoRow(ModuleMachine& machine) {
  ModuleSong& song = *machine.song;
  song.nextRow = -1;
  song.nextOrder = -1;
  machine.jumpSeen = false;
  const ModuleCell* cells = RowCells(song);
  const bool linear = song.flags & SongLinearFrequencies;
  for (int i = 0; i < song.channels; ++i) {
    ModuleChannel& c = machine.channels[i];
    const ModuleCell& cell = cells[i];
    // The volume column's tone portamento (Mx) takes a note as its target just as effect 3 does.
    bool tonePortamento = cell.effect == EffectTonePortamento ||
                          cell.effect == EffectTonePortamentoVolumeSlide ||
                          (cell.volume >> 4) == VolumeTonePortamento;
    bool hasNote = cell.note >= 1 && cell.note <= 254;
    const bool extended = cell.effect == EffectExtended;
    // EDx with x from 1 holds the cell back to tick x; ED0 plays it on the row tick.
    const bool noteDelay =
        extended && (cell.parameter >> 4) == ExtendedNoteDelay && (cell.parameter & 15) != 0;
    const bool keyOffCell = cell.note == NoteKeyOff || cell.effect == EffectKeyOff;
    if (cell.instrument != 0 && !tonePortamento) c.instrument = uint8_t(cell.instrument - 1);
    if (hasNote && !tonePortamento) c.note = uint8_t(cell.note - 1);
    ModuleInstrument* instrument;
    ModuleSample* sample;
    LookUp(song, c, instrument, sample);

    const int32_t oldPeriod = c.period, oldVolume = c.volume, oldPanning = c.panning;
    if (c.previousEffect == EffectTremolo && cell.effect != EffectTremolo)
      c.volume += c.volumeDelta;
    c.volumeDelta = 0;
    c.updateFlags = 0;
    c.previousEffect = cell.effect;
    if (hasNote) {
      // E5y plays this row's note with finetune (y - 8) x 16; the sample keeps its own.
      int32_t finetune = sample->finetune;
      if (extended && (cell.parameter >> 4) == ExtendedSetFinetune)
        finetune = ((cell.parameter & 15) - 8) * 16;
      c.realNote = uint8_t(sample->relativeNote + cell.note - 1);
      c.notePeriod =
          linear ? 7680 - c.realNote * 64 - finetune / 2 : AmigaPeriod(c.realNote, finetune);
      if (!tonePortamento) c.period = c.notePeriod;
      c.updateFlags = UpdateStartNote;
    }
    c.periodDelta = 0;
    c.updateFlags |= UpdateFrequency | UpdateVolume;
    if (cell.instrument != 0) {
      if (keyOffCell && (instrument->volumeType & EnvelopeOn)) {
        // Next to a key-off the instrument number restores volume and panning only: the note is
        // being released, so its envelopes and fadeout go on instead of starting again.
        c.volume = sample->defaultVolume;
        c.panning = int32_t(sample->defaultPanning);
        c.updateFlags |= UpdateVolume | UpdatePanning;
      } else {
        ResetChannel(c, *sample);
      }
    }
    if (cell.volume != 0) VolumeColumn(c, cell.volume);
    // A delayed key-off acts on its tick (EffectTick).
    if (keyOffCell && !(noteDelay && cell.note == NoteKeyOff)) c.keyOff = 1;
    if (!(instrument->volumeType & EnvelopeOn) && c.keyOff) c.volumeEnvelope.output = 0;
    Envelopes(c, *instrument);
    Fadeout(c, *instrument);
    EffectRow(machine, c, cell, *instrument, *sample);
    if (noteDelay && cell.note != NoteKeyOff) {
      // Note delay: the row changes nothing yet; period, volume and panning stay as they were.
      c.period = oldPeriod;
      c.volume = oldVolume;
      c.panning = oldPanning;
    }
    DoAutoVibrato(c, *instrument);
    UpdateVoice(machine, c, *sample);
  }
}

void DoTick(ModuleMachine& machine) {
  ModuleSong& song = *machine.song;
  const ModuleCell* cells = RowCells(song);
  for (int i = 0; i < song.channels; ++i) {
    ModuleChannel& c = machine.channels[i];
    const ModuleCell& cell = cells[i];
    ModuleInstrument* instrument;
    ModuleSample* sample;
    LookUp(song, c, instrument, sample);
    c.volumeDelta = 0;
    c.periodDelta = 0;
    c.updateFlags = 0;
    Envelopes(c, *instrument);
    Fadeout(c, *instrument);
    VolumeColumnTick(c, cell.volume);
    EffectTick(machine, c, cell, *instrument, *sample);
    DoAutoVibrato(c, *instrument);
    UpdateVoice(machine, c, *sample);
  }
}

void UpdateSong(ModuleMachine& machine) {
  ModuleSong& song = *machine.song;
  if (song.tick == 0) {
    if (song.nextOrder >= 0) song.orderPosition = song.nextOrder;
    if (song.nextRow >= 0) song.row = song.nextRow;
    // A break may name a row past the end of a shorter pattern: play its first row instead.
    uint32_t rows = song.patterns[song.orderTable[song.orderPosition]].rowCount;
    if (uint32_t(song.row) >= rows) song.row = 0;
    DoRow(machine);
    if (song.nextRow == -1) {
      song.nextRow = song.row + 1;
      if (uint32_t(song.nextRow) >= rows) {
        song.nextOrder = song.orderPosition + 1;
        if (song.nextOrder >= song.songLength) song.nextOrder = song.restartPosition;
        song.nextRow = 0;
      }
    }
  } else {
    DoTick(machine);
  }
  song.tick += 1;
  if (song.tick >= song.speed + song.patternDelayTicks) {
    song.tick = 0;
    song.patternDelayTicks = 0;
  }
}

int32_t ClampPeriod(int32_t period) {
  return period < -PeriodBound ? -PeriodBound : period > PeriodBound ? PeriodBound : period;
}

void ResetMachine(ModuleMachine& machine, ModuleSong* song) {
  machine.song = song;
  for (int k = 0; k < MixVoiceCount; ++k) {
    machine.voices[k] = MixVoice{};
    machine.voices[k].number = k;
    machine.voices[k].stepInteger = 1;
  }
  for (int i = 0; i < ModuleMaxChannels; ++i) {
    machine.channels[i] = ModuleChannel{};
    machine.channels[i].voice = i;
  }
  machine.jumpSeen = false;
  machine.rampLength = MixRate * 128 / 44100;
  machine.rampReciprocal = 1.0f / float(machine.rampLength);
  machine.rateReciprocal = 1.0f / float(MixRate);
  machine.fillBlockIndex = 0;
  if (!song) return;
  song->globalVolume = song->defaultGlobalVolume;
  song->nextOrder = song->nextRow = -1;
  song->speed = song->defaultSpeed;
  song->row = song->orderPosition = song->tick = song->patternDelayTicks = 0;
  song->samplesLeftInTick = 0;
  song->elapsedMilliseconds = 0;
  SetBpm(*song, song->defaultBpm);
}
