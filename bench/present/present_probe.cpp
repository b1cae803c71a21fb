// A probe preloaded into the running magazine by bench/bench_table.py (LD_PRELOAD): it wraps
// the calls through which frames reach the screen (SDL_RenderPresent with a GPU renderer,
// SDL_UpdateWindowSurface and SDL_UpdateWindowSurfaceRects on the window surface), and publishes
// the number of frames presented and the monotonic time of the latest one in a 16-byte file
// named by QM_PROBE_FILE, so the script can read the frame rate while it measures CPU and memory.
// With QM_PROBE_EXIT=1 the process ends right after its first frame, for start-up timing.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

struct ProbeCounters {
  uint64_t Frames;
  uint64_t LastNs;  // CLOCK_MONOTONIC
};

ProbeCounters* Counters() {
  static ProbeCounters* counters = [] {
    const char* path = std::getenv("QM_PROBE_FILE");
    if (!path || !*path) return static_cast<ProbeCounters*>(nullptr);
    const int fd = open(path, O_RDWR | O_CREAT, 0644);
    if (fd < 0 || ftruncate(fd, sizeof(ProbeCounters)) != 0)
      return static_cast<ProbeCounters*>(nullptr);
    void* map = mmap(nullptr, sizeof(ProbeCounters), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    return map == MAP_FAILED ? nullptr : static_cast<ProbeCounters*>(map);
  }();
  return counters;
}

// Counts one presented frame; with QM_PROBE_EXIT=1 ends the process after the first.
void Presented() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  if (ProbeCounters* c = Counters()) {
    c->LastNs = uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
    std::atomic_thread_fence(std::memory_order_release);
    ++c->Frames;
  }
  const char* exitNow = std::getenv("QM_PROBE_EXIT");
  if (exitNow && std::strcmp(exitNow, "1") == 0) _exit(0);
}

template <typename Function>
Function Real(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" void SDL_RenderPresent(void* renderer) {
  static const auto real = Real<void (*)(void*)>("SDL_RenderPresent");
  real(renderer);
  Presented();
}

extern "C" int SDL_UpdateWindowSurface(void* window) {
  static const auto real = Real<int (*)(void*)>("SDL_UpdateWindowSurface");
  const int result = real(window);
  Presented();
  return result;
}

extern "C" int SDL_UpdateWindowSurfaceRects(void* window, const void* rects, int count) {
  static const auto real = Real<int (*)(void*, const void*, int)>("SDL_UpdateWindowSurfaceRects");
  const int result = real(window, rects, count);
  Presented();
  return result;
}
