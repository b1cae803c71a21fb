#pragma once
// The SID player's emulated machine: a 6502 over 64 KiB of flat RAM, the SID chip's three voices,
// filter and volume, and a 4-bit sample channel, all in one plain record. Every engine procedure
// takes the machine explicitly, so tests can run several machines side by side; the program's
// own machine is the global `Sid` of sid_player.h.
#include <cstdint>

#include "display/audio.h"

constexpr int FrameSamples = 882;  // samples per play call: 50 play calls per second
// A call that has run this many instructions is stopped and counted as finished. A real play
// routine runs a few thousand instructions per frame; one million is more than the real
// processor executes in a second, so only a routine that runs away reaches it.
constexpr uint32_t DefaultInstructionBudget = 1000000;

// ---- SID register image --------------------------------------------------------------------
struct SidVoiceRegisters {
  uint16_t Frequency;
  uint16_t PulseWidth;  // the upper 4 bits are kept but ignored
  uint8_t Control;
  uint8_t AttackDecay;
  uint8_t SustainRelease;
};

struct SidRegisterImage {
  SidVoiceRegisters Voice[3];
  uint8_t CutoffLow;
  uint8_t CutoffHigh;
  uint8_t ResonanceRouting;
  uint8_t ModeVolume;
};

enum : uint8_t {
  SidEnvelopeAttack = 0,
  SidEnvelopeDecay = 1,
  SidEnvelopeSustain = 2,
  SidEnvelopeRelease = 3,
};

struct SidOscillator {
  uint32_t Increment;       // added to the accumulator every sample
  uint32_t PulseThreshold;  // pulse width x 65536
  uint8_t WaveformControl;  // copy of the control register, latched once per render call
  uint8_t Filtered;         // routing bit of this voice
  uint32_t Attack;          // envelope steps per sample
  uint32_t Decay;
  uint32_t Release;
  uint32_t Sustain;       // 0..$F0
  uint32_t Accumulator;   // 28 bits
  int32_t EnvelopeLevel;  // 0..$FFFFFF
  uint8_t EnvelopePhase;
  uint32_t NoisePosition;  // accumulator >> 23 when the noise last stepped
  uint32_t NoiseRegister;
  uint8_t NoiseOutput;
};

struct SidFilter {
  int32_t Cutoff;  // 16 fractional bits, at most 65536
  uint8_t LowPass;
  uint8_t BandPass;
  uint8_t HighPass;
  uint8_t Voice3On;
  int32_t Volume;     // 0..15
  int32_t Resonance;  // 307 (resonance 0) down to 153 (resonance 15)
  int32_t High;       // filter state, 16 fractional bits
  int32_t Band;
  int32_t Low;
};

// ---- Sample channel --------------------------------------------------------------------------
// The tune writes the latches; a write to the control address copies them into the working
// fields.
struct SampleChannel {
  uint16_t LatchStart;
  uint16_t LatchEnd;
  uint8_t LatchRepeatCount;
  uint16_t LatchPeriod;
  uint8_t LatchNibbleOrder;
  uint16_t LatchRepeatAddress;

  int32_t Position;
  int32_t Start;
  int32_t End;  // exclusive: the channel plays bytes Start..End-1
  int32_t RepeatAddress;
  int32_t Period;
  int32_t RepeatCount;
  int32_t NibbleOrder;  // 0: low nibble first; otherwise high nibble first
  int32_t Active;
  int32_t Fraction;
  int32_t NibbleIndex;
  // Level of the last nibble fetched. It outlives MachineInit (a new tune's first samples can
  // still carry the previous tune's last nibble), so MachineInit keeps it.
  int32_t CurrentLevel;
};

// ---- 6502 ----------------------------------------------------------------------------------
enum : uint8_t {
  FlagC = 0x01,
  FlagZ = 0x02,
  FlagI = 0x04,
  FlagD = 0x08,
  FlagV = 0x40,
  FlagN = 0x80,
};

// ---- The machine ----------------------------------------------------------------------------
struct SidMachine {
  SidRegisterImage Registers;
  SidOscillator Oscillator[3];
  SidFilter Filter;
  uint32_t FrequencyMultiplier;
  uint32_t FilterMultiplier;
  uint32_t MixingRate;
  int32_t AttackRate[16];
  int32_t DecayReleaseRate[16];

  // 6502 registers. ScratchByte and ScratchWord hold the operand value and effective address of
  // the instruction being executed.
  uint8_t ScratchByte;
  uint16_t ScratchWord;
  uint8_t A;
  uint8_t X;
  uint8_t Y;
  uint8_t S;
  uint8_t P;
  uint16_t PC;

  uint8_t Ram[65536];

  SampleChannel Sample;

  // Tune addresses from the PSID header (song count, start song and speed are kept, not used).
  uint16_t LoadAddress;
  uint16_t InitAddress;
  uint16_t PlayAddress;
  uint8_t SongCountMinus1;
  uint8_t StartSongMinus1;
  uint8_t SpeedByte;

  // Run-away guard: instructions one CpuCall may execute, and how many calls were cut short.
  uint32_t InstructionBudget;
  uint32_t CallsCutShort;
};

// ---- CPU (cpu.cpp) -------------------------------------------------------------------------
enum class Instruction : uint8_t {
  Illegal,
  ADC,
  AND,
  ASL,
  BCC,
  BCS,
  BEQ,
  BIT,
  BMI,
  BNE,
  BPL,
  BRK,
  BVC,
  BVS,
  CLC,
  CLD,
  CLI,
  CLV,
  CMP,
  CPX,
  CPY,
  DEC,
  DEX,
  DEY,
  EOR,
  INC,
  INX,
  INY,
  JMP,
  JSR,
  LDA,
  LDX,
  LDY,
  LSR,
  NOP,
  ORA,
  PHA,
  PHP,
  PLA,
  PLP,
  ROL,
  ROR,
  RTI,
  RTS,
  SBC,
  SEC,
  SED,
  SEI,
  STA,
  STX,
  STY,
  TAX,
  TAY,
  TSX,
  TXA,
  TXS,
  TYA,
};

enum class AddressingMode : uint8_t {
  Implied,
  Immediate,
  Absolute,
  AbsoluteX,
  AbsoluteY,
  ZeroPage,
  ZeroPageX,
  ZeroPageY,
  Indirect,
  IndexedIndirect,  // (zp,X)
  IndirectIndexed,  // (zp),Y
  Accumulator,
  Relative,
};

struct OpcodeTables {
  Instruction Instr[256];
  AddressingMode Mode[256];
};
// The documented NMOS 6502 instruction set: 151 opcodes; the other 105 are Illegal.
extern const OpcodeTables OpcodeTable;

uint8_t MemoryRead(const SidMachine& m, uint16_t address);
// $D400..$D7FF goes to the SID (and the sample channel's latches), everything else to RAM.
void MemoryWrite(SidMachine& m, uint16_t address, uint8_t value);
void CpuStep(SidMachine& m);
// Runs the routine at `address` with A = `a` until it returns (PC <= 1). Returns false when the
// routine ran past the machine's instruction budget and was stopped.
bool CpuCall(SidMachine& m, uint16_t address, uint8_t a);

// ---- Synthesis (synth.cpp) -----------------------------------------------------------------
void SynthInit(SidMachine& m, uint32_t rate);
void SidWriteRegister(SidMachine& m, uint32_t reg, uint8_t value);
void SynthRender(SidMachine& m, int16_t* samples, int count);
int32_t SampleChannelMix(SidMachine& m, int32_t input);
// Latch write of the sample channel; `address` is one of its exact addresses ($D41D..$D47F).
void SampleChannelWrite(SidMachine& m, uint16_t address, uint8_t value);

// ---- Tunes (tune.cpp) ----------------------------------------------------------------------
constexpr int32_t TuneRefused = -1;
// Zeroes the machine (except the sample channel's current level), sets up the synthesiser for
// `rate` and resets the 6502 registers.
void MachineInit(SidMachine& m, uint32_t rate);
// Loads a PSID image into RAM and records its addresses. Returns the load address, or
// TuneRefused (machine untouched) when the image is shorter than its header fields and load
// address, or its payload would run past the end of RAM.
int32_t LoadTuneImage(SidMachine& m, const uint8_t* image, uint32_t size);
void InitSong(SidMachine& m, uint8_t song);
// Machine start shared by the player and the offline renderer: MachineInit, LoadTuneImage and
// InitSong. False (nothing run) when the image is refused.
bool SidLoadTune(SidMachine& m, const uint8_t* image, uint32_t size, uint8_t song);
// One play call, then `count` samples synthesised from the registers it left.
void RenderFrame(SidMachine& m, int16_t* samples, int count);
