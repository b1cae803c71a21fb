#pragma once
// Controls of the headless display backend, used by tests and tools in place of a window.
//
// Frames are kept in memory; input comes from a script of events at frame numbers; the clock is
// virtual: every presented frame advances it by a fixed step (a present that waits for the
// display's refresh, one refresh lasting the step) and every SleepMs on the program's thread by its
// milliseconds, so a run gives the same pictures every time. With `nosync` presents return at once
// instead, as in a window without retrace waits, and the display layer's own pacing holds each
// frame to one step.
//
// Script: one event a line, "FRAME COMMAND ARGS", '#' starts a comment. FRAME counts presented
// frames from 1; an event at frame N takes effect right after frame N is presented, so the
// program sees it from its next poll on.
//   move X Y          pointer to (X, Y)
//   down | up         left button;  rdown | rup  right button
//   wheel N           N notches (positive away from the reader)
//   keydown K | keyup K | key K   (key K: down at this frame, up at the next)
//       K: Escape F1..F12 Up Down PageUp PageDown Home End
//   click | rclick    left or right button down and up again before the next frame
//   tap K             key K down and up again before the next frame
//   close             the window's close button (or SIGINT, SIGTERM)
//   shot NAME [WxH]   save frame FRAME as NAME.png in the output folder; with a size, scaled
//                     to it as a window of that size shows it (display/sharp_scale.h)
//   step SECONDS      the virtual time of each following frame (the refresh period)
//   nosync            presents from now on do not wait for the refresh
#include <cstdint>
#include <string>
#include <vector>

#include "display/frame_pacing.h"
#include "display/key_board.h"

struct HeadlessEvent {
  int frame = 0;
  std::string command;
  int a = 0, b = 0;
  std::string name;
};

struct HeadlessMessage {
  std::string text, caption;
};

struct HeadlessState {
  // Configuration.
  bool OpenFails = false;      // DisplayOpen reports failure (a machine without a display)
  bool ReducedMotion = false;  // what DisplayReducedMotion answers
  double FrameStep = 1.0 / 60.0;
  std::string OutputDir = ".";
  std::vector<HeadlessEvent> Script;
  size_t NextEvent = 0;
  bool PresentWaits = true;  // false: presents return at once and the frame pacer waits instead
  int MaxFrames = 0;         // > 0: the run is ended (exit status 2) after this many frames
  void (*FrameHook)() = nullptr;  // called after every presented frame (tools record audio here)
  // Called by EndProcess with the exit status, after the audio has stopped; returns the status
  // to exit with (tools finish their output files here).
  int (*EndHook)(int status) = nullptr;

  // Display state.
  bool Open = false;
  int32_t Width = 0, Height = 0;
  std::string Title;
  uint8_t Ask = 0, Popup = 0, ExitOnClose = 1;
  int32_t Windowed = 1, Vsync = 1, WheelStep = 1;
  int32_t MouseX = 0, MouseY = 0, Wheel = 0;
  MouseButton MouseLeft, MouseRight;
  bool CloseRequested = false;
  FramePacer Pacer;
  bool CursorHidden = false;
  int Frame = 0;  // frames presented so far
  double Clock = 1000.0;
  std::vector<uint32_t> LastFrame;
  std::vector<std::string> ShotsWritten;
  std::vector<std::string> ShotsFailed;  // "PATH: reason" for each shot that was not written
  std::vector<HeadlessMessage> Messages;
  std::vector<std::pair<int, int>> PendingKeyUps;  // (frame, key)
};

extern HeadlessState Headless;

// Back to a closed display, frame 0, an empty script and default configuration.
void HeadlessReset();
// Parses a script; on a malformed line returns false and names the line in `error`.
bool HeadlessLoadScript(const std::string& text, std::string* error);
