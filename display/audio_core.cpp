// The audio core: both sinks, their mixing, the queue's completions, device loss and the backends
// without a device. See audio.h for the contract and audio_core.h for the threads.
#include "display/audio_core.h"

#include <algorithm>
#include <cstring>

AudioCoreState AudioCore;

namespace {

// Adds `value` to an output sample, saturating.
inline void MixInto(int16_t& out, int32_t value) {
  out = static_cast<int16_t>(std::clamp<int32_t>(out + value, -32768, 32767));
}

// Mixes `frames` stereo frames into `out` (cleared first). Caller holds the lock.
void MixLocked(int16_t* out, int frames) {
  std::memset(out, 0, sizeof(int16_t) * 2 * static_cast<size_t>(frames));
  AudioCoreState& a = AudioCore;
  if (a.QueueOpen && !a.QueuePaused) {
    int i = 0;
    while (i < frames && a.QueueHead) {
      AudioQueueBuffer* b = a.QueueHead;
      const uint32_t take = std::min<uint32_t>(b->count - b->played, frames - i);
      for (uint32_t k = 0; k < take; ++k) {
        const int16_t s = b->samples[b->played + k];
        MixInto(out[2 * (i + k)], s);
        MixInto(out[2 * (i + k) + 1], s);
      }
      b->played += take;
      i += static_cast<int>(take);
      if (b->played >= b->count) {
        a.QueueHead = b->next;
        if (!a.QueueHead) a.QueueTail = nullptr;
        b->next = nullptr;
        b->queued = false;
        a.Finished.push_back(b);
      }
    }
  }
  if (a.RingOpen && a.Ring && a.RingBytes >= 4) {
    // Pairs with the release in AudioRingPublish: what the writer put into the ring is visible.
    (void)a.RingPublished.load(std::memory_order_acquire);
    const uint32_t ringFrames = a.RingBytes / 4;
    uint64_t played = a.RingPlayed.load(std::memory_order_relaxed);
    uint32_t frame = static_cast<uint32_t>((played / 4) % ringFrames);
    for (int i = 0; i < frames; ++i) {
      MixInto(out[2 * i], a.Ring[2 * frame]);
      MixInto(out[2 * i + 1], a.Ring[2 * frame + 1]);
      if (++frame == ringFrames) frame = 0;
    }
    a.RingPlayed.store(played + 4ull * static_cast<uint32_t>(frames), std::memory_order_release);
  }
}

// Runs the completion procedure for every finished buffer on the calling thread.
void DrainFinished(std::unique_lock<std::mutex>& held) {
  AudioCoreState& a = AudioCore;
  while (!a.Finished.empty()) {
    AudioQueueBuffer* b = a.Finished.front();
    a.Finished.pop_front();
    const AudioQueueDoneProc done = a.QueueDone;
    void* user = a.QueueUser;
    a.CompletionBusy = true;
    held.unlock();
    if (done) done(b, user);
    held.lock();
    a.CompletionBusy = false;
  }
  a.CompletionIdle.notify_all();
}

void CompletionThread() {
  AudioCoreState& a = AudioCore;
  std::unique_lock<std::mutex> held(a.Lock);
  while (!a.CompletionQuit) {
    a.CompletionWake.wait(held, [&] { return a.CompletionQuit || !a.Finished.empty(); });
    DrainFinished(held);
  }
}

// True when the completion thread, not the caller, runs the completions. Caller holds the lock.
bool CompletionsElsewhere() {
  const std::thread::id runner = AudioCore.CompletionThreadId;
  return runner != std::thread::id() && runner != std::this_thread::get_id();
}

void ClearQueueLocked() {
  AudioCoreState& a = AudioCore;
  for (AudioQueueBuffer* b = a.QueueHead; b;) {
    AudioQueueBuffer* next = b->next;
    b->next = nullptr;
    b->queued = false;
    a.Finished.push_back(b);
    b = next;
  }
  a.QueueHead = a.QueueTail = nullptr;
}

// Nothing is mixed any more and the queued buffers go back to their owner, so no completion waits
// for a device that will not play them. Caller holds the lock and delivers `Finished`.
void LoseDeviceLocked() {
  AudioCore.DeviceLost = true;
  AudioCore.LastError = "the audio device was removed";
  ClearQueueLocked();
}

// Opens the device on first use, and anew after a loss. Returns AudioOk or AudioErrNoDevice.
int EnsureDevice() {
  AudioCoreState& a = AudioCore;
  {
    std::lock_guard<std::mutex> held(a.Lock);
    if (a.Backend == AudioBackend::Null) {
      a.LastError = "no audio device (sound is off)";
      return AudioErrNoDevice;
    }
    if (a.Backend == AudioBackend::Capture) {
      if (a.CaptureAbsent) {
        a.LastError = "no audio device";
        return AudioErrNoDevice;
      }
      a.DeviceLost = false;
      return AudioOk;
    }
    if (a.DeviceOpen && !a.DeviceLost) return AudioOk;
  }
  // Until a new device opens, a loss stands.
  std::string reason;
  if (AudioDeviceOpen(&reason) == AudioOk) return AudioOk;
  std::lock_guard<std::mutex> held(a.Lock);
  a.DeviceOpen = false;  // a lost device was closed before the attempt
  a.LastError = reason;
  return AudioErrNoDevice;
}

}  // namespace

// ---- The device's side ----------------------------------------------------------------------

void AudioMix(int16_t* out, int frames) {
  AudioCoreState& a = AudioCore;
  std::unique_lock<std::mutex> held(a.Lock);
  if (a.DeviceLost) {
    std::memset(out, 0, sizeof(int16_t) * 2 * static_cast<size_t>(frames));
    return;
  }
  MixLocked(out, frames);
  const bool wake = !a.Finished.empty();
  held.unlock();
  if (wake) a.CompletionWake.notify_one();
}

void AudioPull(int16_t* out, int frames) {
  AudioCoreState& a = AudioCore;
  std::unique_lock<std::mutex> held(a.Lock);
  if (a.DeviceLost || a.CaptureAbsent) {
    std::memset(out, 0, sizeof(int16_t) * 2 * static_cast<size_t>(frames));
    return;
  }
  // Mix up to the end of each queued buffer and run its completion at once.
  int mixed = 0;
  while (mixed < frames) {
    int chunk = frames - mixed;
    const AudioQueueBuffer* head = a.QueueHead;
    if (a.QueueOpen && !a.QueuePaused && head)
      chunk = std::min<int>(chunk, static_cast<int>(head->count - head->played));
    MixLocked(out + 2 * mixed, chunk);
    mixed += chunk;
    DrainFinished(held);
  }
  void (*feed)() = a.RingOpen && a.Ring ? a.RingFeeder : nullptr;
  held.unlock();
  if (feed) feed();
}

void AudioLoseDevice() {
  AudioCoreState& a = AudioCore;
  std::unique_lock<std::mutex> held(a.Lock);
  LoseDeviceLocked();
  if (CompletionsElsewhere()) {
    held.unlock();
    a.CompletionWake.notify_one();
  } else {
    DrainFinished(held);
  }
}

void AudioDeviceStarted() {
  std::lock_guard<std::mutex> held(AudioCore.Lock);
  AudioCore.DeviceOpen = true;
  AudioCore.DeviceLost = false;
  AudioCore.CompletionQuit = false;
}

void AudioStartCompletionThread() {
  AudioCoreState& a = AudioCore;
  if (a.CompletionThread.joinable()) return;
  // The thread starts by taking the lock, so it waits here until its id is known.
  std::lock_guard<std::mutex> held(a.Lock);
  a.CompletionThread = std::thread(CompletionThread);
  a.CompletionThreadId = a.CompletionThread.get_id();
}

// ---- audio.h ----------------------------------------------------------------------------------

void AudioSetBackend(AudioBackend backend) {
  AudioShutdown();
  AudioCore.Backend = backend;
  AudioFaultRestoreDevice();
}

AudioBackend AudioGetBackend() {
  return AudioCore.Backend;
}

std::string AudioErrorText(int code) {
  switch (code) {
    case AudioOk:
      return "no error";
    case AudioErrNoDevice: {
      std::lock_guard<std::mutex> held(AudioCore.Lock);
      return "the audio device could not be opened: " + AudioCore.LastError;
    }
    case AudioErrNotOpen:
      return "the audio output is not open";
    case AudioErrInvalid:
      return "invalid audio buffer";
    case AudioErrDeviceLost:
      return "the audio device was removed";
    default:
      return "unknown audio error";
  }
}

int AudioQueueOpen(AudioQueueDoneProc done, void* user) {
  if (const int result = EnsureDevice(); result != AudioOk) return result;
  std::lock_guard<std::mutex> held(AudioCore.Lock);
  AudioCore.QueueOpen = true;
  AudioCore.QueuePaused = true;
  AudioCore.QueueDone = done;
  AudioCore.QueueUser = user;
  return AudioOk;
}

void AudioQueuePause() {
  {
    std::lock_guard<std::mutex> held(AudioCore.Lock);
    AudioCore.QueuePaused = true;
  }
  AudioDeviceDiscard();
}

void AudioQueueRestart() {
  std::lock_guard<std::mutex> held(AudioCore.Lock);
  AudioCore.QueuePaused = false;
}

int AudioQueueWrite(AudioQueueBuffer* buffer) {
  AudioCoreState& a = AudioCore;
  std::lock_guard<std::mutex> held(a.Lock);
  if (!a.QueueOpen || a.QueueResetting) return AudioErrNotOpen;
  if (!buffer || !buffer->samples || buffer->count == 0 || buffer->queued) return AudioErrInvalid;
  if (a.DeviceLost) return AudioErrDeviceLost;
  buffer->played = 0;
  buffer->next = nullptr;
  buffer->queued = true;
  if (a.QueueTail)
    a.QueueTail->next = buffer;
  else
    a.QueueHead = buffer;
  a.QueueTail = buffer;
  return AudioOk;
}

void AudioQueueReset() {
  AudioCoreState& a = AudioCore;
  std::unique_lock<std::mutex> held(a.Lock);
  // While the reset runs the queue takes no buffers, so a completion that is already running (or
  // is run for a returned buffer) cannot queue its buffer again behind the reset's back.
  a.QueueResetting = true;
  ClearQueueLocked();
  if (CompletionsElsewhere()) {
    a.CompletionWake.notify_one();
    a.CompletionIdle.wait(held, [&] { return a.Finished.empty() && !a.CompletionBusy; });
  } else {
    DrainFinished(held);
  }
  a.QueueResetting = false;
  held.unlock();
  AudioDeviceDiscard();
}

void AudioQueueClose() {
  AudioQueueReset();
  std::lock_guard<std::mutex> held(AudioCore.Lock);
  AudioCore.QueueOpen = false;
  AudioCore.QueuePaused = true;
  AudioCore.QueueDone = nullptr;
  AudioCore.QueueUser = nullptr;
}

bool AudioQueueIsOpen() {
  std::lock_guard<std::mutex> held(AudioCore.Lock);
  return AudioCore.QueueOpen;
}

int AudioRingOpen() {
  if (const int result = EnsureDevice(); result != AudioOk) return result;
  std::lock_guard<std::mutex> held(AudioCore.Lock);
  AudioCore.RingOpen = true;
  AudioCore.Ring = nullptr;
  AudioCore.RingBytes = 0;
  AudioCore.RingPlayed.store(0);
  return AudioOk;
}

int AudioRingPlay(const int16_t* frames, uint32_t bytes) {
  AudioCoreState& a = AudioCore;
  {
    std::lock_guard<std::mutex> held(a.Lock);
    if (!a.RingOpen) return AudioErrNotOpen;
    if (!frames || bytes < 4) return AudioErrInvalid;
    if (a.DeviceLost) return AudioErrDeviceLost;
    AudioRingPublish();
    a.Ring = frames;
    a.RingBytes = bytes - bytes % 4;
    a.RingPlayed.store(0);
  }
  AudioDeviceDiscard();
  return AudioOk;
}

// What the device has played out of the ring: the frames it was given less those it holds ahead.
// After the discard in AudioRingPlay everything it holds came from this ring.
uint64_t AudioRingPosition() {
  const uint64_t mixed = AudioCore.RingPlayed.load(std::memory_order_acquire);
  return mixed - std::min<uint64_t>(mixed, 4ull * AudioDeviceAhead());
}

void AudioRingPublish() {
  AudioCore.RingPublished.fetch_add(1, std::memory_order_release);
}

void AudioRingSetFeeder(void (*feed)()) {
  std::lock_guard<std::mutex> held(AudioCore.Lock);
  AudioCore.RingFeeder = feed;
}

void AudioRingReset() {
  {
    std::lock_guard<std::mutex> held(AudioCore.Lock);
    AudioCore.Ring = nullptr;
    AudioCore.RingBytes = 0;
  }
  AudioDeviceDiscard();
}

void AudioRingClose() {
  {
    std::lock_guard<std::mutex> held(AudioCore.Lock);
    AudioCore.RingOpen = false;
    AudioCore.Ring = nullptr;
    AudioCore.RingBytes = 0;
  }
  AudioDeviceDiscard();
}

int AudioCapturePull(int16_t* out, int frames) {
  if (AudioCore.Backend != AudioBackend::Capture || !out || frames <= 0) return 0;
  AudioPull(out, frames);
  return frames;
}

bool AudioDeviceLost() {
  std::lock_guard<std::mutex> held(AudioCore.Lock);
  return AudioCore.DeviceLost;
}

void AudioFaultRemoveDevice() {
  AudioCoreState& a = AudioCore;
  if (a.Backend == AudioBackend::Sdl) {
    AudioDeviceRemove();
    return;
  }
  if (a.Backend != AudioBackend::Capture) return;
  std::unique_lock<std::mutex> held(a.Lock);
  a.CaptureAbsent = true;
  if (a.QueueOpen || a.RingOpen) LoseDeviceLocked();
  DrainFinished(held);
}

void AudioFaultRestoreDevice() {
  std::lock_guard<std::mutex> held(AudioCore.Lock);
  AudioCore.CaptureAbsent = false;
}

void AudioShutdown() {
  AudioCoreState& a = AudioCore;
  AudioDeviceClose();  // waits for a running device call to return
  {
    std::lock_guard<std::mutex> held(a.Lock);
    ClearQueueLocked();
    a.Finished.clear();
    a.QueueOpen = false;
    a.QueuePaused = true;
    a.QueueDone = nullptr;
    a.QueueUser = nullptr;
    a.RingOpen = false;
    a.Ring = nullptr;
    a.RingBytes = 0;
    a.RingFeeder = nullptr;
    a.CompletionQuit = true;
    a.CompletionThreadId = std::thread::id();
    a.DeviceOpen = false;
    a.DeviceLost = false;
  }
  a.CompletionWake.notify_all();
  if (a.CompletionThread.joinable()) {
    if (a.CompletionThread.get_id() == std::this_thread::get_id())
      a.CompletionThread.detach();
    else
      a.CompletionThread.join();
  }
}
