// Replay: timing, order flow, frequency tables, effect limits and the volume column. Each case
// builds a small module and checks the channel state against values worked out by hand in the
// comments; the tick-by-tick run of the effects and envelopes is a golden trace
// (test_module_trace.cpp).
#include <gtest/gtest.h>

#include "module/module_effects.h"
#include "tests/module/module_test_util.h"

// 2.5 x 44,100 / BPM frames a tick, truncated: the slowest, the default and the fastest tempo.
TEST(ModuleReplay, SamplesPerTickFromBpm) {
  auto machine = std::make_unique<ModuleMachine>();
  for (const auto& [bpm, frames] : {std::pair{1, 110250}, {124, 889}, {125, 882}, {255, 432}}) {
    SetBpm(*machine, bpm);
    EXPECT_EQ(machine->SamplesPerTick, frames) << "BPM " << bpm;
  }
}

// After a key-off the fadeout (twice the file's value) is taken from 65,536 every tick, from the
// key-off's own row tick on, and stops at 0: 0x800 lands on 0 after 16 ticks, 0xFFF (8,190 a
// tick) passes it on the ninth and must not go below; fadeout 0 holds the note.
TEST(ModuleReplay, FadeoutStopsAtZero) {
  const struct {
    uint16_t fadeout;
    int ticks;
    int32_t volume;
  } rows[] = {{0x800, 1, 61440}, {0x800, 16, 0}, {0xFFF, 8, 16},
              {0xFFF, 9, 0},     {0xFFF, 30, 0}, {0, 30, 65536}};
  for (const auto& k : rows) {
    XmModule desc = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(97)}});
    XmInstrument& ins = desc.Instruments[0];
    ins.VolumeEnvelope.Points = {{0, 64}, {8, 64}};
    ins.VolumeEnvelope.Type = EnvelopeOn;
    ins.Fadeout = k.fadeout;
    TestSong t(desc);
    t.Ticks(6 + k.ticks);
    EXPECT_EQ(t.Channel(0).FadeoutVolume, k.volume) << std::hex << k.fadeout << " " << k.ticks;
  }
}

TEST(ModuleReplay, FrequencyTables) {
  EXPECT_EQ(AmigaPeriod(48, 0), 1712);
  EXPECT_EQ(AmigaPeriod(48, 127), 1616);
  EXPECT_EQ(AmigaPeriod(48, -128), 1813);
  ModuleSong song;
  song.Flags = 0;
  EXPECT_EQ(PeriodToFrequency(song, 1712, 0), 8362);  // 14,317,056 / 1712
  song.Flags = 1;
  EXPECT_EQ(PeriodToFrequency(song, 4608, 0), 8363);
  EXPECT_EQ(PeriodToFrequency(song, 4608 + 768, 0), 4181);  // one octave down, truncated

  // Note 49 (real note 48) on the linear table: 8,363 Hz, step 0 + 814,485,521 / 2^32.
  TestSong t(OneChannelSong({{0, Cell(49, 1)}}));
  t.Tick();
  EXPECT_EQ(t.Channel(0).Period, 4608);
  EXPECT_EQ(t.Voice(0).StepInteger, 0u);
  EXPECT_EQ(t.Voice(0).StepFraction, 814485521u);
}

TEST(ModuleReplay, RowTimingAndSpeedZero) {
  // Speed 6: a row every 6 ticks; F00 makes every tick a row tick. (Pattern delay:
  // test_module_effects.cpp.)
  XmModule desc = OneChannelSong({{2, Cell(0, 0, 0, 0x0F, 0)}});
  EXPECT_EQ(RowTrace(desc, 12 + 3), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(ModuleReplay, OrderFlowRestartJumpAndBreak) {
  XmModule desc;
  desc.Channels = 4;
  desc.Speed = 1;
  desc.Orders = {0, 1, 2};
  desc.Restart = 1;
  desc.Instruments.push_back(SineInstrument());
  for (int i = 0; i < 3; ++i) {
    XmPattern p;
    p.Rows = 2;
    p.Cells.resize(8);
    desc.Patterns.push_back(p);
  }
  // (The natural end and the restart position: test_module_effects.cpp.)
  // B on channel 0 and D on channel 2 of the same row: B's order, D's row.
  XmModule bd = desc;
  bd.Patterns[0].At(0, 0, 4) = Cell(0, 0, 0, 0x0B, 2);
  bd.Patterns[0].At(0, 2, 4) = Cell(0, 0, 0, 0x0D, 0x01);
  EXPECT_EQ(RowTrace(bd, 2), (std::vector<int>{0, 201}));

  // D on channel 0 and B on channel 2: B's order and row 0.
  XmModule db = desc;
  db.Patterns[0].At(0, 0, 4) = Cell(0, 0, 0, 0x0D, 0x01);
  db.Patterns[0].At(0, 2, 4) = Cell(0, 0, 0, 0x0B, 2);
  EXPECT_EQ(RowTrace(db, 2), (std::vector<int>{0, 200}));

  // B beyond the song length goes to order 0; D past a shorter pattern's end plays its row 0.
  XmModule far = desc;
  far.Patterns[0].At(1, 0, 4) = Cell(0, 0, 0, 0x0B, 9);
  far.Patterns[1].At(0, 0, 4) = Cell(0, 0, 0, 0x0D, 0x10);
  EXPECT_EQ(RowTrace(far, 3), (std::vector<int>{0, 1, 0}));
  far.Orders = {1, 2, 0};
  EXPECT_EQ(RowTrace(far, 2), (std::vector<int>{0, 100}));
}

TEST(ModuleReplay, PatternLoop) {
  auto trace = [](uint8_t count) {
    XmModule desc = OneChannelSong({{0, Cell(0, 0, 0, 0x0F, 1)},
                                    {1, Cell(0, 0, 0, 0x0E, 0x60)},
                                    {2, Cell(0, 0, 0, 0x0E, uint8_t(0x60 | count))}},
                                   5);
    return RowTrace(desc, 1 + 2 * (count + 1) + 2);
  };
  EXPECT_EQ(trace(1), (std::vector<int>{0, 1, 2, 1, 2, 3, 4}));        // E61: twice
  EXPECT_EQ(trace(2), (std::vector<int>{0, 1, 2, 1, 2, 1, 2, 3, 4}));  // E62: three times
}

// Arpeggio, the slides, tone portamento, vibrato, tremor, the volume effects and the envelopes
// tick by tick: see test_module_trace.cpp.
TEST(ModuleReplay, PortamentoLimits) {
  // Portamento up stops at period 56.
  XmModule up = OneChannelSong({{0, Cell(49, 1, 0, 0x01, 0xFF)}, {1, Cell(0, 0, 0, 0x01, 0)}});
  up.Flags = 0;
  TestSong u(up);
  u.Ticks(12);
  EXPECT_EQ(u.Channel(0).Period, 56);
  // Portamento down has no limit: 5 ticks of 0xFF x 4.
  XmModule down = OneChannelSong({{0, Cell(49, 1, 0, 0x02, 0xFF)}});
  down.Flags = 0;
  TestSong w(down);
  w.Ticks(6);
  EXPECT_EQ(w.Channel(0).Period, 1712 + 5 * 1020);
}

// The sine table's peak and its negative half, the square wave's two levels; the deepest vibrato
// at the peak; tremolo cut to reach 64 or 0 exactly.
TEST(ModuleReplay, WaveformsVibratoAndTremolo) {
  const std::pair<int, int8_t> values[] = {{0, 0},   {0, 16}, {0, -16}, {0, 1},
                                           {0, -31}, {1, 4},  {1, -32}};
  const int expected[] = {0, 255, 255, 25, 25, 32, 255};
  for (size_t i = 0; i < std::size(values); ++i) {
    EXPECT_EQ(WaveformValue(values[i].first, values[i].second), expected[i]) << i;
  }

  ModuleChannel c;
  c.VibratoDepth = 15;
  c.VibratoPosition = 16;
  DoVibrato(c);
  EXPECT_EQ(c.PeriodDelta, -116);  // (15 x 255) >> 5 = 119, low bits cleared, negated

  ModuleChannel tr;
  tr.Volume = 60;
  tr.TremoloDepth = 15;
  tr.TremoloPosition = 16;
  DoTremolo(tr);
  EXPECT_EQ(tr.VolumeDelta, 4);  // 59 would pass 64: cut to reach 64 exactly
  tr.Volume = 10;
  tr.TremoloPosition = -16;
  DoTremolo(tr);
  EXPECT_EQ(tr.VolumeDelta, -10);  // cut to reach 0 exactly
}

TEST(ModuleReplay, RetriggerVolumeActions) {
  auto after = [](uint8_t action, uint8_t volume) {
    XmModule desc =
        OneChannelSong({{0, Cell(49, 1, uint8_t(0x10 + volume), 0x1B, uint8_t(action << 4 | 1))}});
    TestSong t(desc);
    t.Ticks(2);
    return t.Channel(0).Volume;
  };
  // Every action once from volume 40: 0 and 8 keep it, 6 is 80 / 3 = 26, 14 is 60, 15 is 80
  // held to 64.
  const int32_t from40[16] = {40, 39, 38, 36, 32, 24, 26, 20, 40, 41, 42, 44, 48, 56, 60, 64};
  for (uint8_t action = 0; action < 16; ++action) {
    EXPECT_EQ(after(action, 40), from40[action]) << "action " << int(action);
  }
  EXPECT_EQ(after(6, 64), 42);  // 64 x 2 / 3
  EXPECT_EQ(after(5, 10), 0);   // held to 0
  EXPECT_EQ(after(7, 33), 16);  // halved with the shift
}

TEST(ModuleReplay, NoteDelayAndSampleOffset) {
  // ED2 starts its note on tick 2.
  XmModule two = OneChannelSong({{0, Cell(49, 1, 0, 0x0E, 0xD2)}});
  TestSong u(two);
  u.Ticks(2);
  EXPECT_EQ(u.Voice(0).Sample, nullptr);
  u.Tick();
  EXPECT_NE(u.Voice(0).Sample, nullptr);

  // 9xx into a 512-frame looped sample: 901 (256) starts the second note there, on the twin
  // voice; 902 (512, the loop end itself) is past the sound, so it restarts the sound that plays
  // from 0 on the same voice and starts no new note.
  for (const uint8_t parameter : {0x01, 0x02}) {
    XmModule offset = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(49, 1, 0, 0x09, parameter)}});
    XmSample& s = offset.Instruments[0].Samples[0];
    s.Frames = SineCycle(512, 100);
    s.LoopLength = 512;
    TestSong o(offset);
    o.Ticks(6);
    MixVoice* first = &o.Voice(0);
    first->Position = 77;
    o.Tick();
    EXPECT_EQ(&o.Voice(0) == first, parameter == 0x02) << int(parameter);
    EXPECT_EQ(o.Voice(0).Position, parameter == 0x01 ? 256u : 0u) << int(parameter);
  }
}

TEST(ModuleReplay, InstrumentWithoutNoteResetsWithoutRestart) {
  XmModule desc = OneChannelSong({{0, Cell(49, 1, 0x20)}, {1, Cell(0, 1)}});
  TestSong t(desc);
  t.Ticks(6);
  EXPECT_EQ(t.Channel(0).Volume, 0x10);
  MixVoice* v = &t.Voice(0);
  v->Position = 9;
  t.Tick();
  EXPECT_EQ(t.Channel(0).Volume, 64);
  EXPECT_EQ(&t.Voice(0), v);
  EXPECT_EQ(v->Position, 9u);
}

TEST(ModuleReplay, PanningFollowsTheFormat) {
  // Panning 0 sounds on the left only, 255 on the right only, 128 in both.
  for (uint8_t pan : {0, 128, 255}) {
    XmModule desc = OneChannelSong({{0, Cell(49, 1)}});
    desc.Instruments[0].Samples[0].Panning = pan;
    TestSong t(desc, true);
    std::vector<int16_t> pcm = t.Render(4000);
    int64_t left = 0, right = 0;
    for (size_t i = 0; i < pcm.size(); i += 2) {
      left += std::abs(pcm[i]);
      right += std::abs(pcm[i + 1]);
    }
    if (pan == 0) {
      EXPECT_GT(left, 0);
      EXPECT_EQ(right, 0);
    } else if (pan == 255) {
      EXPECT_EQ(left, 0);
      EXPECT_GT(right, 0);
    } else {
      EXPECT_NEAR(double(left) / double(right), 1.0, 0.02);
    }
  }
}

TEST(ModuleReplay, SetFinetuneAppliesToItsRowOnly) {
  // Linear table, real note 48 (period 4608 at finetune 0). E5y plays the row's note with
  // finetune (y - 8) x 16: E50 gives -128, period 4608 + 64; E5F gives 112, period 4608 - 56.
  // The sample keeps finetune 0, so the plain notes after them play at 4608, and E5C on a row
  // without a note changes nothing.
  XmModule desc = OneChannelSong({{0, Cell(49, 1, 0, 0x0E, 0x50)},
                                  {1, Cell(49, 1)},
                                  {2, Cell(49, 1, 0, 0x0E, 0x5F)},
                                  {3, Cell(0, 0, 0, 0x0E, 0x5C)},
                                  {4, Cell(49, 1)}});
  TestSong t(desc);
  std::vector<int32_t> periods;
  for (int row = 0; row < 5; ++row) {
    t.Ticks(6);
    periods.push_back(t.Channel(0).Period);
  }
  EXPECT_EQ(periods, (std::vector<int32_t>{4672, 4608, 4552, 4552, 4608}));
  EXPECT_EQ(t.song->Instruments[0].Samples[0]->Finetune, 0);

  // Amiga table: E58 means finetune 0 whatever the sample's own (16 here): period 1712.
  XmModule amiga = OneChannelSong({{0, Cell(49, 1, 0, 0x0E, 0x58)}, {1, Cell(49, 1)}});
  amiga.Flags = 0;
  amiga.Instruments[0].Samples[0].Finetune = 16;
  TestSong a(amiga);
  a.Tick();
  EXPECT_EQ(a.Channel(0).Period, 1712);
  a.Ticks(6);
  EXPECT_EQ(a.Channel(0).Period, AmigaPeriod(48, 16));
}

TEST(ModuleReplay, VolumeColumnTonePortamentoSlidesToTheNote) {
  // Linear table: note 49 (period 4608), then note 61 (period 3840) next to volume byte 0xF2:
  // speed 0x20, 128 a tick. The row tick keeps note, period and voice; ticks 1..5 slide 4480
  // .. 3968, and row 2's 0xF0 (speed from memory) lands on 3840 on its first slide tick.
  XmModule desc = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(61, 1, 0xF2)}, {2, Cell(0, 0, 0xF0)}});
  TestSong t(desc);
  t.Ticks(6);
  MixVoice* voice = &t.Voice(0);
  voice->Position = 5;
  t.Tick();
  ModuleChannel& c = t.Channel(0);
  EXPECT_EQ(c.Period, 4608);
  EXPECT_EQ(c.Note, 48);
  EXPECT_EQ(c.PortamentoTarget, 3840);
  EXPECT_EQ(&t.Voice(0), voice);
  EXPECT_EQ(voice->Position, 5u);
  std::vector<int32_t> periods;
  for (int i = 0; i < 7; ++i) {
    t.Tick();
    periods.push_back(c.Period);
  }
  EXPECT_EQ(periods, (std::vector<int32_t>{4480, 4352, 4224, 4096, 3968, 3968, 3840}));
  EXPECT_EQ(&t.Voice(0), voice);

  // A volume byte that sets the volume (0x30) next to a note still starts it at once.
  XmModule set = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(61, 1, 0x30)}});
  TestSong s(set);
  s.Ticks(7);
  EXPECT_EQ(s.Channel(0).Period, 3840);
  EXPECT_EQ(s.Channel(0).Volume, 32);
}

// A key-off next to the instrument number releases the note without starting its envelope again:
// an envelope that has died away (64 -> 0 over 4 ticks, no sustain) stays silent. (The key-off
// cells against the peers: test_module_matrix.cpp.)
TEST(ModuleReplay, KeyOffNextToInstrumentKeepsADiedAwayNoteSilent) {
  XmModule died = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(97, 1)}});
  died.Instruments[0].VolumeEnvelope.Points = {{0, 64}, {4, 0}};
  died.Instruments[0].VolumeEnvelope.Type = EnvelopeOn;
  TestSong d(died);
  d.Ticks(7);
  EXPECT_EQ(d.Channel(0).VolumeEnvelope.Output, 0);
  EXPECT_EQ(d.Voice(0).Volume, 0);
}

// A loaded song is only read: two machines on one song, mixed block by block in turn, each play
// it as a machine on a copy of its own does. A machine reset for a song starts afresh: H00 on the
// first row finds no global volume slide (H04 on row 1) remembered from the run before.
TEST(ModuleReplay, MachinesSideBySideOnOneSong) {
  const XmModule desc =
      OneChannelSong({{0, Cell(49, 1, 0, 0x11, 0x00)}, {1, Cell(0, 0, 0, 0x11, 0x04)}}, 4);
  const int blocks = 40;  // 4 rows of 6 ticks are 24 x 882 frames: the song plays about 1.5 times
  TestSong own(desc, true);
  const std::vector<int16_t> expected = own.Render(blocks * BlockLength);
  TestSong a(desc, true), b(desc, true);
  ResetMachine(*b.machine, a.song);
  std::vector<int16_t> heardA, heardB;
  for (int k = 0; k < blocks; ++k) {
    const std::vector<int16_t> blockA = a.Render(BlockLength), blockB = b.Render(BlockLength);
    heardA.insert(heardA.end(), blockA.begin(), blockA.end());
    heardB.insert(heardB.end(), blockB.begin(), blockB.end());
  }
  EXPECT_EQ(heardA, expected);
  EXPECT_EQ(heardB, expected);
  ResetMachine(*a.machine, a.song);
  EXPECT_EQ(a.Render(blocks * BlockLength), expected);
  b.machine->Song = b.song;  // b releases its own song, not a's
}
