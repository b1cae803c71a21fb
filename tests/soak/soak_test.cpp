// A random reader: the whole program on the headless display with a virtual clock and the audio
// captured, driven by a seeded random stream of pointer moves, clicks, held and slid presses,
// wheel turns and keys (arrows, page keys, F1/F2), with clicks aimed at the buttons and menu
// entries among them. Everything but Exit and Escape is fair game. After every frame of the main
// part the state must be consistent; memory must stay flat after the warm-up.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <utility>

#include "app/app_state.h"
#include "app/menus.h"
#include "app/quellmark.h"
#include "common/shared_state.h"
#include "display/audio.h"
#include "display/display.h"
#include "display/headless.h"
#include "render/buttons.h"
#include "tests/support/push.h"

namespace {

constexpr int WarmUpFrame = 1000;

struct SoakState {
  std::mt19937 random{14};
  int frames = 0;         // presented frames before the soak asks the program to quit
  bool mainLoop = false;  // the main part has started (its clock moves)
  int releaseAt = 0;      // frame at which a held left button is let go; 0: not held
  int failures = 0;       // invariant failures reported (the first few are shown)
  long resident[2] = {};  // resident bytes at WarmUpFrame and at the end
  // Changes seen of the chosen song, the skin, the page (its line count) and the top line.
  int changes[4] = {}, last[4] = {};
};

SoakState Soak;

long ResidentBytes() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

int Uniform(int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(Soak.random);
}

// Exit's rectangle in either skin, with a margin: a press that lands or slides there would end
// the run.
bool NearExit(int x, int y) {
  for (int s = 1; s <= 2; ++s) {
    const int left = Buttons.ButtonLeft[s][1], top = Buttons.ButtonTop[s][1];
    if (x >= left - 4 && x <= left + Buttons.ButtonWidth[s][1] + 4 && y >= top - 4 &&
        y <= top + Buttons.ButtonHeight[s][1] + 4)
      return true;
  }
  return false;
}

// A point anywhere on the screen (off-screen values too: the program clamps its copy), or the
// middle of a button (2..10) or of a menu entry (columns 1 and 2, slots 1..6).
void RandomPoint(int& x, int& y) {
  const int kind = Uniform(0, 9), s = Shared.SkinNumber, b = Uniform(2, ButtonCount);
  x = kind < 3   ? Buttons.ButtonLeft[s][b] + Buttons.ButtonWidth[s][b] / 2
      : kind < 5 ? (Uniform(0, 1) == 0 ? 200 : 450)
                 : Uniform(-20, 820);
  y = kind < 3   ? Buttons.ButtonTop[s][b] + Buttons.ButtonHeight[s][b] / 2
      : kind < 5 ? 54 + 12 * Uniform(1, 6)
                 : Uniform(-20, 620);
  while (NearExit(x, y)) x += 40;
}

// One frame's input: mostly nothing, sometimes one action, queued for the next frame.
void RandomInput() {
  const int next = Headless.Frame + 1, roll = Uniform(0, 99);
  if (Soak.releaseAt != 0 && Headless.Frame >= Soak.releaseAt) {
    Push(next, "up");
    Soak.releaseAt = 0;
  }
  int x = 0, y = 0;
  if (roll < 25 || (roll < 33 && Soak.releaseAt == 0)) {
    RandomPoint(x, y);
    Push(next, "move", x, y);  // with the button held this slides the press
    if (roll < 25) return;
    Push(next + 1, "down");
    // Mostly a click of a few frames, sometimes a press held for up to two seconds.
    Soak.releaseAt = next + (Uniform(0, 3) == 0 ? Uniform(10, 120) : Uniform(1, 8));
  } else if (roll < 36) {
    Push(next, Uniform(0, 1) == 0 ? "rdown" : "rup");
  } else if (roll < 41) {
    Push(next, "wheel", Uniform(1, 4) * (Uniform(0, 1) == 0 ? 1 : -1));
  } else if (roll < 47) {
    static constexpr int keys[] = {KeyUp,  KeyDown, KeyPageUp, KeyPageDown,
                                   KeyEnd, KeyHome, KeyF1,     KeyF1 + 1};
    const int key = keys[Uniform(0, 7)];
    Push(next, "keydown", key);
    Push(next + Uniform(1, 60), "keyup", key);
  }
}

void CheckInvariants() {
  int marked = 0, songs = 0, song = 0;
  for (int d = 0; d <= MenuEntries + 1; ++d) marked += Menu.MenuCurrent[d];
  for (int k = 7; k <= 10; ++k) songs += Buttons.ButtonState[k] == 1;
  for (int k = 7; k <= 10; ++k) song = Buttons.ButtonState[k] == 1 ? k : song;
  const std::pair<bool, const char*> checks[] = {
      {App.TopLine >= 0 && App.TopLine <= std::max(0, App.LineCount - 33), "TopLine in range"},
      {App.MenuMode == 1 || App.MenuMode == 2, "MenuMode 1 or 2"},
      {marked <= 1, "at most one menu entry current"},
      {songs == 1, "one song button chosen"},
      {Shared.MouseDown == 1 || Shared.ClickTaken == 0, "ClickTaken only with the button down"},
      {Shared.MouseX >= 1 && Shared.MouseX <= 789 && Shared.MouseY >= 1 && Shared.MouseY <= 589,
       "mouse copy on the screen"},
      {Shared.SkinNumber == 1 || Shared.SkinNumber == 2, "skin 1 or 2"},
      {App.QuitRequested == 0 || Headless.Frame >= Soak.frames, "no quit asked for"}};
  for (const auto& [ok, what] : checks) {
    if (!ok && ++Soak.failures <= 5)
      ADD_FAILURE() << "frame " << Headless.Frame << ": not " << what;
  }
  const int now[4] = {song, Shared.SkinNumber, App.LineCount, App.TopLine};
  for (int k = 0; k < 4; ++k) Soak.changes[k] += now[k] != std::exchange(Soak.last[k], now[k]);
}

void Hook() {
  // What the device would play, pulled as it would be: about one frame's worth per frame.
  int16_t audio[2 * 735];
  AudioCapturePull(audio, 735);
  Soak.mainLoop = Soak.mainLoop || Shared.AnimClock > 0;
  if (Soak.mainLoop) CheckInvariants();
  if (Headless.Frame == WarmUpFrame) Soak.resident[0] = ResidentBytes();
  // The events already applied are dropped, so the script does not grow with the run.
  if (Headless.NextEvent == Headless.Script.size()) {
    Headless.Script.clear();
    Headless.NextEvent = 0;
  }
  if (Headless.Frame < Soak.frames) return RandomInput();
  App.QuitRequested = 1;
  Soak.resident[1] = ResidentBytes();
}

TEST(Soak, RandomInputKeepsTheProgramConsistent) {
  const char* length = std::getenv("QM_SOAK_FRAMES");
  HeadlessReset();
  AudioShutdown();
  AudioSetBackend(AudioBackend::Capture);
  Soak = SoakState{};
  Soak.frames = length ? std::atoi(length) : 20000;
  ASSERT_GT(Soak.frames, WarmUpFrame);
  Headless.FrameHook = Hook;
  Headless.MaxFrames = Soak.frames + 2000;  // a transition may still be running at the end
  EXPECT_EQ(RunQuellmark(), 0);
  AudioShutdown();
  EXPECT_GE(Headless.Frame, Soak.frames);
  EXPECT_EQ(Soak.failures, 0);
  std::printf(
      "soak: %d frames, %d song, %d skin, %d page changes, %d scrolls; resident memory "
      "%ld KiB at frame %d, %ld KiB at the end\n",
      Headless.Frame, Soak.changes[0], Soak.changes[1], Soak.changes[2], Soak.changes[3],
      Soak.resident[0] / 1024, WarmUpFrame, Soak.resident[1] / 1024);
  // The run must have gone through what it is meant to exercise (in its main part).
  for (int k = 0; k < 4; ++k) EXPECT_GT(Soak.changes[k], k == 3 ? 10 : 2) << "activity " << k;
    // Without AddressSanitizer (whose quarantine holds freed memory back) nothing may pile up;
    // under it, LeakSanitizer checks for leaks at exit.
#ifndef __SANITIZE_ADDRESS__
  EXPECT_LT(Soak.resident[1] - Soak.resident[0], 8L << 20);
#endif
}

}  // namespace
