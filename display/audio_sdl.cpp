// The desktop's audio device: one SDL audio device whose callback asks the audio core for sound,
// and SDL's removal event for it. See audio_core.h.
#include <SDL.h>

#include <atomic>
#include <string>

#include "display/audio_core.h"

namespace {

struct SdlAudioDevice {
  // Written by the opening thread only; atomic because SDL's removal events arrive on its threads.
  std::atomic<SDL_AudioDeviceID> Device{0};
  bool SubsystemStarted = false;
};

SdlAudioDevice SdlAudio;

void Callback(void*, Uint8* stream, int len) {
  AudioMix(reinterpret_cast<int16_t*>(stream), len / 4);
}

// SDL's event watch: runs on whichever thread posts the event (a driver's thread when a device is
// unplugged). Other devices' events are not ours.
int DeviceEventWatch(void*, SDL_Event* event) {
  if (event->type != SDL_AUDIODEVICEREMOVED || event->adevice.iscapture != 0) return 1;
  const SDL_AudioDeviceID open = SdlAudio.Device.load();
  if (open == 0 || event->adevice.which != open) return 1;
  AudioLoseDevice();
  return 1;
}

}  // namespace

int AudioDeviceOpen(std::string* reason) {
  SdlAudioDevice& s = SdlAudio;
  if (s.Device != 0) {
    // A lost device is closed and a new one opened.
    SDL_CloseAudioDevice(s.Device.load());
    s.Device = 0;
  }
  if (!s.SubsystemStarted) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      *reason = SDL_GetError();
      return AudioErrNoDevice;
    }
    s.SubsystemStarted = true;
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
    *reason = SDL_GetError();
    return AudioErrNoDevice;
  }
  AudioDeviceStarted();
  s.Device = opened;
  // The callback runs on SDL's thread, which must not wait for a refill: completions get a thread
  // of their own. After a loss it is still there, serving the sinks that stayed open.
  AudioStartCompletionThread();
  SDL_PauseAudioDevice(opened, 0);  // the sinks keep their own pause; the device always runs
  return AudioOk;
}

void AudioDeviceClose() {
  SdlAudioDevice& s = SdlAudio;
  if (s.Device != 0) {
    SDL_CloseAudioDevice(s.Device.load());  // waits for a running callback to return
    s.Device = 0;
  }
  if (s.SubsystemStarted) {
    SDL_DelEventWatch(DeviceEventWatch, nullptr);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    s.SubsystemStarted = false;
  }
}

void AudioDeviceRemove() {
  const SDL_AudioDeviceID open = SdlAudio.Device.load();
  if (open == 0) return;
  SDL_Event event = {};
  event.type = SDL_AUDIODEVICEREMOVED;
  event.adevice.which = open;
  event.adevice.iscapture = 0;
  // SDL hands the event to DeviceEventWatch on this thread (and queues it for the window's event
  // loop, which passes it over), so the loss takes the same path as an unplugged device.
  SDL_PushEvent(&event);
}

// SDL asks for one block of 1024 frames at a time and plays it at once: nothing is held ahead.
uint32_t AudioDeviceAhead() {
  return 0;
}

void AudioDeviceDiscard() {}
