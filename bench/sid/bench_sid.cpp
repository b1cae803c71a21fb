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

#include "sid/embedded_tunes.h"
#include "sid/sid_machine.h"

namespace {

// Three voices at once (pulse with a moving width through a resonant low-pass whose cutoff
// sweeps, sawtooth, and ring-modulated triangle), new frequencies every frame, and a play
// routine that also runs 1,024 instructions of table arithmetic per call, as a busy player does.
//   $1000 init: mode/volume $1F, resonance/routing $F1, AD $09 / SR $A8 for all voices,
//               pulse width high 8, controls $41 / $21 / $15; RTS
//   $1040 play: INC $F0; LDA $F0; STA $D402; STA $D416; ASL; STA $D401; EOR #$FF; STA $D408;
//               LSR; STA $D40F; LDX #0
//         loop: LDA $1100,X; ADC $1200,X; STA $1300,X; INX; BNE loop; RTS
std::vector<uint8_t> BusyTune() {
  std::vector<uint8_t> payload(0x80, 0xEA);
  const uint8_t init[] = {0xA9, 0x1F, 0x8D, 0x18, 0xD4, 0xA9, 0xF1, 0x8D, 0x17, 0xD4, 0xA9,
                          0x09, 0x8D, 0x05, 0xD4, 0xA9, 0xA8, 0x8D, 0x06, 0xD4, 0xA9, 0x09,
                          0x8D, 0x0C, 0xD4, 0xA9, 0xA8, 0x8D, 0x0D, 0xD4, 0xA9, 0x09, 0x8D,
                          0x13, 0xD4, 0xA9, 0xA8, 0x8D, 0x14, 0xD4, 0xA9, 0x08, 0x8D, 0x03,
                          0xD4, 0xA9, 0x41, 0x8D, 0x04, 0xD4, 0xA9, 0x21, 0x8D, 0x0B, 0xD4,
                          0xA9, 0x15, 0x8D, 0x12, 0xD4, 0x60};
  const uint8_t play[] = {0xE6, 0xF0, 0xA5, 0xF0, 0x8D, 0x02, 0xD4, 0x8D, 0x16, 0xD4,
                          0x0A, 0x8D, 0x01, 0xD4, 0x49, 0xFF, 0x8D, 0x08, 0xD4, 0x4A,
                          0x8D, 0x0F, 0xD4, 0xA2, 0x00, 0xBD, 0x00, 0x11, 0x7D, 0x00,
                          0x12, 0x9D, 0x00, 0x13, 0xE8, 0xD0, 0xF4, 0x60};
  std::copy(std::begin(init), std::end(init), payload.begin());
  std::copy(std::begin(play), std::end(play), payload.begin() + 0x40);
  std::vector<uint8_t> image(0x7C, 0);
  const char magic[] = "PSID";
  std::copy(magic, magic + 4, image.begin());
  image[0x05] = 2;
  image[0x07] = 0x7C;
  image[0x0A] = 0x10;  // init $1000
  image[0x0C] = 0x10;  // play $1040
  image[0x0D] = 0x40;
  image[0x0F] = 1;
  image[0x11] = 1;
  image[0x77] = 0x14;
  image.push_back(0x00);  // load address $1000
  image.push_back(0x10);
  image.insert(image.end(), payload.begin(), payload.end());
  return image;
}

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
