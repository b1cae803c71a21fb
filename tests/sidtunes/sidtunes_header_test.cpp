// The twelve committed intro tunes as the SID player needs them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/run.h"

namespace {

// What the rebuild from the scores cannot tell: every image is a version 2 PSID with its load
// address in the data, the flags $0014 and no relocation range, its data clear of the I/O
// window at $D000-$DFFF and of everything past $F7FF, and init and play both jumps into its own
// code. (The rebuild test pins every byte, titles, song counts and addresses included.)
TEST(SidTunes, HeadersPayloadsAndEntryPointsFitThePlayer) {
  for (int n = 1; n <= 12; ++n) {
    const std::string name = (n < 10 ? "tune0" : "tune") + std::to_string(n) + ".sid";
    SCOPED_TRACE(name);
    const std::string image = ReadFileText("../assets/sid/" + name);
    ASSERT_GT(image.size(), 0x80u);
    auto byte = [&](size_t at) { return static_cast<uint8_t>(image[at]); };
    auto word = [&](size_t at) { return byte(at) << 8 | byte(at + 1); };  // big-endian
    EXPECT_EQ(image.substr(0, 4), "PSID");
    EXPECT_EQ((std::vector<int>{word(4), word(6), word(8), word(0x76), word(0x78), word(0x7A)}),
              (std::vector<int>{2, 0x7C, 0, 0x14, 0, 0}));
    const size_t load = byte(0x7C) | byte(0x7D) << 8, end = load + image.size() - 0x7E;
    EXPECT_LE(end - 1, 0xF7FFu);
    EXPECT_TRUE(end - 1 < 0xD000 || load > 0xDFFF);
    for (size_t entry : {word(0x0A), word(0x0C)}) {
      ASSERT_TRUE(entry >= load && entry + 2 < end) << "entry $" << std::hex << entry;
      const size_t at = 0x7E + (entry - load);
      const size_t target = byte(at + 1) | byte(at + 2) << 8;
      EXPECT_TRUE(byte(at) == 0x4C && target >= load && target < end)
          << "no JMP absolute into the tune at $" << std::hex << entry;
    }
  }
}

}  // namespace
