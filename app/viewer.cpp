#include "app/viewer.h"

#include <algorithm>
#include <cmath>

#include "app/app_state.h"
#include "common/rounding.h"
#include "common/shared_state.h"
#include "content/content.h"
#include "display/display.h"
#include "render/primitives.h"
#include "render/text.h"

ViewerState Viewer;

namespace {

// The page's rows on screen: row r (0..32) at y = ScrollPixel + 175 + 12 r, column k at x = 9 k
// + 23.
constexpr int PageRows = 33;
constexpr int32_t PageTop = 175;
constexpr int32_t RowHeight = 12;
constexpr int32_t PageLeft = 23;

// Colour code character to text colour: "1".."9" are 1..9, "A".."V" are 10..31, anything else 1.
int32_t ColourCode(char c) {
  if (c >= '1' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'V') return c - 'A' + 10;
  return 1;
}

// The numeric value of a code string, as the nearest integer: its leading digits, 0 if none.
int32_t CodeValue(std::string_view s) {
  int32_t value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9' || value > 100000) break;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The largest TopLine: the last 33 rows end at the last line.
int32_t LastTopLine() {
  return std::max(0, App.LineCount - PageRows);
}

// The lines a page key moves by: the rows drawn whole inside the page's clip at the present
// ScrollPixel, less one, so that the last whole line of the old page is the first whole line of
// the new one (and the other way round going up). The top rows and the last one are only partly
// inside the clip: moving by all 33 rows would skip the lines that lay under them.
int32_t PageStep() {
  const int32_t clipBottom = Shared.SkinNumber == 2 ? 570 : 569;
  const int32_t top = PageTop + App.ScrollPixel;
  const int32_t first = std::max(0, (PageClipTop - top + RowHeight - 1) / RowHeight);
  const int32_t last = std::min(PageRows - 1, (clipBottom - top - (RowHeight - 1)) / RowHeight);
  return std::max(1, last - first);
}

}  // namespace

void ResetViewer() {
  for (int line = 0; line < ViewLines; ++line) {
    std::fill(std::begin(Viewer.ViewText[line]), std::end(Viewer.ViewText[line]), 0);
    std::fill(std::begin(Viewer.ViewColour[line]), std::end(Viewer.ViewColour[line]), 0);
    std::fill(std::begin(Viewer.ViewStyle[line]), std::end(Viewer.ViewStyle[line]), 0);
    Viewer.ViewRule[line] = {};
  }
  Viewer.ScrollGlow = 0;
  Viewer.ScrollDragging = 0;
}

void LoadDocument(int document) {
  if (document < 1 || document > MaxDocument) return;
  App.LineCount = 4999;
  for (int line = 0; line <= 4999; ++line) {
    const std::string_view text = Content.ContentText[line][document];
    if (text.substr(0, 5) == "<END>") {
      App.LineCount = line;
      continue;
    }
    const std::string_view colour = Content.ContentColour[line][document];
    const std::string_view style = Content.ContentStyle[line][document];
    uint8_t* cells = Viewer.ViewText[line];
    uint8_t* colours = Viewer.ViewColour[line];
    uint8_t* styles = Viewer.ViewStyle[line];
    // Column 0 is always empty: the line strings are read from position 1.
    cells[0] = 0;
    colours[0] = 1;
    styles[0] = 0;
    for (size_t k = 1; k < ViewColumns; ++k) {
      cells[k] = k <= text.size() ? static_cast<uint8_t>(text[k - 1]) : 0;
      colours[k] = static_cast<uint8_t>(k <= colour.size() ? ColourCode(colour[k - 1]) : 1);
      const char s = k <= style.size() ? style[k - 1] : ' ';
      styles[k] = static_cast<uint8_t>(s >= '0' && s <= '9' ? s - '0' : 0);
    }
    Viewer.ViewRule[line] = Content.ContentRule[line][document];
  }
  App.ScrollPixel = 0;
  App.TopLine = 0;
}

void DrawPageRules(int32_t topLine) {
  for (int32_t r = 0; r < PageRows; ++r) {
    const int32_t y = App.ScrollPixel + PageTop + RowHeight * r;
    if (y + 6 > 192 && y + 6 < 569 && topLine + r < App.LineCount) {
      DrawRule(y + 6, 20, 750, CodeValue(Viewer.ViewRule[topLine + r]));
    }
  }
}

void DrawPageText(int32_t topLine) {
  const int32_t clipBottom = Shared.SkinNumber == 2 ? 570 : 569;
  for (int32_t r = 0; r < PageRows; ++r) {
    const int32_t line = topLine + r;
    if (line >= App.LineCount) break;
    const int32_t y = App.ScrollPixel + PageTop + RowHeight * r;
    const char* cells = reinterpret_cast<const char*>(Viewer.ViewText[line]);
    const uint8_t* colours = Viewer.ViewColour[line];
    const uint8_t* styles = Viewer.ViewStyle[line];
    // Inner rows of rule-less lines are painted opaquely; the edge rows and lines under a rule
    // are drawn transparently inside the page's clip rectangle.
    const bool opaque = Viewer.ViewRule[line] == "0" && r > 0 && r < 31;
    for (int32_t k = 0; k < ViewColumns; ++k) {
      const std::string_view cell(cells + k, cells[k] != 0 ? 1 : 0);
      const int32_t x = 9 * k + PageLeft;
      if (opaque) {
        DrawGlyphPage(cell, x, y, styles[k], colours[k]);
      } else {
        DrawGlyphClipped(cell, x, y, 0, 800, PageClipTop, clipBottom, styles[k], colours[k]);
      }
    }
  }
}

void DrawScrollbarThumb() {
  if (App.LineCount <= 33) return;
  const int32_t y = RoundEven(361.0 / (App.LineCount - 33) * App.TopLine) + 195;
  if (Shared.SkinNumber == 1) {
    BlendRect(779, y, 8, 19, 80, 100, 150, 250);
    BlendRect(779, y, 8, 19, Viewer.ScrollGlow, 100, 125, 200);
  } else {
    BlendRect(783, y, 9, 19, 80, 50, 150, 250);
    BlendRect(783, y, 9, 19, Viewer.ScrollGlow, 100, 150, 250);
  }
}

void HandleScrollbarDrag() {
  const int32_t d = Shared.SkinNumber == 2 ? 5 : 0;
  const double q = (App.LineCount - 32) / 352.0;
  if (Shared.MouseDown == 0) Viewer.ScrollDragging = 0;
  const bool hovered = Shared.MouseY > 200 && Shared.MouseY < 561 && Shared.MouseX > 775 + d &&
                       Shared.MouseX < 791 + d;
  if (hovered || Viewer.ScrollDragging == 1) {
    if (App.LineCount > 32) Shared.PointerShape = 2;
    if (Shared.MouseDown == 1 || Viewer.ScrollDragging == 1) Shared.PointerShape = 1;
    if (Shared.MouseDown == 1) {
      Viewer.ScrollDragging = 1;
      const int32_t top = RoundEven((Shared.MouseY - 200) * q);
      App.TopLine = std::clamp(top, 0, LastTopLine());
    }
    if (Viewer.ScrollGlow < 125) Viewer.ScrollGlow += 5;
  } else if (Viewer.ScrollGlow > 0) {
    Viewer.ScrollGlow -= 5;
  }
}

void ScrollByArrowKeys(bool downPressed, bool upPressed) {
  if (downPressed && App.TopLine < App.LineCount - PageRows) {
    App.ScrollPixel -= 6;
    if (App.ScrollPixel <= 0) {
      App.TopLine = std::min(App.TopLine + 1, App.LineCount - PageRows);
      App.ScrollPixel += 12;
    }
  }
  if (upPressed && App.TopLine > 0) {
    App.ScrollPixel += 6;
    if (App.ScrollPixel >= 11) {
      App.TopLine = std::max(App.TopLine - 1, 0);
      App.ScrollPixel -= 12;
    }
  }
}

void ScrollByWheel() {
  // A jump of the wheel counter larger than any page is held to one page's worth of lines, so the
  // conversion to an integer cannot overflow.
  const auto wheelLines = [](double turn) {
    return static_cast<int32_t>(std::min(std::floor(turn * 4), double{MaxLine}));
  };
  if (App.WheelNow < App.WheelBefore && App.TopLine < App.LineCount - PageRows) {
    App.TopLine = std::min(App.TopLine + wheelLines(App.WheelBefore - App.WheelNow),
                           App.LineCount - PageRows);
  }
  if (App.WheelNow > App.WheelBefore && App.TopLine > 0) {
    App.TopLine = std::max(App.TopLine - wheelLines(App.WheelNow - App.WheelBefore), 0);
  }
}

void ScrollByPageKey(int key) {
  switch (key) {
    case KeyPageUp:
      if (App.TopLine >= 1) App.TopLine = std::max(App.TopLine - PageStep(), 0);
      break;
    case KeyPageDown:
      if (App.TopLine < App.LineCount - PageRows) {
        App.TopLine = std::min(App.TopLine + PageStep(), App.LineCount - PageRows);
      }
      break;
    case KeyEnd:
      App.TopLine = LastTopLine();
      break;
    case KeyHome:
      App.TopLine = 0;
      break;
    default:
      break;
  }
}
