#include "app/menus.h"

#include <cmath>

#include "app/app_state.h"
#include "common/rounding.h"
#include "common/shared_state.h"
#include "content/captions.h"
#include "content/content.h"
#include "render/primitives.h"
#include "render/text.h"

MenuState Menu;

namespace {

// Everything in the panel is clipped to this rectangle.
constexpr int32_t PanelLeft = 146;
constexpr int32_t PanelRight = 649;
constexpr int32_t PanelTop = 40;
constexpr int32_t PanelBottom = 145;

constexpr int ColumnX[3] = {0, 148, 402};
constexpr int LastEntryInIssue = 17;

// The entry in each slot: [menu][column][slot], slots 1..5.
constexpr int SlotEntry[3][3][6] = {
    {},
    {{}, {0, 1, 2, 3, 4, 5}, {0, 6, 7, 8, 9, SwitchEntry}},
    {{}, {0, 11, 13, 14, 15, 16}, {0, 17, 18, 19, 20, SwitchEntry}},
};
constexpr std::string_view SwitchCaption[3] = {"", "> Articles Menu", "> Charts Menu"};

constexpr std::string_view TickerPrefix =
    "F1 To select 'Grunge' skin    F2 To select 'Carbon' skin   Selected song: ";
constexpr int TickerLeadingSpaces = 65;
constexpr int TickerCharacters = 58;

int Mode() {
  return App.MenuMode == MenuCharts ? MenuCharts : MenuArticles;
}

void PanelText(std::string_view text, int32_t x, int32_t y, int32_t style, int32_t colour) {
  DrawTextClipped(text, x, y, PanelLeft, PanelRight, PanelTop, PanelBottom, style, colour);
}

// The hover bars of one column: all five slots, grey at rest and grey-blue under the pointer
// while no press is held.
void DrawColumnBars(int column, int32_t hoverLeft, int32_t hoverRight) {
  for (int s = 1; s <= 5; ++s) {
    const int32_t y = 49 + 12 * s;
    const bool hovered = y < Shared.MouseY && Shared.MouseY < y + 10 &&
                         hoverLeft <= Shared.MouseX && Shared.MouseX <= hoverRight &&
                         Shared.ClickTaken == 0;
    const int32_t h = hovered ? 65 : 0;
    if (hovered) Shared.PointerShape = 2;
    BlendRect(ColumnX[column], y, 245, 10, 60 + h, 100, 100, RoundEven(0.5 * h + 100));
  }
}

void DrawColumnMarks(int column, int slots) {
  for (int s = 1; s <= slots; ++s) {
    const int entry = MenuSlotEntry(column, s);
    if (Menu.MenuCurrent[entry] == 1)
      BlendRect(ColumnX[column], 48 + 12 * s, 245, 10, 90, 200, 100, 100);
  }
}

void DrawColumnCaptions(int column, int slots) {
  for (int s = 1; s <= slots; ++s) {
    const int entry = MenuSlotEntry(column, s);
    if (Menu.MenuEnabled[entry] == 1)
      PanelText(Menu.MenuTitle[entry], ColumnX[column], 48 + 12 * s, 1, 2);
  }
}

}  // namespace

int MenuSlotEntry(int column, int slot) {
  return SlotEntry[Mode()][column][slot];
}

void BuildInfoTexts() {
  for (int i = 1; i <= InfoTexts; ++i) {
    Menu.InfoText[i] = std::string(TickerLeadingSpaces, ' ') + std::string(TickerPrefix);
  }
  Menu.InfoIndex = 1;
  Menu.InfoPos = 1;
  Menu.InfoShift = 0.0;
}

static_assert(MenuEntries == MaxDocument, "menu entry d selects document d");

void SetMenuCaptions() {
  Menu.IssueTitle = "THE QUELLMARK ISSUE 47";
  for (int d = 0; d <= MenuEntries; ++d) {
    Menu.MenuTitle[d] = DocumentCaptions[d];
    // Entries after LastEntryInIssue are announced but not in this issue. Help and Rules are
    // enabled though no slot holds them: their buttons open them.
    Menu.MenuEnabled[d] = d >= 1 && d <= LastEntryInIssue ? 1 : 0;
  }
  for (int d = 0; d <= MenuEntries + 1; ++d) Menu.MenuCurrent[d] = 0;
  Menu.MenuCurrent[DocumentEditorial] = 1;  // loaded at start
}

void ClearMenuMarks() {
  for (int d = 1; d <= MenuEntries + 1; ++d) Menu.MenuCurrent[d] = 0;
}

void DrawMenuPanel() {
  const auto titleLength = static_cast<double>(Menu.IssueTitle.size());
  PanelText(Menu.IssueTitle, RoundEven(404 - 9 * titleLength / 2), 42, 1, 25);
  DrawColumnCaptions(1, 5);
  DrawColumnBars(1, 149, 392);
  DrawColumnMarks(1, 5);
  DrawColumnCaptions(2, 4);
  PanelText(SwitchCaption[Mode()], 402, 108, 1, 1);
  DrawColumnBars(2, 403, 646);
  DrawColumnMarks(2, 4);
  DrawRule(57, 144, 507, 8);
  DrawRule(122, 144, 507, 8);
}

void DrawTicker() {
  const int32_t y = Shared.SkinNumber == 2 ? 124 : 123;
  const auto x = static_cast<int32_t>(PanelLeft - std::floor(Menu.InfoShift));
  const std::string& text = Menu.InfoText[Menu.InfoIndex];
  const size_t from = static_cast<size_t>(Menu.InfoPos - 1);
  if (from < text.size())
    PanelText(std::string_view(text).substr(from, TickerCharacters), x, y, 2, 2);
  Menu.InfoShift += 1.0;
  if (Menu.InfoShift > 9.0) {
    Menu.InfoPos += 1;
    if (Menu.InfoPos > static_cast<int32_t>(text.size())) Menu.InfoPos = 1;
    Menu.InfoShift -= 9.0;
  }
}
