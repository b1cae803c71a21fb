// quellmark-render xm: plays an XM module through the module player's replay and mixer (the same
// FillBlock the output thread runs) and writes the 16-bit stereo result to a WAV file.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "module/module_player.h"
#include "tools/cli/cli.h"
#include "tools/render/render_commands.h"
#include "tools/render/wav_writer.h"

namespace {

constexpr size_t MaxModuleBytes = 64 << 20;  // the largest module the loader is given
constexpr uint64_t BytesPerSecond = MixRate * 4;
constexpr long MaxSeconds = WavMaxSeconds(BytesPerSecond);
constexpr char Signature[] = "Extended Module: ";

constexpr char HelpStart[] =
    "usage: quellmark-render xm FILE.xm OUT.wav [--seconds S]\n"
    "       quellmark-render xm --embedded N OUT.wav [--seconds S]\n"
    "Renders an XM module to a 44,100 Hz stereo 16-bit WAV file through the magazine's module\n"
    "player.\n"
    "  --seconds S   length to render, 0.02 to ";
constexpr char HelpEnd[] =
    " (the most a WAV file holds; default 60)\n"
    "  --embedded N  the magazine's built-in module N (1..4) instead of a file\n"
    "  --help        this text;  --version  the version\n";

}  // namespace

int RenderXmCommand(int argc, char** argv) {
  Cli cli{.Program = "quellmark-render xm",
          .Help = std::string(HelpStart) + std::to_string(MaxSeconds) + HelpEnd,
          .Options = {{"--seconds", "S"}, {"--embedded", "N"}}};
  if (!CliParse(cli, argc, argv)) return cli.Status;
  double seconds = 60;
  long embedded = 0;
  if (!CliNumber(cli, "--seconds", 0.02, MaxSeconds, &seconds) ||
      !CliInteger(cli, "--embedded", 1, 4, &embedded)) {
    return cli.Status;
  }
  const size_t wanted = embedded != 0 ? 1 : 2;
  if (cli.Positional.size() < wanted) {
    return CliUsageError(cli, "", embedded != 0 ? "missing OUT.wav" : "missing FILE.xm or OUT.wav");
  }
  if (cli.Positional.size() > wanted) {
    return CliUsageError(cli, cli.Positional[wanted], "one argument too many");
  }
  const std::string& output = cli.Positional.back();
  const uint64_t total = uint64_t(seconds * MixRate);  // stereo frames
  const uint64_t dataBytes = total * 4;

  std::vector<uint8_t> image;
  std::string name;
  if (embedded != 0) {
    const EmbeddedModule& m = EmbeddedModules[embedded];
    if (!m.Data) return CliFailure(cli, "--embedded", "module not built in");
    image.assign(m.Data, m.Data + *m.Size);
    name = "built-in module " + std::to_string(embedded);
  } else {
    name = cli.Positional[0];
    if (!CliReadFile(cli, name, MaxModuleBytes, &image)) return cli.Status;
  }
  if (image.size() < std::strlen(Signature) ||
      std::memcmp(image.data(), Signature, std::strlen(Signature)) != 0) {
    return CliFailure(cli, name, "not an XM module (it does not start with \"Extended Module: \")");
  }
  const ModuleSong* song = LoadSong(image.data(), image.size());
  if (!song) return CliFailure(cli, name, "a damaged XM module that the player cannot load");
  auto machine = std::make_unique<ModuleMachine>();
  if (!AllocateRing(*machine)) {
    ReleaseSong(song);
    return CliFailure(cli, "", "out of memory");
  }
  ResetMachine(*machine, song);

  WavWriter wav;
  std::string reason;
  if (!WavOpen(wav, output, 2, MixRate, dataBytes, &reason)) {
    ReleaseRing(*machine);
    ReleaseSong(song);
    return CliFailure(cli, output, reason);
  }
  bool written = true;
  uint64_t done = 0;
  uint64_t shown = 0;
  while (written && done < total) {
    const int32_t b = machine->FillBlockIndex;
    FillBlock(*machine);
    const uint64_t n = std::min<uint64_t>(BlockLength, total - done);
    written = WavWrite(wav, machine->WaveRing + size_t(b) * BlockLength * 2, size_t(n) * 2);
    done += n;
    if (done / MixRate != shown) {
      shown = done / MixRate;
      char text[96];
      std::snprintf(text, sizeof text, "rendering %llu / %.0f s  order %d row %d",
                    static_cast<unsigned long long>(shown), seconds, machine->OrderPosition,
                    machine->Row);
      CliProgress(text);
    }
  }
  CliProgressEnd();
  ReleaseRing(*machine);
  ReleaseSong(song);
  if (!WavClose(wav, &reason)) return CliFailure(cli, output, reason);
  return 0;
}
