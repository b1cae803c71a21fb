#pragma once
// The state that the application core writes and the renderer reads: the animation clocks, the
// chosen skin, the application's copy of the mouse and the pointer shape. One instance, `Shared`;
// ResetShared() restores the start values. Everything else the application owns stays in `App`.
#include <cstdint>

struct SharedState {
  // Clocks. AnimClock: main-loop time in 1/250 s (the rainbow rules). IntroStep: the last intro
  // frame's duration times 250 (scroller and star speeds). IntroPhase: intro time in 1/50 s.
  double AnimClock = 0.0;
  double IntroStep = 0.0;
  double IntroPhase = 0.0;

  int32_t SkinNumber = 1;  // 1 'Grunge', 2 'Carbon'

  // The application's copy of the mouse, taken once per frame after presenting: x held within
  // 1..789, y within 1..589. ClickTaken is 1 once a handler has used the current press.
  int32_t MouseX = 0;
  int32_t MouseY = 0;
  int32_t MouseDown = 0;
  int32_t ClickTaken = 0;
  int32_t PointerShape = 1;  // 1 arrow, 2 hand; reset by the button drawing every frame

  // 1: the reader asked for less motion (the desktop's setting or QUELLMARK_REDUCED_MOTION=1, in a
  // browser prefers-reduced-motion); the colour-band flashes are then calm fades instead.
  int32_t ReducedMotion = 0;
};

extern SharedState Shared;

void ResetShared();
