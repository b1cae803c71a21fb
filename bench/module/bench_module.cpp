// Mixing speed of the module player in multiples of real time (counter "realtime_x": seconds of
// music mixed per second of CPU), for a plain 4-channel module like the embedded ones and for a
// busy 32-channel module; and, for ratios, Debian's xmp and openmpt123 rendering the same files
// (whole process). Both are given against wall time ("realtime_x") and against CPU time
// ("cpu_realtime_x", for the peers the CPU time of the child processes), as the machine may be
// shared.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

#include "bench/module/bench_songs.h"

namespace {

std::string WriteFile(const std::string& name, const std::vector<uint8_t>& image) {
  std::string path = "/tmp/qm_bench_" + std::to_string(getpid()) + "_" + name;
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(image.data()), long(image.size()));
  return path;
}

void MixSong(benchmark::State& state, const XmModule& desc) {
  std::vector<uint8_t> image = WriteXm(desc);
  const ModuleSong* song = LoadSong(image.data(), image.size());
  auto machine = std::make_unique<ModuleMachine>();
  if (!song || !AllocateRing(*machine)) {
    state.SkipWithError("module did not load");
    return;
  }
  ResetMachine(*machine, song);
  int64_t frames = 0;
  const double cpuBefore = std::clock() / double(CLOCKS_PER_SEC);
  for (auto _ : state) {
    FillBlock(*machine);
    frames += BlockLength;
  }
  const double cpu = std::clock() / double(CLOCKS_PER_SEC) - cpuBefore;
  state.counters["realtime_x"] =
      benchmark::Counter(double(frames) / MixRate, benchmark::Counter::kIsRate);
  state.counters["cpu_realtime_x"] = double(frames) / MixRate / cpu;
  ReleaseRing(*machine);
  ReleaseSong(song);
}

void Mix4Channels(benchmark::State& state) {
  MixSong(state, FourChannelSong());
}
void Mix32ChannelsBusy(benchmark::State& state) {
  MixSong(state, BusySong());
}

double ChildCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Renders 60 s of the module with a peer player; counts seconds of music per wall second.
void Peer(benchmark::State& state, const char* peer, const XmModule& desc) {
  if (std::system((std::string("command -v ") + peer + " >/dev/null 2>&1").c_str()) != 0) {
    state.SkipWithError("peer not installed");
    return;
  }
  std::string xm = WriteFile("song.xm", WriteXm(desc));
  std::string out = xm + ".wav";
  std::string command =
      std::string(peer) == "xmp"
          ? "xmp -q -f 44100 -t 60 -c " + xm + " > /dev/null 2>&1"
          : "openmpt123 --batch --quiet --force --samplerate 44100 --channels 2 --no-float "
            "--end-time 60 --output " +
                out + " " + xm + " >/dev/null 2>&1";
  double seconds = 0;
  const double cpuBefore = ChildCpuSeconds();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("peer failed");
      break;
    }
    seconds += 60;
  }
  state.counters["realtime_x"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
  state.counters["cpu_realtime_x"] = seconds / (ChildCpuSeconds() - cpuBefore);
  std::remove(xm.c_str());
  std::remove(out.c_str());
}

void Xmp4Channels(benchmark::State& state) {
  Peer(state, "xmp", FourChannelSong());
}
void Xmp32ChannelsBusy(benchmark::State& state) {
  Peer(state, "xmp", BusySong());
}
void Openmpt4Channels(benchmark::State& state) {
  Peer(state, "openmpt123", FourChannelSong());
}
void Openmpt32ChannelsBusy(benchmark::State& state) {
  Peer(state, "openmpt123", BusySong());
}

}  // namespace

BENCHMARK(Mix4Channels)->UseRealTime();
BENCHMARK(Mix32ChannelsBusy)->UseRealTime();
BENCHMARK(Xmp4Channels)->UseRealTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Xmp32ChannelsBusy)->UseRealTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Openmpt4Channels)->UseRealTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Openmpt32ChannelsBusy)->UseRealTime()->Iterations(3)->Unit(benchmark::kMillisecond);
