// The headless display backend: the same interface as the window, for tests and tools.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "display/audio.h"
#include "display/display.h"
#include "display/headless.h"
#include "display/key_board.h"
#include "display/png_file.h"
#include "display/sharp_scale.h"

HeadlessState Headless;

namespace {

KeyBoard Keys;
// The thread that runs the program: only its sleeps move the virtual clock. Player threads that
// sleep really sleep.
std::thread::id ProgramThread;

int KeyNamed(const std::string& name) {
  if (name == "Escape") return KeyEscape;
  if (name == "Up") return KeyUp;
  if (name == "Down") return KeyDown;
  if (name == "PageUp") return KeyPageUp;
  if (name == "PageDown") return KeyPageDown;
  if (name == "Home") return KeyHome;
  if (name == "End") return KeyEnd;
  if (name.size() >= 2 && name[0] == 'F') {
    const int n = std::atoi(name.c_str() + 1);
    if (n >= 1 && n <= 12 && name == "F" + std::to_string(n)) return KeyF1 + n - 1;
  }
  return 0;
}

void ApplyEvent(const HeadlessEvent& e) {
  HeadlessState& h = Headless;
  if (e.command == "move") {
    h.MouseX = std::clamp(e.a, 0, std::max(0, h.Width - 1));
    h.MouseY = std::clamp(e.b, 0, std::max(0, h.Height - 1));
  } else if (e.command == "down" || e.command == "up") {
    MouseButtonSet(h.MouseLeft, e.command == "down");
  } else if (e.command == "rdown" || e.command == "rup") {
    MouseButtonSet(h.MouseRight, e.command == "rdown");
  } else if (e.command == "click") {
    MouseButtonSet(h.MouseLeft, true);
    MouseButtonSet(h.MouseLeft, false);
  } else if (e.command == "rclick") {
    MouseButtonSet(h.MouseRight, true);
    MouseButtonSet(h.MouseRight, false);
  } else if (e.command == "tap") {
    KeyBoardPress(Keys, e.a);
    KeyBoardRelease(Keys, e.a);
  } else if (e.command == "close") {
    if (h.ExitOnClose) {
      DisplayClose();
      EndProcess(0);
    }
    h.CloseRequested = true;
  } else if (e.command == "nosync") {
    h.PresentWaits = false;
  } else if (e.command == "wheel") {
    h.Wheel += e.a * h.WheelStep;
  } else if (e.command == "keydown") {
    KeyBoardPress(Keys, e.a);
  } else if (e.command == "keyup") {
    KeyBoardRelease(Keys, e.a);
  } else if (e.command == "key") {
    KeyBoardPress(Keys, e.a);
    h.PendingKeyUps.emplace_back(e.frame + 1, e.a);
  } else if (e.command == "shot") {
    const std::string path = h.OutputDir + "/" + e.name + ".png";
    std::string reason = "no frame to save yet";
    // A size given: the frame as the window shows it at that size, through the sharp scaler.
    std::vector<uint32_t> scaled;
    const int width = e.a > 0 ? e.a : h.Width, height = e.a > 0 ? e.b : h.Height;
    if (e.a > 0 && !h.LastFrame.empty()) {
      SharpScaler scaler;
      SharpScaleSetUp(scaler, h.Width, h.Height, width, height);
      scaled.resize(static_cast<size_t>(width) * height);
      SharpScale(scaler, h.LastFrame.data(), scaled.data(), width);
    }
    const uint32_t* frame = e.a > 0 ? scaled.data() : h.LastFrame.data();
    if (!h.LastFrame.empty() && WritePng(path, frame, width, height, &reason))
      h.ShotsWritten.push_back(path);
    else
      h.ShotsFailed.push_back(path + ": " + reason);
  } else if (e.command == "step") {
    h.FrameStep = e.a / 1e6;
  }
}

void ApplyEventsThrough(int frame) {
  HeadlessState& h = Headless;
  auto due = std::stable_partition(h.PendingKeyUps.begin(), h.PendingKeyUps.end(),
                                   [frame](const auto& p) { return p.first > frame; });
  for (auto it = due; it != h.PendingKeyUps.end(); ++it) KeyBoardRelease(Keys, it->second);
  h.PendingKeyUps.erase(due, h.PendingKeyUps.end());
  while (h.NextEvent < h.Script.size() && h.Script[h.NextEvent].frame <= frame)
    ApplyEvent(h.Script[h.NextEvent++]);
}

}  // namespace

void HeadlessReset() {
  Headless = HeadlessState{};
  Keys = KeyBoard{};
  ProgramThread = std::this_thread::get_id();
}

bool HeadlessLoadScript(const std::string& text, std::string* error) {
  std::vector<HeadlessEvent> events;
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(lineNumber) + ": " + why;
    return false;
  };
  while (std::getline(lines, line)) {
    ++lineNumber;
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    HeadlessEvent e;
    if (!(words >> e.frame)) {
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      return fail("expected a frame number");
    }
    if (e.frame < 0) return fail("negative frame number");
    if (!(words >> e.command)) return fail("expected a command");
    const std::string& c = e.command;
    if (c == "move") {
      if (!(words >> e.a >> e.b)) return fail("move needs X and Y");
    } else if (c == "wheel") {
      if (!(words >> e.a)) return fail("wheel needs a count");
    } else if (c == "keydown" || c == "keyup" || c == "key" || c == "tap") {
      std::string name;
      if (!(words >> name) || (e.a = KeyNamed(name)) == 0) return fail("unknown key");
    } else if (c == "shot") {
      if (!(words >> e.name) || e.name.find('/') != std::string::npos)
        return fail("shot needs a plain name");
      std::string size;
      char by = 0;
      if (words >> size && (!(std::istringstream(size) >> e.a >> by >> e.b) || by != 'x' ||
                            e.a < 1 || e.b < 1 || e.a > 8192 || e.b > 8192))
        return fail("shot size must be WIDTHxHEIGHT, 1 to 8192 each");
    } else if (c == "step") {
      double seconds = 0;
      if (!(words >> seconds) || !(seconds > 0 && seconds < 10)) return fail("bad step");
      e.a = static_cast<int>(seconds * 1e6 + 0.5);
    } else if (c != "down" && c != "up" && c != "rdown" && c != "rup" && c != "click" &&
               c != "rclick" && c != "close" && c != "nosync") {
      return fail("unknown command '" + c + "'");
    }
    std::string extra;
    if (words >> extra) return fail("unexpected '" + extra + "'");
    events.push_back(e);
  }
  std::stable_sort(
      events.begin(), events.end(),
      [](const HeadlessEvent& x, const HeadlessEvent& y) { return x.frame < y.frame; });
  Headless.Script = std::move(events);
  Headless.NextEvent = 0;
  // Events at frame 0 are the state before the first frame.
  ApplyEventsThrough(0);
  return true;
}

void DisplayConfigure(uint8_t ask, const char* question, int32_t windowed, uint8_t popup) {
  (void)question;
  Headless.Ask = ask;
  if (ask == 0) Headless.Windowed = windowed;
  Headless.Popup = popup;
}

void DisplaySetExitOnClose(uint8_t flag) {
  Headless.ExitOnClose = flag;
}
void DisplaySetVsync(int32_t flag) {
  Headless.Vsync = flag;
}

void DisplaySetWheel(int32_t step, int32_t counter) {
  Headless.WheelStep = step;
  Headless.Wheel = counter;
}

int32_t DisplayOpen(const char* title, int32_t width, int32_t height) {
  if (Headless.OpenFails || width <= 0 || height <= 0) return 0;
  if (Headless.Ask == 1) {
    Headless.Windowed =
        ShowMessageBox("Fullscreen Mode ?", title, MessageButtons::YesNo) == MessageAnswer::No;
  }
  Headless.Open = true;
  Headless.Width = width;
  Headless.Height = height;
  Headless.Title = title ? title : "";
  Headless.LastFrame.assign(static_cast<size_t>(width) * height, 0);
  ProgramThread = std::this_thread::get_id();
  return 1;
}

int32_t DisplayUpdate(const uint32_t* pixels) {
  HeadlessState& h = Headless;
  if (!h.Open || !pixels) return 0;
  std::copy(pixels, pixels + h.LastFrame.size(), h.LastFrame.begin());
  ++h.Frame;
  // A present that waits for the refresh takes one step; one that returns at once takes none and
  // the pacer sleeps to the next refresh instead.
  if (h.PresentWaits) h.Clock += h.FrameStep;
  FramePacingSetRate(h.Pacer, 1.0 / h.FrameStep);
  h.Clock += FramePacingDelay(h.Pacer, h.Clock);
  ApplyEventsThrough(h.Frame);
  if (h.FrameHook) h.FrameHook();
  if (h.MaxFrames > 0 && h.Frame >= h.MaxFrames) {
    std::fprintf(stderr, "headless run stopped after %d frames\n", h.Frame);
    EndProcess(2);
  }
  return 1;
}

void DisplayClose() {
  Headless.Open = false;
}

int32_t DisplayMouseX() {
  return Headless.MouseX;
}
int32_t DisplayMouseY() {
  return Headless.MouseY;
}
int32_t DisplayMouseLeft() {
  return MouseButtonRead(Headless.MouseLeft);
}
int32_t DisplayMouseRight() {
  return MouseButtonRead(Headless.MouseRight);
}
int32_t DisplayCloseRequested() {
  return Headless.CloseRequested ? 1 : 0;
}
int32_t DisplayMouseWheel() {
  return Headless.Wheel;
}
void* DisplayWindow() {
  return nullptr;
}
int32_t DisplayReducedMotion() {
  return Headless.ReducedMotion ? 1 : 0;
}

uint16_t KeyState(int key) {
  return KeyBoardQuery(Keys, key);
}

MessageAnswer ShowMessageBox(const char* text, const char* caption, MessageButtons buttons) {
  Headless.Messages.push_back({text ? text : "", caption ? caption : ""});
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
}

void HideCursor() {
  Headless.CursorHidden = true;
}

void EndProcess(int status) {
  AudioShutdown();
  if (Headless.EndHook) status = Headless.EndHook(status);
  std::fflush(nullptr);
  std::_Exit(status);
}

double TimerSeconds() {
  return Headless.Clock;
}

void SleepMs(int ms) {
  if (std::this_thread::get_id() == ProgramThread) {
    Headless.Clock += (ms < 0 ? 0 : ms) / 1000.0;
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms < 0 ? 0 : ms));
  }
}
