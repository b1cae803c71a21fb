// SID player render speed, in multiples of real time ("realtime" counter: seconds of sound per
// second of computing), on a busy tune, and Debian's sidplayfp rendering the same tune to a WAV
// file (measured in the child's CPU time) for comparison. The built-in tunes are measured too.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/sid/busy_tune.h"
#include "sid/embedded_tunes.h"
#include "sid/sid_machine.h"

namespace {

// Renders one second (50 frames) per iteration.
void RenderTune(benchmark::State& state, const uint8_t* image, uint32_t size) {
  auto m = std::make_unique<SidMachine>();
  if (!SidLoadTune(*m, image, size, 0)) {
    state.SkipWithError("tune refused");
    return;
  }
  std::vector<int16_t> frame(FrameSamples);
  for (auto _ : state) {
    for (int f = 0; f < 50; ++f) RenderFrame(*m, frame.data(), FrameSamples);
    benchmark::DoNotOptimize(frame.data());
  }
  state.counters["realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  if (m->CallsCutShort != 0) state.SetLabel("some calls ran away");
}

void BM_RenderBusyTune(benchmark::State& state) {
  std::vector<uint8_t> image = BusyTune();
  RenderTune(state, image.data(), static_cast<uint32_t>(image.size()));
}
BENCHMARK(BM_RenderBusyTune)->Unit(benchmark::kMillisecond);

void BM_RenderEmbeddedTune(benchmark::State& state) {
  const EmbeddedTune* t = EmbeddedTunes;
  while (t->Number != 0 && t->Number != state.range(0)) ++t;
  if (t->Number == 0) {
    state.SkipWithError("tune not built in");
    return;
  }
  RenderTune(state, t->Image, static_cast<uint32_t>(*t->Size));
}
BENCHMARK(BM_RenderEmbeddedTune)->DenseRange(1, 12)->Unit(benchmark::kMillisecond);

double ChildCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// sidplayfp writing 20 seconds of the busy tune as a mono WAV; the time is the child's CPU
// time (it idles between blocks when writing a file, so wall time would flatter nobody).
void BM_SidplayfpBusyTune(benchmark::State& state) {
  if (std::system("command -v sidplayfp >/dev/null 2>&1") != 0) {
    state.SkipWithError("sidplayfp is not installed");
    return;
  }
  const std::string sid = "/tmp/qm_bench_busy.sid";
  const std::string wav = "/tmp/qm_bench_busy.wav";
  std::vector<uint8_t> image = BusyTune();
  {
    std::ofstream out(sid, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<long>(image.size()));
  }
  const std::string command = "sidplayfp -m -q -t20 -w" + wav + " " + sid + " >/dev/null 2>&1";
  double seconds = 0;
  for (auto _ : state) {
    double before = ChildCpuSeconds();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("sidplayfp failed");
      break;
    }
    state.SetIterationTime(ChildCpuSeconds() - before);
    std::ifstream in(wav, std::ios::binary | std::ios::ate);
    seconds += (static_cast<double>(in.tellg()) - 44) / 2 / 44100;  // mono 16-bit after header
  }
  state.counters["realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
  std::remove(sid.c_str());
  std::remove(wav.c_str());
}
BENCHMARK(BM_SidplayfpBusyTune)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
