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
  ASSERT_TRUE(CliText(cli, "--seconds") && CliText(cli, "--count"));
  EXPECT_EQ(*CliText(cli, "--seconds") + *CliText(cli, "--count"), "2.5-3");
  EXPECT_TRUE(CliFlag(cli, "--force"));
  // Refused: usage errors (2), and --version, answered (0).
  const std::vector<std::vector<std::string>> refused = {
      {"--force=yes"}, {"--count"},    {"--seconds", "1", "--seconds=2"},
      {"-x"},          {"--sec", "1"}, {"x", "--version"}};
  for (const std::vector<std::string>& args : refused) {
    EXPECT_FALSE(Parse(cli, args)) << args.back();
    EXPECT_EQ(cli.Status, args.back() == "--version" ? 0 : CliStatusUsage) << args.back();
  }
}

// --seconds is a decimal within 0..1000, --count a whole number within -5..10: both ends are
// accepted; a refused or missing number leaves the value as it was (-7).
TEST(CliParse, NumbersAreWholeDecimalsWithinTheirRange) {
  const struct {
    char Option;       // s: --seconds, c: --count
    const char* Text;  // nullptr: the option is not given
    double Value;
  } cases[] = {
      {'s', "0", 0},      {'s', "1000", 1000}, {'s', "2.", 2},   {'s', ".5", 0.5},
      {'s', "1e2", 100},  {'s', "+3", 3},      {'s', "nan", -7}, {'s', "inf", -7},
      {'s', "0x10", -7},  {'s', " 5", -7},     {'s', "5 ", -7},  {'s', "10abc", -7},
      {'s', "", -7},      {'s', ".", -7},      {'s', "1e", -7},  {'s', "1e999", -7},
      {'s', "-1", -7},    {'s', "1000.1", -7}, {'c', "-5", -5},  {'c', "10", 10},
      {'c', "-6", -7},    {'c', "007", 7},     {'c', "1.0", -7}, {'c', "1e1", -7},
      {'c', "", -7},      {'c', "-", -7},      {'c', "11", -7},  {'c', "99999999999999999999", -7},
      {'c', nullptr, -7},
  };
  for (const auto& c : cases) {
    const char* option = c.Option == 's' ? "--seconds" : "--count";
    const std::string row = std::string(option) + " " + (c.Text ? c.Text : "absent");
    Cli cli;
    ASSERT_TRUE(c.Text ? Parse(cli, {option, c.Text}) : Parse(cli, {}));
    double value = -7;
    long count = -7;
    const bool ok = c.Option == 's' ? CliNumber(cli, option, 0, 1000, &value)
                                    : CliInteger(cli, option, -5, 10, &count);
    EXPECT_EQ(ok, c.Value != -7 || !c.Text) << row;
    EXPECT_EQ(c.Option == 's' ? value : count, c.Value) << row;
  }
}

}  // namespace
