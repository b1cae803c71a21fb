// Checks the twelve committed intro tunes against the header table the SID player relies on:
// sizes, load/init/play addresses, song counts, speed words, texts, and that the entry points
// are jumps into the tune's own code.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

std::vector<uint8_t> ReadTune(const std::string& name) {
  std::ifstream file("../assets/sid/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

int Word(const std::vector<uint8_t>& image, size_t offset) {
  return image[offset] << 8 | image[offset + 1];
}

// A header text field: 32 bytes, the text followed by zero bytes.
std::string Text(const std::vector<uint8_t>& image, size_t offset) {
  std::string text;
  for (size_t i = offset; i < offset + 32 && image[i] != 0; ++i)
    text += static_cast<char>(image[i]);
  return text;
}

TEST(SidTunes, HeadersMatchTheTuneTable) {
  for (const ExpectedTune& tune : kTunes) {
    SCOPED_TRACE(tune.file);
    std::vector<uint8_t> image = ReadTune(tune.file);
    ASSERT_EQ(image.size(), tune.size);
    EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "PSID");
    EXPECT_EQ(Word(image, 0x04), 2);
    EXPECT_EQ(Word(image, 0x06), 0x7C);
    EXPECT_EQ(Word(image, 0x08), 0);
    EXPECT_EQ(Word(image, 0x0A), tune.init);
    EXPECT_EQ(Word(image, 0x0C), tune.play);
    EXPECT_EQ(Word(image, 0x0E), tune.songs);
    EXPECT_EQ(Word(image, 0x10), tune.startSong);
    EXPECT_EQ(Word(image, 0x12), 0);
    EXPECT_EQ(Word(image, 0x14), tune.speed);
    EXPECT_EQ(Text(image, 0x16), tune.title);
    EXPECT_EQ(Text(image, 0x36), "Arvid Keldane");
    EXPECT_EQ(Text(image, 0x56), "2010 The Quellmark Staff");
    EXPECT_EQ(Word(image, 0x76), 0x0014);
    EXPECT_EQ(Word(image, 0x78), 0);  // no relocation range, reserved bytes zero
    EXPECT_EQ(Word(image, 0x7A), 0);
    // The load address comes from the first two data bytes, low byte first.
    EXPECT_EQ(image[0x7C] | image[0x7D] << 8, tune.load);
  }
}

TEST(SidTunes, PayloadsStayBelowTheIoArea) {
  for (const ExpectedTune& tune : kTunes) {
    SCOPED_TRACE(tune.file);
    std::vector<uint8_t> image = ReadTune(tune.file);
    ASSERT_EQ(image.size(), tune.size);
    size_t payload = image.size() - 0x7E;
    size_t last = tune.load + payload - 1;
    EXPECT_LE(last, 0xF7FFu);
    // Nothing may be loaded into the I/O window at $D000-$DFFF.
    EXPECT_TRUE(last < 0xD000 || tune.load > 0xDFFF);
  }
}

TEST(SidTunes, EntryPointsJumpIntoTheTune) {
  for (const ExpectedTune& tune : kTunes) {
    SCOPED_TRACE(tune.file);
    std::vector<uint8_t> image = ReadTune(tune.file);
    ASSERT_EQ(image.size(), tune.size);
    size_t end = tune.load + image.size() - 0x7E;
    for (uint16_t entry : {tune.init, tune.play}) {
      ASSERT_GE(entry, tune.load);
      ASSERT_LT(entry + 2u, end);
      size_t at = 0x7E + (entry - tune.load);
      EXPECT_EQ(image[at], 0x4C) << "JMP absolute at $" << std::hex << entry;
      size_t target = image[at + 1] | image[at + 2] << 8;
      EXPECT_GE(target, tune.load);
      EXPECT_LT(target, end);
    }
  }
}

}  // namespace
