// PSID loading and the frame protocol.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sid/embedded_tunes.h"
#include "tests/sid/sid_test_util.h"
#include "tests/support/golden.h"

namespace {

// The payload goes where its first two bytes say, into RAM cleared first.
TEST(Tune, LoadAddressComesFromTheDataBytesAndRamIsCleared) {
  auto m = NewMachine();
  m->Ram[0x9000] = 0x55;
  // Header load address $1000, data bytes $00 $08: the payload goes to $0800.
  std::vector<uint8_t> image = BuildPsid(0x0800, 0x0800, 0x0803, {0x60, 0xEA, 0xEA, 0x60}, 0x1000);
  image[0x15] = 0x01;  // speed byte: kept, not used
  image[0x0F] = 6;
  image[0x11] = 9;
  EXPECT_EQ(LoadTuneImage(*m, image.data(), static_cast<uint32_t>(image.size())), 0x0800);
  EXPECT_EQ(m->LoadAddress, 0x0800);
  EXPECT_EQ(m->InitAddress, 0x0800);
  EXPECT_EQ(m->PlayAddress, 0x0803);
  EXPECT_EQ(m->SongCountMinus1, 5);
  EXPECT_EQ(m->StartSongMinus1, 8);
  EXPECT_EQ(m->SpeedByte, 1);
  EXPECT_EQ(m->Ram[0x0800], 0x60);
  EXPECT_EQ(m->Ram[0x0803], 0x60);
  EXPECT_EQ(m->Ram[0x1000], 0x00);
  EXPECT_EQ(m->Ram[0x9000], 0x00);
}

TEST(Tune, PlayAddressZeroIsTakenFromTheVectorAndInitGetsTheSong) {
  auto m = NewMachine();
  // init: STA $41; INC $40; LDA #$34; STA $0314; LDA #$12; STA $0315; RTS
  std::vector<uint8_t> image = BuildPsid(
      0x1000, 0x1000, 0x0000,
      {0x85, 0x41, 0xE6, 0x40, 0xA9, 0x34, 0x8D, 0x14, 0x03, 0xA9, 0x12, 0x8D, 0x15, 0x03, 0x60});
  ASSERT_EQ(LoadTuneImage(*m, image.data(), static_cast<uint32_t>(image.size())), 0x1000);
  EXPECT_EQ(m->PlayAddress, 0x1234);
  EXPECT_EQ(m->Ram[0x40], 1);  // init ran once while loading...
  InitSong(*m, 3);
  EXPECT_EQ(m->Ram[0x40], 2);  // ...and once more for the song,
  EXPECT_EQ(m->Ram[0x41], 3);  // which it gets in A
}

TEST(Tune, ShortOrOversizedImagesAreRefusedAndTheMachineIsUntouched) {
  auto m = NewMachine();
  m->Ram[0x2000] = 0xAB;
  m->PlayAddress = 0x4321;
  auto refused = [&](const std::vector<uint8_t>& image) {
    return LoadTuneImage(*m, image.data(), static_cast<uint32_t>(image.size())) == TuneRefused;
  };
  std::vector<uint8_t> good = BuildPsid(0x1000, 0x1000, 0x1000, {0x60});
  // Shorter than the header fields that are read.
  EXPECT_TRUE(refused(std::vector<uint8_t>(good.begin(), good.begin() + 0x15)));
  EXPECT_TRUE(refused({}));
  EXPECT_EQ(LoadTuneImage(*m, nullptr, 100), TuneRefused);
  // Header complete but the load address bytes missing (data offset $7C, 0x7D bytes).
  EXPECT_TRUE(refused(std::vector<uint8_t>(good.begin(), good.begin() + 0x7D)));
  // Payload running past $FFFF: 3 bytes at $FFFE.
  EXPECT_TRUE(refused(BuildPsid(0xFFFE, 0x1000, 0x1000, {1, 2, 3})));
  EXPECT_EQ(m->Ram[0x2000], 0xAB);
  EXPECT_EQ(m->PlayAddress, 0x4321);
  // Exactly filling the top of memory is fine, and so is an empty payload.
  EXPECT_EQ(LoadTuneImage(*m, BuildPsid(0xFFFE, 0, 0, {1, 2}).data(), 0x7E + 2), 0xFFFE);
  EXPECT_EQ(m->Ram[0xFFFF], 2);
  EXPECT_EQ(LoadTuneImage(*m, good.data(), 0x7E), 0x1000);
  // A data offset that points into the header is read in bounds (tiny image, offset 0).
  std::vector<uint8_t> tiny(0x16, 0);
  EXPECT_EQ(LoadTuneImage(*m, tiny.data(), static_cast<uint32_t>(tiny.size())), 0);
}

TEST(Tune, FrameRunsOnePlayCallThenSynthesisesFromItsRegisters) {
  auto m = NewMachine();
  // init: LDA #$0F; STA $D418; LDA #$00; STA $D405; LDA #$F0; STA $D406; RTS (at $1000)
  // play: INC $50; LDA #$11; STA $D404; LDA $50; STA $D401; RTS (at $1010)
  std::vector<uint8_t> payload(0x20, 0xEA);
  const uint8_t init[] = {0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0xA9, 0x00, 0x8D,
                          0x05, 0xD4, 0xA9, 0xF0, 0x8D, 0x06, 0xD4, 0x60};
  const uint8_t play[] = {0xE6, 0x50, 0xA9, 0x11, 0x8D, 0x04, 0xD4,
                          0xA5, 0x50, 0x8D, 0x01, 0xD4, 0x60};
  std::memcpy(payload.data(), init, sizeof init);
  std::memcpy(payload.data() + 0x10, play, sizeof play);
  std::vector<uint8_t> image = BuildPsid(0x1000, 0x1000, 0x1010, payload);
  ASSERT_EQ(LoadTuneImage(*m, image.data(), static_cast<uint32_t>(image.size())), 0x1000);
  InitSong(*m, 0);
  std::vector<int16_t> frame(FrameSamples);
  RenderFrame(*m, frame.data(), FrameSamples);
  EXPECT_EQ(m->Ram[0x50], 1);
  // The frequency written by this play call drives the whole frame that follows it.
  EXPECT_EQ(m->Oscillator[0].Increment, 0x0100u * 359u);
  RenderFrame(*m, frame.data(), FrameSamples);
  EXPECT_EQ(m->Ram[0x50], 2);
  EXPECT_EQ(m->Oscillator[0].Increment, 0x0200u * 359u);
  bool sound = false;
  for (int16_t v : frame) sound |= v != frame[0];
  EXPECT_TRUE(sound);
}

TEST(Tune, RunawayPlayRoutineStillRendersItsFrame) {
  auto m = NewMachine();
  // play: LDA #$0F; STA $D418; JMP to itself for ever
  std::vector<uint8_t> image =
      BuildPsid(0x1000, 0x1000, 0x1001, {0x60, 0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0x4C, 0x06, 0x10});
  ASSERT_EQ(LoadTuneImage(*m, image.data(), static_cast<uint32_t>(image.size())), 0x1000);
  std::vector<int16_t> frame(FrameSamples);
  RenderFrame(*m, frame.data(), FrameSamples);
  RenderFrame(*m, frame.data(), FrameSamples);
  EXPECT_EQ(m->CallsCutShort, 2u);
  EXPECT_EQ(m->Filter.Volume, 15);  // what it wrote before running away still counts
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
