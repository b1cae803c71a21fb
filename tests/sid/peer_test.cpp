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
#include <tuple>
#include <vector>

#include "tests/sid/sid_test_util.h"
#include "tests/support/pitch.h"

namespace {

// Voice 1 plays eight triangle notes (A4 C5 E5 G4 D5 B4 F4 A5), each held for its own number of
// frames, then loops.
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
// $1100: durations - 1 (12 8 16 10 14 6 20 9 frames), $FF-terminated; $1120/$1140: frequency
// low/high bytes.
const uint16_t MelodyFrequencies[8] = {0x1D45, 0x22CE, 0x2BDA, 0x1A13,
                                       0x2711, 0x20DA, 0x173B, 0x3A89};

std::vector<uint8_t> MelodyTune() {
  std::vector<uint8_t> p;
  Place(p, 0, "A9 0F 8D 18 D4 A9 00 8D 05 D4 A9 F0 8D 06 D4 A9 00 85 F0 85 F1 A9 11 8D 04 D4 60");
  Place(p, 0x20, "C6 F0 10 1E A6 F1 BD 00 11 C9 FF D0 04 A2 00 F0 F5 85 F0 BD 20 11 8D 00 D4 BD");
  Place(p, 0x3A, "40 11 8D 01 D4 E8 86 F1 60");
  Place(p, 0x100, "0B 07 0F 09 0D 05 13 08 FF");
  Place(p, 0x120, "45 CE DA 13 11 DA 3B 89");
  Place(p, 0x140, "1D 22 2B 1A 27 20 17 3A");
  return BuildPsid(0x1000, 0x1000, 0x1020, p);
}

// The first channel of a 16-bit PCM WAV file; empty on any problem.
std::vector<int16_t> ReadWav(const std::string& path, int* rate) {
  std::ifstream in(path, std::ios::binary);
  const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u16 = [&](size_t p) { return uint32_t(uint8_t(b[p]) | uint8_t(b[p + 1]) << 8); };
  const size_t fmt = b.find("fmt "), data = b.find("data");
  if (b.compare(0, 4, "RIFF") || data == b.npos || fmt + 24 > data || u16(fmt + 22) != 16)
    return {};
  *rate = static_cast<int>(u16(fmt + 12) | u16(fmt + 14) << 16);
  const uint32_t step = 2 * u16(fmt + 10);
  std::vector<int16_t> s;
  for (size_t q = data + 8; step != 0 && q + step <= b.size(); q += step)
    s.push_back(int16_t(u16(q)));
  return s;
}

// The note (index into MelodyFrequencies, -1 when unclear) and pitch of each of the player's own
// frames of a render, from `start` on. Nominal pitches are on the real chip's PAL clock. The notes
// lie 200 cents or more apart, so 80 cents is unambiguous; it also names the frame of a change,
// where the estimate mixes the two notes, after the nearer one.
struct FrameNotes {
  std::vector<double> Pitch;
  std::vector<int> Note;
};
FrameNotes Analyse(const std::vector<int16_t>& s, int rate, double frameSamples, double start) {
  FrameNotes r;
  for (int f = 0; start + (f + 1) * frameSamples <= s.size(); ++f) {
    const long a = std::lround(start + f * frameSamples),
               b = std::lround(start + (f + 1) * frameSamples);
    const double p = CrossingPitch(s.data() + a, static_cast<size_t>(b - a), rate);
    int note = -1;
    for (int i = 0; i < 8 && p > 0; ++i) {
      if (std::fabs(1200 * std::log2(p / (MelodyFrequencies[i] * 985248.0 / 16777216.0))) < 80)
        note = i;
    }
    r.Pitch.push_back(p);
    r.Note.push_back(note);
  }
  return r;
}

// Frames where a new note begins: a note that holds for two frames and differs from the last.
std::vector<std::pair<int, int>> Onsets(const FrameNotes& r) {
  std::vector<std::pair<int, int>> onsets;
  for (size_t f = 0; f + 1 < r.Note.size(); ++f) {
    const int n = r.Note[f];
    if (n >= 0 && r.Note[f + 1] == n && (onsets.empty() || onsets.back().second != n)) {
      onsets.push_back({static_cast<int>(f), n});
    }
  }
  return onsets;
}

TEST(SidPeer, SidplayfpHearsTheSameNotesAtTheSameTimes) {
  const std::string sid = ::testing::TempDir() + "qm_peer_melody.sid", wav = sid + ".wav";
  const std::vector<uint8_t> image = MelodyTune();
  std::ofstream(sid, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), long(image.size()));
  ASSERT_EQ(std::system(("sidplayfp -m -q -t5 -w" + wav + " " + sid + " >/dev/null 2>&1").c_str()),
            0)
      << "sidplayfp failed or is not installed (make test-deps installs it)";
  int peerRate = 0;
  const std::vector<int16_t> peer = ReadWav(wav, &peerRate);
  ASSERT_GT(peer.size(), 44100u * 4) << "no usable WAV from sidplayfp";
  for (const std::string& file : {sid, wav}) std::remove(file.c_str());

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
  const FrameNotes a = Analyse(ours, MixRate, FrameSamples, 0);
  FrameNotes b;
  int bestScore = -1;
  for (int step = 0; step <= 160; ++step) {
    FrameNotes c = Analyse(peer, peerRate, peerFrame, step * peerFrame / 40);
    int score = 0;
    for (size_t f = 0; f < std::min(a.Note.size(), c.Note.size()); ++f) {
      score += a.Note[f] >= 0 && c.Note[f] == a.Note[f];
    }
    if (score > bestScore) std::tie(bestScore, b) = std::tie(score, c);
  }
  // Timing: the same notes in the same order, each change on the same frame within one (a change
  // that falls just inside a peer frame is only recognised a frame later).
  const std::vector<std::pair<int, int>> onA = Onsets(a), onB = Onsets(b);
  const size_t count = std::min(onA.size(), onB.size());
  ASSERT_GE(count, 16u);
  for (size_t i = 0; i < count; ++i) {
    ASSERT_EQ(onA[i].second, onB[i].second) << "note " << i;
    EXPECT_LE(std::abs(onB[i].first - onA[i].first), 1) << "note " << i;
  }

  // Pitch, frame by frame well inside each note on both sides (two frames after its start and one
  // before its end): ours is sharp by the truncated frequency multiplier, 359 x 44100 / 2^28
  // against the PAL chip's 985248 / 2^24, which is +7.44 cents. Allow 5 cents around that: the
  // zero-crossing estimate over a single frame of the peer's resampled output scatters by up to
  // about 4 cents (measured over many runs; the mean stays within 0.4 cents of the expected).
  const double expectedCents =
      1200 * std::log2((359.0 * 44100 / 268435456) / (985248.0 / 16777216));
  auto steady = [](const FrameNotes& r, long f) {
    return f >= 2 && f + 1 < long(r.Note.size()) && r.Note[f] >= 0 && r.Note[f - 1] == r.Note[f] &&
           r.Note[f - 2] == r.Note[f] && r.Note[f + 1] == r.Note[f];
  };
  int compared = 0, agreeing = 0;
  for (long f = 2; f < long(a.Note.size()); ++f) {
    if (!steady(a, f) || f >= long(b.Note.size())) continue;
    ++compared;
    if (!steady(b, f) || b.Note[f] != a.Note[f]) continue;
    ++agreeing;
    EXPECT_NEAR(1200 * std::log2(a.Pitch[f] / b.Pitch[f]), expectedCents, 5.0) << "frame " << f;
  }
  // Nearly every steady frame names the same note on both sides (a stray peer frame may not).
  EXPECT_GE(agreeing, compared * 95 / 100);
  EXPECT_GT(agreeing, 150);
}

}  // namespace
