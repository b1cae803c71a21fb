// The craft of the issue's pages as the compiled documents hold them: readable text colours,
// boxes that close, rules on blank lines, numbers under their headings and in house style, bars
// as long as their numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <map>
#include <regex>

#include "common/rounding.h"
#include "render/text.h"
#include "tests/content/issue_pages.h"

namespace {

constexpr unsigned char BoxTopLeft = 0xDA, BoxTopRight = 0xBF, BoxBottomLeft = 0xC0,
                        BoxBottomRight = 0xD9, BoxSide = 0xB3, BoxEdge = 0xC4;

unsigned char At(std::string_view text, size_t column) {
  return column < text.size() ? static_cast<unsigned char>(text[column]) : ' ';
}

// Text colour of a colour code, as the page loader maps it: "1".."9", "A".."V", else 1.
int TextColour(char code) {
  if (code >= '1' && code <= '9') return code - '0';
  if (code >= 'A' && code <= 'V') return code - 'A' + 10;
  return 1;
}

// WCAG contrast of a 0x00RRGGBB colour against black.
double ContrastOnBlack(uint32_t rgb) {
  auto linear = [](uint32_t channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  const double luminance = 0.2126 * linear(rgb >> 16 & 0xFF) + 0.7152 * linear(rgb >> 8 & 0xFF) +
                           0.0722 * linear(rgb & 0xFF);
  return (luminance + 0.05) / 0.05;
}

// The colour a code draws a glyph's full stroke in (font level 6).
double CodeContrast(char code) {
  return ContrastOnBlack(Text.ShadeTable[6 * ShadeColours + TextColour(code)]);
}

TEST(IssueLayout, LettersAndDigitsStandOutFromTheBlackPage) {
  BuildTextColours();
  // The darkest blues are what this guards against; white and the full colours pass easily.
  EXPECT_TRUE(CodeContrast('A') < 3.0 && CodeContrast('B') < 3.0 && CodeContrast('2') > 3.0);
  for (int d = 1; d <= MaxDocument; ++d) {
    for (const PageLine& line : PageLines(d)) {
      for (size_t k = 0; k < line.Text.size(); ++k) {
        const unsigned char c = At(line.Text, k);
        if (!std::isalnum(c)) continue;
        const double contrast = CodeContrast(line.Colour[k]);
        EXPECT_GE(contrast, 3.0) << Where(d, line.Number) << " column " << k + 1 << " '" << c
                                 << "' in colour " << line.Colour[k] << ": " << line.Text;
      }
    }
  }
}

// Every box closes and holds something: its sides run down the columns of its top corners to a
// bottom edge of the same width, and a rule inside it keeps a space from both sides. A wide box is
// either the 80-column title frame or 76 columns, so boxes on different pages line up.
TEST(IssueLayout, BoxesAreRectangularAndWideBoxesShareOneWidth) {
  int boxes = 0;
  for (int d = 1; d <= MaxDocument; ++d) {
    const std::vector<PageLine> lines = PageLines(d);
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string_view top = lines[i].Text;
      for (size_t left = 0; left < top.size(); ++left) {
        if (At(top, left) != BoxTopLeft) continue;
        size_t right = left + 1;
        while (At(top, right) == BoxEdge) ++right;
        if (At(top, right) != BoxTopRight) continue;
        ++boxes;
        const size_t width = right - left + 1;
        const std::string box = Where(d, lines[i].Number) + " column " + std::to_string(left + 1);
        EXPECT_TRUE(width <= 70 || width == 80 || width == 76) << box << " is " << width << " wide";
        bool closed = false;
        for (size_t j = i + 1; j < lines.size() && !closed; ++j) {
          const std::string_view row = lines[j].Text;
          if (At(row, left) == BoxBottomLeft) {
            closed = true;
            EXPECT_GT(j, i + 1) << box << " is empty";
            for (size_t k = left + 1; k < right; ++k) {
              ASSERT_EQ(At(row, k), BoxEdge) << box << ": bottom edge broken at column " << k + 1;
            }
            EXPECT_EQ(At(row, right), BoxBottomRight) << box << ": bottom edge of another width";
            break;
          }
          ASSERT_TRUE(At(row, left) == BoxSide && At(row, right) == BoxSide)
              << box << ": a side missing on line " << lines[j].Number << ": " << row;
          const bool ruleRow = At(row, left + 2) == BoxEdge && At(row, right - 2) == BoxEdge;
          EXPECT_TRUE(!ruleRow || (At(row, left + 1) == ' ' && At(row, right - 1) == ' '))
              << box << ": rule touches a side on line " << lines[j].Number;
        }
        EXPECT_TRUE(closed) << box << " never closes";
      }
    }
  }
  EXPECT_GT(boxes, 40);
}

// --- rules, tables, bars and numbers ------------------------------------------------------

// The space, the control bytes and 0x04 have no glyph; every other byte of a page line draws.
bool HasGlyphs(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) > ' '; });
}

// The viewer draws a rule through the middle of its own line: on a line with glyphs it strikes
// through them, so a rule belongs on a blank line.
TEST(IssueLayout, RulesRunThroughBlankLinesOnly) {
  int struck = 0;
  for (int d = 1; d <= MaxDocument; ++d) {
    for (const PageLine& line : PageLines(d)) {
      const bool through = line.Rule != '0' && HasGlyphs(line.Text.substr(0, 80));
      struck += through;
      EXPECT_FALSE(through) << Where(d, line.Number) << ": rule " << line.Rule << " through "
                            << line.Text;
    }
  }
  EXPECT_EQ(struck, 0);
}

// Runs of printable ASCII in a line, as first and last column; box and block characters and
// spaces separate them. Cells are words joined across single spaces ("Jan 2004", "8,137 MB").
std::vector<std::pair<size_t, size_t>> Words(std::string_view text, bool cells = false) {
  std::vector<std::pair<size_t, size_t>> words;
  for (size_t k = 0; k < text.size(); ++k) {
    if (At(text, k) <= ' ' || At(text, k) >= 0x7F) continue;
    const size_t gap = words.empty() ? 2 : k - words.back().second - 1;
    if (gap == 0 || (cells && gap == 1 && text[k - 1] == ' ')) {
      words.back().second = k;
    } else {
      words.push_back({k, k});
    }
  }
  return words;
}

bool IsNumber(std::string_view word) {
  const size_t first = word[0] == '+' || word[0] == '-' ? 1 : 0;
  return std::isdigit(At(word, first)) &&
         word.find_first_not_of("0123456789,./%:+-") == std::string_view::npos;
}

// The headings of a line: words in the heading colour H, two or more spaces apart from the
// next. A line with two or more is a line of column headings.
int Headings(const PageLine& line) {
  int headings = 0;
  size_t lastEnd = 0;
  for (const auto& word : Words(line.Text)) {
    if (line.Colour[word.first] != 'H') continue;
    if (headings == 0 || word.first > lastEnd + 2) ++headings;
    lastEnd = word.second;
  }
  return headings;
}

// A column of numbers stands under its heading: a word of the heading line starts where the
// column's widest number starts or ends where the numbers end. The table is the lines under a
// line of column headings down to the next blank line or heading; a column is two or more cells
// that are numbers ending in the same column.
TEST(IssueLayout, NumberColumnsStandUnderTheirHeadings) {
  int columns = 0, astray = 0;
  for (int d = 1; d <= MaxDocument; ++d) {
    const std::vector<PageLine> lines = PageLines(d);
    for (size_t i = 0; i < lines.size(); ++i) {
      if (Headings(lines[i]) < 2) continue;
      std::map<size_t, std::pair<size_t, int>> byEnd;  // last column -> first column, numbers
      for (size_t j = i + 1;
           j < lines.size() && HasGlyphs(lines[j].Text) && Headings(lines[j]) == 0; ++j) {
        for (const auto& cell : Words(lines[j].Text, true)) {
          if (!IsNumber(lines[j].Text.substr(cell.first, cell.second - cell.first + 1))) continue;
          auto& column = byEnd.try_emplace(cell.second, cell.first, 0).first->second;
          column.first = std::min(column.first, cell.first);
          ++column.second;
        }
      }
      const auto headings = Words(lines[i].Text);
      for (const auto& [last, column] : byEnd) {
        if (column.second < 2) continue;
        ++columns;
        bool under = false;
        for (const auto& word : headings)
          under |= word.first == column.first || word.second == last;
        if (under) continue;
        ++astray;
        ADD_FAILURE() << Where(d, lines[i].Number) << ": no heading over the numbers in columns "
                      << column.first + 1 << " to " << last + 1 << ":\n"
                      << lines[i].Text;
      }
    }
  }
  EXPECT_EQ(astray, 0);
  EXPECT_GT(columns, 30);
}

// How the pages write numbers and dates: a count of four or more digits has thousands
// separators (years, and digits joined to a letter, dot, comma or dash, as in dates, versions and
// release names, are no counts); a month is named, never written 2010-07; and no sentence opens
// with a numeral, after a full stop or at the start of a line of running text ("27 releases").
// The sentence check sees a line behind the last character of the line before it, if any.
TEST(IssueLayout, NumbersAndDatesFollowTheHouseStyle) {
  const struct {
    const char* Fault;
    std::regex Pattern;
  } checks[] = {
      {"a count without thousands separators",
       std::regex(R"((^|[^\w.,-])(?!(199\d|200\d|2010)(?!\d))\d{4,}(?!\w|[.,-]\d))")},
      {"a year-month date", std::regex(R"((^|[^\d-])(199\d|200\d|2010)-(0[1-9]|1[0-2])(?![\d-]))")},
      {"a sentence that opens with a numeral",
       std::regex(R"(\S[.!?] +\d|^[.!?]? +\d[\d,]* [a-z])")}};
  int found[std::size(checks)] = {};
  for (int d = 1; d <= MaxDocument; ++d) {
    std::string previous;
    for (const PageLine& line : PageLines(d)) {
      const std::string text(line.Text);
      for (size_t c = 0; c < std::size(checks); ++c) {
        const std::string probe = c == 2 ? previous + text : text;
        const auto n =
            std::distance(std::sregex_iterator(probe.begin(), probe.end(), checks[c].Pattern),
                          std::sregex_iterator());
        if (n > 0)
          ADD_FAILURE() << Where(d, line.Number) << ": " << checks[c].Fault << ": " << text;
        found[c] += static_cast<int>(n);
      }
      const size_t last = text.find_last_not_of(' ');
      previous = last == std::string::npos ? "" : text.substr(last, 1);
    }
  }
  for (size_t c = 0; c < std::size(checks); ++c) EXPECT_EQ(found[c], 0) << checks[c].Fault;
}

// The issue's bar charts: the block a bar starts with, the value of one block, whether the chart
// draws half blocks (the left half, \335), which number of the bar's line it shows (1: the one
// right after the bar; -1, -2: the first or second before it) and the scale as the page prints it.
// Document 2's weeks and weekdays print no scale: a block a release.
struct BarChart {
  int Document;
  char Block;
  double PerBlock;
  bool Halves;
  int Shows;
  const char* Scale;
};
constexpr BarChart BarCharts[] = {
    {1, '\333', 2, true, -1, "one block = 2"},
    {1, '\335', 2, true, -1, "one block = 2"},
    {2, '\333', 2, false, 1, "one block = two images"},
    {2, '\262', 1, false, 1, ""},
    {2, '\261', 1, false, 1, ""},
    {3, '\333', 3, false, 1, "one block = 3"},
    {4, '\333', 0.5, false, 1, "two blocks = one release"},
    {4, '\262', 0.5, false, 1, "two blocks = one release"},
    {4, '\261', 3, false, 1, "one block = 3 releases"},
    {5, '\333', 12, true, -2, "\333 = 12"},
    {6, '\333', 2, false, 1, "One block is two releases"},
    {6, '\260', 2, false, 1, "One block is two releases"},
    {8, '\333', 20, false, 1, "one block = 20 releases"},
    {8, '\261', 40, false, 1, "one block = 40 GB"},
};

long Value(std::string figure) {
  figure.erase(std::remove(figure.begin(), figure.end(), ','), figure.end());
  return std::stol(figure);
}

// Every bar (a run of block characters with a number right after it) belongs to a chart whose
// scale the page prints, and is as long as its number at that scale, rounded to the nearest
// whole or half block as the rules page says. Shares ("44%") are not numbers here.
TEST(IssueLayout, BarsShowTheirNumberToTheNearestBlock) {
  const std::regex bar("([\260\261\262\333\335]+) *(\\d+(,\\d{3})*(?![\\d%]))?");
  const std::regex figure(R"(\d+(,\d{3})*(?![\d%]))");
  int bars = 0, wrong = 0;
  for (int d = 1; d <= MaxDocument; ++d) {
    const std::vector<PageLine> lines = PageLines(d);
    for (const BarChart& chart : BarCharts) {
      bool printed = *chart.Scale == 0 || chart.Document != d;
      for (const PageLine& line : lines)
        printed |= line.Text.find(chart.Scale) != std::string_view::npos;
      EXPECT_TRUE(printed) << "document " << d << " does not print \"" << chart.Scale << "\"";
    }
    for (const PageLine& line : lines) {
      const std::string text(line.Text);
      for (std::sregex_iterator m(text.begin(), text.end(), bar), end; m != end; ++m) {
        const std::string run = (*m)[1];
        const bool numbered = (*m)[2].matched;
        const BarChart* chart = nullptr;
        for (const BarChart& c : BarCharts)
          chart = c.Document == d && c.Block == run[0] ? &c : chart;
        if (chart == nullptr) {
          if (numbered)
            ADD_FAILURE() << Where(d, line.Number) << ": a bar of no known chart: " << text;
          continue;
        }
        // The numbers before the bar, then the one right after it.
        std::vector<long> figures;
        const std::string head = text.substr(0, static_cast<size_t>(m->position()));
        for (std::sregex_iterator f(head.begin(), head.end(), figure); f != end; ++f) {
          figures.push_back(Value(f->str()));
        }
        const size_t before = figures.size();
        if (numbered) figures.push_back(Value((*m)[2]));
        // Past the end (wrapping round for a missing number before) when the run is no bar.
        const size_t shown = chart->Shows > 0 ? (numbered ? before : figures.size())
                                              : before + static_cast<size_t>(chart->Shows);
        if (shown >= figures.size()) continue;
        ++bars;
        long halves = 0;
        for (const char c : run) halves += c == '\335' ? 1 : 2;
        const long expected = chart->Halves ? BarBlocks(figures[shown], chart->PerBlock / 2)
                                            : 2 * BarBlocks(figures[shown], chart->PerBlock);
        if (halves == expected) continue;
        ++wrong;
        ADD_FAILURE() << Where(d, line.Number) << ": " << halves / 2.0 << " blocks for "
                      << figures[shown] << " at " << chart->PerBlock << " a block, not "
                      << expected / 2.0 << ":\n"
                      << text;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(bars, 300);
}

}  // namespace
