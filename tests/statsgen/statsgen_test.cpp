// The group release stats page is generated from the release table; these tests keep the
// committed page in step with the committed data and pin down what the generator refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generators/statsgen/statsgen.h"
#include "tests/support/run.h"

namespace {

#define HEADER "group,date,type,title,size_mb,files\n"

// Tests run from tests/, so the content folder is one level up.
TEST(StatsGen, CommittedPageMatchesData) {
  const std::string out = testing::TempDir() + "statsgen_04.qmd";
  ASSERT_EQ(GenerateStatsFile("../content/data/releases.csv", out), "");
  EXPECT_TRUE(ReadFileText(out) == ReadFileText("../content/docs/04.qmd"))
      << "content/docs/04.qmd is stale: run statsgen content/data/releases.csv content/docs/04.qmd";
  EXPECT_EQ(GenerateStatsFile("no-such.csv", out).rfind("no-such.csv", 0), 0u);
}

// Each table, and where its first fault is ("" when it is accepted). Dates run from 1990 to
// 2010; February has 29 days in years divisible by 4, and 2000 is one of them (divisible by 400).
TEST(StatsGen, RefusesMalformedRowsWithLineAndColumn) {
  const std::pair<const char*, const char*> tables[] = {
      {"group,date\n", "1:1:"},
      {HEADER, "1:1:"},  // no release
      {"group,date,type,title,size_mb,files\r\nKELVANE,1990-01-01,ISO,A.Title,700,16\r\n", ""},
      {HEADER "KELVANE,1989-12-31,ISO,A.Title,700,16\n", "2:9:"},
      {HEADER "KELVANE,2010-12-31,ISO,A.Title,700,16\n", ""},
      {HEADER "KELVANE,2011-01-01,ISO,A.Title,700,16\n", "2:9:"},
      {HEADER "KELVANE,2010-13-01,ISO,A.Title,700,16\n", "2:9:"},
      {HEADER "KELVANE,2000-02-29,ISO,A.Title,700,16\n", ""},
      {HEADER "KELVANE,1992-02-29,ISO,A.Title,700,16\n", ""},
      {HEADER "KELVANE,2000-02-30,ISO,A.Title,700,16\n", "2:9:"},
      {HEADER "KELVANE,1991-02-29,ISO,A.Title,700,16\n", "2:9:"},
      {HEADER "KELVANE,2010-01-01,iso,A.Title,700,16\n", "2:20:"},
      {HEADER "KELVANE,2010-01-01,ISO,A{Title,700,16\n", "2:24:"},
      {HEADER "KELVANE,2010-01-01,ISO,A.Title,0,16\n", "2:32:"},
      {HEADER "KELVANE,2010-01-01,ISO,A.Title,700,16,x\n", "2:39:"},
      {HEADER "KELVANE,2010-01-01,ISO,A.Title,700\n", "2:35:"},
      {HEADER "kelvane,2010-01-01,ISO,A.Title,700,16\n", "2:1:"},
      // The fault on the third line is reported there, after a good second line.
      {HEADER "OXBOW,2009-12-31,DOX,B.Guide,5,3\n\n", "3:1:"},
  };
  for (const auto& [csv, error] : tables) {
    const ReleaseTable t = ParseReleases(csv);
    EXPECT_EQ(t.ok, *error == '\0') << csv;
    EXPECT_EQ(t.error.substr(0, std::string(error).size()), error) << csv;
  }
}
// Each table's page holds these texts in this order. First: chart points rank an ISO (3) above
// two DOX (2) although the DOX group has more releases; a group without a release in the newest
// year is listed after all that have one; the month chart ends with the newest release (two
// blocks a release), a retired group's shows its own last year. Second: dates are day first
// except in the list of latest titles (year first); shares are whole per cent, rounded to the
// nearest (BETA's 5 of 716 MB is 1 %), doc pack averages keep one decimal place.
TEST(StatsGen, PagesRankChartAndWriteTheirNumbersAsTheRulesPageSays) {
  const std::pair<const char*, std::vector<const char*>> cases[] = {
      {"DOXERS,2010-03-02,DOX,Two.Guide,5,3\nDOXERS,2010-03-09,DOX,Three.Guide,5,3\n"
       "ISOERS,2010-03-05,ISO,One.Disc,700,16\nOLDIES,2009-07-01,ISO,Old.Disc,700,16\n"
       "OLDIES,2009-07-02,ISO,Old.Disc.Two,700,16\n",
       {"│ {D|ISOERS", "│ {D|DOXERS", "  Mar │{P|}{M|▓▓▓▓} {1|2}\n      └", "│ {D|OLDIES",
        "no release in 2010", "  Jul │{P|████}{M|} {1|2}\n", "  Dec │"}},
      {"ALPHA,2010-01-02,DOX,First.Guide,5,3\nALPHA,2010-02-03,DOX,Second.Guide,6,4\n"
       "ALPHA,2010-03-05,ISO,Big.Disc,700,16\nBETA,2010-03-09,DOX,Beta.Guide,5,3\n",
       {"up to and including {1|31-03-2010}.", "│ {D|ALPHA",
        "{2|First release }{3|02-01-2010}{2|    Latest release }{3|05-03-2010}", "Largest titles",
        "{3|05-03-2010} {G|   700} MB", "Latest titles", "{3|2010-03-05} {G|   700} MB",
        "DOX {1|5.5 MB} in {1|3.5} files",
        "{1|75%} of all releases, {1|75%} of 2010's, {1|99%} of all megabytes.",
        "{1|25%} of all releases, {1|25%} of 2010's, {1|1%} of all megabytes."}},
  };
  for (const auto& [rows, texts] : cases) {
    const ReleaseTable t = ParseReleases(HEADER + std::string(rows));
    ASSERT_TRUE(t.ok) << t.error;
    const StatsPage page = RenderGroupStats(t.releases);
    ASSERT_TRUE(page.ok) << page.error;
    size_t at = 0;
    for (const char* text : texts) {
      at = page.text.find(text, at);
      ASSERT_NE(at, std::string::npos) << text << " is missing or out of order in\n" << page.text;
    }
  }
}

}  // namespace
