#include "app/music_module.h"

#include <algorithm>

#include "app/menus.h"
#include "module/module_player.h"
#include "render/buttons.h"
#include "render/level_meter.h"

int16_t ModuleChannelCount = 0;

int32_t ModuleSize[5] = {};

void FillModuleSizes() {
  for (int n = 1; n <= 4; ++n) ModuleSize[n] = static_cast<int32_t>(*EmbeddedModules[n].Size);
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

const char* const SongCredit[5] = {
    "",
    "Cobalt Drift composed by Maren Holtzvik........",
    "Lanterns Of Vesterhavn composed by Pieter Oskander.....",
    "Tinfoil composed by Renko.....",
    "Sundial Carousel composed by Ilse Margrethen.....",
};

void SetSongCredits() {
  for (int n = 1; n <= 4; ++n) Menu.InfoText[n] += SongCredit[n];
}

void ChooseSong(int button) {
  for (int k = 6; k <= 10; ++k) Buttons.ButtonState[k] = 0;
  Buttons.ButtonState[button] = 1;
  Menu.InfoPos = 1;
  Menu.InfoIndex = button - 6;
  switch (button) {
    case 7:
      PlayModule1();
      break;
    case 8:
      PlayModule2();
      break;
    case 9:
      PlayModule3();
      break;
    default:
      PlayModule4();
      break;
  }
}

void MusicOff() {
  ModuleStop();
}

void MusicOn() {
  ModulePlay();
}

void FeedLevelMeter() {
  uint16_t cells[32] = {};
  const int channels = std::clamp<int>(ModuleChannelCount, 0, 32);
  for (int n = 0; n < channels; ++n) cells[n] = ModuleGetCell(n);
  UpdateLevelMeter(cells, channels);
}
