#pragma once
// The display layer: one surface per process that shows the 800 x 600 frame buffer, gives the
// application the mouse state, and offers the few platform services the program calls directly
// (key state, message box, cursor, timer, sleep, process exit).
//
// Two implementations share this header and are chosen at link time: display_sdl.cpp for the
// program (a real window or full screen through SDL2) and display_headless.cpp for tests and tools
// (frames kept in memory, scripted input, a virtual clock).
#include <cstdint>

// ---- Surface -------------------------------------------------------------------------------
// Stores the ask flag, the question (the default "Fullscreen Mode ?" when empty or null), the
// windowed flag (only when ask = 0) and the popup flag.
void DisplayConfigure(uint8_t ask, const char* question, int32_t windowed, uint8_t popup);
// 1 = Escape or a close request closes the surface and ends the process with status 0.
// 0 = a close request (the window's close button, SIGINT, SIGTERM) is only recorded, for
// DisplayCloseRequested; the application then ends itself in its own order.
void DisplaySetExitOnClose(uint8_t flag);
void DisplaySetVsync(int32_t flag);
// Amount added or taken per wheel notch, and the counter's new value.
void DisplaySetWheel(int32_t step, int32_t counter);
// Opens the surface: 1 on success, 0 on any failure (nothing shown; the program's backend names
// the reason on standard error).
int32_t DisplayOpen(const char* title, int32_t width, int32_t height);
// Handles waiting events and presents width x height words 0x00RRGGBB (rows top to bottom), then
// waits for the display's next refresh if the present did not, so that a frame lasts one refresh
// in a window and at full screen alike. Returns 1, or 0 when nothing could be presented.
int32_t DisplayUpdate(const uint32_t* pixels);
void DisplayClose();
// Pointer position in surface pixels (0..width-1, 0..height-1) and wheel counter.
int32_t DisplayMouseX();
int32_t DisplayMouseY();
int32_t DisplayMouseWheel();
// Button state: 1 while the button is down, and also once after a press that was released again
// before this call (a tap shorter than a frame), else 0. Read it once per frame.
int32_t DisplayMouseLeft();
int32_t DisplayMouseRight();
// 1 once a close request has arrived while exit-on-close is off; it stays set.
int32_t DisplayCloseRequested();
// The platform window behind the surface (an SDL_Window* in the program), or null.
void* DisplayWindow();
// 1 when the reader has asked for reduced motion: QUELLMARK_REDUCED_MOTION=1 (=0 overrides the
// desktop), else the desktop's own setting where it can be read cheaply (GNOME's animations
// switched off, in a browser prefers-reduced-motion). The program's backend starts asking the
// desktop when the display opens, so the answer is usually ready by the time it is wanted.
int32_t DisplayReducedMotion();

// ---- Keyboard state -------------------------------------------------------------------------
// Key codes are the classic virtual-key numbers; the display layer maps physical keys to them.
enum : int {
  KeyPageUp = 0x21,
  KeyPageDown = 0x22,
  KeyEnd = 0x23,
  KeyHome = 0x24,
  KeyUp = 0x26,
  KeyDown = 0x28,
  KeyEscape = 0x1B,
  KeyF1 = 0x70,  // F1..F12 are KeyF1 + 0 .. KeyF1 + 11
  KeyF2 = 0x71,
};
// Bit 15: the key is down now. Bit 0: the key has been pressed since the previous query of this
// key (auto-repeat does not count as a press). Unknown keys answer 0.
uint16_t KeyState(int key);
// Pressed since the last query, whether still down or already released: a tap shorter than a
// frame counts too, a key held since before the last query does not.
inline bool KeyNewlyPressed(int key) {
  return (KeyState(key) & 1) != 0;
}

// ---- Message box, cursor, process -----------------------------------------------------------
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };
// Blocks until the user answers. Safe to call from any thread.
MessageAnswer ShowMessageBox(const char* text, const char* caption, MessageButtons buttons);
void HideCursor();
[[noreturn]] void EndProcess(int status);

// ---- Time ---------------------------------------------------------------------------------
// Monotonic clock in seconds, and a sleep in milliseconds.
double TimerSeconds();
void SleepMs(int ms);
