// quellmark-render xm: plays an XM module through the module player's replay and mixer (the same
// FillBlock the output thread runs) and writes the 16-bit stereo result to a WAV file.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "module/module_player.h"
#include "tools/render/render_commands.h"
#include "tools/render/wav_writer.h"

namespace {

bool ReadFile(const char* path, std::vector<uint8_t>& data) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    data.insert(data.end(), buffer, buffer + n);
  std::fclose(f);
  return true;
}

int Usage() {
  std::fprintf(stderr, "usage: quellmark-render xm FILE.xm|--embedded N OUT.wav [--seconds S]\n");
  return 1;
}

}  // namespace

int RenderXmCommand(int argc, char** argv) {
  std::vector<std::string> positional;
  double seconds = 60.0;
  int embedded = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (a == "--embedded" && i + 1 < argc) {
      embedded = std::atoi(argv[++i]);
    } else {
      positional.push_back(a);
    }
  }
  if (seconds <= 0 || seconds > 24 * 3600) return Usage();
  std::vector<uint8_t> image;
  std::string out;
  if (embedded != 0) {
    if (embedded < 1 || embedded > 4 || positional.size() != 1) return Usage();
    const EmbeddedModule& m = EmbeddedModules[embedded];
    if (!m.data) {
      std::fprintf(stderr, "module %d is not built in\n", embedded);
      return 1;
    }
    image.assign(m.data, m.data + *m.size);
    out = positional[0];
  } else {
    if (positional.size() != 2) return Usage();
    if (!ReadFile(positional[0].c_str(), image)) {
      std::fprintf(stderr, "cannot read %s\n", positional[0].c_str());
      return 1;
    }
    out = positional[1];
  }

  ModuleSong* song = LoadSongFromImage(image.data(), int32_t(image.size()));
  if (!song) {
    std::fprintf(stderr, "not a playable XM module\n");
    return 1;
  }
  auto machine = std::make_unique<ModuleMachine>();
  if (!AllocateRing(*machine)) {
    ReleaseSong(song);
    return 1;
  }
  ResetMachine(*machine, song);

  WavWriter wav;
  if (!WavOpen(wav, out.c_str(), 2, MixRate)) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    WavClose(wav);
    ReleaseRing(*machine);
    ReleaseSong(song);
    return 1;
  }
  const uint32_t total = uint32_t(seconds * MixRate);
  uint32_t written = 0;
  int lastShown = -1;
  while (written < total) {
    const int32_t b = machine->fillBlockIndex;
    FillBlock(*machine);
    uint32_t n = std::min<uint32_t>(BlockLength, total - written);
    WavWrite(wav, machine->waveRing + size_t(b) * BlockLength * 2, size_t(n) * 2);
    written += n;
    int shown = int(written / MixRate);
    if (shown != lastShown) {
      lastShown = shown;
      std::fprintf(stderr, "\rrendering %d / %.0f s  order %d row %d   ", shown, seconds,
                   song->orderPosition, song->row);
    }
  }
  std::fprintf(stderr, "\n");
  bool ok = WavClose(wav);
  ReleaseRing(*machine);
  ReleaseSong(song);
  return ok ? 0 : 1;
}
