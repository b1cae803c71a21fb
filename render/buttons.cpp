#include "render/buttons.h"

#include <algorithm>

#include "common/shared_state.h"
#include "render/builtin_data.h"
#include "render/primitives.h"

ButtonTables Buttons;

namespace {

constexpr int32_t MaxGlow = 125;

int CurrentSkin() {
  return Shared.SkinNumber == 2 ? 2 : 1;
}

}  // namespace

// The list holds six values for each button in skin 1 and four in skin 2, after the pointer.
static_assert(BuiltInDataCount == PointerCodeCount + 6 * ButtonCount + 4 * ButtonCount);

void ReadButtonTables() {
  for (int i = 1; i <= ButtonCount; ++i) {
    Buttons.ButtonLeft[1][i] = ReadBuiltInData();
    Buttons.ButtonTop[1][i] = ReadBuiltInData();
    Buttons.ButtonWidth[1][i] = ReadBuiltInData();
    Buttons.ButtonHeight[1][i] = ReadBuiltInData();
    Buttons.ButtonState[i] = ReadBuiltInData();
    Buttons.ButtonGlow[i] = ReadBuiltInData();
  }
  for (int i = 1; i <= ButtonCount; ++i) {
    Buttons.ButtonLeft[2][i] = ReadBuiltInData();
    Buttons.ButtonTop[2][i] = ReadBuiltInData();
    Buttons.ButtonWidth[2][i] = ReadBuiltInData();
    Buttons.ButtonHeight[2][i] = ReadBuiltInData();
  }
}

bool ButtonHit(int button) {
  const int skin = CurrentSkin();
  const int32_t x = Buttons.ButtonLeft[skin][button];
  const int32_t y = Buttons.ButtonTop[skin][button];
  return x < Shared.MouseX && Shared.MouseX < x + Buttons.ButtonWidth[skin][button] &&
         y < Shared.MouseY && Shared.MouseY < y + Buttons.ButtonHeight[skin][button];
}

void DrawButtons() {
  const int skin = CurrentSkin();
  Shared.PointerShape = 1;
  for (int i = 1; i <= ButtonCount; ++i) {
    const int32_t x = Buttons.ButtonLeft[skin][i];
    const int32_t y = Buttons.ButtonTop[skin][i];
    const int32_t w = Buttons.ButtonWidth[skin][i];
    const int32_t h = Buttons.ButtonHeight[skin][i];
    int32_t& glow = Buttons.ButtonGlow[i];
    glow = std::max(glow - 3, 0);
    if (Buttons.ButtonState[i] != 1) {
      if (skin == 1) {
        BlendRect(x, y, w, h, glow, 30, 50, 125);
      } else {
        BlendRect(x, y, w, h, glow, 50, 100, 250);
      }
      if (ButtonHit(i)) {
        Shared.PointerShape = 2;
        if (Shared.ClickTaken == 0) glow = std::min(glow + 10, MaxGlow);
      }
    } else if (skin == 1) {
      BlendRect(x, y, w, h, 125, 125, 70, 20);
    } else {
      BlendRect(x, y, w, h, 95, 100, 150, 250);
    }
  }
}
