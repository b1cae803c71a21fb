#pragma once
// Shared set-up for the intro effect tests: fresh application and intro state, the real big font,
// and a frame buffer filled with a colour no effect draws, so untouched pixels show.
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "common/random.h"
#include "render/framebuffer.h"
#include "render/intro_effects.h"
#include "render/intro_text.h"
#include "tests/support/pixel.h"

constexpr uint32_t Untouched = 0xABCDEF;

class IntroTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetApp();
    SeedRandom(0.0);
    ResetIntroEffects();
    BuildBigFont();
    ClearFrameBuffer(Untouched);
  }
};
