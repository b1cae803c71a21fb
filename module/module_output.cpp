// Output: the looping stereo ring of the shared audio device, the thread that keeps it mixed ahead
// of the play cursor, and the player interface.
#include <pthread.h>
#include <sched.h>

#include <chrono>

#include "display/audio.h"
#include "module/module_player.h"

ModulePlayerState ModulePlayer;

namespace {

void RaiseThreadPriority(std::thread& thread) {
  // Real-time scheduling needs privileges; without them the thread runs at normal priority,
  // which the 2-second ring tolerates.
  sched_param parameter{};
  parameter.sched_priority = sched_get_priority_max(SCHED_FIFO);
  pthread_setschedparam(thread.native_handle(), SCHED_FIFO, &parameter);
}

BlockInfo HeardBlock() {
  const ModuleMachine& m = ModulePlayer.machine;
  int32_t heard = ModulePlayer.heardBlockIndex.load(std::memory_order_acquire);
  return UnpackBlockInfo(m.blockInfo[heard].load(std::memory_order_acquire));
}

bool Playing() {
  const ModulePlayerState& p = ModulePlayer;
  return p.currentSong && p.machine.song == p.currentSong && p.machine.blockInfo;
}

}  // namespace

int32_t CursorBlock(uint64_t bytesPlayed) {
  uint64_t frames = bytesPlayed / 4;
  return int32_t((frames % RingFrames) / BlockLength);
}

bool StopSong(ModuleSong* song) {
  if (!song) return false;
  ModulePlayerState& p = ModulePlayer;
  p.stopRequest.store(true);
  // Joining waits for the block in progress and for the thread to leave its loop.
  if (p.thread.joinable()) p.thread.join();
  if (p.ringOpen) {
    AudioRingReset();
    AudioRingClose();
    p.ringOpen = false;
  }
  ReleaseRing(p.machine);
  p.machine.song = nullptr;
  p.machine.fillBlockIndex = 0;
  p.heardBlockIndex.store(0);
  return true;
}

bool PlaySong(ModuleSong* song) {
  if (!song) return false;
  ModulePlayerState& p = ModulePlayer;
  StopSong(song);
  // Without a device nothing else changes.
  if (AudioRingOpen() != AudioOk) return false;
  p.ringOpen = true;
  ModuleMachine& m = p.machine;
  if (!AllocateRing(m)) {
    StopSong(song);
    return false;
  }
  ResetMachine(m, song);
  p.heardBlockIndex.store(0);
  // Pre-fill every block before anything plays.
  do {
    FillBlock(m);
  } while (m.fillBlockIndex != 0);
  if (AudioRingPlay(m.waveRing, uint32_t(RingFrames) * 4) != AudioOk) {
    StopSong(song);
    return false;
  }
  AudioRingPublish();
  p.stopRequest.store(false);
  p.thread = std::thread(OutputThread);
  RaiseThreadPriority(p.thread);
  return true;
}

void OutputThread() {
  ModulePlayerState& p = ModulePlayer;
  ModuleMachine& m = p.machine;
  while (!p.stopRequest.load()) {
    int32_t cursor = CursorBlock(AudioRingPosition());
    // The queries follow the block under the cursor, whose record was written when it was mixed;
    // the blocks refilled below are all behind it, so a query never reads a record being
    // rewritten.
    p.heardBlockIndex.store(cursor, std::memory_order_release);
    while (m.fillBlockIndex != cursor && !p.stopRequest.load()) {
      FillBlock(m);
      AudioRingPublish();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool ModuleLoad(const uint8_t* image, int32_t length) {
  ModulePlayerState& p = ModulePlayer;
  // A song still loaded is replaced, not leaked: stop it if it plays and release it.
  if (p.currentSong) {
    FreeSong(p.currentSong);
    p.currentSong = nullptr;
  }
  p.currentSong = LoadSongFromImage(image, length);
  return p.currentSong != nullptr;
}

bool ModulePlay() {
  return PlaySong(ModulePlayer.currentSong);
}

bool ModuleStop() {
  return StopSong(ModulePlayer.currentSong);
}

bool ModuleFree() {
  ModulePlayerState& p = ModulePlayer;
  bool freed = FreeSong(p.currentSong);
  p.currentSong = nullptr;  // nothing may reach the released song again
  return freed;
}

int16_t ModuleGetChannels() {
  return ModulePlayer.currentSong ? ModulePlayer.currentSong->channels : 0;
}

uint16_t ModuleGetCell(int32_t channel) {
  const ModuleSong* song = ModulePlayer.currentSong;
  if (!Playing() || channel < 0 || channel >= song->channels) return 0;
  BlockInfo info = HeardBlock();
  if (info.order >= song->songLength) return 0;
  const ModulePattern& pattern = song->patterns[song->orderTable[info.order]];
  if (info.row >= pattern.rowCount) return 0;
  const ModuleCell& cell = pattern.cells[size_t(info.row) * song->channels + channel];
  return uint16_t(cell.instrument << 8 | cell.note);
}

uint8_t ModuleGetOrder() {
  return Playing() ? HeardBlock().order : 0;
}

uint8_t ModuleGetRow() {
  return Playing() ? HeardBlock().row : 0;
}

uint32_t ModuleGetTime() {
  return Playing() ? HeardBlock().elapsedMilliseconds : 0;
}
