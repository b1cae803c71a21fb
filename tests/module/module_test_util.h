#pragma once
// Helpers shared by the module player tests and benchmarks: songs built with the XM writer, loaded
// and run on a machine of the test's own.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "generators/xmgen/xm_writer.h"
#include "module/module_machine.h"
#include "module/module_player.h"

// One cycle of a sine, `period` frames long, of amplitude `a`.
inline std::vector<int16_t> SineCycle(int period, int a) {
  std::vector<int16_t> v;
  for (int i = 0; i < period; ++i) v.push_back(int16_t(lround(a * sin(2 * M_PI * i / period))));
  return v;
}

// An instrument with one forward-looped sample holding one sine cycle.
inline XmInstrument SineInstrument(int period = 32, bool sixteenBit = false) {
  XmInstrument ins;
  ins.Samples.push_back(
      {"", SineCycle(period, sixteenBit ? 20000 : 100), sixteenBit, 1, 0, uint32_t(period)});
  return ins;
}

inline XmCell Cell(uint8_t note, uint8_t instrument = 0, uint8_t volume = 0, uint8_t effect = 0,
                   uint8_t parameter = 0) {
  return XmCell{note, instrument, volume, effect, parameter};
}

// A song loaded from a writer's image (null when refused) on a machine of its own.
struct TestSong {
  const ModuleSong* song = nullptr;
  std::unique_ptr<ModuleMachine> machine = std::make_unique<ModuleMachine>();

  explicit TestSong(const XmModule& desc, bool ring = false) : TestSong(WriteXm(desc), ring) {}
  TestSong(const std::vector<uint8_t>& image, bool withRing) {
    song = LoadSong(image.data(), image.size());
    if (song) ResetMachine(*machine, song);
    if (withRing) AllocateRing(*machine);
  }
  ~TestSong() {
    ReleaseRing(*machine);
    ReleaseSong(song);
  }
  ModuleChannel& Channel(int i) { return machine->Channels[i]; }
  MixVoice& Voice(int i) { return machine->Voices[machine->Channels[i].Voice]; }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) UpdateSong(*machine);
  }
  // Mixes `frames` stereo frames through the block mixer and returns the 16-bit result.
  std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out;
    while (int(out.size()) < frames * 2) {
      const int16_t* w = machine->WaveRing + size_t(machine->FillBlockIndex) * BlockLength * 2;
      FillBlock(*machine);
      out.insert(out.end(), w, w + BlockLength * 2);
    }
    out.resize(size_t(frames) * 2);
    return out;
  }
};

// Cells in tracker shorthand: rows separated by commas, channels within a row by '/'. A cell is
// up to four words: "N" (note 49 of instrument 1), "n61" (note 61 of instrument 1), "=" (key-off),
// "i2" (the instrument, after the note), "v30" (the volume-column byte in hex) and an effect of
// three characters, its number in 0-9A-Z and its parameter in hex ("A02", "E5F", "X13").
struct PlacedCell {
  int row, channel;
  XmCell cell;
};
inline std::vector<PlacedCell> Cells(const std::string& text) {
  std::vector<PlacedCell> out{{0, 0, {}}};
  for (size_t i = 0, end; i < text.size(); i = end) {
    const bool mark = text[i] == ' ' || text[i] == ',' || text[i] == '/';
    end = mark ? i + 1 : std::min(text.find_first_of(" ,/", i), text.size());
    const std::string w = text.substr(i, end - i);
    const PlacedCell last = out.back();
    XmCell& x = out.back().cell;
    const int n =
        w.size() > 1 ? std::stoi(w.substr(1), nullptr, w[0] == 'n' || w[0] == 'i' ? 10 : 16) : 0;
    if (w == ",") out.push_back({last.row + 1, 0, {}});
    if (w == "/") out.push_back({last.row, last.channel + 1, {}});
    if (w == "N" || w[0] == 'n') std::tie(x.Note, x.Instrument) = std::tuple(w == "N" ? 49 : n, 1);
    if (w == "=") x.Note = 97;
    if (w[0] == 'i') x.Instrument = uint8_t(n);
    if (w[0] == 'v') x.Volume = uint8_t(n);
    if (w.size() == 3 && w[0] >= '0' && w[0] <= 'Z')
      std::tie(x.Effect, x.Parameter) = std::tuple(std::stoi(w.substr(0, 1), nullptr, 36), n);
  }
  return out;
}

// `patterns` patterns of `rows` rows on `channels` channels and a sine instrument; the cells from
// row 0 of pattern 0 on (row r lies in pattern r / rows).
inline XmModule Song(const std::string& cells, int rows = 16, int channels = 1, int patterns = 1) {
  XmModule d;
  d.Channels = channels;
  d.Instruments = {SineInstrument()};
  d.Patterns.assign(size_t(patterns),
                    XmPattern{rows, std::vector<XmCell>(size_t(rows * channels))});
  for (const PlacedCell& c : Cells(cells))
    d.Patterns[size_t(c.row / rows)].At(c.row % rows, c.channel, channels) = c.cell;
  return d;
}

// Whole numbers separated by spaces.
inline std::vector<int32_t> Ints(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<int32_t>(in), {}};
}
