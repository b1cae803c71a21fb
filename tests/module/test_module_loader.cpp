// Loader: fields as stored, decoding of samples, and refusal of malformed or truncated input.
#include <gtest/gtest.h>

#include "tests/module/module_test_util.h"

namespace {

const ModuleSong* Load(const std::vector<uint8_t>& image) {
  return LoadSong(image.data(), image.size());
}

// Two channels, patterns 0 (packed) and 1 (empty) of a song that also names a missing pattern 3;
// an 8-bit forward-looped sample with a volume envelope whose first value lies above 64, a 16-bit
// ping-pong sample, an instrument without samples, and an 8-bit sample whose deltas wrap, with
// a loop of length 0, a volume envelope of one point and a panning envelope above 64.
XmModule ReferenceSong() {
  XmModule desc = Song("N v40 C20/=, /, i2 F03, n1 i129, n1 i128", 8, 2);
  std::tie(desc.Orders, desc.Restart) = std::tuple(std::vector<uint8_t>{0, 1, 0, 3}, 3);
  desc.Patterns.push_back({4, {}});  // without cells: packed size 0
  XmInstrument a, b, c;
  a.Samples.push_back({"", {16, 32, 16, 0, -16, -32}, false, 1, 2, 3, 64, -16, 200, 12});
  a.VolumeEnvelope = {{{0, 80}, {10, 32}, {20, 0}}, EnvelopeOn | EnvelopeSustain, 1};
  a.Fadeout = 0x0800;
  b.Samples.push_back({"", {1000, 2000, 3000, 4000, 5000}, true, 3, 1, 3});  // loop 3: ping-pong
  b.Keymap[10] = 0;
  c.Samples.push_back({"", {0x10, 0x20, 0x10}, false, 1, 1, 0});  // deltas 0x10, 0x10, 0xF0
  std::tie(c.VolumeEnvelope, c.PanningEnvelope) =
      std::tuple(XmEnvelope{{{0, 64}}, EnvelopeOn}, XmEnvelope{{{0, 200}, {4, 32}}, EnvelopeOn});
  desc.Instruments = {a, b, XmInstrument{}, c};
  return desc;
}

}  // namespace

// The restart position must lie inside the song: 4 of 4 orders is taken as 0.
TEST(ModuleLoader, StoresFieldsAndDecodesSamples) {
  for (const auto& [restart, stored] : {std::pair{3, 3}, {4, 0}}) {
    XmModule desc = ReferenceSong();
    desc.Restart = restart;
    const ModuleSong* song = Load(WriteXm(desc));
    ASSERT_NE(song, nullptr);
    const ModulePattern* p = song->Patterns;
    const ModuleCell& c = p[0].Cells[0];
    // Header; the first cell; 97 becomes key-off; instruments above 128 read as none; packed
    // size 0 keeps the header's row count; a pattern missing from the file is 64 empty rows.
    EXPECT_EQ(
        std::vector<int>({song->SongLength, song->RestartPosition, song->Channels,
                          song->PatternSlots, song->PatternsUsed, song->DefaultGlobalVolume,
                          int(p[0].RowCount), c.Note, c.Instrument, c.Volume, c.Effect, c.Parameter,
                          p[0].Cells[1].Note, p[0].Cells[6].Instrument, p[0].Cells[8].Instrument,
                          int(p[1].RowCount), p[1].Cells[7].Note, int(p[3].RowCount)}),
        std::vector<int>(
            {4, stored, 2, 4, 4, 64, 8, 49, 1, 0x40, 0x0C, 0x20, NoteKeyOff, 0, 128, 4, 0, 64}));
    // 8-bit frames scaled to 16 bits; past the forward loop the loop start's value; fadeout
    // doubled; envelope values taken as 64 at most.
    const ModuleInstrument& a = song->Instruments[0];
    const ModuleSample& s8 = *a.Samples[0];
    EXPECT_EQ(std::vector<int>({s8.Bits, s8.LoopMode, s8.Data[0], s8.Data[4], s8.Data[5],
                                s8.Finetune, s8.RelativeNote, int(s8.DefaultPanning), a.Fadeout,
                                a.VolumeType, a.VolumePoints[0].Value}),
              std::vector<int>({16, 2, 16 * 256, -16 * 256, 16 * 256, -16, 12, 200, 0x1000,
                                EnvelopeOn | EnvelopeSustain, 64}));
    // 16-bit: 10 bytes are 5 frames, loop points halved alike; past the ping-pong loop its last
    // value, then 0. Wrapped deltas; a loop of length 0 is none; one point is no envelope.
    const ModuleSample &s16 = *song->Instruments[1].Samples[0],
                       &w = *song->Instruments[3].Samples[0];
    const ModuleInstrument& d = song->Instruments[3];
    EXPECT_EQ(
        std::vector<int>({int(s16.Length), int(s16.LoopStart), int(s16.LoopLength), s16.LoopMode,
                          s16.Data[3], s16.Data[4], s16.Data[5], w.Data[0], w.Data[1], w.Data[2],
                          w.LoopMode, int(w.LoopStart), int(w.LoopLength), d.VolumeType,
                          d.PanningPoints[0].Value, d.PanningPoints[1].Value}),
        std::vector<int>({5, 1, 3, 4, 4000, 4000, 0, 4096, 8192, 4096, 1, 0, 3, 0, 64, 32}));
    EXPECT_EQ(std::vector<const ModuleSample*>({a.Samples[1], song->Instruments[2].Samples[0],
                                                song->Instruments[2].Samples[15]}),
              std::vector<const ModuleSample*>(3, &EmptySample));
    EXPECT_EQ(song->Instruments[2].SampleCount, 0u);
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

// Each field at the values the loader accepts at its limits and one beyond, in a song of one
// empty pattern and an instrument whose volume envelope has two points, a sustain and a loop.
TEST(ModuleLoader, FieldsAtTheirLimitsAndOneBeyond) {
  static constexpr auto Env = [](XmModule& d) -> XmEnvelope& {
    return d.Instruments[0].VolumeEnvelope;
  };
  const struct {
    const char *name, *acceptedRefused;
    void (*set)(XmModule&, int);
  } cases[] = {
      {"channels", "32 33 1 0", [](XmModule& d, int n) { d.Channels = n; }},
      {"song length", "256 257 1 0", [](XmModule& d, int n) { d.Orders.assign(size_t(n), 0); }},
      {"patterns", "256 257",
       [](XmModule& d, int n) {
         d.Patterns.resize(size_t(n), {1, {}});
       }},
      {"rows", "256 257 1 0", [](XmModule& d, int n) { d.Patterns[0].Rows = n; }},
      {"instruments", "128 129", [](XmModule& d, int n) { d.Instruments.resize(size_t(n)); }},
      {"samples", "16 17", [](XmModule& d, int n) { d.Instruments[0].Samples.resize(size_t(n)); }},
      {"BPM", "255 256 1 0", [](XmModule& d, int n) { d.Bpm = n; }},
      {"speed", "255 256", [](XmModule& d, int n) { d.Speed = n; }},
      {"note", "97 98", [](XmModule& d, int n) { d.Patterns[0].At(3, 0, 1) = Cell(uint8_t(n)); }},
      {"envelope points", "12 13",
       [](XmModule& d, int n) {
         Env(d).Points.resize(size_t(n), {8, 0});
       }},
      {"sustain point", "1 2", [](XmModule& d, int n) { Env(d).Sustain = uint8_t(n); }},
      {"loop point", "1 2", [](XmModule& d, int n) { Env(d).LoopEnd = uint8_t(n); }},
      {"sample loop start", "0 1",
       [](XmModule& d, int n) { d.Instruments[0].Samples[0].LoopStart = uint32_t(n); }},
  };
  for (const auto& k : cases) {
    const std::vector<int32_t> values = Ints(k.acceptedRefused);
    for (size_t i = 0; i < values.size(); ++i) {
      XmModule desc;
      std::tie(desc.Instruments, desc.Patterns) =
          std::tuple(std::vector{SineInstrument()}, std::vector<XmPattern>{{16, {}}});
      Env(desc) = {{{0, 64}, {8, 0}}, EnvelopeOn | EnvelopeSustain | EnvelopeLoop};
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
