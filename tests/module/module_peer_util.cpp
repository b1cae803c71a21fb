#include "tests/module/module_peer_util.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "module/module_machine.h"
#include "tests/support/pitch.h"

namespace {

std::string TempPath(const std::string& name) {
  static std::atomic<int> serial{0};
  return "/tmp/qm_peer_" + std::to_string(getpid()) + "_" + std::to_string(serial++) + "_" + name;
}

std::vector<char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// 16-bit stereo frames from `bytes[begin, end)` into a mono signal.
std::vector<float> StereoBytesToMono(const std::vector<char>& bytes, size_t begin, size_t end) {
  std::vector<float> mono;
  for (size_t i = begin; i + 4 <= end; i += 4) {
    int16_t l = int16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    int16_t r = int16_t(uint8_t(bytes[i + 2]) | uint8_t(bytes[i + 3]) << 8);
    mono.push_back((float(l) + float(r)) * 0.5f);
  }
  return mono;
}

// The data chunk of a 16-bit stereo WAV file.
std::vector<float> ReadWavMono(const std::string& path) {
  const std::vector<char> bytes = ReadBytes(path);
  size_t p = 12;
  while (p + 8 <= bytes.size()) {
    uint32_t size = uint8_t(bytes[p + 4]) | uint8_t(bytes[p + 5]) << 8 |
                    uint8_t(bytes[p + 6]) << 16 | uint32_t(uint8_t(bytes[p + 7])) << 24;
    if (std::string(&bytes[p], 4) == "data") {
      return StereoBytesToMono(bytes, p + 8, std::min(bytes.size(), p + 8 + size));
    }
    p += 8 + size + (size & 1);
  }
  return {};
}

}  // namespace

bool HavePeer(const char* name) {
  std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

std::vector<float> RenderPeerSignal(const char* peer, const std::vector<uint8_t>& image,
                                    int seconds) {
  std::string xm = TempPath("song.xm"), out = TempPath("peer.out");
  {
    std::ofstream f(xm, std::ios::binary);
    f.write(reinterpret_cast<const char*>(image.data()), long(image.size()));
  }
  std::string command;
  const std::string s = std::to_string(seconds);
  const bool xmp = std::string(peer) == "xmp";
  if (xmp) {
    command = "xmp -q -f 44100 -t " + s + " -c " + xm + " > " + out + " 2>/dev/null";
  } else {
    command =
        "openmpt123 --batch --quiet --force --samplerate 44100 --channels 2 --no-float "
        "--end-time " +
        s + " --output " + out + ".wav " + xm + " >/dev/null 2>&1";
  }
  int status = std::system(command.c_str());
  std::vector<float> mono;
  if (xmp) {
    const std::vector<char> bytes = ReadBytes(out);
    mono = StereoBytesToMono(bytes, 0, bytes.size());
  } else {
    mono = ReadWavMono(out + ".wav");
  }
  std::remove(xm.c_str());
  std::remove(out.c_str());
  std::remove((out + ".wav").c_str());
  if (status != 0) return {};
  return mono;
}

std::vector<float> MonoOf(const std::vector<int16_t>& stereo) {
  std::vector<float> mono;
  mono.reserve(stereo.size() / 2);
  for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
    mono.push_back((float(stereo[i]) + stereo[i + 1]) * 0.5f);
  }
  return mono;
}

std::vector<Window> Windows(const std::vector<float>& s, size_t count) {
  const size_t n = MixRate / 50;
  std::vector<Window> w;
  double loudest = 1e-9;
  std::vector<double> rms;
  for (size_t i = 0; i < count && (i + 1) * n <= s.size(); ++i) {
    double sum = 0;
    for (size_t k = 0; k < n; ++k) sum += double(s[i * n + k]) * s[i * n + k];
    rms.push_back(std::sqrt(sum / double(n)));
    loudest = std::max(loudest, rms.back());
  }
  for (size_t i = 0; i < rms.size(); ++i) {
    Window x{20.0 * std::log10(std::max(rms[i], 1e-9) / loudest), 0.0};
    // The pitch is read after the window's first 5 ms: ticks start on window boundaries, and a
    // note started there ramps in (and the one before it out) at each player's own pace.
    if (x.db > -30.0) x.hz = CrossingPitch(s.data() + i * n + n / 4, n - n / 4, MixRate);
    w.push_back(x);
  }
  return w;
}

bool Comparable(const Window& a) {
  return a.db > -24.0 || a.db < -40.0;
}

bool SameLevel(const Window& a, const Window& b) {
  const bool silentA = a.db < -40.0, silentB = b.db < -40.0;
  return silentA == silentB && (silentA || std::fabs(a.db - b.db) <= 6.0);
}

bool SamePitch(const Window& a, const Window& b) {
  if (a.hz == 0.0 || b.hz == 0.0) return a.hz == b.hz;
  return std::fabs(1200.0 * std::log2(a.hz / b.hz)) <= 25.0;
}
