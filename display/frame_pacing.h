#pragma once
// Frame pacing: every frame lasts at least one refresh of the display, whether or not presenting
// waits for the retrace. The animations move by fixed steps per frame, so without this a window
// whose presents return at once would run them several times too fast.
//
// Both display backends keep one FramePacer and ask it, right after each present (or after a
// frame that presented nothing), how long to sleep.

// The rate used when the platform does not report one.
constexpr double DefaultRefreshRate = 60.0;

struct FramePacer {
  double Period = 1.0 / DefaultRefreshRate;  // seconds per refresh
  double LastFrame = -1.0;                   // when the previous frame ended; < 0 before the first
};

// Sets the refresh rate in Hz; 0 or less (unknown) selects DefaultRefreshRate.
inline void FramePacingSetRate(FramePacer& pacer, double hertz) {
  pacer.Period = 1.0 / (hertz > 0 ? hertz : DefaultRefreshRate);
}

// Seconds to sleep after a present that returned at `now`. A present that came back more than a
// quarter period early did not wait for the retrace: sleep until one period after the previous
// frame. A present that waited (or a slow frame) needs nothing more. The previous frame's end is
// taken as the planned time, not the time the sleep returned, so oversleeping does not add up.
inline double FramePacingDelay(FramePacer& pacer, double now) {
  double wait = 0.0;
  if (pacer.LastFrame >= 0.0) {
    const double due = pacer.LastFrame + pacer.Period;
    if (now < due - pacer.Period / 4) wait = due - now;
  }
  pacer.LastFrame = now + wait;
  return wait;
}
