// quellmark-render sid FILE.sid|--embedded N OUT.wav [--seconds S] [--song N]
//
// Renders a PSID tune to a 44,100 Hz mono WAV file through the player's own machine: the same
// start (machine init, load, init routine) and the same frames of 882 samples after each play
// call as the program's output, so tests and peers can compare against it.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sid/embedded_tunes.h"
#include "sid/sid_machine.h"
#include "tools/cli/cli.h"
#include "tools/render/render_commands.h"
#include "tools/render/wav_writer.h"

namespace {

constexpr size_t MaxImageBytes = 1 << 20;  // far above any PSID image; guards against huge files
constexpr uint64_t BytesPerSecond = MixRate * 2;
constexpr long MaxSeconds = WavMaxSeconds(BytesPerSecond);

constexpr char HelpStart[] =
    "usage: quellmark-render sid FILE.sid OUT.wav [--seconds S] [--song N]\n"
    "       quellmark-render sid --embedded N OUT.wav [--seconds S] [--song N]\n"
    "Renders a PSID or RSID tune to a 44,100 Hz mono 16-bit WAV file through the magazine's\n"
    "SID player, and names the song it plays.\n"
    "  --seconds S   length to render, 0.02 to ";
constexpr char HelpEnd[] =
    " (the most a WAV file holds; default 60)\n"
    "  --song N      the song to play, counted from 1 (default: the start song that the tune's\n"
    "                header names; the magazine itself plays song 1 of its built-in tunes)\n"
    "  --embedded N  the magazine's built-in tune N (1..12) instead of a file\n"
    "  --help        this text;  --version  the version\n";

uint32_t Word(const std::vector<uint8_t>& image, size_t offset) {
  return uint32_t{image[offset]} << 8 | image[offset + 1];
}

// What the renderer needs from the header, after checking that the image is a tune the player
// can start: the PSID or RSID magic, a known version with its data offset, data after the header,
// the load address in the data (the player always takes it from there) and an init address.
struct SidHeader {
  long Songs = 0;
  long StartSong = 0;
};

bool CheckSidHeader(const std::vector<uint8_t>& image, SidHeader* header, std::string* reason) {
  char text[128];
  if (image.size() < 0x76) {
    *reason = "too short for a PSID header (" + std::to_string(image.size()) + " bytes)";
    return false;
  }
  const std::string magic(image.begin(), image.begin() + 4);
  if (magic != "PSID" && magic != "RSID") {
    *reason = "not a SID tune (it does not start with \"PSID\" or \"RSID\")";
    return false;
  }
  const uint32_t version = Word(image, 4);
  if (version < (magic == "RSID" ? 2u : 1u) || version > 4) {
    *reason = magic + " version " + std::to_string(version) + " is not known";
    return false;
  }
  const uint32_t dataOffset = Word(image, 6);
  if (dataOffset != (version == 1 ? 0x76u : 0x7Cu)) {
    std::snprintf(text, sizeof text, "data offset 0x%04X does not match %s version %u", dataOffset,
                  magic.c_str(), version);
    *reason = text;
    return false;
  }
  if (image.size() < dataOffset + 3) {
    *reason = "no tune data after the header";
    return false;
  }
  if (Word(image, 8) != 0) {
    std::snprintf(text, sizeof text,
                  "load address $%04X in the header: this player takes it from the first two "
                  "data bytes",
                  Word(image, 8));
    *reason = text;
    return false;
  }
  if (Word(image, 10) == 0) {
    *reason = "init address 0 (the load address): this player needs the address itself";
    return false;
  }
  header->Songs = Word(image, 14);
  header->StartSong = Word(image, 16);
  if (header->Songs < 1 || header->Songs > 256) {
    *reason = "song count " + std::to_string(header->Songs) + " is outside 1..256";
    return false;
  }
  if (header->StartSong < 1 || header->StartSong > header->Songs) {
    *reason = "start song " + std::to_string(header->StartSong) + " is outside 1.." +
              std::to_string(header->Songs);
    return false;
  }
  return true;
}

}  // namespace

int RenderSidCommand(int argc, char** argv) {
  Cli cli{.Program = "quellmark-render sid",
          .Help = std::string(HelpStart) + std::to_string(MaxSeconds) + HelpEnd,
          .Options = {{"--seconds", "S"}, {"--song", "N"}, {"--embedded", "N"}}};
  if (!CliParse(cli, argc, argv)) return cli.Status;
  double seconds = 60;
  long song = 0;
  long embedded = 0;
  if (!CliNumber(cli, "--seconds", 0.02, MaxSeconds, &seconds) ||
      !CliInteger(cli, "--song", 1, 256, &song) ||
      !CliInteger(cli, "--embedded", 1, 12, &embedded)) {
    return cli.Status;
  }
  const size_t wanted = embedded != 0 ? 1 : 2;
  if (cli.Positional.size() < wanted) {
    return CliUsageError(cli, "",
                         embedded != 0 ? "missing OUT.wav" : "missing FILE.sid or OUT.wav");
  }
  if (cli.Positional.size() > wanted) {
    return CliUsageError(cli, cli.Positional[wanted], "one argument too many");
  }
  const std::string& output = cli.Positional.back();
  const long frames = std::lround(seconds * MixRate / FrameSamples);
  const uint64_t dataBytes = uint64_t(frames) * FrameSamples * 2;

  std::vector<uint8_t> image;
  std::string name;
  if (embedded != 0) {
    const EmbeddedTune* t = EmbeddedTunes;
    while (t->Number != 0 && t->Number != embedded) ++t;
    if (t->Number == 0) return CliFailure(cli, "--embedded", "tune not built in");
    image.assign(t->Image, t->Image + *t->Size);
    name = "built-in tune " + std::to_string(embedded);
  } else {
    name = cli.Positional[0];
    if (!CliReadFile(cli, name, MaxImageBytes, &image)) return cli.Status;
  }
  SidHeader header;
  std::string reason;
  if (!CheckSidHeader(image, &header, &reason)) return CliFailure(cli, name, reason);
  if (song == 0) song = header.StartSong;
  if (song > header.Songs) {
    return CliUsageError(cli, "--song",
                         std::to_string(song) + " is out of range: " + name + " has " +
                             std::to_string(header.Songs) + " song" +
                             (header.Songs == 1 ? "" : "s"));
  }

  auto machine = std::make_unique<SidMachine>();
  if (!SidLoadTune(*machine, image.data(), static_cast<uint32_t>(image.size()),
                   static_cast<uint8_t>(song - 1))) {
    return CliFailure(cli, name, "its data runs past the end of the 64 KB memory");
  }
  std::printf("%s: song %ld of %ld\n", name.c_str(), song, header.Songs);
  std::fflush(stdout);

  WavWriter wav;
  if (!WavOpen(wav, output, 1, MixRate, dataBytes, &reason)) return CliFailure(cli, output, reason);
  std::vector<int16_t> frame(FrameSamples);
  bool written = true;
  for (long f = 0; f < frames && written; ++f) {
    RenderFrame(*machine, frame.data(), FrameSamples);
    written = WavWrite(wav, frame.data(), frame.size());
    if (f % 500 == 499) {  // every 10 seconds of sound
      char text[64];
      std::snprintf(text, sizeof text, "rendered %.0f of %.0f s", (f + 1) * 0.02, seconds);
      CliProgress(text);
    }
  }
  CliProgressEnd();
  if (!WavClose(wav, &reason)) return CliFailure(cli, output, reason);
  if (machine->CallsCutShort != 0) {
    std::fprintf(stderr, "%s: %s: %u routine calls ran away and were stopped\n",
                 cli.Program.c_str(), name.c_str(), machine->CallsCutShort);
  }
  return 0;
}
