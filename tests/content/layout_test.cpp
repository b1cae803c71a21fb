// The craft of the issue's pages as the compiled documents hold them: readable text colours,
// boxes that close, continuation lines under their column, and one date style per kind of list.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <set>

#include "render/text.h"
#include "tests/content/issue_pages.h"

namespace {

constexpr unsigned char BoxTopLeft = 0xDA, BoxTopRight = 0xBF, BoxBottomLeft = 0xC0,
                        BoxBottomRight = 0xD9, BoxSide = 0xB3, BoxEdge = 0xC4, MiddleDot = 0xFA;

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
  EXPECT_LT(CodeContrast('B'), 3.0);
  EXPECT_LT(CodeContrast('A'), 3.0);
  EXPECT_GT(CodeContrast('2'), 3.0);
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

// Every box closes: its sides run down the columns of its top corners to a bottom edge of the
// same width, and a rule inside it keeps a space from both sides. A wide box is either the
// 80-column title frame or 76 columns, so boxes on different pages line up.
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
            for (size_t k = left + 1; k < right; ++k) {
              ASSERT_EQ(At(row, k), BoxEdge) << box << ": bottom edge broken at column " << k + 1;
            }
            EXPECT_EQ(At(row, right), BoxBottomRight) << box << ": bottom edge of another width";
            break;
          }
          ASSERT_EQ(At(row, left), BoxSide)
              << box << ": left side missing on line " << lines[j].Number << ": " << row;
          ASSERT_EQ(At(row, right), BoxSide)
              << box << ": right side missing on line " << lines[j].Number << ": " << row;
          const bool ruleRow = At(row, left + 2) == BoxEdge && At(row, right - 2) == BoxEdge;
          if (ruleRow) {
            EXPECT_EQ(At(row, left + 1), ' ') << box << ": rule touches the left side";
            EXPECT_EQ(At(row, right - 1), ' ')
                << box << ": rule touches the right side on line " << lines[j].Number;
          }
        }
        EXPECT_TRUE(closed) << box << " never closes";
      }
    }
  }
  EXPECT_GT(boxes, 40);
}

// Where a hanging list continues an entry on the next line ("Most releases in a month   X, 27
// in ..." and its second line), the continuation starts under a column of the entry's first
// line: text that follows two or more spaces, or the text after a bullet. Lines with box or
// block characters are tables and charts, not lists, and so are lines with columns of their own.
std::set<size_t> FieldColumns(std::string_view text) {
  std::set<size_t> columns;
  size_t k = 0;
  while (k < text.size() && text[k] == ' ') ++k;
  if (At(text, k) == MiddleDot && At(text, k + 1) == ' ') columns.insert(k + 2);
  for (; k + 2 < text.size(); ++k) {
    if (text[k] == ' ' && text[k + 1] == ' ' && text[k + 2] != ' ') columns.insert(k + 2);
  }
  return columns;
}

size_t Indent(std::string_view text) {
  size_t k = 0;
  while (k < text.size() && text[k] == ' ') ++k;
  return k;
}

bool IsListText(std::string_view text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80 && c != MiddleDot) return false;
  }
  return !text.empty();
}

TEST(IssueLayout, ContinuationLinesStartUnderTheirColumn) {
  int checked = 0;
  for (int d = 1; d <= MaxDocument; ++d) {
    std::vector<PageLine> paragraph;
    for (const PageLine& line : PageLines(d)) {
      if (!IsListText(line.Text)) {
        paragraph.clear();
        continue;
      }
      const size_t indent = Indent(line.Text);
      // The entry this line continues: the latest line of the paragraph that starts further left.
      const PageLine* head = nullptr;
      for (auto it = paragraph.rbegin(); it != paragraph.rend() && head == nullptr; ++it) {
        if (Indent(it->Text) < indent) head = &*it;
      }
      paragraph.push_back(line);
      // A line with columns of its own is a table row (right-aligned numbers), not a continuation.
      if (head == nullptr || !FieldColumns(line.Text.substr(indent)).empty()) continue;
      const std::set<size_t> columns = FieldColumns(head->Text);
      if (columns.empty()) continue;  // prose, a quote or a signature, not a list
      ++checked;
      EXPECT_TRUE(columns.count(indent) == 1)
          << Where(d, line.Number) << " starts at column " << indent + 1
          << ", not under a column of line " << head->Number << ":\n"
          << head->Text << "\n"
          << line.Text;
    }
  }
  EXPECT_GT(checked, 100);
}

// A full date in a page line: day-first (17-10-2010) or year-first (2010-10-17).
struct FoundDate {
  bool YearFirst = false;
  int Key = 0;  // year * 10000 + month * 100 + day
};

// The rules page quotes both styles in the rule that sets them; that line is not counted.
std::vector<FoundDate> Dates(std::string_view text) {
  if (text.find("write year, month, day") != std::string_view::npos) return {};
  auto digits = [&](size_t at, size_t n) {
    int value = 0;
    for (size_t k = at; k < at + n; ++k) {
      if (k >= text.size() || text[k] < '0' || text[k] > '9') return -1;
      value = value * 10 + (text[k] - '0');
    }
    return value;
  };
  std::vector<FoundDate> found;
  for (size_t k = 0; k + 10 <= text.size(); ++k) {
    if (k > 0 && (std::isdigit(At(text, k - 1)) || text[k - 1] == '-')) continue;
    if (k + 10 < text.size() && (std::isdigit(At(text, k + 10)) || text[k + 10] == '-')) continue;
    const std::string_view s = text.substr(k, 10);
    if (s[4] == '-' && s[7] == '-' && digits(k, 4) >= 1990 && digits(k + 5, 2) > 0 &&
        digits(k + 8, 2) > 0) {
      found.push_back({true, digits(k, 4) * 10000 + digits(k + 5, 2) * 100 + digits(k + 8, 2)});
    } else if (s[2] == '-' && s[5] == '-' && digits(k, 2) > 0 && digits(k + 3, 2) > 0 &&
               digits(k + 6, 4) >= 1990) {
      found.push_back({false, digits(k + 6, 4) * 10000 + digits(k + 3, 2) * 100 + digits(k, 2)});
    }
  }
  return found;
}

// Dates are written day first; lists in date order write them year first so that the column
// reads in order. A list counts as one in date order when three or more consecutive lines hold
// one date each and those dates rise or fall throughout.
TEST(IssueLayout, DatesAreDayFirstExceptInListsInDateOrder) {
  int yearFirst = 0, dayFirst = 0;
  for (int d = 1; d <= MaxDocument; ++d) {
    const std::vector<PageLine> lines = PageLines(d);
    size_t i = 0;
    while (i < lines.size()) {
      std::vector<FoundDate> run;
      size_t j = i;
      for (; j < lines.size(); ++j) {
        const std::vector<FoundDate> found = Dates(lines[j].Text);
        if (found.size() != 1) break;
        run.push_back(found[0]);
      }
      bool rising = true, falling = true;
      for (size_t k = 1; k < run.size(); ++k) {
        rising = rising && run[k].Key >= run[k - 1].Key;
        falling = falling && run[k].Key <= run[k - 1].Key;
      }
      const bool dateOrder = run.size() >= 3 && (rising || falling);
      if (run.empty()) {
        // A line with no date or several: running text, all day first.
        for (const FoundDate& date : Dates(lines[i].Text)) {
          EXPECT_FALSE(date.YearFirst) << Where(d, lines[i].Number) << ": " << lines[i].Text;
          ++dayFirst;
        }
        j = i + 1;
      }
      for (size_t k = 0; k < run.size(); ++k) {
        EXPECT_EQ(run[k].YearFirst, dateOrder)
            << Where(d, lines[i + k].Number)
            << (dateOrder ? ": a list in date order writes year first: "
                          : ": a list in another order writes day first: ")
            << lines[i + k].Text;
        ++(run[k].YearFirst ? yearFirst : dayFirst);
      }
      i = j;
    }
  }
  EXPECT_GT(yearFirst, 100);
  EXPECT_GT(dayFirst, 100);
}

}  // namespace
