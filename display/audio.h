#pragma once
// The shared audio device: 44,100 Hz, stereo, signed 16-bit, opened on demand and shared by both
// music players. Two sinks plug into it, and the device adds both (saturating) into its output:
//
//  * The buffer queue (mono). Buffers play gaplessly in the order queued, each sample copied to
//    both output channels. The queue opens paused. When a buffer's last sample has been played it
//    is handed, once, to the queue's completion procedure, which runs on the audio layer's own
//    completion thread (never inside the device callback; in a web browser, which has no threads,
//    inside the device's pull) and may render into the buffer and queue it again from there.
//  * The looping ring (stereo, interleaved left/right). One buffer played endlessly from its first
//    byte; the count of bytes played since AudioRingPlay is published atomically.
//
// Backends, chosen before the first open:
//  * Sdl: the real device. On the desktop SDL's (SDL_AUDIODRIVER=disk or dummy select SDL's file or
//    silent drivers); in a web browser Web Audio, on a page that made an AudioContext in answer to
//    the reader's gesture and left it in Module.audioContext (without one, opens fail).
//  * Null: there is no device; every open reports AudioErrNoDevice and nothing else changes.
//  * Capture: no device; a test or tool pulls what would be heard with AudioCapturePull, and the
//    queue's completions run inside that call, on the caller's thread, as soon as a buffer has
//    played out (as if refilling took no time), so runs are deterministic.
//
// A device that goes away while open (SDL reports it removed, the browser closes the page's audio
// context; AudioFaultRemoveDevice does the same in tests) is lost: nothing plays any more, the
// queued buffers are handed back to the completion procedure at once, writes and AudioRingPlay
// answer AudioErrDeviceLost, and the ring's position stands still. Both sinks stay open, so their
// owners stop and close them as usual. The next AudioQueueOpen or AudioRingOpen opens the device
// anew, which plays if one is there again.
//
// Threading contract: every procedure may be called from any thread. AudioQueueReset and
// AudioQueueClose return only after every completion call that was running or pending has
// finished, so a caller that clears its own completion bookkeeping first and then resets knows no
// completion procedure is running and none will run for the buffers that were queued.
//
// audio_core.cpp implements all of this without the platform; the platform's device behind it
// (audio_sdl.cpp, audio_web.cpp) is chosen at link time (see audio_core.h).
#include <cstdint>
#include <string>

// The device rate, which is also the rate both music players mix at.
constexpr int MixRate = 44100;

enum class AudioBackend { Sdl, Null, Capture };
// Takes effect for the next open; resets both sinks.
void AudioSetBackend(AudioBackend backend);
AudioBackend AudioGetBackend();

enum : int {
  AudioOk = 0,
  AudioErrNoDevice = 1,    // the device could not be opened
  AudioErrNotOpen = 2,     // the sink is not open
  AudioErrInvalid = 3,     // a null or empty buffer, or a buffer that is already queued
  AudioErrDeviceLost = 4,  // the device went away while open
};
// Text for an error code; for AudioErrNoDevice it includes the platform's own reason.
std::string AudioErrorText(int code);

// ---- Buffer queue (mono) ---------------------------------------------------------------------
struct AudioQueueBuffer {
  const int16_t* samples = nullptr;
  uint32_t count = 0;  // samples in the buffer
  // Kept by the queue while the buffer is queued; callers leave them alone.
  uint32_t played = 0;
  AudioQueueBuffer* next = nullptr;
  bool queued = false;
};
using AudioQueueDoneProc = void (*)(AudioQueueBuffer* buffer, void* user);

// Opens the queue, paused and empty. `done` is called once for every buffer that finishes playing
// or is returned by a reset.
int AudioQueueOpen(AudioQueueDoneProc done, void* user);
void AudioQueuePause();
void AudioQueueRestart();
// Appends a buffer to the play queue.
int AudioQueueWrite(AudioQueueBuffer* buffer);
// Stops playback at once and reports every queued buffer as finished (see the threading contract).
// Until it returns, AudioQueueWrite refuses buffers (AudioErrNotOpen), also from the completions.
void AudioQueueReset();
// Resets and closes the queue.
void AudioQueueClose();
bool AudioQueueIsOpen();

// ---- Looping ring (stereo) ------------------------------------------------------------------
int AudioRingOpen();
// Plays `bytes` bytes of interleaved stereo frames endlessly, starting at byte 0 now.
int AudioRingPlay(const int16_t* frames, uint32_t bytes);
// Bytes of the ring played out since AudioRingPlay (a 64-bit count: it never wraps). What a device
// has mixed ahead but not yet played (the browser's) does not count, so the position is what is
// heard.
uint64_t AudioRingPosition();
// Call after writing into the ring, so that the device reads what was written.
void AudioRingPublish();
// The procedure run after every pull that took frames of the ring, on the pulling thread, to mix
// the ring on behind the play cursor where no thread of the player's does (in a web browser); null
// for none.
void AudioRingSetFeeder(void (*feed)());
// Stops at once and forgets the buffer; when it returns the device no longer reads it.
void AudioRingReset();
void AudioRingClose();

// ---- Capture backend ------------------------------------------------------------------------
// Mixes `frames` stereo frames of what the device would play into `out` (2 x frames values),
// running each completion as its buffer plays out. Returns the frames written (0 unless the
// backend is Capture).
int AudioCapturePull(int16_t* out, int frames);

// True from the loss of an open device until the device is opened again.
bool AudioDeviceLost();

// ---- Fault injection (tests) ----------------------------------------------------------------
// Sdl backend: posts SDL's removal event for the open device, so the loss takes the same path as
// an unplugged device (SDL's own driver threads keep calling, but the device plays nothing); in a
// web browser, the loss of a closed audio context.
// Capture backend: the device is gone: an open one is lost, with the returned buffers' completions
// run on the caller's thread, and every open fails with AudioErrNoDevice until
// AudioFaultRestoreDevice. Nothing happens with the Null backend.
void AudioFaultRemoveDevice();
// Capture backend: a device is there again (the next open succeeds). A backend change restores it.
void AudioFaultRestoreDevice();

// Closes the device and both sinks (at program end, and between tests).
void AudioShutdown();
