// quellmark-render SUBCOMMAND ...: dispatches to the subcommand's own argument handling.
#include <cstdio>
#include <cstring>

#include "tools/render/render_commands.h"

namespace {

struct Subcommand {
  const char* Name;
  int (*Run)(int argc, char** argv);
  const char* Usage;
};

constexpr Subcommand Subcommands[] = {
    {"sid", RenderSidCommand, "sid FILE.sid|--embedded N OUT.wav [--seconds S] [--song N]"},
    {"xm", RenderXmCommand, "xm FILE.xm|--embedded N OUT.wav [--seconds S]"},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2) {
    for (const Subcommand& s : Subcommands) {
      if (std::strcmp(argv[1], s.Name) == 0) return s.Run(argc - 1, argv + 1);
    }
  }
  std::fprintf(stderr, "usage:\n");
  for (const Subcommand& s : Subcommands) std::fprintf(stderr, "  quellmark-render %s\n", s.Usage);
  return 1;
}
