#pragma once
// The module player's engine: songs in memory and their XM loader, the tick-based replay and the
// resampling mixer. Every engine procedure works on an explicit `ModuleMachine`, so tests and the
// offline renderer can run machines of their own; the program's own machine sits inside
// `ModulePlayer` (module_player.h).
#include <atomic>
#include <cstdint>

#include "display/audio.h"

// ---- Songs in memory -------------------------------------------------------------------------
struct ModuleSample {
  int16_t* data = nullptr;  // length + 8 frames; the frame past the loop holds a guard value
  uint32_t length = 0;      // frames
  uint32_t loopStart = 0;
  uint32_t loopLength = 0;
  uint8_t defaultVolume = 0;
  int8_t finetune = 0;
  uint32_t defaultPanning = 0;  // 0 left .. 255 right
  uint8_t bits = 0;             // 8 or 16 while loading, 16 once loaded
  uint8_t loopMode = 0;         // a SampleLoop value (0 only for EmptySample)
  int8_t relativeNote = 0;
};

// How a sample plays on at the end of its loop (or, without a loop, of its data).
enum : uint8_t { LoopNone = 1, LoopForward = 2, LoopPingPong = 4 };

struct ModuleEnvelopePoint {
  uint16_t tick = 0;
  uint16_t value = 0;
};

enum : uint8_t { EnvelopeOn = 1, EnvelopeSustain = 2, EnvelopeLoop = 4 };

struct ModuleInstrument {
  uint32_t sampleCount = 0;
  ModuleSample* samples[16] = {};
  uint8_t keymap[96] = {};
  ModuleEnvelopePoint volumePoints[20] = {};
  ModuleEnvelopePoint panningPoints[20] = {};
  uint8_t volumePointCount = 0, panningPointCount = 0;
  uint8_t volumeSustain = 0, volumeLoopStart = 0, volumeLoopEnd = 0;
  uint8_t panningSustain = 0, panningLoopStart = 0, panningLoopEnd = 0;
  uint8_t volumeType = 0, panningType = 0;
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  uint16_t fadeout = 0;  // the file's value times 2
};

constexpr uint8_t NoteKeyOff = 255;

struct ModuleCell {
  uint8_t note = 0;  // 0 none, 1..96, 255 key-off
  uint8_t instrument = 0;
  uint8_t volume = 0;
  uint8_t effect = 0;
  uint8_t parameter = 0;
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
  uint32_t rowCount = 0;
  ModuleCell* cells = nullptr;  // rowCount x channels, row-major
};

enum : uint16_t { SongLinearFrequencies = 1 };

struct ModuleMachine;
using ModuleTickProc = void (*)(ModuleMachine& machine);

constexpr int ModuleMaxChannels = 32;

struct ModuleSong {
  ModulePattern* patterns = nullptr;
  ModuleInstrument* instruments = nullptr;
  int32_t samplesLeftInTick = 0;
  int32_t samplesPerTick = 0;
  int16_t songLength = 0;
  int16_t restartPosition = 0;
  int16_t channels = 0;
  int32_t patternsUsed = 0;
  int32_t patternSlots = 0;
  int16_t instrumentCount = 0;
  uint16_t flags = 0;  // SongLinearFrequencies or 0 (the Amiga period table)
  int16_t defaultSpeed = 0;
  int16_t defaultBpm = 0;
  uint8_t orderTable[256] = {};
  uint8_t defaultGlobalVolume = 0;
  int32_t globalVolume = 0;
  uint8_t globalVolumeSlideMemory = 0;
  int32_t tick = 0;
  int32_t speed = 0;
  int32_t bpm = 0;
  int32_t row = 0;
  int32_t orderPosition = 0;
  int32_t patternDelayTicks = 0;
  int32_t nextRow = -1;
  int32_t nextOrder = -1;
  uint32_t elapsedMilliseconds = 0;
  ModuleTickProc tickProcedure = nullptr;
};

// Shared silent records; never owned by a song and never released.
extern ModuleInstrument EmptyInstrument;
extern ModuleSample EmptySample;

// ---- File operations (the loader reads only through these) ----------------------------------
struct FileOperations {
  void* (*open)(const char* name) = nullptr;
  void (*close)(void* handle) = nullptr;
  uint32_t (*read)(void* destination, uint32_t count, void* handle) = nullptr;
  void (*seek)(void* handle, int32_t offset, int mode) = nullptr;  // 0 start, 1 current, 2 end
  int32_t (*tell)(void* handle) = nullptr;
};
// Installs a set of five; a set with any operation missing clears all five.
void InstallFileOperations(const FileOperations& operations);

struct ModuleFile {
  void* handle = nullptr;
};

// The record behind the memory file operations.
struct MemoryImage {
  int32_t length = 0;
  int32_t position = 0;
  const uint8_t* image = nullptr;
};
// Operations that read the image given by ModuleSetImage.
FileOperations MemoryFileOperations();
void ModuleSetImage(const uint8_t* image, int32_t length);

bool ParseSong(ModuleSong& song, ModuleFile& file);
// Loads through the installed file operations; nullptr when the input is not a well-formed XM
// module (nothing is leaked then).
ModuleSong* LoadSong();
// Loads a song from an XM image in memory: installs the memory file operations, loads through
// them and forgets the image again. nullptr when the image is not a well-formed XM module.
ModuleSong* LoadSongFromImage(const uint8_t* image, int32_t length);
// Releases a song's memory only (no player involved).
void ReleaseSong(ModuleSong* song);

// ---- Replay ----------------------------------------------------------------------------------
enum : uint8_t {
  UpdateFrequency = 1,
  UpdateVolume = 2,
  UpdatePanning = 4,
  UpdateStartNote = 8,
  UpdateRestart = 0x20,
};

struct ModuleEnvelopeState {
  int32_t tick = 0;
  int32_t point = 0;
  int32_t value = 0;  // 16.16
  int32_t output = 0;
  int32_t step = 0;  // 16.16 per tick
  uint8_t stopped = 0;
};

struct ModuleChannel {
  uint8_t note = 0;  // 0-based
  uint8_t updateFlags = 0;
  int32_t voice = 0;  // index of the MixVoice the channel plays on (i or i +- 32)
  int32_t period = 0;
  int32_t volume = 0;
  int32_t panning = 0;
  int32_t volumeDelta = 0;
  int32_t periodDelta = 0;
  ModuleEnvelopeState volumeEnvelope;
  ModuleEnvelopeState panningEnvelope;
  int32_t fadeoutVolume = 0;
  int32_t autoVibratoPosition = 0;
  int32_t autoVibratoSweep = 0;
  uint8_t keyOff = 0;
  uint8_t instrument = 0;
  uint8_t realNote = 0;
  int32_t notePeriod = 0;
  uint8_t previousEffect = 0;
  uint32_t sampleOffsetMemory = 0;
  uint8_t portamentoDownMemory = 0, portamentoUpMemory = 0;
  uint8_t extraFineDownMemory = 0, extraFineUpMemory = 0;
  uint8_t volumeSlideMemory = 0;
  uint8_t panningSlideMemory = 0;
  uint8_t retriggerAction = 0, retriggerInterval = 0;
  int32_t portamentoTarget = 0;
  uint8_t portamentoSpeed = 0;
  int8_t vibratoPosition = 0;
  uint8_t vibratoSpeed = 0, vibratoDepth = 0;
  int8_t tremoloPosition = 0;
  uint8_t tremoloSpeed = 0, tremoloDepth = 0;
  uint8_t tremorPosition = 0, tremorOnTicks = 0, tremorOffTicks = 0;
  int32_t patternLoopRow = 0, patternLoopCount = 0;
  uint8_t waveControl = 0;
  uint8_t fineVolumeSlideMemory = 0;
  uint8_t finePortamentoUpMemory = 0, finePortamentoDownMemory = 0;
};

// ---- Mixer -----------------------------------------------------------------------------------
struct MixVoice {
  int32_t number = 0;
  int32_t volume = 0;
  int32_t panning = 0;
  uint32_t offsetRequest = 0;
  const ModuleSample* sample = nullptr;
  int32_t leftVolume = 0;   // (255 - panning) x volume / 255
  int32_t rightVolume = 0;  // panning x volume / 255
  uint32_t position = 0;
  uint32_t positionFraction = 0;
  uint32_t stepFraction = 0;
  uint32_t stepInteger = 0;
  int32_t direction = 1;  // 1 forward, 2 backward
  int32_t leftTarget = 0, rightTarget = 0;
  int32_t leftLevel = 0, rightLevel = 0;  // applied volume x 256
  float leftRampStep = 0, rightRampStep = 0;
  int32_t rampFramesLeft = 0;
};

constexpr int BlockLength = ((MixRate * 20 / 1000) + 3) / 4 * 4;  // 884 frames
constexpr int RingFrames = (1000 / 20) * BlockLength * 2;         // 88,400 frames
constexpr int RingBlocks = RingFrames / BlockLength;              // 100
constexpr int MixVoiceCount = 256;
constexpr int MixedVoices = 64;

struct BlockInfo {
  uint8_t order = 0;
  uint8_t row = 0;
  uint32_t elapsedMilliseconds = 0;
};
// Block records are read by the application thread while the output thread writes them, so each
// is kept as one atomic word.
uint64_t PackBlockInfo(const BlockInfo& info);
BlockInfo UnpackBlockInfo(uint64_t word);

// One replay-and-mix engine: the song it plays, its channels and voices, and the output ring it
// mixes into (float frames, 16-bit frames and one record per block).
struct ModuleMachine {
  ModuleSong* song = nullptr;
  ModuleChannel channels[ModuleMaxChannels];
  MixVoice voices[MixVoiceCount];
  bool jumpSeen = false;  // B seen on an earlier channel of this row
  int32_t rampLength = 128;
  float rampReciprocal = 1.0f / 128;
  float rateReciprocal = 1.0f / MixRate;
  float* floatRing = nullptr;                  // RingFrames x 2, 16-byte aligned
  int16_t* waveRing = nullptr;                 // RingFrames x 2
  std::atomic<uint64_t>* blockInfo = nullptr;  // RingBlocks records
  int32_t fillBlockIndex = 0;
};

// Resets a machine for `song` (voices, channels, song play state), keeping its buffers.
void ResetMachine(ModuleMachine& machine, ModuleSong* song);
bool AllocateRing(ModuleMachine& machine);
void ReleaseRing(ModuleMachine& machine);

void UpdateSong(ModuleMachine& machine);
void DoRow(ModuleMachine& machine);
void DoTick(ModuleMachine& machine);
void SetBpm(ModuleSong& song, int32_t bpm);
void ResetChannel(ModuleChannel& channel, const ModuleSample& sample);
void ProcessEnvelope(ModuleChannel& channel, ModuleEnvelopeState& state,
                     const ModuleEnvelopePoint* points, uint8_t count, uint8_t type,
                     uint8_t sustain, uint8_t loopStart, uint8_t loopEnd, uint8_t flag);
int32_t AmigaPeriod(int32_t realNote, int32_t finetune);
// Frequency in Hz with the song's table, 100 Hz at least (0 when an Amiga period sum is 0).
int32_t PeriodToFrequency(const ModuleSong& song, int32_t period, int32_t periodDelta);
// Keeps unlimited slides from overflowing the period arithmetic.
int32_t ClampPeriod(int32_t period);
void UpdateVoice(ModuleMachine& machine, ModuleChannel& channel, const ModuleSample& sample);

// Mixes the block at fillBlockIndex into the ring and advances the index.
void FillBlock(ModuleMachine& machine);
void MixVoices(ModuleMachine& machine, float* destination, int frames);
void ClipToPcm(int16_t* destination, const float* source, int frames);
