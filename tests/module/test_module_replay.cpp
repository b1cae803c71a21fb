// Replay: timing, order flow, frequency tables, envelopes, effects and the volume column. Each
// case builds a small module and checks the channel state tick by tick against values worked out
// by hand in the comments.
#include <gtest/gtest.h>

#include "module/module_effects.h"
#include "tests/module/module_test_util.h"

namespace {

// Rows visited by the first `ticks` ticks, one entry per row tick.
std::vector<int> RowTrace(TestSong& t, int ticks) {
  std::vector<int> rows;
  for (int i = 0; i < ticks; ++i) {
    bool rowTick = t.song->tick == 0;
    t.Tick();
    if (rowTick) rows.push_back(t.song->orderPosition * 100 + t.song->row);
  }
  return rows;
}

}  // namespace

TEST(ModuleReplay, SamplesPerTickFromBpm) {
  ModuleSong song;
  for (int bpm = 1; bpm <= 255; ++bpm) {
    SetBpm(song, bpm);
    EXPECT_EQ(song.samplesPerTick, 110250 / bpm) << "BPM " << bpm;
  }
  SetBpm(song, 125);
  EXPECT_EQ(song.samplesPerTick, 882);
}

TEST(ModuleReplay, FrequencyTables) {
  EXPECT_EQ(AmigaPeriod(48, 0), 1712);
  EXPECT_EQ(AmigaPeriod(48, 127), 1616);
  EXPECT_EQ(AmigaPeriod(48, -128), 1813);
  ModuleSong song;
  song.flags = 0;
  EXPECT_EQ(PeriodToFrequency(song, 1712, 0), 8362);  // 14,317,056 / 1712
  song.flags = 1;
  EXPECT_EQ(PeriodToFrequency(song, 4608, 0), 8363);
  EXPECT_EQ(PeriodToFrequency(song, 4608 + 768, 0), 4181);  // one octave down, truncated

  // Note 49 (real note 48) on the linear table: 8,363 Hz, step 0 + 814,485,521 / 2^32.
  TestSong t(OneChannelSong({{0, Cell(49, 1)}}));
  t.Tick();
  EXPECT_EQ(t.Channel(0).period, 4608);
  EXPECT_EQ(t.Voice(0).stepInteger, 0u);
  EXPECT_EQ(t.Voice(0).stepFraction, 814485521u);
}

TEST(ModuleReplay, RowTimingSpeedAndPatternDelay) {
  // Speed 6: a row every 6 ticks; F00 makes every tick a row tick.
  XmSongDesc desc = OneChannelSong({{2, Cell(0, 0, 0, 0x0F, 0)}});
  TestSong t(desc);
  EXPECT_EQ(RowTrace(t, 12 + 3), (std::vector<int>{0, 1, 2, 3, 4}));

  // EE2 on row 1 at speed 3 keeps row 1 for 3 + 6 ticks.
  XmSongDesc delay = OneChannelSong({{0, Cell(0, 0, 0, 0x0F, 3)}, {1, Cell(0, 0, 0, 0x0E, 0xE2)}});
  TestSong d(delay);
  std::vector<int> rows = RowTrace(d, 3 + 9 + 3);
  EXPECT_EQ(rows, (std::vector<int>{0, 1, 2}));
}

TEST(ModuleReplay, OrderFlowRestartJumpAndBreak) {
  XmSongDesc desc;
  desc.channels = 4;
  desc.speed = 1;
  desc.orders = {0, 1, 2};
  desc.restart = 1;
  desc.instruments.push_back(SineInstrument());
  for (int i = 0; i < 3; ++i) {
    XmPatternSpec p;
    p.rows = 2;
    p.cells.resize(8);
    desc.patterns.push_back(p);
  }
  // Natural end: after order 2 the song continues at the restart position 1.
  TestSong t(desc);
  EXPECT_EQ(RowTrace(t, 8), (std::vector<int>{0, 1, 100, 101, 200, 201, 100, 101}));

  // B on channel 0 and D on channel 2 of the same row: B's order, D's row.
  XmSongDesc bd = desc;
  bd.patterns[0].At(0, 0, 4) = Cell(0, 0, 0, 0x0B, 2);
  bd.patterns[0].At(0, 2, 4) = Cell(0, 0, 0, 0x0D, 0x01);
  TestSong a(bd);
  EXPECT_EQ(RowTrace(a, 2), (std::vector<int>{0, 201}));

  // D on channel 0 and B on channel 2: B's order and row 0.
  XmSongDesc db = desc;
  db.patterns[0].At(0, 0, 4) = Cell(0, 0, 0, 0x0D, 0x01);
  db.patterns[0].At(0, 2, 4) = Cell(0, 0, 0, 0x0B, 2);
  TestSong b(db);
  EXPECT_EQ(RowTrace(b, 2), (std::vector<int>{0, 200}));

  // B beyond the song length goes to order 0; D past a shorter pattern's end plays its row 0.
  XmSongDesc far = desc;
  far.patterns[0].At(1, 0, 4) = Cell(0, 0, 0, 0x0B, 9);
  far.patterns[1].At(0, 0, 4) = Cell(0, 0, 0, 0x0D, 0x10);
  TestSong c(far);
  EXPECT_EQ(RowTrace(c, 3), (std::vector<int>{0, 1, 0}));
  TestSong e(far);
  e.song->orderPosition = 1;
  EXPECT_EQ(RowTrace(e, 2), (std::vector<int>{100, 200}));
}

TEST(ModuleReplay, PatternLoop) {
  auto trace = [](uint8_t count) {
    XmSongDesc desc = OneChannelSong({{0, Cell(0, 0, 0, 0x0F, 1)},
                                      {1, Cell(0, 0, 0, 0x0E, 0x60)},
                                      {2, Cell(0, 0, 0, 0x0E, uint8_t(0x60 | count))}},
                                     5);
    TestSong t(desc);
    return RowTrace(t, 1 + 2 * (count + 1) + 2);
  };
  EXPECT_EQ(trace(1), (std::vector<int>{0, 1, 2, 1, 2, 3, 4}));        // E61: twice
  EXPECT_EQ(trace(2), (std::vector<int>{0, 1, 2, 1, 2, 1, 2, 3, 4}));  // E62: three times
}

TEST(ModuleReplay, ArpeggioAndPortamento) {
  // Arpeggio 0x37, Amiga table, real note 48: ticks 1 and 4 three semitones up, 2 and 5 seven.
  XmSongDesc desc = OneChannelSong({{0, Cell(49, 1, 0, 0x00, 0x37)}});
  desc.flags = 0;
  TestSong t(desc);
  t.Tick();
  std::vector<int32_t> deltas;
  for (int i = 1; i < 6; ++i) {
    t.Tick();
    deltas.push_back(t.Channel(0).periodDelta);
  }
  int32_t up3 = AmigaPeriod(51, 0) - 1712, up7 = AmigaPeriod(55, 0) - 1712;
  EXPECT_EQ(deltas, (std::vector<int32_t>{up3, up7, 0, up3, up7}));

  // Portamento up stops at period 56.
  XmSongDesc up = OneChannelSong({{0, Cell(49, 1, 0, 0x01, 0xFF)}, {1, Cell(0, 0, 0, 0x01, 0)}});
  up.flags = 0;
  TestSong u(up);
  u.Ticks(12);
  EXPECT_EQ(u.Channel(0).period, 56);
  // Portamento down has no limit: 5 ticks of 0xFF x 4.
  XmSongDesc down = OneChannelSong({{0, Cell(49, 1, 0, 0x02, 0xFF)}});
  down.flags = 0;
  TestSong w(down);
  w.Ticks(6);
  EXPECT_EQ(w.Channel(0).period, 1712 + 5 * 1020);
}

TEST(ModuleReplay, TonePortamentoLandsOnTarget) {
  // From note 49 (period 1712) toward a target of 1700 at speed 0xFF: one tick lands on 1700.
  XmSongDesc desc = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(50, 0, 0, 0x03, 0xFF)}});
  desc.flags = 0;
  desc.instruments[0].samples[0].finetune = 0;
  TestSong t(desc);
  t.Ticks(7);
  ModuleChannel& c = t.Channel(0);
  int32_t target = AmigaPeriod(49, 0);
  EXPECT_EQ(c.portamentoTarget, target);
  EXPECT_EQ(c.period, 1712);  // the row tick does not slide, and the note does not restart
  EXPECT_EQ(c.note, 48);
  t.Tick();
  EXPECT_EQ(c.period, target);
  t.Tick();
  EXPECT_EQ(c.period, target);
}

TEST(ModuleReplay, WaveformsVibratoTremoloTremor) {
  const int sine[32] = {0,   25,  49,  74,  97,  120, 142, 162, 181, 197, 212,
                        225, 236, 244, 251, 254, 255, 254, 251, 244, 236, 225,
                        212, 197, 181, 162, 142, 120, 97,  74,  49,  25};
  for (int p = 0; p < 32; ++p) {
    EXPECT_EQ(WaveformValue(0, int8_t(p)), sine[p]) << p;
    EXPECT_EQ(WaveformValue(0, int8_t(p - 32)), sine[p]) << p - 32;
  }
  EXPECT_EQ(WaveformValue(1, 4), 32);
  EXPECT_EQ(WaveformValue(1, -32), 255);

  ModuleChannel c;
  c.vibratoDepth = 15;
  c.vibratoPosition = 16;
  DoVibrato(c);
  EXPECT_EQ(c.periodDelta, -116);  // (15 x 255) >> 5 = 119, low bits cleared, negated

  ModuleChannel tr;
  tr.volume = 60;
  tr.tremoloDepth = 15;
  tr.tremoloPosition = 16;
  DoTremolo(tr);
  EXPECT_EQ(tr.volumeDelta, 4);  // 59 would pass 64: cut to reach 64 exactly
  tr.volume = 10;
  tr.tremoloPosition = -16;
  DoTremolo(tr);
  EXPECT_EQ(tr.volumeDelta, -10);  // cut to reach 0 exactly

  // T21: three ticks on, two off, starting on the row tick.
  XmSongDesc desc = OneChannelSong({{0, Cell(49, 1, 0, 0x1D, 0x21)}, {1, Cell(0, 0, 0, 0x1D, 0)}});
  desc.speed = 10;
  TestSong t(desc);
  std::vector<int> audible;
  for (int i = 0; i < 10; ++i) {
    t.Tick();
    audible.push_back(t.Channel(0).volumeDelta == 0 ? 1 : 0);
  }
  EXPECT_EQ(audible, (std::vector<int>{1, 1, 1, 0, 0, 1, 1, 1, 0, 0}));
}

TEST(ModuleReplay, VolumeEffects) {
  // C80 sets volume 128; G50 sets the global volume to 64; EC0 does nothing.
  XmSongDesc desc = OneChannelSong({{0, Cell(49, 1, 0, 0x0C, 0x80)},
                                    {1, Cell(0, 0, 0, 0x10, 0x50)},
                                    {2, Cell(0, 0, 0, 0x0E, 0xC0)},
                                    {3, Cell(0, 0, 0, 0x0E, 0xC2)}});
  TestSong t(desc);
  t.Tick();
  EXPECT_EQ(t.Channel(0).volume, 128);
  t.song->globalVolume = 10;
  t.Ticks(6);
  EXPECT_EQ(t.song->globalVolume, 64);
  t.Ticks(6);
  EXPECT_EQ(t.Channel(0).volume, 128);
  t.Ticks(5 + 2);  // the rest of row 2, then row 3's row tick and tick 1
  EXPECT_EQ(t.Channel(0).volume, 128);
  t.Tick();  // EC2 cuts on tick 2
  EXPECT_EQ(t.Channel(0).volume, 0);

  // Volume column: 6x slides on every tick including the row tick, 8x once.
  XmSongDesc col = OneChannelSong({{0, Cell(49, 1, 0x63)}, {1, Cell(0, 0, 0x82)}});
  TestSong v(col);
  v.Ticks(6);
  EXPECT_EQ(v.Channel(0).volume, 64 - 6 * 3);
  v.Ticks(6);
  EXPECT_EQ(v.Channel(0).volume, 64 - 6 * 3 - 2);
}

TEST(ModuleReplay, RetriggerVolumeActions) {
  auto after = [](uint8_t action, uint8_t volume) {
    XmSongDesc desc =
        OneChannelSong({{0, Cell(49, 1, uint8_t(0x10 + volume), 0x1B, uint8_t(action << 4 | 1))}});
    TestSong t(desc);
    t.Ticks(2);
    return t.Channel(0).volume;
  };
  EXPECT_EQ(after(6, 64), 42);   // 64 x 2 / 3
  EXPECT_EQ(after(14, 50), 64);  // 75, limited
  EXPECT_EQ(after(5, 10), 0);
  EXPECT_EQ(after(7, 33), 16);
}

TEST(ModuleReplay, NoteDelayAndSampleOffset) {
  // ED2 starts its note on tick 2.
  XmSongDesc two = OneChannelSong({{0, Cell(49, 1, 0, 0x0E, 0xD2)}});
  TestSong u(two);
  u.Ticks(2);
  EXPECT_EQ(u.Voice(0).sample, nullptr);
  u.Tick();
  EXPECT_NE(u.Voice(0).sample, nullptr);

  // 9xx within the loop starts the note there; beyond the loop end it restarts the sound that
  // plays from 0 and starts no new note.
  XmSongDesc offset = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(49, 1, 0, 0x09, 0x01)}});
  XmSampleSpec& s = offset.instruments[0].samples[0];
  s.frames = SineCycle(512, 100);
  s.loopLength = 512;
  TestSong o(offset);
  o.Ticks(6);
  MixVoice* first = &o.Voice(0);
  first->position = 77;
  o.Tick();
  EXPECT_EQ(o.Voice(0).position, 256u);
  EXPECT_NE(&o.Voice(0), first);  // the second note took the twin voice

  XmSongDesc past = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(49, 1, 0, 0x09, 0x40)}});
  TestSong p(past);
  p.Ticks(6);
  MixVoice* voice = &p.Voice(0);
  voice->position = 20;
  p.Tick();
  EXPECT_EQ(&p.Voice(0), voice);
  EXPECT_EQ(voice->position, 0u);
}

TEST(ModuleReplay, InstrumentWithoutNoteResetsWithoutRestart) {
  XmSongDesc desc = OneChannelSong({{0, Cell(49, 1, 0x20)}, {1, Cell(0, 1)}});
  TestSong t(desc);
  t.Ticks(6);
  EXPECT_EQ(t.Channel(0).volume, 0x10);
  MixVoice* v = &t.Voice(0);
  v->position = 9;
  t.Tick();
  EXPECT_EQ(t.Channel(0).volume, 64);
  EXPECT_EQ(&t.Voice(0), v);
  EXPECT_EQ(v->position, 9u);
}

TEST(ModuleReplay, EnvelopesSustainLoopKeyOffAndFadeout) {
  // Volume envelope 64 -> 32 over 4 ticks, sustain at point 1, then down to 0 over 4 ticks.
  XmSongDesc desc = OneChannelSong({{0, Cell(49, 1)}, {2, Cell(97)}});
  XmInstrumentSpec& ins = desc.instruments[0];
  ins.volume.points = {{0, 64}, {4, 32}, {8, 0}};
  ins.volume.type = EnvelopeOn | EnvelopeSustain;
  ins.volume.sustain = 1;
  ins.fadeout = 0x0800;
  TestSong t(desc);
  std::vector<int32_t> out;
  for (int i = 0; i < 12; ++i) {
    t.Tick();
    out.push_back(t.Channel(0).volumeEnvelope.output);
  }
  // Held at 32 until the key-off on row 2 (tick 12), then it leaves the sustain point.
  EXPECT_EQ(out, (std::vector<int32_t>{64, 56, 48, 40, 32, 32, 32, 32, 32, 32, 32, 32}));
  t.Tick();
  EXPECT_EQ(t.Channel(0).volumeEnvelope.output, 32);
  EXPECT_EQ(t.Channel(0).fadeoutVolume, 65536 - 0x1000);
  t.Ticks(4);
  EXPECT_EQ(t.Channel(0).volumeEnvelope.output, 0);
  EXPECT_EQ(t.Channel(0).volumeEnvelope.stopped, 1);

  // A loop from point 2 back to point 1 sets the tick back to point 1's tick.
  XmSongDesc loop = OneChannelSong({{0, Cell(49, 1)}});
  loop.instruments[0].volume.points = {{0, 0}, {2, 64}, {4, 0}};
  loop.instruments[0].volume.type = EnvelopeOn | EnvelopeLoop;
  loop.instruments[0].volume.loopStart = 1;
  loop.instruments[0].volume.loopEnd = 2;
  TestSong l(loop);
  std::vector<int32_t> trace;
  for (int i = 0; i < 9; ++i) {
    l.Tick();
    trace.push_back(l.Channel(0).volumeEnvelope.output);
  }
  EXPECT_EQ(trace, (std::vector<int32_t>{0, 32, 64, 32, 64, 32, 64, 32, 64}));

  // Without a volume envelope a key-off silences at once.
  XmSongDesc plain = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(97)}});
  TestSong k(plain);
  k.Ticks(7);
  EXPECT_EQ(k.Channel(0).volumeEnvelope.output, 0);
  EXPECT_EQ(k.Voice(0).volume, 0);
}

TEST(ModuleReplay, PanningFollowsTheFormat) {
  // Panning 0 sounds on the left only, 255 on the right only, 128 in both.
  for (uint8_t pan : {0, 128, 255}) {
    XmSongDesc desc = OneChannelSong({{0, Cell(49, 1)}});
    desc.instruments[0].samples[0].panning = pan;
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

TEST(ModuleReplay, SetEnvelopePosition) {
  XmSongDesc desc = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(0, 0, 0, 0x15, 6)}});
  desc.instruments[0].volume.points = {{0, 0}, {4, 64}, {12, 0}};
  desc.instruments[0].volume.type = EnvelopeOn;
  TestSong t(desc);
  t.Ticks(7);
  // L runs after the row's envelope step. Position 6 lies between points 1 and 2:
  // 64 + 2 x (-8) = 48, next point 2.
  EXPECT_EQ(t.Channel(0).volumeEnvelope.point, 2);
  EXPECT_EQ(t.Channel(0).volumeEnvelope.tick, 6);
  EXPECT_EQ(t.Channel(0).volumeEnvelope.output, 48);
  t.Tick();
  EXPECT_EQ(t.Channel(0).volumeEnvelope.output, 40);
}

TEST(ModuleReplay, NoteDelayZeroPlaysOnTheRowTick) {
  // ED0 next to a note with a volume slide of 3 (0x63): the note starts on the row tick as if
  // there were no delay, and the slide reaches the voice on every tick: 61 on the row tick, then
  // 58, 55, 52, 49, 46.
  XmSongDesc desc = OneChannelSong({{0, Cell(49, 1, 0x63, 0x0E, 0xD0)}});
  TestSong t(desc);
  t.Tick();
  EXPECT_NE(t.Voice(0).sample, nullptr);
  EXPECT_EQ(t.Channel(0).period, 4608);
  EXPECT_EQ(t.Channel(0).volume, 61);
  int32_t voiceVolume = t.Voice(0).volume;
  t.Ticks(5);
  EXPECT_EQ(t.Channel(0).volume, 46);
  EXPECT_LT(t.Voice(0).volume, voiceVolume);

  // ED0 next to a key-off releases at once: without an envelope the note is silent on the row.
  XmSongDesc off = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(97, 0, 0, 0x0E, 0xD0)}});
  TestSong k(off);
  k.Ticks(7);
  EXPECT_EQ(k.Channel(0).keyOff, 1);
  EXPECT_EQ(k.Voice(0).volume, 0);
}

TEST(ModuleReplay, DelayedKeyOffReleasesOnItsTick) {
  // Without a volume envelope: row 1 holds a key-off with ED3. The note plays on through ticks
  // 6..8 and falls silent on tick 9 (tick 3 of row 1) on the same voice, never restarted.
  XmSongDesc plain = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(97, 0, 0, 0x0E, 0xD3)}});
  TestSong t(plain);
  t.Ticks(6);
  MixVoice* voice = &t.Voice(0);
  int32_t sounding = voice->volume;
  ASSERT_GT(sounding, 0);
  for (int tick = 0; tick < 3; ++tick) {
    t.Tick();
    EXPECT_EQ(t.Channel(0).keyOff, 0) << tick;
    EXPECT_EQ(voice->volume, sounding) << tick;
  }
  voice->position = 11;
  t.Tick();
  EXPECT_EQ(t.Channel(0).keyOff, 1);
  EXPECT_EQ(&t.Voice(0), voice);
  EXPECT_EQ(voice->volume, 0);
  EXPECT_EQ(voice->position, 11u);  // no new start
  t.Ticks(2);
  EXPECT_EQ(voice->volume, 0);

  // With a volume envelope 64 -> 32 (sustain at point 1, tick 4) -> 0 at tick 8 and fadeout
  // 0x800 (0x1000 a tick): the envelope holds 32 until tick 9, where the key-off lands after
  // that tick's envelope step. From tick 10 it leaves the sustain point (32, 24, 16) and the
  // fadeout runs (61,440, 57,344, 53,248), all carried to the same voice.
  XmSongDesc env = plain;
  XmInstrumentSpec& ins = env.instruments[0];
  ins.volume.points = {{0, 64}, {4, 32}, {8, 0}};
  ins.volume.type = EnvelopeOn | EnvelopeSustain;
  ins.volume.sustain = 1;
  ins.fadeout = 0x0800;
  TestSong e(env);
  e.Ticks(9);
  voice = &e.Voice(0);
  e.Tick();
  ModuleChannel& c = e.Channel(0);
  EXPECT_EQ(c.keyOff, 1);
  EXPECT_EQ(c.volumeEnvelope.output, 32);
  EXPECT_EQ(c.fadeoutVolume, 65536);
  std::vector<int32_t> outputs, fades, volumes;
  for (int i = 0; i < 3; ++i) {
    e.Tick();
    outputs.push_back(c.volumeEnvelope.output);
    fades.push_back(c.fadeoutVolume);
    volumes.push_back(voice->volume);
  }
  EXPECT_EQ(outputs, (std::vector<int32_t>{32, 24, 16}));
  EXPECT_EQ(fades, (std::vector<int32_t>{61440, 57344, 53248}));
  EXPECT_EQ(&e.Voice(0), voice);
  EXPECT_GT(volumes[0], volumes[1]);
  EXPECT_GT(volumes[1], volumes[2]);
}

TEST(ModuleReplay, SetFinetuneAppliesToItsRowOnly) {
  // Linear table, real note 48 (period 4608 at finetune 0). E5y plays the row's note with
  // finetune (y - 8) x 16: E50 gives -128, period 4608 + 64; E5F gives 112, period 4608 - 56.
  // The sample keeps finetune 0, so the plain notes after them play at 4608, and E5C on a row
  // without a note changes nothing.
  XmSongDesc desc = OneChannelSong({{0, Cell(49, 1, 0, 0x0E, 0x50)},
                                    {1, Cell(49, 1)},
                                    {2, Cell(49, 1, 0, 0x0E, 0x5F)},
                                    {3, Cell(0, 0, 0, 0x0E, 0x5C)},
                                    {4, Cell(49, 1)}});
  TestSong t(desc);
  std::vector<int32_t> periods;
  for (int row = 0; row < 5; ++row) {
    t.Ticks(6);
    periods.push_back(t.Channel(0).period);
  }
  EXPECT_EQ(periods, (std::vector<int32_t>{4672, 4608, 4552, 4552, 4608}));
  EXPECT_EQ(t.song->instruments[0].samples[0]->finetune, 0);

  // Amiga table: E58 means finetune 0 whatever the sample's own (16 here): period 1712.
  XmSongDesc amiga = OneChannelSong({{0, Cell(49, 1, 0, 0x0E, 0x58)}, {1, Cell(49, 1)}});
  amiga.flags = 0;
  amiga.instruments[0].samples[0].finetune = 16;
  TestSong a(amiga);
  a.Tick();
  EXPECT_EQ(a.Channel(0).period, 1712);
  a.Ticks(6);
  EXPECT_EQ(a.Channel(0).period, AmigaPeriod(48, 16));
}

TEST(ModuleReplay, VolumeColumnTonePortamentoSlidesToTheNote) {
  // Linear table: note 49 (period 4608), then note 61 (period 3840) next to volume byte 0xF2:
  // speed 0x20, 128 a tick. The row tick keeps note, period and voice; ticks 1..5 slide 4480
  // .. 3968, and row 2's 0xF0 (speed from memory) lands on 3840 on its first slide tick.
  XmSongDesc desc =
      OneChannelSong({{0, Cell(49, 1)}, {1, Cell(61, 1, 0xF2)}, {2, Cell(0, 0, 0xF0)}});
  TestSong t(desc);
  t.Ticks(6);
  MixVoice* voice = &t.Voice(0);
  voice->position = 5;
  t.Tick();
  ModuleChannel& c = t.Channel(0);
  EXPECT_EQ(c.period, 4608);
  EXPECT_EQ(c.note, 48);
  EXPECT_EQ(c.portamentoTarget, 3840);
  EXPECT_EQ(&t.Voice(0), voice);
  EXPECT_EQ(voice->position, 5u);
  std::vector<int32_t> periods;
  for (int i = 0; i < 7; ++i) {
    t.Tick();
    periods.push_back(c.period);
  }
  EXPECT_EQ(periods, (std::vector<int32_t>{4480, 4352, 4224, 4096, 3968, 3968, 3840}));
  EXPECT_EQ(&t.Voice(0), voice);

  // A volume byte that sets the volume (0x30) next to a note still starts it at once.
  XmSongDesc set = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(61, 1, 0x30)}});
  TestSong s(set);
  s.Ticks(7);
  EXPECT_EQ(s.Channel(0).period, 3840);
  EXPECT_EQ(s.Channel(0).volume, 32);
}

TEST(ModuleReplay, KeyOffNextToInstrumentOrVolumeReleases) {
  // Volume envelope 64 -> 32 (sustain at point 1) -> 0 over ticks 0..8, fadeout 0x1000 a tick.
  // Row 0 plays the note at volume 32; row 1 (tick 6) keys it off next to the instrument
  // number, next to a volume byte 0x20 (volume 16), or alone. In every case the envelope leaves
  // its sustain point from where it is (32, then 24) and the fadeout runs (61,440, 57,344); the
  // instrument number restores the sample's volume 64 and the volume byte sets 16.
  auto run = [](ModuleCell offCell) {
    XmSongDesc desc = OneChannelSong({{0, Cell(49, 1, 0x30)}, {1, offCell}});
    XmInstrumentSpec& ins = desc.instruments[0];
    ins.volume.points = {{0, 64}, {4, 32}, {8, 0}};
    ins.volume.type = EnvelopeOn | EnvelopeSustain;
    ins.volume.sustain = 1;
    ins.fadeout = 0x0800;
    TestSong t(desc);
    t.Ticks(6);
    std::vector<int32_t> trace;
    for (int i = 0; i < 2; ++i) {
      t.Tick();
      const ModuleChannel& c = t.Channel(0);
      trace.insert(trace.end(), {c.volume, c.keyOff, c.volumeEnvelope.output, c.fadeoutVolume});
    }
    return trace;
  };
  EXPECT_EQ(run(Cell(97, 1)), (std::vector<int32_t>{64, 1, 32, 61440, 64, 1, 24, 57344}));
  EXPECT_EQ(run(Cell(97, 0, 0x20)), (std::vector<int32_t>{16, 1, 32, 61440, 16, 1, 24, 57344}));
  EXPECT_EQ(run(Cell(97)), (std::vector<int32_t>{32, 1, 32, 61440, 32, 1, 24, 57344}));
  EXPECT_EQ(run(Cell(0, 1, 0, 0x14, 0)),
            (std::vector<int32_t>{64, 1, 32, 61440, 64, 1, 24, 57344}));

  // An envelope that has died away (64 -> 0 over 4 ticks, no sustain) stays silent when a
  // key-off next to the instrument number follows: the note does not come back.
  XmSongDesc died = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(97, 1)}});
  died.instruments[0].volume.points = {{0, 64}, {4, 0}};
  died.instruments[0].volume.type = EnvelopeOn;
  TestSong d(died);
  d.Ticks(7);
  EXPECT_EQ(d.Channel(0).volumeEnvelope.output, 0);
  EXPECT_EQ(d.Voice(0).volume, 0);

  // Without a volume envelope the key-off still silences the note at once.
  XmSongDesc plain = OneChannelSong({{0, Cell(49, 1)}, {1, Cell(97, 1)}});
  TestSong p(plain);
  p.Ticks(7);
  EXPECT_EQ(p.Voice(0).volume, 0);
}
