#include "app/music_module.h"

#include "module/module.h"

int16_t ModuleChannelCount = 0;

// The image sizes are constants of the embedded data, so they are filled before main() runs.
int32_t ModuleSize[5] = {0, int32_t(*EmbeddedModules[1].size), int32_t(*EmbeddedModules[2].size),
                         int32_t(*EmbeddedModules[3].size), int32_t(*EmbeddedModules[4].size)};

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
