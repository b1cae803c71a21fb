#pragma once
// Helpers shared by the SID player tests: fresh machines, code as hex text, PSID images built in
// memory.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "sid/sid_machine.h"

// A freshly initialised machine at 44,100 Hz (the record is 64 KiB+, so it lives on the heap).
inline std::unique_ptr<SidMachine> NewMachine() {
  auto m = std::make_unique<SidMachine>();
  MachineInit(*m, MixRate);
  return m;
}

// Bytes from hex pairs separated by spaces: "A9 0F 60".
inline std::vector<uint8_t> Hex(const char* text) {
  std::vector<uint8_t> bytes;
  char* end = nullptr;
  for (; *text; text = end) bytes.push_back(static_cast<uint8_t>(std::strtol(text, &end, 16)));
  return bytes;
}

// Appends hex bytes to a payload at offset `at` (not below its end), with NOPs in the gap.
inline void Place(std::vector<uint8_t>& payload, size_t at, const char* hex) {
  payload.resize(at, 0xEA);
  for (uint8_t b : Hex(hex)) payload.push_back(b);
}

inline std::vector<int16_t> Render(SidMachine& m, int count) {
  std::vector<int16_t> s(static_cast<size_t>(count));
  SynthRender(m, s.data(), count);
  return s;
}

// A PSID version 2 image: header with data offset $7C, the given addresses (big-endian), one
// song, flags $0014, then the load address (low byte first) and the payload.
inline std::vector<uint8_t> BuildPsid(uint16_t load, uint16_t init, uint16_t play,
                                      const std::vector<uint8_t>& payload,
                                      uint16_t headerLoad = 0) {
  std::vector<uint8_t> image = Hex("50 53 49 44 00 02 00 7C");
  for (int word : {headerLoad, init, play, uint16_t(1), uint16_t(1)}) {
    image.insert(image.end(), {static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)});
  }
  image.resize(0x7C);
  image[0x77] = 0x14;
  image.insert(image.end(), {static_cast<uint8_t>(load), static_cast<uint8_t>(load >> 8)});
  for (uint8_t b : payload) image.push_back(b);
  return image;
}

// A tune whose play routine counts its calls in RAM $50 and sets voice 1's frequency high byte
// to the count, so every frame sounds different:
//   $1000 init: LDA #$0F; STA $D418; LDA #0; STA $D405; LDA #$F0; STA $D406; LDA #$21;
//               STA $D404; RTS            (volume 15, sustain 15, sawtooth + gate)
//   $1020 play: INC $50; LDA $50; STA $D401; RTS
inline std::vector<uint8_t> CounterTune() {
  std::vector<uint8_t> p;
  Place(p, 0, "A9 0F 8D 18 D4 A9 00 8D 05 D4 A9 F0 8D 06 D4 A9 21 8D 04 D4 60");
  Place(p, 0x20, "E6 50 A5 50 8D 01 D4 60");
  return BuildPsid(0x1000, 0x1000, 0x1020, p);
}
