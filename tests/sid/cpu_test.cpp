// The machine: the 6502 interpreter on hand-assembled code with the expected registers, flags
// and memory worked out beside it, and PSID loading.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "sid/embedded_tunes.h"
#include "tests/sid/sid_test_util.h"
#include "tests/support/golden.h"

namespace {

// What a row sets before and checks after: a RAM address, or one of these.
enum Where : int { A = 0x10000, X, Y, P, S, PC, Freq1, ModeVol };

int Read(const SidMachine& m, int w) {
  const int regs[] = {m.A,
                      m.X,
                      m.Y,
                      m.P,
                      m.S,
                      m.PC,
                      m.Registers.Voice[0].Frequency,
                      m.Registers.ModeVolume,
                      int(m.CallsCutShort)};
  return w < A ? m.Ram[w] : regs[w - A];
}

void Set(SidMachine& m, int w, int v) {
  uint8_t* bytes[] = {&m.A, &m.X, &m.Y, &m.P, &m.S};
  m.PC = w == PC ? uint16_t(v) : m.PC;
  if (w < PC) *(w < A ? &m.Ram[w] : bytes[w - A]) = uint8_t(v);
}

// Each row: a fresh machine with P = 0, the code at $0200, the `before` values set, as many
// instructions as the row names, then the `after` values. ADC and SBC set V = N XOR C (unlike the
// chip's real V) and ignore decimal mode. What the register trace of a real tune below already
// exercises (plain loads, stores, compares, branches, JSR/RTS) is left to it. The stack saturates:
// S stays at $FF on pulls and at 0 on pushes.
TEST(Cpu, InstructionsOnTheirBoundaries) {
  constexpr int N = FlagN, V = FlagV, D = FlagD, I = FlagI, Z = FlagZ, C = FlagC;
  using Pairs = std::vector<std::pair<int, int>>;
  const struct {
    const char* code;
    const char* bytes;  // hex
    Pairs before, after;
  } rows[] = {
      {"CLC; LDA #$01; ADC #$FF", "18 A9 01 69 FF", {}, {{A, 0}, {P, Z | C | V}}},
      {"CLC; LDA #$50; ADC #$50", "18 A9 50 69 50", {}, {{A, 0xA0}, {P, N | V}}},
      {"SED; CLC; LDA #9; ADC #1", "F8 18 A9 09 69 01", {}, {{A, 0x0A}, {P, D}}},
      {"SEC; LDA #$00; SBC #$01", "38 A9 00 E9 01", {}, {{A, 0xFF}, {P, N | V}}},
      {"CLC; LDA #$50; SBC #$10", "18 A9 50 E9 10", {}, {{A, 0x3F}, {P, C | V}}},
      {"LDA #$3F; BIT $20", "A9 3F 24 20", {{0x20, 0xC0}}, {{A, 0x3F}, {P, N | V | Z}}},
      {"LDA #1; BIT $1234", "A9 01 2C 34 12", {{0x1234, 0x41}}, {{P, V}}},
      {"SEC; LDA #$40; ROL A", "38 A9 40 2A", {}, {{A, 0x81}, {P, N}}},
      {"SEC; LDA #$01; ROR A", "38 A9 01 6A", {}, {{A, 0x80}, {P, N | C}}},
      {"LDX #4; INC $FFFF,X", "A2 04 FE FF FF", {{3, 0x7F}}, {{3, 0x80}, {P, N}}},
      {"LDX #5; TXS; LDA #0; TSX", "A2 05 9A A9 00 BA", {}, {{X, 5}, {S, 5}, {P, 0}}},
      {"CLC; CLD; CLI; CLV", "18 D8 58 B8", {{P, 0xFF}}, {{P, 0xFF & ~(C | D | I | V)}}},
      // Addressing modes wrap in the zero page and at the top of memory; every row starts with the
      // pointer at $FF holding $1234, its high byte at $00.
      {"LDX #$FF; LDA $80,X", "A2 FF B5 80", {{0x7F, 0x11}}, {{A, 0x11}}},
      {"LDX #2; LDA $FFFF,X", "A2 02 BD FF FF", {{1, 0x22}}, {{A, 0x22}}},
      {"LDX #$0F; LDA ($F0,X)", "A2 0F A1 F0", {{0x1234, 0x5A}}, {{A, 0x5A}}},
      {"LDY #2; LDA ($FF),Y", "A0 02 B1 FF", {{0x1236, 0x6B}}, {{A, 0x6B}}},
      {"LDY #2; LDA ($40),Y", "A0 02 B1 40", {{0x40, 0xFF}, {0x41, 0xFF}, {1, 0x22}}, {{A, 0x22}}},
      {"LDX #$FF; STA $81,X", "A2 FF 95 81", {{A, 0x99}}, {{0x80, 0x99}}},
      // The chip's window $D400-$D7FF: writes go to the registers (mirrored every 32 bytes),
      // reads and read-modify-write reads come from RAM; just outside it is plain RAM.
      {"LDA #$3A; STA $D420", "A9 3A 8D 20 D4", {}, {{Freq1, 0x3A}}},
      {"LDA #$0F; STA $D7F8", "A9 0F 8D F8 D7", {}, {{ModeVol, 0x0F}, {0xD7F8, 0}}},
      {"INC $D401", "EE 01 D4", {{0xD401, 0x41}}, {{Freq1, 0x4200}, {0xD401, 0x41}}},
      {"STA $D800; STA $D3FF", "8D 00 D8 8D FF D3", {{A, 1}}, {{0xD800, 1}, {0xD3FF, 1}}},
      // Branches (each on its own flag) and jumps, wrapping at the top of memory; JMP (abs) does
      // not wrap in its page.
      {"BVS +$10", "70 10", {{P, V}}, {{PC, 0x0212}}},
      {"BVC +$10", "50 10", {{P, V}}, {{PC, 0x0202}}},
      {"JMP ($10FF)", "6C FF 10", {{0x10FF, 0x34}, {0x1100, 0x12}, {0x1000, 0x99}}, {{PC, 0x1234}}},
      {"CLC; BCC +127 (at $FFF0)",
       "",
       {{PC, 0xFFF0}, {0xFFF0, 0x18}, {0xFFF1, 0x90}, {0xFFF2, 0x7F}},
       {{PC, 0x0072}}},
      // RTI returns as RTS does, one past the address JSR pushed, and pulls no status.
      {"JSR $0204; RTI", "20 04 02 EA 40", {{P, 0x5A}}, {{PC, 0x0203}, {P, 0x5A}}},
      {"PLA; PLA; PLA", "68 68 68", {{S, 0xFE}, {0x1FF, 0x66}}, {{S, 0xFF}, {A, 0x66}}},
      {"LDA #$11; PHA; LDA #$33; PHA; PHA",
       "A9 11 48 A9 33 48 48",
       {{S, 1}},
       {{S, 0}, {0x101, 0x11}, {0x100, 0x33}}},
      {"PHP", "08", {{P, C | N}}, {{0x1FF, C | N}, {S, 0xFE}}},
      {"PLP", "28", {{S, 0xFE}, {0x1FF, 0xFF}}, {{P, 0xFF}}},
      // An illegal opcode is a one-byte no-op: its would-be operand runs next.
      {"$02",
       "02 A9 07",
       {{A, 1}, {X, 2}, {Y, 3}, {P, 0x81}, {S, 0xF0}},
       {{PC, 0x0201}, {A, 1}, {X, 2}, {Y, 3}, {P, 0x81}, {S, 0xF0}}},
      {"$02; LDA #7", "02 A9 07", {}, {{PC, 0x0203}, {A, 7}}},
  };
  for (const auto& r : rows) {
    auto m = NewMachine();
    m->P = 0;
    m->Ram[0xFF] = 0x34;
    m->Ram[0x00] = 0x12;
    const std::vector<uint8_t> code = Hex(r.bytes);
    std::copy(code.begin(), code.end(), m->Ram + 0x0200);
    m->PC = 0x0200;
    for (auto [w, v] : r.before) Set(*m, w, v);
    for (const char* c = r.code; c; c = std::strchr(c + 1, ';')) CpuStep(*m);  // one per name
    for (auto [w, v] : r.after) EXPECT_EQ(Read(*m, w), v) << r.code << " @" << std::hex << w;
  }
}

// A call ends on RTS (pulling the two zeros it pushed: PC = 1), on BRK (as zero-filled RAM
// holds), at once for addresses 0 and 1, or when the instruction budget runs out; each resets A
// to the value given and X to 0. The opcode table holds exactly the documented opcodes.
TEST(Cpu, CallsEndAndRunawaysAreCutShort) {
  int documented = 0;
  for (int op = 0; op < 256; ++op) documented += OpcodeTable.Instr[op] != Instruction::Illegal;
  EXPECT_EQ(documented, 151);
  auto m = NewMachine();
  // $1000 STA $10; STX $11; RTS   $1005 JMP $3000 (a BRK)   $1008 BNE *; BEQ back to it
  const std::vector<uint8_t> code = Hex("85 10 86 11 60 4C 00 30 D0 FE F0 FC");
  std::copy(code.begin(), code.end(), m->Ram + 0x1000);
  m->Ram[0] = 0xE8;  // INX, would change X if it ran
  m->X = 9;
  EXPECT_TRUE(CpuCall(*m, 0x1000, 0x37));
  EXPECT_EQ(std::vector<int>({m->Ram[0x10], m->Ram[0x11], m->PC, m->S}),
            std::vector<int>({0x37, 0, 1, 0xFF}));
  EXPECT_TRUE(CpuCall(*m, 0x1005, 0));
  EXPECT_EQ(m->PC, 0);
  EXPECT_TRUE(CpuCall(*m, 0x0000, 0));
  EXPECT_EQ(m->X, 0);
  EXPECT_FALSE(CpuCall(*m, 0x1008, 0));
  EXPECT_EQ(m->CallsCutShort, 1u);
}

int32_t Load(SidMachine& m, const std::vector<uint8_t>& image, int size = -1) {
  return LoadTuneImage(m, image.data(), uint32_t(size < 0 ? int(image.size()) : size));
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
  ASSERT_EQ(Load(*m, image), 0x0800);
  InitSong(*m, 3);
  EXPECT_EQ(std::vector<int>({m->LoadAddress, m->InitAddress, m->PlayAddress, m->Ram[0x0800],
                              m->Ram[0x1000], m->Ram[0x9000], m->Ram[0x40], m->Ram[0x41]}),
            std::vector<int>({0x0800, 0x0800, 0x1234, 0x85, 0, 0, 2, 3}));
}

// A refused image leaves the machine untouched; the last byte of memory and an empty payload load.
TEST(Tune, ImagesAtTheirBoundaries) {
  const std::vector<uint8_t> good = BuildPsid(0x1000, 0x1000, 0x1000, {0x60});
  const struct {
    const char* name;
    std::vector<uint8_t> image;
    int size, loaded;
  } rows[] = {
      {"empty", {}, 0, TuneRefused},
      {"cut inside the header fields", good, 0x15, TuneRefused},
      {"no load address bytes", good, 0x7D, TuneRefused},
      {"empty payload", good, 0x7E, 0x1000},
      {"3 bytes at $FFFE", BuildPsid(0xFFFE, 0, 0, {1, 2, 3}), -1, TuneRefused},
      {"2 bytes at $FFFE", BuildPsid(0xFFFE, 0, 0, {1, 2}), -1, 0xFFFE},
      {"data offset 0 in a bare header", std::vector<uint8_t>(0x16, 0), -1, 0},
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

}  // namespace

// The register image after each of the first 250 play calls (5 s) of tune 1, against
// tests/golden/sid_trace_tune01.txt: per voice frequency, pulse width, control, attack/decay and
// sustain/release, then the cutoff bytes, resonance/routing and mode/volume. GOLDEN_UPDATE=1
// rewrites it.
TEST(Tune, RegisterTraceOfTuneOne) {
  auto m = NewMachine();
  ASSERT_TRUE(SidLoadTune(*m, EmbeddedTunes[0].Image, uint32_t(*EmbeddedTunes[0].Size), 0));
  std::string trace =
      "call | voice 1..3: frequency pulse control ad sr | cutoff-low cutoff-high resonance "
      "mode-volume\n";
  std::vector<int16_t> frame(FrameSamples);
  char line[160];
  for (int call = 1; call <= 250; ++call) {
    RenderFrame(*m, frame.data(), FrameSamples);
    const SidRegisterImage& r = m->Registers;
    const SidVoiceRegisters* v = r.Voice;
    std::snprintf(
        line, sizeof line,
        "%03d | %04X %03X %02X %02X %02X | %04X %03X %02X %02X %02X | %04X %03X %02X %02X "
        "%02X | %02X %02X %02X %02X\n",
        call, v[0].Frequency, v[0].PulseWidth, v[0].Control, v[0].AttackDecay, v[0].SustainRelease,
        v[1].Frequency, v[1].PulseWidth, v[1].Control, v[1].AttackDecay, v[1].SustainRelease,
        v[2].Frequency, v[2].PulseWidth, v[2].Control, v[2].AttackDecay, v[2].SustainRelease,
        r.CutoffLow, r.CutoffHigh, r.ResonanceRouting, r.ModeVolume);
    trace += line;
  }
  const std::string failure = CheckGoldenText("sid_trace_tune01", trace);
  EXPECT_TRUE(failure.empty()) << failure;
}
