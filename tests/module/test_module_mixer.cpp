// Mixer: interpolation, loops, ramps and conversion to 16-bit.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/module/module_test_util.h"

namespace {

// A machine with one voice on `sample`, at full volume in both channels, no ramp pending.
struct MixFixture {
  std::unique_ptr<ModuleMachine> machine = std::make_unique<ModuleMachine>();
  MixFixture() { ResetMachine(*machine, nullptr); }
  MixVoice& Start(const ModuleSample& sample, uint32_t stepInteger, uint32_t stepFraction,
                  int32_t volume = 255) {
    MixVoice& v = machine->Voices[0];
    v.Sample = &sample;
    v.StepInteger = stepInteger;
    v.StepFraction = stepFraction;
    v.LeftVolume = v.RightVolume = v.LeftTarget = v.RightTarget = volume;
    v.LeftLevel = v.RightLevel = volume * 256;
    return v;
  }
};

// A sample of `length` frames whose value at frame i is i x 100, with a guard frame past the loop.
struct RampSample {
  std::vector<int16_t> data;
  ModuleSample sample;
  RampSample(uint32_t length, uint8_t loopMode, uint32_t loopStart, uint32_t loopLength) {
    data.assign(length + 8, 0);
    for (uint32_t i = 0; i < length; ++i) data[i] = int16_t(i * 100);
    sample.Data = data.data();
    sample.Length = length;
    sample.LoopMode = loopMode;
    sample.LoopStart = loopStart;
    sample.LoopLength = loopLength;
    uint32_t end = loopStart + loopLength;
    if (loopMode == 2) data[end] = data[loopStart];
    if (loopMode == 4) data[end] = data[end - 1];
  }
};

}  // namespace

// Rounding to even, the limits and the values that are no number. Long blocks go through the
// four- and eight-at-a-time paths, single frames through the one-value loops: the same bits.
TEST(ModuleMixer, ClipToPcmRoundsAndLimits) {
  const std::pair<float, int16_t> rows[] = {
      {40000.0f, 32767},   {-40000.0f, -32768}, {2.5f, 2},         {3.5f, 4},
      {-2.5f, -2},         {0.49f, 0},          {32766.5f, 32766}, {-32767.5f, -32768},
      {32767.4f, 32767},   {-32768.6f, -32768}, {NAN, 0},          {INFINITY, 32767},
      {-INFINITY, -32768}, {1e10f, 32767},      {-1e10f, -32768},  {-0.5f, 0},
  };
  float in[32];
  int16_t block[32] = {};
  for (size_t i = 0; i < 16; ++i) in[i] = in[16 + i] = rows[i].first;
  ClipToPcm(block, in, 16);
  for (size_t i = 0; i < 32; ++i) {
    int16_t one[2] = {7, 7};
    ClipToPcm(one, in + (i & ~size_t(1)), 1);
    EXPECT_EQ(block[i], rows[i % 16].second) << "value " << rows[i % 16].first;
    EXPECT_EQ(one[i & 1], rows[i % 16].second) << "value " << rows[i % 16].first << " alone";
  }
  int16_t untouched[2] = {7, 7};
  ClipToPcm(untouched, in, 0);
  EXPECT_EQ(untouched[0], 7);
}

TEST(ModuleMixer, LongBlocksMixLikeSingleFrames) {
  // An irregular step over a noisy looping sample at uneven gains, no ramp pending: one call of
  // 1,000 frames against 1,000 calls of one frame, through the loop's wrap several times.
  std::vector<int16_t> data(1000 + 8);
  for (size_t i = 0; i < data.size(); ++i) data[i] = int16_t((i * 7919 % 65536) - 32768);
  ModuleSample s;
  s.Data = data.data();
  s.Length = 1000;
  s.LoopMode = 1;
  s.LoopStart = 100;
  s.LoopLength = 900;
  MixFixture block, single;
  for (MixFixture* f : {&block, &single}) {
    MixVoice& v = f->Start(s, 2, 0x3456789Au, 200);
    v.LeftVolume = v.LeftTarget = 137;
    v.LeftLevel = 137 * 256;
  }
  std::vector<float> a(2 * 1000, 0.5f), b(2 * 1000, 0.5f);
  MixVoices(*block.machine, a.data(), 1000);
  for (int j = 0; j < 1000; ++j) MixVoices(*single.machine, b.data() + 2 * j, 1);
  for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(a[i], b[i]) << i;
}

TEST(ModuleMixer, InterpolatesAndStopsAtTheEnd) {
  MixFixture f;
  RampSample s(10, 1, 0, 10);
  MixVoice& v = f.Start(s.sample, 0, 0x80000000u);  // half a frame per output frame
  std::vector<float> out(2 * 30, 0.0f);
  MixVoices(*f.machine, out.data(), 30);
  // Frames 0, 0.5, 1, ... : 0, 50, 100, ... at gain 255/255.
  EXPECT_FLOAT_EQ(out[0], 0.0f);
  EXPECT_FLOAT_EQ(out[2], 50.0f);
  EXPECT_FLOAT_EQ(out[2 * 17], 850.0f);
  EXPECT_FLOAT_EQ(out[2 * 19], 450.0f);  // 9.5: halfway between 900 and the zero guard
  // Ten frames need 20 output frames; then the voice is off and adds nothing.
  EXPECT_EQ(v.Sample, nullptr);
  EXPECT_FLOAT_EQ(out[2 * 20], 0.0f);
  std::vector<float> none(4, 1.0f);
  MixVoices(*f.machine, none.data(), 0);
  EXPECT_FLOAT_EQ(none[0], 1.0f);
}

TEST(ModuleMixer, ForwardLoopWraps) {
  // Loop of length 100 from 200: 305.5 becomes 205.5.
  MixFixture f;
  RampSample s(300, 2, 200, 100);
  MixVoice& v = f.Start(s.sample, 11, 0x80000000u);
  v.Position = 294;
  std::vector<float> out(2, 0.0f);
  MixVoices(*f.machine, out.data(), 1);
  EXPECT_EQ(v.Position, 205u);
  EXPECT_EQ(v.PositionFraction, 0x80000000u);
}

TEST(ModuleMixer, PingPongReflectsAtBothEnds) {
  MixFixture f;
  RampSample s(20, 4, 4, 8);  // loop frames 4..11
  MixVoice& v = f.Start(s.sample, 3, 0);
  v.Position = 10;
  std::vector<float> out(2, 0.0f);
  MixVoices(*f.machine, out.data(), 1);
  // 10 + 3 = 13 passes the end 12: reflected to 12 - 13 + 11 + (1 - 2^-32) = 10.99999...
  EXPECT_EQ(v.Direction, 2);
  EXPECT_EQ(v.Position, 10u);
  EXPECT_EQ(v.PositionFraction, 0xFFFFFFFFu);
  std::vector<float> three(6, 0.0f);
  MixVoices(*f.machine, three.data(), 3);
  // Backward: 7.99.., 4.99.., then 1.99.. passes the start 4: 4 - 1 + (1 - 2^-32) - 1.99.. + 4
  EXPECT_EQ(v.Direction, 1);
  EXPECT_EQ(v.Position, 6u);
  EXPECT_EQ(v.PositionFraction, 0u);
  // Every frame read stayed inside the loop: the output never exceeds the loop's largest value.
  std::vector<float> many(2 * 500, 0.0f);
  MixVoices(*f.machine, many.data(), 500);
  for (size_t i = 0; i < many.size(); ++i) ASSERT_LE(many[i], 1100.0f);
  for (size_t i = 0; i < many.size(); ++i) ASSERT_GE(many[i], 400.0f);
}

TEST(ModuleMixer, RampReachesItsTargetInEqualSteps) {
  // Volume 0 to 200 on a constant signal: 128 equal steps, 200/255 of full scale at the end.
  MixFixture f;
  std::vector<int16_t> data(4000 + 8, 10000);
  ModuleSample s;
  s.Data = data.data();
  s.Length = 4000;
  s.LoopMode = 1;
  s.LoopLength = 4000;
  MixVoice& v = f.Start(s, 1, 0, 0);
  v.LeftVolume = v.RightVolume = 200;
  std::vector<float> out(2 * 200, 0.0f);
  MixVoices(*f.machine, out.data(), 200);
  const float full = 10000.0f * 200.0f / 255.0f;
  const float step = full / 128.0f;
  for (int i = 0; i < 128; ++i) {
    // Single-precision accumulation of 128 steps: allow a few units in the last place.
    ASSERT_NEAR(out[2 * i], step * float(i), 0.05f) << i;
  }
  for (int i = 128; i < 200; ++i) ASSERT_NEAR(out[2 * i], full, 0.01f) << i;
  EXPECT_EQ(v.LeftLevel, 200 * 256);
  EXPECT_EQ(v.RampFramesLeft, 0);
}

TEST(ModuleMixer, EmptySampleStopsTheVoice) {
  MixFixture f;
  MixVoice& v = f.Start(EmptySample, 1, 0);
  std::vector<float> out(20, 0.0f);
  MixVoices(*f.machine, out.data(), 10);
  EXPECT_EQ(v.Sample, nullptr);
  for (float x : out) EXPECT_EQ(x, 0.0f);
}
