#pragma once
// A scripted reader for whole-program runs on the headless display: steps that act like a person
// (move, press and hold about 100 ms, release, keys) and checks, run from the display's frame
// hook in order, each after the previous one's wait. Steps start once the main loop runs.
#include <functional>
#include <string>
#include <vector>

#include "display/display.h"

struct ReaderStep {
  int wait = 0;                  // frames to let pass after this step
  std::function<void()> action;  // runs inside the frame hook, before the program's next poll
};

struct ReaderState {
  std::vector<ReaderStep> steps;
  size_t next = 0;
  int due = 0;               // frame at which the next step runs
  int mainLoopStart = 0;     // first main-loop frame, 0 until seen
  int pageChangeFrames = 0;  // main-part frames without the pointer: the page transitions' frames
  std::function<void()> everyFrame;  // optional, after the steps (audio capture)
};

extern ReaderState Reader;

// Resets the headless display, the capture audio and the reader. The intro is ended by a click at
// frame 100 (so the main loop starts at frame 275) unless `script` says otherwise.
void StartReader(const std::string& script = "100 move 400 300\n100 down\n106 up\n");
// Runs the program with the steps queued and returns its exit status.
int RunReader();

// Queues steps. A click holds the button for 6 frames (100 ms) and then waits `wait` frames.
void Move(int x, int y, int wait = 1);
void Click(int x, int y, int wait = 10);
void Key(int code, int wait = 10);  // a key of display/display.h
void Check(std::function<void()> check, int wait = 0);
// A click that changes the page: two transitions of 75 frames each, then `wait` frames.
void ClickPage(int x, int y, int wait = 10);

// The document the page viewer shows (1..20), found by comparing the view with the content
// tables; 0 if none matches.
int ShownDocument();
