#pragma once
// The browser's audio device (audio_web.cpp), beyond the core's interface.

// Tops the worklet's queue up to a quarter second of sound, mixed by the audio core on the page's
// thread. The display calls it once a frame; the device's own timer calls it as well.
void AudioWebFeed();
