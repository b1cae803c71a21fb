// The figures the issue quotes in its running text. The release table must still hold the counts
// the pages were written from (worked out once from content/data/releases.csv; points are 3 per
// image and 1 per doc pack), and the pages must still say them.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "generators/statsgen/statsgen.h"
#include "tests/content/issue_pages.h"

namespace {

TEST(IssueFigures, TheReleaseTableHoldsTheCountsThePagesQuote) {
  std::ifstream in("../content/data/releases.csv", std::ios::binary);
  std::stringstream csv;
  csv << in.rdbuf();
  const ReleaseTable table = ParseReleases(csv.str());
  ASSERT_TRUE(table.ok) << table.error;
  const struct {
    const char* Group;  // "" for every group
    int Year, Month;    // 0 for every year or month
    long Releases, Images, SizeMb;
  } rows[] = {
      {"", 0, 0, 4026, 2737, 6076730},         // documents 8 and 13: the whole table
      {"", 2007, 0, 672, 436, 862340},         // document 9: 2007's 236 doc packs
      {"", 2009, 0, 812, 545, 1457689},        // document 9: the record year
      {"", 2010, 0, 672, 474, 1117973},        // documents 6 and 11: the year so far
      {"", 2010, 8, 66, 43, 103037},           // document 11: "August gave us 66"
      {"", 2010, 9, 94, 68, 148436},           // documents 1, 11 and 13: the chart month
      {"KELVANE", 2010, 0, 93, 75, 187156},    // document 7: 243 points, group of the year
      {"PARHELION", 2010, 0, 71, 55, 112280},  // document 5: 181 points
      {"PARHELION", 2010, 9, 27, 20, 35137},   // documents 3 and 11: 67 points in September
      {"ZINNOBER", 2010, 0, 17, 4, 10165},     // document 14: thirteen doc packs
  };
  for (const auto& row : rows) {
    long releases = 0, images = 0, mb = 0;
    for (const Release& r : table.releases) {
      if ((*row.Group && r.group != row.Group) || (row.Year && r.year != row.Year) ||
          (row.Month && r.month != row.Month))
        continue;
      ++releases;
      images += r.iso;
      mb += r.sizeMb;
    }
    EXPECT_EQ(std::tuple(releases, images, mb), std::tuple(row.Releases, row.Images, row.SizeMb))
        << row.Group << " " << row.Year << "-" << row.Month;
  }
}

// A document's running text as one lower-case line: page lines joined by single spaces, runs of
// spaces folded, so a sentence is found across line breaks and column padding.
std::string Prose(int d) {
  std::string folded;
  for (const PageLine& line : PageLines(d)) {
    for (const char c : " " + std::string(line.Text)) {
      if (c == ' ' && !folded.empty() && folded.back() == ' ') continue;
      folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return folded;
}

TEST(IssueFigures, ThePagesSayTheFigures) {
  const struct {
    int Document;
    const char* Phrase;
  } rows[] = {
      {7, "93 releases, 75 of them images, 243 points, 187,156 mb"},
      {8, "4,026 releases by 24 groups: 2,737 images and 1,289 doc packs, 6,076,730 mb in 81,460"},
      {9, "the record year: 812 releases, twenty groups, 1,457,689 mb"},
      {11, "27 releases in one month: 20 images, 7 doc packs and 67 chart points"},
      {13, "lines of text on those pages 3,122"},
  };
  for (const auto& row : rows) {
    EXPECT_NE(Prose(row.Document).find(row.Phrase), std::string::npos)
        << "document " << row.Document << " does not say \"" << row.Phrase << "\"";
  }
  // Document 13's own counts: its lines and colours over the whole issue.
  long lines = 0;
  std::set<char> colours;
  for (int d = 1; d <= MaxDocument; ++d) {
    for (const PageLine& line : PageLines(d)) {
      ++lines;
      for (size_t k = 0; k < line.Text.size(); ++k)
        if (line.Text[k] != ' ') colours.insert(line.Colour[k]);
    }
  }
  EXPECT_EQ(lines, 3122);
  EXPECT_EQ(colours.size(), 30u);
}

}  // namespace
