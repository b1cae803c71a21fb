// The peer matrix: every combination of a cell's note (a note, none, a key-off), instrument
// number (the sounding one, none, the other one), volume column (none, a volume, a tone
// portamento) and effect (none, ED0, ED1, ED3, K00, K01, K03, 310, T21, E5C), after a leading
// note of either instrument (one with a sustained volume envelope and a fadeout, one with
// neither), is played by ours, xmp and openmpt123. Wherever the two peers agree with each other
// in a 20 ms window, ours must agree too; the cases where we differ on purpose are listed with
// their reasons in module/peer_matrix_differences.txt.
#include <fnmatch.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/module/module_peer_util.h"
#include "tests/module/module_test_util.h"

namespace {

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
  static const char* names[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                  "F#", "G-", "G#", "A-", "A#", "B-"};
  char text[16];
  std::string out = c.Note == 0 ? "---"
                    : c.Note == KeyOffNote
                        ? "==="
                        : names[(c.Note - 1) % 12] + std::to_string((c.Note - 1) / 12);
  std::snprintf(text, sizeof text, " %02d", c.Instrument);
  out += c.Instrument != 0 ? text : " ..";
  if (c.Volume >= 0x10 && c.Volume <= 0x50) {
    std::snprintf(text, sizeof text, " v%02d", c.Volume - 0x10);
  } else if (c.Volume >> 4 == 0xF) {
    std::snprintf(text, sizeof text, " M%X", c.Volume & 15);
  } else {
    std::snprintf(text, sizeof text, " ..");
  }
  out += text;
  std::snprintf(text, sizeof text, " %c%02X", "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[c.Effect % 36],
                c.Parameter);
  out += c.Effect || c.Parameter ? text : " ...";
  return out;
}

// The 540 cells of the matrix; then cells from reported faults that need a later row or another
// value (a volume set after a key-off, v00 beside a delayed key-off or a tremor), and a note of
// the instrument whose envelope values lie above 64.
std::vector<MatrixCase> Cases() {
  std::vector<MatrixCase> cases;
  auto add = [&cases](uint8_t lead, XmCell cell, XmCell after = {}) {
    const char* leadName = lead == EnvelopeInstrument ? "env "
                           : lead == PlainInstrument  ? "plain "
                                                      : "loud ";
    MatrixCase c{leadName + CellText(cell), {Cell(LeadNote, lead), cell, after, {}}};
    if (after.Note || after.Instrument || after.Volume || after.Effect) {
      c.Name += " / " + CellText(after);
    }
    cases.push_back(c);
  };
  const std::pair<uint8_t, uint8_t> effects[10] = {
      {0, 0},       {0x0E, 0xD0}, {0x0E, 0xD1}, {0x0E, 0xD3}, {0x14, 0x00},
      {0x14, 0x01}, {0x14, 0x03}, {0x03, 0x10}, {0x1D, 0x21}, {0x0E, 0x5C}};
  for (uint8_t lead : {EnvelopeInstrument, PlainInstrument}) {
    const uint8_t other = lead == EnvelopeInstrument ? PlainInstrument : EnvelopeInstrument;
    for (uint8_t note : {CellNote, uint8_t(0), KeyOffNote}) {
      for (uint8_t instrument : {lead, uint8_t(0), other}) {
        for (uint8_t volume : {0x00, 0x20, 0xF1}) {  // none, v16, M1
          for (const auto& [effect, parameter] : effects) {
            add(lead, Cell(note, instrument, volume, effect, parameter));
          }
        }
      }
    }
  }
  for (uint8_t lead : {EnvelopeInstrument, PlainInstrument}) {
    add(lead, Cell(KeyOffNote), Cell(0, 0, 0x38));
    add(lead, Cell(KeyOffNote, 0, 0x10, 0x0E, 0xD3));
    add(lead, Cell(KeyOffNote, 0, 0x10, 0x1D, 0x21), Cell(0, 0, 0x38));
  }
  add(LoudInstrument, {});
  return cases;
}

// Cases `first` .. first + CasesPerModule - 1 of `cases`, one after another in time.
XmModule MatrixModule(const std::vector<MatrixCase>& cases, size_t first) {
  const size_t count = std::min(cases.size() - first, size_t(CasesPerModule));
  XmModule desc;
  desc.Tracker = "FastTracker v2.00";
  desc.Channels = int(count);
  XmInstrument envelope = SineInstrument(64, true);
  envelope.VolumeEnvelope.Points = {{0, 64}, {6, 40}, {30, 0}};
  envelope.VolumeEnvelope.Type = EnvelopeOn | EnvelopeSustain;
  envelope.VolumeEnvelope.Sustain = 1;
  envelope.Fadeout = 0x0400;
  XmInstrument plain = SineInstrument(64, true);
  plain.Samples[0].RelativeNote = 12;  // an octave above, so the pitch tells which one plays
  XmInstrument loud = SineInstrument(64, true);
  loud.VolumeEnvelope.Points = {{0, 90}, {20, 64}, {40, 32}};
  loud.VolumeEnvelope.Type = EnvelopeOn;
  desc.Instruments = {envelope, plain, loud};
  XmPattern p;
  p.Rows = int(count) * CaseRows + 1;
  for (size_t k = 0; k < count; ++k) {
    const int row = int(k) * CaseRows, channel = int(k);
    for (int r = 0; r < CaseRows; ++r) {
      p.At(row + r, channel, desc.Channels) = cases[first + k].Rows[r];
    }
    p.At(row + CaseRows, channel, desc.Channels) = Cell(0, 0, 0, 0x0C, 0);
  }
  desc.Patterns.push_back(p);
  return desc;
}

struct Difference {
  std::string Pattern, Reason;
  bool Seen = false;
};

// Lines "CASE | REASON"; CASE may hold * for any text.
std::vector<Difference> ReadDifferences() {
  std::vector<Difference> differences;
  std::ifstream in(DifferencesFile);
  std::string line;
  while (std::getline(in, line)) {
    const size_t bar = line.find(" | ");
    if (!line.empty() && line[0] != '#' && bar != std::string::npos) {
      differences.push_back({line.substr(0, bar), line.substr(bar + 3)});
    }
  }
  return differences;
}

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
    char text[96];
    if (SameLevel(xmp, mpt)) {
      ++levels;
      if (!SameLevel(ours, xmp) && !SameLevel(ours, mpt)) {
        std::snprintf(text, sizeof text, " [window %zu: %.1f dB, peers %.1f, %.1f]", w - first,
                      ours.db, xmp.db, mpt.db);
        faults += text;
      }
    }
    if (xmp.hz != 0.0 && SamePitch(xmp, mpt)) {
      ++pitches;
      if (!SamePitch(ours, xmp) && !SamePitch(ours, mpt)) {
        std::snprintf(text, sizeof text, " [window %zu: %.0f Hz, peers %.0f, %.0f]", w - first,
                      ours.hz, xmp.hz, mpt.hz);
        faults += text;
      }
    }
  }
  return faults;
}

}  // namespace

// 547 cases in 18 modules of 32 channels, 15.5 s each; the peers render in two threads while
// ours renders here. QM_PEER_DUMP=1 prints every window of every case.
TEST(ModulePeerMatrix, OursAgreesWherePeersAgree) {
  if (!HavePeer("xmp") || !HavePeer("openmpt123")) {
    GTEST_SKIP() << "xmp and openmpt123 are not installed (make test-deps installs them)";
  }
  const std::vector<MatrixCase> cases = Cases();
  const size_t modules = (cases.size() + CasesPerModule - 1) / CasesPerModule;
  std::vector<std::vector<uint8_t>> images;
  for (size_t m = 0; m < modules; ++m) {
    images.push_back(WriteXm(MatrixModule(cases, m * CasesPerModule)));
  }
  const size_t windows = CasesPerModule * CaseWindows + WindowsPerRow;
  const int seconds = int(windows / 50) + 2;  // the peers stop at the song's end
  std::vector<Renders> renders(modules);
  std::vector<std::thread> peers;
  for (const char* peer : {"xmp", "openmpt123"}) {
    peers.emplace_back([&, peer] {
      for (size_t m = 0; m < modules; ++m) {
        std::vector<Window> w = Windows(RenderPeerSignal(peer, images[m], seconds), windows);
        (std::string(peer) == "xmp" ? renders[m].Xmp : renders[m].Mpt) = std::move(w);
      }
    });
  }
  for (size_t m = 0; m < modules; ++m) {
    TestSong t(images[m], true);
    ASSERT_NE(t.song, nullptr);
    renders[m].Ours = Windows(MonoOf(t.Render(int(windows) * MixRate / 50)), windows);
  }
  for (std::thread& t : peers) t.join();

  std::vector<Difference> differences = ReadDifferences();
  ASSERT_FALSE(differences.empty()) << "cannot read " << DifferencesFile;
  const bool dump = std::getenv("QM_PEER_DUMP") != nullptr;
  int agreed = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    const Renders& r = renders[i / CasesPerModule];
    const size_t first = i % CasesPerModule * CaseWindows;
    ASSERT_GE(std::min({r.Ours.size(), r.Xmp.size(), r.Mpt.size()}), first + CaseWindows + 1)
        << cases[i].Name << ": a render ended early";
    const char* name = cases[i].Name.c_str();
    for (size_t w = first; dump && w < first + CaseWindows; ++w) {
      std::printf("%-38s %2zu %7.1f %7.1f %7.1f | %5.0f %5.0f %5.0f\n", name, w - first,
                  r.Ours[w].db, r.Xmp[w].db, r.Mpt[w].db, r.Ours[w].hz, r.Xmp[w].hz, r.Mpt[w].hz);
    }
    int levels = 0, pitches = 0;
    const std::string faults = CompareCase(r, first, levels, pitches);
    auto listed = std::find_if(differences.begin(), differences.end(), [name](const auto& d) {
      return fnmatch(d.Pattern.c_str(), name, 0) == 0;
    });
    std::printf("%-38s level in %2d, pitch in %2d of 18 windows%s\n", name, levels, pitches,
                faults.empty()                ? ""
                : listed != differences.end() ? ", differs (listed)"
                                              : ", DIFFERS");
    if (faults.empty()) {
      ++agreed;
    } else if (listed == differences.end()) {
      ADD_FAILURE() << name << ":" << faults;
    } else {
      listed->Seen = true;
    }
  }
  for (const Difference& d : differences) {
    EXPECT_TRUE(d.Seen) << DifferencesFile << ": no case differs as \"" << d.Pattern
                        << "\" says; take the line out";
  }
  std::printf("%d of %zu cases agree with the peers wherever the two agree\n", agreed,
              cases.size());
}
