// Mixer: resamples the voices with linear interpolation into a float ring, ramps volume changes
// over 128 frames, and converts the float frames to 16-bit PCM.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "module/module_machine.h"

namespace {

constexpr int64_t One = int64_t(1) << 32;              // one frame in 32.32
constexpr int64_t AlmostOne = (int64_t(1) << 32) - 1;  // one frame less 2^-32
constexpr float Inv255 = 1.0f / 255.0f;
constexpr float Inv256 = 1.0f / 256.0f;
constexpr float FractionScale = 1.0f / 2147483648.0f;  // 2^-31

// The sample value at a 32.32 position, linear between the two frames around it.
inline float Interpolate(const int16_t* data, int64_t position) {
  const uint32_t index = uint32_t(uint64_t(position) >> 32);
  const float a = data[index], b = data[index + 1];
  const float t = float(uint32_t(position) >> 1) * FractionScale;
  return a + (b - a) * t;
}

#ifdef __SSE2__
// Four frames of one voice at once: the samples at four 32.32 positions, each interpolated with
// the same single-precision operations in the same order as Interpolate, so the sums stay
// bit-identical to the one-frame loops. Each frame's two neighbours come in one 32-bit load.
inline int32_t Pair(const int16_t* data, int64_t position) {
  int32_t pair;
  std::memcpy(&pair, data + uint32_t(uint64_t(position) >> 32), sizeof pair);
  return pair;
}

inline __m128 Interpolate4(const int16_t* data, int64_t position, int64_t step) {
  const int64_t p1 = position + step, p2 = p1 + step, p3 = p2 + step;
  const __m128i words =
      _mm_set_epi32(Pair(data, p3), Pair(data, p2), Pair(data, p1), Pair(data, position));
  const __m128i fraction =
      _mm_set_epi32(int32_t(uint32_t(p3) >> 1), int32_t(uint32_t(p2) >> 1),
                    int32_t(uint32_t(p1) >> 1), int32_t(uint32_t(position) >> 1));
  const __m128 a = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(words, 16), 16));
  const __m128 b = _mm_cvtepi32_ps(_mm_srai_epi32(words, 16));
  const __m128 t = _mm_mul_ps(_mm_cvtepi32_ps(fraction), _mm_set1_ps(FractionScale));
  return _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), t));
}

// Adds four frames' left gains `l` and right gains `r`, times the values `v`, to the interleaved
// output.
inline void Accumulate4(float* out, __m128 v, __m128 l, __m128 r) {
  const __m128 left = _mm_mul_ps(v, l);
  const __m128 right = _mm_mul_ps(v, r);
  _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), _mm_unpacklo_ps(left, right)));
  _mm_storeu_ps(out + 4, _mm_add_ps(_mm_loadu_ps(out + 4), _mm_unpackhi_ps(left, right)));
}
#endif

// Mixes `count` frames of one voice at fixed gains, or advances it silently when both are 0.
int64_t MixPlain(const int16_t* data, int64_t position, int64_t step, float g1, float g2,
                 float* out, int count) {
  if (g1 == 0.0f && g2 == 0.0f) return position + step * count;
  int j = 0;
#ifdef __SSE2__
  const __m128 l = _mm_set1_ps(g1), r = _mm_set1_ps(g2);
  for (; j + 4 <= count; j += 4) {
    Accumulate4(out + 2 * j, Interpolate4(data, position, step), l, r);
    position += 4 * step;
  }
#endif
  for (; j < count; ++j) {
    const float v = Interpolate(data, position);
    out[2 * j] += v * g1;
    out[2 * j + 1] += v * g2;
    position += step;
  }
  return position;
}

int64_t MixRamp(const int16_t* data, int64_t position, int64_t step, float& l1, float& l2, float s1,
                float s2, float* out, int count) {
  int j = 0;
#ifdef __SSE2__
  // The gains still step one frame at a time, as in the loop below.
  for (; j + 4 <= count; j += 4) {
    const float l1b = l1 + s1, l1c = l1b + s1, l1d = l1c + s1;
    const float l2b = l2 + s2, l2c = l2b + s2, l2d = l2c + s2;
    Accumulate4(out + 2 * j, Interpolate4(data, position, step), _mm_set_ps(l1d, l1c, l1b, l1),
                _mm_set_ps(l2d, l2c, l2b, l2));
    l1 = l1d + s1;
    l2 = l2d + s2;
    position += 4 * step;
  }
#endif
  for (; j < count; ++j) {
    const float v = Interpolate(data, position);
    out[2 * j] += v * l1;
    out[2 * j + 1] += v * l2;
    l1 += s1;
    l2 += s2;
    position += step;
  }
  return position;
}

// Sets up or continues the voice's volume ramp; returns the frames it still runs (0: none).
int32_t PrepareRamp(const ModuleMachine& machine, MixVoice& v) {
  if (v.RampFramesLeft != 0 && v.LeftVolume == v.LeftTarget && v.RightVolume == v.RightTarget) {
    return v.RampFramesLeft;
  }
  int32_t r = 0;
  v.LeftTarget = v.LeftVolume;
  v.RightTarget = v.RightVolume;
  int32_t d1 = v.LeftVolume - (v.LeftLevel >> 8);
  int32_t d2 = v.RightVolume - (v.RightLevel >> 8);
  v.LeftRampStep = d1 != 0 ? float(d1) * Inv255 * machine.RampReciprocal : 0.0f;
  v.RightRampStep = d2 != 0 ? float(d2) * Inv255 * machine.RampReciprocal : 0.0f;
  if (d1 != 0 || d2 != 0) r = machine.RampLength;
  v.RampFramesLeft = r;
  return r;
}

// Wraps or reflects a position that reached the end of the sample or of its loop. Returns false
// when the voice stops.
bool LoopVoice(MixVoice& v, const ModuleSample& s, int64_t& position) {
  const int64_t start = int64_t(s.LoopStart) << 32;
  const int64_t end = int64_t(uint64_t(s.LoopStart) + s.LoopLength) << 32;
  const int64_t length = int64_t(s.LoopLength) << 32;
  if (s.LoopMode == LoopForward) {
    position -= length;
    if (position >= end) position = start + (position - start) % length;
    return true;
  }
  if (s.LoopMode == LoopPingPong) {
    // Each reflection lands one 2^-32 frame short of the mirror image. A step longer than the
    // loop could bounce for a while; after a few reflections the loop simply restarts.
    for (int bounce = 0; bounce < 8; ++bounce) {
      if (v.Direction == 2) {
        position = (start - One + AlmostOne) - position + start;
        v.Direction = 1;
        if (position < end) {
          if (position < start) position = start;  // exactly on the start: stay inside
          return true;
        }
      } else {
        position = end - position + (end - One + AlmostOne);
        v.Direction = 2;
        if (position >= start) return true;
      }
    }
    position = start;
    v.Direction = 1;
    return true;
  }
  return false;
}

}  // namespace

void MixVoices(ModuleMachine& machine, float* destination, int frames) {
  if (frames < 1 || !destination) return;
  for (int k = 0; k < MixedVoices; ++k) {
    MixVoice& v = machine.Voices[k];
    if (!v.Sample) continue;
    const ModuleSample& s = *v.Sample;
    if (!s.Data || s.Length == 0) {
      v.Sample = nullptr;
      v.Position = v.PositionFraction = 0;
      continue;
    }
    int64_t position = int64_t(uint64_t(v.Position) << 32 | v.PositionFraction);
    const int64_t step = int64_t(uint64_t(v.StepInteger) << 32 | v.StepFraction);
    float* out = destination;
    int remaining = frames;
    int emptyChunks = 0;
    bool stopped = false;
    while (remaining > 0) {
      int count = remaining;
      bool endReached = false;
      int64_t distance;
      if (v.Direction == 2) {
        distance = position - (int64_t(s.LoopStart) << 32);
      } else {
        int64_t end = int64_t(uint64_t(s.LoopStart) + s.LoopLength) << 32;
        if (position > end) end = int64_t(s.Length) << 32;
        distance = end - position;
      }
      if (distance <= 0) {
        count = 0;
        endReached = true;
      } else if (step > 0) {
        // Exact frames until the end: after them the position has reached the end, before them
        // every frame read lies inside the sample or on its guard value.
        uint64_t toEnd = (uint64_t(distance) + uint64_t(step) - 1) / uint64_t(step);
        if (toEnd <= uint64_t(count)) {
          count = int(toEnd);
          endReached = true;
        }
      }
      int32_t ramp = PrepareRamp(machine, v);
      if (ramp > 0 && ramp < count) {
        count = ramp;
        endReached = false;
      }
      const int64_t signedStep = v.Direction == 2 ? -step : step;
      if (count > 0) {
        if (ramp > 0) {
          float l1 = float(v.LeftLevel) * Inv256 * Inv255;
          float l2 = float(v.RightLevel) * Inv256 * Inv255;
          position = MixRamp(s.Data, position, signedStep, l1, l2, v.LeftRampStep, v.RightRampStep,
                             out, count);
          v.LeftLevel = int32_t(std::lrint(double(l1 * 255.0f * 256.0f)));
          v.RightLevel = int32_t(std::lrint(double(l2 * 255.0f * 256.0f)));
          v.RampFramesLeft -= count;
          if (v.RampFramesLeft == 0) {
            v.LeftRampStep = v.RightRampStep = 0.0f;
            v.LeftLevel = v.LeftVolume * 256;
            v.RightLevel = v.RightVolume * 256;
          }
        } else {
          position = MixPlain(s.Data, position, signedStep, float(v.LeftVolume) * Inv255,
                              float(v.RightVolume) * Inv255, out, count);
        }
        out += 2 * count;
        remaining -= count;
        emptyChunks = 0;
      } else if (++emptyChunks > 4) {
        stopped = true;  // a loop that makes no progress: give the voice up
        break;
      }
      if (endReached && !LoopVoice(v, s, position)) {
        stopped = true;
        break;
      }
    }
    if (stopped) {
      v.Sample = nullptr;
      v.Position = v.PositionFraction = 0;
      continue;
    }
    v.Position = uint32_t(uint64_t(position) >> 32);
    v.PositionFraction = uint32_t(position);
  }
}

void ClipToPcm(int16_t* destination, const float* source, int frames) {
  if (frames < 1 || !destination || !source) return;
  int i = 0;
#ifdef __SSE2__
  // Eight values at once, with the same answers as the loop below: clamped to the 16-bit range,
  // rounded to nearest with ties to even (the default rounding of the conversion, as of lrintf),
  // NaN as 0.
  const __m128 low = _mm_set1_ps(-32768.0f), high = _mm_set1_ps(32767.0f);
  for (; i + 8 <= 2 * frames; i += 8) {
    const __m128 v1 = _mm_loadu_ps(source + i), v2 = _mm_loadu_ps(source + i + 4);
    const __m128i w1 = _mm_and_si128(_mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(v1, low), high)),
                                     _mm_castps_si128(_mm_cmpord_ps(v1, v1)));
    const __m128i w2 = _mm_and_si128(_mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(v2, low), high)),
                                     _mm_castps_si128(_mm_cmpord_ps(v2, v2)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), _mm_packs_epi32(w1, w2));
  }
#endif
  for (; i < 2 * frames; ++i) {
    float v = source[i];
    int16_t out;
    if (v >= 32767.0f) {
      out = 32767;
    } else if (v <= -32768.0f) {
      out = -32768;
    } else if (v == v) {
      out = int16_t(std::lrintf(v));  // nearest, ties to even
    } else {
      out = 0;
    }
    destination[i] = out;
  }
}

uint64_t PackBlockInfo(const BlockInfo& info) {
  return uint64_t(info.Order) | uint64_t(info.Row) << 8 | uint64_t(info.ElapsedMilliseconds) << 16;
}

BlockInfo UnpackBlockInfo(uint64_t word) {
  return BlockInfo{uint8_t(word), uint8_t(word >> 8), uint32_t(word >> 16)};
}

void FillBlock(ModuleMachine& machine) {
  const int32_t b = machine.FillBlockIndex;
  float* stretch = machine.FloatRing + size_t(b) * BlockLength * 2;
  std::memset(stretch, 0, sizeof(float) * BlockLength * 2);
  int32_t left = machine.SamplesLeftInTick;
  int32_t done = 0;
  while (done < BlockLength) {
    if (left <= 0) {
      UpdateSong(machine);
      left = machine.SamplesPerTick > 0 ? machine.SamplesPerTick : 1;
    }
    int32_t n = left < BlockLength - done ? left : BlockLength - done;
    MixVoices(machine, stretch + done * 2, n);
    machine.ElapsedMilliseconds += uint32_t(float(n) * machine.RateReciprocal * 1000.0f);
    done += n;
    left -= n;
  }
  BlockInfo info{uint8_t(machine.OrderPosition), uint8_t(machine.Row), machine.ElapsedMilliseconds};
  machine.BlockInfo[b].store(PackBlockInfo(info), std::memory_order_release);
  machine.SamplesLeftInTick = left;
  ClipToPcm(machine.WaveRing + size_t(b) * BlockLength * 2, stretch, BlockLength);
  machine.FillBlockIndex = b + 1 == RingBlocks ? 0 : b + 1;
}

bool AllocateRing(ModuleMachine& machine) {
  ReleaseRing(machine);
  machine.FloatRing = static_cast<float*>(std::aligned_alloc(16, sizeof(float) * RingFrames * 2));
  if (machine.FloatRing) std::memset(machine.FloatRing, 0, sizeof(float) * RingFrames * 2);
  machine.WaveRing = new (std::nothrow) int16_t[RingFrames * 2]();
  machine.BlockInfo = new (std::nothrow) std::atomic<uint64_t>[RingBlocks]();
  if (!machine.FloatRing || !machine.WaveRing || !machine.BlockInfo) {
    ReleaseRing(machine);
    return false;
  }
  return true;
}

void ReleaseRing(ModuleMachine& machine) {
  std::free(machine.FloatRing);
  delete[] machine.WaveRing;
  delete[] machine.BlockInfo;
  machine.FloatRing = nullptr;
  machine.WaveRing = nullptr;
  machine.BlockInfo = nullptr;
}
