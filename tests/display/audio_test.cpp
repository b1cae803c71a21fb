// The shared audio device: both sinks through the capture backend (exact), the null backend, and
// the real SDL path with SDL's disk driver recording a test tone.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include <unistd.h>

#include "display/audio.h"

namespace {

struct QueueLog {
  std::vector<AudioQueueBuffer*> done;
  bool requeue = false;
  std::vector<int> writes;  // what each requeue answered
};

void RecordDone(AudioQueueBuffer* buffer, void* user) {
  auto* log = static_cast<QueueLog*>(user);
  log->done.push_back(buffer);
  if (log->requeue) log->writes.push_back(AudioQueueWrite(buffer));
}

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override { AudioSetBackend(AudioBackend::Capture); }
  void TearDown() override { AudioSetBackend(AudioBackend::Sdl); }
  std::vector<int16_t> Pull(int frames) {
    std::vector<int16_t> out(2 * frames);
    EXPECT_EQ(AudioCapturePull(out.data(), frames), frames);
    return out;
  }
};

TEST_F(CaptureTest, QueueStartsPausedThenPlaysBuffersGaplesslyInOrder) {
  std::vector<int16_t> a = {1, 2, 3}, b = {4, 5};
  AudioQueueBuffer first{a.data(), 3}, second{b.data(), 2};
  QueueLog log;
  ASSERT_EQ(AudioQueueOpen(RecordDone, &log), AudioOk);
  ASSERT_EQ(AudioQueueWrite(&first), AudioOk);
  ASSERT_EQ(AudioQueueWrite(&second), AudioOk);
  EXPECT_EQ(AudioQueueWrite(&first), AudioErrInvalid);  // already queued

  EXPECT_EQ(Pull(4), std::vector<int16_t>(8, 0));  // paused: nothing plays, nothing finishes
  EXPECT_TRUE(log.done.empty());

  AudioQueueRestart();
  EXPECT_EQ(Pull(2), (std::vector<int16_t>{1, 1, 2, 2}));
  EXPECT_TRUE(log.done.empty());
  // The second buffer follows the first without a gap; each is reported once, when played out.
  EXPECT_EQ(Pull(4), (std::vector<int16_t>{3, 3, 4, 4, 5, 5, 0, 0}));
  EXPECT_EQ(log.done, (std::vector<AudioQueueBuffer*>{&first, &second}));
  // A write after the queue has drained plays at once.
  ASSERT_EQ(AudioQueueWrite(&second), AudioOk);
  EXPECT_EQ(Pull(3), (std::vector<int16_t>{4, 4, 5, 5, 0, 0}));
  AudioQueueClose();
}

TEST_F(CaptureTest, CompletionMayRequeueAndResetReturnsEverythingOnce) {
  std::vector<int16_t> a(4, 100), b(4, -100);
  AudioQueueBuffer first{a.data(), 4}, second{b.data(), 4};
  QueueLog log;
  log.requeue = true;
  ASSERT_EQ(AudioQueueOpen(RecordDone, &log), AudioOk);
  AudioQueueWrite(&first);
  AudioQueueWrite(&second);
  AudioQueueRestart();
  const std::vector<int16_t> out = Pull(16);  // two full rotations
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[2 * i], (i / 4) % 2 == 0 ? 100 : -100) << i;
  EXPECT_EQ(log.done.size(), 4u);

  log.requeue = false;
  log.done.clear();
  AudioQueueReset();
  EXPECT_EQ(log.done, (std::vector<AudioQueueBuffer*>{&first, &second}));
  EXPECT_EQ(Pull(2), std::vector<int16_t>(4, 0));
  AudioQueueClose();
  EXPECT_EQ(AudioQueueWrite(&first), AudioErrNotOpen);
}

TEST_F(CaptureTest, RingLoopsCountsBytesAndMixesWithTheQueue) {
  // Three stereo frames: (10, -10), (20, -20), (30, -30).
  std::vector<int16_t> ring = {10, -10, 20, -20, 30, -30};
  ASSERT_EQ(AudioRingOpen(), AudioOk);
  ASSERT_EQ(AudioRingPlay(ring.data(), 12), AudioOk);
  EXPECT_EQ(Pull(4), (std::vector<int16_t>{10, -10, 20, -20, 30, -30, 10, -10}));
  EXPECT_EQ(AudioRingPosition(), 16u);

  std::vector<int16_t> loud(2, 32760);
  AudioQueueBuffer buffer{loud.data(), 2};
  ASSERT_EQ(AudioQueueOpen(nullptr, nullptr), AudioOk);
  AudioQueueWrite(&buffer);
  AudioQueueRestart();
  // The two sinks add, saturating instead of wrapping.
  EXPECT_EQ(Pull(2), (std::vector<int16_t>{32767, 32740, 32767, 32730}));

  AudioRingReset();
  EXPECT_EQ(Pull(1), (std::vector<int16_t>{0, 0}));
  AudioRingClose();
  AudioQueueClose();
}

// A device that goes away while both sinks play: the queued buffers come back at once (so no
// refill waits for a device that will not play them), requeues and ring plays are refused,
// nothing sounds and the ring's position stands still. Opens fail while there is no device; once
// one is back, the next open plays again.
TEST_F(CaptureTest, RemovedDeviceReturnsBuffersAndTheNextOpenPlaysAgain) {
  std::vector<int16_t> a(4, 100), b(4, -100), ring = {5, -5};
  AudioQueueBuffer first{a.data(), 4}, second{b.data(), 4};
  QueueLog log;
  log.requeue = true;
  ASSERT_EQ(AudioQueueOpen(RecordDone, &log), AudioOk);
  ASSERT_EQ(AudioRingOpen(), AudioOk);
  ASSERT_EQ(AudioRingPlay(ring.data(), 4), AudioOk);
  AudioQueueWrite(&first);
  AudioQueueWrite(&second);
  AudioQueueRestart();
  Pull(6);
  ASSERT_EQ(log.done.size(), 1u);
  const uint64_t position = AudioRingPosition();

  log.done.clear();
  log.writes.clear();
  AudioFaultRemoveDevice();
  EXPECT_TRUE(AudioDeviceLost());
  EXPECT_EQ(log.done, (std::vector<AudioQueueBuffer*>{&second, &first}));
  EXPECT_EQ(log.writes, (std::vector<int>{AudioErrDeviceLost, AudioErrDeviceLost}));
  EXPECT_EQ(AudioErrorText(AudioErrDeviceLost), "the audio device was removed");
  EXPECT_EQ(Pull(8), std::vector<int16_t>(16, 0));
  EXPECT_EQ(AudioRingPosition(), position);
  EXPECT_EQ(AudioRingPlay(ring.data(), 4), AudioErrDeviceLost);
  // The owners stop and close as usual; nothing is left to hand back.
  log.done.clear();
  AudioQueueReset();
  EXPECT_TRUE(log.done.empty());
  AudioQueueClose();
  AudioRingClose();

  EXPECT_EQ(AudioQueueOpen(RecordDone, &log), AudioErrNoDevice);
  EXPECT_EQ(AudioRingOpen(), AudioErrNoDevice);
  EXPECT_NE(AudioErrorText(AudioErrNoDevice).find("no audio device"), std::string::npos);
  AudioFaultRestoreDevice();
  ASSERT_EQ(AudioQueueOpen(RecordDone, &log), AudioOk);
  EXPECT_FALSE(AudioDeviceLost());
  log.requeue = false;
  ASSERT_EQ(AudioQueueWrite(&first), AudioOk);
  AudioQueueRestart();
  EXPECT_EQ(Pull(2), (std::vector<int16_t>{100, 100, 100, 100}));
  AudioQueueClose();
}

// No device from the start, then one for the second player only: each open is tried afresh.
TEST_F(CaptureTest, OneSinkFailsToOpenAndTheOtherOpensLater) {
  AudioFaultRemoveDevice();
  EXPECT_EQ(AudioQueueOpen(nullptr, nullptr), AudioErrNoDevice);
  EXPECT_FALSE(AudioQueueIsOpen());
  EXPECT_FALSE(AudioDeviceLost());  // nothing was open to lose
  EXPECT_EQ(Pull(2), std::vector<int16_t>(4, 0));
  AudioFaultRestoreDevice();
  std::vector<int16_t> ring = {7, -7};
  ASSERT_EQ(AudioRingOpen(), AudioOk);
  ASSERT_EQ(AudioRingPlay(ring.data(), 4), AudioOk);
  EXPECT_EQ(Pull(2), (std::vector<int16_t>{7, -7, 7, -7}));
  AudioRingClose();
}

TEST(AudioNull, OpensFailAndNothingElseHappens) {
  AudioSetBackend(AudioBackend::Null);
  EXPECT_EQ(AudioQueueOpen(nullptr, nullptr), AudioErrNoDevice);
  EXPECT_EQ(AudioRingOpen(), AudioErrNoDevice);
  EXPECT_NE(AudioErrorText(AudioErrNoDevice).find("could not be opened"), std::string::npos);
  AudioQueueBuffer buffer;
  EXPECT_EQ(AudioQueueWrite(&buffer), AudioErrNotOpen);
  EXPECT_EQ(AudioRingPlay(nullptr, 0), AudioErrNotOpen);
  AudioQueueReset();
  AudioQueueClose();
  AudioRingReset();
  int16_t out[2] = {7, 7};
  EXPECT_EQ(AudioCapturePull(out, 1), 0);
  AudioSetBackend(AudioBackend::Sdl);
}

// A 441 Hz tone split over two rotating buffers, re-rendered on every completion, as the SID
// player's output works; plus a quiet ring underneath.
struct ToneQueue {
  std::vector<int16_t> samples[2] = {std::vector<int16_t>(2205), std::vector<int16_t>(2205)};
  AudioQueueBuffer buffers[2];
  std::atomic<int> next{0};
  std::atomic<int> completions{0};
};

// Starts at its peak, so the first tone sample cannot be mistaken for silence.
int16_t Tone(int n) {
  return static_cast<int16_t>(std::lround(8000 * std::cos(n * 2 * M_PI / 100)));
}

void RenderTone(ToneQueue& q, int which) {
  const int start = q.next.fetch_add(2205);
  for (int i = 0; i < 2205; ++i) q.samples[which][i] = Tone(start + i);
  q.buffers[which].samples = q.samples[which].data();
  q.buffers[which].count = 2205;
}

void RefillTone(AudioQueueBuffer* buffer, void* user) {
  auto* q = static_cast<ToneQueue*>(user);
  q->completions.fetch_add(1);
  RenderTone(*q, buffer == &q->buffers[0] ? 0 : 1);
  AudioQueueWrite(buffer);
}

TEST(AudioSdl, DiskDriverRecordsTheQueuedToneAndTheRing) {
  const std::string path =
      ::testing::TempDir() + "quellmark-disk-audio-" + std::to_string(getpid()) + ".raw";
  std::remove(path.c_str());
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
  AudioSetBackend(AudioBackend::Sdl);

  ToneQueue q;
  std::vector<int16_t> ring(2 * 100);  // a constant 3 on the left, -3 on the right
  for (size_t i = 0; i < ring.size(); ++i) ring[i] = i % 2 == 0 ? 3 : -3;
  ASSERT_EQ(AudioQueueOpen(RefillTone, &q), AudioOk) << AudioErrorText(AudioErrNoDevice);
  ASSERT_EQ(AudioRingOpen(), AudioOk);
  RenderTone(q, 0);
  RenderTone(q, 1);
  AudioQueueWrite(&q.buffers[0]);
  AudioQueueWrite(&q.buffers[1]);
  AudioRingPlay(ring.data(), static_cast<uint32_t>(ring.size() * 2));
  AudioRingPublish();
  AudioQueueRestart();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (q.completions.load() < 6 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_GE(AudioRingPosition(), 6u * 2205 * 4);
  AudioQueueClose();
  AudioRingClose();
  AudioShutdown();
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");
  ASSERT_GE(q.completions.load(), 6);

  std::ifstream file(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const auto* recorded = reinterpret_cast<const int16_t*>(bytes.data());
  const size_t frames = bytes.size() / 4;
  // The ring plays from the first callback, the queue from the restart on; find where the tone
  // starts and check the next 5 buffers' worth sample for sample, ring included. A refill that
  // comes late on a busy machine leaves frames of the ring alone (3, -3) between two buffers:
  // those are skipped, but the tone must go on exactly where it stopped.
  size_t start = 0;
  while (start < frames && (recorded[2 * start] == 3 || recorded[2 * start] == 0)) ++start;
  size_t at = start;
  for (int i = 0; i < 5 * 2205; ++i) {
    // (Where the tone itself is 0 its frame looks like the ring alone; nothing is skipped then.)
    while (Tone(i) != 0 && at < frames && recorded[2 * at] == 3 && recorded[2 * at + 1] == -3) ++at;
    ASSERT_LT(at, frames) << "the recording ends at tone frame " << i;
    ASSERT_EQ(recorded[2 * at], Tone(i) + 3) << "frame " << i;
    ASSERT_EQ(recorded[2 * at + 1], Tone(i) - 3) << "frame " << i;
    ++at;
  }
  std::remove(path.c_str());
}

// Waits up to 5 s for `count` to reach `target`.
bool ReachesWithin5s(const std::atomic<int>& count, int target) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (count.load() < target && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return count.load() >= target;
}

// The real device path: SDL's removal event for the open device (posted as a driver posts it
// when a device is unplugged) stops the refill rotation without leaving the completion thread
// waiting; stopping, reopening and shutting down all return, and the reopened device plays.
TEST(AudioSdl, RemovalEventStopsTheQueueAndAReopenPlaysAgain) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  AudioSetBackend(AudioBackend::Sdl);
  ToneQueue q;
  ASSERT_EQ(AudioQueueOpen(RefillTone, &q), AudioOk) << AudioErrorText(AudioErrNoDevice);
  ASSERT_EQ(AudioRingOpen(), AudioOk);
  RenderTone(q, 0);
  RenderTone(q, 1);
  AudioQueueWrite(&q.buffers[0]);
  AudioQueueWrite(&q.buffers[1]);
  AudioQueueRestart();
  EXPECT_TRUE(ReachesWithin5s(q.completions, 3));

  AudioFaultRemoveDevice();
  EXPECT_TRUE(AudioDeviceLost());
  // Both buffers come back once more and their requeues are refused; then the rotation is over.
  const int returned = q.completions.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LE(q.completions.load(), returned + 2);
  const int settled = q.completions.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(q.completions.load(), settled);
  EXPECT_EQ(AudioQueueWrite(&q.buffers[0]), AudioErrDeviceLost);
  AudioQueueClose();
  AudioRingClose();

  // The next open replaces the lost device with a new one, which plays.
  ASSERT_EQ(AudioQueueOpen(RefillTone, &q), AudioOk);
  EXPECT_FALSE(AudioDeviceLost());
  AudioQueueWrite(&q.buffers[0]);
  AudioQueueWrite(&q.buffers[1]);
  AudioQueueRestart();
  EXPECT_TRUE(ReachesWithin5s(q.completions, settled + 3));
  AudioQueueClose();
  AudioShutdown();
  unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
