#include "app/music_tune.h"

#include "sid/embedded_tunes.h"
#include "sid/sid_player.h"

TuneEntry TuneTable[TuneCount + 1];

void FillTuneTable() {
  for (TuneEntry& e : TuneTable) e = {};
  for (const EmbeddedTune* t = EmbeddedTunes; t->Number != 0; ++t) {
    if (t->Number < 1 || t->Number > TuneCount) continue;
    TuneTable[t->Number] = {t->Image, static_cast<uint32_t>(*t->Size), 0};
  }
}

void PlayTune(int32_t number) {
  SidStopTune();
  if (number < 1 || number > TuneCount) return;
  const TuneEntry& e = TuneTable[number];
  if (e.Image == nullptr) return;
  if (SidStartTune(e.Image, e.Size, e.Song)) SidResumeTune();
}
