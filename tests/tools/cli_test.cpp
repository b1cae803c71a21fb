// The tools' shared command line: what the parser accepts and what the number readers refuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/cli/cli.h"

namespace {

// Parses `args` (after the program name) for a program with --seconds S, --count N and --force.
bool Parse(Cli& cli, std::vector<std::string> args) {
  cli = Cli{"prog", "usage: prog\n", {{"--seconds", "S"}, {"--count", "N"}, {"--force", nullptr}}};
  std::vector<char*> argv{const_cast<char*>("prog")};
  for (std::string& a : args) argv.push_back(a.data());
  return CliParse(cli, static_cast<int>(argv.size()), argv.data());
}

TEST(CliParse, OptionsValuesAndPositionalArguments) {
  Cli cli;
  // A lone "-" is an argument (standard input or output), before "--" as after it.
  ASSERT_TRUE(
      Parse(cli, {"a", "-", "--seconds=2.5", "--force", "--count", "-3", "--", "--b", "-"}));
  EXPECT_EQ(cli.Positional, (std::vector<std::string>{"a", "-", "--b", "-"}));
  ASSERT_NE(CliText(cli, "--seconds"), nullptr);
  EXPECT_EQ(*CliText(cli, "--seconds"), "2.5");
  EXPECT_EQ(*CliText(cli, "--count"), "-3");
  EXPECT_TRUE(CliFlag(cli, "--force"));

  for (const std::vector<std::string>& wrong :
       std::vector<std::vector<std::string>>{{"--force=yes"},
                                             {"--count"},
                                             {"--seconds", "1", "--seconds=2"},
                                             {"-x"},
                                             {"--sec", "1"}}) {
    EXPECT_FALSE(Parse(cli, wrong)) << wrong[0];
    EXPECT_EQ(cli.Status, CliStatusUsage) << wrong[0];
  }
  EXPECT_FALSE(Parse(cli, {"x", "--version"}));
  EXPECT_EQ(cli.Status, 0);
}

TEST(CliParse, NumbersAreWholeDecimalsWithinTheirRange) {
  struct Case {
    const char* Text;
    bool Accepted;
    double Value;
  };
  // Within 0..1000: both ends are accepted.
  const Case numbers[] = {{"0", true, 0},      {"1000", true, 1000}, {"2.", true, 2},
                          {".5", true, 0.5},   {"1e2", true, 100},   {"+3", true, 3},
                          {"nan", false, 0},   {"inf", false, 0},    {"0x10", false, 0},
                          {" 5", false, 0},    {"5 ", false, 0},     {"10abc", false, 0},
                          {"", false, 0},      {".", false, 0},      {"1e", false, 0},
                          {"1e999", false, 0}, {"-1", false, 0},     {"1001", false, 0}};
  for (const Case& c : numbers) {
    Cli cli;
    ASSERT_TRUE(Parse(cli, {"--seconds", c.Text}));
    double value = -7;
    EXPECT_EQ(CliNumber(cli, "--seconds", 0, 1000, &value), c.Accepted) << c.Text;
    EXPECT_EQ(value, c.Accepted ? c.Value : -7) << c.Text;
  }
  // Within -5..10.
  const Case integers[] = {{"-5", true, -5},
                           {"10", true, 10},
                           {"-6", false, 0},
                           {"-2", true, -2},
                           {"007", true, 7},
                           {"1.0", false, 0},
                           {"1e1", false, 0},
                           {"", false, 0},
                           {"-", false, 0},
                           {"11", false, 0},
                           {"99999999999999999999", false, 0}};
  for (const Case& c : integers) {
    Cli cli;
    ASSERT_TRUE(Parse(cli, {"--count", c.Text}));
    long value = -7;
    EXPECT_EQ(CliInteger(cli, "--count", -5, 10, &value), c.Accepted) << c.Text;
    EXPECT_EQ(value, c.Accepted ? static_cast<long>(c.Value) : -7) << c.Text;
  }
  Cli cli;
  ASSERT_TRUE(Parse(cli, {}));
  long count = 4;
  EXPECT_TRUE(CliInteger(cli, "--count", 5, 10, &count));  // not given: the default stays
  EXPECT_EQ(count, 4);
}

}  // namespace
