// libFuzzer target: any byte string goes through the loader; what loads is played for three
// seconds through FillBlock (the output thread's mixer), so the replay and the mixer see every
// module the loader accepts.
#include <cstddef>
#include <cstdint>

#include "module/module_machine.h"

static ModuleMachine FuzzMachine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  const ModuleSong* song = LoadSong(data, size);
  if (!song) return 0;
  if (!FuzzMachine.FloatRing && !AllocateRing(FuzzMachine)) {
    ReleaseSong(song);
    return 0;
  }
  ResetMachine(FuzzMachine, song);
  const int blocks = 3 * MixRate / BlockLength;
  for (int b = 0; b < blocks; ++b) FillBlock(FuzzMachine);
  FuzzMachine.Song = nullptr;
  ReleaseSong(song);
  return 0;
}
