// Peer check: a small melody tune rendered by our player and by Debian's sidplayfp must have the
// same note pitch in every frame (up to the known clock difference) and the same note timing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/sid/sid_test_util.h"
#include "tests/support/pitch.h"

namespace {

// Voice 1 plays eight triangle notes, each held for its own number of frames, then loops.
//   $1000 init: volume 15, attack/decay 0, sustain 15; timer $F0 = 0, index $F1 = 0;
//               triangle + gate; RTS
//   $1020 play: DEC $F0; BPL done          ; still holding the note
//               LDX $F1
//   next:       LDA $1100,X; CMP #$FF; BNE set
//               LDX #0; BEQ next           ; end of the list: from the top
//   set:        STA $F0                    ; frames to hold - 1
//               LDA $1120,X; STA $D400; LDA $1140,X; STA $D401
//               INX; STX $F1
//   done:       RTS
// $1100: durations - 1, $FF-terminated; $1120/$1140: frequency low/high bytes.
const uint16_t MelodyFrequencies[8] = {0x1D45, 0x22CE, 0x2BDA, 0x1A13,
                                       0x2711, 0x20DA, 0x173B, 0x3A89};  // A4 C5 E5 G4 D5 B4 F4 A5
const uint8_t MelodyFrames[8] = {12, 8, 16, 10, 14, 6, 20, 9};

std::vector<uint8_t> MelodyTune() {
  std::vector<uint8_t> payload(0x160, 0xEA);
  const uint8_t init[] = {0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0xA9, 0x00, 0x8D, 0x05,
                          0xD4, 0xA9, 0xF0, 0x8D, 0x06, 0xD4, 0xA9, 0x00, 0x85,
                          0xF0, 0x85, 0xF1, 0xA9, 0x11, 0x8D, 0x04, 0xD4, 0x60};
  const uint8_t play[] = {0xC6, 0xF0, 0x10, 0x1E, 0xA6, 0xF1, 0xBD, 0x00, 0x11, 0xC9, 0xFF, 0xD0,
                          0x04, 0xA2, 0x00, 0xF0, 0xF5, 0x85, 0xF0, 0xBD, 0x20, 0x11, 0x8D, 0x00,
                          0xD4, 0xBD, 0x40, 0x11, 0x8D, 0x01, 0xD4, 0xE8, 0x86, 0xF1, 0x60};
  std::copy(std::begin(init), std::end(init), payload.begin());
  std::copy(std::begin(play), std::end(play), payload.begin() + 0x20);
  for (int i = 0; i < 8; ++i) {
    payload[0x100 + i] = static_cast<uint8_t>(MelodyFrames[i] - 1);
    payload[0x120 + i] = static_cast<uint8_t>(MelodyFrequencies[i]);
    payload[0x140 + i] = static_cast<uint8_t>(MelodyFrequencies[i] >> 8);
  }
  payload[0x108] = 0xFF;
  return BuildPsid(0x1000, 0x1000, 0x1020, payload);
}

// The first channel of a 16-bit PCM WAV file; empty on any problem.
std::vector<int16_t> ReadWav(const std::string& path, int* rate) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u16 = [&](size_t p) { return static_cast<uint32_t>(b[p] | b[p + 1] << 8); };
  auto u32 = [&](size_t p) { return u16(p) | u16(p + 2) << 16; };
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF") return {};
  uint32_t channels = 0, bits = 0;
  for (size_t p = 12; p + 8 <= b.size();) {
    std::string tag(b.begin() + static_cast<long>(p), b.begin() + static_cast<long>(p) + 4);
    size_t len = u32(p + 4);
    size_t body = p + 8;
    if (body + len > b.size()) len = b.size() - body;
    if (tag == "fmt " && len >= 16) {
      channels = u16(body + 2);
      *rate = static_cast<int>(u32(body + 4));
      bits = u16(body + 14);
    } else if (tag == "data" && channels != 0 && bits == 16) {
      std::vector<int16_t> s;
      for (size_t q = body; q + 2 * channels <= body + len; q += 2 * channels) {
        s.push_back(static_cast<int16_t>(u16(q)));
      }
      return s;
    }
    p = body + len + (len & 1);
  }
  return {};
}

struct FrameNotes {
  std::vector<double> Pitch;
  std::vector<int> Note;  // index into MelodyFrequencies, -1 when unclear
};

// Splits a render into the player's own frames, from `start` on, and names the note of each.
FrameNotes Analyse(const std::vector<int16_t>& s, int rate, double frameSamples, double start) {
  // Nominal pitches on the real chip's PAL clock; ours run 7.5 cents sharp (see below).
  FrameNotes r;
  for (int f = 0; start + (f + 1) * frameSamples <= s.size(); ++f) {
    long a = std::lround(start + f * frameSamples);
    long b = std::lround(start + (f + 1) * frameSamples);
    double p = CrossingPitch(s.data() + a, static_cast<size_t>(b - a), rate);
    int note = -1;
    for (int i = 0; i < 8 && p > 0; ++i) {
      double nominal = MelodyFrequencies[i] * 985248.0 / 16777216.0;
      // The notes lie 200 cents or more apart, so 80 cents is unambiguous; it also names the
      // frame of a change, where the estimate mixes the two notes, after the nearer one.
      if (std::fabs(1200 * std::log2(p / nominal)) < 80) note = i;
    }
    r.Pitch.push_back(p);
    r.Note.push_back(note);
  }
  return r;
}

// Frames where a new note begins: a note that holds for two frames and differs from the last.
std::vector<std::pair<int, int>> Onsets(const FrameNotes& r) {
  std::vector<std::pair<int, int>> onsets;
  int current = -1;
  for (size_t f = 0; f + 1 < r.Note.size(); ++f) {
    int n = r.Note[f];
    if (n >= 0 && n != current && r.Note[f + 1] == n) {
      onsets.push_back({static_cast<int>(f), n});
      current = n;
    }
  }
  return onsets;
}

TEST(SidPeer, SidplayfpHearsTheSameNotesAtTheSameTimes) {
  ASSERT_EQ(std::system("command -v sidplayfp >/dev/null 2>&1"), 0)
      << "sidplayfp is not installed (make test-deps installs it)";
  const std::string dir = ::testing::TempDir();
  const std::string sid = dir + "qm_peer_melody.sid";
  const std::string wav = dir + "qm_peer_melody.wav";
  std::vector<uint8_t> image = MelodyTune();
  {
    std::ofstream out(sid, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<long>(image.size()));
  }
  std::remove(wav.c_str());
  const std::string command = "sidplayfp -m -q -t5 -w" + wav + " " + sid + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  int peerRate = 0;
  std::vector<int16_t> peer = ReadWav(wav, &peerRate);
  ASSERT_GT(peer.size(), 44100u * 4) << "no usable WAV from sidplayfp";

  auto m = std::make_unique<SidMachine>();
  ASSERT_TRUE(SidLoadTune(*m, image.data(), static_cast<uint32_t>(image.size()), 0));
  std::vector<int16_t> ours(FrameSamples * 250);
  for (int f = 0; f < 250; ++f) RenderFrame(*m, ours.data() + f * FrameSamples, FrameSamples);

  // Each side in its own frames: ours 882 samples, the PAL machine 19656 cycles at 985248 Hz.
  // sidplayfp starts the tune after a power-on delay that varies from run to run, so the start
  // of its frame grid is searched for (in steps of 1/40 frame, up to 4 frames in): the one whose
  // frames name the same notes as ours most often. This fits one number for the whole render;
  // the timing of each note change is checked afterwards.
  const double peerFrame = peerRate * 19656.0 / 985248.0;
  FrameNotes a = Analyse(ours, MixRate, FrameSamples, 0);
  FrameNotes b;
  int bestScore = -1;
  for (int step = 0; step <= 160; ++step) {
    FrameNotes candidate = Analyse(peer, peerRate, peerFrame, step * peerFrame / 40);
    int score = 0;
    for (size_t f = 0; f < a.Note.size() && f < candidate.Note.size(); ++f) {
      score += a.Note[f] >= 0 && candidate.Note[f] == a.Note[f];
    }
    if (score > bestScore) {
      bestScore = score;
      b = candidate;
    }
  }
  std::vector<std::pair<int, int>> onA = Onsets(a), onB = Onsets(b);
  ASSERT_GE(onA.size(), 16u);
  ASSERT_GE(onB.size(), 16u);
  // Timing: the same notes in the same order, each held for the same number of frames (within
  // one: a change that falls just inside a peer frame is only recognised a frame later).
  const size_t count = std::min(onA.size(), onB.size());
  for (size_t i = 0; i < count; ++i) {
    ASSERT_EQ(onA[i].second, onB[i].second) << "note " << i;
    if (i == 0) continue;
    int heldA = onA[i].first - onA[i - 1].first;
    int heldB = onB[i].first - onB[i - 1].first;
    EXPECT_LE(std::abs(heldA - heldB), 1) << "note " << i << ": " << heldA << " vs " << heldB;
  }
  // The starts were lined up: the note changes fall on the same frames within one.
  std::vector<int> distances;
  for (size_t i = 0; i < count; ++i) distances.push_back(onB[i].first - onA[i].first);
  std::nth_element(distances.begin(), distances.begin() + distances.size() / 2, distances.end());
  const int offset = distances[distances.size() / 2];
  EXPECT_LE(std::abs(offset), 1);

  // Pitch, frame by frame inside each note (the frame of a change and the one after it mix two
  // notes or an attack): ours is sharp by the truncated frequency multiplier, 359 x 44100 / 2^28
  // against the PAL chip's 985248 / 2^24, which is +7.44 cents. Allow 5 cents around that: the
  // zero-crossing estimate over a single frame of the peer's resampled output scatters by up to
  // about 4 cents (measured over many runs; the mean stays within 0.4 cents of the expected).
  const double expectedCents =
      1200 * std::log2((359.0 * 44100 / 268435456) / (985248.0 / 16777216));
  int compared = 0, agreeing = 0;
  double sum = 0, low = 1e9, high = -1e9;
  // Only frames well inside a note on both sides count: two frames after its start and one
  // before its end on our side, and the same note in the frames around it on the peer's side.
  auto steady = [](const FrameNotes& r, size_t f) {
    int n = r.Note[f];
    return f >= 2 && f + 1 < r.Note.size() && n >= 0 && r.Note[f - 1] == n && r.Note[f - 2] == n &&
           r.Note[f + 1] == n;
  };
  for (size_t f = 2; f < a.Note.size(); ++f) {
    const long gl = static_cast<long>(f) + offset;
    if (!steady(a, f) || gl < 0) continue;
    const size_t g = static_cast<size_t>(gl);
    if (g >= b.Note.size()) continue;
    ++compared;
    if (!steady(b, g) || b.Note[g] != a.Note[f]) continue;
    double cents = 1200 * std::log2(a.Pitch[f] / b.Pitch[g]);
    EXPECT_NEAR(cents, expectedCents, 5.0) << "frame " << f;
    sum += cents;
    low = std::min(low, cents);
    high = std::max(high, cents);
    ++agreeing;
  }
  // Nearly every steady frame names the same note on both sides (a stray peer frame may not).
  EXPECT_GE(agreeing, compared * 95 / 100);
  EXPECT_GT(agreeing, 150);
  std::printf(
      "peer check: %d of %d steady frames agree, mean pitch difference %.2f cents "
      "(expected %.2f, range %.2f to %.2f), onset offset %d frames, %zu note changes "
      "compared\n",
      agreeing, compared, agreeing ? sum / agreeing : 0.0, expectedCents, low, high, offset, count);
  std::remove(sid.c_str());
  std::remove(wav.c_str());
}

}  // namespace
