// Output thread and player interface, on the capture backend: what is pulled is exactly what the
// device would play, so the heard audio and the queries can be checked against an offline render.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "display/audio.h"
#include "display/headless.h"
#include "tests/module/module_test_util.h"

namespace {

// Four channels, speed 1 so the row changes every 882 frames; channel 2 carries a note on every
// row with the instrument number rising, and a key-off on row 5.
XmModule BusySong() {
  XmModule desc;
  std::tie(desc.Channels, desc.Speed, desc.Orders) = std::tuple(4, 1, std::vector<uint8_t>{0, 1});
  for (int i = 0; i < 3; ++i) desc.Instruments.push_back(SineInstrument(16 + 8 * i));
  desc.Patterns.assign(2, XmPattern{32, {}});
  for (int p = 0; p < 2; ++p) {
    for (int r = 0; r < 32; ++r) {
      desc.Patterns[size_t(p)].At(r, 0, 4) = Cell(uint8_t(30 + r % 12 + p), 1);
      desc.Patterns[size_t(p)].At(r, 2, 4) =
          r == 5 ? Cell(97) : Cell(uint8_t(40 + r), uint8_t(1 + r % 3));
    }
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
    for (int i = 0; i < 2000 && ModulePlayer.HeardBlockIndex.load() != cursor; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(ModulePlayer.HeardBlockIndex.load(), cursor);
    return pcm;
  }
  std::vector<uint8_t> image = WriteXm(BusySong());
};

}  // namespace

// Past 2^32 bytes (about 6.8 hours) the count keeps going: (2^32 + 12) / 4 = 1,073,741,827
// frames, 35,427 into the ring, block 40. A 32-bit count would have wrapped to block 0.
TEST(ModuleCursor, PositionWrapsWithTheRing) {
  for (const auto& [bytes, block] : {std::pair<uint64_t, int>{0, 0},
                                     {353600 - 4, 99},
                                     {353600, 0},
                                     {353600 + 884 * 4 * 3, 3},
                                     {(uint64_t(1) << 32) + 12, 40}}) {
    EXPECT_EQ(CursorBlock(bytes), block) << bytes;
  }
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
    EXPECT_EQ(std::vector<uint32_t>({ModuleGetRow(), ModuleGetTime()}),
              std::vector<uint32_t>(2, 0));
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

// The device goes away while a song plays: silence, the song stands still, no box; the output
// thread is not stuck (the stop joins it at once); a play while there is no device fails quietly,
// and once a device is back the next play starts the song from its beginning.
TEST_F(ModuleOutput, RemovedDeviceGoesSilentAndTheNextPlaySounds) {
  HeadlessReset();
  ASSERT_TRUE(ModuleLoad(image.data(), int32_t(image.size())) && ModulePlay());
  const std::vector<int16_t> first = PullBlock();
  PullBlock();
  const uint32_t time = ModuleGetTime();
  AudioFaultRemoveDevice();
  std::vector<int16_t> pcm(size_t(BlockLength) * 2 * 3, 1);
  AudioCapturePull(pcm.data(), BlockLength * 3);
  EXPECT_EQ(pcm, std::vector<int16_t>(pcm.size(), 0));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(ModuleGetTime(), time);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_TRUE(ModuleStop());
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
  EXPECT_FALSE(ModulePlayer.Thread.joinable() || ModulePlay() || ModulePlayer.Thread.joinable());
  AudioFaultRestoreDevice();
  ASSERT_TRUE(ModulePlay());
  EXPECT_EQ(PullBlock(), first);
  EXPECT_TRUE(Headless.Messages.empty());
}
