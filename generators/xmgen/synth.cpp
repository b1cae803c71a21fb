#include "generators/xmgen/synth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

// xorshift32: small, fast and the same on every machine.
double NextNoise(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return double(state) / 2147483648.0 - 1.0;
}

int Frames(double ms, double rate) {
  return std::max(0, int(std::lround(ms * rate / 1000.0)));
}

// Short linear fade at the end of a one-shot so it ends on silence.
void FadeTail(std::vector<double>& signal, double rate) {
  const int fade = std::min<int>(int(signal.size()), Frames(3, rate));
  for (int i = 0; i < fade; ++i) signal[signal.size() - 1 - i] *= double(i) / fade;
}

void Saturate(std::vector<double>& signal, double drive) {
  if (drive <= 1.0) return;
  const double norm = std::tanh(drive);
  for (double& x : signal) x = std::tanh(drive * x) / norm;
}

std::vector<double> Kick(const SynthParams& p, double rate) {
  std::vector<double> out(Frames(p.length_ms, rate));
  uint32_t noise = p.seed;
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = double(i) / rate * 1000.0;
    const double freq = p.freq_end + (p.freq_start - p.freq_end) * std::exp(-t / p.sweep_ms);
    phase += 2 * Pi * freq / rate;
    const double body = std::sin(phase) * std::exp(-t / p.decay_ms);
    const double click = NextNoise(noise) * std::exp(-t / 1.5) * p.click;
    out[i] = body + click;
  }
  Saturate(out, p.drive);
  FadeTail(out, rate);
  return out;
}

std::vector<double> Snare(const SynthParams& p, double rate) {
  std::vector<double> out(Frames(p.length_ms, rate));
  uint32_t noise = p.seed;
  double low = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = double(i) / rate;
    const double tms = t * 1000.0;
    const double tone =
        (std::sin(2 * Pi * p.freq_start * t) + 0.5 * std::sin(2 * Pi * p.freq_start * 1.47 * t)) *
        std::exp(-tms / p.decay_ms);
    low += p.colour * (NextNoise(noise) - low);
    const double hiss = low * std::exp(-tms / p.noise_decay_ms);
    out[i] = (1 - p.click) * tone + p.click * 1.6 * hiss;
  }
  Saturate(out, p.drive);
  FadeTail(out, rate);
  return out;
}

// Frequency ratios of the hats' square-wave cluster: inharmonic, so it rings like metal.
constexpr double HatMetal[6] = {1.0, 1.483, 1.800, 2.546, 2.630, 3.897};

// Hats: high-passed noise plus the cluster of square waves for a metallic edge.
std::vector<double> Hat(const SynthParams& p, double rate) {
  std::vector<double> out(Frames(p.length_ms, rate));
  uint32_t noise = p.seed;
  double low = 0, prev = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = double(i) / rate;
    double metal = 0;
    for (double ratio : HatMetal) metal += std::sin(2 * Pi * p.freq_start * ratio * t) > 0 ? 1 : -1;
    const double raw = (1 - p.click) * NextNoise(noise) + p.click * metal / 6.0;
    low += (1 - p.colour) * (raw - low);
    const double high = raw - low;
    const double edge = high - 0.5 * prev;  // extra tilt towards the top
    prev = high;
    out[i] = edge * std::exp(-t * 1000.0 / p.decay_ms);
  }
  FadeTail(out, rate);
  return out;
}

struct Oscillator {
  double freq = 0;     // one-shots: Hz
  int64_t cycles = 0;  // looped tones: whole cycles per loop
  double phase = 0;    // start phase in cycles, 0..1
};

// Relative pitch error of the best whole-cycle count for a loop of `frames`.
double CycleError(double freq, int frames, double rate, bool even) {
  const double cycles = freq * frames / rate;
  const double whole = even ? 2 * std::round(cycles / 2) : std::round(cycles);
  return std::fabs(cycles - whole) / std::max(whole, 1.0);
}

std::vector<double> Tone(const SynthParams& p, double rate, int& body, int& loop) {
  const double root = 440.0 * std::pow(2.0, (p.base_note - 57) / 12.0);
  const bool even = p.sub > 0;  // the sub-octave needs an even cycle count to loop
  body = p.body_frames_override >= 0 ? p.body_frames_override : Frames(p.body_ms, rate);
  loop = Frames(p.loop_ms, rate);

  std::vector<double> freqs;
  for (int interval : p.chord) {
    for (int v = 0; v < p.voices; ++v) {
      const double cents = p.voices > 1 ? p.detune_cents * (double(v) / (p.voices - 1) - 0.5) : 0;
      freqs.push_back(root * std::pow(2.0, interval / 12.0 + cents / 1200.0));
    }
  }
  if (loop > 0 && freqs.size() == 1) {
    // A lone oscillator: pick the loop length near the wish that keeps the pitch truest.
    int best = loop;
    for (int frames = loop * 3 / 4; frames <= loop * 5 / 4; ++frames)
      if (CycleError(freqs[0], frames, rate, even) < CycleError(freqs[0], best, rate, even))
        best = frames;
    loop = best;
  }

  uint32_t noise = p.seed;
  std::vector<Oscillator> oscillators;
  for (double f : freqs) {
    Oscillator osc;
    osc.freq = f;
    if (loop > 0) {
      const double cycles = f * loop / rate;
      osc.cycles = std::max<int64_t>(
          even ? 2 : 1, int64_t(even ? 2 * std::round(cycles / 2) : std::round(cycles)));
      osc.freq = double(osc.cycles) * rate / loop;
    }
    // Stacked copies start at scattered phases so their peaks do not pile up.
    osc.phase = freqs.size() > 1 ? (NextNoise(noise) + 1) / 2 : 0;
    oscillators.push_back(osc);
  }

  const int total = body + loop;
  const int attack = std::min(Frames(p.attack_ms, rate), std::max(body, 1));
  const double peak = body > attack ? 1.0 : p.sustain;
  std::vector<double> out(total);
  for (int i = 0; i < total; ++i) {
    double env;
    if (i < attack) {
      env = peak * double(i) / attack;
    } else if (loop == 0) {
      env = std::exp(-(i - attack) / (p.decay_ms * rate / 1000.0));
    } else if (i < body) {
      const double u = double(i - attack) / (body - attack);
      env = p.sustain + (1 - p.sustain) * (1 - u) * (1 - u);
    } else {
      env = p.sustain;
    }
    double bright = p.bright_end;
    if (i < body && body > 0) {
      const double u = 1 - double(i) / body;
      bright = p.bright_end + (p.bright_start - p.bright_end) * u * u;
    }
    const double rolloff = std::exp(-1.0 / std::max(bright, 0.05));
    double width = p.width;
    if (loop > 0 && p.pwm > 0) width += p.pwm * std::sin(2 * Pi * double(i - body) / loop);
    width = std::clamp(width, 0.02, 0.98);

    double sum = 0;
    for (const Oscillator& osc : oscillators) {
      // Looped tones take the phase from an integer position in the loop, so frame i and
      // frame i + loop hold exactly the same value.
      const double cycle = loop > 0 ? double((osc.cycles * i) % loop) / loop + osc.phase
                                    : osc.freq * i / rate + osc.phase;
      const double theta = 2 * Pi * cycle;
      const double c1 = std::cos(theta), s1 = std::sin(theta);
      const int harmonics = std::max(1, int(0.45 * rate / osc.freq));
      double c = c1, s = s1, weight = 1;
      double voice = 0;
      for (int h = 1; h <= harmonics; ++h) {
        double a = 0;
        switch (p.wave) {
          case SynthWave::Sine:
            a = h == 1 ? s : 0;
            break;
          case SynthWave::Saw:
            a = s / h;
            break;
          case SynthWave::Square:
            a = (h & 1) ? s / h : 0;
            break;
          case SynthWave::Triangle:
            a = (h & 1) ? ((h & 2) ? -s : s) / (double(h) * h) * 2.5 : 0;
            break;
          case SynthWave::Pulse:
            a = std::sin(Pi * h * width) * c / h;
            break;
        }
        voice += a * weight;
        weight *= rolloff;
        if (weight < 1e-4 || p.wave == SynthWave::Sine) break;
        const double cn = c * c1 - s * s1;
        s = s * c1 + c * s1;
        c = cn;
      }
      if (p.sub > 0) {
        const double sub_cycle =
            loop > 0 ? double((osc.cycles / 2 * i) % loop) / loop : osc.freq / 2 * i / rate;
        voice += p.sub * std::sin(2 * Pi * sub_cycle);
      }
      sum += voice;
    }
    out[i] = sum * env;
  }
  if (loop == 0) FadeTail(out, rate);
  return out;
}

}  // namespace

double SynthRate(const SynthParams& params) {
  return 8363.0 * std::pow(2.0, params.octave);
}

SynthResult SynthSample(const SynthParams& params) {
  const double rate = SynthRate(params);
  SynthResult result;
  std::vector<double> signal;
  int body = 0, loop = 0;
  switch (params.kind) {
    case SynthKind::Kick:
      signal = Kick(params, rate);
      break;
    case SynthKind::Snare:
      signal = Snare(params, rate);
      break;
    case SynthKind::Hat:
      signal = Hat(params, rate);
      break;
    case SynthKind::Tone:
      signal = Tone(params, rate, body, loop);
      break;
  }
  double peak = 1e-9;
  for (double x : signal) peak = std::max(peak, std::fabs(x));
  const double scale = params.gain * 127.0 / peak;
  result.data.reserve(signal.size());
  for (double x : signal)
    result.data.push_back(int8_t(std::clamp<long>(std::lround(x * scale), -128, 127)));
  if (loop > 0) {
    result.loop_start = uint32_t(body);
    result.loop_length = uint32_t(loop);
  }
  // The natural rate sounds at base_note: 8363 x 2^((note + relative - 48) / 12) = rate.
  result.relative_note = int8_t(48 + 12 * params.octave - params.base_note);
  return result;
}
