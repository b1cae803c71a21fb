// Peer checks: modules built here are rendered by our replay and mixer and by Debian's module
// players xmp and openmpt123. First the note onsets of every row and the pitch of every note of
// a scale must agree (the players differ in ramps, interpolation and volume curves, so only timing
// and pitch are compared, each with a tolerance stated below). Then the peer matrix: every
// combination of a cell's note (a note, none, a key-off), instrument number (the sounding one,
// none, the other one), volume column (none, a volume, a tone portamento) and effect (none, ED0,
// ED1, ED3, K00, K01, K03, 310, T21, E5C), after a leading note of either instrument (one with a
// sustained volume envelope and a fadeout, one with neither), is played by ours, xmp and
// openmpt123. Wherever the two peers agree with each other in a 20 ms window, ours must agree
// too; the cases where we differ on purpose are listed with their reasons in
// module/peer_matrix_differences.txt.
#include <fnmatch.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/module/module_test_util.h"
#include "tests/support/pitch.h"

namespace {

bool HavePeer(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Left and right of interleaved 16-bit stereo averaged into one signal.
std::vector<float> MonoOf(const std::vector<int16_t>& stereo) {
  std::vector<float> mono;
  for (size_t i = 0; i + 1 < stereo.size(); i += 2)
    mono.push_back((float(stereo[i]) + stereo[i + 1]) * 0.5f);
  return mono;
}

// Renders `image` with the peer ("xmp" or "openmpt123") at 44,100 Hz for `seconds` (the peers stop
// earlier at the song's end) and returns the mono signal, empty when the peer failed. Safe to
// call from several threads at once.
std::vector<float> RenderPeerSignal(const char* peer, const std::vector<uint8_t>& image,
                                    int seconds) {
  char xm[] = "/tmp/qm_peer_XXXXXX";
  close(mkstemp(xm));
  std::ofstream(xm, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), long(image.size()));
  const std::string s = std::to_string(seconds),
                    command = *peer == 'x' ? "xmp -q -f 44100 -c -t " + s
                                           : "openmpt123 --batch --quiet --samplerate 44100 "
                                             "--channels 2 --no-float --stdout --end-time " +
                                                 s;
  FILE* pipe = popen((command + " " + xm + " 2>/dev/null").c_str(), "r");
  std::vector<int16_t> stereo;
  int16_t block[4096];
  for (size_t n; pipe && (n = std::fread(block, 2, 4096, pipe)) > 0;)
    stereo.insert(stereo.end(), block, block + n);
  const int status = pipe ? pclose(pipe) : -1;
  std::remove(xm);
  return status == 0 ? MonoOf(stereo) : std::vector<float>{};
}

const int PeerNotes[16] = {37, 44, 49, 51, 56, 61, 63, 68, 73, 80, 85, 42, 58, 66, 75, 54};

struct Note {
  double onsetMs, hz;
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

constexpr uint8_t LeadNote = 61, CellNote = 68, KeyOffNote = 97;  // C-5, G-5, key-off
// Instruments 1 and 2 are the matrix's; 3 has envelope values above 64 (taken as 64).
constexpr uint8_t EnvelopeInstrument = 1, PlainInstrument = 2, LoudInstrument = 3;
// A case is its leading note's row, its cell's row and two rows after; the next case's leading
// row silences it (C00). Speed 6 at BPM 125 makes a tick one 20 ms window. Each case has a
// channel of its own, so no effect memory carries over from another case.
constexpr int CaseRows = 4, WindowsPerRow = 6, CasesPerModule = ModuleMaxChannels;
constexpr size_t CaseWindows = CaseRows * WindowsPerRow;
constexpr const char* DifferencesFile = "module/peer_matrix_differences.txt";

struct MatrixCase {
  std::string Name;
  XmCell Rows[CaseRows];  // the leading note, the cell, two rows after it
};

// A cell in tracker notation: "G-5 02 v16 ED1", "=== .. M1 K00".
std::string CellText(const XmCell& c) {
  const char *names = "C-C#D-D#E-F-F#G-G#A-A#B-", *digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  char ins[8] = " ..", vol[8] = " ..", fx[8] = " ...";
  if (c.Instrument) std::snprintf(ins, sizeof ins, " %02d", c.Instrument);
  if (c.Volume >= 0x10 && c.Volume <= 0x50)
    std::snprintf(vol, sizeof vol, " v%02d", c.Volume - 0x10);
  if (c.Volume >> 4 == 0xF) std::snprintf(vol, sizeof vol, " M%X", c.Volume & 15);
  if (c.Effect || c.Parameter)
    std::snprintf(fx, sizeof fx, " %c%02X", digits[c.Effect % 36], c.Parameter);
  std::string note = c.Note == 0 ? "---" : "===";
  if (c.Note && c.Note != KeyOffNote)
    note = std::string(names + (c.Note - 1) % 12 * 2, 2) + std::to_string((c.Note - 1) / 12);
  return note + ins + vol + fx;
}

// The 540 cells of the matrix (in tracker shorthand: the notes G-5, none and a key-off); then
// cells from reported faults that need a later row or another value (a volume set after a
// key-off, v00 beside a delayed key-off or a tremor), and a note of the instrument whose envelope
// values lie above 64.
std::vector<MatrixCase> Cases() {
  std::vector<MatrixCase> cases;
  auto add = [&cases](int lead, const std::string& text, const char* after = "") {
    const XmCell cell = Cells(text)[0].cell, next = Cells(after)[0].cell;
    const char* leadName = lead == EnvelopeInstrument ? "env "
                           : lead == PlainInstrument  ? "plain "
                                                      : "loud ";
    cases.push_back({leadName + CellText(cell) + (*after ? " / " + CellText(next) : ""),
                     {Cell(LeadNote, uint8_t(lead)), cell, next, {}}});
  };
  for (const int lead : {EnvelopeInstrument, PlainInstrument}) {
    for (const char* note : {"n68", "", "="}) {
      for (const int instrument : {lead, 0, EnvelopeInstrument + PlainInstrument - lead}) {
        for (const char* volume : {"", "v20", "vF1"}) {  // none, v16, M1
          for (const char* effect :
               {"", "ED0", "ED1", "ED3", "K00", "K01", "K03", "310", "T21", "E5C"}) {
            add(lead, std::string(note) + " i" + std::to_string(instrument) + " " + volume + " " +
                          effect);
          }
        }
      }
    }
  }
  for (const int lead : {EnvelopeInstrument, PlainInstrument}) {
    add(lead, "=", "v38");
    add(lead, "= v10 ED3");
    add(lead, "= v10 T21", "v38");
  }
  add(LoudInstrument, "");
  return cases;
}

// Cases `first` .. first + CasesPerModule - 1 of `cases`, one after another in time.
XmModule MatrixModule(const std::vector<MatrixCase>& cases, size_t first) {
  const int count = int(std::min(cases.size() - first, size_t(CasesPerModule)));
  XmModule desc;
  std::tie(desc.Tracker, desc.Channels) = std::tuple("FastTracker v2.00", count);
  desc.Instruments.assign(3, SineInstrument(64, true));
  desc.Instruments[0].VolumeEnvelope = {
      {{0, 64}, {6, 40}, {30, 0}}, EnvelopeOn | EnvelopeSustain, 1};
  desc.Instruments[0].Fadeout = 0x0400;
  desc.Instruments[1].Samples[0].RelativeNote = 12;  // an octave above: the pitch tells which plays
  desc.Instruments[2].VolumeEnvelope = {{{0, 90}, {20, 64}, {40, 32}}, EnvelopeOn};
  desc.Patterns = {{count * CaseRows + 1, {}}};
  for (int k = 0; k < count; ++k) {
    for (int r = 0; r < CaseRows; ++r)
      desc.Patterns[0].At(k * CaseRows + r, k, count) = cases[first + size_t(k)].Rows[r];
    desc.Patterns[0].At(k * CaseRows + CaseRows, k, count) = Cell(0, 0, 0, 0x0C, 0);
  }
  return desc;
}

// Level (dB below the render's loudest window) and pitch (Hz, 0 when too quiet to tell) of each
// of the first `count` 20 ms windows of a render (fewer when it is shorter).
struct Window {
  double db, hz;
};
std::vector<Window> Windows(const std::vector<float>& s, size_t count) {
  const size_t n = MixRate / 50;
  std::vector<double> rms;
  double loudest = 1e-9;
  for (size_t i = 0; i < count && (i + 1) * n <= s.size(); ++i) {
    double sum = 0;
    for (size_t k = 0; k < n; ++k) sum += double(s[i * n + k]) * s[i * n + k];
    rms.push_back(std::sqrt(sum / double(n)));
    loudest = std::max(loudest, rms.back());
  }
  std::vector<Window> w;
  for (size_t i = 0; i < rms.size(); ++i) {
    // The pitch is read after the window's first 5 ms: ticks start on window boundaries, and a
    // note started there ramps in (and the one before it out) at each player's own pace.
    const double db = 20.0 * std::log10(std::max(rms[i], 1e-9) / loudest);
    w.push_back(
        {db, db > -30.0 ? CrossingPitch(s.data() + i * n + n / 4, n - n / 4, MixRate) : 0.0});
  }
  return w;
}

// Levels are compared where a note sounds clearly (above -24 dB) or not at all (below -40 dB):
// the tail of a fade in between is shaped by each player's own volume resolution. The same level
// is both silent or both sounding within 6 dB; the same pitch within 25 cents or both none.
constexpr auto Comparable = [](const Window& a) { return a.db > -24.0 || a.db < -40.0; };
constexpr auto SameLevel = [](const Window& a, const Window& b) {
  return (a.db < -40.0) == (b.db < -40.0) && (a.db < -40.0 || std::fabs(a.db - b.db) <= 6.0);
};
constexpr auto SamePitch = [](const Window& a, const Window& b) {
  return a.hz == 0.0 || b.hz == 0.0 ? a.hz == b.hz
                                    : std::fabs(1200.0 * std::log2(a.hz / b.hz)) <= 25.0;
};

struct Renders {
  std::vector<Window> Ours, Xmp, Mpt;
};

// Compares one case's windows from its cell's row on, where both peers are clear (sounding
// above -24 dB or silent below -40 dB) and not at a note's start or end (a level step of more than
// 6 dB to a neighbouring window, where each player's own ramp decides). Returns the windows that
// disagree, counting the compared ones.
std::string CompareCase(const Renders& r, size_t first, int& levels, int& pitches) {
  std::string faults;
  auto level = [&r](size_t w) { return std::max(r.Xmp[w].db, -60.0); };
  for (size_t w = first + WindowsPerRow; w < first + CaseWindows; ++w) {
    const Window &ours = r.Ours[w], &xmp = r.Xmp[w], &mpt = r.Mpt[w];
    const bool edge =
        std::fabs(level(w - 1) - level(w)) > 6.0 || std::fabs(level(w + 1) - level(w)) > 6.0;
    if (!Comparable(xmp) || !Comparable(mpt) || edge) continue;
    const bool sameLevel = SameLevel(xmp, mpt), samePitch = xmp.hz != 0.0 && SamePitch(xmp, mpt);
    levels += sameLevel;
    pitches += samePitch;
    if ((sameLevel && !SameLevel(ours, xmp) && !SameLevel(ours, mpt)) ||
        (samePitch && !SamePitch(ours, xmp) && !SamePitch(ours, mpt))) {
      char text[96];
      std::snprintf(text, sizeof text,
                    " [window %zu: %.1f dB %.0f Hz, peers %.1f dB %.0f Hz, %.1f dB %.0f Hz]",
                    w - first, ours.db, ours.hz, xmp.db, xmp.hz, mpt.db, mpt.hz);
      faults += text;
    }
  }
  return faults;
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

// 547 cases in 18 modules of 32 channels, 15.5 s each; the peers render in two threads while
// ours renders here. The differences file holds lines "CASE | REASON" (CASE may hold * for any
// text).
TEST(ModulePeerMatrix, OursAgreesWherePeersAgree) {
  if (!HavePeer("xmp") || !HavePeer("openmpt123"))
    GTEST_SKIP() << "xmp and openmpt123 are not installed (make test-deps installs them)";
  const std::vector<MatrixCase> cases = Cases();
  const size_t modules = (cases.size() + CasesPerModule - 1) / CasesPerModule;
  const size_t windows = CasesPerModule * CaseWindows + WindowsPerRow;
  const int seconds = int(windows / 50) + 2;  // the peers stop at the song's end
  std::vector<std::vector<uint8_t>> images;
  for (size_t m = 0; m < modules; ++m)
    images.push_back(WriteXm(MatrixModule(cases, m * CasesPerModule)));
  std::vector<Renders> renders(modules);
  std::vector<std::thread> peers;
  for (const char* peer : {"xmp", "openmpt123"}) {
    peers.emplace_back([&, peer] {
      for (size_t m = 0; m < modules; ++m) {
        (*peer == 'x' ? renders[m].Xmp : renders[m].Mpt) =
            Windows(RenderPeerSignal(peer, images[m], seconds), windows);
      }
    });
  }
  for (size_t m = 0; m < modules; ++m) {
    TestSong t(images[m], true);
    ASSERT_NE(t.song, nullptr);
    renders[m].Ours = Windows(MonoOf(t.Render(int(windows) * MixRate / 50)), windows);
  }
  for (std::thread& t : peers) t.join();

  // Each listed pattern, and whether a case matched it.
  std::vector<std::pair<std::string, bool>> differences;
  std::ifstream in(DifferencesFile);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#' && line.find(" | ") != std::string::npos)
      differences.push_back({line.substr(0, line.find(" | ")), false});
  }
  ASSERT_FALSE(differences.empty()) << "cannot read " << DifferencesFile;
  int agreed = 0, levels = 0, pitches = 0;
  std::vector<int> perCase;  // windows compared in each case, level and pitch together
  for (size_t i = 0; i < cases.size(); ++i) {
    const Renders& r = renders[i / CasesPerModule];
    const size_t first = i % CasesPerModule * CaseWindows;
    const char* name = cases[i].Name.c_str();
    ASSERT_GE(std::min({r.Ours.size(), r.Xmp.size(), r.Mpt.size()}), first + CaseWindows + 1)
        << name << ": a render ended early";
    const int before = levels + pitches;
    const std::string faults = CompareCase(r, first, levels, pitches);
    perCase.push_back(levels + pitches - before);
    auto listed = std::find_if(differences.begin(), differences.end(), [name](const auto& d) {
      return fnmatch(d.first.c_str(), name, 0) == 0;
    });
    agreed += faults.empty();
    if (!faults.empty() && listed == differences.end())
      ADD_FAILURE() << name << " (" << perCase.back() << " windows compared):" << faults;
    if (!faults.empty() && listed != differences.end()) listed->second = true;
  }
  for (const auto& [pattern, seen] : differences) {
    EXPECT_TRUE(seen) << DifferencesFile << ": no case differs as \"" << pattern
                      << "\" says; take the line out";
  }
  std::sort(perCase.begin(), perCase.end());
  std::printf(
      "%d of %zu cases agree with the peers wherever the two agree (compared: %d windows in level, "
      "%d in pitch; per case fewest %d, median %d, most %d)\n",
      agreed, cases.size(), levels, pitches, perCase.front(), perCase[perCase.size() / 2],
      perCase.back());
}
