#pragma once
// The menu panel at the top of the screen: the issue's title, two columns of entries that choose
// a document (the Charts menu or the Articles menu), an entry that switches between the two menus,
// two rainbow rules, and the ticker line with the skin hint and the chosen song's credit. The
// clicks on it are handled in menu_clicks.h.
#include <cstdint>
#include <string>
#include <string_view>

constexpr int MenuEntries = 20;  // entry d selects document d
constexpr int InfoTexts = 5;

struct MenuState {
  std::string_view IssueTitle;
  std::string_view MenuTitle[MenuEntries + 1];  // entry 0 unused
  int32_t MenuEnabled[MenuEntries + 1];         // 1: drawn, and a click selects the document
  int32_t MenuCurrent[MenuEntries + 2];         // 1 for the document last chosen from a menu
  std::string InfoText[InfoTexts + 1];          // ticker texts 1..5 (5 is never shown)
  int32_t InfoIndex;                            // the ticker text shown
  int32_t InfoPos;                              // 1-based first character of the ticker window
  double InfoShift;                             // pixels moved within that character
};

extern MenuState Menu;

// Start-up: the ticker texts with their 65 leading spaces and the skin hint (the song credits
// are appended by SetSongCredits), the title and the captions with their flags, the editorial
// marked as current.
void BuildInfoTexts();
void SetMenuCaptions();

// The entry in slot 1..5 of column 1 or 2 of the menu shown (MenuMode); SwitchEntry is the
// entry that swaps the menus, in column 2, slot 5 of both.
constexpr int SwitchEntry = 0;
int MenuSlotEntry(int column, int slot);

// Per frame, from the page-frame composer.
void DrawMenuPanel();
void DrawTicker();
// No entry marked: used by a menu choice and by the Rules and Help buttons.
void ClearMenuMarks();
