#pragma once
// The module player's interface to the application: one song at a time, played on the machine
// inside `ModulePlayer` by an output thread that keeps a looping stereo ring of the shared audio
// device mixed ahead of the play cursor; and the embedded module images.
#include <atomic>
#include <cstdint>
#include <thread>

#include "module/module_machine.h"

// Threading contract: the application thread calls every Module* procedure; the output drive
// runs FillBlock on `Machine` (on the desktop an output thread; in a web browser, which has no
// threads, the audio device's pull on the page's one thread). StopRequest is written by the
// application thread and read by the output thread. StopSong stops the drive first (raising
// StopRequest and joining the thread), so once it returns nothing mixes from the song or the ring.
// HeardBlockIndex and the block records are atomics because the queries read them while the
// thread works.
struct ModulePlayerState {
  ModuleMachine Machine;
  const ModuleSong* CurrentSong = nullptr;
  std::atomic<int32_t> HeardBlockIndex{0};
  std::atomic<bool> StopRequest{false};
  std::thread Thread;
  bool RingOpen = false;
};
extern ModulePlayerState ModulePlayer;

// Releases a song and everything it owns. Stops the global player first when it plays this song.
bool FreeSong(const ModuleSong* song);
bool PlaySong(const ModuleSong* song);
bool StopSong(const ModuleSong* song);
// The block under the play cursor for a count of bytes played.
int32_t CursorBlock(uint64_t bytesPlayed);
// One pass of the drive (module_feed.cpp): the heard block follows the play cursor and every
// block behind the cursor is mixed again.
void FeedRing();
// The platform's drive, which calls FeedRing while the song plays: started by PlaySong once the
// ring is pre-filled and playing, stopped by StopSong before anything is released.
void StartOutputDrive();
void StopOutputDrive();

bool ModuleLoad(const uint8_t* image, int32_t length);
bool ModulePlay();
bool ModuleStop();
bool ModuleFree();
int16_t ModuleGetChannels();
uint16_t ModuleGetCell(int32_t channel);
uint8_t ModuleGetOrder();
uint8_t ModuleGetRow();
uint32_t ModuleGetTime();

// The embedded module images 1..4 (data nullptr and size 0 for a module not built in).
struct EmbeddedModule {
  const unsigned char* Data;
  const unsigned long* Size;
};
extern const EmbeddedModule EmbeddedModules[5];
