#pragma once
// Deterministic synthesis of the modules' 8-bit samples: drums from noise and swept sines,
// pitched tones from band-limited harmonic series whose loops hold a whole number of cycles of
// every partial, so a looped tone repeats without a click.
#include <cstdint>
#include <string>
#include <vector>

enum class SynthKind { Kick, Snare, Hat, Tone };
enum class SynthWave { Sine, Triangle, Saw, Square, Pulse };

struct SynthParams {
  SynthKind kind = SynthKind::Tone;
  int octave = 1;      // sample rate 8363 x 2^octave frames per second
  int base_note = 48;  // 0-based note (48 = C-4) that plays the sample at its own pitch
  uint32_t seed = 1;   // noise generator seed
  double gain = 0.9;   // peak level after normalising, 0..1
  double length_ms = 300;
  // Drums.
  double freq_start = 160, freq_end = 50, sweep_ms = 30;  // kick pitch sweep; snare tone
  double decay_ms = 120;                                  // amplitude decay time constant
  double noise_decay_ms = 90;                             // snare noise
  double click = 0.3;                                     // kick click / snare noise share
  double drive = 1.0;                                     // tanh saturation amount
  double colour = 0.5;                                    // noise low-pass 0..1 (1 = brightest)
  // Tones.
  SynthWave wave = SynthWave::Saw;
  double width = 0.5;         // pulse width 0..1
  double pwm = 0;             // pulse width modulation depth, one sweep per loop
  int voices = 1;             // detuned copies of every chord note
  double detune_cents = 0;    // spread between the outermost copies
  std::vector<int> chord{0};  // semitone offsets sounding together
  double attack_ms = 5;
  double body_ms = 200;      // unlooped part (attack and decay)
  double loop_ms = 0;        // 0: one-shot that fades out over body_ms
  double sustain = 0.7;      // level reached at the loop
  double bright_start = 12;  // harmonic roll-off: amplitude x exp(-(h - 1) / bright)
  double bright_end = 4;
  double sub = 0;                 // sine one octave down, share of the mix
  int body_frames_override = -1;  // exact unlooped frame count (size fitting), -1 unused
};

struct SynthResult {
  std::vector<int8_t> data;
  uint32_t loop_start = 0;
  uint32_t loop_length = 0;
  int8_t relative_note = 0;
};

double SynthRate(const SynthParams& params);
SynthResult SynthSample(const SynthParams& params);
