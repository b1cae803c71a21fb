#pragma once
// A tiny XM writer for tests and benchmarks: builds a module image in memory from plain
// descriptions, so every case states exactly the cells, samples and envelopes it plays.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "module/module_machine.h"

struct XmSampleSpec {
  std::vector<int16_t> frames;  // signal values (8-bit samples use -128..127)
  bool sixteenBit = false;
  uint8_t loop = 0;                        // type bits: 1 forward, 2 ping-pong
  uint32_t loopStart = 0, loopLength = 0;  // in frames
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint8_t panning = 128;
  int8_t relativeNote = 0;
};

struct XmEnvelopeSpec {
  std::vector<ModuleEnvelopePoint> points;
  uint8_t type = 0, sustain = 0, loopStart = 0, loopEnd = 0;
};

struct XmInstrumentSpec {
  std::vector<XmSampleSpec> samples;
  uint8_t keymap[96] = {};
  XmEnvelopeSpec volume, panning;
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  uint16_t fadeout = 0;
};

struct XmPatternSpec {
  int rows = 64;
  std::vector<ModuleCell> cells;  // rows x channels; empty means all cells empty
  ModuleCell& At(int row, int channel, int channels) {
    if (cells.empty()) cells.resize(size_t(rows) * channels);
    return cells[size_t(row) * channels + channel];
  }
};

struct XmSongDesc {
  int channels = 1;
  std::vector<uint8_t> orders = {0};
  int restart = 0;
  uint16_t flags = 1;  // linear table
  int speed = 6, bpm = 125;
  std::vector<XmPatternSpec> patterns;
  std::vector<XmInstrumentSpec> instruments;
  int patternCountOverride = -1;  // write a different pattern count into the header
};

inline void XmPut16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
inline void XmPut32(std::vector<uint8_t>& out, uint32_t v) {
  XmPut16(out, v & 0xFFFF);
  XmPut16(out, v >> 16);
}
inline void XmPutText(std::vector<uint8_t>& out, const std::string& text, size_t size) {
  for (size_t i = 0; i < size; ++i) out.push_back(i < text.size() ? uint8_t(text[i]) : 0);
}

// Packs one cell, with the mask byte whenever that is shorter.
inline void XmPackCell(std::vector<uint8_t>& out, const ModuleCell& c) {
  uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.parameter};
  uint8_t mask = 0x80;
  for (int f = 0; f < 5; ++f) {
    if (fields[f]) mask = uint8_t(mask | 1 << f);
  }
  if (mask == 0x9F) {
    for (uint8_t f : fields) out.push_back(f);
    return;
  }
  out.push_back(mask);
  for (int f = 0; f < 5; ++f) {
    if (fields[f]) out.push_back(fields[f]);
  }
}

inline std::vector<uint8_t> WriteXm(const XmSongDesc& song) {
  std::vector<uint8_t> out;
  XmPutText(out, "Extended Module: ", 17);
  XmPutText(out, "test", 20);
  out.push_back(0x1A);
  XmPutText(out, "test writer", 20);
  XmPut16(out, 0x0104);
  XmPut32(out, 276);
  XmPut16(out, uint32_t(song.orders.size()));
  XmPut16(out, uint32_t(song.restart));
  XmPut16(out, uint32_t(song.channels));
  XmPut16(out, uint32_t(song.patternCountOverride >= 0 ? song.patternCountOverride
                                                       : int(song.patterns.size())));
  XmPut16(out, uint32_t(song.instruments.size()));
  XmPut16(out, song.flags);
  XmPut16(out, uint32_t(song.speed));
  XmPut16(out, uint32_t(song.bpm));
  for (int i = 0; i < 256; ++i) out.push_back(i < int(song.orders.size()) ? song.orders[i] : 0);
  for (const XmPatternSpec& p : song.patterns) {
    std::vector<uint8_t> packed;
    if (!p.cells.empty()) {
      for (const ModuleCell& c : p.cells) XmPackCell(packed, c);
    }
    XmPut32(out, 9);
    out.push_back(0);
    XmPut16(out, uint32_t(p.rows));
    XmPut16(out, uint32_t(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
  }
  for (const XmInstrumentSpec& ins : song.instruments) {
    size_t start = out.size();
    XmPut32(out, ins.samples.empty() ? 29 : 263);
    XmPutText(out, "instrument", 22);
    out.push_back(0);
    XmPut16(out, uint32_t(ins.samples.size()));
    if (ins.samples.empty()) continue;
    XmPut32(out, 40);
    for (uint8_t k : ins.keymap) out.push_back(k);
    for (const XmEnvelopeSpec* e : {&ins.volume, &ins.panning}) {
      for (size_t i = 0; i < 12; ++i) {
        ModuleEnvelopePoint p = i < e->points.size() ? e->points[i] : ModuleEnvelopePoint{};
        XmPut16(out, p.tick);
        XmPut16(out, p.value);
      }
    }
    out.push_back(uint8_t(ins.volume.points.size()));
    out.push_back(uint8_t(ins.panning.points.size()));
    out.push_back(ins.volume.sustain);
    out.push_back(ins.volume.loopStart);
    out.push_back(ins.volume.loopEnd);
    out.push_back(ins.panning.sustain);
    out.push_back(ins.panning.loopStart);
    out.push_back(ins.panning.loopEnd);
    out.push_back(ins.volume.type);
    out.push_back(ins.panning.type);
    out.push_back(ins.vibratoType);
    out.push_back(ins.vibratoSweep);
    out.push_back(ins.vibratoDepth);
    out.push_back(ins.vibratoRate);
    XmPut16(out, ins.fadeout);
    out.resize(start + 263, 0);  // reserved bytes to the header size
    for (const XmSampleSpec& s : ins.samples) {
      uint32_t unit = s.sixteenBit ? 2 : 1;
      XmPut32(out, uint32_t(s.frames.size()) * unit);
      XmPut32(out, s.loopStart * unit);
      XmPut32(out, s.loopLength * unit);
      out.push_back(s.volume);
      out.push_back(uint8_t(s.finetune));
      out.push_back(uint8_t(s.loop | (s.sixteenBit ? 16 : 0)));
      out.push_back(s.panning);
      out.push_back(uint8_t(s.relativeNote));
      out.push_back(0);
      XmPutText(out, "sample", 22);
    }
    for (const XmSampleSpec& s : ins.samples) {
      int32_t previous = 0;
      for (int16_t v : s.frames) {
        int32_t delta = v - previous;
        previous = v;
        if (s.sixteenBit) {
          XmPut16(out, uint16_t(delta));
        } else {
          out.push_back(uint8_t(delta));
        }
      }
    }
  }
  return out;
}

// One cycle of a sine, `period` frames long, at the given amplitude.
inline std::vector<int16_t> SineCycle(int period, int amplitude) {
  std::vector<int16_t> v(static_cast<size_t>(period));
  for (int i = 0; i < period; ++i) {
    v[size_t(i)] = int16_t(std::lround(amplitude * std::sin(2 * M_PI * i / period)));
  }
  return v;
}

// An instrument with one forward-looped sample holding one sine cycle.
inline XmInstrumentSpec SineInstrument(int period = 32, bool sixteenBit = false) {
  XmInstrumentSpec ins;
  XmSampleSpec s;
  s.sixteenBit = sixteenBit;
  s.frames = SineCycle(period, sixteenBit ? 20000 : 100);
  s.loop = 1;
  s.loopStart = 0;
  s.loopLength = uint32_t(period);
  ins.samples.push_back(s);
  return ins;
}

inline ModuleCell Cell(uint8_t note, uint8_t instrument = 0, uint8_t volume = 0, uint8_t effect = 0,
                       uint8_t parameter = 0) {
  return ModuleCell{note, instrument, volume, effect, parameter};
}
