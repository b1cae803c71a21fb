// 6502 interpreter: one test per instruction group, each on hand-assembled code with the expected
// registers and flags worked out beside it.
#include <gtest/gtest.h>

#include "tests/sid/sid_test_util.h"

namespace {

// Places `code` at $0200 and executes `steps` instructions from there.
void Exec(SidMachine& m, std::initializer_list<uint8_t> code, int steps = 1) {
  Poke(m, 0x0200, code);
  m.PC = 0x0200;
  for (int i = 0; i < steps; ++i) CpuStep(m);
}

bool Flag(const SidMachine& m, uint8_t f) {
  return (m.P & f) != 0;
}

TEST(Cpu, OpcodeTableHoldsExactlyTheDocumentedSet) {
  int documented = 0;
  for (int op = 0; op < 256; ++op) documented += OpcodeTable.Instr[op] != Instruction::Illegal;
  EXPECT_EQ(documented, 151);
  // Spot checks on modes that are easy to confuse.
  EXPECT_EQ(OpcodeTable.Mode[0xB6], AddressingMode::ZeroPageY);  // LDX zp,Y
  EXPECT_EQ(OpcodeTable.Mode[0xBE], AddressingMode::AbsoluteY);  // LDX abs,Y
  EXPECT_EQ(OpcodeTable.Mode[0x96], AddressingMode::ZeroPageY);  // STX zp,Y
  EXPECT_EQ(OpcodeTable.Mode[0x6C], AddressingMode::Indirect);   // JMP (abs)
  EXPECT_EQ(OpcodeTable.Instr[0x9E], Instruction::Illegal);      // undocumented SHX
  EXPECT_EQ(OpcodeTable.Instr[0x80], Instruction::Illegal);      // undocumented NOP #imm
}

TEST(Cpu, CallEndsOnRtsBrkOrLowPc) {
  auto m = NewMachine();
  // RTS alone: one instruction pulls the two zeros pushed by the call, PC = $0000 + 1.
  Poke(*m, 0x1000, {0x60});
  EXPECT_TRUE(CpuCall(*m, 0x1000, 0x42));
  EXPECT_EQ(m->PC, 1);
  EXPECT_EQ(m->S, 0xFF);
  EXPECT_EQ(m->Ram[0x01FF], 0);
  EXPECT_EQ(m->Ram[0x01FE], 0);

  // JMP $3000 into zero-filled RAM stops at the first $00 (BRK).
  Poke(*m, 0x1000, {0x4C, 0x00, 0x30});
  EXPECT_TRUE(CpuCall(*m, 0x1000, 0));
  EXPECT_EQ(m->PC, 0);

  // A call to address 0 or 1 runs nothing.
  m->Ram[0] = 0xE8;  // INX, would change X if it ran
  EXPECT_TRUE(CpuCall(*m, 0x0000, 0));
  EXPECT_EQ(m->X, 0);

  // The registers are reset by each call: A = the given value, X = Y = P = 0.
  Poke(*m, 0x1000, {0x85, 0x10, 0x86, 0x11, 0x08, 0x60});  // STA $10; STX $11; PHP; RTS
  m->X = 9;
  m->P = 0xFF;
  CpuCall(*m, 0x1000, 0x37);
  EXPECT_EQ(m->Ram[0x10], 0x37);
  EXPECT_EQ(m->Ram[0x11], 0);
}

TEST(Cpu, RunawayCallIsCutShortByTheBudget) {
  auto m = NewMachine();
  Poke(*m, 0x1000, {0x4C, 0x00, 0x10});  // JMP $1000 for ever
  m->InstructionBudget = 5000;
  EXPECT_FALSE(CpuCall(*m, 0x1000, 0));
  EXPECT_EQ(m->CallsCutShort, 1u);
  // The next call starts afresh and finishes normally.
  Poke(*m, 0x2000, {0x60});
  EXPECT_TRUE(CpuCall(*m, 0x2000, 0));
  EXPECT_EQ(m->CallsCutShort, 1u);
  // The default budget also stops it, and it is what MachineInit sets.
  auto fresh = NewMachine();
  EXPECT_EQ(fresh->InstructionBudget, DefaultInstructionBudget);
  Poke(*fresh, 0x1000, {0xD0, 0xFE, 0xF0, 0xFC});  // BNE *; BEQ back to it: loops either way
  EXPECT_FALSE(CpuCall(*fresh, 0x1000, 0));
}

TEST(Cpu, AddressingModesWrap) {
  auto m = NewMachine();
  m->Ram[0x7F] = 0x11;
  m->Ram[0x0001] = 0x22;
  Exec(*m, {0xA2, 0xFF, 0xB5, 0x80}, 2);  // LDX #$FF; LDA $80,X -> $7F (zero-page wrap)
  EXPECT_EQ(m->A, 0x11);
  Exec(*m, {0xA2, 0x02, 0xBD, 0xFF, 0xFF}, 2);  // LDX #2; LDA $FFFF,X -> $0001
  EXPECT_EQ(m->A, 0x22);
  Exec(*m, {0xA0, 0x03, 0xB9, 0xFE, 0xFF}, 2);  // LDY #3; LDA $FFFE,Y -> $0001
  EXPECT_EQ(m->A, 0x22);

  // (zp,X): pointer at $FF with its high byte taken from $00.
  m->Ram[0xFF] = 0x34;
  m->Ram[0x00] = 0x12;
  m->Ram[0x1234] = 0x5A;
  Exec(*m, {0xA2, 0x0F, 0xA1, 0xF0}, 2);  // LDX #$0F; LDA ($F0,X) -> ($FF)
  EXPECT_EQ(m->A, 0x5A);
  // (zp),Y: the same wrapped pointer plus Y.
  m->Ram[0x1236] = 0x6B;
  Exec(*m, {0xA0, 0x02, 0xB1, 0xFF}, 2);  // LDY #2; LDA ($FF),Y -> $1234 + 2
  EXPECT_EQ(m->A, 0x6B);
  // (zp),Y crossing $FFFF wraps to the bottom of memory.
  m->Ram[0x40] = 0xFF;
  m->Ram[0x41] = 0xFF;
  Exec(*m, {0xA0, 0x02, 0xB1, 0x40}, 2);  // ($40) = $FFFF, + 2 = $0001
  EXPECT_EQ(m->A, 0x22);
  // zp,Y for LDX wraps in the zero page.
  m->Ram[0x05] = 0x77;
  Exec(*m, {0xA0, 0x10, 0xB6, 0xF5}, 2);  // LDY #$10; LDX $F5,Y -> $05
  EXPECT_EQ(m->X, 0x77);
  // Stores use the same addresses.
  Exec(*m, {0xA9, 0x99, 0xA2, 0xFF, 0x95, 0x81}, 3);  // LDA #$99; LDX #$FF; STA $81,X -> $80
  EXPECT_EQ(m->Ram[0x80], 0x99);
}

TEST(Cpu, SidWindowWritesGoToTheChipNotRam) {
  auto m = NewMachine();
  Exec(*m, {0xA9, 0x5C, 0x8D, 0x00, 0xD4}, 2);  // LDA #$5C; STA $D400
  EXPECT_EQ(m->Registers.Voice[0].Frequency & 0xFF, 0x5C);
  EXPECT_EQ(m->Ram[0xD400], 0);
  Exec(*m, {0xA9, 0x3A, 0x8D, 0x20, 0xD4}, 2);  // STA $D420: the registers repeat every 32 bytes
  EXPECT_EQ(m->Registers.Voice[0].Frequency & 0xFF, 0x3A);
  Exec(*m, {0xA9, 0x0F, 0x8D, 0xF8, 0xD7}, 2);  // STA $D7F8 -> register $18, the last mirror
  EXPECT_EQ(m->Registers.ModeVolume, 0x0F);
  EXPECT_EQ(m->Ram[0xD7F8], 0);
  // Reads of the window return RAM, not a waveform value.
  m->Ram[0xD41B] = 0xA7;
  Exec(*m, {0xAD, 0x1B, 0xD4});  // LDA $D41B
  EXPECT_EQ(m->A, 0xA7);
  // Read-modify-write reads RAM and writes the chip: INC $D401 sets the high byte to RAM + 1.
  m->Ram[0xD401] = 0x41;
  Exec(*m, {0xEE, 0x01, 0xD4});
  EXPECT_EQ(m->Registers.Voice[0].Frequency >> 8, 0x42);
  EXPECT_EQ(m->Ram[0xD401], 0x41);
  // Just outside the window is plain RAM.
  Exec(*m, {0xA9, 0x01, 0x8D, 0x00, 0xD8, 0x8D, 0xFF, 0xD3}, 3);
  EXPECT_EQ(m->Ram[0xD800], 1);
  EXPECT_EQ(m->Ram[0xD3FF], 1);
}

// Arithmetic, logic, shifts, increments, compares, transfers and flag instructions, each row from a
// fresh machine (A = X = Y = 0, flags clear) with one RAM byte set before and checked after. P is
// compared but for B. ADC and SBC set V = N XOR C (unlike the chip's real V) and ignore decimal
// mode.
TEST(Cpu, AluInstructionsAndTheirFlags) {
  constexpr int N = FlagN, V = FlagV, D = FlagD, I = FlagI, Z = FlagZ, C = FlagC;
  const struct {
    const char* code;
    std::vector<uint8_t> bytes;
    std::vector<int> ram;       // address, byte before, byte after
    std::vector<int> expected;  // A, X, Y, P
  } rows[] = {
      {"CLC; LDA #$01; ADC #$FF", {0x18, 0xA9, 0x01, 0x69, 0xFF}, {}, {0, 0, 0, Z | C | V}},
      {"CLC; LDA #$50; ADC #$50", {0x18, 0xA9, 0x50, 0x69, 0x50}, {}, {0xA0, 0, 0, N | V}},
      {"SEC; LDA #$10; ADC #$20", {0x38, 0xA9, 0x10, 0x69, 0x20}, {}, {0x31, 0, 0, 0}},
      {"SED; CLC; LDA #$09; ADC #$01", {0xF8, 0x18, 0xA9, 0x09, 0x69, 0x01}, {}, {0x0A, 0, 0, D}},
      {"SEC; LDA #$00; SBC #$01", {0x38, 0xA9, 0x00, 0xE9, 0x01}, {}, {0xFF, 0, 0, N | V}},
      {"CLC; LDA #$50; SBC #$10", {0x18, 0xA9, 0x50, 0xE9, 0x10}, {}, {0x3F, 0, 0, C | V}},
      {"SED; SEC; LDA #$10; SBC #$01",
       {0xF8, 0x38, 0xA9, 0x10, 0xE9, 0x01},
       {},
       {15, 0, 0, D | C | V}},
      {"LDA #$F0; AND #$0F", {0xA9, 0xF0, 0x29, 0x0F}, {}, {0, 0, 0, Z}},
      {"ORA #$81", {0x09, 0x81}, {}, {0x81, 0, 0, N}},
      {"LDA #$81; EOR #$FF", {0xA9, 0x81, 0x49, 0xFF}, {}, {0x7E, 0, 0, 0}},
      {"LDA #$3F; BIT $20", {0xA9, 0x3F, 0x24, 0x20}, {0x20, 0xC0, 0xC0}, {0x3F, 0, 0, N | V | Z}},
      {"LDA #$3F; BIT $1234", {0xA9, 0x3F, 0x2C, 0x34, 0x12}, {0x1234, 1, 1}, {0x3F, 0, 0, 0}},
      {"LDA #$80; ASL A", {0xA9, 0x80, 0x0A}, {}, {0, 0, 0, C | Z}},
      {"LSR $30", {0x46, 0x30}, {0x30, 0x81, 0x40}, {0, 0, 0, C}},
      {"SEC; LDA #$40; ROL A", {0x38, 0xA9, 0x40, 0x2A}, {}, {0x81, 0, 0, N}},
      {"SEC; LDA #$01; ROR A", {0x38, 0xA9, 0x01, 0x6A}, {}, {0x80, 0, 0, N | C}},
      {"LDX #4; INC $FFFF,X", {0xA2, 0x04, 0xFE, 0xFF, 0xFF}, {0x0003, 0x7F, 0x80}, {0, 4, 0, N}},
      {"LDX #$20; DEC $F0,X", {0xA2, 0x20, 0xD6, 0xF0}, {0x10, 0x00, 0xFF}, {0, 0x20, 0, N}},
      {"DEC $1300", {0xCE, 0x00, 0x13}, {0x1300, 1, 0}, {0, 0, 0, Z}},
      {"LDX #$FF; INX; LDY #0; DEY", {0xA2, 0xFF, 0xE8, 0xA0, 0x00, 0x88}, {}, {0, 0, 0xFF, N}},
      {"LDA #$40; CMP #$40", {0xA9, 0x40, 0xC9, 0x40}, {}, {0x40, 0, 0, Z | C}},
      {"LDX #$10; CPX #$20", {0xA2, 0x10, 0xE0, 0x20}, {}, {0, 0x10, 0, N}},
      {"LDY #$80; CPY $44", {0xA0, 0x80, 0xC4, 0x44}, {0x44, 1, 1}, {0, 0, 0x80, C}},
      {"LDA #$80; TAX; TAY", {0xA9, 0x80, 0xAA, 0xA8}, {}, {0x80, 0x80, 0x80, N}},
      {"LDX #0; LDA #1; TXS", {0xA2, 0x00, 0xA9, 0x01, 0x9A}, {}, {1, 0, 0, 0}},
      {"LDX #5; TXS; LDA #0; TSX", {0xA2, 0x05, 0x9A, 0xA9, 0x00, 0xBA}, {}, {0, 5, 0, 0}},
      {"LDX #0; TXA", {0xA2, 0x00, 0x8A}, {}, {0, 0, 0, Z}},
      {"SEC; SED; SEI", {0x38, 0xF8, 0x78}, {}, {0, 0, 0, C | D | I}},
      {"SEC; SED; SEI; CLC; CLD; CLI", {0x38, 0xF8, 0x78, 0x18, 0xD8, 0x58}, {}, {0, 0, 0, 0}},
      {"LDA #$50; ADC #$50; CLV", {0xA9, 0x50, 0x69, 0x50, 0xB8}, {}, {0xA0, 0, 0, N}},
  };
  for (const auto& r : rows) {
    auto m = NewMachine();
    m->P = 0;
    if (!r.ram.empty()) m->Ram[r.ram[0]] = uint8_t(r.ram[1]);
    std::copy(r.bytes.begin(), r.bytes.end(), m->Ram + 0x0200);
    m->PC = 0x0200;
    while (m->PC < 0x0200 + r.bytes.size()) CpuStep(*m);  // no branches: to the end of the code
    EXPECT_EQ(std::vector<int>({m->A, m->X, m->Y, m->P & (N | V | D | I | Z | C)}), r.expected)
        << r.code;
    if (!r.ram.empty()) {
      EXPECT_EQ(m->Ram[r.ram[0]], r.ram[2]) << r.code;
    }
  }
}

TEST(Cpu, BranchesAndJumps) {
  auto m = NewMachine();
  Exec(*m, {0xA9, 0x00, 0xF0, 0x05}, 2);  // LDA #0; BEQ +5 -> $0204 + 5
  EXPECT_EQ(m->PC, 0x0209);
  Exec(*m, {0xA9, 0x01, 0xF0, 0x05}, 2);  // not taken: only the offset byte is consumed
  EXPECT_EQ(m->PC, 0x0204);
  Exec(*m, {0x18, 0x90, 0xFB}, 2);  // CLC; BCC -5 -> $0203 - 5
  EXPECT_EQ(m->PC, 0x01FE);
  // A branch near the top of memory wraps to the bottom.
  Poke(*m, 0xFFF0, {0x18, 0x90, 0x7F});  // CLC; BCC +127 -> $FFF3 + $7F = $0072
  m->PC = 0xFFF0;
  CpuStep(*m);
  CpuStep(*m);
  EXPECT_EQ(m->PC, 0x0072);
  // Each flag branch tests its own flag.
  m->P = FlagV;
  Exec(*m, {0x70, 0x10}, 1);  // BVS taken
  EXPECT_EQ(m->PC, 0x0212);
  Exec(*m, {0x50, 0x10}, 1);  // BVC not taken
  EXPECT_EQ(m->PC, 0x0202);
  m->P = FlagN;
  Exec(*m, {0x30, 0x10}, 1);  // BMI taken
  EXPECT_EQ(m->PC, 0x0212);
  Exec(*m, {0x10, 0x10}, 1);  // BPL not taken
  EXPECT_EQ(m->PC, 0x0202);

  // JMP ($10FF) takes its high byte from $1100, the next address.
  m->Ram[0x10FF] = 0x34;
  m->Ram[0x1100] = 0x12;
  m->Ram[0x1000] = 0x99;  // where a page-wrapping chip would look
  Exec(*m, {0x6C, 0xFF, 0x10});
  EXPECT_EQ(m->PC, 0x1234);
  Exec(*m, {0x4C, 0x78, 0x56});
  EXPECT_EQ(m->PC, 0x5678);
}

TEST(Cpu, SubroutinesAndTheSaturatingStack) {
  auto m = NewMachine();
  // JSR pushes the address of its own last byte; RTS returns one past it.
  m->S = 0xFF;
  Poke(*m, 0x3000, {0x60});
  Exec(*m, {0x20, 0x00, 0x30});
  EXPECT_EQ(m->PC, 0x3000);
  EXPECT_EQ(m->Ram[0x01FF], 0x02);
  EXPECT_EQ(m->Ram[0x01FE], 0x02);  // $0202 pushed high byte first
  EXPECT_EQ(m->S, 0xFD);
  CpuStep(*m);
  EXPECT_EQ(m->PC, 0x0203);
  // RTI behaves exactly as RTS (no status pulled).
  m->P = 0x5A;
  Poke(*m, 0x3000, {0x40});
  Exec(*m, {0x20, 0x00, 0x30}, 2);
  EXPECT_EQ(m->PC, 0x0203);
  EXPECT_EQ(m->P, 0x5A);

  // More pulls than pushes: S stays at $FF and every pull returns RAM[$01FF].
  m->S = 0xFE;
  m->Ram[0x01FF] = 0x66;
  Exec(*m, {0x68, 0x68, 0x68}, 3);  // PLA x3
  EXPECT_EQ(m->S, 0xFF);
  EXPECT_EQ(m->A, 0x66);
  // Pushes at S = 0 keep overwriting $0100 and S stays 0.
  m->S = 0x01;
  Exec(*m, {0xA9, 0x11, 0x48, 0xA9, 0x22, 0x48, 0xA9, 0x33, 0x48}, 6);
  EXPECT_EQ(m->S, 0x00);
  EXPECT_EQ(m->Ram[0x0101], 0x11);
  EXPECT_EQ(m->Ram[0x0100], 0x33);

  // PHP pushes P as it is; PLP restores all 8 bits, $10 and $20 included.
  m->S = 0xFF;
  m->P = FlagC | FlagN;
  Exec(*m, {0x08});
  EXPECT_EQ(m->Ram[0x01FF], FlagC | FlagN);
  m->Ram[0x01FF] = 0xFF;
  m->S = 0xFE;
  Exec(*m, {0x28});
  EXPECT_EQ(m->P, 0xFF);
  // PLA sets Z and N.
  m->Ram[0x01FF] = 0x00;
  m->S = 0xFE;
  Exec(*m, {0x68});
  EXPECT_TRUE(Flag(*m, FlagZ));
}

TEST(Cpu, IllegalOpcodesAreOneByteNoOps) {
  auto m = NewMachine();
  m->A = 1;
  m->X = 2;
  m->Y = 3;
  m->P = 0x81;
  m->S = 0xF0;
  Exec(*m, {0x02, 0xA9, 0x07});  // opcode $02, then what follows runs as code
  EXPECT_EQ(m->PC, 0x0201);
  EXPECT_EQ(m->A, 1);
  EXPECT_EQ(m->X, 2);
  EXPECT_EQ(m->Y, 3);
  EXPECT_EQ(m->P, 0x81);
  EXPECT_EQ(m->S, 0xF0);
  CpuStep(*m);  // LDA #$07, the illegal opcode's would-be operand
  EXPECT_EQ(m->A, 7);
}

}  // namespace
