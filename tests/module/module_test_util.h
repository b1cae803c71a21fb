#pragma once
// Helpers shared by the module player tests and benchmarks: songs built with the XM writer, loaded
// and run on a machine of the test's own.
#include <cmath>
#include <memory>
#include <vector>

#include "generators/xmgen/xm_writer.h"
#include "module/module_machine.h"
#include "module/module_player.h"

// One cycle of a sine, `period` frames long, at the given amplitude.
inline std::vector<int16_t> SineCycle(int period, int amplitude) {
  std::vector<int16_t> v(static_cast<size_t>(period));
  for (int i = 0; i < period; ++i) {
    v[size_t(i)] = int16_t(std::lround(amplitude * std::sin(2 * M_PI * i / period)));
  }
  return v;
}

// An instrument with one forward-looped sample holding one sine cycle.
inline XmInstrument SineInstrument(int period = 32, bool sixteenBit = false) {
  XmSample s;
  s.SixteenBit = sixteenBit;
  s.Frames = SineCycle(period, sixteenBit ? 20000 : 100);
  s.Loop = 1;
  s.LoopLength = uint32_t(period);
  XmInstrument ins;
  ins.Samples.push_back(s);
  return ins;
}

inline XmCell Cell(uint8_t note, uint8_t instrument = 0, uint8_t volume = 0, uint8_t effect = 0,
                   uint8_t parameter = 0) {
  return XmCell{note, instrument, volume, effect, parameter};
}

// Loads an image built by the XM writer (without touching the player's song).
inline const ModuleSong* LoadImage(const std::vector<uint8_t>& image) {
  return LoadSong(image.data(), image.size());
}

struct TestSong {
  const ModuleSong* song = nullptr;
  std::unique_ptr<ModuleMachine> machine = std::make_unique<ModuleMachine>();

  explicit TestSong(const XmModule& desc, bool withRing = false)
      : TestSong(WriteXm(desc), withRing) {}
  TestSong(const std::vector<uint8_t>& image, bool withRing) {
    song = LoadImage(image);
    if (song) ResetMachine(*machine, song);
    if (withRing) AllocateRing(*machine);
  }
  ~TestSong() {
    ReleaseRing(*machine);
    ReleaseSong(song);
  }
  ModuleChannel& Channel(int i) { return machine->Channels[i]; }
  MixVoice& Voice(int i) { return machine->Voices[machine->Channels[i].Voice]; }
  void Tick() { UpdateSong(*machine); }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Tick();
  }
  // Mixes `frames` stereo frames through the block mixer and returns the 16-bit result.
  std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out;
    while (int(out.size()) < frames * 2) {
      int32_t b = machine->FillBlockIndex;
      FillBlock(*machine);
      const int16_t* w = machine->WaveRing + size_t(b) * BlockLength * 2;
      out.insert(out.end(), w, w + BlockLength * 2);
    }
    out.resize(size_t(frames) * 2);
    return out;
  }
};

// A one-channel song with a sine instrument and the given cells in pattern 0.
inline XmModule OneChannelSong(const std::vector<std::pair<int, XmCell>>& cells, int rows = 16) {
  XmModule desc;
  desc.Instruments.push_back(SineInstrument());
  XmPattern p;
  p.Rows = rows;
  for (const auto& [row, cell] : cells) p.At(row, 0, 1) = cell;
  if (p.Cells.empty()) p.Cells.resize(size_t(rows));
  desc.Patterns.push_back(p);
  return desc;
}

// Rows visited by the first `ticks` ticks of a song, order position x 100 + row, one entry per row
// tick.
inline std::vector<int> RowTrace(const XmModule& desc, int ticks) {
  TestSong t(desc);
  std::vector<int> rows;
  for (int i = 0; i < ticks; ++i) {
    const bool rowTick = t.machine->Tick == 0;
    t.Tick();
    if (rowTick) rows.push_back(t.machine->OrderPosition * 100 + t.machine->Row);
  }
  return rows;
}
