// The program's player state, and the pass of the output drive that keeps its ring mixed ahead
// of the play cursor. The player interface (module_output.cpp) starts and stops the drive; the
// drive (module_drive_thread.cpp or module_drive_web.cpp) calls FeedRing.
#include "display/audio.h"
#include "module/module_player.h"

ModulePlayerState ModulePlayer;

int32_t CursorBlock(uint64_t bytesPlayed) {
  uint64_t frames = bytesPlayed / 4;
  return int32_t((frames % RingFrames) / BlockLength);
}

void FeedRing() {
  ModulePlayerState& p = ModulePlayer;
  ModuleMachine& m = p.Machine;
  int32_t cursor = CursorBlock(AudioRingPosition());
  // The queries follow the block under the cursor, whose record was written when it was mixed;
  // the blocks refilled below are all behind it, so a query never reads a record being rewritten.
  p.HeardBlockIndex.store(cursor, std::memory_order_release);
  while (m.FillBlockIndex != cursor && !p.StopRequest.load()) {
    FillBlock(m);
    AudioRingPublish();
  }
}
