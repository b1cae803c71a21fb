// The shared audio device: both sinks through the capture backend (exact), and the real SDL path
// with SDL's disk driver recording a test tone.
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

using Samples = std::vector<int16_t>;
using Buffers = std::vector<AudioQueueBuffer*>;

struct QueueLog {
  Buffers done;
  bool requeue = false;
  std::vector<int> writes;  // what each requeue answered
};

void RecordDone(AudioQueueBuffer* buffer, void* user) {
  auto* log = static_cast<QueueLog*>(user);
  log->done.push_back(buffer);
  if (log->requeue) log->writes.push_back(AudioQueueWrite(buffer));
}

Samples Pull(int frames) {
  Samples out(2 * frames);
  EXPECT_EQ(AudioCapturePull(out.data(), frames), frames);
  return out;
}

// The queue starts paused, then plays its buffers without gaps in order, each reported once when
// played out; a write after a drain plays at once; completions may requeue; a reset hands back
// what is queued. The ring loops and counts bytes, and the two sinks add, saturating.
TEST(AudioCapture, QueueAndRingPlayInOrderAndMix) {
  AudioSetBackend(AudioBackend::Capture);
  Samples a = {1, 2, 3}, b = {4, 5}, loud(2, 32760), ring = {10, -10, 20, -20, 30, -30};
  AudioQueueBuffer first{a.data(), 3}, second{b.data(), 2}, burst{loud.data(), 2};
  QueueLog log;
  ASSERT_EQ(AudioQueueOpen(RecordDone, &log), AudioOk);
  ASSERT_EQ(AudioQueueWrite(&first), AudioOk);
  ASSERT_EQ(AudioQueueWrite(&second), AudioOk);
  EXPECT_EQ(AudioQueueWrite(&first), AudioErrInvalid);  // already queued
  EXPECT_EQ(Pull(2), Samples(4, 0));                    // paused: nothing plays or finishes
  AudioQueueRestart();
  EXPECT_EQ(Pull(2), (Samples{1, 1, 2, 2}));
  EXPECT_TRUE(log.done.empty());
  EXPECT_EQ(Pull(4), (Samples{3, 3, 4, 4, 5, 5, 0, 0}));
  EXPECT_EQ(log.done, (Buffers{&first, &second}));
  log.requeue = true;
  ASSERT_EQ(AudioQueueWrite(&second), AudioOk);
  ASSERT_EQ(AudioQueueWrite(&first), AudioOk);
  EXPECT_EQ(Pull(6), (Samples{4, 4, 5, 5, 1, 1, 2, 2, 3, 3, 4, 4}));
  log.requeue = false;
  log.done.clear();
  AudioQueueReset();
  EXPECT_EQ(log.done, (Buffers{&second, &first}));

  ASSERT_EQ(AudioRingOpen(), AudioOk);
  ASSERT_EQ(AudioRingPlay(ring.data(), 12), AudioOk);
  EXPECT_EQ(Pull(4), (Samples{10, -10, 20, -20, 30, -30, 10, -10}));
  EXPECT_EQ(AudioRingPosition(), 16u);
  AudioQueueWrite(&burst);
  AudioQueueRestart();
  EXPECT_EQ(Pull(2), (Samples{32767, 32740, 32767, 32730}));
  AudioRingReset();
  EXPECT_EQ(Pull(1), (Samples{0, 0}));
  AudioRingClose();
  AudioQueueClose();
  EXPECT_EQ(AudioQueueWrite(&first), AudioErrNotOpen);
}

// A 441 Hz tone over two rotating buffers, re-rendered on every completion as the SID player's
// output works.
struct ToneQueue {
  Samples samples[2] = {Samples(2205), Samples(2205)};
  AudioQueueBuffer buffers[2];
  std::atomic<int> next{0}, completions{0};
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

// Opens the queue on SDL_AUDIODRIVER's driver and starts the rotation (rendered afresh unless
// `again`).
void StartTone(ToneQueue& q, bool again = false) {
  AudioSetBackend(AudioBackend::Sdl);
  ASSERT_EQ(AudioQueueOpen(RefillTone, &q), AudioOk) << AudioErrorText(AudioErrNoDevice);
  for (int k = 0; k < 2 && !again; ++k) RenderTone(q, k);
  AudioQueueWrite(&q.buffers[0]);
  AudioQueueWrite(&q.buffers[1]);
  AudioQueueRestart();
}

// Waits up to 10 s for `count` to reach `target`.
bool Reaches(const std::atomic<int>& count, int target) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (count.load() < target && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return count.load() >= target;
}

// The ring (a constant 3 on the left, -3 on the right) plays from the first callback, the queue
// from the restart on: from where the tone starts, 5 buffers' worth must be recorded sample for
// sample, ring included. A refill that comes late on a busy machine leaves frames of the ring
// alone between two buffers: those are skipped, but the tone must go on exactly where it stopped.
TEST(AudioSdl, DiskDriverRecordsTheQueuedToneAndTheRing) {
  const std::string path =
      ::testing::TempDir() + "quellmark-disk-audio-" + std::to_string(getpid()) + ".raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
  ToneQueue q;
  StartTone(q);
  Samples ring(2 * 100);
  for (size_t i = 0; i < ring.size(); ++i) ring[i] = i % 2 == 0 ? 3 : -3;
  ASSERT_EQ(AudioRingOpen(), AudioOk);
  AudioRingPlay(ring.data(), static_cast<uint32_t>(ring.size() * 2));
  AudioRingPublish();
  EXPECT_TRUE(Reaches(q.completions, 6));
  EXPECT_GE(AudioRingPosition(), 5u * 2205 * 4);
  AudioQueueClose();
  AudioRingClose();
  AudioShutdown();
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");

  std::ifstream file(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const auto* recorded = reinterpret_cast<const int16_t*>(bytes.data());
  const size_t frames = bytes.size() / 4;
  size_t at = 0;
  while (at < frames && (recorded[2 * at] == 3 || recorded[2 * at] == 0)) ++at;
  for (int i = 0; i < 5 * 2205; ++i, ++at) {
    // (Where the tone itself is 0 its frame looks like the ring alone; nothing is skipped then.)
    while (Tone(i) != 0 && at < frames && recorded[2 * at] == 3 && recorded[2 * at + 1] == -3) ++at;
    ASSERT_LT(at, frames) << "the recording ends at tone frame " << i;
    ASSERT_EQ(recorded[2 * at], Tone(i) + 3) << "frame " << i;
    ASSERT_EQ(recorded[2 * at + 1], Tone(i) - 3) << "frame " << i;
  }
  std::remove(path.c_str());
}

// The real device path: SDL's removal event for the open device (posted as a driver posts it
// when a device is unplugged) stops the refill rotation without leaving the completion thread
// waiting; both buffers come back once more with their requeues refused. Stopping, reopening and
// shutting down all return, and the reopened device plays.
TEST(AudioSdl, RemovalEventStopsTheQueueAndAReopenPlaysAgain) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ToneQueue q;
  StartTone(q);
  EXPECT_TRUE(Reaches(q.completions, 3));
  AudioFaultRemoveDevice();
  EXPECT_TRUE(AudioDeviceLost());
  const int returned = q.completions.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const int settled = q.completions.load();
  EXPECT_LE(settled, returned + 2);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(q.completions.load(), settled);
  EXPECT_EQ(AudioQueueWrite(&q.buffers[0]), AudioErrDeviceLost);
  AudioQueueClose();

  StartTone(q, true);
  EXPECT_FALSE(AudioDeviceLost());
  EXPECT_TRUE(Reaches(q.completions, settled + 3));
  AudioQueueClose();
  AudioShutdown();
  unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
