// quellmark-render sid FILE.sid|--embedded N OUT.wav [--seconds S] [--song N]
//
// Renders a PSID tune to a 44,100 Hz mono WAV file through the player's own machine: the same
// start (machine init, load, init routine) and the same frames of 882 samples after each play
// call as the program's output, so tests and peers can compare against it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "sid/embedded_tunes.h"
#include "sid/sid_machine.h"
#include "tools/render/render_commands.h"
#include "tools/render/wav_writer.h"

namespace {

constexpr long MaxImageBytes = 1 << 20;  // far above any PSID image; guards against huge files
constexpr double MaxSeconds = 24 * 3600;
constexpr double ProgressAfterSeconds = 60;  // longer renders show a progress line

int Usage() {
  std::fprintf(stderr,
               "usage: quellmark-render sid FILE.sid|--embedded N OUT.wav [--seconds S] "
               "[--song N]\n"
               "  --seconds S   length to render (default 60)\n"
               "  --song N      song number as passed to the init routine (default 0: the "
               "first song)\n"
               "  --embedded N  the program's built-in tune N (1..12) instead of a file\n");
  return 1;
}

bool ReadFile(const char* path, std::vector<uint8_t>* bytes) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  long size = ok ? std::ftell(f) : -1;
  ok = ok && size >= 0 && size <= MaxImageBytes && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    bytes->resize(static_cast<size_t>(size));
    ok = std::fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
  }
  std::fclose(f);
  return ok;
}

bool ParseNumber(const char* text, double low, double high, double* value) {
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v >= low && v <= high)) return false;
  *value = v;
  return true;
}

}  // namespace

int RenderSidCommand(int argc, char** argv) {
  const char* input = nullptr;
  const char* output = nullptr;
  double seconds = 60;
  double song = 0;
  double embedded = 0;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--seconds") == 0 && hasValue) {
      if (!ParseNumber(argv[++i], 0.02, MaxSeconds, &seconds)) return Usage();
    } else if (std::strcmp(argv[i], "--song") == 0 && hasValue) {
      if (!ParseNumber(argv[++i], 0, 255, &song) || song != std::floor(song)) return Usage();
    } else if (std::strcmp(argv[i], "--embedded") == 0 && hasValue) {
      if (!ParseNumber(argv[++i], 1, 12, &embedded) || embedded != std::floor(embedded)) {
        return Usage();
      }
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      return Usage();
    } else if (input == nullptr && embedded == 0) {
      input = argv[i];
    } else if (output == nullptr) {
      output = argv[i];
    } else {
      return Usage();
    }
  }
  // With --embedded the only positional argument is the output.
  if (embedded != 0 && input != nullptr && output == nullptr) std::swap(input, output);
  if (output == nullptr || (input == nullptr) == (embedded == 0)) return Usage();

  std::vector<uint8_t> image;
  if (embedded != 0) {
    const EmbeddedTune* t = EmbeddedTunes;
    while (t->Number != 0 && t->Number != static_cast<int>(embedded)) ++t;
    if (t->Number == 0) {
      std::fprintf(stderr, "quellmark-render: tune %d is not built in\n",
                   static_cast<int>(embedded));
      return 2;
    }
    image.assign(t->Image, t->Image + *t->Size);
  } else if (!ReadFile(input, &image)) {
    std::fprintf(stderr, "quellmark-render: cannot read %s (or larger than %ld bytes)\n", input,
                 MaxImageBytes);
    return 2;
  }

  auto machine = std::make_unique<SidMachine>();
  if (!SidLoadTune(*machine, image.data(), static_cast<uint32_t>(image.size()),
                   static_cast<uint8_t>(song))) {
    std::fprintf(stderr,
                 "quellmark-render: not a usable PSID image (too short, or its payload "
                 "runs past the end of memory)\n");
    return 2;
  }
  WavWriter wav;
  if (!WavOpen(wav, output, 1, MixRate)) {
    std::fprintf(stderr, "quellmark-render: cannot write %s\n", output);
    return 3;
  }
  const long frames = std::lround(seconds * MixRate / FrameSamples);
  const bool progress = seconds >= ProgressAfterSeconds;
  std::vector<int16_t> frame(FrameSamples);
  for (long f = 0; f < frames; ++f) {
    RenderFrame(*machine, frame.data(), FrameSamples);
    if (!WavWrite(wav, frame.data(), frame.size())) break;
    if (progress && f % 500 == 499) {  // every 10 seconds of sound
      std::fprintf(stderr, "\rrendered %.0f of %.0f s", (f + 1) * 0.02, seconds);
    }
  }
  if (progress) std::fprintf(stderr, "\n");
  if (!WavClose(wav)) {
    std::fprintf(stderr, "quellmark-render: writing %s failed\n", output);
    return 3;
  }
  if (machine->CallsCutShort != 0) {
    std::fprintf(stderr, "quellmark-render: %u routine calls ran away and were stopped\n",
                 machine->CallsCutShort);
  }
  return 0;
}
