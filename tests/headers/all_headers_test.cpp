// Every public header in one translation unit. Compiling is most of the test; the cases below use
// both music players side by side, which the clashing definitions of the rate once prevented.
#include <gtest/gtest.h>

#include "all_public_headers.h"

// Both players fill whole buffers of the one device rate: the SID player 50 play calls a second,
// the module mixer blocks of 20 ms rounded up to whole groups of 4 frames.
static_assert(FrameSamples * 50 == MixRate);
static_assert(BlockLength % 4 == 0 && BlockLength * 50 >= MixRate &&
              (BlockLength - 4) * 50 < MixRate);

namespace {

TEST(PublicHeaders, BothPlayersRefuseEmptyImagesInOneProgram) {
  AudioSetBackend(AudioBackend::Null);
  EXPECT_FALSE(ModuleLoad(nullptr, 0));
  EXPECT_EQ(ModuleGetChannels(), 0);
  EXPECT_FALSE(SidStartTune(nullptr, 0, 0));
  SidResetPlayer();
  AudioShutdown();
}

}  // namespace
