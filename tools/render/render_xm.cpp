// quellmark-render xm: plays an XM module through the module player's replay and mixer (the same
// FillBlock the output thread runs) and writes the 16-bit stereo result to a WAV file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "module/module.h"
#include "tools/render/render_commands.h"

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

void Put16(FILE* f, uint32_t v) {
  const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
  std::fwrite(b, 1, 2, f);
}
void Put32(FILE* f, uint32_t v) {
  Put16(f, v & 0xFFFF);
  Put16(f, v >> 16);
}

void WriteWavHeader(FILE* f, uint32_t frames) {
  const uint32_t bytes = frames * 4;
  std::fwrite("RIFF", 1, 4, f);
  Put32(f, 36 + bytes);
  std::fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  Put16(f, 1);  // PCM
  Put16(f, 2);
  Put32(f, MixRate);
  Put32(f, MixRate * 4);
  Put16(f, 4);
  Put16(f, 16);
  std::fwrite("data", 1, 4, f);
  Put32(f, bytes);
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

  ModuleSetImage(image.data(), int32_t(image.size()));
  InstallFileOperations(MemoryFileOperations());
  ModuleSong* song = LoadSong();
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

  FILE* f = std::fopen(out.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    ReleaseRing(*machine);
    ReleaseSong(song);
    return 1;
  }
  const uint32_t total = uint32_t(seconds * MixRate);
  WriteWavHeader(f, total);
  uint32_t written = 0;
  int lastShown = -1;
  while (written < total) {
    const int32_t b = machine->fillBlockIndex;
    FillBlock(*machine);
    uint32_t n = std::min<uint32_t>(BlockLength, total - written);
    std::fwrite(machine->waveRing + size_t(b) * BlockLength * 2, 4, n, f);
    written += n;
    int shown = int(written / MixRate);
    if (shown != lastShown) {
      lastShown = shown;
      std::fprintf(stderr, "\rrendering %d / %.0f s  order %d row %d   ", shown, seconds,
                   song->orderPosition, song->row);
    }
  }
  std::fprintf(stderr, "\n");
  bool ok = std::fclose(f) == 0;
  ReleaseRing(*machine);
  ReleaseSong(song);
  return ok ? 0 : 1;
}
