// PSID images: loading into the machine, starting a song, and the frame protocol (one play call,
// then one frame of samples from the registers it left).
#include <cstring>

#include "sid/sid_machine.h"

namespace {
constexpr uint32_t HeaderFieldsEnd = 0x16;  // the header fields read here end before offset $16
}

void MachineInit(SidMachine& m, uint32_t rate) {
  int32_t level = m.Sample.CurrentLevel;
  std::memset(&m, 0, sizeof m);
  m.Sample.CurrentLevel = level;
  SynthInit(m, rate);
  m.S = 0xFF;
  m.InstructionBudget = DefaultInstructionBudget;
}

int32_t LoadTuneImage(SidMachine& m, const uint8_t* image, uint32_t size) {
  if (image == nullptr || size < HeaderFieldsEnd) return TuneRefused;
  uint32_t off = image[0x07];  // only the low byte of the data offset counts
  if (size < off + 2) return TuneRefused;
  // The two bytes at the data offset give the load address, whatever the header says.
  uint32_t load = image[off] | image[off + 1] << 8;
  uint32_t payload = size - off - 2;
  if (load + payload > sizeof m.Ram) return TuneRefused;

  m.LoadAddress = static_cast<uint16_t>(load);
  m.InitAddress = static_cast<uint16_t>(image[0x0A] << 8 | image[0x0B]);
  m.PlayAddress = static_cast<uint16_t>(image[0x0C] << 8 | image[0x0D]);
  m.SongCountMinus1 = static_cast<uint8_t>(image[0x0F] - 1);
  m.StartSongMinus1 = static_cast<uint8_t>(image[0x11] - 1);
  m.SpeedByte = image[0x15];
  std::memset(m.Ram, 0, sizeof m.Ram);
  if (payload != 0) std::memcpy(m.Ram + load, image + off + 2, payload);
  if (m.PlayAddress == 0) {
    // The init routine installs its own interrupt vector; the play routine is what it points at.
    CpuCall(m, m.InitAddress, 0);
    m.PlayAddress = static_cast<uint16_t>(m.Ram[0x0315] << 8 | m.Ram[0x0314]);
  }
  return static_cast<int32_t>(load);
}

void InitSong(SidMachine& m, uint8_t song) {
  CpuCall(m, m.InitAddress, song);
}

void RenderFrame(SidMachine& m, int16_t* samples, int count) {
  CpuCall(m, m.PlayAddress, 0);
  SynthRender(m, samples, count);
}

bool SidLoadTune(SidMachine& m, const uint8_t* image, uint32_t size, uint8_t song) {
  MachineInit(m, MixRate);
  if (LoadTuneImage(m, image, size) == TuneRefused) return false;
  InitSong(m, song);
  return true;
}
