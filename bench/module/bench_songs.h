#pragma once
// The two modules the mixing benchmarks play: a plain 4-channel module like the embedded ones and
// a busy 32-channel one. bench_module mixes them in memory; write_bench_files writes them out for
// the whole-process comparisons with the peer players.
#include "tests/module/module_test_util.h"

// 4 channels, Amiga table, speed 6, BPM 125, 8-bit samples with forward loops: a note on every
// channel every row, volume-column volumes and the odd arpeggio.
inline XmModule FourChannelSong() {
  XmModule desc;
  desc.Channels = 4;
  desc.Flags = 0;
  for (int i = 0; i < 4; ++i) {
    XmInstrument ins;
    XmSample s;
    s.Frames = SineCycle(2000 + 500 * i, 100);
    s.Loop = 1;
    s.LoopStart = 100;
    s.LoopLength = uint32_t(s.Frames.size()) - 100;
    ins.Samples.push_back(s);
    desc.Instruments.push_back(ins);
  }
  desc.Orders.clear();
  for (int o = 0; o < 16; ++o) desc.Orders.push_back(uint8_t(o % 4));
  for (int p = 0; p < 4; ++p) {
    XmPattern pattern;
    for (int r = 0; r < 64; ++r) {
      for (int c = 0; c < 4; ++c) {
        pattern.At(r, c, 4) = Cell(uint8_t(25 + (r * 7 + c * 5 + p * 3) % 48), uint8_t(1 + c),
                                   uint8_t(0x30 + (r % 32)), 0, r % 8 == 4 ? 0x37 : 0);
      }
    }
    desc.Patterns.push_back(pattern);
  }
  return desc;
}

// 32 channels, linear table, speed 3: every channel plays a note every row with effects that
// keep the replay busy (vibrato, volume slides, tone portamento), 16-bit samples with forward and
// ping-pong loops and volume envelopes; retriggered notes keep the twin voices ramping.
inline XmModule BusySong() {
  XmModule desc;
  desc.Channels = 32;
  desc.Speed = 3;
  for (int i = 0; i < 8; ++i) {
    XmInstrument ins;
    XmSample s;
    s.SixteenBit = true;
    s.Frames = SineCycle(1000 + 300 * i, 12000);
    s.Loop = i % 2 ? 2 : 1;
    s.LoopStart = 50;
    s.LoopLength = uint32_t(s.Frames.size()) - 50;
    ins.Samples.push_back(s);
    ins.VolumeEnvelope.Points = {{0, 64}, {10, 40}, {30, 48}, {60, 20}};
    ins.VolumeEnvelope.Type = EnvelopeOn | EnvelopeSustain;
    ins.VolumeEnvelope.Sustain = 2;
    ins.Fadeout = 0x200;
    ins.VibratoDepth = 4;
    ins.VibratoRate = 8;
    desc.Instruments.push_back(ins);
  }
  desc.Orders.clear();
  for (int o = 0; o < 32; ++o) desc.Orders.push_back(uint8_t(o % 4));
  const uint8_t effects[4][2] = {{0x04, 0x46}, {0x0A, 0x02}, {0x03, 0x20}, {0x00, 0x47}};
  for (int p = 0; p < 4; ++p) {
    XmPattern pattern;
    for (int r = 0; r < 64; ++r) {
      for (int c = 0; c < 32; ++c) {
        const uint8_t* e = effects[(r + c) % 4];
        pattern.At(r, c, 32) =
            Cell(uint8_t(13 + (r * 5 + c * 7 + p) % 72), uint8_t(1 + c % 8), 0, e[0], e[1]);
      }
    }
    desc.Patterns.push_back(pattern);
  }
  return desc;
}
