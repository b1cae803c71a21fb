#pragma once
// The module player's engine: songs in memory and their XM loader, the tick-based replay and the
// resampling mixer. A loaded `ModuleSong` never changes; everything that changes while it plays
// is in a `ModuleMachine`, and every engine procedure works on an explicit machine, so tests and
// the offline renderer run machines of their own, several on one song if they like. The
// program's own machine sits inside `ModulePlayer` (module_player.h).
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "display/audio.h"

// ---- Songs in memory -------------------------------------------------------------------------
struct ModuleSample {
  const int16_t* Data = nullptr;  // length + 8 frames; the frame past the loop holds a guard value
  uint32_t Length = 0;            // frames
  uint32_t LoopStart = 0;
  uint32_t LoopLength = 0;
  uint8_t DefaultVolume = 0;
  int8_t Finetune = 0;
  uint32_t DefaultPanning = 0;  // 0 left .. 255 right
  uint8_t Bits = 0;             // 8 or 16 while loading, 16 once loaded
  uint8_t LoopMode = 0;         // a SampleLoop value (0 only for EmptySample)
  int8_t RelativeNote = 0;
};

// How a sample plays on at the end of its loop (or, without a loop, of its data).
enum : uint8_t { LoopNone = 1, LoopForward = 2, LoopPingPong = 4 };

struct ModuleEnvelopePoint {
  uint16_t Tick = 0;
  uint16_t Value = 0;
};

enum : uint8_t { EnvelopeOn = 1, EnvelopeSustain = 2, EnvelopeLoop = 4 };

struct ModuleInstrument {
  uint32_t SampleCount = 0;
  const ModuleSample* Samples[16] = {};
  uint8_t Keymap[96] = {};
  ModuleEnvelopePoint VolumePoints[20] = {};
  ModuleEnvelopePoint PanningPoints[20] = {};
  uint8_t VolumePointCount = 0, PanningPointCount = 0;
  uint8_t VolumeSustain = 0, VolumeLoopStart = 0, VolumeLoopEnd = 0;
  uint8_t PanningSustain = 0, PanningLoopStart = 0, PanningLoopEnd = 0;
  uint8_t VolumeType = 0, PanningType = 0;
  uint8_t VibratoType = 0, VibratoSweep = 0, VibratoDepth = 0, VibratoRate = 0;
  uint16_t Fadeout = 0;  // the file's value times 2
};

constexpr uint8_t NoteKeyOff = 255;

struct ModuleCell {
  uint8_t Note = 0;  // 0 none, 1..96, 255 key-off
  uint8_t Instrument = 0;
  uint8_t Volume = 0;
  uint8_t Effect = 0;
  uint8_t Parameter = 0;
};

// Effect numbers of a cell (the effects named by letters, A onward, continue from 10).
enum : uint8_t {
  EffectArpeggio = 0,
  EffectPortamentoUp = 1,
  EffectPortamentoDown = 2,
  EffectTonePortamento = 3,
  EffectVibrato = 4,
  EffectTonePortamentoVolumeSlide = 5,
  EffectVibratoVolumeSlide = 6,
  EffectTremolo = 7,
  EffectSetPanning = 8,
  EffectSampleOffset = 9,
  EffectVolumeSlide = 10,          // A
  EffectPositionJump = 11,         // B
  EffectSetVolume = 12,            // C
  EffectPatternBreak = 13,         // D
  EffectExtended = 14,             // E: the parameter's high nibble is an Extended command
  EffectSetSpeed = 15,             // F
  EffectSetGlobalVolume = 16,      // G
  EffectGlobalVolumeSlide = 17,    // H
  EffectKeyOff = 20,               // K
  EffectSetEnvelopePosition = 21,  // L
  EffectPanningSlide = 25,         // P
  EffectMultiRetrigger = 27,       // R
  EffectTremor = 29,               // T
  EffectExtraFinePortamento = 33,  // X: high nibble 1 up, 2 down
};

// Commands of effect E, in the parameter's high nibble; the low nibble is their value.
enum : uint8_t {
  ExtendedFinePortamentoUp = 1,
  ExtendedFinePortamentoDown = 2,
  ExtendedVibratoControl = 4,
  ExtendedSetFinetune = 5,
  ExtendedPatternLoop = 6,
  ExtendedTremoloControl = 7,
  ExtendedSetPanning = 8,
  ExtendedRetrigger = 9,
  ExtendedFineVolumeUp = 10,
  ExtendedFineVolumeDown = 11,
  ExtendedNoteCut = 12,
  ExtendedNoteDelay = 13,
  ExtendedPatternDelay = 14,
};

// The volume column: bytes VolumeSetFirst..VolumeSetLast set volume 0..64; from 0x60 the high
// nibble is one of the commands below and the low nibble its value.
constexpr uint8_t VolumeSetFirst = 0x10;
constexpr uint8_t VolumeSetLast = 0x50;
enum : uint8_t {
  VolumeSlideDown = 6,
  VolumeSlideUp = 7,
  VolumeFineSlideDown = 8,
  VolumeFineSlideUp = 9,
  VolumeVibratoSpeed = 10,
  VolumeVibrato = 11,
  VolumeSetPanning = 12,
  VolumePanningSlideLeft = 13,
  VolumePanningSlideRight = 14,
  VolumeTonePortamento = 15,
};

struct ModulePattern {
  uint32_t RowCount = 0;
  const ModuleCell* Cells = nullptr;  // rowCount x channels, row-major
};

enum : uint16_t { SongLinearFrequencies = 1 };

constexpr int ModuleMaxChannels = 32;

// What an XM file holds, decoded; built by LoadSong and not changed again until ReleaseSong.
struct ModuleSong {
  const ModulePattern* Patterns = nullptr;
  const ModuleInstrument* Instruments = nullptr;
  int16_t SongLength = 0;
  int16_t RestartPosition = 0;
  int16_t Channels = 0;
  int32_t PatternsUsed = 0;
  int32_t PatternSlots = 0;
  int16_t InstrumentCount = 0;
  uint16_t Flags = 0;  // SongLinearFrequencies or 0 (the Amiga period table)
  int16_t DefaultSpeed = 0;
  int16_t DefaultBpm = 0;
  uint8_t OrderTable[256] = {};
  uint8_t DefaultGlobalVolume = 0;
};

// Shared silent records; never owned by a song and never released.
extern const ModuleInstrument EmptyInstrument;
extern const ModuleSample EmptySample;

// Loads a song from the `size` bytes of an XM image; the song keeps copies of everything it needs,
// not the image. nullptr when the bytes are not a well-formed XM module (nothing is leaked then).
const ModuleSong* LoadSong(const uint8_t* image, size_t size);
// Releases a song and everything it owns; no machine may play it any more.
void ReleaseSong(const ModuleSong* song);

// ---- Replay ----------------------------------------------------------------------------------
enum : uint8_t {
  UpdateFrequency = 1,
  UpdateVolume = 2,
  UpdatePanning = 4,
  UpdateStartNote = 8,
  UpdateRestart = 0x20,
};

struct ModuleEnvelopeState {
  int32_t Tick = 0;
  int32_t Point = 0;
  int32_t Value = 0;  // 16.16
  int32_t Output = 0;
  int32_t Step = 0;  // 16.16 per tick
  uint8_t Stopped = 0;
};

struct ModuleChannel {
  uint8_t Note = 0;  // 0-based
  uint8_t UpdateFlags = 0;
  int32_t Voice = 0;  // index of the MixVoice the channel plays on (i or i +- 32)
  int32_t Period = 0;
  int32_t Volume = 0;
  int32_t Panning = 0;
  int32_t VolumeDelta = 0;
  int32_t PeriodDelta = 0;
  ModuleEnvelopeState VolumeEnvelope;
  ModuleEnvelopeState PanningEnvelope;
  int32_t FadeoutVolume = 0;
  int32_t AutoVibratoPosition = 0;
  int32_t AutoVibratoSweep = 0;
  uint8_t KeyOff = 0;
  uint8_t Instrument = 0;
  uint8_t RealNote = 0;
  int32_t NotePeriod = 0;
  uint8_t PreviousEffect = 0;
  uint32_t SampleOffsetMemory = 0;
  uint8_t PortamentoDownMemory = 0, PortamentoUpMemory = 0;
  uint8_t ExtraFineDownMemory = 0, ExtraFineUpMemory = 0;
  uint8_t VolumeSlideMemory = 0;
  uint8_t PanningSlideMemory = 0;
  uint8_t RetriggerAction = 0, RetriggerInterval = 0;
  int32_t PortamentoTarget = 0;
  uint8_t PortamentoSpeed = 0;
  int8_t VibratoPosition = 0;
  uint8_t VibratoSpeed = 0, VibratoDepth = 0;
  int8_t TremoloPosition = 0;
  uint8_t TremoloSpeed = 0, TremoloDepth = 0;
  uint8_t TremorPosition = 0, TremorOnTicks = 0, TremorOffTicks = 0;
  int32_t PatternLoopRow = 0, PatternLoopCount = 0;
  uint8_t WaveControl = 0;
  uint8_t FineVolumeSlideMemory = 0;
  uint8_t FinePortamentoUpMemory = 0, FinePortamentoDownMemory = 0;
};

// ---- Mixer -----------------------------------------------------------------------------------
struct MixVoice {
  int32_t Number = 0;
  int32_t Volume = 0;
  int32_t Panning = 0;
  uint32_t OffsetRequest = 0;
  const ModuleSample* Sample = nullptr;
  int32_t LeftVolume = 0;   // (255 - panning) x volume / 255
  int32_t RightVolume = 0;  // panning x volume / 255
  uint32_t Position = 0;
  uint32_t PositionFraction = 0;
  uint32_t StepFraction = 0;
  uint32_t StepInteger = 0;
  int32_t Direction = 1;  // 1 forward, 2 backward
  int32_t LeftTarget = 0, RightTarget = 0;
  int32_t LeftLevel = 0, RightLevel = 0;  // applied volume x 256
  float LeftRampStep = 0, RightRampStep = 0;
  int32_t RampFramesLeft = 0;
};

constexpr int BlockLength = ((MixRate * 20 / 1000) + 3) / 4 * 4;  // 884 frames
constexpr int RingFrames = (1000 / 20) * BlockLength * 2;         // 88,400 frames
constexpr int RingBlocks = RingFrames / BlockLength;              // 100
constexpr int MixVoiceCount = 256;
constexpr int MixedVoices = 64;

struct BlockInfo {
  uint8_t Order = 0;
  uint8_t Row = 0;
  uint32_t ElapsedMilliseconds = 0;
};
// Block records are read by the application thread while the output thread writes them, so each
// is kept as one atomic word.
uint64_t PackBlockInfo(const BlockInfo& info);
BlockInfo UnpackBlockInfo(uint64_t word);

// One replay-and-mix engine: the song it plays and where it is in it, its channels and voices,
// and the output ring it mixes into (float frames, 16-bit frames and one record per block).
struct ModuleMachine {
  const ModuleSong* Song = nullptr;
  // Where the replay is, and the song-wide values that effects change as it goes.
  int32_t OrderPosition = 0;
  int32_t Row = 0;
  int32_t Tick = 0;
  int32_t NextRow = -1;
  int32_t NextOrder = -1;
  int32_t Speed = 0;
  int32_t Bpm = 0;
  int32_t PatternDelayTicks = 0;
  int32_t GlobalVolume = 0;
  uint8_t GlobalVolumeSlideMemory = 0;
  int32_t SamplesPerTick = 0;
  int32_t SamplesLeftInTick = 0;  // frames still to mix before the next tick
  uint32_t ElapsedMilliseconds = 0;
  ModuleChannel Channels[ModuleMaxChannels];
  MixVoice Voices[MixVoiceCount];
  bool JumpSeen = false;  // B seen on an earlier channel of this row
  int32_t RampLength = 128;
  float RampReciprocal = 1.0f / 128;
  float RateReciprocal = 1.0f / MixRate;
  float* FloatRing = nullptr;                  // RingFrames x 2, 16-byte aligned
  int16_t* WaveRing = nullptr;                 // RingFrames x 2
  std::atomic<uint64_t>* BlockInfo = nullptr;  // RingBlocks records
  int32_t FillBlockIndex = 0;
};

// Resets a machine to the start of `song` (position, voices, channels), keeping its buffers.
void ResetMachine(ModuleMachine& machine, const ModuleSong* song);
bool AllocateRing(ModuleMachine& machine);
void ReleaseRing(ModuleMachine& machine);

void UpdateSong(ModuleMachine& machine);
void DoRow(ModuleMachine& machine);
void DoTick(ModuleMachine& machine);
void SetBpm(ModuleMachine& machine, int32_t bpm);
void ResetChannel(ModuleChannel& channel, const ModuleSample& sample);
void ProcessEnvelope(ModuleChannel& channel, ModuleEnvelopeState& state,
                     const ModuleEnvelopePoint* points, uint8_t count, uint8_t type,
                     uint8_t sustain, uint8_t loopStart, uint8_t loopEnd, uint8_t flag);
int32_t AmigaPeriod(int32_t realNote, int32_t finetune);
// Sets the channel's real note and note period for its note (0-based) played on `sample`.
void SetNotePeriod(const ModuleSong& song, ModuleChannel& channel, const ModuleSample& sample,
                   int32_t note, int32_t finetune);
// Releases the note: its envelopes leave their sustain points and the fadeout runs; an
// instrument without a volume envelope falls silent (volume 0) until a volume is set again.
void KeyOff(ModuleChannel& channel, const ModuleInstrument& instrument);
// Frequency in Hz with the song's table, 100 Hz at least (0 when an Amiga period sum is 0).
int32_t PeriodToFrequency(const ModuleSong& song, int32_t period, int32_t periodDelta);
// Keeps unlimited slides from overflowing the period arithmetic.
int32_t ClampPeriod(int32_t period);
void UpdateVoice(ModuleMachine& machine, ModuleChannel& channel, const ModuleSample& sample);

// Mixes the block at fillBlockIndex into the ring and advances the index.
void FillBlock(ModuleMachine& machine);
void MixVoices(ModuleMachine& machine, float* destination, int frames);
void ClipToPcm(int16_t* destination, const float* source, int frames);
