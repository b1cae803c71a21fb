#include "app/app_state.h"
#include "app/quellmark.h"

void StartUp() {
  ResetApp();
  App.ScreenWidth = 800;
  App.ScreenHeight = 600;
  App.WheelNow = 0.0;
  App.WheelBefore = 0.0;
}
