// Loader: fields as stored, decoding of samples, and refusal of malformed or truncated input.
#include <gtest/gtest.h>

#include "tests/module/module_test_util.h"

namespace {

const ModuleSong* Load(const std::vector<uint8_t>& image) {
  return LoadSong(image.data(), image.size());
}

// Two channels, two patterns (one packed, one empty), an 8-bit forward-looped sample with a
// volume envelope, a 16-bit ping-pong sample and an instrument without samples.
XmModule ReferenceSong() {
  XmModule desc;
  std::tie(desc.Channels, desc.Orders) = std::tuple(2, std::vector<uint8_t>{0, 1, 0});
  desc.Patterns = {{8, {}}, {4, {}}};  // pattern 1 without cells: packed size 0
  desc.Patterns[0].At(0, 0, 2) = Cell(49, 1, 0x40, 0x0C, 0x20);
  desc.Patterns[0].At(1, 1, 2) = Cell(97);
  desc.Patterns[0].At(2, 0, 2) = Cell(0, 2, 0, 0x0F, 3);
  XmInstrument a, b;
  a.Samples.push_back({"", {16, 32, 16, 0, -16, -32}, false, 1, 2, 3, 64, -16, 200, 12});
  a.VolumeEnvelope = {{{0, 64}, {10, 32}, {20, 0}}, EnvelopeOn | EnvelopeSustain, 1};
  a.Fadeout = 0x0800;
  b.Samples.push_back({"", {1000, 2000, 3000, 4000, 5000}, true, 3, 1, 3});  // loop 3: ping-pong
  b.Keymap[10] = 0;
  desc.Instruments = {a, b, XmInstrument{}};
  return desc;
}

}  // namespace

TEST(ModuleLoader, StoresFieldsAndDecodesSamples) {
  const ModuleSong* song = Load(WriteXm(ReferenceSong()));
  ASSERT_NE(song, nullptr);
  const ModulePattern* p = song->Patterns;
  const ModuleCell& c = p[0].Cells[0];
  // Header; the first cell; 97 becomes key-off; packed size 0 keeps the header's row count.
  EXPECT_EQ(std::vector<int>({song->SongLength, song->Channels, song->PatternSlots,
                              song->PatternsUsed, song->DefaultGlobalVolume, int(p[0].RowCount),
                              c.Note, c.Instrument, c.Volume, c.Effect, c.Parameter,
                              p[0].Cells[3].Note, int(p[1].RowCount), p[1].Cells[7].Note}),
            std::vector<int>({3, 2, 2, 2, 64, 8, 49, 1, 0x40, 0x0C, 0x20, NoteKeyOff, 4, 0}));
  // 8-bit frames scaled to 16 bits; past the forward loop the loop start's value; fadeout doubled.
  const ModuleSample& s8 = *song->Instruments[0].Samples[0];
  EXPECT_EQ(std::vector<int>({s8.Bits, s8.LoopMode, s8.Data[0], s8.Data[4], s8.Data[5], s8.Finetune,
                              s8.RelativeNote, int(s8.DefaultPanning), song->Instruments[0].Fadeout,
                              song->Instruments[0].VolumeType}),
            std::vector<int>({16, 2, 16 * 256, -16 * 256, 16 * 256, -16, 12, 200, 0x1000,
                              EnvelopeOn | EnvelopeSustain}));
  // 16-bit: 10 bytes are 5 frames, loop points halved alike; past the ping-pong loop its last
  // value, then 0.
  const ModuleSample& s16 = *song->Instruments[1].Samples[0];
  EXPECT_EQ(std::vector<int>({int(s16.Length), int(s16.LoopStart), int(s16.LoopLength),
                              s16.LoopMode, s16.Data[3], s16.Data[4], s16.Data[5]}),
            std::vector<int>({5, 1, 3, 4, 4000, 4000, 0}));
  EXPECT_EQ(song->Instruments[0].Samples[1], &EmptySample);
  EXPECT_EQ(song->Instruments[2].SampleCount, 0u);
  for (const ModuleSample* s : song->Instruments[2].Samples) EXPECT_EQ(s, &EmptySample);
  ReleaseSong(song);
}

// Cell instruments above 128 read as none; 8-bit deltas wrap; a loop of length 0 is no loop; one
// envelope point switches the envelope off; envelope values above 64 are taken as 64; patterns
// named in the order list but missing from the file are empty 64-row patterns; the restart
// position must lie inside the song.
TEST(ModuleLoader, FieldRules) {
  XmModule desc = Song("n1 i129, n1 i128");
  XmInstrument& ins = desc.Instruments[0];
  ins.Samples[0] = {"", {0x10, 0x20, 0x10}, false, 1, 1, 0};  // deltas 0x10, 0x10, 0xF0
  std::tie(ins.VolumeEnvelope, ins.PanningEnvelope) =
      std::tuple(XmEnvelope{{{0, 64}}, EnvelopeOn}, XmEnvelope{{{0, 200}, {4, 32}}, EnvelopeOn});
  std::tie(desc.Orders, desc.Restart) = std::tuple(std::vector<uint8_t>{0, 3, 0}, 2);
  XmModule loud = desc;
  std::tie(loud.Instruments[0].VolumeEnvelope.Points, loud.Restart) =
      std::tuple(std::vector<XmEnvelopePoint>{{0, 80}, {4, 64}}, 3);
  for (const auto& [m, type, restart] :
       {std::tuple(desc, 0, 2), std::tuple(loud, int(EnvelopeOn), 0)}) {
    const ModuleSong* song = Load(WriteXm(m));
    ASSERT_NE(song, nullptr);
    const ModuleSample& d = *song->Instruments[0].Samples[0];
    const ModuleInstrument& i = song->Instruments[0];
    EXPECT_EQ(
        std::vector<int>({song->Patterns[0].Cells[0].Instrument,
                          song->Patterns[0].Cells[1].Instrument, d.Data[0], d.Data[1], d.Data[2],
                          d.LoopMode, int(d.LoopStart), int(d.LoopLength), song->PatternSlots,
                          int(song->Patterns[3].RowCount), i.PanningPoints[0].Value,
                          i.PanningPoints[1].Value, i.VolumePoints[0].Value, i.VolumeType,
                          song->RestartPosition}),
        std::vector<int>({0, 128, 4096, 8192, 4096, 1, 0, 3, 4, 64, 64, 32, 64, type, restart}));
    ReleaseSong(song);
  }
}

// Every truncation and a flipped bit in any byte of the signature are refused.
TEST(ModuleLoader, RefusesTruncationsAndWrongSignatures) {
  const std::vector<uint8_t> image = WriteXm(ReferenceSong());
  for (size_t n = 0; n < image.size() + 17; ++n) {
    std::vector<uint8_t> bad(image.begin(), image.begin() + long(std::min(n, image.size())));
    if (n >= image.size()) bad[n - image.size()] ^= 0x01;
    EXPECT_EQ(Load(bad), nullptr) << (n < image.size() ? "length " : "signature byte ")
                                  << n % image.size();
  }
}

// Each field at the values the loader accepts at its limits and one beyond (an envelope of two
// points, a sample of 32 frames).
TEST(ModuleLoader, FieldsAtTheirLimitsAndOneBeyond) {
  const struct {
    const char *name, *acceptedRefused;
    void (*set)(XmModule&, int);
  } cases[] = {
      {"channels", "32 33 1 0",
       [](XmModule& d, int n) {
         std::tie(d.Channels, d.Patterns[0].Cells) =
             std::tuple(n, std::vector<XmCell>(size_t(16 * n)));
       }},
      {"song length", "256 257 1 0", [](XmModule& d, int n) { d.Orders.assign(size_t(n), 0); }},
      {"patterns", "256 257",
       [](XmModule& d, int n) {
         d.Patterns.resize(size_t(n), XmPattern{1, {XmCell{}}});
       }},
      {"rows", "256 257 1 0",
       [](XmModule& d, int n) {
         d.Patterns[0] = {n, std::vector<XmCell>(size_t(n))};
       }},
      {"instruments", "128 129", [](XmModule& d, int n) { d.Instruments.resize(size_t(n)); }},
      {"samples", "16 17",
       [](XmModule& d, int n) {
         d.Instruments[0].Samples.resize(size_t(n), d.Instruments[0].Samples[0]);
       }},
      {"BPM", "255 256 1 0", [](XmModule& d, int n) { d.Bpm = n; }},
      {"speed", "255 256", [](XmModule& d, int n) { d.Speed = n; }},
      {"note", "97 98", [](XmModule& d, int n) { d.Patterns[0].At(3, 0, 1) = Cell(uint8_t(n)); }},
      {"envelope points", "12 13",
       [](XmModule& d, int n) {
         d.Instruments[0].VolumeEnvelope.Points.resize(size_t(n), {8, 0});
       }},
      {"sustain point", "1 2",
       [](XmModule& d, int n) {
         std::tie(d.Instruments[0].VolumeEnvelope.Type, d.Instruments[0].VolumeEnvelope.Sustain) =
             std::tuple(EnvelopeOn | EnvelopeSustain, n);
       }},
      {"loop point", "1 2",
       [](XmModule& d, int n) {
         std::tie(d.Instruments[0].VolumeEnvelope.Type, d.Instruments[0].VolumeEnvelope.LoopEnd) =
             std::tuple(EnvelopeOn | EnvelopeLoop, n);
       }},
      {"sample loop start", "0 1",
       [](XmModule& d, int n) { d.Instruments[0].Samples[0].LoopStart = uint32_t(n); }},
  };
  for (const auto& k : cases) {
    const std::vector<int32_t> values = Ints(k.acceptedRefused);
    for (size_t i = 0; i < values.size(); ++i) {
      XmModule desc = Song("N");
      desc.Instruments[0].VolumeEnvelope = {{{0, 64}, {8, 0}}, EnvelopeOn};
      k.set(desc, values[i]);
      const ModuleSong* song = Load(WriteXm(desc));
      EXPECT_EQ(song != nullptr, i % 2 == 0) << k.name << " " << values[i];
      ReleaseSong(song);
    }
  }
}

// The pattern header at 336 (length 9, packing 0, rows, packed size): packed data that over- or
// underruns its rows is refused; a longer header is skipped, unless it reaches past the file.
TEST(ModuleLoader, PatternHeaders) {
  const std::vector<uint8_t> image = WriteXm(Song("N,,, =", 4));
  const size_t header = 60 + 276;
  ASSERT_EQ(std::vector<uint8_t>(image.begin() + header, image.begin() + header + 6),
            std::vector<uint8_t>({9, 0, 0, 0, 0, 4}));
  for (const auto& [at, value] : {std::pair{5, 5}, {5, 3}, {2, 1}}) {
    std::vector<uint8_t> bad = image;
    bad[header + size_t(at)] = uint8_t(value);
    EXPECT_EQ(Load(bad), nullptr) << at << " " << value;
  }
  std::vector<uint8_t> longer = image;
  longer[header] = 13;
  longer.insert(longer.begin() + long(header + 9), {0xFF, 0xFF, 0xFF, 0xFF});
  const ModuleSong* song = Load(longer);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(std::vector<int>({int(song->Patterns[0].RowCount), song->Patterns[0].Cells[0].Note,
                              song->Patterns[0].Cells[3].Note,
                              int(song->Instruments[0].Samples[0]->Length)}),
            std::vector<int>({4, 49, NoteKeyOff, 32}));
  ReleaseSong(song);
}
