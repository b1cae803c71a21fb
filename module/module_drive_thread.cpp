// The desktop's output drive: a thread of its own, at the highest priority the system grants,
// refills the ring every 5 ms.
#include <pthread.h>
#include <sched.h>

#include <chrono>

#include "module/module_player.h"

namespace {

void RaiseThreadPriority(std::thread& thread) {
  // Real-time scheduling needs privileges; without them the thread runs at normal priority,
  // which the 2-second ring tolerates.
  sched_param parameter{};
  parameter.sched_priority = sched_get_priority_max(SCHED_FIFO);
  pthread_setschedparam(thread.native_handle(), SCHED_FIFO, &parameter);
}

void OutputThread() {
  while (!ModulePlayer.StopRequest.load()) {
    FeedRing();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

void StartOutputDrive() {
  ModulePlayerState& p = ModulePlayer;
  p.StopRequest.store(false);
  p.Thread = std::thread(OutputThread);
  RaiseThreadPriority(p.Thread);
}

void StopOutputDrive() {
  ModulePlayerState& p = ModulePlayer;
  p.StopRequest.store(true);
  // Joining waits for the block in progress and for the thread to leave its loop.
  if (p.Thread.joinable()) p.Thread.join();
}
