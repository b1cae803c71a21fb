#include "render/intro_effects.h"

IntroEffects Intro;

void ResetIntroEffects() {
  Intro = IntroEffects{};
}
