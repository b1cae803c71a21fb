#pragma once
// Helpers shared by the module player tests: load an image built by the XM writer into a song and
// run it on a machine of the test's own.
#include <memory>
#include <vector>

#include "module/module_player.h"
#include "tests/module/xm_writer.h"

// Loads an image built by the XM writer (without touching the player's song).
inline ModuleSong* LoadImage(const std::vector<uint8_t>& image) {
  return LoadSongFromImage(image.data(), int32_t(image.size()));
}

struct TestSong {
  ModuleSong* song = nullptr;
  std::unique_ptr<ModuleMachine> machine = std::make_unique<ModuleMachine>();

  explicit TestSong(const XmSongDesc& desc, bool withRing = false)
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
  ModuleChannel& Channel(int i) { return machine->channels[i]; }
  MixVoice& Voice(int i) { return machine->voices[machine->channels[i].voice]; }
  void Tick() { UpdateSong(*machine); }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Tick();
  }
  // Mixes `frames` stereo frames through the block mixer and returns the 16-bit result.
  std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out;
    while (int(out.size()) < frames * 2) {
      int32_t b = machine->fillBlockIndex;
      FillBlock(*machine);
      const int16_t* w = machine->waveRing + size_t(b) * BlockLength * 2;
      out.insert(out.end(), w, w + BlockLength * 2);
    }
    out.resize(size_t(frames) * 2);
    return out;
  }
};

// A one-channel song with a sine instrument and the given cells in pattern 0.
inline XmSongDesc OneChannelSong(const std::vector<std::pair<int, ModuleCell>>& cells,
                                 int rows = 16) {
  XmSongDesc desc;
  desc.channels = 1;
  desc.instruments.push_back(SineInstrument());
  XmPatternSpec p;
  p.rows = rows;
  for (const auto& [row, cell] : cells) p.At(row, 0, 1) = cell;
  if (p.cells.empty()) p.cells.resize(size_t(rows));
  desc.patterns.push_back(p);
  return desc;
}
