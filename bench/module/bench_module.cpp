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

#include "tests/module/module_test_util.h"

namespace {

// 4 channels, Amiga table, speed 6, BPM 125, 8-bit samples with forward loops: a note on every
// channel every row, volume-column volumes and the odd arpeggio.
XmModule FourChannelSong() {
  XmModule desc;
  desc.Channels = 4;
  desc.Flags = 0;
  for (int i = 0; i < 4; ++i) {
    XmInstrument ins;
    XmSample s;
    s.Frames = SineCycle(2000 + 500 * i, 100);
    s.Loop = 1;
    s.LoopStart = 100;
    s.LoopLength = uint32_t(s.Frames.size()) - 100;
    ins.Samples.push_back(s);
    desc.Instruments.push_back(ins);
  }
  desc.Orders.clear();
  for (int o = 0; o < 16; ++o) desc.Orders.push_back(uint8_t(o % 4));
  for (int p = 0; p < 4; ++p) {
    XmPattern pattern;
    for (int r = 0; r < 64; ++r) {
      for (int c = 0; c < 4; ++c) {
        pattern.At(r, c, 4) = Cell(uint8_t(25 + (r * 7 + c * 5 + p * 3) % 48), uint8_t(1 + c),
                                   uint8_t(0x30 + (r % 32)), 0, r % 8 == 4 ? 0x37 : 0);
      }
    }
    desc.Patterns.push_back(pattern);
  }
  return desc;
}

// 32 channels, linear table, speed 3: every channel plays a note every row with effects that
// keep the replay busy (vibrato, volume slides, tone portamento), 16-bit samples with forward and
// ping-pong loops and volume envelopes; retriggered notes keep the twin voices ramping.
XmModule BusySong() {
  XmModule desc;
  desc.Channels = 32;
  desc.Speed = 3;
  for (int i = 0; i < 8; ++i) {
    XmInstrument ins;
    XmSample s;
    s.SixteenBit = true;
    s.Frames = SineCycle(1000 + 300 * i, 12000);
    s.Loop = i % 2 ? 2 : 1;
    s.LoopStart = 50;
    s.LoopLength = uint32_t(s.Frames.size()) - 50;
    ins.Samples.push_back(s);
    ins.VolumeEnvelope.Points = {{0, 64}, {10, 40}, {30, 48}, {60, 20}};
    ins.VolumeEnvelope.Type = EnvelopeOn | EnvelopeSustain;
    ins.VolumeEnvelope.Sustain = 2;
    ins.Fadeout = 0x200;
    ins.VibratoDepth = 4;
    ins.VibratoRate = 8;
    desc.Instruments.push_back(ins);
  }
  desc.Orders.clear();
  for (int o = 0; o < 32; ++o) desc.Orders.push_back(uint8_t(o % 4));
  const uint8_t effects[4][2] = {{0x04, 0x46}, {0x0A, 0x02}, {0x03, 0x20}, {0x00, 0x47}};
  for (int p = 0; p < 4; ++p) {
    XmPattern pattern;
    for (int r = 0; r < 64; ++r) {
      for (int c = 0; c < 32; ++c) {
        const uint8_t* e = effects[(r + c) % 4];
        pattern.At(r, c, 32) =
            Cell(uint8_t(13 + (r * 5 + c * 7 + p) % 72), uint8_t(1 + c % 8), 0, e[0], e[1]);
      }
    }
    desc.Patterns.push_back(pattern);
  }
  return desc;
}

std::string WriteFile(const std::string& name, const std::vector<uint8_t>& image) {
  std::string path = "/tmp/qm_bench_" + std::to_string(getpid()) + "_" + name;
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(image.data()), long(image.size()));
  return path;
}

void MixSong(benchmark::State& state, const XmModule& desc) {
  std::vector<uint8_t> image = WriteXm(desc);
  ModuleSong* song = LoadSongFromImage(image.data(), int32_t(image.size()));
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
