// quellmark-render SUBCOMMAND ...: dispatches to the subcommand's own argument handling.
#include <string>

#include "tools/cli/cli.h"
#include "tools/render/render_commands.h"

namespace {

struct Subcommand {
  const char* Name;
  int (*Run)(int argc, char** argv);
};

constexpr Subcommand Subcommands[] = {
    {"sid", RenderSidCommand},
    {"xm", RenderXmCommand},
};

constexpr char Help[] =
    "usage: quellmark-render sid FILE.sid|--embedded N OUT.wav [--seconds S] [--song N]\n"
    "       quellmark-render xm FILE.xm|--embedded N OUT.wav [--seconds S]\n"
    "Renders the magazine's music offline to WAV files, through the same players it plays\n"
    "with. 'quellmark-render sid --help' and 'quellmark-render xm --help' tell more.\n";

}  // namespace

int main(int argc, char** argv) {
  // Only the first argument is the renderer's own: the subcommand, --help or --version.
  Cli cli{"quellmark-render", Help};
  if (!CliParse(cli, argc < 2 ? 1 : 2, argv)) return cli.Status;
  if (cli.Positional.empty()) return CliUsageError(cli, "", "missing subcommand (sid or xm)");
  for (const Subcommand& s : Subcommands) {
    if (cli.Positional[0] == s.Name) return s.Run(argc - 1, argv + 1);
  }
  return CliUsageError(cli, cli.Positional[0], "unknown subcommand (sid or xm)");
}
