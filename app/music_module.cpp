#include "app/music_module.h"

#include "module/module_player.h"

int16_t ModuleChannelCount = 0;

int32_t ModuleSize[5] = {};

void FillModuleSizes() {
  for (int n = 1; n <= 4; ++n) ModuleSize[n] = static_cast<int32_t>(*EmbeddedModules[n].size);
}

namespace {

void PlayModule(int n) {
  ModuleStop();
  ModuleFree();
  ModuleLoad(EmbeddedModules[n].data, ModuleSize[n]);
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
