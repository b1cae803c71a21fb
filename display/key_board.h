#pragma once
// Per-key state behind KeyState(): whether a key is down now, and whether it has been pressed
// since the previous query of that key; and the same latch for a mouse button. Both display
// backends keep these.
#include <cstdint>

struct KeyBoard {
  bool down[256] = {};
  bool pressed[256] = {};
};

// A key went down (not an auto-repeat): down now, and pressed since the last query.
inline void KeyBoardPress(KeyBoard& keys, int key) {
  if (key <= 0 || key > 255) return;
  keys.down[key] = true;
  keys.pressed[key] = true;
}

inline void KeyBoardRelease(KeyBoard& keys, int key) {
  if (key <= 0 || key > 255) return;
  keys.down[key] = false;
}

// Bit 15: down now; bit 0: pressed since the previous query, which this query consumes.
inline uint16_t KeyBoardQuery(KeyBoard& keys, int key) {
  if (key <= 0 || key > 255) return 0;
  const uint16_t value = (keys.down[key] ? 0x8000 : 0) | (keys.pressed[key] ? 1 : 0);
  keys.pressed[key] = false;
  return value;
}

// A mouse button read once per frame: down now, or pressed since the previous read even if it has
// been released again, so a click shorter than a frame is still seen for one read.
struct MouseButton {
  bool down = false;
  bool pressed = false;
};

inline void MouseButtonSet(MouseButton& button, bool down) {
  if (down) button.pressed = true;
  button.down = down;
}

inline int32_t MouseButtonRead(MouseButton& button) {
  const int32_t value = button.down || button.pressed ? 1 : 0;
  button.pressed = false;
  return value;
}
