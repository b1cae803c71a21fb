#pragma once
// Writes an extended tracker module: header, packed patterns, one-sample instruments with
// delta-coded 8-bit data. Only what our own modules need: no envelopes, no 16-bit data, no
// ping-pong loops, the Amiga frequency table.
#include <cstdint>
#include <string>
#include <vector>

struct XmCell {
  uint8_t note = 0;  // 0 none, 1..96 (1 = C-0), 97 key-off
  uint8_t instrument = 0;
  uint8_t volume = 0;  // volume column byte as stored
  uint8_t effect = 0;
  uint8_t param = 0;
};

struct XmPattern {
  int rows = 0;
  std::vector<XmCell> cells;  // rows x channels, row-major
};

struct XmInstrument {
  std::string name;         // up to 22 characters
  std::string sample_name;  // up to 22 characters
  std::vector<int8_t> data;
  uint32_t loop_start = 0;
  uint32_t loop_length = 0;  // 0: no loop
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint8_t panning = 128;
  int8_t relative_note = 0;
};

struct XmModule {
  std::string name;     // up to 20 characters
  std::string tracker;  // up to 20 characters
  int channels = 4;
  int restart = 0;
  int speed = 6;
  int bpm = 125;
  std::vector<uint8_t> orders;
  std::vector<XmPattern> patterns;
  std::vector<XmInstrument> instruments;
};

constexpr int XmHeaderSize = 276;
constexpr int XmInstrumentHeaderSize = 263;
constexpr int XmSampleHeaderSize = 40;

// The packed form of one pattern's cells (without the 9-byte pattern header).
std::vector<uint8_t> PackPattern(const XmPattern& pattern);
// The whole file.
std::vector<uint8_t> WriteXm(const XmModule& module);
// File size without building the file: used to fit a module to a target size.
size_t XmFileSize(const XmModule& module);
