// Peer check: modules built here are rendered by our replay and mixer and by Debian's module
// players (xmp, openmpt123); the note onsets of every row and the pitch of every note must agree.
// The players differ in ramps, interpolation and volume curves, so only timing and pitch are
// compared, each with a tolerance stated below.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "tests/module/module_peer_util.h"
#include "tests/module/module_test_util.h"
#include "tests/support/pitch.h"

namespace {

const int PeerNotes[16] = {37, 44, 49, 51, 56, 61, 63, 68, 73, 80, 85, 42, 58, 66, 75, 54};

struct Note {
  double onsetMs;
  double hz;
};

// Onsets: the 1 ms peak level rises through a third of the loudest level after at least 10 ms
// below it. Pitch: zero crossings over the note's steady middle, 15 to 90 ms after its onset.
std::vector<Note> Analyse(const std::vector<float>& s) {
  const size_t window = MixRate / 1000;
  float loudest = 0;
  for (float x : s) loudest = std::max(loudest, std::fabs(x));
  std::vector<Note> notes;
  int quiet = 10;
  for (size_t w = 0; (w + 1) * window <= s.size(); ++w) {
    float level = 0;
    for (size_t i = 0; i < window; ++i) level = std::max(level, std::fabs(s[w * window + i]));
    if (level < loudest / 3) {
      ++quiet;
      continue;
    }
    if (quiet >= 10) {
      // The onset is the frame where the signal first passes a third of the loudest.
      size_t at = w > 0 ? (w - 1) * window : 0;
      while (at < s.size() && std::fabs(s[at]) < loudest / 3) ++at;
      const size_t a = std::min(s.size(), at + MixRate * 15 / 1000);
      const size_t b = std::min(s.size(), at + MixRate * 90 / 1000);
      notes.push_back({double(at) * 1000.0 / MixRate, CrossingPitch(s.data() + a, b - a, MixRate)});
    }
    quiet = 0;
  }
  return notes;
}

// One channel, a 16-bit sine of 64 frames per cycle, speed 3: each note holds two rows and a
// key-off row follows. Notes run over four octaves and across semitones.
void Compare(const char* peer, bool linear) {
  ASSERT_TRUE(HavePeer(peer)) << peer << " is not installed (make test-deps installs it)";
  std::string cells;
  for (int i = 0; i < 16; ++i) cells += (i ? ", n" : "n") + std::to_string(PeerNotes[i]) + ",, =";
  XmModule desc = Song(cells, 48);
  desc.Instruments = {SineInstrument(64, true)};
  std::tie(desc.Flags, desc.Speed, desc.Instruments[0].Samples[0].Finetune,
           desc.Instruments[0].Samples[0].RelativeNote) =
      std::tuple(linear, 3, linear ? 0 : 16, linear ? 0 : -2);
  // The song starts again after 48 rows; the peers stop there.
  const std::vector<Note> ours = Analyse(MonoOf(TestSong(desc, true).Render(48 * 3 * 882 - 100)));
  const std::vector<Note> theirs = Analyse(RenderPeerSignal(peer, WriteXm(desc), 10));
  ASSERT_EQ(ours.size(), 16u);
  ASSERT_EQ(theirs.size(), ours.size()) << peer;
  double worstOnset = 0, worstCents = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    const double cents = 1200.0 * std::log2(theirs[i].hz / ours[i].hz);
    worstOnset = std::max(worstOnset, std::fabs(theirs[i].onsetMs - ours[i].onsetMs));
    worstCents = std::max(worstCents, std::fabs(cents));
    // Row n starts at n x 3 x 882 frames (60 ms). The players ramp note starts differently
    // (ours over 128 frames, 2.9 ms): onsets may differ by that much.
    EXPECT_NEAR(ours[i].onsetMs, double(i) * 3 * 3 * 882 * 1000 / MixRate, 3.0) << "note " << i;
    EXPECT_NEAR(theirs[i].onsetMs, ours[i].onsetMs, 3.0) << peer << " note " << i;
    // Pitch within 3 cents, the accuracy of the crossing count over 75 ms. The Amiga table holds
    // whole periods (about 200 for the highest note here), so it may add one period's step.
    const double tolerance =
        linear ? 3.0 : 3.0 + 1200.0 * std::log2(1.0 + 1.0 / AmigaPeriod(PeerNotes[i] - 3, 16));
    EXPECT_NEAR(cents, 0.0, tolerance)
        << peer << " note " << i << ": " << ours[i].hz << " Hz vs " << theirs[i].hz << " Hz";
  }
  std::printf("%s, %s table: onsets within %.2f ms, pitch within %.2f cents\n", peer,
              linear ? "linear" : "Amiga", worstOnset, worstCents);
}

}  // namespace

// Both peers, both frequency tables.
TEST(ModulePeer, NoteOnsetsAndPitchAgree) {
  for (const char* peer : {"xmp", "openmpt123"}) {
    for (const bool linear : {true, false}) {
      SCOPED_TRACE(std::string(peer) + (linear ? ", linear table" : ", Amiga table"));
      Compare(peer, linear);
    }
  }
}
