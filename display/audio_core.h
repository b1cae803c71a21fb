#pragma once
// The audio core: the platform-free half of the shared audio device of display/audio.h. It keeps
// both sinks, mixes them into the device's output, hands played-out buffers to the queue's
// completion procedure and handles the loss of the device; audio_core.cpp implements all of
// audio.h with it. The platform's device, chosen at link time (audio_sdl.cpp on the desktop,
// audio_web.cpp in a web browser), only opens and closes the real output and asks the core for
// sound, in one of two ways:
//  * AudioMix, from a device callback on a thread of the platform's that must not wait for the
//    players (SDL's): the completions then run on the core's completion thread, which the device
//    starts with AudioStartCompletionThread;
//  * AudioPull, from a device served on the program's own thread (the browser's, which has no
//    threads; the Capture backend's AudioCapturePull): the completions run inside the pull.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "display/audio.h"

// Threading contract. `Lock` guards every member but the ones marked otherwise; nothing holds it
// while a completion procedure or the ring's feeder runs, so both may call back into audio.h.
//  * The device's mixing (AudioMix, AudioPull) holds `Lock` while it reads the queue and the ring.
//    It moves each played-out buffer to `Finished`; AudioMix then wakes the completion thread
//    through `CompletionWake`, AudioPull runs the completions itself.
//  * Whoever runs a completion (the completion thread, a pull, a reset, a loss) takes the buffer
//    off `Finished` and sets `CompletionBusy` before it lets go of `Lock` to call the procedure,
//    clears it afterwards and signals `CompletionIdle` once `Finished` is empty.
//  * AudioQueueReset sets `QueueResetting` (AudioQueueWrite refuses buffers while it is set),
//    returns the queued buffers, and then waits on `CompletionIdle` until `Finished` is empty and
//    `CompletionBusy` is clear, or, where no completion thread serves it (or it runs on that
//    thread), runs the completions itself. So no completion runs once it has returned.
//  * `DeviceLost` is raised by AudioLoseDevice, on whatever thread the platform reports the loss
//    (one of SDL's driver threads), and cleared by the next open; while it is set nothing is mixed.
//  * The ring's count of frames mixed `RingPlayed` is written by the mixing under `Lock` and read
//    without it by the ring's owner (AudioRingPosition); `RingPublished` is bumped by the ring's
//    writer after it wrote, and read by the mixing before it reads, so the frames written reach the
//    device.
//  * `Backend` is written only by AudioSetBackend, with no device open and no thread running;
//    the `CompletionThread` handle only by the opening thread and AudioShutdown (the others ask
//    `CompletionThreadId`, under `Lock`, who runs the completions).
struct AudioCoreState {
  AudioBackend Backend = AudioBackend::Sdl;  // not guarded: see above
  std::mutex Lock;
  std::string LastError;  // the platform's reason for the last failed open

  bool DeviceOpen = false;     // the platform's device is open (it may be lost)
  bool DeviceLost = false;     // the open device went away; nothing plays until a reopen
  bool CaptureAbsent = false;  // Capture backend: AudioFaultRemoveDevice took the device away

  bool QueueOpen = false;
  bool QueuePaused = true;
  bool QueueResetting = false;  // AudioQueueReset is returning buffers: writes are refused
  AudioQueueDoneProc QueueDone = nullptr;
  void* QueueUser = nullptr;
  AudioQueueBuffer* QueueHead = nullptr;
  AudioQueueBuffer* QueueTail = nullptr;
  std::deque<AudioQueueBuffer*> Finished;  // played out, waiting for their completion call
  bool CompletionBusy = false;             // a completion procedure is running
  std::condition_variable CompletionWake;  // Finished gained a buffer, or the thread must quit
  std::condition_variable CompletionIdle;  // Finished is empty and nothing is running
  std::thread CompletionThread;            // not guarded: see above
  std::thread::id CompletionThreadId;      // the running completion thread; none without one
  bool CompletionQuit = false;

  bool RingOpen = false;
  const int16_t* Ring = nullptr;
  uint32_t RingBytes = 0;
  std::atomic<uint64_t> RingPlayed{0};     // not guarded: see above
  std::atomic<uint32_t> RingPublished{0};  // not guarded: see above
  void (*RingFeeder)() = nullptr;          // see AudioRingSetFeeder
};
extern AudioCoreState AudioCore;

// ---- Called by the platform's device --------------------------------------------------------
// Mixes `frames` stereo frames of both sinks into `out` (silence while the device is lost) and
// wakes the completion thread for the buffers that played out.
void AudioMix(int16_t* out, int frames);
// Mixes `frames` stereo frames into `out` (silence while the device is lost), running each
// completion on the calling thread as soon as its buffer has played out (as if refilling took no
// time, so a requeued buffer plays on within the same pull); then runs the ring's feeder.
void AudioPull(int16_t* out, int frames);
// The device went away: nothing is mixed any more and the queued buffers go back to their owner
// at once (to the completion thread if one runs, else on this thread). Any thread.
void AudioLoseDevice();
// The device has opened (or reopened after a loss) and is about to play: the loss is over.
void AudioDeviceStarted();
// Starts the completion thread, unless it runs already (it outlives a loss).
void AudioStartCompletionThread();

// ---- Provided by the platform's device ------------------------------------------------------
// Opens the real output, closing a lost one first, and starts it playing: it calls AudioMix or
// AudioPull from then on, and AudioDeviceStarted just before it starts. AudioOk, or
// AudioErrNoDevice with the platform's reason in `reason`.
int AudioDeviceOpen(std::string* reason);
// Closes the real output if it is open. Once it returns the device calls the core no more.
void AudioDeviceClose();
// Fault injection: reports the open device removed, by the platform's own path where it has one.
void AudioDeviceRemove();
// Frames the device has taken from the core but not played out yet: the browser's device mixes a
// quarter second ahead, the desktop's none worth counting (SDL's callback block). The ring's
// position (AudioRingPosition) is what was heard: the frames mixed less these. Must not decrease
// between two pulls, so that the position never goes back. Any thread.
uint32_t AudioDeviceAhead();
// Drops what the device has taken but not played out, because what the sinks play has changed: a
// queue reset or pause, a ring started, reset or closed. So a stop or a new song is heard at once
// however far ahead the device mixes. Called on the application's thread without `Lock` held.
void AudioDeviceDiscard();
