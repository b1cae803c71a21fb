// Output: the looping stereo ring of the shared audio device, kept mixed ahead of the play cursor
// by the platform's drive (module_drive_thread.cpp or module_drive_web.cpp), and the player
// interface.
#include "display/audio.h"
#include "module/module_player.h"

namespace {

BlockInfo HeardBlock() {
  const ModuleMachine& m = ModulePlayer.Machine;
  int32_t heard = ModulePlayer.HeardBlockIndex.load(std::memory_order_acquire);
  return UnpackBlockInfo(m.BlockInfo[heard].load(std::memory_order_acquire));
}

bool Playing() {
  const ModulePlayerState& p = ModulePlayer;
  return p.CurrentSong && p.Machine.Song == p.CurrentSong && p.Machine.BlockInfo;
}

}  // namespace

bool StopSong(const ModuleSong* song) {
  if (!song) return false;
  ModulePlayerState& p = ModulePlayer;
  StopOutputDrive();
  if (p.RingOpen) {
    AudioRingReset();
    AudioRingClose();
    p.RingOpen = false;
  }
  ReleaseRing(p.Machine);
  p.Machine.Song = nullptr;
  p.Machine.FillBlockIndex = 0;
  p.HeardBlockIndex.store(0);
  return true;
}

bool PlaySong(const ModuleSong* song) {
  if (!song) return false;
  ModulePlayerState& p = ModulePlayer;
  StopSong(song);
  // Without a device nothing else changes.
  if (AudioRingOpen() != AudioOk) return false;
  p.RingOpen = true;
  ModuleMachine& m = p.Machine;
  if (!AllocateRing(m)) {
    StopSong(song);
    return false;
  }
  ResetMachine(m, song);
  p.HeardBlockIndex.store(0);
  // Pre-fill every block before anything plays.
  do {
    FillBlock(m);
  } while (m.FillBlockIndex != 0);
  if (AudioRingPlay(m.WaveRing, uint32_t(RingFrames) * 4) != AudioOk) {
    StopSong(song);
    return false;
  }
  AudioRingPublish();
  StartOutputDrive();
  return true;
}

bool FreeSong(const ModuleSong* song) {
  if (!song) return false;
  // Playback stops first, so no block is mixed from the records being released.
  if (ModulePlayer.Machine.Song == song) StopSong(song);
  ReleaseSong(song);
  return true;
}

bool ModuleLoad(const uint8_t* image, int32_t length) {
  ModulePlayerState& p = ModulePlayer;
  // A song still loaded is replaced, not leaked: stop it if it plays and release it.
  if (p.CurrentSong) {
    FreeSong(p.CurrentSong);
    p.CurrentSong = nullptr;
  }
  p.CurrentSong = LoadSong(image, length > 0 ? size_t(length) : 0);
  return p.CurrentSong != nullptr;
}

bool ModulePlay() {
  return PlaySong(ModulePlayer.CurrentSong);
}

bool ModuleStop() {
  return StopSong(ModulePlayer.CurrentSong);
}

bool ModuleFree() {
  ModulePlayerState& p = ModulePlayer;
  bool freed = FreeSong(p.CurrentSong);
  p.CurrentSong = nullptr;  // nothing may reach the released song again
  return freed;
}

int16_t ModuleGetChannels() {
  return ModulePlayer.CurrentSong ? ModulePlayer.CurrentSong->Channels : 0;
}

uint16_t ModuleGetCell(int32_t channel) {
  const ModuleSong* song = ModulePlayer.CurrentSong;
  if (!Playing() || channel < 0 || channel >= song->Channels) return 0;
  BlockInfo info = HeardBlock();
  if (info.Order >= song->SongLength) return 0;
  const ModulePattern& pattern = song->Patterns[song->OrderTable[info.Order]];
  if (info.Row >= pattern.RowCount) return 0;
  const ModuleCell& cell = pattern.Cells[size_t(info.Row) * song->Channels + channel];
  return uint16_t(cell.Instrument << 8 | cell.Note);
}

uint8_t ModuleGetOrder() {
  return Playing() ? HeardBlock().Order : 0;
}

uint8_t ModuleGetRow() {
  return Playing() ? HeardBlock().Row : 0;
}

uint32_t ModuleGetTime() {
  return Playing() ? HeardBlock().ElapsedMilliseconds : 0;
}
