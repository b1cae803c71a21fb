// The group release stats page is generated from the release table; these tests keep the
// committed page in step with the committed data and pin down what the generator refuses.
#include <gtest/gtest.h>

#include <string>

#include "generators/statsgen/statsgen.h"
#include "tests/support/run.h"

namespace {

#define HEADER "group,date,type,title,size_mb,files\n"
const std::string kHeader = HEADER;

// Tests run from tests/, so the content folder is one level up.
TEST(StatsGen, CommittedPageMatchesData) {
  const std::string out = testing::TempDir() + "statsgen_04.qmd";
  ASSERT_EQ(GenerateStatsFile("../content/data/releases.csv", out), "");
  const std::string committed = ReadFileText("../content/docs/04.qmd");
  ASSERT_FALSE(committed.empty());
  EXPECT_TRUE(ReadFileText(out) == committed)
      << "content/docs/04.qmd is stale: run statsgen content/data/releases.csv "
         "content/docs/04.qmd";
  const std::string error = GenerateStatsFile("no-such.csv", testing::TempDir() + "x.qmd");
  EXPECT_EQ(error.rfind("no-such.csv", 0), 0u) << error;
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
// Chart points rank an ISO (3) above two DOX (2) although the DOX group has more releases, and a
// group without a release in the newest year is listed after all that have one.
TEST(StatsGen, RanksByPointsAndChartsMonths) {
  const ReleaseTable t = ParseReleases(kHeader +
                                       "DOXERS,2010-03-02,DOX,Two.Guide,5,3\n"
                                       "DOXERS,2010-03-09,DOX,Three.Guide,5,3\n"
                                       "ISOERS,2010-03-05,ISO,One.Disc,700,16\n"
                                       "OLDIES,2009-07-01,ISO,Old.Disc,700,16\n"
                                       "OLDIES,2009-07-02,ISO,Old.Disc.Two,700,16\n");
  ASSERT_TRUE(t.ok) << t.error;
  const StatsPage page = RenderGroupStats(t.releases);
  ASSERT_TRUE(page.ok) << page.error;
  const size_t isoers = page.text.find("│ {D|ISOERS");
  const size_t doxers = page.text.find("│ {D|DOXERS");
  const size_t oldies = page.text.find("│ {D|OLDIES");
  ASSERT_NE(isoers, std::string::npos);
  ASSERT_NE(doxers, std::string::npos);
  ASSERT_NE(oldies, std::string::npos);
  EXPECT_LT(isoers, doxers);
  EXPECT_LT(doxers, oldies);
  // The newest release is in March 2010, so the month chart ends there; two blocks per release.
  EXPECT_NE(page.text.find("  Mar │{P|}{M|▓▓▓▓} {1|2}\n", doxers), std::string::npos);
  EXPECT_EQ(page.text.find("  Apr │", doxers), page.text.find("  Apr │", oldies));
  // A retired group's month chart shows its own last year, all twelve months.
  EXPECT_NE(page.text.find("  Jul │{P|████}{M|} {1|2}\n", oldies), std::string::npos);
  EXPECT_NE(page.text.find("  Dec │", oldies), std::string::npos);
  EXPECT_NE(page.text.find("no release in 2010"), std::string::npos);
}

// Dates are day first except in the list of latest titles, which is in date order and writes
// them year first; shares are whole per cent and doc pack averages keep one decimal place.
TEST(StatsGen, WritesDatesSharesAndAveragesAsTheRulesPageSays) {
  const ReleaseTable t = ParseReleases(kHeader +
                                       "ALPHA,2010-01-02,DOX,First.Guide,5,3\n"
                                       "ALPHA,2010-02-03,DOX,Second.Guide,6,4\n"
                                       "ALPHA,2010-03-05,ISO,Big.Disc,700,16\n"
                                       "BETA,2010-03-09,DOX,Beta.Guide,5,3\n");
  ASSERT_TRUE(t.ok) << t.error;
  const StatsPage page = RenderGroupStats(t.releases);
  ASSERT_TRUE(page.ok) << page.error;
  const std::string& text = page.text;
  EXPECT_NE(text.find("up to and including {1|31-03-2010}."), std::string::npos);
  const size_t alpha = text.find("│ {D|ALPHA");
  const size_t largest = text.find("Largest titles", alpha);
  const size_t latest = text.find("Latest titles", alpha);
  ASSERT_NE(alpha, std::string::npos);
  ASSERT_LT(largest, latest);
  EXPECT_NE(
      text.find("{2|First release }{3|02-01-2010}{2|    Latest release }{3|05-03-2010}", alpha),
      std::string::npos);
  EXPECT_LT(text.find("{3|05-03-2010} {G|   700} MB", largest), latest);
  EXPECT_NE(text.find("{3|2010-03-05} {G|   700} MB", latest), std::string::npos);
  // ALPHA: 3 of 4 releases, 711 of 716 MB; doc packs of 5 and 6 MB average 5.5.
  EXPECT_NE(text.find("DOX {1|5.5 MB} in {1|3.5} files", alpha), std::string::npos);
  EXPECT_NE(
      text.find("{1|75%} of all releases, {1|75%} of 2010's, {1|99%} of all megabytes.", alpha),
      std::string::npos);
  // BETA's 5 of 716 MB is 0.7 per cent: rounded to the nearest whole number, not down to 0.
  EXPECT_NE(text.find("{1|25%} of all releases, {1|25%} of 2010's, {1|1%} of all megabytes."),
            std::string::npos);
}

}  // namespace
