// The browser's audio device: Web Audio pulls 44,100 Hz stereo from a ScriptProcessorNode, whose
// callback asks the audio core for sound on the page's one thread. See audio_core.h.
//
// A page served without cross-origin isolation has no threads, so the core's pull runs the buffer
// queue's completions itself and then the ring's feeder, which mixes the ring on behind the play
// cursor. The device starts only on a page that has made an AudioContext in answer to the reader's
// gesture (the start button) and left it in Module.audioContext; without one, opens report
// AudioErrNoDevice. A context that the browser closes is a lost device.
#include <emscripten.h>

#include <algorithm>
#include <string>
#include <vector>

#include "display/audio_core.h"

namespace {

// Frames per Web Audio callback: about 93 ms, long enough that a frame of the magazine's own
// work never starves the device, short enough for the SID player's 0.32 s of queued sound.
constexpr int PullFrames = 4096;

struct WebAudioDevice {
  bool started = false;  // the browser's node is connected and pulling
  std::vector<int16_t> pulled = std::vector<int16_t>(2 * PullFrames);
};

WebAudioDevice WebAudio;

// Connects a ScriptProcessorNode to the page's AudioContext, its callback pulling AudioWebPull,
// and reports the context's closing to AudioWebLost. The page reads what was delivered through
// window.quellmarkAudio: `samples`, the frames handed to the browser so far, and `level`, the peak
// (0..1) of the last block. 1 when running, else 0 with the reason in `reason` (a buffer of
// `size` bytes).
// clang-format off
EM_JS(int, WebAudioStart, (int frames, char* reason, int size), {
  var fail = function(text) {
    stringToUTF8(text, reason, size);
    return 0;
  };
  var context = Module['audioContext'];
  if (!context) return fail('the browser gave the page no Web Audio context');
  if (context.state === 'closed') return fail('the browser closed the Web Audio context of the page');
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
  context.onstatechange = function() {
    if (context.state === 'closed' && Module['audioNode'] === node) _AudioWebLost();
  };
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

}  // namespace

// Called by the Web Audio callback: `frames` stereo frames (at most PullFrames), returned in a
// buffer that stays valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE int16_t* AudioWebPull(int frames) {
  frames = std::clamp(frames, 0, PullFrames);
  AudioPull(WebAudio.pulled.data(), frames);
  return WebAudio.pulled.data();
}

// Called when the browser closes the context the device plays into.
extern "C" EMSCRIPTEN_KEEPALIVE void AudioWebLost() {
  AudioLoseDevice();
}

int AudioDeviceOpen(std::string* reason) {
  AudioDeviceClose();  // a lost device's node goes
  char text[256] = {};
  if (!WebAudioStart(PullFrames, text, sizeof text)) {
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
