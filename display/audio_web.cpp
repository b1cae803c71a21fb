// The browser's audio device: an AudioWorklet (web/quellmark-audio.js) plays 44,100 Hz stereo on
// the browser's audio thread from a queue that the page's one thread keeps about a quarter second
// ahead, sending it blocks the audio core has mixed through the worklet's message port. So a page
// busy for up to 200 ms (a long frame, a garbage collection, a slow phone) is not heard. See
// audio_core.h.
//
// A page served without cross-origin isolation has no threads and no shared memory: the core's
// pull runs on the page's thread, from AudioWebFeed, which the display calls once a frame and a
// timer of the device's own calls too, for a page that is hidden and gets no animation frames. The
// pull runs the buffer queue's completions itself and then the ring's feeder, which mixes the ring
// on behind what has been heard (AudioRingPosition less what the worklet still holds).
//
// Mixing ahead would delay every stop and song change by the queue's length: the core tells the
// device to drop what it holds (AudioDeviceDiscard), and the next feed mixes the new state.
//
// The device starts only on a page that has made an AudioContext in answer to the reader's
// gesture (the start button), loaded the worklet's module into it and left it in
// Module.audioContext; without one, opens report AudioErrNoDevice. A context that the browser
// closes is a lost device.
#include "display/audio_web.h"

#include <emscripten.h>

#include <string>
#include <vector>

#include "display/audio_core.h"

namespace {

// Frames kept queued in the worklet: a stall of the page's thread this long passes unheard.
constexpr int AheadFrames = MixRate / 4;
// Smaller top-ups wait for the next feed: one render quantum of Web Audio.
constexpr int LeastFrames = 128;
// The feeding timer's period in ms: well inside the queue's quarter second. With frames coming it
// mostly finds the queue full.
constexpr int FeedTimerMs = 40;

struct WebAudioDevice {
  bool started = false;  // the worklet is connected and playing
  int pulling = 0;       // frames of the pull under way, mixed but not yet sent
  std::vector<int16_t> pulled = std::vector<int16_t>(2 * AheadFrames);
};

WebAudioDevice WebAudio;

// Connects a worklet node of the module the page loaded to Module.audioContext and keeps its
// bookkeeping in Module.audioOut: `sent`, the frames posted to it; `gone`, those it has played or
// dropped as far as the page knows (its reports, carried forward by the audio clock; it never
// decreases); `timer`, the feeding timer. The closing of the context goes to AudioWebLost. The page
// reads what was played through window.quellmarkAudio: `samples`, the frames the worklet has put
// out so far, and `level`, the peak (0..1) of the last 4096 of them. 1 when running, else 0 with
// the reason in `reason` (a buffer of `size` bytes).
// clang-format off
EM_JS(int, WebAudioStart, (int timerMs, char* reason, int size), {
  var fail = function(text) {
    stringToUTF8(text, reason, size);
    return 0;
  };
  var context = Module['audioContext'];
  if (!context) return fail('the browser gave the page no Web Audio context');
  if (context.state === 'closed') return fail('the browser closed the Web Audio context of the page');
  if (!context.audioWorklet) {
    return fail(isSecureContext ? 'the browser has no Web Audio worklets'
                                : 'the browser plays sound only on pages served over HTTPS');
  }
  if (Module['audioWorkletError']) return fail(Module['audioWorkletError']);
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
    node = new AudioWorkletNode(context, 'quellmark-output',
                                {numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2]});
  } catch (e) {
    return fail('Web Audio refused the sound worklet: ' + e);
  }
  var out = {node: node, sent: 0, gone: 0, taken: 0, at: 0, timer: 0};
  node.port.onmessage = function(event) {
    var report = event.data;
    out.taken = report.taken;
    out.at = report.at;
    stats.samples = report.samples;
    stats.level = report.level;
  };
  node.connect(context.destination);
  context.onstatechange = function() {
    if (context.state !== 'closed' || Module['audioOut'] !== out) return;
    clearInterval(out.timer);
    _AudioWebLost();
  };
  if (context.state === 'suspended') context.resume();
  // Frames stop while the page is hidden (or its window covered); the timer feeds meanwhile.
  out.timer = setInterval(function() {
    try {
      _AudioWebFeedFromTimer();
    } catch (e) {
      clearInterval(out.timer);  // the program has aborted
      throw e;
    }
  }, timerMs);
  Module['audioOut'] = out;
  return 1;
});

// Frames the worklet holds: those sent less those gone, which its last report gives and the
// audio clock carries forward (a worklet with an empty queue takes no more than it was sent).
EM_JS(int, WebAudioAhead, (), {
  var out = Module['audioOut'];
  if (!out) return 0;
  var since = Math.max(0, out.node.context.currentTime - out.at) * out.node.context.sampleRate;
  out.gone = Math.max(out.gone, Math.min(out.sent, out.taken + since));
  return Math.round(out.sent - out.gone);
});

// Posts `frames` stereo frames at `samples` to the worklet, behind what it holds.
EM_JS(void, WebAudioSend, (const int16_t* samples, int frames), {
  var out = Module['audioOut'];
  if (!out) return;
  var block = HEAP16.slice(samples >> 1, (samples >> 1) + 2 * frames);
  out.node.port.postMessage({samples: block}, [block.buffer]);
  out.sent += frames;
});

// The worklet drops what it holds; until it says so, the page counts all of it as gone.
EM_JS(void, WebAudioDrop, (), {
  var out = Module['audioOut'];
  if (!out) return;
  out.node.port.postMessage({drop: true});
  out.gone = out.sent;
});

EM_JS(void, WebAudioStop, (), {
  var out = Module['audioOut'];
  if (!out) return;
  clearInterval(out.timer);
  out.node.port.onmessage = null;
  out.node.port.postMessage({stop: true});
  out.node.disconnect();
  Module['audioOut'] = null;
});
// clang-format on

}  // namespace

void AudioWebFeed() {
  if (!WebAudio.started || AudioDeviceLost()) return;
  const int ahead = WebAudioAhead();
  int frames = AheadFrames - ahead;
  if (frames < LeastFrames) frames = 0;
  // A pull of nothing still runs the ring's feeder, which follows what is heard. It runs before
  // the frames are sent, and must count them as held ahead already: else the position it reads
  // would run ahead by them until they are sent, and go back then.
  WebAudio.pulling = frames;
  AudioPull(WebAudio.pulled.data(), frames);
  if (frames > 0) WebAudioSend(WebAudio.pulled.data(), frames);
  WebAudio.pulling = 0;
}

// The feeding timer's way in.
extern "C" EMSCRIPTEN_KEEPALIVE void AudioWebFeedFromTimer() {
  AudioWebFeed();
}

// Called when the browser closes the context the device plays into.
extern "C" EMSCRIPTEN_KEEPALIVE void AudioWebLost() {
  AudioLoseDevice();
}

int AudioDeviceOpen(std::string* reason) {
  AudioDeviceClose();  // a lost device's node goes
  char text[256] = {};
  if (!WebAudioStart(FeedTimerMs, text, sizeof text)) {
    *reason = text;
    return AudioErrNoDevice;
  }
  WebAudio.started = true;
  AudioDeviceStarted();
  return AudioOk;
}

void AudioDeviceClose() {
  if (!WebAudio.started) return;
  WebAudioStop();
  WebAudio.started = false;
}

// The same path as a context that the browser closes.
void AudioDeviceRemove() {
  if (WebAudio.started) AudioLoseDevice();
}

uint32_t AudioDeviceAhead() {
  return WebAudio.started ? static_cast<uint32_t>(WebAudioAhead() + WebAudio.pulling) : 0;
}

void AudioDeviceDiscard() {
  if (WebAudio.started) WebAudioDrop();
}
