#pragma once
// The ten buttons of the frame: Exit, Charts, Articles, Rules, Help, music on/off and four songs.
// Their labels are painted in the skin pictures; each frame adds a translucent highlight over each
// button's rectangle (a glow that grows under the mouse, or the tint of the current choice) and
// decides the pointer shape.
#include <cstdint>

// The buttons by their number in the tables.
enum : int {
  ButtonExit = 1,
  ButtonCharts,
  ButtonArticles,
  ButtonRules,
  ButtonHelp,
  ButtonMusic,  // state 1: the music is off
  ButtonSong1,
  ButtonSong2,
  ButtonSong3,
  ButtonSong4,
};
constexpr int ButtonCount = ButtonSong4;

struct ButtonTables {
  // Rectangles per skin (1 or 2) and button (1..10), covering x..x + w by y..y + h.
  int32_t ButtonLeft[3][ButtonCount + 1];
  int32_t ButtonTop[3][ButtonCount + 1];
  int32_t ButtonWidth[3][ButtonCount + 1];
  int32_t ButtonHeight[3][ButtonCount + 1];
  // 1 marks the current choice of its group; for ButtonMusic, 1 means the music is off.
  int32_t ButtonState[ButtonCount + 1];
  int32_t ButtonGlow[ButtonCount + 1];  // hover highlight, 0..125
};

extern ButtonTables Buttons;

// Reads the 100 button values from the built-in data list (after the pointer codes).
void ReadButtonTables();
// Per frame, right after the background: resets PointerShape to the arrow, fades and grows the
// glows, draws every button's highlight or tint, and sets the hand over a hovered button.
void DrawButtons();
// True when the mouse copy is strictly inside button `button`'s rectangle in the current skin.
bool ButtonHit(int button);
