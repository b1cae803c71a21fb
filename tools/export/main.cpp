// quellmark-export [--force] DIR
#include "tools/cli/cli.h"
#include "tools/export/export.h"

namespace {

constexpr char Help[] =
    "usage: quellmark-export [--force] DIR\n"
    "Writes the issue's 20 documents into the folder DIR, each as UTF-8 text (NN.txt) and as an\n"
    "HTML page (NN.html), with a contents page, index.html. DIR is created if needed.\n"
    "  --force    write into a folder that already holds files (ours are replaced)\n"
    "  --help     this text;  --version  the version\n";

}  // namespace

int main(int argc, char** argv) {
  Cli cli{"quellmark-export", Help, {{"--force", nullptr}}};
  if (!CliParse(cli, argc, argv)) return cli.Status;
  if (cli.Positional.empty()) return CliUsageError(cli, "", "missing DIR");
  if (cli.Positional.size() > 1)
    return CliUsageError(cli, cli.Positional[1], "one argument too many");
  std::string error;
  if (!ExportIssue(cli.Positional[0], CliFlag(cli, "--force"), error)) {
    return CliFailure(cli, "", error);
  }
  return 0;
}
