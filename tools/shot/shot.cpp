// quellmark-shot: runs the real program against the headless display and writes the frames a
// script names as PNG screenshots.
//
//   quellmark-shot --script FILE --out DIR [--step SECONDS] [--max-frames N]
//                  [--audio-out FILE.raw] [--no-display]
//
// --audio-out records what the program plays (44,100 Hz stereo signed 16-bit, raw), pulled in
// step with the virtual clock. --no-display makes the display fail to open, as on a machine
// without one. The exit status is the program's own.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/quellmark.h"
#include "display/audio.h"
#include "display/headless.h"

namespace {

struct ShotRun {
  FILE* audioFile = nullptr;
  double audioDue = 0.0;  // frames of audio owed to the file
};

ShotRun Run;

void RecordAudio() {
  Run.audioDue += Headless.FrameStep * MixRate;
  const int frames = static_cast<int>(Run.audioDue);
  if (frames <= 0) return;
  Run.audioDue -= frames;
  std::vector<int16_t> buffer(2 * static_cast<size_t>(frames));
  AudioCapturePull(buffer.data(), frames);
  std::fwrite(buffer.data(), sizeof(int16_t), buffer.size(), Run.audioFile);
}

int Usage() {
  std::fprintf(stderr,
               "usage: quellmark-shot --script FILE --out DIR [--step SECONDS] [--max-frames N]\n"
               "                      [--audio-out FILE.raw] [--no-display]\n");
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  std::string scriptPath, outDir = ".", audioPath;
  double step = 1.0 / 60.0;
  int maxFrames = 100000;
  bool noDisplay = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--script" && hasValue)
      scriptPath = argv[++i];
    else if (arg == "--out" && hasValue)
      outDir = argv[++i];
    else if (arg == "--audio-out" && hasValue)
      audioPath = argv[++i];
    else if (arg == "--step" && hasValue)
      step = std::atof(argv[++i]);
    else if (arg == "--max-frames" && hasValue)
      maxFrames = std::atoi(argv[++i]);
    else if (arg == "--no-display")
      noDisplay = true;
    else
      return Usage();
  }
  if (scriptPath.empty() || !(step > 0 && step < 10) || maxFrames <= 0) return Usage();

  std::ifstream file(scriptPath);
  if (!file) {
    std::fprintf(stderr, "quellmark-shot: cannot read %s\n", scriptPath.c_str());
    return 66;
  }
  std::stringstream text;
  text << file.rdbuf();

  HeadlessReset();
  Headless.FrameStep = step;
  Headless.OutputDir = outDir;
  Headless.MaxFrames = maxFrames;
  Headless.OpenFails = noDisplay;
  std::string error;
  if (!HeadlessLoadScript(text.str(), &error)) {
    std::fprintf(stderr, "quellmark-shot: %s: %s\n", scriptPath.c_str(), error.c_str());
    return 65;
  }

  if (!audioPath.empty()) {
    Run.audioFile = std::fopen(audioPath.c_str(), "wb");
    if (!Run.audioFile) {
      std::fprintf(stderr, "quellmark-shot: cannot write %s\n", audioPath.c_str());
      return 73;
    }
    AudioSetBackend(AudioBackend::Capture);
    Headless.FrameHook = RecordAudio;
  } else {
    AudioSetBackend(AudioBackend::Null);
  }

  const int status = RunQuellmark();
  if (Run.audioFile) std::fclose(Run.audioFile);
  for (const std::string& path : Headless.ShotsWritten) std::printf("%s\n", path.c_str());
  std::printf("%d frames, exit status %d\n", Headless.Frame, status);
  return status;
}
