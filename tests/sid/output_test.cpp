// The player's output protocol on the capture backend (which runs completions inside the pull,
// so every step is deterministic), error reporting, PlayTune, and a start/stop stress run on the
// real device's thread structure (meant for the ThreadSanitizer build).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/music_tune.h"
#include "display/headless.h"
#include "sid/sid_player.h"
#include "tests/sid/sid_test_util.h"

namespace {

using Samples = std::vector<int16_t>;

class SidOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    AudioSetBackend(AudioBackend::Capture);
    SidResetPlayer();
    TuneTable[3] = {tune.data(), static_cast<uint32_t>(tune.size()), 0};
  }
  void TearDown() override {
    TuneTable[3] = {};
    SidResetPlayer();
    AudioShutdown();
    AudioSetBackend(AudioBackend::Sdl);
  }
  bool Start() { return SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0); }

  // Pulls `frames` stereo frames and returns the left channel, checking the right equals it.
  Samples Pull(int frames) {
    Samples stereo(2 * static_cast<size_t>(frames)), left, right;
    EXPECT_EQ(AudioCapturePull(stereo.data(), frames), frames);
    for (int i = 0; i < 2 * frames; ++i) (i % 2 ? right : left).push_back(stereo[i]);
    EXPECT_EQ(left, right);
    return left;
  }

  // What the offline renderer makes of the same tune: `frames` play calls on a fresh machine.
  Samples Offline(int frames) {
    auto m = std::make_unique<SidMachine>();
    Samples s(static_cast<size_t>(frames) * FrameSamples);
    EXPECT_TRUE(SidLoadTune(*m, tune.data(), static_cast<uint32_t>(tune.size()), 0));
    for (int f = 0; f < frames; ++f) RenderFrame(*m, s.data() + f * FrameSamples, FrameSamples);
    return s;
  }

  int PlayCalls() const { return Sid.Ram[0x50]; }

  std::vector<uint8_t> tune = CounterTune();
};

// A start renders two buffers of 8 frames and
// stays paused (silent, no refill) until resumed; then each finished buffer is refilled with the
// next 8 frames. A stop (mid-buffer) ends the rotation: the returned buffers are not refilled, and
// a second stop or a resume does nothing. A refused image stops the tune that played.
TEST_F(SidOutputTest, StartPausedPlayInOrderAndStop) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(Sid.Oscillator[0].Increment, 16u * 256 * 359);  // as the 16th play call left it
  EXPECT_EQ(Pull(3000), Samples(3000));
  EXPECT_EQ(PlayCalls(), 16);
  SidResumeTune();
  const Samples reference = Offline(32);
  for (int b = 0; b < 4; ++b) {
    EXPECT_EQ(Pull(BufferSamples), Samples(reference.begin() + b * BufferSamples,
                                           reference.begin() + (b + 1) * BufferSamples));
    EXPECT_EQ(PlayCalls(), 24 + 8 * b);
  }
  Pull(100);
  SidStopTune();
  EXPECT_FALSE(AudioQueueIsOpen());
  EXPECT_EQ(Pull(3 * BufferSamples), Samples(3 * BufferSamples));
  EXPECT_EQ(PlayCalls(), 48);
  SidStopTune();
  SidResumeTune();
  ASSERT_TRUE(Start());
  EXPECT_FALSE(SidStartTune(tune.data(), 0x20, 0));
  EXPECT_FALSE(AudioQueueIsOpen());
  EXPECT_TRUE(Headless.Messages.empty());
}

// PlayTune of the playing number restarts it from the beginning; out of range and imageless
// numbers stop it. When the device goes away while a tune plays, the refused requeues show one
// "Error" box and nothing renders or sounds; a start without a device shows no second box, and
// once the device is back the next tune plays from its beginning.
TEST_F(SidOutputTest, PlayTuneRestartsStopsAndOutlivesARemovedDevice) {
  PlayTune(3);
  Pull(2 * BufferSamples);
  PlayTune(3);
  EXPECT_EQ(Pull(BufferSamples), Offline(8));
  for (int n : {0, 13, 5}) {
    PlayTune(3);
    PlayTune(n);
    EXPECT_FALSE(AudioQueueIsOpen()) << n;
  }
  PlayTune(3);
  Pull(BufferSamples + 100);
  AudioFaultRemoveDevice();
  ASSERT_EQ(Headless.Messages.size(), 1u);
  EXPECT_EQ(Headless.Messages[0].caption + ": " + Headless.Messages[0].text,
            "Error: the audio device was removed");
  const int calls = PlayCalls();
  EXPECT_EQ(Pull(3 * BufferSamples), Samples(3 * BufferSamples));
  EXPECT_EQ(PlayCalls(), calls);
  PlayTune(3);
  EXPECT_FALSE(AudioQueueIsOpen());
  AudioFaultRestoreDevice();
  PlayTune(3);
  EXPECT_EQ(Pull(2 * BufferSamples), Offline(16));
  EXPECT_EQ(Headless.Messages.size(), 1u);
}

// A real device that cannot be opened (SDL asked for a driver that does not exist) shows one
// "Error" box while the machine runs as usual; a reset player reports the next failure again,
// once. The null backend is silence on purpose: no box at all.
TEST_F(SidOutputTest, DeviceErrorsShowOneBoxAndTheProgramCarriesOn) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  const std::pair<AudioBackend, size_t> rounds[] = {
      {AudioBackend::Sdl, 1}, {AudioBackend::Sdl, 2}, {AudioBackend::Null, 2}};
  for (const auto& [backend, boxes] : rounds) {
    AudioSetBackend(backend);
    SidResetPlayer();
    EXPECT_TRUE(Start());
    SidResumeTune();
    EXPECT_TRUE(Start());
    SidStopTune();
    EXPECT_EQ(PlayCalls(), 16);
    ASSERT_EQ(Headless.Messages.size(), boxes);
  }
  unsetenv("SDL_AUDIODRIVER");
  EXPECT_EQ(Headless.Messages[1].caption, "Error");
  EXPECT_NE(Headless.Messages[1].text.find("could not be opened"), std::string::npos);
}

// Every built-in tune has its image and starts its first song, whatever its header says (how
// each sounds is the music generator test's).
TEST_F(SidOutputTest, BuiltInTunesStartTheirFirstSong) {
  FillTuneTable();
  for (int n = 1; n <= TuneCount; ++n) {
    EXPECT_TRUE(TuneTable[n].Image != nullptr && TuneTable[n].Song == 0) << n;
  }
}

// Starts, lets refills run on the completion thread, and stops at varying moments, including
// while a refill renders. Under ThreadSanitizer this checks that the detach-then-reset protocol
// leaves no refill touching the machine while the next start re-initialises it. A slow play
// routine (about 132,000 instructions a call, so a refill takes milliseconds) makes it likely
// that some stops land while a refill is rendering:
//   $1020 play: INC $50; LDY #0; outer: LDX #0; inner: DEX; BNE inner; DEY; BNE outer; RTS
TEST(SidOutputThreads, StartStopWhileRefillsRun) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  AudioSetBackend(AudioBackend::Sdl);
  SidResetPlayer();
  std::vector<uint8_t> tune = CounterTune();
  tune.resize(0x7E + 0x20);
  Place(tune, 0x7E + 0x20, "E6 50 A0 00 A2 00 CA D0 FD 88 D0 F8 60");
  // The machine belongs to the refills while the tune plays, so it is only read after a stop.
  bool opened = true;
  for (int i = 0; i <= 16 && opened; ++i) {
    opened = SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0) && AudioQueueIsOpen();
    SidResumeTune();
    std::this_thread::sleep_for(std::chrono::milliseconds(i < 16 ? 20 + 37 * (i % 5) : 400));
  }
  SidStopTune();
  const int calls = Sid.Ram[0x50];
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(Sid.Ram[0x50], calls);  // nothing rendered after the stop
  EXPECT_GT(calls, 16);             // the last start was refilled at least once
  EXPECT_TRUE(opened) << "SDL's dummy audio driver did not open";
  SidResetPlayer();
  AudioShutdown();
  unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
