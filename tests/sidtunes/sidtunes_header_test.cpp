// Checks the twelve committed intro tunes against the header table the SID player relies on:
// sizes, load/init/play addresses, song counts, speed words, texts, a payload clear of the I/O
// area, and entry points that are jumps into the tune's own code.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/run.h"

namespace {

struct ExpectedTune {
  const char* file;
  const char* title;
  size_t size;
  uint16_t load, init, play;
  int songs, startSong, speed;
};

const ExpectedTune kTunes[12] = {
    {"tune01.sid", "Frostline", 6270, 0xE000, 0xE000, 0xE05A, 6, 1, 0},
    {"tune02.sid", "Copper Bells", 4096, 0xC000, 0xC000, 0xC059, 4, 1, 0},
    {"tune03.sid", "Harbour Lights", 6299, 0xA000, 0xAC00, 0xAA65, 1, 1, 1},
    {"tune04.sid", "Quicksilver Run", 3757, 0xC000, 0xC000, 0xC059, 4, 1, 0},
    {"tune05.sid", "Amber Tide", 4798, 0x8880, 0x88EF, 0x894C, 5, 4, 0},
    {"tune06.sid", "Night Ferry", 20606, 0x5000, 0x8E64, 0x8E9F, 7, 1, 0},
    {"tune07.sid", "Paper Comets", 5454, 0x73D0, 0x73D0, 0x73E1, 1, 1, 0},
    {"tune08.sid", "Salt And Iron", 6014, 0xA200, 0xA4E6, 0xA543, 9, 9, 0},
    {"tune09.sid", "Lowland Waltz", 3121, 0x7000, 0x7BA3, 0x7059, 1, 1, 0},
    {"tune10.sid", "Static Garden", 6065, 0x27CD, 0x34A0, 0x34AC, 6, 1, 0},
    {"tune11.sid", "Kite Season", 4478, 0x0800, 0x0CCF, 0x0D2E, 2, 1, 0},
    {"tune12.sid", "Last Orbit", 4782, 0x07D0, 0x0800, 0x085F, 1, 1, 0},
};

TEST(SidTunes, HeadersPayloadsAndEntryPointsMatchTheTuneTable) {
  for (const ExpectedTune& tune : kTunes) {
    SCOPED_TRACE(tune.file);
    const std::string image = ReadFileText(std::string("../assets/sid/") + tune.file);
    ASSERT_EQ(image.size(), tune.size);
    auto byte = [&](size_t at) { return static_cast<uint8_t>(image[at]); };
    auto word = [&](size_t at) { return byte(at) << 8 | byte(at + 1); };  // big-endian
    auto text = [&](size_t at) { return std::string(image.substr(at, 32).c_str()); };
    EXPECT_EQ(image.substr(0, 4), "PSID");
    // Version 2, data at $7C, load address in the data, init, play, songs, start song, speed.
    EXPECT_EQ((std::vector<int>{word(4), word(6), word(8), word(0x0A), word(0x0C), word(0x0E),
                                word(0x10), word(0x12), word(0x14)}),
              (std::vector<int>{2, 0x7C, 0, tune.init, tune.play, tune.songs, tune.startSong, 0,
                                tune.speed}));
    EXPECT_EQ(text(0x16), tune.title);
    EXPECT_EQ(text(0x36), "Arvid Keldane");
    EXPECT_EQ(text(0x56), "2010 The Quellmark Staff");
    // Flags $0014, no relocation range, reserved bytes zero.
    EXPECT_EQ((std::vector<int>{word(0x76), word(0x78), word(0x7A)}),
              (std::vector<int>{0x14, 0, 0}));
    // The load address comes from the first two data bytes, low byte first; nothing may be
    // loaded into the I/O window at $D000-$DFFF or past $F7FF.
    EXPECT_EQ(byte(0x7C) | byte(0x7D) << 8, tune.load);
    const size_t end = tune.load + image.size() - 0x7E;
    EXPECT_LE(end - 1, 0xF7FFu);
    EXPECT_TRUE(end - 1 < 0xD000 || tune.load > 0xDFFF);
    for (uint16_t entry : {tune.init, tune.play}) {
      ASSERT_GE(entry, tune.load);
      ASSERT_LT(entry + 2u, end);
      const size_t at = 0x7E + (entry - tune.load);
      EXPECT_EQ(byte(at), 0x4C) << "JMP absolute at $" << std::hex << entry;
      const size_t target = byte(at + 1) | byte(at + 2) << 8;
      EXPECT_GE(target, tune.load);
      EXPECT_LT(target, end);
    }
  }
}

}  // namespace
