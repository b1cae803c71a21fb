// Mixer and output: interpolation, loops, ramps and conversion to 16-bit; then the output thread
// and player interface on the capture backend, where what is pulled is exactly what the device
// would play, so the heard audio and the queries can be checked against an offline render.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <thread>

#include "display/audio.h"
#include "tests/module/module_test_util.h"

namespace {

// A sample whose frame i holds i x 100 (or `value`), with the guard frame past its loop.
struct TestSample {
  std::vector<int16_t> data;
  ModuleSample sample;
  TestSample(uint32_t length, uint8_t mode, uint32_t loopStart, uint32_t loopLength,
             int value = -1) {
    data.assign(length + 8, 0);
    for (uint32_t i = 0; i < length; ++i) data[i] = int16_t(value < 0 ? i * 100 : value);
    std::tie(sample.Data, sample.Length, sample.LoopMode, sample.LoopStart, sample.LoopLength) =
        std::tuple(data.data(), length, mode, loopStart, loopLength);
    if (mode == LoopForward) data[loopStart + loopLength] = data[loopStart];
    if (mode == LoopPingPong) data[loopStart + loopLength] = data[loopStart + loopLength - 1];
  }
};

// A machine with one voice on `sample` at `volume` in both channels, no ramp pending.
struct MixFixture {
  std::unique_ptr<ModuleMachine> machine = std::make_unique<ModuleMachine>();
  MixVoice& v = machine->Voices[0];
  MixFixture(const ModuleSample& sample, uint32_t step, uint32_t fraction, int32_t volume = 255) {
    ResetMachine(*machine, nullptr);
    std::tie(v.Sample, v.StepInteger, v.StepFraction) = std::tuple(&sample, step, fraction);
    v.LeftVolume = v.RightVolume = v.LeftTarget = v.RightTarget = volume;
    v.LeftLevel = v.RightLevel = volume * 256;
  }
  std::vector<float> Mix(int frames) {
    std::vector<float> out(size_t(frames) * 2, 0.0f);
    MixVoices(*machine, out.data(), frames);
    return out;
  }
};

// Four channels, speed 1 so the row changes every 882 frames; channel 2 carries a note on every
// row with the instrument number rising, and a key-off on row 5.
XmModule BusySong() {
  XmModule desc = Song("", 32, 4, 2);
  std::tie(desc.Speed, desc.Orders) = std::tuple(1, std::vector<uint8_t>{0, 1});
  desc.Instruments = {SineInstrument(16), SineInstrument(24), SineInstrument(32)};
  for (int r = 0; r < 64; ++r) {
    desc.Patterns[size_t(r / 32)].At(r % 32, 0, 4) = Cell(uint8_t(30 + r % 32 % 12 + r / 32), 1);
    desc.Patterns[size_t(r / 32)].At(r % 32, 2, 4) =
        r % 32 == 5 ? Cell(97) : Cell(uint8_t(40 + r % 32), uint8_t(1 + r % 32 % 3));
  }
  return desc;
}

class ModuleOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    AudioShutdown();
    AudioSetBackend(AudioBackend::Capture);
  }
  void TearDown() override {
    ModuleStop();
    ModuleFree();
    AudioShutdown();
    AudioSetBackend(AudioBackend::Sdl);
  }
  // Pulls one block of what is heard, then waits until the output thread has seen the cursor.
  std::vector<int16_t> PullBlock() {
    std::vector<int16_t> pcm(size_t(BlockLength) * 2);
    AudioCapturePull(pcm.data(), BlockLength);
    int32_t cursor = CursorBlock(AudioRingPosition());
    for (int i = 0; i < 2000 && ModulePlayer.HeardBlockIndex.load() != cursor; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(ModulePlayer.HeardBlockIndex.load(), cursor);
    return pcm;
  }
  std::vector<uint8_t> image = WriteXm(BusySong());
};

}  // namespace

// Past 2^32 bytes (about 6.8 hours) the count keeps going: (2^32 + 12) / 4 = 1,073,741,827
// frames, 35,427 into the ring, block 40. A 32-bit count would have wrapped to block 0.
TEST(ModuleCursor, PositionWrapsWithTheRing) {
  const std::pair<uint64_t, int> cases[] = {{0, 0},
                                            {353600 - 4, 99},
                                            {353600, 0},
                                            {353600 + 884 * 4 * 3, 3},
                                            {(uint64_t(1) << 32) + 12, 40}};
  for (const auto& [bytes, block] : cases) EXPECT_EQ(CursorBlock(bytes), block) << bytes;
}

// The heard audio and the queries against an offline render of the same song, block by block,
// over more than two and a half trips around the ring.
TEST_F(ModuleOutput, HeardAudioAndQueriesFollowTheCursor) {
  TestSong reference(BusySong(), true);
  const int blocks = 260;
  std::vector<std::vector<int16_t>> expected;
  std::vector<BlockInfo> records;
  for (int b = 0; b < blocks + 1; ++b) {
    const int32_t index = reference.machine->FillBlockIndex;
    expected.push_back(reference.Render(BlockLength));
    records.push_back(UnpackBlockInfo(reference.machine->BlockInfo[index].load()));
  }
  ASSERT_TRUE(ModuleLoad(image.data(), int32_t(image.size())));
  EXPECT_EQ(ModuleGetChannels(), 4);
  ASSERT_TRUE(ModulePlay());
  // Block 0 is heard first; its record holds where the song was when it had been mixed (at
  // speed 1 the second row starts at frame 882, inside block 0).
  EXPECT_EQ(std::vector<int>({ModuleGetOrder(), ModuleGetRow(), records[0].Row}),
            std::vector<int>({0, 1, 1}));
  for (int b = 0; b < blocks; ++b) {
    ASSERT_EQ(PullBlock(), expected[size_t(b)]) << "block " << b;
    // The cursor is now at the start of block b + 1: the queries report that block's record.
    const BlockInfo& info = records[size_t(b) + 1];
    const int row = info.Row;
    ASSERT_EQ(std::vector<int>({ModuleGetOrder(), ModuleGetRow(), int(ModuleGetTime()),
                                ModuleGetCell(2), ModuleGetCell(1)}),
              std::vector<int>({info.Order, row, int(info.ElapsedMilliseconds),
                                row == 5 ? 255 : (1 + row % 3) * 256 + 40 + row, 0}))
        << "block " << b + 1;
  }
}

// Stop, play and free in turn; a song loaded after another is played by a clean machine: its first
// block is heard as a fresh machine mixes it. Without a device nothing plays and nothing breaks.
TEST_F(ModuleOutput, StopPlayFreeCycles) {
  ASSERT_TRUE(ModuleLoad(image.data(), int32_t(image.size())));
  std::vector<int16_t> first;
  for (int cycle = 0; cycle < 3; ++cycle) {
    ASSERT_TRUE(ModulePlay());
    for (int b = 0; b < 3; ++b) PullBlock();
    EXPECT_TRUE(ModuleStop() && ModuleStop());  // a second stop finds no thread and is harmless
    EXPECT_TRUE(ModuleGetRow() == 0 && ModuleGetTime() == 0);
    ASSERT_TRUE(ModulePlay());  // from the beginning: the first block is heard again
    const std::vector<int16_t> pcm = PullBlock();
    if (cycle == 0) first = pcm;
    EXPECT_EQ(pcm, first);
  }
  // Playing while playing restarts; loading another song replaces the one that plays (its
  // release stops it); after a free everything reports false or 0 until the next load.
  ASSERT_TRUE(ModulePlay() && ModuleLoad(image.data(), int32_t(image.size())));
  EXPECT_EQ(ModuleGetRow(), 0);
  ASSERT_TRUE(ModulePlay() && ModuleFree());
  EXPECT_EQ(std::vector<int>(
                {ModulePlay(), ModuleStop(), ModuleFree(), ModuleGetChannels(), ModuleGetCell(0)}),
            std::vector<int>(5, 0));
  std::vector<uint8_t> bad = image;
  bad[3] = 'X';
  EXPECT_FALSE(ModuleLoad(bad.data(), int32_t(bad.size())) || ModulePlay());
  const std::vector<uint8_t> second = WriteXm(Song("N 448"));
  ASSERT_TRUE(ModuleLoad(second.data(), int32_t(second.size())) && ModulePlay());
  EXPECT_EQ(PullBlock(), TestSong(second, true).Render(BlockLength));
  ModuleStop();
  AudioShutdown();
  AudioSetBackend(AudioBackend::Null);
  ASSERT_TRUE(ModuleLoad(image.data(), int32_t(image.size())));
  EXPECT_FALSE(ModulePlay() || ModulePlayer.Machine.Song || ModulePlayer.Machine.WaveRing ||
               ModulePlayer.Thread.joinable());
  EXPECT_EQ(std::vector<int>({ModuleGetOrder(), ModuleGetChannels()}), std::vector<int>({0, 4}));
  EXPECT_TRUE(ModuleStop() && ModuleFree());
}

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

// Where a voice is after some frames: position, fraction, direction, or stopped.
TEST(ModuleMixer, LoopsAndEnds) {
  constexpr uint32_t Half = 0x80000000u, Stopped = 0;
  // Sample length, loop mode, start, length; step, its fraction, the start position, frames mixed;
  // then position, fraction and direction (1 forward, 2 backward), or Stopped.
  const std::pair<const char*, std::array<uint32_t, 11>> cases[] = {
      {"ten frames at half a step need 20", {10, LoopNone, 0, 10, 0, Half, 0, 20, 0, 0, Stopped}},
      {"forward: 305.5 wraps to 205.5",
       {300, LoopForward, 200, 100, 11, Half, 294, 1, 205, Half, 1}},
      // 10 + 3 passes the end 12: reflected to 12 - 13 + 11 + (1 - 2^-32); backward 7.99, 4.99,
      // then 1.99 passes the start 4: 4 - 1 + (1 - 2^-32) - 1.99 + 4.
      {"ping-pong end", {20, LoopPingPong, 4, 8, 3, 0, 10, 1, 10, 0xFFFFFFFFu, 2}},
      {"ping-pong start", {20, LoopPingPong, 4, 8, 3, 0, 10, 4, 6, 0, 1}},
  };
  for (const auto& [name, k] : cases) {
    TestSample s(k[0], uint8_t(k[1]), k[2], k[3]);
    MixFixture f(s.sample, k[4], k[5]);
    f.v.Position = k[6];
    f.Mix(int(k[7]));
    const std::vector<uint32_t> end = {f.v.Sample ? f.v.Position : 0,
                                       f.v.Sample ? f.v.PositionFraction : 0,
                                       f.v.Sample ? uint32_t(f.v.Direction) : Stopped};
    EXPECT_EQ(end, std::vector<uint32_t>(k.begin() + 8, k.end())) << name;
    // Every frame read stays inside the loop: between its smallest and largest values.
    for (float x : f.Mix(500))
      ASSERT_TRUE(x >= k[2] * 100 && x <= (k[2] + k[3] - 1) * 100) << name << " " << x;
  }
  // Frames 0, 0.5, 1 ... : 0, 50, 100 ... at gain 255/255; 9.5 is halfway between 900 and the
  // zero guard; then the voice adds nothing. An empty sample stops its voice at once.
  TestSample s(10, LoopNone, 0, 10);
  const std::vector<float> out = MixFixture(s.sample, 0, 0x80000000u).Mix(30);
  EXPECT_EQ(std::vector<float>({out[0], out[2], out[34], out[38], out[40], out[58]}),
            std::vector<float>({0, 50, 850, 450, 0, 0}));
  MixFixture empty(EmptySample, 1, 0);
  EXPECT_EQ(empty.Mix(10), std::vector<float>(20, 0.0f));
  EXPECT_EQ(empty.v.Sample, nullptr);
}

// Volume 0 to 200 on a constant signal: 128 equal steps to 200/255 of full scale.
TEST(ModuleMixer, RampReachesItsTargetInEqualSteps) {
  TestSample s(4000, LoopForward, 0, 4000, 10000);
  MixFixture f(s.sample, 1, 0, 0);
  f.v.LeftVolume = f.v.RightVolume = 200;
  const std::vector<float> out = f.Mix(200);
  const float full = 10000.0f * 200.0f / 255.0f;
  // Single-precision accumulation of 128 steps: allow a few units in the last place.
  for (int i = 0; i < 200; ++i)
    ASSERT_NEAR(out[2 * size_t(i)], full * float(std::min(i, 128)) / 128, 0.05f) << i;
  EXPECT_EQ(std::pair(f.v.LeftLevel, f.v.RampFramesLeft), std::pair(200 * 256, 0));
}

// An irregular step over a noisy looping sample at uneven gains: one call of 1,000 frames against
// 1,000 calls of one frame, through the loop's wrap several times.
TEST(ModuleMixer, LongBlocksMixLikeSingleFrames) {
  TestSample s(1000, LoopForward, 100, 900);
  for (size_t i = 0; i < s.data.size(); ++i) s.data[i] = int16_t((i * 7919 % 65536) - 32768);
  MixFixture block(s.sample, 2, 0x3456789Au, 200), single(s.sample, 2, 0x3456789Au, 200);
  for (MixFixture* f : {&block, &single}) {
    f->v.LeftVolume = f->v.LeftTarget = 137;
    f->v.LeftLevel = 137 * 256;
  }
  std::vector<float> a(2 * 1000, 0.5f), b(2 * 1000, 0.5f);
  MixVoices(*block.machine, a.data(), 1000);
  for (int j = 0; j < 1000; ++j) MixVoices(*single.machine, b.data() + 2 * j, 1);
  EXPECT_EQ(a, b);
}
