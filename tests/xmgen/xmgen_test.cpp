// The module generator: the committed modules must be exactly what the scores produce, and the
// score language, the synthesiser and the pattern packing do what the scores say. Last, all
// sixteen pieces of music (the SID tunes too) must play equally loud.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "generators/xmgen/score.h"
#include "generators/xmgen/synth.h"
#include "generators/xmgen/xm_writer.h"
#include "module/module_player.h"
#include "sid/sid_machine.h"

namespace {

const std::string SourceDir = QM_SOURCE_DIR;

struct Expected {
  const char* name;
  size_t size;
};
// Module names hold 20 characters: the second title is cut there.
const Expected Modules[4] = {{"Cobalt Drift", 316881},
                             {"Lanterns Of Vesterha", 129370},
                             {"Tinfoil", 129881},
                             {"Sundial Carousel", 86186}};

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path SongPath(int n) {
  return SourceDir + "/generators/xmgen/songs/module" + std::to_string(n) + ".txt";
}
std::filesystem::path AssetPath(int n) {
  return SourceDir + "/assets/xm/module" + std::to_string(n) + ".xm";
}

// Each module regenerates byte for byte, its title cut to the 20 characters a module name holds.
TEST(XmgenModules, RegeneratedModulesMatchTheCommittedFiles) {
  const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "xmgen_regen";
  std::filesystem::create_directories(dir);
  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE("module " + std::to_string(n));
    const std::filesystem::path out = dir / ("module" + std::to_string(n) + ".xm");
    std::string error;
    ASSERT_TRUE(GenerateModuleFile(SongPath(n).string(), out.string(), error)) << error;
    const std::vector<uint8_t> d = ReadFile(AssetPath(n));
    EXPECT_EQ(d.size(), Modules[n - 1].size);
    EXPECT_TRUE(ReadFile(out) == d) << "differs: run the xmmods target";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[17]), 20).c_str(),
              std::string(Modules[n - 1].name));
  }
  std::filesystem::remove_all(dir);
}

// Every piece the magazine plays, rendered through its own players over its first pass (the
// tunes as the magazine starts them: their first song): all within 2 dB of -18 dBFS RMS, so the
// level does not jump between the intro and the main part, and not one sample at full scale.
TEST(Music, AllSixteenPiecesAreEquallyLoudAndNeverClip) {
  struct Piece {
    const char* file;  // under assets/
    double seconds;    // first pass of a tune, as sidscore reports it; modules: 0, the player's
  };
  const Piece pieces[16] = {
      {"sid/tune01.sid", 76.8},  {"sid/tune02.sid", 64.0},  {"sid/tune03.sid", 71.68},
      {"sid/tune04.sid", 61.44}, {"sid/tune05.sid", 71.68}, {"sid/tune06.sid", 115.2},
      {"sid/tune07.sid", 70.4},  {"sid/tune08.sid", 69.12}, {"sid/tune09.sid", 67.2},
      {"sid/tune10.sid", 76.8},  {"sid/tune11.sid", 70.4},  {"sid/tune12.sid", 71.68},
      {"xm/module1.xm", 0},      {"xm/module2.xm", 0},      {"xm/module3.xm", 0},
      {"xm/module4.xm", 0}};
  double longest = 0;
  std::string longest_module;
  for (const Piece& piece : pieces) {
    const std::vector<uint8_t> d = ReadFile(SourceDir + "/assets/" + piece.file);
    ASSERT_FALSE(d.empty()) << piece.file;
    double sum = 0;
    size_t count = 0;
    int peak = 0;
    auto take = [&](const int16_t* samples, size_t n) {
      for (size_t i = 0; i < n; ++i) {
        sum += double(samples[i]) * samples[i];
        peak = std::max(peak, std::abs(int(samples[i])));
      }
      count += n;
    };
    if (piece.seconds > 0) {
      auto machine = std::make_unique<SidMachine>();
      ASSERT_TRUE(SidLoadTune(*machine, d.data(), uint32_t(d.size()), 0)) << piece.file;
      std::vector<int16_t> frame(FrameSamples);
      for (long f = std::lround(piece.seconds * 50); f > 0; --f) {
        RenderFrame(*machine, frame.data(), FrameSamples);
        take(frame.data(), frame.size());
      }
    } else {
      // A module's pass ends where the player comes back to a position (order and row) it has
      // played: looked at once per 20 ms block, well under a row's 120 ms.
      const ModuleSong* song = LoadSong(d.data(), d.size());
      ASSERT_NE(song, nullptr) << piece.file;
      auto machine = std::make_unique<ModuleMachine>();
      ASSERT_TRUE(AllocateRing(*machine));
      ResetMachine(*machine, song);
      std::set<int32_t> played;
      int32_t position = -1;
      for (;;) {
        const int32_t block = machine->FillBlockIndex;
        FillBlock(*machine);
        const int32_t now = machine->OrderPosition * 256 + machine->Row;
        if (now != position && !played.insert(position = now).second) break;
        take(machine->WaveRing + size_t(block) * BlockLength * 2, size_t(BlockLength) * 2);
      }
      ReleaseRing(*machine);
      ReleaseSong(song);
      // The music page quotes 2.5 to 4 minutes a module, Lanterns Of Vesterhavn the longest.
      const double seconds = double(count) / 2 / MixRate;
      EXPECT_GE(seconds, 150.0) << piece.file;
      EXPECT_LE(seconds, 240.0) << piece.file;
      if (seconds > longest) longest = seconds, longest_module = piece.file;
    }
    const double rms = 10 * std::log10(sum / double(count) / (32768.0 * 32768.0));
    std::printf("%-15s %6.1f s, RMS %6.2f dBFS, peak %6.2f dBFS\n", piece.file,
                double(count) / MixRate / (piece.seconds > 0 ? 1 : 2), rms,
                20 * std::log10(peak / 32768.0));
    EXPECT_NEAR(rms, -18.0, 2.0) << piece.file;
    EXPECT_LT(peak, 32767) << piece.file << " reaches full scale";
  }
  EXPECT_EQ(longest_module, "xm/module2.xm");
}

const char* const TinyInstrument =
    "instrument 1 name=\"t\" sample=\"t\" kind=tone wave=sine body=20 loop=20\n";

// Channel 2 of a pattern of two copies of one track, the second transposed up an octave:
// C#4 is note 4 * 12 + 1 + 1 (notes count from 1, C-0 is 1), v32 the volume column 0x10 + 32,
// *3 leaves two empty rows after the cell, ^ is key-off (97), ~2 repeats the effect on the next
// row, V84 is a volume column byte as given. 3 + 1 + 2 + 1 rows, twice.
TEST(XmgenScore, CellWordsFillTheRowsTheySay) {
  const std::string score = std::string(TinyInstrument) +
                            "track t C#4i1v32#A04*3 ^ .#037~2 .V84\n"
                            "pattern p 2: t t+12\n"
                            "order p p\n";
  XmModule module;
  std::string error;
  ASSERT_TRUE(BuildModule(score, module, error)) << error;
  ASSERT_EQ(module.Patterns.size(), 1u);
  EXPECT_EQ(module.Orders, (std::vector<uint8_t>{0, 0}));
  const XmPattern& p = module.Patterns[0];
  ASSERT_EQ(p.Rows, 14);
  const int expected[][6] = {
      // row, note, instrument, volume, effect, parameter
      {0, 50, 1, 0x30, 0xA, 0x04}, {1, 0, 0, 0, 0, 0},          {2, 0, 0, 0, 0, 0},
      {3, 97, 0, 0, 0, 0},         {4, 0, 0, 0, 0, 0x37},       {5, 0, 0, 0, 0, 0x37},
      {6, 0, 0, 0x84, 0, 0},       {7, 62, 1, 0x30, 0xA, 0x04}, {13, 0, 0, 0x84, 0, 0}};
  for (const auto& e : expected) {
    const XmCell& c = p.Cells[size_t(e[0] * 4 + 1)];
    EXPECT_EQ((std::vector<int>{c.Note, c.Instrument, c.Volume, c.Effect, c.Parameter}),
              (std::vector<int>{e[1], e[2], e[3], e[4], e[5]}))
        << "row " << e[0];
  }
  EXPECT_EQ(p.Cells[0].Note, 0);  // channel 1 is not used
}

// Scores that build (a fit instrument fills the module to the size asked, odd sizes too) and
// scores refused with the line of their mistake.
TEST(XmgenScore, ScoresBuildToTheirSizeOrNameTheirMistake) {
  const std::string fit =
      "instrument 2 name=\"p\" sample=\"p\" kind=tone wave=saw body=50 "
      "loop=30 fit=1\ntrack t C-4i1 C-4i2\npattern p 1: t\norder p\n";
  const struct {
    std::string score;
    const char* message;  // nullptr: builds to `size` bytes
    size_t size;
  } cases[] = {
      {fit + "size 5000\n", nullptr, 5000},
      {fit + "size 5001\n", nullptr, 5001},
      {fit + "size 500\n", "too small", 0},
      {"track t C-4i1*4\ntrack u C-4i1*3\npattern p 1: t 2: u\norder p\n", "line 4: channel 2", 0},
      {"track t C-4*4\n", "line 2: note before any instrument", 0},
      {"track t C-7i1\npattern p 1: t+12\norder p\n", "line 3: transposed out of range", 0},
      {"pattern p 1: nothing\norder p\n", "line 2: unknown track", 0},
      {"track t C-4i1 H-4\n", "line 2: bad cell", 0},
      {"track t C-4i1#A4\n", "line 2: effect needs three characters", 0},
      {"track t C-4i1\npattern p 1: t\norder p\nrestart 1\n", "line 5: restart position", 0},
      {"track t C-4i2\npattern p 1: t\norder p\n", "instrument 2, which is not defined", 0},
  };
  for (const auto& c : cases) {
    XmModule module;
    std::string error;
    EXPECT_EQ(BuildModule(std::string(TinyInstrument) + c.score, module, error), !c.message)
        << c.score;
    if (c.message) {
      EXPECT_NE(error.find(c.message), std::string::npos) << error;
    } else {
      EXPECT_EQ(WriteXm(module).size(), c.size) << c.score;
    }
  }
}

TEST(XmgenWriter, PackingUsesMasksAndTheFullFormOnlyWhenItIsShorter) {
  XmPattern pattern;
  pattern.Rows = 3;
  pattern.Cells = {{}, {49, 2, 0, 0, 0}, {49, 2, 0x40, 0xA, 0x01}};
  EXPECT_EQ(PackPattern(pattern),
            (std::vector<uint8_t>{0x80, 0x83, 49, 2, 49, 2, 0x40, 0xA, 0x01}));
}

TEST(XmgenSynth, LoopedToneIsDeterministicTunedAndSeamless) {
  SynthParams p;
  p.wave = SynthWave::Sine;
  p.octave = 1;
  p.base_note = 57;  // A-4, 440 Hz at 16,726 frames per second
  p.body_ms = 50;
  p.loop_ms = 200;
  const SynthResult a = SynthSample(p), b = SynthSample(p);
  EXPECT_EQ(a.data, b.data);
  EXPECT_EQ(a.relative_note, 48 + 12 - 57);
  ASSERT_GT(a.loop_length, 0u);
  ASSERT_EQ(a.data.size(), a.loop_start + a.loop_length);

  // Whole cycles in the loop: count upward zero crossings across it, wrapping at the end.
  int crossings = 0, largest_step = 0;
  for (uint32_t i = 0; i < a.loop_length; ++i) {
    const int now = a.data[a.loop_start + i];
    const int next = a.data[a.loop_start + (i + 1) % a.loop_length];
    if (now < 0 && next >= 0) ++crossings;
    if (i + 1 < a.loop_length) largest_step = std::max(largest_step, std::abs(next - now));
  }
  const double freq = crossings * SynthRate(p) / a.loop_length;
  EXPECT_NEAR(freq, 440.0, 440.0 * 0.003);  // under 5 cents off
  // The jump from the loop's last frame back to its first is no larger than any step inside.
  const int wrap = std::abs(a.data[a.loop_start] - a.data[a.data.size() - 1]);
  EXPECT_LE(wrap, largest_step);
}

TEST(XmgenSynth, DrumsStartLoudAndEndInSilence) {
  for (SynthKind kind : {SynthKind::Kick, SynthKind::Snare, SynthKind::Hat}) {
    SynthParams p;
    p.kind = kind;
    p.length_ms = 200;
    const SynthResult r = SynthSample(p);
    ASSERT_EQ(r.data.size(), size_t(std::lround(200 * SynthRate(p) / 1000)));
    EXPECT_EQ(r.loop_length, 0u);
    int peak = 0;
    for (int8_t v : r.data) peak = std::max(peak, std::abs(int(v)));
    EXPECT_GE(peak, 110);  // normalised to 0.9 of full scale
    EXPECT_EQ(r.data.back(), 0);
  }
}

}  // namespace
