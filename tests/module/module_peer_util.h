#pragma once
// Peer renders for the module tests: Debian's xmp and openmpt123 play a module image to PCM.
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

inline bool HavePeer(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Left and right of interleaved 16-bit stereo averaged into one signal.
inline std::vector<float> MonoOf(const std::vector<int16_t>& stereo) {
  std::vector<float> mono;
  for (size_t i = 0; i + 1 < stereo.size(); i += 2)
    mono.push_back((float(stereo[i]) + stereo[i + 1]) * 0.5f);
  return mono;
}

// Renders `image` with the peer ("xmp" or "openmpt123") at 44,100 Hz for `seconds` (the peers stop
// earlier at the song's end) and returns the mono signal, empty when the peer failed. Safe to
// call from several threads at once.
inline std::vector<float> RenderPeerSignal(const char* peer, const std::vector<uint8_t>& image,
                                           int seconds) {
  static std::atomic<int> serial{0};
  const std::string xm =
      "/tmp/qm_peer_" + std::to_string(getpid()) + "_" + std::to_string(serial++) + ".xm";
  std::ofstream(xm, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), long(image.size()));
  const std::string s = std::to_string(seconds),
                    command = std::string(peer) == "xmp"
                                  ? "xmp -q -f 44100 -t " + s + " -c " + xm + " 2>/dev/null"
                                  : "openmpt123 --batch --quiet --samplerate 44100 --channels 2 "
                                    "--no-float --end-time " +
                                        s + " --stdout " + xm + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  std::vector<int16_t> stereo;
  int16_t block[4096];
  for (size_t n; pipe && (n = std::fread(block, sizeof block[0], 4096, pipe)) > 0;)
    stereo.insert(stereo.end(), block, block + n);
  const int status = pipe ? pclose(pipe) : -1;
  std::remove(xm.c_str());
  return status == 0 ? MonoOf(stereo) : std::vector<float>{};
}
