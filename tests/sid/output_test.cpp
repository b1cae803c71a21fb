// The player's output protocol on the capture backend (which runs completions inside the pull,
// so every step is deterministic), error reporting, PlayTune, and a start/stop stress run on the
// real device's thread structure (meant for the ThreadSanitizer build).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/music_tune.h"
#include "display/headless.h"
#include "sid/sid_player.h"
#include "tests/sid/sid_test_util.h"

namespace {

class SidOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    AudioSetBackend(AudioBackend::Capture);
    SidResetPlayer();
    tune = CounterTune();
  }
  void TearDown() override {
    SidResetPlayer();
    AudioShutdown();
    AudioSetBackend(AudioBackend::Sdl);
  }

  // Pulls `frames` stereo frames and returns the left channel, checking the right equals it.
  std::vector<int16_t> Pull(int frames) {
    std::vector<int16_t> stereo(2 * static_cast<size_t>(frames));
    EXPECT_EQ(AudioCapturePull(stereo.data(), frames), frames);
    std::vector<int16_t> left(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
      left[i] = stereo[2 * i];
      EXPECT_EQ(stereo[2 * i + 1], left[i]);
    }
    return left;
  }

  // What the offline renderer makes of the same tune: `frames` play calls on a fresh machine.
  std::vector<int16_t> Offline(int frames) {
    auto m = std::make_unique<SidMachine>();
    EXPECT_TRUE(SidLoadTune(*m, tune.data(), static_cast<uint32_t>(tune.size()), 0));
    std::vector<int16_t> s(static_cast<size_t>(frames) * FrameSamples);
    for (int f = 0; f < frames; ++f) RenderFrame(*m, s.data() + f * FrameSamples, FrameSamples);
    return s;
  }

  int PlayCalls() const { return Sid.Ram[0x50]; }

  std::vector<uint8_t> tune;
};

TEST_F(SidOutputTest, StartsPausedThenPlaysTheRenderedFramesInOrder) {
  ASSERT_TRUE(SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0));
  EXPECT_EQ(PlayCalls(), 16);  // two buffers of 8 frames, rendered before anything sounds
  for (int16_t v : Pull(3000)) ASSERT_EQ(v, 0);  // paused: silence, and no refill
  EXPECT_EQ(PlayCalls(), 16);

  SidResumeTune();
  std::vector<int16_t> reference = Offline(32);
  std::vector<int16_t> heard;
  for (int b = 0; b < 4; ++b) {
    std::vector<int16_t> part = Pull(BufferSamples);
    heard.insert(heard.end(), part.begin(), part.end());
    // Each finished buffer is refilled with exactly the next 8 frames.
    EXPECT_EQ(PlayCalls(), 16 + 8 * (b + 1));
  }
  ASSERT_EQ(heard.size(), reference.size());
  for (size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], reference[i]) << i;
}

TEST_F(SidOutputTest, StopEndsTheRotation) {
  ASSERT_TRUE(SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0));
  SidResumeTune();
  Pull(BufferSamples + 100);
  EXPECT_EQ(PlayCalls(), 24);
  SidStopTune();
  EXPECT_FALSE(AudioQueueIsOpen());
  EXPECT_EQ(SidOutput.FirstHeader, nullptr);
  for (int16_t v : Pull(3 * BufferSamples)) ASSERT_EQ(v, 0);
  EXPECT_EQ(PlayCalls(), 24);  // the buffers returned by the reset were not refilled
  SidStopTune();               // a second stop finds a closed device and does nothing
  SidResumeTune();             // resuming a stopped player does nothing either
  for (int16_t v : Pull(1000)) ASSERT_EQ(v, 0);
  EXPECT_TRUE(Headless.Messages.empty());
}

// A stop or resume with nothing started does nothing; a refused image stops the tune that played
// and opens nothing.
TEST_F(SidOutputTest, NothingStartedAndRefusedImages) {
  SidStopTune();
  SidResumeTune();
  EXPECT_FALSE(AudioQueueIsOpen());
  ASSERT_TRUE(SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0));
  EXPECT_FALSE(SidStartTune(tune.data(), 0x20, 0));
  EXPECT_FALSE(AudioQueueIsOpen());
  for (int16_t v : Pull(1000)) ASSERT_EQ(v, 0);
  EXPECT_TRUE(Headless.Messages.empty());
}

TEST_F(SidOutputTest, PlayTuneSwitchesAndRestartsFromTheBeginning) {
  TuneTable[3] = {tune.data(), static_cast<uint32_t>(tune.size()), 0};
  PlayTune(3);
  ASSERT_TRUE(AudioQueueIsOpen());
  Pull(2 * BufferSamples);
  EXPECT_EQ(PlayCalls(), 32);
  PlayTune(3);  // the same number again restarts it
  EXPECT_EQ(PlayCalls(), 16);
  std::vector<int16_t> reference = Offline(8);
  std::vector<int16_t> heard = Pull(BufferSamples);  // already playing: no resume needed
  for (size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], reference[i]) << i;
  for (int n : {0, 13, 5}) {  // out of range, and a number without an image
    PlayTune(3);
    PlayTune(n);
    EXPECT_FALSE(AudioQueueIsOpen()) << n;
  }
  TuneTable[3] = {};
}

TEST_F(SidOutputTest, DeviceErrorsShowOneBoxAndTheProgramCarriesOn) {
  // A real device that cannot be opened: SDL is asked for a driver that does not exist.
  AudioSetBackend(AudioBackend::Sdl);
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_TRUE(SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0));
  SidResumeTune();
  EXPECT_TRUE(SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0));
  SidStopTune();
  ASSERT_EQ(Headless.Messages.size(), 1u);
  EXPECT_EQ(Headless.Messages[0].caption, "Error");
  EXPECT_NE(Headless.Messages[0].text.find("could not be opened"), std::string::npos);
  EXPECT_EQ(PlayCalls(), 16);  // the machine ran as usual

  // A reset player reports the next failure again, once.
  SidResetPlayer();
  EXPECT_TRUE(SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0));
  EXPECT_TRUE(SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0));
  SidStopTune();
  unsetenv("SDL_AUDIODRIVER");
  EXPECT_EQ(Headless.Messages.size(), 2u);

  // The null backend is silence on purpose: no box at all.
  AudioSetBackend(AudioBackend::Null);
  SidResetPlayer();
  Headless.Messages.clear();
  EXPECT_TRUE(SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0));
  SidResumeTune();
  SidStopTune();
  EXPECT_TRUE(Headless.Messages.empty());
}

// The device goes away while a tune plays: the returned buffers' requeues are refused, which shows
// the one "Error" box; then nothing renders and nothing sounds. Starting a tune while there is no
// device shows no second box, and once a device is back the next tune plays from its beginning.
TEST_F(SidOutputTest, RemovedDeviceShowsOneBoxThenTheNextTunePlays) {
  TuneTable[3] = {tune.data(), static_cast<uint32_t>(tune.size()), 0};
  PlayTune(3);
  Pull(BufferSamples + 100);
  AudioFaultRemoveDevice();
  ASSERT_EQ(Headless.Messages.size(), 1u);
  EXPECT_EQ(Headless.Messages[0].caption, "Error");
  EXPECT_EQ(Headless.Messages[0].text, "the audio device was removed");
  const int calls = PlayCalls();
  for (int16_t v : Pull(3 * BufferSamples)) ASSERT_EQ(v, 0);
  EXPECT_EQ(PlayCalls(), calls);  // the rotation is over: nothing renders for a lost device

  PlayTune(3);  // still no device
  EXPECT_FALSE(AudioQueueIsOpen());
  for (int16_t v : Pull(BufferSamples)) ASSERT_EQ(v, 0);
  AudioFaultRestoreDevice();
  PlayTune(3);
  ASSERT_TRUE(AudioQueueIsOpen());
  const std::vector<int16_t> heard = Pull(2 * BufferSamples);
  EXPECT_EQ(heard, Offline(16));
  EXPECT_EQ(Headless.Messages.size(), 1u);
  TuneTable[3] = {};
}

// What the program plays for each built-in tune (PlayTune through the device) is what the
// offline renderer makes of it, and it is not silence.
TEST_F(SidOutputTest, BuiltInTunesSoundAsTheOfflineRenderSays) {
  FillTuneTable();
  for (int n = 1; n <= TuneCount; ++n) {
    const TuneEntry& e = TuneTable[n];
    ASSERT_NE(e.Image, nullptr) << "tune " << n << " is not built in";
    EXPECT_EQ(e.Song, 0) << "every tune starts its first song, whatever its header says";
    tune.assign(e.Image, e.Image + e.Size);
    PlayTune(n);
    std::vector<int16_t> heard = Pull(3 * BufferSamples);
    std::vector<int16_t> reference = Offline(24);
    ASSERT_EQ(heard, reference) << "tune " << n;
    long loud = 0;
    for (int16_t v : heard) loud += v > 1000 || v < -1000;
    EXPECT_GT(loud, BufferSamples / 4) << "tune " << n;
  }
  SidStopTune();
}

// Starts, lets refills run on the completion thread, and stops at varying moments, including
// while a refill renders. Under ThreadSanitizer this checks that the detach-then-reset protocol
// leaves no refill touching the machine while the next start re-initialises it.
TEST(SidOutputThreads, StartStopWhileRefillsRun) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  AudioSetBackend(AudioBackend::Sdl);
  SidResetPlayer();
  // A slow play routine (about 132,000 instructions per call, so a refill takes several
  // milliseconds) makes it likely that some stops land while a refill is rendering:
  //   $1020 play: INC $50; LDY #0; outer: LDX #0; inner: DEX; BNE inner; DEY; BNE outer; RTS
  std::vector<uint8_t> tune = CounterTune();
  const uint8_t slowPlay[] = {0xE6, 0x50, 0xA0, 0x00, 0xA2, 0x00, 0xCA,
                              0xD0, 0xFD, 0x88, 0xD0, 0xF8, 0x60};
  std::copy(std::begin(slowPlay), std::end(slowPlay), tune.begin() + 0x7E + 0x20);
  if (!SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0) || !AudioQueueIsOpen()) {
    SidResetPlayer();
    AudioShutdown();
    unsetenv("SDL_AUDIODRIVER");
    FAIL() << "SDL's dummy audio driver did not open";
  }
  SidResumeTune();
  // The machine belongs to the refills while the tune plays, so it is only read after a stop.
  for (int i = 0; i < 16; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + 37 * (i % 5)));
    ASSERT_TRUE(SidStartTune(tune.data(), static_cast<uint32_t>(tune.size()), 0));
    SidResumeTune();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  SidStopTune();
  int calls = Sid.Ram[0x50];
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(Sid.Ram[0x50], calls);  // nothing rendered after the stop
  EXPECT_GT(calls, 16);             // the last start was refilled at least once
  SidResetPlayer();
  AudioShutdown();
  unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
