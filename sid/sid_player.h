#pragma once
// The SID player's interface to the application, and its audio output.
//
// The player plays one PSID tune at a time on the program's machine `Sid`. Output goes through
// two buffers of 8 frames (7056 samples, 0.16 s) each, queued on the shared audio device's mono
// buffer queue: whenever the device has played a buffer, the completion thread renders the next
// 8 frames into it and queues it again.
//
// Threading contract:
//  * SidStartTune, SidStopTune and SidResumeTune run on the application's thread.
//  * AudioDoneCallback and the refills run on the audio layer's completion thread. A refill is
//    bounded: each play call stops after the machine's instruction budget.
//  * SidStopTune detaches both completion records (atomics), then resets the queue and closes
//    it. The reset returns only after every running or pending completion has finished, and
//    refuses writes meanwhile. A refill that sees its record detached renders nothing and queues
//    nothing; one that was already past that check finds its write refused. So once SidStopTune
//    returns no refill is running or will run, and SidStartTune (which stops first) can
//    re-initialise the machine safely.
#include <atomic>
#include <cstdint>

#include "display/audio.h"
#include "sid/sid_machine.h"

constexpr int FramesPerBuffer = 8;
constexpr int BufferSamples = FramesPerBuffer * FrameSamples;  // 7056
constexpr uint32_t BufferBytes = BufferSamples * 2;            // 14112

// ---- Wave-out-like wrapper over the audio queue ----------------------------------------------
// A device handle: 0 is none; each successful open gets a new number, so the handle of a closed
// device stays recognisably stale.
using SidAudioHandle = uint32_t;
struct SidWaveHeader;
using CompletionProc = uint32_t (*)(SidAudioHandle handle, SidWaveHeader* header,
                                    uint32_t argument);

struct CompletionRecord {
  std::atomic<CompletionProc> Procedure;  // null: nothing is called
  std::atomic<uint32_t> Argument;
  std::atomic<bool> Detached;  // set once by AudioDetachBuffer; the header is never requeued
};

enum : uint32_t { HeaderPrepared = 1 };

// The buffer's samples and length are those of its queue entry.
struct SidWaveHeader {
  AudioQueueBuffer Buffer;  // first member: the queue hands it back to AudioDoneCallback
  uint32_t Flags;
  CompletionRecord* Record;
};

void AudioOpen(SidAudioHandle* handle);
void AudioPause(SidAudioHandle handle);
void AudioRestart(SidAudioHandle handle);
// Allocates a zeroed header and completion record; stores null if either allocation fails.
void AudioNewBuffer(SidWaveHeader** header);
void AudioFreeBuffer(SidWaveHeader** header);
void AudioPrepareBuffer(SidAudioHandle handle, SidWaveHeader* header, int16_t* samples,
                        uint32_t bytes);
void AudioUnprepareBuffer(SidAudioHandle handle, SidWaveHeader* header);
void AudioWriteBuffer(SidAudioHandle handle, SidWaveHeader* header, CompletionProc procedure,
                      uint32_t argument);
void AudioDetachBuffer(SidWaveHeader* header);
void AudioClose(SidAudioHandle handle);
// The queue's completion procedure: calls the header's completion record, if any.
void AudioDoneCallback(AudioQueueBuffer* buffer, void* user);
uint32_t RefillFirstBuffer(SidAudioHandle handle, SidWaveHeader* header, uint32_t argument);
uint32_t RefillSecondBuffer(SidAudioHandle handle, SidWaveHeader* header, uint32_t argument);

// ---- Player state ----------------------------------------------------------------------------
struct SidOutputState {
  std::atomic<SidAudioHandle> Device;      // last opened device; a close does not clear it
  std::atomic<SidAudioHandle> OpenDevice;  // the device open now, 0 when closed
  SidAudioHandle LastHandle;               // numbering of the opens
  SidWaveHeader* FirstHeader;
  SidWaveHeader* SecondHeader;
  int16_t FirstBuffer[BufferSamples];
  int16_t SecondBuffer[BufferSamples];
  // Audio errors are shown in one message box per run; later ones are passed over silently.
  std::atomic<bool> ErrorShown;
};

extern SidMachine Sid;
extern SidOutputState SidOutput;

// Stops what plays, starts the tune on the program's machine and queues its first two buffers on
// a paused device. False when the image is refused: then nothing is started.
bool SidStartTune(const uint8_t* image, uint32_t size, uint8_t song);
void SidStopTune();
void SidResumeTune();
// Stops, frees the headers and forgets the shown error: a fresh player (for tests).
void SidResetPlayer();
