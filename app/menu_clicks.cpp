#include "app/menu_clicks.h"

#include "app/app_state.h"
#include "app/menus.h"
#include "app/trace.h"
#include "app/transitions.h"
#include "app/viewer.h"
#include "common/shared_state.h"
#include "render/buttons.h"

namespace {

void ChooseEntry(int entry) {
  if (entry == SwitchEntry || Menu.MenuEnabled[entry] != 1 || Menu.MenuCurrent[entry] != 0) return;
  ClearMenuMarks();
  Menu.MenuCurrent[entry] = 1;
  Buttons.ButtonState[ButtonRules] = 0;
  Buttons.ButtonState[ButtonHelp] = 0;
  PageCloseTransition();
  LoadDocument(entry);
  PageOpenTransition();
  TracePhase("document", entry);
}

}  // namespace

void HandleMenuClicks() {
  if (Shared.MouseDown != 1 || Shared.ClickTaken != 0) return;
  Shared.ClickTaken = 1;
  const int32_t x = Shared.MouseX;
  const int32_t y = Shared.MouseY;
  // Column 1 slots, then column 2 slots 1..4: a slot's hit box is its 11 inner rows.
  for (int column = 1; column <= 2; ++column) {
    const bool inColumn = column == 1 ? 146 < x && x < 391 : 400 < x && x < 645;
    const int slots = column == 1 ? 5 : 4;
    for (int s = 1; s <= slots; ++s) {
      if (inColumn && 48 + 12 * s < y && y < 60 + 12 * s) ChooseEntry(MenuSlotEntry(column, s));
    }
  }
  // The switch's box reaches into slot 4 of column 2: a click there chooses that entry first.
  if (400 < x && x < 645 && 104 < y && y < 120) {
    Buttons.ButtonState[ButtonCharts] = 0;
    Buttons.ButtonState[ButtonArticles] = 0;
    App.MenuMode = App.MenuMode + 1 > MenuArticles ? MenuCharts : App.MenuMode + 1;
  }
}
