// Feeds arbitrary bytes to the PSID loader, then runs the init routine and a few frames, with a
// small instruction budget so that run-away code costs little. Everything must stay in bounds
// and every call must return.
#include <cstddef>
#include <cstdint>

#include "sid/sid_machine.h"

static SidMachine FuzzMachine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SidMachine& m = FuzzMachine;
  MachineInit(m, MixRate);
  m.InstructionBudget = 20000;
  if (LoadTuneImage(m, data, static_cast<uint32_t>(size)) == TuneRefused) return 0;
  InitSong(m, 0);
  int16_t frame[FrameSamples];
  for (int f = 0; f < 4; ++f) RenderFrame(m, frame, FrameSamples);
  return 0;
}
