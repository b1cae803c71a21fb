#include "app/quellmark.h"

#include "app/intro.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "display/audio.h"
#include "display/display.h"
#include "module/module_player.h"
#include "render/intro_effects.h"
#include "render/intro_text.h"

int RunQuellmark() {
  StartUp();

  // Neither Escape nor a close request may end the process behind the application's back: the
  // loops watch Escape and close requests themselves, and shutdown below runs in its order. Open
  // full screen without asking.
  DisplaySetExitOnClose(0);
  DisplayConfigure(0, "THE QUELLMARK PREVIEW\rFULL SCREEN?", 0, 1);
  if (DisplayOpen("CODED BY VELTHRANE :-)", 800, 600) == 0) return -1;
  HideCursor();
  // The intro's state starts clean (a second run in the same process included) and its big font
  // is unpacked.
  ResetIntroEffects();
  BuildBigFont();

  RunIntro();
  if (DisplayCloseRequested() == 0) RunMainLoop();

  ModuleStop();
  ModuleFree();
  DisplayClose();
  AudioShutdown();
  return 0;
}
