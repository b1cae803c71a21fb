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
  desc.Channels = 4;
  desc.Speed = 1;
  desc.Orders = {0, 1};
  for (int i = 0; i < 3; ++i) desc.Instruments.push_back(SineInstrument(16 + 8 * i));
  for (int p = 0; p < 2; ++p) {
    XmPattern pattern;
    pattern.Rows = 32;
    for (int r = 0; r < 32; ++r) {
      pattern.At(r, 0, 4) = Cell(uint8_t(30 + r % 12 + p), 1);
      pattern.At(r, 2, 4) = r == 5 ? Cell(97) : Cell(uint8_t(40 + r), uint8_t(1 + r % 3));
    }
    desc.Patterns.push_back(pattern);
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

TEST(ModuleCursor, PositionWrapsWithTheRing) {
  EXPECT_EQ(CursorBlock(0), 0);
  EXPECT_EQ(CursorBlock(353600 - 4), 99);
  EXPECT_EQ(CursorBlock(353600), 0);
  EXPECT_EQ(CursorBlock(353600 + 884 * 4 * 3), 3);
  // Past 2^32 bytes (about 6.8 hours) the count keeps going: (2^32 + 12) / 4 = 1,073,741,827
  // frames, 35,427 into the ring, block 40. A 32-bit count would have wrapped to block 0.
  EXPECT_EQ(CursorBlock((uint64_t(1) << 32) + 12), 40);
}

TEST_F(ModuleOutput, HeardAudioAndQueriesFollowTheCursor) {
  // The offline reference: the same song through the same mixer, block by block.
  TestSong reference(BusySong(), true);
  ASSERT_NE(reference.song, nullptr);
  const int blocks = 260;  // more than two and a half trips around the ring
  std::vector<int16_t> expected;
  std::vector<BlockInfo> records;
  for (int b = 0; b < blocks + 1; ++b) {
    int32_t index = reference.machine->FillBlockIndex;
    FillBlock(*reference.machine);
    const int16_t* w = reference.machine->WaveRing + size_t(index) * BlockLength * 2;
    expected.insert(expected.end(), w, w + BlockLength * 2);
    records.push_back(UnpackBlockInfo(reference.machine->BlockInfo[index].load()));
  }

  ASSERT_TRUE(ModuleLoad(image.data(), int32_t(image.size())));
  EXPECT_EQ(ModuleGetChannels(), 4);
  ASSERT_TRUE(ModulePlay());
  // Block 0 is heard first; its record holds where the song was when it had been mixed (at
  // speed 1 the second row starts at frame 882, inside block 0).
  EXPECT_EQ(ModuleGetOrder(), 0);
  EXPECT_EQ(ModuleGetRow(), records[0].Row);
  EXPECT_EQ(records[0].Row, 1);
  std::vector<int16_t> heard;
  for (int b = 0; b < blocks; ++b) {
    std::vector<int16_t> pcm = PullBlock();
    heard.insert(heard.end(), pcm.begin(), pcm.end());
    // The cursor is now at the start of block b + 1: the queries report that block's record.
    const BlockInfo& info = records[size_t(b) + 1];
    ASSERT_EQ(ModuleGetOrder(), info.Order) << "block " << b + 1;
    ASSERT_EQ(ModuleGetRow(), info.Row) << "block " << b + 1;
    ASSERT_EQ(ModuleGetTime(), info.ElapsedMilliseconds) << "block " << b + 1;
    uint8_t row = info.Row;
    uint16_t cell = ModuleGetCell(2);
    if (row == 5) {
      EXPECT_EQ(cell, 255);  // key-off, no instrument
    } else {
      EXPECT_EQ(cell, (1 + row % 3) * 256 + 40 + row);
    }
    EXPECT_EQ(ModuleGetCell(1), 0);  // an empty cell
  }
  EXPECT_EQ(heard.size(), size_t(blocks) * BlockLength * 2);
  EXPECT_TRUE(std::equal(heard.begin(), heard.end(), expected.begin()));
}

TEST_F(ModuleOutput, StopPlayFreeCycles) {
  ASSERT_TRUE(ModuleLoad(image.data(), int32_t(image.size())));
  std::vector<int16_t> first;
  for (int cycle = 0; cycle < 3; ++cycle) {
    ASSERT_TRUE(ModulePlay());
    for (int b = 0; b < 3; ++b) PullBlock();
    EXPECT_TRUE(ModuleStop());
    EXPECT_TRUE(ModuleStop());  // a second stop finds no thread and is harmless
    EXPECT_EQ(ModuleGetRow(), 0);
    EXPECT_EQ(ModuleGetTime(), 0u);
    // Playing again starts from the beginning: the first block is heard again.
    ASSERT_TRUE(ModulePlay());
    std::vector<int16_t> pcm = PullBlock();
    if (cycle == 0) first = pcm;
    EXPECT_EQ(pcm, first);
  }
  // Playing while playing restarts; loading another song replaces the one that plays.
  ASSERT_TRUE(ModulePlay());
  ASSERT_TRUE(ModuleLoad(image.data(), int32_t(image.size())));
  EXPECT_EQ(ModuleGetRow(), 0);  // the old song stopped with its release
  ASSERT_TRUE(ModulePlay());
  EXPECT_TRUE(ModuleFree());
  // After a free there is no song: everything reports false or 0 until the next load.
  EXPECT_FALSE(ModulePlay());
  EXPECT_FALSE(ModuleStop());
  EXPECT_FALSE(ModuleFree());
  EXPECT_EQ(ModuleGetChannels(), 0);
  EXPECT_EQ(ModuleGetCell(0), 0);
  std::vector<uint8_t> bad = image;
  bad[3] = 'X';
  EXPECT_FALSE(ModuleLoad(bad.data(), int32_t(bad.size())));
  EXPECT_FALSE(ModulePlay());
}

// A song freed and another loaded in its place plays from a clean state: after the pre-fill of
// the ring, every channel is where a fresh machine that mixed as many blocks has it.
TEST_F(ModuleOutput, ASongLoadedAfterAnotherStartsClean) {
  ASSERT_TRUE(ModuleLoad(image.data(), int32_t(image.size())));
  ASSERT_TRUE(ModulePlay());
  PullBlock();
  ASSERT_TRUE(ModuleStop());
  ASSERT_TRUE(ModuleFree());
  const std::vector<uint8_t> second = WriteXm(OneChannelSong({{0, Cell(49, 1, 0, 0x04, 0x48)}}));
  ASSERT_TRUE(ModuleLoad(second.data(), int32_t(second.size())));
  ASSERT_TRUE(ModulePlay());
  ASSERT_TRUE(ModuleStop());  // nothing was pulled: the machine holds the pre-fill
  TestSong fresh(second, true);
  do {
    FillBlock(*fresh.machine);
  } while (fresh.machine->FillBlockIndex != 0);
  for (int i = 0; i < ModuleMaxChannels; ++i) {
    const ModuleChannel& a = ModulePlayer.Machine.Channels[i];
    const ModuleChannel& b = fresh.Channel(i);
    EXPECT_EQ(std::vector<int32_t>({a.Period, a.PeriodDelta, a.Volume, a.Panning, a.Note,
                                    a.Instrument, a.Voice, a.VibratoPosition, a.KeyOff,
                                    a.FadeoutVolume, a.PortamentoSpeed}),
              std::vector<int32_t>({b.Period, b.PeriodDelta, b.Volume, b.Panning, b.Note,
                                    b.Instrument, b.Voice, b.VibratoPosition, b.KeyOff,
                                    b.FadeoutVolume, b.PortamentoSpeed}))
        << "channel " << i;
  }
  EXPECT_EQ(ModulePlayer.Machine.Row, fresh.machine->Row);
}

TEST_F(ModuleOutput, NoDeviceChangesNothing) {
  AudioShutdown();
  AudioSetBackend(AudioBackend::Null);
  ASSERT_TRUE(ModuleLoad(image.data(), int32_t(image.size())));
  EXPECT_FALSE(ModulePlay());
  EXPECT_EQ(ModulePlayer.Machine.Song, nullptr);
  EXPECT_EQ(ModulePlayer.Machine.WaveRing, nullptr);
  EXPECT_FALSE(ModulePlayer.Thread.joinable());
  EXPECT_EQ(ModuleGetOrder(), 0);
  EXPECT_EQ(ModuleGetChannels(), 4);
  EXPECT_TRUE(ModuleStop());
  EXPECT_TRUE(ModuleFree());
}

// The device goes away while a song plays: silence, the song stands still, no box; the output
// thread is not stuck (the stop joins it at once); a play while there is no device fails quietly,
// and once a device is back the next play starts the song from its beginning.
TEST_F(ModuleOutput, RemovedDeviceGoesSilentAndTheNextPlaySounds) {
  HeadlessReset();
  ASSERT_TRUE(ModuleLoad(image.data(), int32_t(image.size())));
  ASSERT_TRUE(ModulePlay());
  const std::vector<int16_t> first = PullBlock();
  PullBlock();
  const uint32_t time = ModuleGetTime();
  AudioFaultRemoveDevice();
  for (int b = 0; b < 3; ++b) {
    std::vector<int16_t> pcm(size_t(BlockLength) * 2, 1);
    AudioCapturePull(pcm.data(), BlockLength);
    ASSERT_EQ(pcm, std::vector<int16_t>(pcm.size(), 0));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(ModuleGetTime(), time);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_TRUE(ModuleStop());
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
  EXPECT_FALSE(ModulePlayer.Thread.joinable());

  EXPECT_FALSE(ModulePlay());
  EXPECT_FALSE(ModulePlayer.Thread.joinable());
  AudioFaultRestoreDevice();
  ASSERT_TRUE(ModulePlay());
  EXPECT_EQ(PullBlock(), first);
  EXPECT_TRUE(Headless.Messages.empty());
}
