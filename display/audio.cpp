// The shared audio device and its two sinks. See audio.h for the contract.
#include "display/audio.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace {

struct AudioDevice {
  AudioBackend backend = AudioBackend::Sdl;
  // Written by the opening thread only; atomic because SDL's removal events arrive on its threads.
  std::atomic<SDL_AudioDeviceID> device{0};
  bool subsystemStarted = false;
  std::string lastError;

  // Everything below is guarded by `lock`; the device callback holds it only while it mixes.
  std::mutex lock;

  bool deviceLost = false;     // the open device went away; nothing plays until a reopen
  bool captureAbsent = false;  // Capture backend: AudioFaultRemoveDevice took the device away

  bool queueOpen = false;
  bool queuePaused = true;
  bool queueResetting = false;  // AudioQueueReset is returning buffers: writes are refused
  AudioQueueDoneProc queueDone = nullptr;
  void* queueUser = nullptr;
  AudioQueueBuffer* queueHead = nullptr;
  AudioQueueBuffer* queueTail = nullptr;
  std::deque<AudioQueueBuffer*> finished;  // played out, waiting for their completion call
  bool completionBusy = false;             // a completion procedure is running
  std::condition_variable completionWake;  // finished gained a buffer, or the thread must quit
  std::condition_variable completionIdle;  // finished is empty and nothing is running
  std::thread completionThread;
  bool completionQuit = false;

  bool ringOpen = false;
  const int16_t* ring = nullptr;
  uint32_t ringBytes = 0;
  std::atomic<uint64_t> ringPlayed{0};
  std::atomic<uint32_t> ringPublished{0};
};

AudioDevice Audio;

// Adds `value` to an output sample, saturating.
inline void MixInto(int16_t& out, int32_t value) {
  out = static_cast<int16_t>(std::clamp<int32_t>(out + value, -32768, 32767));
}

// Mixes `frames` stereo frames into `out` (cleared first). Caller holds the lock.
void MixLocked(int16_t* out, int frames) {
  std::memset(out, 0, sizeof(int16_t) * 2 * static_cast<size_t>(frames));
  AudioDevice& a = Audio;
  if (a.queueOpen && !a.queuePaused) {
    int i = 0;
    while (i < frames && a.queueHead) {
      AudioQueueBuffer* b = a.queueHead;
      const uint32_t take = std::min<uint32_t>(b->count - b->played, frames - i);
      for (uint32_t k = 0; k < take; ++k) {
        const int16_t s = b->samples[b->played + k];
        MixInto(out[2 * (i + k)], s);
        MixInto(out[2 * (i + k) + 1], s);
      }
      b->played += take;
      i += static_cast<int>(take);
      if (b->played >= b->count) {
        a.queueHead = b->next;
        if (!a.queueHead) a.queueTail = nullptr;
        b->next = nullptr;
        b->queued = false;
        a.finished.push_back(b);
      }
    }
  }
  if (a.ringOpen && a.ring && a.ringBytes >= 4) {
    // Pairs with the release in AudioRingPublish: what the writer put into the ring is visible.
    (void)a.ringPublished.load(std::memory_order_acquire);
    const uint32_t ringFrames = a.ringBytes / 4;
    uint64_t played = a.ringPlayed.load(std::memory_order_relaxed);
    uint32_t frame = static_cast<uint32_t>((played / 4) % ringFrames);
    for (int i = 0; i < frames; ++i) {
      MixInto(out[2 * i], a.ring[2 * frame]);
      MixInto(out[2 * i + 1], a.ring[2 * frame + 1]);
      if (++frame == ringFrames) frame = 0;
    }
    a.ringPlayed.store(played + 4ull * static_cast<uint32_t>(frames), std::memory_order_release);
  }
}

// Runs the completion procedure for every finished buffer on the calling thread.
void DrainFinished(std::unique_lock<std::mutex>& held) {
  AudioDevice& a = Audio;
  while (!a.finished.empty()) {
    AudioQueueBuffer* b = a.finished.front();
    a.finished.pop_front();
    const AudioQueueDoneProc done = a.queueDone;
    void* user = a.queueUser;
    a.completionBusy = true;
    held.unlock();
    if (done) done(b, user);
    held.lock();
    a.completionBusy = false;
  }
  a.completionIdle.notify_all();
}

void CompletionThread() {
  AudioDevice& a = Audio;
  std::unique_lock<std::mutex> held(a.lock);
  while (!a.completionQuit) {
    a.completionWake.wait(held, [&] { return a.completionQuit || !a.finished.empty(); });
    DrainFinished(held);
  }
}

void Callback(void*, Uint8* stream, int len) {
  std::unique_lock<std::mutex> held(Audio.lock);
  if (Audio.deviceLost) {
    std::memset(stream, 0, static_cast<size_t>(len));
    return;
  }
  MixLocked(reinterpret_cast<int16_t*>(stream), len / 4);
  const bool wake = !Audio.finished.empty();
  held.unlock();
  if (wake) Audio.completionWake.notify_one();
}

bool OnCompletionThread() {
  return Audio.completionThread.joinable() &&
         Audio.completionThread.get_id() == std::this_thread::get_id();
}

void SetError(const std::string& text) {
  std::lock_guard<std::mutex> held(Audio.lock);
  Audio.lastError = text;
}

void ClearQueueLocked() {
  for (AudioQueueBuffer* b = Audio.queueHead; b;) {
    AudioQueueBuffer* next = b->next;
    b->next = nullptr;
    b->queued = false;
    Audio.finished.push_back(b);
    b = next;
  }
  Audio.queueHead = Audio.queueTail = nullptr;
}

// The device went away: nothing is mixed any more and the queued buffers go back to their owner,
// so no completion waits for a device that will not play them. Caller holds the lock, and wakes
// the completion thread or drains `finished` itself once it has let go of the lock.
void LoseDeviceLocked() {
  Audio.deviceLost = true;
  Audio.lastError = "the audio device was removed";
  ClearQueueLocked();
}

// SDL's event watch: runs on whichever thread posts the event (a driver's thread when a device is
// unplugged). Other devices' events are not ours.
int DeviceEventWatch(void*, SDL_Event* event) {
  if (event->type != SDL_AUDIODEVICEREMOVED || event->adevice.iscapture != 0) return 1;
  const SDL_AudioDeviceID open = Audio.device.load();
  if (open == 0 || event->adevice.which != open) return 1;
  {
    std::lock_guard<std::mutex> held(Audio.lock);
    LoseDeviceLocked();
  }
  Audio.completionWake.notify_one();
  return 1;
}

// Opens the device on first use, and anew after a loss. Returns AudioOk or AudioErrNoDevice.
int EnsureDevice() {
  AudioDevice& a = Audio;
  if (a.backend == AudioBackend::Null) {
    SetError("no audio device (sound is off)");
    return AudioErrNoDevice;
  }
  if (a.backend == AudioBackend::Capture) {
    std::lock_guard<std::mutex> held(a.lock);
    if (a.captureAbsent) {
      a.lastError = "no audio device";
      return AudioErrNoDevice;
    }
    a.deviceLost = false;
    return AudioOk;
  }
  bool lost = false;
  {
    std::lock_guard<std::mutex> held(a.lock);
    lost = a.deviceLost;
  }
  if (a.device != 0 && !lost) return AudioOk;
  if (a.device != 0) {
    // A lost device is closed and a new one opened; until that succeeds the loss stands.
    SDL_CloseAudioDevice(a.device.load());
    a.device = 0;
  }
  if (!a.subsystemStarted) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      SetError(SDL_GetError());
      return AudioErrNoDevice;
    }
    a.subsystemStarted = true;
    SDL_AddEventWatch(DeviceEventWatch, nullptr);
  }
  SDL_AudioSpec want = {};
  want.freq = MixRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = Callback;
  SDL_AudioSpec have = {};
  const SDL_AudioDeviceID opened = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (opened == 0) {
    SetError(SDL_GetError());
    return AudioErrNoDevice;
  }
  {
    std::lock_guard<std::mutex> held(a.lock);
    a.deviceLost = false;
    a.completionQuit = false;
  }
  a.device = opened;
  // After a loss the completion thread is still there, serving the sinks that stayed open.
  if (!a.completionThread.joinable()) a.completionThread = std::thread(CompletionThread);
  SDL_PauseAudioDevice(opened, 0);  // the sinks keep their own pause; the device always runs
  return AudioOk;
}

}  // namespace

void AudioSetBackend(AudioBackend backend) {
  AudioShutdown();
  Audio.backend = backend;
  AudioFaultRestoreDevice();
}

AudioBackend AudioGetBackend() {
  return Audio.backend;
}

std::string AudioErrorText(int code) {
  switch (code) {
    case AudioOk:
      return "no error";
    case AudioErrNoDevice: {
      std::lock_guard<std::mutex> held(Audio.lock);
      return "the audio device could not be opened: " + Audio.lastError;
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
  std::lock_guard<std::mutex> held(Audio.lock);
  Audio.queueOpen = true;
  Audio.queuePaused = true;
  Audio.queueDone = done;
  Audio.queueUser = user;
  return AudioOk;
}

void AudioQueuePause() {
  std::lock_guard<std::mutex> held(Audio.lock);
  Audio.queuePaused = true;
}

void AudioQueueRestart() {
  std::lock_guard<std::mutex> held(Audio.lock);
  Audio.queuePaused = false;
}

int AudioQueueWrite(AudioQueueBuffer* buffer) {
  std::lock_guard<std::mutex> held(Audio.lock);
  if (!Audio.queueOpen || Audio.queueResetting) return AudioErrNotOpen;
  if (!buffer || !buffer->samples || buffer->count == 0 || buffer->queued) return AudioErrInvalid;
  if (Audio.deviceLost) return AudioErrDeviceLost;
  buffer->played = 0;
  buffer->next = nullptr;
  buffer->queued = true;
  if (Audio.queueTail)
    Audio.queueTail->next = buffer;
  else
    Audio.queueHead = buffer;
  Audio.queueTail = buffer;
  return AudioOk;
}

void AudioQueueReset() {
  std::unique_lock<std::mutex> held(Audio.lock);
  // While the reset runs the queue takes no buffers, so a completion that is already running (or
  // is run for a returned buffer) cannot queue its buffer again behind the reset's back.
  Audio.queueResetting = true;
  ClearQueueLocked();
  if (Audio.backend != AudioBackend::Sdl || OnCompletionThread() ||
      !Audio.completionThread.joinable()) {
    DrainFinished(held);
  } else {
    Audio.completionWake.notify_one();
    Audio.completionIdle.wait(held, [] { return Audio.finished.empty() && !Audio.completionBusy; });
  }
  Audio.queueResetting = false;
}

void AudioQueueClose() {
  AudioQueueReset();
  std::lock_guard<std::mutex> held(Audio.lock);
  Audio.queueOpen = false;
  Audio.queuePaused = true;
  Audio.queueDone = nullptr;
  Audio.queueUser = nullptr;
}

bool AudioQueueIsOpen() {
  std::lock_guard<std::mutex> held(Audio.lock);
  return Audio.queueOpen;
}

int AudioRingOpen() {
  if (const int result = EnsureDevice(); result != AudioOk) return result;
  std::lock_guard<std::mutex> held(Audio.lock);
  Audio.ringOpen = true;
  Audio.ring = nullptr;
  Audio.ringBytes = 0;
  Audio.ringPlayed.store(0);
  return AudioOk;
}

int AudioRingPlay(const int16_t* frames, uint32_t bytes) {
  std::lock_guard<std::mutex> held(Audio.lock);
  if (!Audio.ringOpen) return AudioErrNotOpen;
  if (!frames || bytes < 4) return AudioErrInvalid;
  if (Audio.deviceLost) return AudioErrDeviceLost;
  AudioRingPublish();
  Audio.ring = frames;
  Audio.ringBytes = bytes - bytes % 4;
  Audio.ringPlayed.store(0);
  return AudioOk;
}

uint64_t AudioRingPosition() {
  return Audio.ringPlayed.load(std::memory_order_acquire);
}

void AudioRingPublish() {
  Audio.ringPublished.fetch_add(1, std::memory_order_release);
}

void AudioRingReset() {
  std::lock_guard<std::mutex> held(Audio.lock);
  Audio.ring = nullptr;
  Audio.ringBytes = 0;
}

void AudioRingClose() {
  std::lock_guard<std::mutex> held(Audio.lock);
  Audio.ringOpen = false;
  Audio.ring = nullptr;
  Audio.ringBytes = 0;
}

int AudioCapturePull(int16_t* out, int frames) {
  if (Audio.backend != AudioBackend::Capture || !out || frames <= 0) return 0;
  std::unique_lock<std::mutex> held(Audio.lock);
  if (Audio.deviceLost || Audio.captureAbsent) {
    std::memset(out, 0, sizeof(int16_t) * 2 * static_cast<size_t>(frames));
    return frames;
  }
  // Mix up to the end of each queued buffer and run its completion at once, as if the refill
  // took no time: a requeued buffer plays on within the same pull.
  int mixed = 0;
  while (mixed < frames) {
    int chunk = frames - mixed;
    const AudioQueueBuffer* head = Audio.queueHead;
    if (Audio.queueOpen && !Audio.queuePaused && head)
      chunk = std::min<int>(chunk, static_cast<int>(head->count - head->played));
    MixLocked(out + 2 * mixed, chunk);
    mixed += chunk;
    DrainFinished(held);
  }
  return frames;
}

bool AudioDeviceLost() {
  std::lock_guard<std::mutex> held(Audio.lock);
  return Audio.deviceLost;
}

void AudioFaultRemoveDevice() {
  AudioDevice& a = Audio;
  if (a.backend == AudioBackend::Sdl) {
    if (a.device == 0) return;
    SDL_Event event = {};
    event.type = SDL_AUDIODEVICEREMOVED;
    event.adevice.which = a.device.load();
    event.adevice.iscapture = 0;
    // SDL hands the event to DeviceEventWatch on this thread (and queues it for the window's
    // event loop, which passes it over).
    SDL_PushEvent(&event);
    return;
  }
  if (a.backend != AudioBackend::Capture) return;
  std::unique_lock<std::mutex> held(a.lock);
  a.captureAbsent = true;
  if (a.queueOpen || a.ringOpen) LoseDeviceLocked();
  DrainFinished(held);
}

void AudioFaultRestoreDevice() {
  std::lock_guard<std::mutex> held(Audio.lock);
  Audio.captureAbsent = false;
}

void AudioShutdown() {
  AudioDevice& a = Audio;
  if (a.device != 0) {
    SDL_CloseAudioDevice(a.device.load());  // waits for a running callback to return
    a.device = 0;
  }
  {
    std::unique_lock<std::mutex> held(a.lock);
    ClearQueueLocked();
    a.finished.clear();
    a.queueOpen = false;
    a.queuePaused = true;
    a.queueDone = nullptr;
    a.queueUser = nullptr;
    a.ringOpen = false;
    a.ring = nullptr;
    a.ringBytes = 0;
    a.completionQuit = true;
    a.deviceLost = false;
  }
  a.completionWake.notify_all();
  if (a.completionThread.joinable()) {
    if (OnCompletionThread())
      a.completionThread.detach();
    else
      a.completionThread.join();
  }
  if (a.subsystemStarted) {
    SDL_DelEventWatch(DeviceEventWatch, nullptr);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    a.subsystemStarted = false;
  }
}
