// quellmark [--help | --version]: the magazine. Without arguments it opens and runs; the two
// options answer on standard output and the program ends without opening a window; any other
// argument is a usage error.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/quellmark.h"
#include "display/audio.h"
#include "display/display.h"
#include "module/module_player.h"
#include "sid/sid_player.h"

namespace {

constexpr char Usage[] = "usage: quellmark [--help | --version]\n";

constexpr char Help[] =
    "usage: quellmark [--help | --version]\n"
    "The Quellmark: issue 47 of the monthly chart magazine, with its intro, music and two skins.\n"
    "\n"
    "Alt+Enter           full screen or an 800 x 600 window\n"
    "Intro:\n"
    "  F1 to F12         play SID tune 1 to 12\n"
    "  Escape, click     on to the magazine\n"
    "Magazine:\n"
    "  mouse             buttons and menu entries; the wheel and the scrollbar scroll\n"
    "  Up, Down          scroll smoothly\n"
    "  Page Up/Down      by pages; Home and End: to the ends\n"
    "  F1, F2            the 'Grunge' and 'Carbon' skins\n"
    "  Escape            leave\n"
    "\n"
    "Warning: the intro opens and closes with 1.5 s and 3 s of flashing colour bands.\n"
    "QUELLMARK_REDUCED_MOTION=1, or the desktop's animations switched off (GNOME),\n"
    "turns them into a calm fade; QUELLMARK_REDUCED_MOTION=0 keeps them.\n"
    "\n"
    "  --help            show this text and exit\n"
    "  --version         show the version and exit\n";

// Output that could not be written (a closed pipe, a full disk) is a failure, not a success.
int Answer(const char* text) {
  std::fputs(text, stdout);
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

// A process that ends through exit() rather than through EndProcess (the X library's handler for
// a lost server connection calls exit(1)) runs the static destructors, and a std::thread that is
// still running when its destructor runs aborts the process. Registered after those statics were
// made, this runs before their destructors: the players stop and the audio layer joins its thread.
void StopMusicAtExit() {
  ModuleStop();
  SidStopTune();
  AudioShutdown();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) return Answer(Help);
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
    return Answer("quellmark " QM_VERSION "\n");
  if (argc > 1) {
    std::fputs(Usage, stderr);
    return 2;
  }
  std::atexit(StopMusicAtExit);
  EndProcess(RunQuellmark());
}
