#pragma once
// Helpers shared by the SID player tests: fresh machines, code poked into RAM, PSID images built
// in memory.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "sid/sid_machine.h"

// A freshly initialised machine at 44,100 Hz (the record is 64 KiB+, so it lives on the heap).
inline std::unique_ptr<SidMachine> NewMachine() {
  auto m = std::make_unique<SidMachine>();
  MachineInit(*m, MixRate);
  return m;
}

inline void Poke(SidMachine& m, uint16_t address, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) m.Ram[address++] = b;
}

// A PSID version 2 image: header with data offset $7C, the given addresses, one song, flags
// $0014, then the load address (low byte first) and the payload.
inline std::vector<uint8_t> BuildPsid(uint16_t load, uint16_t init, uint16_t play,
                                      const std::vector<uint8_t>& payload,
                                      uint16_t headerLoad = 0) {
  std::vector<uint8_t> image(0x7C, 0);
  image[0] = 'P';
  image[1] = 'S';
  image[2] = 'I';
  image[3] = 'D';
  image[0x05] = 2;
  image[0x07] = 0x7C;
  image[0x08] = static_cast<uint8_t>(headerLoad >> 8);
  image[0x09] = static_cast<uint8_t>(headerLoad);
  image[0x0A] = static_cast<uint8_t>(init >> 8);
  image[0x0B] = static_cast<uint8_t>(init);
  image[0x0C] = static_cast<uint8_t>(play >> 8);
  image[0x0D] = static_cast<uint8_t>(play);
  image[0x0F] = 1;
  image[0x11] = 1;
  image[0x77] = 0x14;
  image.push_back(static_cast<uint8_t>(load));
  image.push_back(static_cast<uint8_t>(load >> 8));
  // Copied after a resize rather than inserted: GCC 12 at -O3 reports a false -Wrestrict for the
  // insert.
  const size_t at = image.size();
  image.resize(at + payload.size());
  std::copy(payload.begin(), payload.end(), image.begin() + static_cast<long>(at));
  return image;
}

// A tune whose play routine counts its calls in RAM $50 and sets voice 1's frequency high byte
// to the count, so every frame sounds different:
//   $1000 init: LDA #$0F; STA $D418; LDA #0; STA $D405; LDA #$F0; STA $D406; LDA #$21;
//               STA $D404; RTS            (volume 15, sustain 15, sawtooth + gate)
//   $1020 play: INC $50; LDA $50; STA $D401; RTS
inline std::vector<uint8_t> CounterTune() {
  std::vector<uint8_t> payload(0x28, 0xEA);
  const uint8_t init[] = {0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0xA9, 0x00, 0x8D, 0x05, 0xD4, 0xA9,
                          0xF0, 0x8D, 0x06, 0xD4, 0xA9, 0x21, 0x8D, 0x04, 0xD4, 0x60};
  const uint8_t play[] = {0xE6, 0x50, 0xA5, 0x50, 0x8D, 0x01, 0xD4, 0x60};
  std::copy(std::begin(init), std::end(init), payload.begin());
  std::copy(std::begin(play), std::end(play), payload.begin() + 0x20);
  return BuildPsid(0x1000, 0x1000, 0x1020, payload);
}
