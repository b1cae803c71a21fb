// The output drive in a web browser, where a page served without cross-origin isolation has no
// threads: the audio device calls FeedRing from its own pull, right after it has taken a block of
// the ring, on the page's one thread. Nothing else runs meanwhile, so no flag is needed to keep a
// stop from overlapping a refill.
#include "display/audio.h"
#include "module/module_player.h"

void StartOutputDrive() {
  ModulePlayer.StopRequest.store(false);
  AudioRingSetFeeder(FeedRing);
}

void StopOutputDrive() {
  AudioRingSetFeeder(nullptr);
}
