#pragma once
// The busy PSID tune the SID benchmarks render: bench_sid in memory, write_bench_files as a file
// for the whole-process comparison with sidplayfp.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

// Three voices at once (pulse with a moving width through a resonant low-pass whose cutoff
// sweeps, sawtooth, and ring-modulated triangle), new frequencies every frame, and a play
// routine that also runs 1,024 instructions of table arithmetic per call, as a busy player does.
//   $1000 init: mode/volume $1F, resonance/routing $F1, AD $09 / SR $A8 for all voices,
//               pulse width high 8, controls $41 / $21 / $15; RTS
//   $1040 play: INC $F0; LDA $F0; STA $D402; STA $D416; ASL; STA $D401; EOR #$FF; STA $D408;
//               LSR; STA $D40F; LDX #0
//         loop: LDA $1100,X; ADC $1200,X; STA $1300,X; INX; BNE loop; RTS
inline std::vector<uint8_t> BusyTune() {
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
  // The header (0x7C bytes), the load address $1000, then the code, sized once: GCC 12 misjudges
  // the room of a vector grown by push_back and insert (false -Wstringop-overflow at -O3).
  std::vector<uint8_t> image(0x7E + payload.size(), 0);
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
  image[0x7D] = 0x10;  // load address $1000
  std::copy(payload.begin(), payload.end(), image.begin() + 0x7E);
  return image;
}
