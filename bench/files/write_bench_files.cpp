// write_bench_files DIR: writes the benchmarks' music as files for the whole-process comparisons
// with the peer players (bench/bench_table.py): four.xm (4 channels), busy32.xm (32 channels) and
// busy.sid.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/module/bench_songs.h"
#include "bench/sid/busy_tune.h"

namespace {

bool Save(const std::string& path, const std::vector<uint8_t>& image) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<long>(image.size()));
  out.close();
  if (out) return true;
  std::fprintf(stderr, "write_bench_files: %s: cannot write\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_bench_files DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  return Save(dir + "/four.xm", WriteXm(FourChannelSong())) &&
                 Save(dir + "/busy32.xm", WriteXm(BusySong())) &&
                 Save(dir + "/busy.sid", BusyTune())
             ? 0
             : 1;
}
