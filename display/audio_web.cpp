// The shared audio device in a web browser: Web Audio pulls 44,100 Hz stereo from a
// ScriptProcessorNode, whose callback mixes both sinks and runs their refills. See audio.h and
// audio_web.h for the contract.
#include <emscripten.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "display/audio.h"
#include "display/audio_web.h"

namespace {

// Frames per Web Audio callback: about 93 ms, long enough that a frame of the magazine's own
// work never starves the device, short enough for the SID player's 0.32 s of queued sound.
constexpr int PullFrames = 4096;

struct WebAudioDevice {
  AudioBackend backend = AudioBackend::Sdl;
  bool started = false;  // the browser's node is connected and pulling
  std::string lastError;

  bool queueOpen = false;
  bool queuePaused = true;
  bool queueResetting = false;  // AudioQueueReset is returning buffers: writes are refused
  AudioQueueDoneProc queueDone = nullptr;
  void* queueUser = nullptr;
  AudioQueueBuffer* queueHead = nullptr;
  AudioQueueBuffer* queueTail = nullptr;
  std::deque<AudioQueueBuffer*> finished;  // played out, waiting for their completion call

  bool ringOpen = false;
  const int16_t* ring = nullptr;
  uint32_t ringBytes = 0;
  uint64_t ringPlayed = 0;
  void (*ringFeeder)() = nullptr;

  std::vector<int16_t> pulled = std::vector<int16_t>(2 * PullFrames);
};

WebAudioDevice Audio;

// Connects a ScriptProcessorNode to the page's AudioContext, its callback pulling AudioWebPull.
// The page reads what was delivered through window.quellmarkAudio: `samples`, the frames handed
// to the browser so far, and `level`, the peak (0..1) of the last block. 1 when running, else 0
// with the reason in `reason` (a buffer of `size` bytes).
// clang-format off
EM_JS(int, WebAudioStart, (int frames, char* reason, int size), {
  var fail = function(text) {
    stringToUTF8(text, reason, size);
    return 0;
  };
  var context = Module['audioContext'];
  if (!context) return fail('the browser gave the page no Web Audio context');
  if (!Module['audioStats']) {
    var made = {samples: 0, level: 0};
    var view = {};
    Object.keys(made).forEach(function(key) {
      Object.defineProperty(view, key, {get: function() { return made[key]; }, enumerable: true});
    });
    Object.defineProperty(window, 'quellmarkAudio', {value: Object.freeze(view)});
    Module['audioStats'] = made;
  }
  var stats = Module['audioStats'];
  var node;
  try {
    node = context.createScriptProcessor(frames, 0, 2);
  } catch (e) {
    return fail('Web Audio refused a sound source: ' + e);
  }
  node.onaudioprocess = function(event) {
    var left = event.outputBuffer.getChannelData(0);
    var right = event.outputBuffer.getChannelData(1);
    var count = left.length;
    var at = _AudioWebPull(count) >> 1;
    var peak = 0;
    for (var i = 0; i < count; ++i) {
      var l = HEAP16[at + 2 * i] / 32768;
      var r = HEAP16[at + 2 * i + 1] / 32768;
      left[i] = l;
      right[i] = r;
      peak = Math.max(peak, Math.abs(l), Math.abs(r));
    }
    stats.samples += count;
    stats.level = peak;
  };
  node.connect(context.destination);
  if (context.state === 'suspended') context.resume();
  Module['audioNode'] = node;
  return 1;
});

EM_JS(void, WebAudioStop, (), {
  var node = Module['audioNode'];
  if (!node) return;
  node.onaudioprocess = null;
  node.disconnect();
  Module['audioNode'] = null;
});
// clang-format on

// Adds `value` to an output sample, saturating.
inline void MixInto(int16_t& out, int32_t value) {
  out = static_cast<int16_t>(std::clamp<int32_t>(out + value, -32768, 32767));
}

// Mixes `frames` stereo frames into `out` (cleared first).
void Mix(int16_t* out, int frames) {
  std::memset(out, 0, sizeof(int16_t) * 2 * static_cast<size_t>(frames));
  WebAudioDevice& a = Audio;
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
    const uint32_t ringFrames = a.ringBytes / 4;
    uint32_t frame = static_cast<uint32_t>((a.ringPlayed / 4) % ringFrames);
    for (int i = 0; i < frames; ++i) {
      MixInto(out[2 * i], a.ring[2 * frame]);
      MixInto(out[2 * i + 1], a.ring[2 * frame + 1]);
      if (++frame == ringFrames) frame = 0;
    }
    a.ringPlayed += 4ull * static_cast<uint32_t>(frames);
  }
}

// Runs the completion procedure for every finished buffer.
void DrainFinished() {
  WebAudioDevice& a = Audio;
  while (!a.finished.empty()) {
    AudioQueueBuffer* b = a.finished.front();
    a.finished.pop_front();
    if (a.queueDone) a.queueDone(b, a.queueUser);
  }
}

// Mixes up to the end of each queued buffer and runs its completion at once, so a requeued buffer
// plays on within the same pull; then lets the ring's feeder mix on behind the cursor.
void Pull(int16_t* out, int frames) {
  WebAudioDevice& a = Audio;
  int mixed = 0;
  while (mixed < frames) {
    int chunk = frames - mixed;
    const AudioQueueBuffer* head = a.queueHead;
    if (a.queueOpen && !a.queuePaused && head)
      chunk = std::min<int>(chunk, static_cast<int>(head->count - head->played));
    Mix(out + 2 * mixed, chunk);
    mixed += chunk;
    DrainFinished();
  }
  if (a.ringOpen && a.ring && a.ringFeeder) a.ringFeeder();
}

// Starts the browser's device on first use. Returns AudioOk or AudioErrNoDevice.
int EnsureDevice() {
  WebAudioDevice& a = Audio;
  if (a.backend == AudioBackend::Null) {
    a.lastError = "no audio device (sound is off)";
    return AudioErrNoDevice;
  }
  if (a.backend == AudioBackend::Capture || a.started) return AudioOk;
  char reason[256] = {};
  if (!WebAudioStart(PullFrames, reason, sizeof reason)) {
    a.lastError = reason;
    return AudioErrNoDevice;
  }
  a.started = true;
  return AudioOk;
}

void ClearQueue() {
  for (AudioQueueBuffer* b = Audio.queueHead; b;) {
    AudioQueueBuffer* next = b->next;
    b->next = nullptr;
    b->queued = false;
    Audio.finished.push_back(b);
    b = next;
  }
  Audio.queueHead = Audio.queueTail = nullptr;
}

}  // namespace

// Called by the Web Audio callback: `frames` stereo frames (at most PullFrames), returned in a
// buffer that stays valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE int16_t* AudioWebPull(int frames) {
  frames = std::clamp(frames, 0, PullFrames);
  Pull(Audio.pulled.data(), frames);
  return Audio.pulled.data();
}

void AudioRingSetFeeder(void (*feed)()) {
  Audio.ringFeeder = feed;
}

void AudioSetBackend(AudioBackend backend) {
  AudioShutdown();
  Audio.backend = backend;
}

AudioBackend AudioGetBackend() {
  return Audio.backend;
}

std::string AudioErrorText(int code) {
  switch (code) {
    case AudioOk:
      return "no error";
    case AudioErrNoDevice:
      return "the audio device could not be opened: " + Audio.lastError;
    case AudioErrNotOpen:
      return "the audio output is not open";
    case AudioErrInvalid:
      return "invalid audio buffer";
    default:
      return "unknown audio error";
  }
}

int AudioQueueOpen(AudioQueueDoneProc done, void* user) {
  if (const int result = EnsureDevice(); result != AudioOk) return result;
  Audio.queueOpen = true;
  Audio.queuePaused = true;
  Audio.queueDone = done;
  Audio.queueUser = user;
  return AudioOk;
}

void AudioQueuePause() {
  Audio.queuePaused = true;
}

void AudioQueueRestart() {
  Audio.queuePaused = false;
}

int AudioQueueWrite(AudioQueueBuffer* buffer) {
  if (!Audio.queueOpen || Audio.queueResetting) return AudioErrNotOpen;
  if (!buffer || !buffer->samples || buffer->count == 0 || buffer->queued) return AudioErrInvalid;
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
  // While the reset runs the queue takes no buffers, so the completions run for the returned
  // buffers cannot queue them again.
  Audio.queueResetting = true;
  ClearQueue();
  DrainFinished();
  Audio.queueResetting = false;
}

void AudioQueueClose() {
  AudioQueueReset();
  Audio.queueOpen = false;
  Audio.queuePaused = true;
  Audio.queueDone = nullptr;
  Audio.queueUser = nullptr;
}

bool AudioQueueIsOpen() {
  return Audio.queueOpen;
}

int AudioRingOpen() {
  if (const int result = EnsureDevice(); result != AudioOk) return result;
  Audio.ringOpen = true;
  Audio.ring = nullptr;
  Audio.ringBytes = 0;
  Audio.ringPlayed = 0;
  return AudioOk;
}

int AudioRingPlay(const int16_t* frames, uint32_t bytes) {
  if (!Audio.ringOpen) return AudioErrNotOpen;
  if (!frames || bytes < 4) return AudioErrInvalid;
  Audio.ring = frames;
  Audio.ringBytes = bytes - bytes % 4;
  Audio.ringPlayed = 0;
  return AudioOk;
}

uint64_t AudioRingPosition() {
  return Audio.ringPlayed;
}

// One thread: what was written into the ring is what the next pull reads.
void AudioRingPublish() {}

void AudioRingReset() {
  Audio.ring = nullptr;
  Audio.ringBytes = 0;
}

void AudioRingClose() {
  Audio.ringOpen = false;
  Audio.ring = nullptr;
  Audio.ringBytes = 0;
}

int AudioCapturePull(int16_t* out, int frames) {
  if (Audio.backend != AudioBackend::Capture || !out || frames <= 0) return 0;
  Pull(out, frames);
  return frames;
}

void AudioShutdown() {
  WebAudioDevice& a = Audio;
  if (a.started) {
    WebAudioStop();
    a.started = false;
  }
  ClearQueue();
  a.finished.clear();
  a.queueOpen = false;
  a.queuePaused = true;
  a.queueDone = nullptr;
  a.queueUser = nullptr;
  a.ringOpen = false;
  a.ring = nullptr;
  a.ringBytes = 0;
  a.ringFeeder = nullptr;
}
