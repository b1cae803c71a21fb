// Instruction-level interpreter of the documented NMOS 6502 over flat RAM: no cycle counting, no
// interrupts, no decimal mode, and a stack pointer that saturates instead of wrapping.
#include <array>

#include "sid/sid_machine.h"

namespace {

using I = Instruction;
using M = AddressingMode;

struct OpcodeEntry {
  uint8_t Opcode;
  Instruction Instr;
  AddressingMode Mode;
};

// The 151 documented opcodes.
constexpr OpcodeEntry DocumentedOpcodes[] = {
    {0x69, I::ADC, M::Immediate},       {0x65, I::ADC, M::ZeroPage},
    {0x75, I::ADC, M::ZeroPageX},       {0x6D, I::ADC, M::Absolute},
    {0x7D, I::ADC, M::AbsoluteX},       {0x79, I::ADC, M::AbsoluteY},
    {0x61, I::ADC, M::IndexedIndirect}, {0x71, I::ADC, M::IndirectIndexed},
    {0x29, I::AND, M::Immediate},       {0x25, I::AND, M::ZeroPage},
    {0x35, I::AND, M::ZeroPageX},       {0x2D, I::AND, M::Absolute},
    {0x3D, I::AND, M::AbsoluteX},       {0x39, I::AND, M::AbsoluteY},
    {0x21, I::AND, M::IndexedIndirect}, {0x31, I::AND, M::IndirectIndexed},
    {0x0A, I::ASL, M::Accumulator},     {0x06, I::ASL, M::ZeroPage},
    {0x16, I::ASL, M::ZeroPageX},       {0x0E, I::ASL, M::Absolute},
    {0x1E, I::ASL, M::AbsoluteX},       {0x90, I::BCC, M::Relative},
    {0xB0, I::BCS, M::Relative},        {0xF0, I::BEQ, M::Relative},
    {0x30, I::BMI, M::Relative},        {0xD0, I::BNE, M::Relative},
    {0x10, I::BPL, M::Relative},        {0x50, I::BVC, M::Relative},
    {0x70, I::BVS, M::Relative},        {0x24, I::BIT, M::ZeroPage},
    {0x2C, I::BIT, M::Absolute},        {0x00, I::BRK, M::Implied},
    {0x18, I::CLC, M::Implied},         {0xD8, I::CLD, M::Implied},
    {0x58, I::CLI, M::Implied},         {0xB8, I::CLV, M::Implied},
    {0xC9, I::CMP, M::Immediate},       {0xC5, I::CMP, M::ZeroPage},
    {0xD5, I::CMP, M::ZeroPageX},       {0xCD, I::CMP, M::Absolute},
    {0xDD, I::CMP, M::AbsoluteX},       {0xD9, I::CMP, M::AbsoluteY},
    {0xC1, I::CMP, M::IndexedIndirect}, {0xD1, I::CMP, M::IndirectIndexed},
    {0xE0, I::CPX, M::Immediate},       {0xE4, I::CPX, M::ZeroPage},
    {0xEC, I::CPX, M::Absolute},        {0xC0, I::CPY, M::Immediate},
    {0xC4, I::CPY, M::ZeroPage},        {0xCC, I::CPY, M::Absolute},
    {0xC6, I::DEC, M::ZeroPage},        {0xD6, I::DEC, M::ZeroPageX},
    {0xCE, I::DEC, M::Absolute},        {0xDE, I::DEC, M::AbsoluteX},
    {0xCA, I::DEX, M::Implied},         {0x88, I::DEY, M::Implied},
    {0x49, I::EOR, M::Immediate},       {0x45, I::EOR, M::ZeroPage},
    {0x55, I::EOR, M::ZeroPageX},       {0x4D, I::EOR, M::Absolute},
    {0x5D, I::EOR, M::AbsoluteX},       {0x59, I::EOR, M::AbsoluteY},
    {0x41, I::EOR, M::IndexedIndirect}, {0x51, I::EOR, M::IndirectIndexed},
    {0xE6, I::INC, M::ZeroPage},        {0xF6, I::INC, M::ZeroPageX},
    {0xEE, I::INC, M::Absolute},        {0xFE, I::INC, M::AbsoluteX},
    {0xE8, I::INX, M::Implied},         {0xC8, I::INY, M::Implied},
    {0x4C, I::JMP, M::Absolute},        {0x6C, I::JMP, M::Indirect},
    {0x20, I::JSR, M::Absolute},        {0xA9, I::LDA, M::Immediate},
    {0xA5, I::LDA, M::ZeroPage},        {0xB5, I::LDA, M::ZeroPageX},
    {0xAD, I::LDA, M::Absolute},        {0xBD, I::LDA, M::AbsoluteX},
    {0xB9, I::LDA, M::AbsoluteY},       {0xA1, I::LDA, M::IndexedIndirect},
    {0xB1, I::LDA, M::IndirectIndexed}, {0xA2, I::LDX, M::Immediate},
    {0xA6, I::LDX, M::ZeroPage},        {0xB6, I::LDX, M::ZeroPageY},
    {0xAE, I::LDX, M::Absolute},        {0xBE, I::LDX, M::AbsoluteY},
    {0xA0, I::LDY, M::Immediate},       {0xA4, I::LDY, M::ZeroPage},
    {0xB4, I::LDY, M::ZeroPageX},       {0xAC, I::LDY, M::Absolute},
    {0xBC, I::LDY, M::AbsoluteX},       {0x4A, I::LSR, M::Accumulator},
    {0x46, I::LSR, M::ZeroPage},        {0x56, I::LSR, M::ZeroPageX},
    {0x4E, I::LSR, M::Absolute},        {0x5E, I::LSR, M::AbsoluteX},
    {0xEA, I::NOP, M::Implied},         {0x09, I::ORA, M::Immediate},
    {0x05, I::ORA, M::ZeroPage},        {0x15, I::ORA, M::ZeroPageX},
    {0x0D, I::ORA, M::Absolute},        {0x1D, I::ORA, M::AbsoluteX},
    {0x19, I::ORA, M::AbsoluteY},       {0x01, I::ORA, M::IndexedIndirect},
    {0x11, I::ORA, M::IndirectIndexed}, {0x48, I::PHA, M::Implied},
    {0x08, I::PHP, M::Implied},         {0x68, I::PLA, M::Implied},
    {0x28, I::PLP, M::Implied},         {0x2A, I::ROL, M::Accumulator},
    {0x26, I::ROL, M::ZeroPage},        {0x36, I::ROL, M::ZeroPageX},
    {0x2E, I::ROL, M::Absolute},        {0x3E, I::ROL, M::AbsoluteX},
    {0x6A, I::ROR, M::Accumulator},     {0x66, I::ROR, M::ZeroPage},
    {0x76, I::ROR, M::ZeroPageX},       {0x6E, I::ROR, M::Absolute},
    {0x7E, I::ROR, M::AbsoluteX},       {0x40, I::RTI, M::Implied},
    {0x60, I::RTS, M::Implied},         {0xE9, I::SBC, M::Immediate},
    {0xE5, I::SBC, M::ZeroPage},        {0xF5, I::SBC, M::ZeroPageX},
    {0xED, I::SBC, M::Absolute},        {0xFD, I::SBC, M::AbsoluteX},
    {0xF9, I::SBC, M::AbsoluteY},       {0xE1, I::SBC, M::IndexedIndirect},
    {0xF1, I::SBC, M::IndirectIndexed}, {0x38, I::SEC, M::Implied},
    {0xF8, I::SED, M::Implied},         {0x78, I::SEI, M::Implied},
    {0x85, I::STA, M::ZeroPage},        {0x95, I::STA, M::ZeroPageX},
    {0x8D, I::STA, M::Absolute},        {0x9D, I::STA, M::AbsoluteX},
    {0x99, I::STA, M::AbsoluteY},       {0x81, I::STA, M::IndexedIndirect},
    {0x91, I::STA, M::IndirectIndexed}, {0x86, I::STX, M::ZeroPage},
    {0x96, I::STX, M::ZeroPageY},       {0x8E, I::STX, M::Absolute},
    {0x84, I::STY, M::ZeroPage},        {0x94, I::STY, M::ZeroPageX},
    {0x8C, I::STY, M::Absolute},        {0xAA, I::TAX, M::Implied},
    {0xA8, I::TAY, M::Implied},         {0xBA, I::TSX, M::Implied},
    {0x8A, I::TXA, M::Implied},         {0x9A, I::TXS, M::Implied},
    {0x98, I::TYA, M::Implied},
};
static_assert(std::size(DocumentedOpcodes) == 151);

constexpr OpcodeTables BuildOpcodeTable() {
  OpcodeTables t{};
  for (int i = 0; i < 256; ++i) {
    t.Instr[i] = I::Illegal;
    t.Mode[i] = M::Implied;
  }
  for (const OpcodeEntry& e : DocumentedOpcodes) {
    t.Instr[e.Opcode] = e.Instr;
    t.Mode[e.Opcode] = e.Mode;
  }
  return t;
}

uint8_t FetchByte(SidMachine& m) {
  uint8_t b = m.Ram[m.PC];
  m.PC = static_cast<uint16_t>(m.PC + 1);
  return b;
}

uint16_t FetchWord(SidMachine& m) {
  uint8_t lo = FetchByte(m);
  uint8_t hi = FetchByte(m);
  return static_cast<uint16_t>(hi << 8 | lo);
}

void Push(SidMachine& m, uint8_t value) {
  MemoryWrite(m, static_cast<uint16_t>(0x0100 + m.S), value);
  if (m.S != 0) --m.S;  // saturates: the stack never wraps
}

uint8_t Pull(SidMachine& m) {
  if (m.S != 0xFF) ++m.S;
  return m.Ram[0x0100 + m.S];
}

void SetZN(SidMachine& m, uint8_t r) {
  m.P = static_cast<uint8_t>((m.P & ~(FlagZ | FlagN)) | (r == 0 ? FlagZ : 0) | (r & FlagN));
}

void SetFlag(SidMachine& m, uint8_t flag, bool on) {
  m.P = static_cast<uint8_t>(on ? (m.P | flag) : (m.P & ~flag));
}

// Reads the operand bytes of a memory mode, advancing PC past them, and returns the effective
// address. Zero-page pointers wrap within the zero page, indexing wraps at $10000.
uint16_t EffectiveAddress(SidMachine& m, AddressingMode mode) {
  switch (mode) {
    case M::Immediate: {
      uint16_t a = m.PC;
      m.PC = static_cast<uint16_t>(m.PC + 1);
      return a;
    }
    case M::Absolute:
      return FetchWord(m);
    case M::AbsoluteX:
      return static_cast<uint16_t>(FetchWord(m) + m.X);
    case M::AbsoluteY:
      return static_cast<uint16_t>(FetchWord(m) + m.Y);
    case M::ZeroPage:
      return FetchByte(m);
    case M::ZeroPageX:
      return static_cast<uint8_t>(FetchByte(m) + m.X);
    case M::ZeroPageY:
      return static_cast<uint8_t>(FetchByte(m) + m.Y);
    case M::IndexedIndirect: {
      uint8_t p = static_cast<uint8_t>(FetchByte(m) + m.X);
      return static_cast<uint16_t>(m.Ram[static_cast<uint8_t>(p + 1)] << 8 | m.Ram[p]);
    }
    case M::IndirectIndexed: {
      uint8_t zp = FetchByte(m);
      uint16_t base = static_cast<uint16_t>(m.Ram[static_cast<uint8_t>(zp + 1)] << 8 | m.Ram[zp]);
      return static_cast<uint16_t>(base + m.Y);
    }
    default:
      return 0;
  }
}

// Operand value of a reading instruction; the address stays in ScratchWord for a write-back.
uint8_t FetchOperand(SidMachine& m, AddressingMode mode) {
  if (mode == M::Accumulator) {
    m.ScratchByte = m.A;
  } else if (mode == M::Implied) {
    m.ScratchByte = 0;
  } else {
    m.ScratchWord = EffectiveAddress(m, mode);
    m.ScratchByte = MemoryRead(m, m.ScratchWord);
  }
  return m.ScratchByte;
}

// Result of a read-modify-write instruction: to A in accumulator mode, else to the operand's
// address through MemoryWrite (so INC $D400 reaches the SID).
void WriteBack(SidMachine& m, AddressingMode mode, uint8_t value) {
  if (mode == M::Accumulator) {
    m.A = value;
  } else {
    MemoryWrite(m, m.ScratchWord, value);
  }
}

// ADC and SBC share this: no decimal mode, and V is taken as N XOR C of the result.
void AddWithCarry(SidMachine& m, uint8_t operand) {
  unsigned t = m.A + operand + (m.P & FlagC);
  m.A = static_cast<uint8_t>(t);
  SetFlag(m, FlagC, t > 0xFF);
  SetZN(m, m.A);
  SetFlag(m, FlagV, ((m.P & FlagN) != 0) != ((m.P & FlagC) != 0));
}

void Compare(SidMachine& m, uint8_t reg, uint8_t operand) {
  SetZN(m, static_cast<uint8_t>(reg - operand));
  SetFlag(m, FlagC, reg >= operand);
}

void Branch(SidMachine& m, bool taken) {
  int8_t offset = static_cast<int8_t>(FetchByte(m));
  if (taken) m.PC = static_cast<uint16_t>(m.PC + offset);
}

}  // namespace

constinit const OpcodeTables OpcodeTable = BuildOpcodeTable();

uint8_t MemoryRead(const SidMachine& m, uint16_t address) {
  return m.Ram[address];
}

void MemoryWrite(SidMachine& m, uint16_t address, uint8_t value) {
  if ((address & 0xFC00) == 0xD400) {
    SidWriteRegister(m, address & 0x1F, value);
    SampleChannelWrite(m, address, value);
    return;
  }
  m.Ram[address] = value;
}

void CpuStep(SidMachine& m) {
  uint8_t opcode = FetchByte(m);
  AddressingMode mode = OpcodeTable.Mode[opcode];
  switch (OpcodeTable.Instr[opcode]) {
    case I::Illegal:  // a one-byte no-op: operand bytes, if any, run as opcodes next
      break;
    case I::ADC:
      AddWithCarry(m, FetchOperand(m, mode));
      break;
    case I::SBC:
      AddWithCarry(m, static_cast<uint8_t>(FetchOperand(m, mode) ^ 0xFF));
      break;
    case I::AND:
      m.A &= FetchOperand(m, mode);
      SetZN(m, m.A);
      break;
    case I::ORA:
      m.A |= FetchOperand(m, mode);
      SetZN(m, m.A);
      break;
    case I::EOR:
      m.A ^= FetchOperand(m, mode);
      SetZN(m, m.A);
      break;
    case I::ASL: {
      unsigned t = FetchOperand(m, mode) << 1;
      uint8_t r = static_cast<uint8_t>(t);
      WriteBack(m, mode, r);
      SetFlag(m, FlagC, t > 0xFF);
      SetZN(m, r);
      break;
    }
    case I::LSR: {
      uint8_t v = FetchOperand(m, mode);
      uint8_t r = static_cast<uint8_t>(v >> 1);
      SetFlag(m, FlagC, v & 1);
      WriteBack(m, mode, r);
      SetZN(m, r);
      break;
    }
    case I::ROL: {
      uint8_t v = FetchOperand(m, mode);
      uint8_t r = static_cast<uint8_t>(v << 1 | (m.P & FlagC));
      SetFlag(m, FlagC, v & 0x80);
      WriteBack(m, mode, r);
      SetZN(m, r);
      break;
    }
    case I::ROR: {
      uint8_t v = FetchOperand(m, mode);
      uint8_t r = static_cast<uint8_t>(v >> 1 | ((m.P & FlagC) << 7));
      SetFlag(m, FlagC, v & 1);
      WriteBack(m, mode, r);
      SetZN(m, r);
      break;
    }
    case I::INC: {
      uint8_t r = static_cast<uint8_t>(FetchOperand(m, mode) + 1);
      WriteBack(m, mode, r);
      SetZN(m, r);
      break;
    }
    case I::DEC: {
      uint8_t r = static_cast<uint8_t>(FetchOperand(m, mode) - 1);
      WriteBack(m, mode, r);
      SetZN(m, r);
      break;
    }
    case I::INX:
      SetZN(m, ++m.X);
      break;
    case I::INY:
      SetZN(m, ++m.Y);
      break;
    case I::DEX:
      SetZN(m, --m.X);
      break;
    case I::DEY:
      SetZN(m, --m.Y);
      break;
    case I::BIT: {
      uint8_t v = FetchOperand(m, mode);
      SetFlag(m, FlagZ, (m.A & v) == 0);
      SetFlag(m, FlagN, v & 0x80);
      SetFlag(m, FlagV, v & 0x40);
      break;
    }
    case I::CMP:
      Compare(m, m.A, FetchOperand(m, mode));
      break;
    case I::CPX:
      Compare(m, m.X, FetchOperand(m, mode));
      break;
    case I::CPY:
      Compare(m, m.Y, FetchOperand(m, mode));
      break;
    case I::LDA:
      m.A = FetchOperand(m, mode);
      SetZN(m, m.A);
      break;
    case I::LDX:
      m.X = FetchOperand(m, mode);
      SetZN(m, m.X);
      break;
    case I::LDY:
      m.Y = FetchOperand(m, mode);
      SetZN(m, m.Y);
      break;
    case I::STA:
      m.ScratchWord = EffectiveAddress(m, mode);
      MemoryWrite(m, m.ScratchWord, m.A);
      break;
    case I::STX:
      m.ScratchWord = EffectiveAddress(m, mode);
      MemoryWrite(m, m.ScratchWord, m.X);
      break;
    case I::STY:
      m.ScratchWord = EffectiveAddress(m, mode);
      MemoryWrite(m, m.ScratchWord, m.Y);
      break;
    case I::TAX:
      m.X = m.A;
      SetZN(m, m.X);
      break;
    case I::TAY:
      m.Y = m.A;
      SetZN(m, m.Y);
      break;
    case I::TXA:
      m.A = m.X;
      SetZN(m, m.A);
      break;
    case I::TYA:
      m.A = m.Y;
      SetZN(m, m.A);
      break;
    case I::TSX:
      m.X = m.S;
      SetZN(m, m.X);
      break;
    case I::TXS:
      m.S = m.X;
      break;
    case I::PHA:
      Push(m, m.A);
      break;
    case I::PHP:
      Push(m, m.P);
      break;
    case I::PLA:
      m.A = Pull(m);
      SetZN(m, m.A);
      break;
    case I::PLP:
      m.P = Pull(m);
      break;
    case I::BCC:
      Branch(m, !(m.P & FlagC));
      break;
    case I::BCS:
      Branch(m, m.P & FlagC);
      break;
    case I::BEQ:
      Branch(m, m.P & FlagZ);
      break;
    case I::BNE:
      Branch(m, !(m.P & FlagZ));
      break;
    case I::BMI:
      Branch(m, m.P & FlagN);
      break;
    case I::BPL:
      Branch(m, !(m.P & FlagN));
      break;
    case I::BVC:
      Branch(m, !(m.P & FlagV));
      break;
    case I::BVS:
      Branch(m, m.P & FlagV);
      break;
    case I::JMP:
      if (mode == M::Absolute) {
        m.PC = FetchWord(m);
      } else {
        // The pointer's high byte comes from the next address, even across a page boundary.
        uint16_t p = FetchWord(m);
        m.PC = static_cast<uint16_t>(m.Ram[static_cast<uint16_t>(p + 1)] << 8 | m.Ram[p]);
      }
      break;
    case I::JSR: {
      // Pushes the address of the JSR's last byte; RTS adds one.
      uint16_t ret = static_cast<uint16_t>(m.PC + 1);
      m.ScratchWord = FetchWord(m);
      Push(m, static_cast<uint8_t>(ret >> 8));
      Push(m, static_cast<uint8_t>(ret));
      m.PC = m.ScratchWord;
      break;
    }
    case I::RTS:
    case I::RTI: {  // no interrupts, so RTI pulls no status and acts as RTS
      uint8_t lo = Pull(m);
      uint8_t hi = Pull(m);
      m.PC = static_cast<uint16_t>((hi << 8 | lo) + 1);
      break;
    }
    case I::BRK:  // PC 0 ends the running call; nothing is pushed
      m.PC = 0;
      break;
    case I::CLC:
      m.P &= static_cast<uint8_t>(~FlagC);
      break;
    case I::CLD:
      m.P &= static_cast<uint8_t>(~FlagD);
      break;
    case I::CLI:
      m.P &= static_cast<uint8_t>(~FlagI);
      break;
    case I::CLV:
      m.P &= static_cast<uint8_t>(~FlagV);
      break;
    case I::SEC:
      m.P |= FlagC;
      break;
    case I::SED:
      m.P |= FlagD;
      break;
    case I::SEI:
      m.P |= FlagI;
      break;
    case I::NOP:
      break;
  }
}

bool CpuCall(SidMachine& m, uint16_t address, uint8_t a) {
  m.A = a;
  m.X = 0;
  m.Y = 0;
  m.P = 0;
  m.S = 0xFF;
  m.PC = address;
  // The routine's final RTS pulls these two zeros and lands on PC = 1.
  Push(m, 0);
  Push(m, 0);
  for (uint32_t executed = 0; m.PC > 1; ++executed) {
    if (executed >= m.InstructionBudget) {
      ++m.CallsCutShort;
      return false;
    }
    CpuStep(m);
  }
  return true;
}
