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

// Centres of the buttons of skin 1.
constexpr int ExitX = 79, ExitY = 49;
constexpr int ChartsX = 79, ChartsY = 74;
constexpr int RulesX = 716, RulesY = 74;
constexpr int HelpX = 716, HelpY = 99;
constexpr int MusicX = 716, MusicY = 49;
constexpr int SongX[5] = {0, 37, 101, 693, 757}, SongY = 141;

// The middle of menu slot s (1..5) of column 1 or 2.
int SlotX(int column) {
  return column == 1 ? 200 : 450;
}
int SlotY(int slot) {
  return 54 + 12 * slot;
}

void ExpectShown(int document) {
  Check([document] {
    EXPECT_EQ(ShownDocument(), document);
    EXPECT_EQ(App.TopLine, 0);
  });
}

int MarkedEntries() {
  int marked = 0;
  for (int d = 0; d <= 21; ++d) marked += Menu.MenuCurrent[d];
  return marked;
}

TEST(Magazine, EveryEnabledEntryOfBothMenusOpensItsDocument) {
  StartReader();
  Check([] {
    EXPECT_EQ(App.MenuMode, 2);
    EXPECT_EQ(ShownDocument(), 11);  // the editorial, loaded at start
    EXPECT_EQ(Menu.MenuCurrent[11], 1);
    EXPECT_EQ(Buttons.ButtonState[3], 1);
  });
  // Articles menu: column 1 holds 11, 13, 14, 15, 16; column 2 holds 17 (18..20 are disabled).
  const int articles[6][3] = {{1, 2, 13}, {1, 3, 14}, {1, 4, 15},
                              {1, 5, 16}, {2, 1, 17}, {1, 1, 11}};
  for (const auto& entry : articles) {
    const int document = entry[2];
    ClickPage(SlotX(entry[0]), SlotY(entry[1]));
    ExpectShown(document);
    Check([document] {
      EXPECT_EQ(Menu.MenuCurrent[document], 1);
      EXPECT_EQ(MarkedEntries(), 1);
    });
  }
  // The Charts button switches the menu; its entries are 1..5 and 6..9.
  Click(ChartsX, ChartsY);
  Check([] {
    EXPECT_EQ(App.MenuMode, 1);
    EXPECT_EQ(Buttons.ButtonState[2], 1);
    EXPECT_EQ(Buttons.ButtonState[3], 0);
  });
  for (int document = 1; document <= 9; ++document) {
    const int column = document <= 5 ? 1 : 2;
    const int slot = document <= 5 ? document : document - 5;
    ClickPage(SlotX(column), SlotY(slot));
    ExpectShown(document);
  }
  // The switch entry goes back to the Articles menu, and the Charts button lets go.
  Click(SlotX(2), 114);
  Check([] {
    EXPECT_EQ(App.MenuMode, 2);
    EXPECT_EQ(Buttons.ButtonState[2], 0);
    EXPECT_EQ(Buttons.ButtonState[3], 1);
  });
  Click(ExitX, ExitY);
  EXPECT_EQ(RunReader(), 0);
  EXPECT_EQ(App.QuitRequested, 1);
  // 15 page changes of two 75-frame transitions each, and no other frame without the pointer.
  EXPECT_EQ(Reader.pageChangeFrames, 15 * 150);
}

TEST(Magazine, ClicksAreOneActionPerPressAndTheMenuTakesTheRest) {
  StartReader();
  // A press in the overlap of the Charts menu's fourth column-2 slot and the switch opens
  // "> Alltime Overview" (entry 9) and then switches to the Articles menu.
  Click(ChartsX, ChartsY);
  ClickPage(SlotX(2), 106);
  ExpectShown(9);
  Check([] { EXPECT_EQ(App.MenuMode, 2); });
  // A disabled slot (entry 18) and empty panel space take the click and do nothing.
  Click(SlotX(2), SlotY(2));
  Click(600, 130);
  Check([] {
    EXPECT_EQ(ShownDocument(), 9);
    EXPECT_EQ(App.MenuMode, 2);
    EXPECT_EQ(Reader.pageChangeFrames, 150);
  });
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
  Key(KeyEscape);
  EXPECT_EQ(RunReader(), 0);
}

TEST(Magazine, ThePressThatEndsTheIntroActsInTheSecondMainLoopFrame) {
  // The press at frame 100 ends the intro over the Articles menu's second slot and is held
  // through the closing flashes. The main loop's first frame (275) still has the start-up mouse
  // copy (0, 0, up), so nothing reacts; its poll sees the held press, which the second frame
  // takes: entry 13 opens behind its transitions.
  StartReader("100 move 200 78\n100 down\n290 up\n");
  Check([] {}, 160);
  Check([] {
    EXPECT_EQ(Reader.mainLoopStart, 275);
    EXPECT_EQ(ShownDocument(), 13);
    EXPECT_EQ(Menu.MenuCurrent[13], 1);
    // Frames 276..425 were the two transitions.
    EXPECT_EQ(Reader.pageChangeFrames, 150);
  });
  Key(KeyEscape);
  EXPECT_EQ(RunReader(), 0);
}

// Audio through the capture sink, pulled in step with the virtual clock.
struct Recording {
  std::vector<int16_t> pcm;  // stereo
  std::vector<size_t> frameStart;
};
Recording Heard;

void RecordFrame() {
  const int frames = 735;  // 1/60 s at 44,100 Hz
  const size_t at = Heard.pcm.size();
  Heard.frameStart.push_back(at);
  Heard.pcm.resize(at + 2 * frames);
  AudioCapturePull(Heard.pcm.data() + at, frames);
}

// True when, starting at one of the frames recorded shortly before `around`, the heard audio is
// module `song`'s offline render from its first sample for 100 frames (1.67 s, within the 2 s
// the player mixes ahead before it starts).
bool HeardModuleFromItsStart(int song, size_t around) {
  const EmbeddedModule& module = EmbeddedModules[song];
  TestSong reference(std::vector<uint8_t>(module.Data, module.Data + *module.Size), true);
  if (reference.song == nullptr) return false;
  const size_t samples = 100 * 735 * 2;
  const std::vector<int16_t> expected = reference.Render(100 * 735);
  for (const size_t start : Heard.frameStart) {
    if (start + 12 * 735 * 2 < around || start > around || start + samples > Heard.pcm.size()) {
      continue;
    }
    if (std::equal(expected.begin(), expected.end(), Heard.pcm.begin() + static_cast<long>(start)))
      return true;
  }
  return false;
}

bool Silent(size_t from, size_t to) {
  return std::all_of(Heard.pcm.begin() + static_cast<long>(from),
                     Heard.pcm.begin() + static_cast<long>(to), [](int16_t s) { return s == 0; });
}

TEST(Magazine, SongButtonsMusicOffAndOn) {
  StartReader();
  Heard = {};
  Reader.everyFrame = RecordFrame;
  std::vector<size_t> songStart(5), offAt(1), onAt(1);
  for (int song = 2; song <= 4; ++song) {
    Click(SongX[song], SongY, 0);
    Check(
        [song, &songStart] {
          songStart[song] = Heard.pcm.size();
          EXPECT_EQ(Buttons.ButtonState[6 + song], 1);
          EXPECT_EQ(Menu.InfoIndex, song);
          EXPECT_LE(Menu.InfoPos, 2);  // the ticker starts over
        },
        120);
  }
  // The chosen song's button does nothing, even while the music is off.
  Click(MusicX, MusicY, 0);
  double bars[MeterBarCount];
  Check(
      [&offAt, &bars] {
        offAt[0] = Heard.pcm.size();
        EXPECT_EQ(Buttons.ButtonState[6], 1);
        std::copy_n(LevelMeter.MeterBars, MeterBarCount, bars);
      },
      60);
  Click(SongX[4], SongY, 0);
  Check([&offAt, &bars] {
    EXPECT_TRUE(Silent(offAt[0], Heard.pcm.size()));
    EXPECT_TRUE(std::equal(bars, bars + MeterBarCount, LevelMeter.MeterBars));  // frozen
    EXPECT_EQ(Buttons.ButtonState[6], 1);
  });
  // On again: the song starts from its beginning.
  Click(MusicX, MusicY, 0);
  Check([&onAt] { onAt[0] = Heard.pcm.size(); }, 120);
  // A different song while off: the music comes back on with it.
  Click(MusicX, MusicY, 0);
  Click(SongX[1], SongY, 0);
  Check(
      [&songStart] {
        songStart[1] = Heard.pcm.size();
        EXPECT_EQ(Buttons.ButtonState[6], 0);
        EXPECT_EQ(Buttons.ButtonState[7], 1);
      },
      120);
  Key(KeyEscape);
  EXPECT_EQ(RunReader(), 0);
  // Each start is heard within the frame of its check; what follows is that module's offline
  // render from its first sample, for the 100 frames kept in the ring ahead of the cursor.
  for (int song = 1; song <= 4; ++song) {
    EXPECT_TRUE(HeardModuleFromItsStart(song, songStart[song])) << "song " << song;
  }
  EXPECT_TRUE(HeardModuleFromItsStart(4, onAt[0])) << "music on again";
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
