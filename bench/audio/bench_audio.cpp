// The shared audio device's own work: mixing both sinks into the output, as the device asks for
// it, with the SID player's two rotating buffers queued (each requeued as it finishes, without
// rendering) and the module player's ring looping underneath. Measured through the capture
// backend, whose pull runs the same mixing as the device callback plus the completions; in
// multiples of real time ("realtime_x": seconds of sound per second of computing).
#include <benchmark/benchmark.h>

#include <vector>

#include "display/audio.h"

namespace {

// The SID player's buffers (7056 samples) and the module player's ring (88,400 frames).
constexpr int QueueSamples = 7056;
constexpr int RingFrames = 88400;

void Requeue(AudioQueueBuffer* buffer, void*) {
  AudioQueueWrite(buffer);
}

// Pulls `state.range(0)` frames a call: 1024 is the desktop device's callback, 4096 the browser's.
void BM_MixQueueAndRing(benchmark::State& state) {
  AudioSetBackend(AudioBackend::Capture);
  std::vector<int16_t> first(QueueSamples), second(QueueSamples), ring(2 * RingFrames);
  for (int i = 0; i < QueueSamples; ++i) {
    first[i] = static_cast<int16_t>(i * 7 - 20000);
    second[i] = static_cast<int16_t>(15000 - i * 5);
  }
  for (int i = 0; i < 2 * RingFrames; ++i) ring[i] = static_cast<int16_t>(i * 13);
  AudioQueueBuffer buffers[2] = {{first.data(), QueueSamples}, {second.data(), QueueSamples}};
  AudioQueueOpen(Requeue, nullptr);
  AudioQueueWrite(&buffers[0]);
  AudioQueueWrite(&buffers[1]);
  AudioQueueRestart();
  AudioRingOpen();
  AudioRingPlay(ring.data(), 4 * RingFrames);
  AudioRingPublish();

  const int frames = static_cast<int>(state.range(0));
  std::vector<int16_t> out(2 * static_cast<size_t>(frames));
  for (auto _ : state) {
    AudioCapturePull(out.data(), frames);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["realtime_x"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * frames / MixRate, benchmark::Counter::kIsRate);
  AudioQueueClose();
  AudioRingClose();
  AudioSetBackend(AudioBackend::Sdl);
}
BENCHMARK(BM_MixQueueAndRing)->Arg(1024)->Arg(4096)->Unit(benchmark::kMicrosecond);

}  // namespace
