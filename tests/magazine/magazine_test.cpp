// The whole magazine read as a person reads it, on the headless display with the audio captured:
// menus, switch, buttons, skins, songs, music off and on, transitions, scrolling and Exit.
// (test_magazine also runs under the sanitizers.)
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/app_state.h"
#include "app/menus.h"
#include "app/music_module.h"
#include "common/shared_state.h"
#include "display/audio.h"
#include "display/headless.h"
#include "render/buttons.h"
#include "render/level_meter.h"
#include "tests/magazine/reader.h"
#include "tests/module/module_test_util.h"
#include "tests/support/golden.h"

namespace {

// Centres of the buttons of skin 1; the middle of menu slot s (1..5) of column 1 or 2.
constexpr int ExitX = 79, ExitY = 49, ChartsX = 79, ChartsY = 74, RulesX = 716, RulesY = 74;
constexpr int MusicX = 716, MusicY = 49, SongX[5] = {0, 37, 101, 693, 757}, SongY = 141;
int SlotX(int column) {
  return column == 1 ? 200 : 450;
}
int SlotY(int slot) {
  return 54 + 12 * slot;
}

// Each row {x, y, page change, document, menu} clicks (x, y) (none for the first) and expects
// the document shown at its top and the menu, with its button pressed; a page change marks its
// entry, the only one. Articles: column 1 holds 11, 13..16, column 2 holds 17; a disabled slot
// (18) and empty space do nothing. Charts: 1..5 and 6..9; its fourth column-2 slot overlaps the
// switch entry, so it opens 9 and then switches. Last, the Charts button and the switch entry.
TEST(Magazine, EveryEnabledEntryOfBothMenusOpensItsDocument) {
  StartReader();
  const int rows[][5] = {{0, 0, 0, 11, 2},     {200, 78, 1, 13, 2},  {200, 90, 1, 14, 2},
                         {200, 102, 1, 15, 2}, {200, 114, 1, 16, 2}, {450, 66, 1, 17, 2},
                         {450, 78, 0, 17, 2},  {600, 130, 0, 17, 2}, {200, 66, 1, 11, 2},
                         {79, 74, 0, 11, 1},   {200, 66, 1, 1, 1},   {200, 78, 1, 2, 1},
                         {200, 90, 1, 3, 1},   {200, 102, 1, 4, 1},  {200, 114, 1, 5, 1},
                         {450, 66, 1, 6, 1},   {450, 78, 1, 7, 1},   {450, 90, 1, 8, 1},
                         {450, 106, 1, 9, 2},  {79, 74, 0, 9, 1},    {450, 114, 0, 9, 2}};
  int changes = 0;
  for (const auto& [x, y, page, document, menu] : rows) {
    if (x > 0) page ? ClickPage(x, y) : Click(x, y);
    changes += page;
    Check([=] {
      EXPECT_EQ(ShownDocument(), document) << x << "," << y;
      EXPECT_EQ(App.TopLine, 0);
      EXPECT_EQ(App.MenuMode, menu) << document;
      EXPECT_EQ(Buttons.ButtonState[2] + Buttons.ButtonState[3] * 2, menu) << document;
      EXPECT_EQ(Reader.pageChangeFrames, 150 * changes) << document;
      int marked = 0;
      for (int d = 0; d <= 21; ++d) marked += Menu.MenuCurrent[d];
      EXPECT_TRUE(!page || (marked == 1 && Menu.MenuCurrent[document])) << document;
    });
  }
  // A press on empty space, held and slid onto the Rules button, does nothing more.
  Reader.steps.push_back({20, [] {
                            const int f = Headless.Frame;
                            Headless.Script.push_back({f + 1, "move", 400, 170, ""});
                            Headless.Script.push_back({f + 2, "down", 0, 0, ""});
                            Headless.Script.push_back({f + 6, "move", RulesX, RulesY, ""});
                            Headless.Script.push_back({f + 14, "up", 0, 0, ""});
                          }});
  Check([] {
    EXPECT_EQ(ShownDocument(), 9);
    EXPECT_EQ(Buttons.ButtonState[4], 0);
    EXPECT_EQ(Shared.ClickTaken, 0);  // released: the next press counts again
  });
  Click(ExitX, ExitY);
  EXPECT_EQ(RunReader(), 0);
  EXPECT_EQ(App.QuitRequested, 1);
}

TEST(Magazine, ThePressThatEndsTheIntroActsInTheSecondMainLoopFrame) {
  // The press at frame 100 ends the intro over the Articles menu's second slot and is held
  // through the closing flashes. The main loop's first frame (275) still has the start-up mouse
  // copy (0, 0, up); its poll sees the held press, which the second frame takes: entry 13 opens
  // behind its two transitions (frames 276..425).
  StartReader("100 move 200 78\n100 down\n290 up\n");
  Check([] {}, 160);
  Check([] {
    EXPECT_EQ(Reader.mainLoopStart, 275);
    EXPECT_EQ(ShownDocument(), 13);
    EXPECT_EQ(Menu.MenuCurrent[13], 1);
    EXPECT_EQ(Reader.pageChangeFrames, 150);
  });
  Key(KeyEscape);
  EXPECT_EQ(RunReader(), 0);
}

// Audio through the capture sink, pulled in step with the virtual clock: 1/60 s a frame.
std::vector<int16_t> Heard;  // stereo

void RecordFrame() {
  Heard.resize(Heard.size() + 2 * 735);
  AudioCapturePull(Heard.data() + Heard.size() - 2 * 735, 735);
}

// True when the audio heard from a frame start shortly before `around` is module `song`'s
// offline render from its first sample for 100 frames (within the 2 s mixed ahead).
bool HeardModuleFromItsStart(int song, size_t around) {
  const EmbeddedModule& module = EmbeddedModules[song];
  TestSong reference(std::vector<uint8_t>(module.Data, module.Data + *module.Size), true);
  const std::vector<int16_t> expected = reference.Render(100 * 735);
  for (size_t start = around - std::min(around, size_t{12 * 735 * 2}); start <= around;
       start += 2 * 735) {
    if (reference.song && start + expected.size() <= Heard.size() &&
        std::equal(expected.begin(), expected.end(), Heard.begin() + static_cast<long>(start)))
      return true;
  }
  return false;
}

// Songs 2..4, music off (the chosen song's button does nothing then; silence, the meter frozen),
// on again (the song from its start), off and a different song: the music comes back with it.
TEST(Magazine, SongButtonsMusicOffAndOn) {
  StartReader();
  Heard.clear();
  Reader.everyFrame = RecordFrame;
  std::vector<size_t> startAt(6);
  // Notes where a song (slot 1..4; 0: music on again, 5: off) starts: its button is pressed and
  // the ticker starts over with its credit.
  auto heardFrom = [&startAt](int slot) {
    return [&startAt, slot] {
      startAt[slot] = Heard.size();
      const bool song = slot >= 1 && slot <= 4;
      EXPECT_TRUE(!song ||
                  (Buttons.ButtonState[6 + slot] && Menu.InfoIndex == slot && Menu.InfoPos <= 2))
          << slot;
    };
  };
  for (int song = 2; song <= 4; ++song) {
    Click(SongX[song], SongY, 0);
    Check(heardFrom(song), 120);
  }
  Click(MusicX, MusicY, 0);
  static double bars[MeterBarCount];
  Check([] { std::copy_n(LevelMeter.MeterBars, MeterBarCount, bars); }, 60);
  Check(heardFrom(5));
  Click(SongX[4], SongY, 0);
  Check([&startAt] {
    EXPECT_TRUE(std::all_of(Heard.begin() + static_cast<long>(startAt[5]), Heard.end(),
                            [](int16_t v) { return v == 0; }));
    EXPECT_TRUE(std::equal(bars, bars + MeterBarCount, LevelMeter.MeterBars));
    EXPECT_EQ(Buttons.ButtonState[6], 1);
  });
  Click(MusicX, MusicY, 0);
  Check(heardFrom(0), 120);
  Click(MusicX, MusicY, 0);
  Click(SongX[1], SongY, 0);
  Check(heardFrom(1), 120);
  Check([] { EXPECT_TRUE(Buttons.ButtonState[6] == 0 && Buttons.ButtonState[7] == 1); });
  Key(KeyEscape);
  EXPECT_EQ(RunReader(), 0);
  for (int song = 1; song <= 4; ++song)
    EXPECT_TRUE(HeardModuleFromItsStart(song, startAt[song])) << "song " << song;
  EXPECT_TRUE(HeardModuleFromItsStart(4, startAt[0])) << "music on again";
}

// Pixel-exact frames of the running magazine: both menus with a hovered slot, a transition
// half-way in each skin, the ticker after a song change.
TEST(Magazine, GoldenFrames) {
  StartReader();
  auto golden = [](const char* name) { Check([name] { EXPECT_EQ(CheckGolden(name), ""); }); };
  Move(250, SlotY(3), 3);
  golden("magazine_articles_hover");
  Click(ChartsX, ChartsY);
  Move(500, SlotY(2), 3);
  golden("magazine_charts_hover");
  // The close transition's 38th frame (w = 370) in skin 1, the open transition's in skin 2.
  Click(SlotX(1), SlotY(1), 32);
  golden("magazine_close_skin1");
  Check([] {}, 120);
  Key(KeyF1 + 1);
  Click(SlotX(1), SlotY(2), 32 + 75);
  golden("magazine_open_skin2");
  Check([] {}, 60);
  // Skin 2's song 3 (669, 137, 44, 8); the credit reaches the ticker's window after 65 leading
  // spaces and the 74-character skin hint have scrolled in, about 100 characters of 9 frames.
  Click(694, 141, 950);
  golden("magazine_ticker_song3");
  Key(KeyEscape);
  EXPECT_EQ(RunReader(), 0);
}

}  // namespace
