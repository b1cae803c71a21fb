#include "generators/xmgen/xm_writer.h"

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

void PutEnvelopePoints(std::vector<uint8_t>& out, const XmEnvelope& envelope) {
  for (size_t i = 0; i < 12; ++i) {
    const XmEnvelopePoint point =
        i < envelope.Points.size() ? envelope.Points[i] : XmEnvelopePoint{};
    Put16(out, point.Tick);
    Put16(out, point.Value);
  }
}

size_t SampleBytes(const XmSample& sample) {
  return sample.Frames.size() * (sample.SixteenBit ? 2 : 1);
}

}  // namespace

XmCell& XmPattern::At(int row, int channel, int channels) {
  if (Cells.empty()) Cells.resize(size_t(Rows) * size_t(channels));
  return Cells[size_t(row) * size_t(channels) + size_t(channel)];
}

std::vector<uint8_t> PackPattern(const XmPattern& pattern) {
  std::vector<uint8_t> out;
  for (const XmCell& cell : pattern.Cells) {
    const uint8_t fields[5] = {cell.Note, cell.Instrument, cell.Volume, cell.Effect,
                               cell.Parameter};
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
  PutText(out, module.Name, 20);
  Put8(out, 0x1A);
  PutText(out, module.Tracker, 20);
  Put16(out, 0x0104);
  Put32(out, XmHeaderSize);
  Put16(out, unsigned(module.Orders.size()));
  Put16(out, unsigned(module.Restart));
  Put16(out, unsigned(module.Channels));
  Put16(out, unsigned(module.PatternCountOverride >= 0 ? size_t(module.PatternCountOverride)
                                                       : module.Patterns.size()));
  Put16(out, unsigned(module.Instruments.size()));
  Put16(out, module.Flags);
  Put16(out, unsigned(module.Speed));
  Put16(out, unsigned(module.Bpm));
  for (size_t i = 0; i < 256; ++i) Put8(out, i < module.Orders.size() ? module.Orders[i] : 0);

  for (const XmPattern& pattern : module.Patterns) {
    const std::vector<uint8_t> packed = PackPattern(pattern);
    Put32(out, 9);
    Put8(out, 0);  // packing type
    Put16(out, unsigned(pattern.Rows));
    Put16(out, unsigned(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
  }

  for (const XmInstrument& instrument : module.Instruments) {
    const size_t start = out.size();
    Put32(out, instrument.Samples.empty() ? XmEmptyInstrumentHeaderSize : XmInstrumentHeaderSize);
    PutText(out, instrument.Name, 22);
    Put8(out, 0);  // type
    Put16(out, unsigned(instrument.Samples.size()));
    if (instrument.Samples.empty()) continue;
    Put32(out, XmSampleHeaderSize);
    for (uint8_t sample : instrument.Keymap) Put8(out, sample);
    PutEnvelopePoints(out, instrument.VolumeEnvelope);
    PutEnvelopePoints(out, instrument.PanningEnvelope);
    Put8(out, unsigned(instrument.VolumeEnvelope.Points.size()));
    Put8(out, unsigned(instrument.PanningEnvelope.Points.size()));
    for (const XmEnvelope* e : {&instrument.VolumeEnvelope, &instrument.PanningEnvelope}) {
      Put8(out, e->Sustain);
      Put8(out, e->LoopStart);
      Put8(out, e->LoopEnd);
    }
    Put8(out, instrument.VolumeEnvelope.Type);
    Put8(out, instrument.PanningEnvelope.Type);
    Put8(out, instrument.VibratoType);
    Put8(out, instrument.VibratoSweep);
    Put8(out, instrument.VibratoDepth);
    Put8(out, instrument.VibratoRate);
    Put16(out, instrument.Fadeout);
    out.resize(start + XmInstrumentHeaderSize, 0);  // reserved bytes to the header size

    for (const XmSample& sample : instrument.Samples) {
      const uint32_t unit = sample.SixteenBit ? 2 : 1;
      Put32(out, uint32_t(sample.Frames.size()) * unit);
      Put32(out, sample.LoopStart * unit);
      Put32(out, sample.LoopLength * unit);
      Put8(out, sample.Volume);
      Put8(out, uint8_t(sample.Finetune));
      Put8(out, unsigned(sample.Loop | (sample.SixteenBit ? 16 : 0)));
      Put8(out, sample.Panning);
      Put8(out, uint8_t(sample.RelativeNote));
      Put8(out, 0);  // reserved
      PutText(out, sample.Name, 22);
    }
    // Delta coding: each value is stored as the difference to the previous one, modulo 2^8 or
    // 2^16.
    for (const XmSample& sample : instrument.Samples) {
      int32_t previous = 0;
      for (int16_t value : sample.Frames) {
        const uint32_t delta = uint32_t(value - previous);
        previous = value;
        if (sample.SixteenBit) {
          Put16(out, delta & 0xFFFF);
        } else {
          Put8(out, delta);
        }
      }
    }
  }
  return out;
}

size_t XmFileSize(const XmModule& module) {
  size_t size = 60 + XmHeaderSize;
  for (const XmPattern& pattern : module.Patterns) size += 9 + PackPattern(pattern).size();
  for (const XmInstrument& instrument : module.Instruments) {
    if (instrument.Samples.empty()) {
      size += XmEmptyInstrumentHeaderSize;
      continue;
    }
    size += XmInstrumentHeaderSize;
    for (const XmSample& sample : instrument.Samples)
      size += XmSampleHeaderSize + SampleBytes(sample);
  }
  return size;
}
