#pragma once
// Writes an extended tracker module image from plain descriptions: header, packed patterns,
// instruments with any number of samples, envelopes, 8- or 16-bit delta-coded data and loops.
// xmgen assembles the program's modules with it, and the module player's tests and benchmarks
// build their songs with it, so each case states exactly the cells, samples and envelopes it
// plays.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct XmCell {
  uint8_t Note = 0;  // 0 none, 1..96 (1 = C-0), 97 key-off
  uint8_t Instrument = 0;
  uint8_t Volume = 0;  // volume column byte as stored
  uint8_t Effect = 0;
  uint8_t Parameter = 0;
};

struct XmPattern {
  int Rows = 64;
  std::vector<XmCell> Cells;  // Rows x channels, row-major; empty: every cell is empty
  // The cell at `row`, `channel`; fills Cells with empty cells on first use.
  XmCell& At(int row, int channel, int channels);
};

struct XmEnvelopePoint {
  uint16_t Tick = 0;
  uint16_t Value = 0;
};

struct XmEnvelope {
  std::vector<XmEnvelopePoint> Points;  // the first 12 are written; the count as given
  uint8_t Type = 0;                     // bit 0 on, bit 1 sustain, bit 2 loop
  uint8_t Sustain = 0, LoopStart = 0, LoopEnd = 0;
};

struct XmSample {
  std::string Name;             // up to 22 characters
  std::vector<int16_t> Frames;  // signal values; 8-bit samples use -128..127
  bool SixteenBit = false;
  uint8_t Loop = 0;                        // 0 none, 1 forward, 2 ping-pong
  uint32_t LoopStart = 0, LoopLength = 0;  // in frames
  uint8_t Volume = 64;
  int8_t Finetune = 0;
  uint8_t Panning = 128;
  int8_t RelativeNote = 0;
};

struct XmInstrument {
  std::string Name;  // up to 22 characters
  std::vector<XmSample> Samples;
  uint8_t Keymap[96] = {};  // the sample each note plays
  XmEnvelope VolumeEnvelope, PanningEnvelope;
  uint8_t VibratoType = 0, VibratoSweep = 0, VibratoDepth = 0, VibratoRate = 0;
  uint16_t Fadeout = 0;
};

struct XmModule {
  std::string Name;     // up to 20 characters
  std::string Tracker;  // up to 20 characters
  int Channels = 1;
  std::vector<uint8_t> Orders = {0};
  int Restart = 0;
  uint16_t Flags = 1;  // bit 0: the linear frequency table (clear: the Amiga table)
  int Speed = 6;
  int Bpm = 125;
  std::vector<XmPattern> Patterns;
  std::vector<XmInstrument> Instruments;
  int PatternCountOverride = -1;  // >= 0: write this pattern count instead (malformed files)
};

constexpr int XmHeaderSize = 276;
constexpr int XmInstrumentHeaderSize = 263;
constexpr int XmEmptyInstrumentHeaderSize = 29;
constexpr int XmSampleHeaderSize = 40;

// The packed form of one pattern's cells (without the 9-byte pattern header).
std::vector<uint8_t> PackPattern(const XmPattern& pattern);
// The whole file.
std::vector<uint8_t> WriteXm(const XmModule& module);
// File size without building the file: used to fit a module to a target size.
size_t XmFileSize(const XmModule& module);
