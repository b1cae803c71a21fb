#pragma once
// The shared audio device in a web browser (audio_web.cpp), beyond display/audio.h.
//
// A page served without cross-origin isolation has no threads, so the device is driven from the
// Web Audio callback on the page's one thread: each call pulls a block of frames, mixing the
// buffer queue and the looping ring as audio.h describes, runs the queue's completions for the
// buffers that played out (inside the pull, like the Capture backend), and then calls the ring's
// feeder, which mixes the ring on behind the play cursor.
//
// The Sdl backend selects the browser's device. It starts only on a page that has made an
// AudioContext in answer to the reader's gesture (the start button) and left it in
// Module.audioContext; without one, opens report AudioErrNoDevice.

// The procedure run after every pull that took frames of the ring; null for none.
void AudioRingSetFeeder(void (*feed)());
