// statsgen CSV OUT: writes the "Group Release Stats" page source OUT from the release table CSV.
#include <cstdio>

#include "generators/statsgen/statsgen.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: statsgen RELEASES.csv OUT.qmd\n");
    return 2;
  }
  const std::string error = GenerateStatsFile(argv[1], argv[2]);
  if (!error.empty()) {
    std::fprintf(stderr, "statsgen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
