// PSID loading and the frame protocol.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sid/embedded_tunes.h"
#include "tests/sid/sid_test_util.h"
#include "tests/support/golden.h"

namespace {

int32_t Load(SidMachine& m, const std::vector<uint8_t>& image, size_t size = SIZE_MAX) {
  return LoadTuneImage(m, image.data(), uint32_t(std::min(size, image.size())));
}

// The payload goes where its own first two bytes say (not the header's load address), into RAM
// cleared first. A play address of 0 is read from the vector the init routine installs; init
// runs for that while loading and again for each song, which it gets in A.
TEST(Tune, LoadAddressPlayVectorAndSong) {
  auto m = NewMachine();
  m->Ram[0x9000] = 0x55;
  // $0800 init: STA $41; INC $40; LDA #$34; STA $0314; LDA #$12; STA $0315; RTS
  std::vector<uint8_t> image =
      BuildPsid(0x0800, 0x0800, 0, Hex("85 41 E6 40 A9 34 8D 14 03 A9 12 8D 15 03 60"), 0x1000);
  image[0x0F] = 6;
  image[0x11] = 9;
  image[0x15] = 1;
  ASSERT_EQ(Load(*m, image), 0x0800);
  InitSong(*m, 3);
  EXPECT_EQ(std::vector<int>({m->LoadAddress, m->InitAddress, m->PlayAddress, m->SongCountMinus1,
                              m->StartSongMinus1, m->SpeedByte, m->Ram[0x0800], m->Ram[0x1000],
                              m->Ram[0x9000], m->Ram[0x40], m->Ram[0x41]}),
            std::vector<int>({0x0800, 0x0800, 0x1234, 5, 8, 1, 0x85, 0, 0, 2, 3}));
}

// A refused image leaves the machine untouched; the last byte of memory and an empty payload load.
TEST(Tune, ImagesAtTheirBoundaries) {
  const std::vector<uint8_t> good = BuildPsid(0x1000, 0x1000, 0x1000, {0x60});
  const struct {
    const char* name;
    std::vector<uint8_t> image;
    size_t size;
    int32_t loaded;
  } rows[] = {
      {"empty", {}, 0, TuneRefused},
      {"cut inside the header fields", good, 0x15, TuneRefused},
      {"no load address bytes", good, 0x7D, TuneRefused},
      {"empty payload", good, 0x7E, 0x1000},
      {"3 bytes at $FFFE", BuildPsid(0xFFFE, 0, 0, {1, 2, 3}), SIZE_MAX, TuneRefused},
      {"2 bytes at $FFFE", BuildPsid(0xFFFE, 0, 0, {1, 2}), SIZE_MAX, 0xFFFE},
      {"data offset 0 in a bare header", std::vector<uint8_t>(0x16, 0), SIZE_MAX, 0},
  };
  for (const auto& r : rows) {
    auto m = NewMachine();
    m->Ram[0x2000] = 0xAB;
    m->PlayAddress = 0x4321;
    EXPECT_EQ(Load(*m, r.image, r.size), r.loaded) << r.name;
    const int untouched = m->Ram[0x2000] << 16 | m->PlayAddress;
    EXPECT_EQ(untouched == 0xAB4321, r.loaded == TuneRefused) << r.name;
    EXPECT_EQ(m->Ram[0xFFFF], r.loaded == 0xFFFE ? 2 : 0) << r.name;
  }
  EXPECT_EQ(LoadTuneImage(*NewMachine(), nullptr, 100), TuneRefused);
}

// Each frame runs one play call, then renders from the registers that call left; a runaway play
// routine is cut short and what it wrote before still counts.
TEST(Tune, FrameRunsOnePlayCallThenSynthesises) {
  auto m = NewMachine();
  std::vector<int16_t> frame(FrameSamples);
  ASSERT_EQ(Load(*m, CounterTune()), 0x1000);
  for (int call = 1; call <= 2; ++call) {
    RenderFrame(*m, frame.data(), FrameSamples);
    EXPECT_EQ(m->Ram[0x50], call);
    EXPECT_EQ(m->Oscillator[0].Increment, call * 0x0100u * 359u);
  }
  // play: LDA #$0F; STA $D418; JMP to itself for ever
  ASSERT_EQ(Load(*m, BuildPsid(0x1000, 0x1000, 0x1001, Hex("60 A9 0F 8D 18 D4 4C 06 10"))), 0x1000);
  RenderFrame(*m, frame.data(), FrameSamples);
  EXPECT_EQ(m->CallsCutShort, 1u);
  EXPECT_EQ(m->Filter.Volume, 15);
}

}  // namespace

// The register image after each of the first 250 play calls (5 s) of tune 1, against
// tests/golden/sid_trace_tune01.txt: per voice frequency, pulse width, control, attack/decay and
// sustain/release, then the cutoff bytes, resonance/routing and mode/volume. GOLDEN_UPDATE=1
// rewrites it.
TEST(Tune, RegisterTraceOfTuneOne) {
  ASSERT_EQ(EmbeddedTunes[0].Number, 1);
  auto m = NewMachine();
  ASSERT_TRUE(SidLoadTune(*m, EmbeddedTunes[0].Image, uint32_t(*EmbeddedTunes[0].Size), 0));
  std::string trace =
      "call | voice 1..3: frequency pulse control ad sr | cutoff-low cutoff-high resonance "
      "mode-volume\n";
  std::vector<int16_t> frame(FrameSamples);
  char line[64];
  for (int call = 1; call <= 250; ++call) {
    RenderFrame(*m, frame.data(), FrameSamples);
    const SidRegisterImage& r = m->Registers;
    std::snprintf(line, sizeof line, "%03d", call);
    trace += line;
    for (const SidVoiceRegisters& v : r.Voice) {
      std::snprintf(line, sizeof line, " | %04X %03X %02X %02X %02X", v.Frequency, v.PulseWidth,
                    v.Control, v.AttackDecay, v.SustainRelease);
      trace += line;
    }
    std::snprintf(line, sizeof line, " | %02X %02X %02X %02X\n", r.CutoffLow, r.CutoffHigh,
                  r.ResonanceRouting, r.ModeVolume);
    trace += line;
  }
  const std::string failure = CheckGoldenText("sid_trace_tune01", trace);
  EXPECT_TRUE(failure.empty()) << failure;
}
