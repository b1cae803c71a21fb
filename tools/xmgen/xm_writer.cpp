#include "tools/xmgen/xm_writer.h"

#include <algorithm>

namespace {

void Put8(std::vector<uint8_t>& out, unsigned value) {
  out.push_back(uint8_t(value & 0xFF));
}

void Put16(std::vector<uint8_t>& out, unsigned value) {
  Put8(out, value);
  Put8(out, value >> 8);
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// Fixed-width text field, padded with zero bytes; longer text is cut.
void PutText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) Put8(out, i < text.size() ? uint8_t(text[i]) : 0);
}

}  // namespace

std::vector<uint8_t> PackPattern(const XmPattern& pattern) {
  std::vector<uint8_t> out;
  for (const XmCell& cell : pattern.cells) {
    const uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.param};
    unsigned mask = 0;
    for (int i = 0; i < 5; ++i)
      if (fields[i] != 0) mask |= 1u << i;
    if (mask == 0x1F) {
      // All five present: the unpacked form is one byte shorter than a mask byte plus five.
      out.insert(out.end(), fields, fields + 5);
      continue;
    }
    Put8(out, 0x80 | mask);
    for (int i = 0; i < 5; ++i)
      if (mask & (1u << i)) Put8(out, fields[i]);
  }
  return out;
}

std::vector<uint8_t> WriteXm(const XmModule& module) {
  std::vector<uint8_t> out;
  PutText(out, "Extended Module: ", 17);
  PutText(out, module.name, 20);
  Put8(out, 0x1A);
  PutText(out, module.tracker, 20);
  Put16(out, 0x0104);
  Put32(out, XmHeaderSize);
  Put16(out, unsigned(module.orders.size()));
  Put16(out, unsigned(module.restart));
  Put16(out, unsigned(module.channels));
  Put16(out, unsigned(module.patterns.size()));
  Put16(out, unsigned(module.instruments.size()));
  Put16(out, 0);  // flags: bit 0 clear selects the Amiga frequency table
  Put16(out, unsigned(module.speed));
  Put16(out, unsigned(module.bpm));
  for (size_t i = 0; i < 256; ++i) Put8(out, i < module.orders.size() ? module.orders[i] : 0);

  for (const XmPattern& pattern : module.patterns) {
    const std::vector<uint8_t> packed = PackPattern(pattern);
    Put32(out, 9);
    Put8(out, 0);  // packing type
    Put16(out, unsigned(pattern.rows));
    Put16(out, unsigned(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
  }

  for (const XmInstrument& instrument : module.instruments) {
    Put32(out, XmInstrumentHeaderSize);
    PutText(out, instrument.name, 22);
    Put8(out, 0);   // type
    Put16(out, 1);  // one sample
    Put32(out, XmSampleHeaderSize);
    for (int i = 0; i < 96; ++i) Put8(out, 0);  // every note plays sample 0
    for (int i = 0; i < 96; ++i) Put8(out, 0);  // volume and panning envelope points
    for (int i = 0; i < 14; ++i) Put8(out, 0);  // point counts, sustain/loop points, types, vibrato
    Put16(out, 0);                              // fadeout
    for (int i = 0; i < 22; ++i) Put8(out, 0);  // reserved

    const bool looped = instrument.loop_length > 0;
    Put32(out, uint32_t(instrument.data.size()));
    Put32(out, looped ? instrument.loop_start : 0);
    Put32(out, looped ? instrument.loop_length : 0);
    Put8(out, instrument.volume);
    Put8(out, uint8_t(instrument.finetune));
    Put8(out, looped ? 1 : 0);  // type: bit 0 forward loop, 8-bit data
    Put8(out, instrument.panning);
    Put8(out, uint8_t(instrument.relative_note));
    Put8(out, 0);  // reserved
    PutText(out, instrument.sample_name, 22);

    // Delta coding: each byte is the difference to the previous sample value, modulo 256.
    int8_t previous = 0;
    for (int8_t value : instrument.data) {
      Put8(out, uint8_t(value - previous));
      previous = value;
    }
  }
  return out;
}

size_t XmFileSize(const XmModule& module) {
  size_t size = 60 + XmHeaderSize;
  for (const XmPattern& pattern : module.patterns) size += 9 + PackPattern(pattern).size();
  for (const XmInstrument& instrument : module.instruments)
    size += XmInstrumentHeaderSize + XmSampleHeaderSize + instrument.data.size();
  return size;
}
