// quellmark-shot: runs the real program against the headless display and writes the frames a
// script names as PNG screenshots.
//
//   quellmark-shot --script FILE --out DIR [--step SECONDS] [--max-frames N]
//                  [--audio-out FILE.raw] [--no-display]
//
// --audio-out records what the program plays (44,100 Hz stereo signed 16-bit, raw), pulled in
// step with the virtual clock. --no-display makes the display fail to open, as on a machine
// without one. The exit status is the program's own, unless a shot or the sound could not be
// written: then it is 1.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/quellmark.h"
#include "display/audio.h"
#include "display/headless.h"
#include "tools/cli/cli.h"

namespace {

constexpr size_t MaxScriptBytes = 16 << 20;

constexpr char Help[] =
    "usage: quellmark-shot --script FILE --out DIR [--step SECONDS] [--max-frames N]\n"
    "                      [--audio-out FILE.raw] [--no-display]\n"
    "Runs the magazine against a display without a window, driven by the events of a script,\n"
    "and writes the frames the script names as PNG files into DIR (the script format is\n"
    "described in display/headless.h). Prints the files written and the program's exit status,\n"
    "and exits with that status, or 1 when a shot or the sound could not be written.\n"
    "  --script FILE      the events, one a line: FRAME COMMAND ARGS\n"
    "  --out DIR          the folder the shots go into; it must exist\n"
    "  --step SECONDS     virtual time of one frame, 0.001 to 10 (default 1/60)\n"
    "  --max-frames N     end the run after N frames, 1 to 10000000 (default 100000)\n"
    "  --audio-out FILE   record the sound: 44,100 Hz stereo signed 16-bit, raw\n"
    "  --no-display       the display fails to open, as on a machine without one\n"
    "  --help             this text;  --version  the version\n";

struct ShotRun {
  Cli cli{"quellmark-shot",
          Help,
          {{"--script", "FILE"},
           {"--out", "DIR"},
           {"--step", "SECONDS"},
           {"--max-frames", "N"},
           {"--audio-out", "FILE"},
           {"--no-display", nullptr}}};
  CliOutput audio;
  bool recording = false;
  double audioDue = 0.0;  // frames of audio owed to the file
};

// The run's state: the display's hooks reach it from inside the program's frames.
ShotRun Run;

void RecordAudio() {
  Run.audioDue += Headless.FrameStep * MixRate;
  const int frames = static_cast<int>(Run.audioDue);
  if (frames <= 0) return;
  Run.audioDue -= frames;
  std::vector<int16_t> buffer(2 * static_cast<size_t>(frames));
  AudioCapturePull(buffer.data(), frames);
  CliOutputWrite(Run.audio, buffer.data(), buffer.size() * sizeof(int16_t));
}

// Empty when `path` is a folder, else why not.
std::string NotAFolder(const std::string& path) {
  struct stat st = {};
  if (stat(path.c_str(), &st) != 0) return std::strerror(errno);
  return S_ISDIR(st.st_mode) ? "" : "not a folder";
}

// The end of a run, whether the program returned or the display ended the process: puts the
// sound file in place, reports what could not be written and lists what was.
int Finish(int status) {
  bool written = true;
  std::string error;
  if (Run.recording && !CliOutputCommit(Run.audio, &error)) {
    written = false;
    CliFailure(Run.cli, Run.audio.Path, error);
  }
  for (const std::string& failed : Headless.ShotsFailed) {
    written = false;
    CliFailure(Run.cli, "", failed);
  }
  for (size_t i = Headless.NextEvent; i < Headless.Script.size(); ++i) {
    const HeadlessEvent& e = Headless.Script[i];
    if (e.command != "shot") continue;
    written = false;
    CliFailure(Run.cli, Headless.OutputDir + "/" + e.name + ".png",
               "not taken: the run ended after frame " + std::to_string(Headless.Frame) +
                   ", before frame " + std::to_string(e.frame));
  }
  for (const std::string& path : Headless.ShotsWritten) std::printf("%s\n", path.c_str());
  std::printf("%d frames, exit status %d\n", Headless.Frame, status);
  return written ? status : CliStatusFailure;
}

}  // namespace

int main(int argc, char** argv) {
  Cli& cli = Run.cli;
  if (!CliParse(cli, argc, argv)) return cli.Status;
  double step = 1.0 / 60.0;
  long maxFrames = 100000;
  if (!CliNumber(cli, "--step", 0.001, 10, &step) ||
      !CliInteger(cli, "--max-frames", 1, 10000000, &maxFrames)) {
    return cli.Status;
  }
  if (!cli.Positional.empty()) return CliUsageError(cli, cli.Positional[0], "unexpected argument");
  const std::string* scriptPath = CliText(cli, "--script");
  const std::string* outDir = CliText(cli, "--out");
  if (scriptPath == nullptr) return CliUsageError(cli, "--script", "missing; it is required");
  if (outDir == nullptr) return CliUsageError(cli, "--out", "missing; it is required");
  if (const std::string why = NotAFolder(*outDir); !why.empty()) {
    return CliFailure(cli, *outDir, why);
  }

  std::vector<uint8_t> script;
  if (!CliReadFile(cli, *scriptPath, MaxScriptBytes, &script)) return cli.Status;
  HeadlessReset();
  Headless.FrameStep = step;
  Headless.OutputDir = *outDir;
  Headless.MaxFrames = static_cast<int>(maxFrames);
  Headless.OpenFails = CliFlag(cli, "--no-display");
  Headless.EndHook = Finish;
  std::string error;
  if (!HeadlessLoadScript(std::string(script.begin(), script.end()), &error)) {
    return CliFailure(cli, *scriptPath, error);
  }

  if (const std::string* audioPath = CliText(cli, "--audio-out")) {
    if (!CliOutputOpen(Run.audio, *audioPath, &error)) return CliFailure(cli, *audioPath, error);
    Run.recording = true;
    AudioSetBackend(AudioBackend::Capture);
    Headless.FrameHook = RecordAudio;
  } else {
    AudioSetBackend(AudioBackend::Null);
  }

  return Finish(RunQuellmark());
}
