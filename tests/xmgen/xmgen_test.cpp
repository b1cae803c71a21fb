// The module generator: the committed modules must be exactly what the scores produce, and the
// score language, the synthesiser and the pattern packing do what the scores say. Last, all
// sixteen pieces of music (the SID tunes too) must play equally loud.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "generators/xmgen/score.h"
#include "generators/xmgen/synth.h"
#include "generators/xmgen/xm_writer.h"
#include "module/module_player.h"
#include "sid/sid_machine.h"
#include "tests/support/run.h"

namespace {

const std::string SourceDir = QM_SOURCE_DIR;

std::vector<uint8_t> ReadFile(const std::string& path) {
  const std::string bytes = ReadFileText(path);
  return {bytes.begin(), bytes.end()};
}

// Each module regenerates byte for byte (its title, cut to the 20 characters a name holds, too).
TEST(XmgenModules, RegeneratedModulesMatchTheCommittedFiles) {
  const std::string out = testing::TempDir() + "xmgen_regen.xm";
  for (const char* n : {"1", "2", "3", "4"}) {
    std::string error;
    ASSERT_TRUE(
        GenerateModuleFile(SourceDir + "/generators/xmgen/songs/module" + n + ".txt", out, error))
        << error;
    EXPECT_TRUE(ReadFileText(out) == ReadFileText(SourceDir + "/assets/xm/module" + n + ".xm"))
        << "module " << n << " differs: run the xmmods target";
  }
  std::remove(out.c_str());
}

// Every piece the magazine plays, rendered through its own players over its first pass (the
// tunes as the magazine starts them: their first song): all within 2 dB of -18 dBFS RMS, so the
// level does not jump between the intro and the main part, and not one sample at full scale.
TEST(Music, AllSixteenPiecesAreEquallyLoudAndNeverClip) {
  // The tunes' first passes as sidscore reports them; a module's pass ends where the player comes
  // back to a position (order and row) it has played, looked at once per 20 ms block.
  const double tuneSeconds[12] = {76.8, 64.0,  71.68, 61.44, 71.68, 115.2,
                                  70.4, 69.12, 67.2,  76.8,  70.4,  71.68};
  for (int n = 1; n <= 16; ++n) {
    char file[32];
    std::snprintf(file, sizeof file, n <= 12 ? "sid/tune%02d.sid" : "xm/module%d.xm",
                  n <= 12 ? n : n - 12);
    const std::vector<uint8_t> d = ReadFile(SourceDir + "/assets/" + file);
    double sum = 0;
    size_t count = 0;
    int peak = 0;
    auto take = [&](const int16_t* v, size_t n) {
      for (size_t i = 0; i < n; ++i)
        sum += double(v[i]) * v[i], peak = std::max(peak, std::abs(int(v[i])));
      count += n;
    };
    if (n <= 12) {
      auto machine = std::make_unique<SidMachine>();
      ASSERT_TRUE(SidLoadTune(*machine, d.data(), uint32_t(d.size()), 0)) << file;
      std::vector<int16_t> frame(FrameSamples);
      for (long f = std::lround(tuneSeconds[n - 1] * 50); f > 0; --f) {
        RenderFrame(*machine, frame.data(), FrameSamples);
        take(frame.data(), frame.size());
      }
    } else {
      const ModuleSong* song = LoadSong(d.data(), d.size());
      ASSERT_NE(song, nullptr) << file;
      auto machine = std::make_unique<ModuleMachine>();
      ASSERT_TRUE(AllocateRing(*machine));
      ResetMachine(*machine, song);
      std::set<int32_t> played;
      for (int32_t position = -1;;) {
        const int16_t* block =
            machine->WaveRing + size_t(machine->FillBlockIndex) * BlockLength * 2;
        FillBlock(*machine);
        const int32_t now = machine->OrderPosition * 256 + machine->Row;
        if (now != position && !played.insert(position = now).second) break;
        take(block, size_t(BlockLength) * 2);
      }
      ReleaseRing(*machine);
      ReleaseSong(song);
      // The music page quotes 2.5 to 4 minutes a module.
      EXPECT_NEAR(double(count) / 2 / MixRate, 195.0, 45.0) << file;
    }
    EXPECT_NEAR(10 * std::log10(sum / double(count) / (32768.0 * 32768.0)), -18.0, 2.0) << file;
    EXPECT_LT(peak, 32767) << file << " reaches full scale";
  }
}

const char* const TinyInstrument =
    "instrument 1 name=\"t\" sample=\"t\" kind=tone wave=sine body=20 loop=20\n";

// Channel 2 of a pattern of two copies of one track, the second transposed up an octave:
// C#4 is note 4 * 12 + 1 + 1 (notes count from 1, C-0 is 1), v32 the volume column 0x10 + 32,
// *3 leaves two empty rows after the cell, ^ is key-off (97), ~2 repeats the effect on the next
// row, V84 is a volume column byte as given. 3 + 1 + 2 + 1 rows, twice.
TEST(XmgenScore, CellWordsFillTheRowsTheySay) {
  const std::string score =
      std::string(TinyInstrument) +
      "track t C#4i1v32#A04*3 ^ .#037~2 .V84\npattern p 2: t t+12\norder p p\n";
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

// A looped A-4 (440 Hz at 16,726 frames per second) holds whole cycles: under 5 cents off by
// its upward zero crossings, and the jump from its last frame back to its first no larger than
// any step inside the loop.
TEST(XmgenSynth, LoopedToneIsTunedAndSeamless) {
  const SynthParams p{.base_note = 57, .wave = SynthWave::Sine, .body_ms = 50, .loop_ms = 200};
  const SynthResult a = SynthSample(p);
  EXPECT_EQ(a.relative_note, 48 + 12 - 57);
  ASSERT_EQ(a.data.size(), a.loop_start + a.loop_length);
  int crossings = 0, largest_step = 0;
  for (uint32_t i = a.loop_start; i + 1 < a.data.size(); ++i) {
    crossings += a.data[i] < 0 && a.data[i + 1] >= 0;
    largest_step = std::max(largest_step, std::abs(a.data[i + 1] - a.data[i]));
  }
  crossings += a.data.back() < 0 && a.data[a.loop_start] >= 0;
  EXPECT_NEAR(crossings * SynthRate(p) / a.loop_length, 440.0, 440.0 * 0.003);
  EXPECT_LE(std::abs(a.data[a.loop_start] - a.data.back()), largest_step);
}

}  // namespace
