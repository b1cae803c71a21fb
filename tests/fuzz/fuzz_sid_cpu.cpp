// Feeds arbitrary 6502 code and memory to CpuCall. Input: A, the call address (low, high), a load
// address (low, high), then a payload that is repeated over all 64 KiB (so pointers, stack and
// zero page hold the input's bytes) and placed once more at the load address, where a real tune's
// code belongs. After the call the synthesiser renders a few samples from whatever the code left
// in the chip's registers and the sample channel's latches. Every call must return within its
// budget and every access stay in bounds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sid/sid_machine.h"

static SidMachine FuzzMachine;
constexpr size_t HeaderBytes = 5;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size <= HeaderBytes) return 0;
  SidMachine& m = FuzzMachine;
  MachineInit(m, MixRate);
  m.InstructionBudget = 20000;
  const uint8_t a = data[0];
  const auto address = static_cast<uint16_t>(data[1] | data[2] << 8);
  const uint32_t load = data[3] | data[4] << 8;
  const uint8_t* payload = data + HeaderBytes;
  const size_t length = size - HeaderBytes;
  for (size_t at = 0; at < sizeof m.Ram; at += length) {
    std::memcpy(m.Ram + at, payload, std::min(length, sizeof m.Ram - at));
  }
  if (load < sizeof m.Ram)
    std::memcpy(m.Ram + load, payload, std::min(length, sizeof m.Ram - load));
  // Enough samples to step the envelopes, the filter and the sample channel a little.
  int16_t samples[128];
  CpuCall(m, address, a);
  SynthRender(m, samples, 128);
  // A second call from the state the first one left, as a play routine runs after init.
  CpuCall(m, static_cast<uint16_t>(address + 3), a);
  SynthRender(m, samples, 128);
  return 0;
}
