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
#ifdef __SANITIZE_ADDRESS__
constexpr bool UnderAddressSanitizer = true;
#else
constexpr bool UnderAddressSanitizer = false;
#endif

struct SoakState {
  std::mt19937 random;
  int frames = 0;         // presented frames before the soak asks the program to quit
  bool mainLoop = false;  // the main part has started (its clock moves)
  int releaseAt = 0;      // frame at which a held left button is let go; 0: not held
  int failures = 0;       // invariant failures reported (the first few are shown)
  long residentWarm = 0;  // resident bytes at WarmUpFrame
  long residentEnd = 0;   // and at the end
  int songChanges = 0, skinChanges = 0, pageChanges = 0, scrolls = 0;
  int lastSong = 0, lastSkin = 0, lastLineCount = 0, lastTopLine = 0;
};

SoakState Soak;

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

int Uniform(int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(Soak.random);
}

// Exit's rectangle in either skin, with a margin: a press that lands or slides there would end
// the run.
bool NearExit(int x, int y) {
  for (int skin = 1; skin <= 2; ++skin) {
    const int left = Buttons.ButtonLeft[skin][1], top = Buttons.ButtonTop[skin][1];
    if (x >= left - 4 && x <= left + Buttons.ButtonWidth[skin][1] + 4 && y >= top - 4 &&
        y <= top + Buttons.ButtonHeight[skin][1] + 4) {
      return true;
    }
  }
  return false;
}

// A point anywhere on the screen, or the middle of a button (2..10) or a menu entry.
void RandomPoint(int& x, int& y) {
  const int kind = Uniform(0, 9);
  if (kind < 3) {
    const int skin = Shared.SkinNumber;
    const int b = Uniform(2, ButtonCount);
    x = Buttons.ButtonLeft[skin][b] + Buttons.ButtonWidth[skin][b] / 2;
    y = Buttons.ButtonTop[skin][b] + Buttons.ButtonHeight[skin][b] / 2;
  } else if (kind < 5) {
    x = Uniform(0, 1) == 0 ? 200 : 450;  // menu columns 1 and 2, slots 1..6
    y = 54 + 12 * Uniform(1, 6);
  } else {
    x = Uniform(-20, 820);  // off-screen values too: the program clamps its copy
    y = Uniform(-20, 620);
  }
  while (NearExit(x, y)) x += 40;
}

// One frame's input: mostly nothing, sometimes one action, queued for the next frame.
void RandomInput() {
  const int next = Headless.Frame + 1;
  if (Soak.releaseAt != 0 && Headless.Frame >= Soak.releaseAt) {
    Push(next, "up");
    Soak.releaseAt = 0;
  }
  const int roll = Uniform(0, 99);
  int x = 0, y = 0;
  if (roll < 25) {
    RandomPoint(x, y);
    Push(next, "move", x, y);  // with the button held this slides the press
  } else if (roll < 33 && Soak.releaseAt == 0) {
    RandomPoint(x, y);
    Push(next, "move", x, y);
    Push(next + 1, "down");
    // Mostly a click of a few frames, sometimes a press held for up to two seconds.
    Soak.releaseAt = next + (Uniform(0, 3) == 0 ? Uniform(10, 120) : Uniform(1, 8));
  } else if (roll < 36) {
    Push(next, Uniform(0, 1) == 0 ? "rdown" : "rup");
  } else if (roll < 41) {
    const int notches = Uniform(1, 4);
    Push(next, "wheel", Uniform(0, 1) == 0 ? notches : -notches);
  } else if (roll < 47) {
    static constexpr int keys[] = {KeyUp,  KeyDown, KeyPageUp, KeyPageDown,
                                   KeyEnd, KeyHome, KeyF1,     KeyF1 + 1};
    const int key = keys[Uniform(0, 7)];
    Push(next, "keydown", key);
    Push(next + Uniform(1, 60), "keyup", key);
  }
}

void Expect(bool ok, const std::string& what) {
  if (ok) return;
  if (++Soak.failures <= 5) ADD_FAILURE() << "frame " << Headless.Frame << ": " << what;
}

void CheckInvariants() {
  const int last = std::max(0, App.LineCount - 33);
  Expect(App.TopLine >= 0 && App.TopLine <= last,
         "TopLine " + std::to_string(App.TopLine) + " outside 0.." + std::to_string(last));
  Expect(App.MenuMode == 1 || App.MenuMode == 2, "MenuMode " + std::to_string(App.MenuMode));
  int marked = 0;
  for (int d = 0; d <= MenuEntries + 1; ++d) marked += Menu.MenuCurrent[d];
  Expect(marked <= 1, std::to_string(marked) + " menu entries marked current");
  int songs = 0;
  for (int k = 7; k <= 10; ++k) songs += Buttons.ButtonState[k] == 1;
  Expect(songs == 1, std::to_string(songs) + " song buttons chosen");
  Expect(Shared.MouseDown == 1 || Shared.ClickTaken == 0, "ClickTaken set with the button up");
  Expect(Shared.MouseX >= 1 && Shared.MouseX <= 789 && Shared.MouseY >= 1 && Shared.MouseY <= 589,
         "mouse copy outside the screen");
  Expect(Shared.SkinNumber == 1 || Shared.SkinNumber == 2,
         "skin " + std::to_string(Shared.SkinNumber));
  Expect(App.QuitRequested == 0 || Headless.Frame >= Soak.frames, "the program was asked to quit");
}

void CountActivity() {
  int song = 0;
  for (int k = 7; k <= 10; ++k) song = Buttons.ButtonState[k] == 1 ? k : song;
  Soak.songChanges += song != Soak.lastSong;
  Soak.skinChanges += Shared.SkinNumber != Soak.lastSkin;
  Soak.pageChanges += App.LineCount != Soak.lastLineCount;
  Soak.scrolls += App.TopLine != Soak.lastTopLine;
  Soak.lastSong = song;
  Soak.lastSkin = Shared.SkinNumber;
  Soak.lastLineCount = App.LineCount;
  Soak.lastTopLine = App.TopLine;
}

void Hook() {
  // What the device would play, pulled as it would be: about one frame's worth per frame.
  int16_t audio[2 * 735];
  AudioCapturePull(audio, 735);
  if (!Soak.mainLoop && Shared.AnimClock > 0) Soak.mainLoop = true;
  if (Soak.mainLoop) {
    CheckInvariants();
    CountActivity();
  }
  if (Headless.Frame == WarmUpFrame) Soak.residentWarm = ResidentBytes();
  // The events already applied are dropped, so the script does not grow with the run.
  if (Headless.NextEvent == Headless.Script.size()) {
    Headless.Script.clear();
    Headless.NextEvent = 0;
  }
  if (Headless.Frame >= Soak.frames) {
    App.QuitRequested = 1;
    Soak.residentEnd = ResidentBytes();
    return;
  }
  RandomInput();
}

TEST(Soak, RandomInputKeepsTheProgramConsistent) {
  const char* length = std::getenv("QM_SOAK_FRAMES");
  HeadlessReset();
  AudioShutdown();
  AudioSetBackend(AudioBackend::Capture);
  Soak = SoakState{};
  Soak.random.seed(14);
  Soak.frames = length ? std::atoi(length) : 20000;
  ASSERT_GT(Soak.frames, WarmUpFrame);
  Headless.FrameHook = Hook;
  Headless.MaxFrames = Soak.frames + 2000;  // a transition may still be running at the end
  const int status = RunQuellmark();
  Headless.FrameHook = nullptr;
  AudioShutdown();
  AudioSetBackend(AudioBackend::Sdl);

  EXPECT_EQ(status, 0);
  EXPECT_TRUE(Soak.mainLoop);
  EXPECT_GE(Headless.Frame, Soak.frames);
  EXPECT_EQ(Soak.failures, 0);
  // The run must have gone through what it is meant to exercise.
  EXPECT_GT(Soak.songChanges, 2);
  EXPECT_GT(Soak.skinChanges, 2);
  EXPECT_GT(Soak.pageChanges, 2);
  EXPECT_GT(Soak.scrolls, 10);
  std::printf(
      "soak: %d frames, %d song changes, %d skin changes, %d page changes, %d scrolls; "
      "resident memory %ld KiB at frame %d, %ld KiB at the end\n",
      Headless.Frame, Soak.songChanges, Soak.skinChanges, Soak.pageChanges, Soak.scrolls,
      Soak.residentWarm / 1024, WarmUpFrame, Soak.residentEnd / 1024);
  // Without AddressSanitizer (whose quarantine holds freed memory back) nothing may pile up;
  // under it, LeakSanitizer checks for leaks at exit.
  if (!UnderAddressSanitizer) {
    EXPECT_LT(Soak.residentEnd - Soak.residentWarm, 8L << 20);
  }
}

}  // namespace
