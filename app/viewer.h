#pragma once
// The page viewer: one document copied out of the content tables into per-character view tables,
// drawn as 33 rows of 81 cells (column 0 always empty) with rules, scrolled by the arrow keys, the
// wheel, the page keys and a draggable scrollbar. The page position (LineCount, TopLine,
// ScrollPixel) lives in App, where the menus and the transitions read it too.
#include <cstdint>
#include <string_view>

constexpr int ViewLines = 5001;  // view lines 0..5000; line 5000 is never written or shown
constexpr int ViewColumns = 81;  // columns 0..80

struct ViewerState {
  // One CP437 character per cell; 0 stands for the empty string (no page character is 0).
  uint8_t ViewText[ViewLines][ViewColumns];
  uint8_t ViewColour[ViewLines][ViewColumns];  // text colour 1..31
  uint8_t ViewStyle[ViewLines][ViewColumns];   // font style 1 or 2; 0 for no character
  std::string_view ViewRule[ViewLines];        // the line's rule code string
  int32_t ScrollGlow;                          // 0..125, the scrollbar thumb's highlight
  int32_t ScrollDragging;                      // 1 while the thumb is dragged
};

extern ViewerState Viewer;

// Empties the view and the scrollbar state (the page position is App's and reset with it).
void ResetViewer();

// Copies document `document` (1..20) from the content tables into the view and shows its top.
// LineCount becomes the line of its end marker (4999 if it has none).
void LoadDocument(int document);

// Per frame, from the main loop and the page-frame composer.
void DrawPageRules(int32_t topLine);
void DrawPageText(int32_t topLine);
// Per frame, when LineCount > 32: the thumb (drawn when LineCount > 33), then the drag handling
// with the application's mouse copy.
void DrawScrollbarThumb();
void HandleScrollbarDrag();

// Smooth scrolling: down first, then up, by 6 pixels per frame while a key is held.
void ScrollByArrowKeys(bool downPressed, bool upPressed);
// Whole lines by the change of App.WheelNow against App.WheelBefore: 4 lines per notch.
void ScrollByWheel();
// Page Up, Page Down, End or Home (display key codes), once per fresh press. Page Up and Page
// Down move by the rows shown whole less one, so the last whole line of one page is the first of
// the next; Home and End go to TopLine 0 and LineCount - 33.
void ScrollByPageKey(int key);
