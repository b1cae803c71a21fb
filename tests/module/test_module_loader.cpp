// Loader: fields as stored, decoding of samples, and refusal of malformed or truncated input.
#include <gtest/gtest.h>

#include "tests/module/module_test_util.h"

namespace {

// Two channels, two patterns (one packed, one empty), an 8-bit forward-looped sample with a
// volume envelope, a 16-bit ping-pong sample and an instrument without samples.
XmModule ReferenceSong() {
  XmModule desc;
  desc.Channels = 2;
  desc.Orders = {0, 1, 0};
  XmPattern p0;
  p0.Rows = 8;
  p0.At(0, 0, 2) = Cell(49, 1, 0x40, 0x0C, 0x20);
  p0.At(1, 1, 2) = Cell(97);
  p0.At(2, 0, 2) = Cell(0, 2, 0, 0x0F, 3);
  XmPattern p1;
  p1.Rows = 4;  // no cells: packed size 0
  desc.Patterns = {p0, p1};

  XmInstrument a;
  XmSample s8;
  s8.Frames = {16, 32, 16, 0, -16, -32};
  s8.Loop = 1;
  s8.LoopStart = 2;
  s8.LoopLength = 3;
  s8.Finetune = -16;
  s8.RelativeNote = 12;
  s8.Panning = 200;
  a.Samples.push_back(s8);
  a.VolumeEnvelope.Points = {{0, 64}, {10, 32}, {20, 0}};
  a.VolumeEnvelope.Type = EnvelopeOn | EnvelopeSustain;
  a.VolumeEnvelope.Sustain = 1;
  a.Fadeout = 0x0800;
  XmInstrument b;
  XmSample s16;
  s16.SixteenBit = true;
  s16.Frames = {1000, 2000, 3000, 4000, 5000};
  s16.Loop = 3;  // both bits: ping-pong
  s16.LoopStart = 1;
  s16.LoopLength = 3;
  b.Samples.push_back(s16);
  b.Keymap[10] = 0;
  XmInstrument empty;
  desc.Instruments = {a, b, empty};
  return desc;
}

}  // namespace

TEST(ModuleLoader, StoresFieldsAndDecodesSamples) {
  const ModuleSong* song = LoadImage(WriteXm(ReferenceSong()));
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

// Instruments above 128 read as none; 8-bit deltas wrap; a loop of length 0 is no loop; one
// envelope point switches the envelope off; patterns named in the order list but missing from
// the file are empty 64-row patterns.
TEST(ModuleLoader, FieldRules) {
  XmModule desc = OneChannelSong({{0, Cell(1, 200)}});
  XmSample& s = desc.Instruments[0].Samples[0];
  s.Frames = {0x10, 0x20, 0x10};  // deltas 0x10, 0x10, 0xF0 decode to 4096, 8192, 4096
  s.Loop = 1;
  s.LoopStart = 1;
  s.LoopLength = 0;
  desc.Instruments[0].VolumeEnvelope.Points = {{0, 64}};
  desc.Instruments[0].VolumeEnvelope.Type = EnvelopeOn;
  desc.Orders = {0, 3};
  const ModuleSong* song = LoadImage(WriteXm(desc));
  ASSERT_NE(song, nullptr);
  const ModuleSample& d = *song->Instruments[0].Samples[0];
  EXPECT_EQ(std::vector<int>({song->Patterns[0].Cells[0].Instrument, d.Data[0], d.Data[1],
                              d.Data[2], d.LoopMode, int(d.LoopStart), int(d.LoopLength),
                              song->Instruments[0].VolumeType, song->PatternSlots}),
            std::vector<int>({0, 4096, 8192, 4096, 1, 0, 3, 0, 4}));
  EXPECT_EQ(song->Patterns[3].RowCount, 64u);
  ReleaseSong(song);
}

TEST(ModuleLoader, RefusesWrongSignatureInAnyByte) {
  std::vector<uint8_t> image = WriteXm(ReferenceSong());
  for (int i = 0; i < 17; ++i) {
    std::vector<uint8_t> bad = image;
    bad[size_t(i)] ^= 0x01;
    EXPECT_EQ(LoadImage(bad), nullptr) << "byte " << i;
  }
}

TEST(ModuleLoader, RefusesEveryTruncation) {
  std::vector<uint8_t> image = WriteXm(ReferenceSong());
  for (size_t n = 0; n < image.size(); ++n) {
    std::vector<uint8_t> cut(image.begin(), image.begin() + long(n));
    EXPECT_EQ(LoadImage(cut), nullptr) << "length " << n;
  }
}

// Each header field at the largest (or smallest) value the loader accepts and one beyond.
TEST(ModuleLoader, FieldsAtTheirLimitsAndOneBeyond) {
  const XmModule ok = OneChannelSong({{0, Cell(49, 1)}});
  auto with = [&ok](auto change) {
    XmModule desc = ok;
    change(desc);
    return desc;
  };
  auto channels = [](int n) {
    return [n](XmModule& d) {
      d.Channels = n;
      d.Patterns[0].Cells.assign(size_t(16 * n), XmCell{});
    };
  };
  auto orders = [](size_t n) { return [n](XmModule& d) { d.Orders.assign(n, 0); }; };
  auto patterns = [](size_t n) {
    return [n](XmModule& d) { d.Patterns.resize(n, XmPattern{1, {XmCell{}}}); };
  };
  auto rows = [](int n) {
    return [n](XmModule& d) {
      d.Patterns[0].Rows = n;
      d.Patterns[0].Cells.assign(size_t(n), XmCell{});
    };
  };
  auto instruments = [](size_t n) {
    return [n](XmModule& d) { d.Instruments.resize(n, XmInstrument{}); };
  };
  auto samples = [](size_t n) {
    return [n](XmModule& d) { d.Instruments[0].Samples.resize(n, d.Instruments[0].Samples[0]); };
  };
  auto bpm = [](int n) { return [n](XmModule& d) { d.Bpm = n; }; };
  auto speed = [](int n) { return [n](XmModule& d) { d.Speed = n; }; };
  auto note = [](uint8_t n) { return [n](XmModule& d) { d.Patterns[0].At(3, 0, 1) = Cell(n); }; };
  auto points = [](size_t n) {
    return [n](XmModule& d) {
      d.Instruments[0].VolumeEnvelope.Points.assign(n, XmEnvelopePoint{0, 0});
      d.Instruments[0].VolumeEnvelope.Type = EnvelopeOn;
    };
  };
  const struct {
    const char* name;
    XmModule accepted, refused;
  } cases[] = {
      {"channels 32 / 33", with(channels(32)), with(channels(33))},
      {"channels 1 / 0", with(channels(1)), with(channels(0))},
      {"song length 256 / 257", with(orders(256)), with(orders(257))},
      {"song length 1 / 0", with(orders(1)), with(orders(0))},
      {"patterns 256 / 257", with(patterns(256)), with(patterns(257))},
      {"rows 256 / 257", with(rows(256)), with(rows(257))},
      {"rows 1 / 0", with(rows(1)), with(rows(0))},
      {"instruments 128 / 129", with(instruments(128)), with(instruments(129))},
      {"samples 16 / 17", with(samples(16)), with(samples(17))},
      {"BPM 255 / 256", with(bpm(255)), with(bpm(256))},
      {"BPM 1 / 0", with(bpm(1)), with(bpm(0))},
      {"speed 255 / 256", with(speed(255)), with(speed(256))},
      {"note 97 / 98", with(note(97)), with(note(98))},
      {"envelope points 12 / 13", with(points(12)), with(points(13))},
  };
  for (const auto& k : cases) {
    const ModuleSong* song = LoadImage(WriteXm(k.accepted));
    EXPECT_NE(song, nullptr) << k.name;
    ReleaseSong(song);
    EXPECT_EQ(LoadImage(WriteXm(k.refused)), nullptr) << k.name;
  }

  // Cell instruments above 128 read as none; the restart position must lie inside the song.
  XmModule cell = ok;
  cell.Orders = {0, 0, 0};
  cell.Patterns[0].At(1, 0, 1) = Cell(1, 128);
  cell.Patterns[0].At(2, 0, 1) = Cell(1, 129);
  for (const auto& [restart, stored] : {std::pair{2, 2}, std::pair{3, 0}}) {
    cell.Restart = restart;
    const ModuleSong* song = LoadImage(WriteXm(cell));
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->Patterns[0].Cells[1].Instrument, 128);
    EXPECT_EQ(song->Patterns[0].Cells[2].Instrument, 0);
    EXPECT_EQ(song->RestartPosition, stored) << restart;
    ReleaseSong(song);
  }
}

// Envelope and sample fields the replay would index with.
TEST(ModuleLoader, RefusesMalformedFields) {
  auto refused = [](const XmModule& desc) { return LoadImage(WriteXm(desc)) == nullptr; };
  XmModule ok = OneChannelSong({{0, Cell(49, 1)}});
  XmModule s = ok;
  s.Instruments[0].VolumeEnvelope.Points = {{0, 64}, {8, 0}};
  s.Instruments[0].VolumeEnvelope.Type = EnvelopeOn | EnvelopeSustain;
  s.Instruments[0].VolumeEnvelope.Sustain = 2;
  EXPECT_TRUE(refused(s)) << "sustain point past the count";
  s.Instruments[0].VolumeEnvelope.Type = EnvelopeOn | EnvelopeLoop;
  s.Instruments[0].VolumeEnvelope.Sustain = 0;
  s.Instruments[0].VolumeEnvelope.LoopEnd = 5;
  EXPECT_TRUE(refused(s)) << "loop point past the count";
  s = ok;
  s.Instruments[0].Samples[0].LoopStart = 20;
  EXPECT_TRUE(refused(s)) << "loop past the sample end";
}

TEST(ModuleLoader, RefusesPackedDataThatOverOrUnderRunsItsRows) {
  std::vector<uint8_t> image = WriteXm(OneChannelSong({{0, Cell(49, 1)}}, 4));
  // Pattern header at 336: length 9, packing 0, rows 4, packed size; the cells follow.
  const size_t header = 60 + 276;
  ASSERT_EQ(image[header + 5], 4);
  {
    std::vector<uint8_t> more = image;
    more[header + 5] = 5;  // five rows need five cells; the data holds four
    EXPECT_EQ(LoadImage(more), nullptr);
  }
  {
    std::vector<uint8_t> fewer = image;
    fewer[header + 5] = 3;  // three rows leave the fourth cell unread
    EXPECT_EQ(LoadImage(fewer), nullptr);
  }
}

TEST(ModuleLoader, SkipsPatternHeadersLongerThanNine) {
  XmModule desc = OneChannelSong({{0, Cell(49, 1)}, {3, Cell(97)}}, 4);
  std::vector<uint8_t> image = WriteXm(desc);
  // Pattern header at 336: a stated length of 13 with four extra bytes before the cells.
  const size_t header = 60 + 276;
  ASSERT_EQ(image[header], 9);
  std::vector<uint8_t> longer = image;
  longer[header] = 13;
  longer.insert(longer.begin() + long(header + 9), {0xFF, 0xFF, 0xFF, 0xFF});
  const ModuleSong* song = LoadImage(longer);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->Patterns[0].RowCount, 4u);
  EXPECT_EQ(song->Patterns[0].Cells[0].Note, 49);
  EXPECT_EQ(song->Patterns[0].Cells[3].Note, NoteKeyOff);
  EXPECT_EQ(song->Instruments[0].Samples[0]->Length, 32u);  // what follows is read in place
  ReleaseSong(song);

  // A stated length that reaches past the end of the file is still refused.
  std::vector<uint8_t> beyond = image;
  beyond[header + 2] = 0x01;  // 65,545 bytes
  EXPECT_EQ(LoadImage(beyond), nullptr);
}

TEST(ModuleLoader, ClampsEnvelopeValuesAbove64) {
  XmModule desc = OneChannelSong({{0, Cell(49, 1)}});
  XmInstrument& ins = desc.Instruments[0];
  ins.VolumeEnvelope.Points = {{0, 80}, {4, 64}, {8, 0}};
  ins.VolumeEnvelope.Type = EnvelopeOn;
  ins.PanningEnvelope.Points = {{0, 200}, {4, 32}};
  ins.PanningEnvelope.Type = EnvelopeOn;
  TestSong t(desc);
  ASSERT_NE(t.song, nullptr);
  const ModuleInstrument& loaded = t.song->Instruments[0];
  EXPECT_EQ(loaded.VolumePoints[0].Value, 64);
  EXPECT_EQ(loaded.VolumePoints[1].Value, 64);
  EXPECT_EQ(loaded.PanningPoints[0].Value, 64);
  EXPECT_EQ(loaded.PanningPoints[1].Value, 32);
  t.Tick();
  EXPECT_EQ(t.Channel(0).VolumeEnvelope.Output, 64);
  EXPECT_EQ(t.Channel(0).PanningEnvelope.Output, 64);
}
