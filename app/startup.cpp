#include "app/app_state.h"
#include "app/quellmark.h"
#include "app/viewer.h"
#include "content/content.h"
#include "render/text.h"

void StartUp() {
  ResetApp();
  // The content tables, filled with the issue; then the page view, opened on the editorial.
  ClearContent();
  FillContent();
  ResetViewer();
  LoadDocument(11);
  App.ScreenWidth = 800;
  App.ScreenHeight = 600;
  BuildTextColours();
  App.WheelNow = 0.0;
  App.WheelBefore = 0.0;
}
