#include "generators/statsgen/statsgen.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "common/rounding.h"

namespace {

constexpr std::string_view kHeader = "group,date,type,title,size_mb,files";
constexpr int kPageWidth = 80;
constexpr int kLargestShown = 10;
constexpr int kLatestShown = 10;
constexpr std::array<const char*, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

// "Jan", or with the year "Jan 2004": the month as the pages write it in tables.
std::string ShortMonth(int month) {
  return std::string(kMonthNames[month - 1]).substr(0, 3);
}
std::string ShortMonth(const Release& r) {
  return ShortMonth(r.month) + " " + std::to_string(r.year);
}

bool IsLeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

// Reads an unsigned decimal of at most 9 digits; false for anything else.
bool ReadCount(std::string_view s, long& value) {
  if (s.empty() || s.size() > 9) return false;
  value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

bool ReadDate(std::string_view s, Release& r) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
  long y = 0, m = 0, d = 0;
  if (!ReadCount(s.substr(0, 4), y) || !ReadCount(s.substr(5, 2), m) ||
      !ReadCount(s.substr(8, 2), d))
    return false;
  if (y < 1990 || y > 2010 || m < 1 || m > 12) return false;
  if (d < 1 || d > DaysInMonth(static_cast<int>(y), static_cast<int>(m))) return false;
  r.year = static_cast<int>(y);
  r.month = static_cast<int>(m);
  r.day = static_cast<int>(d);
  return true;
}

// Titles end up inside page markup, so the characters that markup gives a meaning to are refused.
bool ValidTitle(std::string_view s) {
  if (s.empty() || s.size() > 42) return false;
  for (char c : s) {
    if (c <= ' ' || c > '~' || c == '{' || c == '}' || c == '|' || c == '@') return false;
  }
  return true;
}

bool ValidGroup(std::string_view s) {
  if (s.empty() || s.size() > 12) return false;
  for (char c : s) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

std::string Located(size_t line, size_t column, std::string_view message) {
  return std::to_string(line) + ":" + std::to_string(column) + ": " + std::string(message);
}

// Parses one data line into r; on a fault returns the message with its column.
std::string ParseLine(std::string_view line, size_t lineNo, Release& r) {
  std::array<std::string_view, 6> field;
  std::array<size_t, 6> column{};
  size_t start = 0;
  size_t count = 0;
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || line[i] == ',') {
      if (count == field.size()) return Located(lineNo, start + 1, "more than 6 fields");
      field[count] = line.substr(start, i - start);
      column[count] = start + 1;
      ++count;
      start = i + 1;
    }
  }
  if (count != field.size()) return Located(lineNo, line.size() + 1, "fewer than 6 fields");
  if (!ValidGroup(field[0])) return Located(lineNo, column[0], "group: 1-12 of A-Z, 0-9");
  r.group = std::string(field[0]);
  if (!ReadDate(field[1], r)) return Located(lineNo, column[1], "date: YYYY-MM-DD, 1990-2010");
  if (field[2] == "ISO") {
    r.iso = true;
  } else if (field[2] == "DOX") {
    r.iso = false;
  } else {
    return Located(lineNo, column[2], "type: ISO or DOX");
  }
  if (!ValidTitle(field[3]))
    return Located(lineNo, column[3], "title: 1-42 printable characters without { } | @");
  r.title = std::string(field[3]);
  if (!ReadCount(field[4], r.sizeMb) || r.sizeMb == 0)
    return Located(lineNo, column[4], "size_mb: a whole number above 0");
  if (!ReadCount(field[5], r.files) || r.files == 0)
    return Located(lineNo, column[5], "files: a whole number above 0");
  return {};
}

// --- page text helpers -------------------------------------------------------------------------

std::string Repeat(std::string_view s, long n) {
  std::string out;
  for (long i = 0; i < n; ++i) out += s;
  return out;
}

// Decimal with thousands separators: 915786 -> "915,786".
std::string Grouped(long v) {
  std::string digits = std::to_string(v);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string PadLeft(std::string_view s, size_t width) {
  return std::string(width > s.size() ? width - s.size() : 0, ' ') + std::string(s);
}

std::string PadRight(std::string_view s, size_t width) {
  return std::string(s) + std::string(width > s.size() ? width - s.size() : 0, ' ');
}

std::string Span(char colour, std::string_view text) {
  return "{" + std::string(1, colour) + "|" + std::string(text) + "}";
}

// Dates in running text and in lists that are not in date order: day, month, year.
std::string Date(const Release& r) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", r.day, r.month, r.year);
  return buf;
}

// Dates in lists sorted by date: year, month, day, so that the column sorts as it reads.
std::string SortableDate(const Release& r) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", r.year, r.month, r.day);
  return buf;
}

std::string OneDecimal(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

// Page columns a markup line takes: spans' braces and colour prefixes take none, "{{" and "}}"
// one, every UTF-8 sequence one.
long VisibleWidth(std::string_view line) {
  long width = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '{' && i + 1 < line.size() && line[i + 1] == '{') {
      ++width;
      ++i;
    } else if (c == '}' && i + 1 < line.size() && line[i + 1] == '}') {
      ++width;
      ++i;
    } else if (c == '{') {
      i = line.find('|', i);
      if (i == std::string_view::npos) break;
    } else if (c == '}') {
      continue;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++width;
    }
  }
  return width;
}

struct Tally {
  long iso = 0;
  long dox = 0;
  long sizeMb = 0;
  long files = 0;
  long isoSizeMb = 0;
  long isoFiles = 0;
  long Releases() const { return iso + dox; }
  long Points() const { return 3 * iso + dox; }
};

void Count(Tally& t, const Release& r) {
  (r.iso ? t.iso : t.dox) += 1;
  t.sizeMb += r.sizeMb;
  t.files += r.files;
  if (r.iso) {
    t.isoSizeMb += r.sizeMb;
    t.isoFiles += r.files;
  }
}

struct GroupStats {
  std::string name;
  std::vector<const Release*> releases;  // in date order
  Tally allTime;
  Tally lastYear;  // the year of the newest release in the data
  std::map<int, Tally> perYear;
  std::map<int, Tally> perMonth;  // key year * 100 + month
  int rankLastYear = 0;           // 0: no release that year
  int rankAllTime = 0;
};

bool Earlier(const Release* a, const Release* b) {
  if (a->year != b->year) return a->year < b->year;
  if (a->month != b->month) return a->month < b->month;
  if (a->day != b->day) return a->day < b->day;
  return a->title < b->title;
}

// Ranking by chart points (ISO 3, DOX 1), then releases, then name, so every rank is unique.
bool RanksAbove(const Tally& a, const std::string& an, const Tally& b, const std::string& bn) {
  if (a.Points() != b.Points()) return a.Points() > b.Points();
  if (a.Releases() != b.Releases()) return a.Releases() > b.Releases();
  return an < bn;
}

struct Page {
  std::string text;
  std::string error;
  long lines = 0;
};

void Emit(Page& page, const std::string& line) {
  ++page.lines;
  if (page.error.empty() && VisibleWidth(line) > kPageWidth) {
    page.error = "page line " + std::to_string(page.lines) + " is wider than 80 columns: " + line;
  }
  page.text += line;
  page.text += '\n';
}

// Directives are not page lines.
void Directive(Page& page, const std::string& line) {
  page.text += line;
  page.text += '\n';
}

std::string BoxTop() {
  return "┌" + Repeat("─", 78) + "┐";
}
std::string BoxBottom() {
  return "└" + Repeat("─", 78) + "┘";
}

// A boxed line: markup inside, padded to the box's inner width of 78 columns.
std::string BoxLine(const std::string& inner) {
  const long pad = 78 - VisibleWidth(inner);
  return "│" + inner + std::string(pad > 0 ? pad : 0, ' ') + "│";
}

void EmitMonthChart(Page& page, const GroupStats& g, int year, int lastMonth, int perRelease) {
  Emit(page,
       "  " + Span('D', "Releases per month, " + std::to_string(year)) + "      " + Span('P', "█") +
           " ISO  " + Span('M', "▓") + " DOX   " +
           Span('2', perRelease == 1 ? "(one block = one release)" : "(two blocks = one release)"));
  for (int m = 1; m <= lastMonth; ++m) {
    const auto it = g.perMonth.find(year * 100 + m);
    const Tally t = it == g.perMonth.end() ? Tally{} : it->second;
    std::string line = "  " + ShortMonth(m) + " │";
    line += Span('P', Repeat("█", t.iso * perRelease));
    line += Span('M', Repeat("▓", t.dox * perRelease));
    // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict for " " + std::string&&.
    line += ' ';
    line += t.Releases() == 0 ? Span('3', "-") : Span('1', std::to_string(t.Releases()));
    Emit(page, line);
  }
  Emit(page, "      └" + Repeat("─", 60));
}

// The year chart: a bar of whole blocks, rounded to the nearest (BarBlocks), then the
// releases, ISO/DOX and size, each under its heading.
void EmitYearChart(Page& page, const GroupStats& g, int perBlock) {
  const std::string scale = " one block = " + std::to_string(perBlock) + " releases";
  Emit(page, "  " + Span('D', "Releases per year") + "  " + Span('S', "▒") + Span('2', scale) +
                 std::string(static_cast<size_t>(28 - VisibleWidth(scale)), ' ') +
                 Span('H', "Rel") + "  " + Span('H', "ISO/DOX") + "  " + Span('H', "Size (MB)"));
  const int first = g.perYear.begin()->first;
  const int last = g.perYear.rbegin()->first;
  for (int y = first; y <= last; ++y) {
    const auto it = g.perYear.find(y);
    const Tally t = it == g.perYear.end() ? Tally{} : it->second;
    const long blocks = BarBlocks(static_cast<double>(t.Releases()), perBlock);
    std::string line = "  " + std::to_string(y) + " │" + Span('S', Repeat("▒", blocks));
    line += std::string(static_cast<size_t>(41 - blocks), ' ');
    line += Span('1', PadLeft(Grouped(t.Releases()), 4));
    line += "  " + PadLeft(Grouped(t.iso) + "/" + Grouped(t.dox), 7);
    line += "  " + Span('G', PadLeft(Grouped(t.sizeMb), 9));
    Emit(page, line);
  }
}

enum class DateStyle { DayFirst, YearFirst };

void EmitReleaseList(Page& page, const std::string& heading,
                     const std::vector<const Release*>& list, DateStyle style) {
  Emit(page, "  " + Span('D', heading));
  int n = 0;
  for (const Release* r : list) {
    ++n;
    std::string line = "  " + PadLeft(std::to_string(n), 2) + ". ";
    line += Span(r->iso ? 'P' : 'M', r->iso ? "ISO" : "DOX") + " ";
    line += Span('1', PadRight(r->title, 42));
    line += Span('3', style == DateStyle::YearFirst ? SortableDate(*r) : Date(*r)) + " ";
    line += Span('G', PadLeft(Grouped(r->sizeMb), 6)) + " MB";
    Emit(page, line);
  }
}

std::string Averages(const Tally& t) {
  const long dox = t.dox;
  const long doxSize = t.sizeMb - t.isoSizeMb;
  const long doxFiles = t.files - t.isoFiles;
  std::string line = "  " + Span('D', "Averages") + "  ISO ";
  if (t.iso > 0) {
    line += Span('1', Grouped((t.isoSizeMb + t.iso / 2) / t.iso) + " MB") + " in " +
            Span('1', OneDecimal(static_cast<double>(t.isoFiles) / t.iso)) + " files";
  } else {
    line += Span('3', "none");
  }
  line += "    DOX ";
  if (dox > 0) {
    line += Span('1', OneDecimal(static_cast<double>(doxSize) / dox) + " MB") + " in " +
            Span('1', OneDecimal(static_cast<double>(doxFiles) / dox)) + " files";
  } else {
    line += Span('3', "none");
  }
  return line;
}

// Share of a total in whole per cent, halves rounded up: 544 of 4026 -> "14%".
std::string Percent(long part, long whole) {
  return whole > 0 ? std::to_string((200 * part + whole) / (2 * whole)) + "%" : "0%";
}

struct Totals {
  long allReleases = 0;
  long yearReleases = 0;
  long allSizeMb = 0;
};

void EmitGroup(Page& page, const GroupStats& g, int dataYear, int dataLastMonth, int monthScale,
               int yearBlock, size_t groupsThisYear, size_t groupsAllTime, const Totals& totals) {
  const long allReleases = totals.allReleases;
  const long yearReleases = totals.yearReleases;
  const long allSizeMb = totals.allSizeMb;
  Directive(page, "@rule 8");
  Emit(page, "");
  Emit(page, BoxTop());
  std::string ranks;
  if (g.rankLastYear > 0) {
    ranks = std::to_string(dataYear) + " rank " + PadLeft(std::to_string(g.rankLastYear), 2) +
            " of " + std::to_string(groupsThisYear) + "   ";
  } else {
    ranks = "no release in " + std::to_string(dataYear) + "   ";
  }
  ranks += "all-time rank " + PadLeft(std::to_string(g.rankAllTime), 2) + " of " +
           std::to_string(groupsAllTime);
  const std::string gap(ranks.size() < 64 ? 64 - ranks.size() : 0, ' ');
  Emit(page, BoxLine(" " + Span('D', PadRight(g.name, 12)) + gap + Span('2', ranks)));
  Emit(page, BoxBottom());
  Emit(page, "  " + Span('H', std::string(10, ' ') + PadLeft("ISO", 6) + PadLeft("DOX", 7) +
                                  PadLeft("Total", 8) + PadLeft("Points", 9) +
                                  PadLeft("Size (MB)", 14) + PadLeft("Files", 10)));
  auto row = [&](const std::string& label, const Tally& t) {
    return "  " + Span('2', PadRight(label, 10)) + Span('1', PadLeft(Grouped(t.iso), 6)) +
           Span('1', PadLeft(Grouped(t.dox), 7)) + Span('1', PadLeft(Grouped(t.Releases()), 8)) +
           Span('E', PadLeft(Grouped(t.Points()), 9)) + Span('G', PadLeft(Grouped(t.sizeMb), 14)) +
           Span('1', PadLeft(Grouped(t.files), 10));
  };
  Emit(page, row(std::to_string(dataYear), g.lastYear));
  Emit(page, row("All time", g.allTime));
  const Release& first = *g.releases.front();
  const Release& last = *g.releases.back();
  Emit(page, "  " + Span('2', "First release ") + Span('3', Date(first)) +
                 Span('2', "    Latest release ") + Span('3', Date(last)));
  Emit(page, "");

  // The month chart shows the newest year the group released in.
  const int year = last.year;
  EmitMonthChart(page, g, year, year == dataYear ? dataLastMonth : 12, monthScale);
  Emit(page, "");
  EmitYearChart(page, g, yearBlock);
  Emit(page, "");

  std::vector<const Release*> largest = g.releases;
  std::stable_sort(largest.begin(), largest.end(), [](const Release* a, const Release* b) {
    if (a->sizeMb != b->sizeMb) return a->sizeMb > b->sizeMb;
    return Earlier(a, b);
  });
  if (largest.size() > kLargestShown) largest.resize(kLargestShown);
  EmitReleaseList(page, "Largest titles", largest, DateStyle::DayFirst);
  Emit(page, "");

  std::vector<const Release*> latest(g.releases.rbegin(), g.releases.rend());
  if (latest.size() > kLatestShown) latest.resize(kLatestShown);
  EmitReleaseList(page, "Latest titles", latest, DateStyle::YearFirst);
  Emit(page, "");

  Emit(page, Averages(g.allTime));
  Emit(page, "  " + Span('D', "Share") + "     " +
                 Span('1', Percent(g.allTime.Releases(), allReleases)) + " of all releases, " +
                 Span('1', Percent(g.lastYear.Releases(), yearReleases)) + " of " +
                 std::to_string(dataYear) + "'s, " +
                 Span('1', Percent(g.allTime.sizeMb, allSizeMb)) + " of all megabytes.");
  const auto busiest = std::max_element(
      g.perMonth.begin(), g.perMonth.end(),
      [](const auto& a, const auto& b) { return a.second.Releases() < b.second.Releases(); });
  const int firstMonth = first.year * 12 + first.month;
  const int lastMonthAll = last.year * 12 + last.month;
  const std::string busiestName = std::string(kMonthNames[busiest->first % 100 - 1]) + " " +
                                  std::to_string(busiest->first / 100);
  Emit(page,
       "  " + Span('D', "Busiest month") + " " + Span('1', busiestName) + " with " +
           Span('1', std::to_string(busiest->second.Releases())) + " releases.  " +
           Span('2', "Active in ") + Span('1', std::to_string(g.perMonth.size())) +
           Span('2', " of its " + std::to_string(lastMonthAll - firstMonth + 1) + " months."));
}

}  // namespace

ReleaseTable ParseReleases(std::string_view csv) {
  ReleaseTable table;
  size_t lineNo = 0;
  size_t pos = 0;
  while (pos < csv.size()) {
    size_t end = csv.find('\n', pos);
    if (end == std::string_view::npos) end = csv.size();
    std::string_view line = csv.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (lineNo == 1) {
      if (line != kHeader) {
        table.error = Located(1, 1, "header must be \"" + std::string(kHeader) + "\"");
        return table;
      }
      continue;
    }
    if (line.empty()) {
      table.error = Located(lineNo, 1, "empty line");
      return table;
    }
    Release r;
    const std::string fault = ParseLine(line, lineNo, r);
    if (!fault.empty()) {
      table.error = fault;
      return table;
    }
    table.releases.push_back(std::move(r));
  }
  if (lineNo == 0) {
    table.error = Located(1, 1, "empty file");
    return table;
  }
  if (table.releases.empty()) {
    table.error = Located(lineNo, 1, "no releases");
    return table;
  }
  table.ok = true;
  return table;
}

StatsPage RenderGroupStats(const std::vector<Release>& releases) {
  StatsPage result;
  if (releases.empty()) {
    result.error = "no releases";
    return result;
  }
  std::map<std::string, GroupStats> byName;
  const Release* newest = &releases.front();
  for (const Release& r : releases) {
    if (Earlier(newest, &r)) newest = &r;
    GroupStats& g = byName[r.group];
    g.name = r.group;
    g.releases.push_back(&r);
  }
  const int dataYear = newest->year;
  const int dataLastMonth = newest->month;
  long totalReleases = 0;
  Tally total;
  Tally totalLastYear;
  int firstYear = dataYear;
  long maxMonth = 1;
  long maxYear = 1;
  for (auto& [name, g] : byName) {
    std::stable_sort(g.releases.begin(), g.releases.end(), Earlier);
    for (const Release* r : g.releases) {
      Count(g.allTime, *r);
      Count(total, *r);
      Count(g.perYear[r->year], *r);
      Count(g.perMonth[r->year * 100 + r->month], *r);
      if (r->year == dataYear) {
        Count(g.lastYear, *r);
        Count(totalLastYear, *r);
      }
      firstYear = std::min(firstYear, r->year);
      ++totalReleases;
    }
    const int chartYear = g.releases.back()->year;
    for (const auto& [key, t] : g.perMonth) {
      if (key / 100 == chartYear) maxMonth = std::max(maxMonth, t.Releases());
    }
    for (const auto& [y, t] : g.perYear) maxYear = std::max(maxYear, t.Releases());
  }

  std::vector<GroupStats*> order;
  for (auto& [name, g] : byName) order.push_back(&g);
  std::stable_sort(order.begin(), order.end(), [](const GroupStats* a, const GroupStats* b) {
    return RanksAbove(a->allTime, a->name, b->allTime, b->name);
  });
  for (size_t i = 0; i < order.size(); ++i) order[i]->rankAllTime = static_cast<int>(i + 1);
  std::stable_sort(order.begin(), order.end(), [](const GroupStats* a, const GroupStats* b) {
    const bool aIn = a->lastYear.Releases() > 0;
    const bool bIn = b->lastYear.Releases() > 0;
    if (aIn != bIn) return aIn;
    if (aIn) return RanksAbove(a->lastYear, a->name, b->lastYear, b->name);
    return a->rankAllTime < b->rankAllTime;
  });
  size_t groupsThisYear = 0;
  for (GroupStats* g : order) {
    if (g->lastYear.Releases() > 0) g->rankLastYear = static_cast<int>(++groupsThisYear);
  }

  // Bars: two blocks per release while the busiest month fits 56 columns, one block otherwise;
  // year bars get as many releases per block as keep the busiest year within 40 columns.
  const int monthScale = maxMonth * 2 <= 56 ? 2 : 1;
  const int yearBlock = static_cast<int>((maxYear + 39) / 40);

  Page page;
  const std::string y = std::to_string(dataYear);
  Directive(page, "@colour 2");
  Directive(page, "@style 2");
  Emit(page, BoxTop());
  const std::string heading = "  GROUP RELEASE STATS";
  const std::string period =
      "every group, every release, " + std::to_string(firstYear) + " to " + y;
  Emit(page, "│" + Span('D', heading) + std::string(76 - heading.size() - period.size(), ' ') +
                 Span('2', period) + "  │");
  Emit(page, BoxBottom());
  Emit(page, "");
  Emit(page, "  Counted for this page: " + Span('1', Grouped(totalReleases)) + " releases by " +
                 Span('1', std::to_string(byName.size())) + " groups, " +
                 Span('1', Grouped(total.iso)) + " ISO and " + Span('1', Grouped(total.dox)) +
                 " DOX,");
  char lastDay[16];
  std::snprintf(lastDay, sizeof lastDay, "%02d-%02d-%04d", DaysInMonth(dataYear, dataLastMonth),
                dataLastMonth, dataYear);
  Emit(page, "  " + Span('1', Grouped(total.sizeMb)) + " MB in " + Span('1', Grouped(total.files)) +
                 " files, up to and including " + Span('1', lastDay) + ".");
  Emit(page, "  In " + y + " alone: " + Span('1', Grouped(totalLastYear.Releases())) +
                 " releases by " + Span('1', std::to_string(groupsThisYear)) + " groups, " +
                 Span('1', Grouped(totalLastYear.sizeMb)) + " MB.");
  Emit(page, "");
  Emit(page,
       "  Each group gets totals for " + y + " and for all time, a month chart of its newest");
  Emit(page, "  year, a year chart, its ten largest and ten latest titles and its averages.");
  Emit(page, "  Chart points follow the rules page: an ISO scores 3, a DOX scores 1.");
  Emit(page, "");
  Emit(page, "  Groups are listed by their " + y + " chart points, then those who did not");
  Emit(page, "  release this year by all-time points. Sizes are as released.");
  Emit(page, "");
  Emit(page,
       "  " + Span('H', " #  " + PadRight("Group", 12) + PadLeft(y, 6) + PadLeft("Pts", 6) +
                            PadLeft("All-time", 11) + PadLeft("Pts", 7) + "   First      Latest"));
  for (const GroupStats* g : order) {
    std::string line = "  " + PadLeft(std::to_string(g->rankLastYear > 0 ? g->rankLastYear : 0), 2);
    if (g->rankLastYear == 0) line = "   -";
    line += "  " + Span('D', PadRight(g->name, 12));
    line += Span('1', PadLeft(Grouped(g->lastYear.Releases()), 6));
    line += Span('E', PadLeft(Grouped(g->lastYear.Points()), 6));
    line += Span('1', PadLeft(Grouped(g->allTime.Releases()), 11));
    line += Span('E', PadLeft(Grouped(g->allTime.Points()), 7));
    line += "   " + Span('3', ShortMonth(*g->releases.front())) + "   " +
            Span('3', ShortMonth(*g->releases.back()));
    Emit(page, line);
  }
  for (const GroupStats* g : order) {
    EmitGroup(page, *g, dataYear, dataLastMonth, monthScale, yearBlock, groupsThisYear,
              byName.size(), Totals{totalReleases, totalLastYear.Releases(), total.sizeMb});
  }
  Directive(page, "@rule 2");
  Emit(page, "");
  Emit(page,
       "  " + Span('2', "Figures made by the chart crew's counting tool from the release table."));
  if (!page.error.empty()) {
    result.error = page.error;
    return result;
  }
  result.ok = true;
  result.text = std::move(page.text);
  return result;
}

std::string GenerateStatsFile(const std::string& csvPath, const std::string& outPath) {
  std::ifstream in(csvPath, std::ios::binary);
  if (!in) return csvPath + ": cannot open";
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string csv = buffer.str();
  const ReleaseTable table = ParseReleases(csv);
  if (!table.ok) return csvPath + ":" + table.error;
  const StatsPage page = RenderGroupStats(table.releases);
  if (!page.ok) return outPath + ": " + page.error;
  std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
  if (!out) return outPath + ": cannot create";
  out << page.text;
  out.close();
  if (!out) return outPath + ": write failed";
  return {};
}
