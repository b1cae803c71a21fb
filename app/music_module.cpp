#include "app/music_module.h"

#include <algorithm>

#include "app/menus.h"
#include "module/module_player.h"
#include "render/buttons.h"
#include "render/level_meter.h"

int16_t ModuleChannelCount = 0;

int32_t ModuleSize[SongCount + 1] = {};

void FillModuleSizes() {
  for (int n = 1; n <= SongCount; ++n)
    ModuleSize[n] = static_cast<int32_t>(*EmbeddedModules[n].Size);
}

namespace {

void PlayModule(int n) {
  ModuleStop();
  ModuleFree();
  ModuleLoad(EmbeddedModules[n].Data, ModuleSize[n]);
  ModulePlay();
  ModuleChannelCount = ModuleGetChannels();
}

}  // namespace

void PlayModule1() {
  PlayModule(1);
}
void PlayModule2() {
  PlayModule(2);
}
void PlayModule3() {
  PlayModule(3);
}
void PlayModule4() {
  PlayModule(4);
}

const char* const SongCredit[SongCount + 1] = {
    "",
    "Cobalt Drift composed by Maren Holtzvik........",
    "Lanterns Of Vesterhavn composed by Pieter Oskander.....",
    "Tinfoil composed by Renko.....",
    "Sundial Carousel composed by Ilse Margrethen.....",
};

void SetSongCredits() {
  for (int n = 1; n <= SongCount; ++n) Menu.InfoText[n] += SongCredit[n];
}

void ChooseSong(int button) {
  if (button < ButtonSong1 || button > ButtonSong4) return;
  for (int k = ButtonSong1; k <= ButtonSong4; ++k) Buttons.ButtonState[k] = 0;
  Buttons.ButtonState[button] = 1;
  Buttons.ButtonState[ButtonMusic] = 0;
  Menu.InfoPos = 1;
  Menu.InfoIndex = button - ButtonSong1 + 1;
  switch (button) {
    case ButtonSong1:
      PlayModule1();
      break;
    case ButtonSong2:
      PlayModule2();
      break;
    case ButtonSong3:
      PlayModule3();
      break;
    case ButtonSong4:
      PlayModule4();
      break;
  }
}

bool MusicIsOn() {
  return Buttons.ButtonState[ButtonMusic] == 0;
}

void MusicOff() {
  ModuleStop();
  Buttons.ButtonState[ButtonMusic] = 1;
}

void MusicOn() {
  ModulePlay();
  Buttons.ButtonState[ButtonMusic] = 0;
}

void FeedLevelMeter() {
  uint16_t cells[32] = {};
  const int channels = std::clamp<int>(ModuleChannelCount, 0, 32);
  for (int n = 0; n < channels; ++n) cells[n] = ModuleGetCell(n);
  UpdateLevelMeter(cells, channels);
}
