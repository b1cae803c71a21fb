// The figures the issue quotes in its running text, recomputed from the release table: counts,
// places, gaps, records and "most ever" claims. Each check builds the sentence's figures from
// the data and looks for them in the compiled page, so a sentence that no longer matches the
// data (or data that no longer matches the sentence) fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "generators/statsgen/statsgen.h"
#include "tests/content/issue_pages.h"

namespace {

const std::vector<Release>& Releases() {
  static const std::vector<Release> releases = [] {
    std::ifstream in("../content/data/releases.csv", std::ios::binary);
    std::stringstream csv;
    csv << in.rdbuf();
    ReleaseTable table = ParseReleases(csv.str());
    EXPECT_TRUE(table.ok) << table.error;
    return table.releases;
  }();
  return releases;
}

using Filter = std::function<bool(const Release&)>;

int MonthKey(const Release& r) {
  return r.year * 100 + r.month;
}
Filter InMonth(int year, int month) {
  return [=](const Release& r) { return r.year == year && r.month == month; };
}
Filter InYear(int year, int lastMonth = 12) {
  return [=](const Release& r) { return r.year == year && r.month <= lastMonth; };
}

struct Standing {
  std::string Group;
  long Points = 0, Releases = 0, Iso = 0, Dox = 0, SizeMb = 0;
};

// A chart by the rules: points (ISO 3, DOX 1), then releases, then the alphabet.
std::vector<Standing> Chart(const Filter& filter) {
  std::map<std::string, Standing> byGroup;
  for (const Release& r : Releases()) {
    if (!filter(r)) continue;
    Standing& s = byGroup[r.group];
    s.Group = r.group;
    s.Points += r.iso ? 3 : 1;
    ++s.Releases;
    ++(r.iso ? s.Iso : s.Dox);
    s.SizeMb += r.sizeMb;
  }
  std::vector<Standing> chart;
  for (auto& [name, s] : byGroup) chart.push_back(s);
  std::stable_sort(chart.begin(), chart.end(), [](const Standing& a, const Standing& b) {
    if (a.Points != b.Points) return a.Points > b.Points;
    return a.Releases > b.Releases;
  });
  return chart;
}

int Place(const std::vector<Standing>& chart, const std::string& group) {
  for (size_t i = 0; i < chart.size(); ++i) {
    if (chart[i].Group == group) return static_cast<int>(i) + 1;
  }
  return 0;
}

const Standing& Of(const std::vector<Standing>& chart, const std::string& group) {
  static const Standing none;
  const int place = Place(chart, group);
  return place > 0 ? chart[place - 1] : none;
}

std::vector<const Release*> Select(const Filter& filter) {
  std::vector<const Release*> out;
  for (const Release& r : Releases()) {
    if (filter(r)) out.push_back(&r);
  }
  return out;
}

long Total(const std::vector<const Release*>& list) {
  long mb = 0;
  for (const Release* r : list) mb += r->sizeMb;
  return mb;
}

// --- how the pages write numbers -----------------------------------------------------------

std::string N(long v) {  // 6076730 -> "6,076,730"
  const std::string digits = std::to_string(v);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string Words(long n) {  // 0..99
  static const std::array<const char*, 20> small = {
      "zero",     "one",     "two",     "three",     "four",     "five",    "six",
      "seven",    "eight",   "nine",    "ten",       "eleven",   "twelve",  "thirteen",
      "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
  static const std::array<const char*, 10> tens = {"",      "",      "twenty",  "thirty", "forty",
                                                   "fifty", "sixty", "seventy", "eighty", "ninety"};
  if (n < 20) return small[static_cast<size_t>(n)];
  return std::string(tens[static_cast<size_t>(n / 10)]) +
         (n % 10 != 0 ? std::string("-") + small[static_cast<size_t>(n % 10)] : "");
}

std::string OrdinalWord(long n) {  // 1..20
  static const std::array<const char*, 21> words = {
      "",           "first",      "second",     "third",     "fourth",    "fifth",
      "sixth",      "seventh",    "eighth",     "ninth",     "tenth",     "eleventh",
      "twelfth",    "thirteenth", "fourteenth", "fifteenth", "sixteenth", "seventeenth",
      "eighteenth", "nineteenth", "twentieth"};
  return words[static_cast<size_t>(n)];
}

std::string Ordinal(long n) {  // 17 -> "17th"
  const long last = n % 10;
  const bool teen = n % 100 / 10 == 1;
  return std::to_string(n) + (teen        ? "th"
                              : last == 1 ? "st"
                              : last == 2 ? "nd"
                              : last == 3 ? "rd"
                                          : "th");
}

std::string MonthName(int month) {
  static const std::array<const char*, 12> names = {
      "January", "February", "March",     "April",   "May",      "June",
      "July",    "August",   "September", "October", "November", "December"};
  return names[static_cast<size_t>(month - 1)];
}

std::string DayFirst(const Release& r) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", r.day, r.month, r.year);
  return buf;
}

std::string DayFirst(int key) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", key % 100, key / 100 % 100, key / 10000);
  return buf;
}

std::string Weekday(const Release& r) {
  using namespace std::chrono;
  static const std::array<const char*, 7> names = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};
  const year_month_day date{year{r.year}, month{static_cast<unsigned>(r.month)},
                            day{static_cast<unsigned>(r.day)}};
  return names[weekday{sys_days{date}}.c_encoding()];
}

// A document's running text as one lower-case line: page lines joined by single spaces, runs
// of spaces folded, so a sentence is found across line breaks and column padding.
std::string Prose(int d) {
  std::string out;
  for (const PageLine& line : PageLines(d)) {
    out += ' ';
    out += line.Text;
  }
  std::string folded;
  for (const char c : out) {
    if (c == ' ' && !folded.empty() && folded.back() == ' ') continue;
    folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return folded;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

::testing::AssertionResult Says(int d, const std::string& phrase) {
  if (Prose(d).find(Lower(phrase)) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "document " << d << " does not say \"" << phrase << "\"";
}

template <typename Key>
std::map<Key, long> CountBy(const Filter& filter, const std::function<Key(const Release&)>& key) {
  std::map<Key, long> counts;
  for (const Release& r : Releases()) {
    if (filter(r)) ++counts[key(r)];
  }
  return counts;
}

// The keys with the highest count, in key order.
template <typename Key>
std::vector<Key> Busiest(const std::map<Key, long>& counts, long& most, bool fewest = false) {
  most = fewest ? counts.begin()->second : 0;
  for (const auto& [key, n] : counts) most = fewest ? std::min(most, n) : std::max(most, n);
  std::vector<Key> keys;
  for (const auto& [key, n] : counts) {
    if (n == most) keys.push_back(key);
  }
  return keys;
}

const Filter All = [](const Release&) { return true; };
constexpr int Year = 2010, Month = 9;  // the chart period of the issue

// --- the monthly pages ---------------------------------------------------------------------

TEST(IssueFigures, MonthlyChartAndOverview) {
  const std::vector<Standing> sep = Chart(InMonth(Year, Month));
  const std::vector<Standing> aug = Chart(InMonth(Year, Month - 1));
  const std::vector<const Release*> month = Select(InMonth(Year, Month));
  EXPECT_TRUE(Says(
      1, std::to_string(sep.size()) + " groups, " + std::to_string(month.size()) + " releases"));
  EXPECT_TRUE(
      Says(1, sep[0].Group + " from " + std::to_string(Place(aug, sep[0].Group)) + " to the top"));
  std::vector<std::string> gone;
  for (const Standing& s : aug) {
    if (Place(sep, s.Group) == 0) gone.push_back(s.Group);
  }
  ASSERT_EQ(gone.size(), 1u);
  EXPECT_TRUE(Says(1, "gone " + gone[0] + ", " + Ordinal(Place(aug, gone[0])) +
                          " in August, released nothing in September"));

  const Release* largest = nullptr;
  const Release* smallest = nullptr;
  const Release* largestDox = nullptr;
  long images = 0, cdSized = 0, smallestCount = 0;
  for (const Release* r : month) {
    if (r->iso && (largest == nullptr || r->sizeMb > largest->sizeMb)) largest = r;
    if (!r->iso && (largestDox == nullptr || r->sizeMb > largestDox->sizeMb)) largestDox = r;
    if (smallest == nullptr || r->sizeMb < smallest->sizeMb) smallest = r;
    images += r->iso ? 1 : 0;
    cdSized += r->iso && r->sizeMb <= 702 ? 1 : 0;
  }
  for (const Release* r : month) {
    if (r->sizeMb == smallest->sizeMb) {
      ++smallestCount;
      EXPECT_FALSE(r->iso) << r->title;
    }
  }
  EXPECT_TRUE(Says(1, largest->title + "-" + largest->group + ", " + N(largest->sizeMb) +
                          " MB in " + std::to_string(largest->files) +
                          " files, the largest image of the month"));
  EXPECT_TRUE(Says(2, std::to_string(cdSized) + " of September's " + std::to_string(images) +
                          " images would still fit on a disc"));
  EXPECT_TRUE(
      Says(2, "the " + Words(smallestCount) + " smallest releases of the month, doc packs of " +
                  std::to_string(smallest->sizeMb) + " MB, scored as many points as the largest, " +
                  std::to_string(largestDox->sizeMb) + " MB"));

  long most = 0;
  const auto perDay = CountBy<int>(InMonth(Year, Month), [](const Release& r) { return r.day; });
  const std::vector<int> busiestDays = Busiest(perDay, most);
  ASSERT_EQ(busiestDays.size(), 1u);
  Release day{};
  day.year = Year, day.month = Month, day.day = busiestDays[0];
  // The days without a release: the day after the busiest one, and one more.
  std::vector<int> empty;
  for (int d = 1; d <= 30; ++d) {
    if (perDay.count(d) == 0) empty.push_back(d);
  }
  ASSERT_EQ(empty, (std::vector<int>{day.day + 1, 26}));
  Release last = day;
  last.day = empty[1];
  EXPECT_TRUE(Says(2, "the busiest day was " + Weekday(day) + " the " + Ordinal(day.day) +
                          " with " + std::to_string(most) + " releases; the next day and " +
                          Weekday(last) + " the " + Ordinal(last.day) + " brought none"));
  const std::vector<std::string> monthDay =
      Busiest(CountBy<std::string>(InMonth(Year, Month), Weekday), most);
  ASSERT_EQ(monthDay.size(), 1u);
  EXPECT_TRUE(Says(2, monthDay[0] + " was the month's favourite release day with " +
                          std::to_string(most) + ", though over the year so far"));
  const std::vector<std::string> yearDay =
      Busiest(CountBy<std::string>(InYear(Year), Weekday), most);
  ASSERT_EQ(yearDay.size(), 1u);
  EXPECT_TRUE(Says(2, "over the year so far " + yearDay[0] + " still leads"));
}

TEST(IssueFigures, GroupOfTheMonthAndEditorial) {
  const std::vector<Standing> sep = Chart(InMonth(Year, Month));
  const Standing& top = sep[0];
  const Standing& second = sep[1];
  const std::vector<const Release*> month = Select(InMonth(Year, Month));
  long iso = 0;
  for (const Release* r : month) iso += r->iso ? 1 : 0;
  EXPECT_TRUE(Says(11, "we counted " + std::to_string(month.size()) + " releases in September, " +
                           std::to_string(iso) + " of them disk images and " +
                           std::to_string(month.size() - iso) +
                           " documentation packs, for a total of " + N(Total(month)) + " MB"));
  EXPECT_TRUE(
      Says(11, "August gave us " + std::to_string(Select(InMonth(Year, Month - 1)).size())));
  EXPECT_TRUE(Says(11, std::to_string(top.Releases) + " releases in one month: " +
                           std::to_string(top.Iso) + " images, " + std::to_string(top.Dox) +
                           " doc packs and " + std::to_string(top.Points) + " chart points"));
  EXPECT_EQ(second.Dox, 0);
  EXPECT_TRUE(Says(11, second.Group + " took second place with " + std::to_string(second.Iso) +
                           " images and nothing else"));
  EXPECT_TRUE(Says(3, Words(top.Releases) + " releases in thirty days"));
  EXPECT_TRUE(Says(13, "releases logged for September " + std::to_string(month.size())));

  // The group's busiest day, and the month before.
  long most = 0;
  const std::vector<int> days =
      Busiest(CountBy<int>(
                  [&](const Release& r) { return r.group == top.Group && InMonth(Year, Month)(r); },
                  [](const Release& r) { return r.day; }),
              most);
  ASSERT_EQ(days.size(), 1u);
  for (const Release* r : month) {
    EXPECT_TRUE(r->group != top.Group || r->day != days[0] || r->iso) << r->title;
  }
  EXPECT_TRUE(Says(3, "the " + Ordinal(days[0]) + ", brought " + Words(most) + " images"));
  EXPECT_EQ(Of(Chart(InMonth(Year, Month - 1)), top.Group).Releases, 1);
  EXPECT_TRUE(Says(3, "an August in which they released exactly one thing"));
}

// --- the year pages ------------------------------------------------------------------------

TEST(IssueFigures, YearlyStatsOverviewAndGroupOfTheYear) {
  const std::vector<Standing> year = Chart(InYear(Year));
  const std::vector<Standing> lastYear = Chart(InYear(Year - 1));
  const Standing& first = year[0];
  const long gap = first.Points - year[1].Points;
  EXPECT_TRUE(Says(5, first.Group + " lead by " + std::to_string(gap) + " points"));
  long below = 0;
  for (size_t i = 1; i < year.size(); ++i) below += year[i].Points < gap ? 1 : 0;
  EXPECT_TRUE(Says(7, "the gap to second, " + std::to_string(gap) + " points, is more than " +
                          Words(below) + " of the other " +
                          Words(static_cast<long>(year.size()) - 1) + " groups scored all year"));
  // First at the end of every month of the year so far.
  for (int m = 1; m <= Month; ++m) EXPECT_EQ(Chart(InYear(Year, m))[0].Group, first.Group) << m;
  EXPECT_TRUE(Says(5, "they have led since the end of January"));
  EXPECT_TRUE(Says(7, "first place at the end of every single month of " + std::to_string(Year)));

  // The month's winner without its month.
  const Standing& runner = year[1];
  const long inMonth = Of(Chart(InMonth(Year, Month)), runner.Group).Points;
  int without = 1;
  for (const Standing& s : year)
    without += s.Group != runner.Group && s.Points > runner.Points - inMonth;
  EXPECT_TRUE(Says(5, runner.Group + " gained " + std::to_string(inMonth) + " of their " +
                          std::to_string(runner.Points) +
                          " points in September alone. Without that month they would be " +
                          OrdinalWord(without)));

  const Standing& fourth = year[3];
  const Standing& fifth = year[4];
  EXPECT_GT(fourth.Iso, fifth.Iso);
  EXPECT_LT(fourth.SizeMb, fifth.SizeMb);
  EXPECT_TRUE(Says(5, fourth.Group + ", " + OrdinalWord(Place(lastYear, fourth.Group)) + " in " +
                          std::to_string(Year - 1) + ", are fourth, a place ahead of " +
                          fifth.Group + ": more images (" + std::to_string(fourth.Iso) + " to " +
                          std::to_string(fifth.Iso) + "), fewer megabytes"));

  const Standing* mostDox = &year[0];
  for (const Standing& s : year) {
    if (s.Dox > mostDox->Dox) mostDox = &s;
  }
  for (const Standing& s : year) EXPECT_TRUE(&s == mostDox || s.Dox < mostDox->Dox) << s.Group;
  EXPECT_GT(mostDox->Dox * 2, mostDox->Releases);
  EXPECT_TRUE(Says(5, mostDox->Group + " released more doc packs (" + std::to_string(mostDox->Dox) +
                          ") than anyone"));
  EXPECT_TRUE(Says(5, "so " + std::to_string(mostDox->Releases) +
                          " releases, most of them doc packs, give them " +
                          Ordinal(Place(year, mostDox->Group))));

  // Year on year, month by month.
  const long now = static_cast<long>(Select(InYear(Year, Month)).size());
  const long before = static_cast<long>(Select(InYear(Year - 1, Month)).size());
  EXPECT_TRUE(Says(6, std::to_string(now) + " releases in nine months against " +
                          std::to_string(before) + " in the same months of " +
                          std::to_string(Year - 1) + ", " +
                          Words((100 * (now - before) + before / 2) / before) + " per cent more"));
  std::vector<int> shortMonths;
  for (int m = 1; m <= Month; ++m) {
    if (Select(InMonth(Year, m)).size() < Select(InMonth(Year - 1, m)).size())
      shortMonths.push_back(m);
  }
  ASSERT_EQ(shortMonths.size(), 2u);
  EXPECT_TRUE(Says(6, "only " + MonthName(shortMonths[0]) + " and " + MonthName(shortMonths[1]) +
                          " fell short of last year"));
  // At the pace of the month before the chart period, the year passes the last one in the first
  // week of December, in releases but not in megabytes.
  const long pace = static_cast<long>(Select(InMonth(Year, Month - 1)).size());
  const long lastTotal = static_cast<long>(Select(InYear(Year - 1)).size());
  const long needInDecember = lastTotal + 1 - now - 2 * pace;
  ASSERT_GT(needInDecember, 0);
  EXPECT_LE((needInDecember * 31 + pace - 1) / pace, 7);
  EXPECT_LT(Total(Select(InYear(Year, Month))) + 3 * Total(Select(InMonth(Year, Month - 1))),
            Total(Select(InYear(Year - 1))));
  EXPECT_TRUE(
      Says(6, "at August's pace of " + std::to_string(pace) + " a month, " + std::to_string(Year) +
                  " passes the " + std::to_string(lastTotal) + " releases of " +
                  std::to_string(Year - 1) +
                  " in the first week of December; in megabytes it would still fall short"));

  // The group of the year.
  EXPECT_TRUE(Says(7, std::to_string(first.Releases) + " releases, " + std::to_string(first.Iso) +
                          " of them images, " + std::to_string(first.Points) + " points, " +
                          N(first.SizeMb) + " MB"));
  long most = 0;
  const auto perMonth =
      CountBy<int>([&](const Release& r) { return r.group == first.Group && r.year == Year; },
                   [](const Release& r) { return r.month; });
  const std::vector<int> busiest = Busiest(perMonth, most);
  long fewest = 0;
  const std::vector<int> quietest = Busiest(perMonth, fewest, true);
  ASSERT_EQ(busiest.size(), 1u);
  ASSERT_EQ(quietest.size(), 1u);
  EXPECT_TRUE(Says(7, "their busiest month this year was " + MonthName(busiest[0]) + " with " +
                          std::to_string(most) + " releases; their quietest, " +
                          MonthName(quietest[0]) + ", still brought " + std::to_string(fewest)));
  const std::vector<const Release*> images =
      Select([&](const Release& r) { return r.group == first.Group && r.year == Year && r.iso; });
  EXPECT_TRUE(Says(7, "their images average " +
                          N((Total(images) + static_cast<long>(images.size()) / 2) /
                            static_cast<long>(images.size())) +
                          " MB"));
  const Release* biggest = nullptr;
  for (const Release* r : Select(InYear(Year))) {
    if (r->iso && (biggest == nullptr || r->sizeMb > biggest->sizeMb)) biggest = r;
  }
  EXPECT_EQ(biggest->group, first.Group);
  EXPECT_TRUE(Says(7, biggest->title + ", " + N(biggest->sizeMb) + " MB in " +
                          std::to_string(biggest->files) + " files, released on " +
                          DayFirst(*biggest)));
  EXPECT_TRUE(Says(11, "the table holds " + std::to_string(now) + " releases from " +
                           std::to_string(year.size()) +
                           " groups. The year chart still belongs to " + first.Group + " (" +
                           std::to_string(first.Points) + " points)"));
}

// September's haul moved one group up the year chart past three others.
TEST(IssueFigures, TheYearChartAfterSeptember) {
  const std::vector<Standing> before = Chart(InYear(Year, Month - 1));
  const std::vector<Standing> after = Chart(InYear(Year, Month));
  // The biggest climber, and the groups it passed: each of them one place lower.
  std::string climber;
  int rise = 0;
  for (const Standing& s : after) {
    if (Place(before, s.Group) - Place(after, s.Group) > rise) {
      rise = Place(before, s.Group) - Place(after, s.Group);
      climber = s.Group;
    }
  }
  std::vector<std::string> passed;
  for (int place = Place(after, climber); place < Place(before, climber); ++place) {
    const std::string& group = before[static_cast<size_t>(place - 1)].Group;
    EXPECT_EQ(Place(after, group), place + 1) << group;
    passed.push_back(group);
  }
  ASSERT_EQ(passed.size(), 3u);
  EXPECT_TRUE(Says(11, climber + " moved up to " + OrdinalWord(Place(after, climber)) +
                           " for the year with September's haul, pushing " + passed[0] + ", " +
                           passed[1] + " and " + passed[2] + " back a place each"));
  // The year's only newcomer.
  std::string newcomer;
  int firstMonth = 13;
  for (const Standing& s : after) {
    const std::vector<const Release*> earlier =
        Select([&](const Release& r) { return r.group == s.Group && r.year < Year; });
    if (!earlier.empty()) continue;
    EXPECT_TRUE(newcomer.empty()) << s.Group;
    newcomer = s.Group;
    for (const Release* r : Select([&](const Release& r) { return r.group == s.Group; })) {
      firstMonth = std::min(firstMonth, r->month);
    }
  }
  EXPECT_TRUE(Says(11, newcomer + ", started in " + MonthName(firstMonth) + " and already sits " +
                           OrdinalWord(Place(after, newcomer))));
  EXPECT_TRUE(Says(5, newcomer + " are the only newcomers"));
  // A letter writer's group, by its doc packs and its place.
  const Standing& zinnober = Of(after, "ZINNOBER");
  EXPECT_TRUE(Says(14, Words(zinnober.Dox) + " doc packs this year and we are " +
                           OrdinalWord(Place(after, "ZINNOBER"))));
}

// --- the all-time pages --------------------------------------------------------------------

TEST(IssueFigures, AllTimeRecords) {
  const std::vector<const Release*> all = Select(All);
  long iso = 0, files = 0;
  std::set<std::string> groups;
  for (const Release* r : all) {
    iso += r->iso ? 1 : 0;
    files += r->files;
    groups.insert(r->group);
  }
  EXPECT_TRUE(Says(8, N(static_cast<long>(all.size())) + " releases by " +
                          std::to_string(groups.size()) + " groups: " + N(iso) + " images and " +
                          N(static_cast<long>(all.size()) - iso) + " doc packs, " + N(Total(all)) +
                          " MB in " + N(files) + " files"));
  EXPECT_TRUE(Says(13, "releases in the table " + N(static_cast<long>(all.size()))));

  // A group's month: the record, and the record before it.
  long most = 0;
  const auto groupMonths = CountBy<std::pair<int, std::string>>(
      All, [](const Release& r) { return std::make_pair(MonthKey(r), r.group); });
  const auto record = Busiest(groupMonths, most);
  ASSERT_EQ(record.size(), 1u);
  long previous = 0;
  std::pair<int, std::string> previousRecord;
  for (const auto& [key, n] : groupMonths) {
    if (key.first < record[0].first && n >= previous) previous = n, previousRecord = key;
  }
  EXPECT_TRUE(Says(8, "most releases in a month " + record[0].second + ", " + std::to_string(most) +
                          " in " + MonthName(record[0].first % 100) + " " +
                          std::to_string(record[0].first / 100) + ". The old record, " +
                          previousRecord.second + "'s " + std::to_string(previous) + " in " +
                          MonthName(previousRecord.first % 100) + " " +
                          std::to_string(previousRecord.first / 100) + ", lasted exactly " +
                          Words(record[0].first - previousRecord.first) + " months"));

  const auto groupDays = CountBy<std::pair<int, std::string>>(
      All, [](const Release& r) { return std::make_pair(MonthKey(r) * 100 + r.day, r.group); });
  const auto day = Busiest(groupDays, most);
  ASSERT_EQ(day.size(), 1u);
  EXPECT_TRUE(Says(8, "most releases in a day " + day[0].second + ", " + std::to_string(most) +
                          " on " + DayFirst(day[0].first)));

  auto perGroupYear = [](bool images) {
    return CountBy<std::pair<int, std::string>>(
        [=](const Release& r) { return r.iso == images; },
        [](const Release& r) { return std::make_pair(r.year, r.group); });
  };
  const auto imageYear = Busiest(perGroupYear(true), most);
  ASSERT_EQ(imageYear.size(), 1u);
  EXPECT_TRUE(Says(8, "most images in a year " + imageYear[0].second + ", " + std::to_string(most) +
                          " in " + std::to_string(imageYear[0].first)));
  const auto doxYear = Busiest(perGroupYear(false), most);
  ASSERT_EQ(doxYear.size(), 2u);
  EXPECT_TRUE(Says(8, "most doc packs in a year " + doxYear[0].second + " in " +
                          std::to_string(doxYear[0].first) + " and " + doxYear[1].second + " in " +
                          std::to_string(doxYear[1].first) + ", " + std::to_string(most) +
                          " each"));

  const auto days =
      Busiest(CountBy<int>(All, [](const Release& r) { return MonthKey(r) * 100 + r.day; }), most);
  ASSERT_EQ(days.size(), 2u);
  EXPECT_TRUE(Says(8, "busiest day of the scene " + DayFirst(days[0]) + " and " +
                          DayFirst(days[1]) + ", " + std::to_string(most) + " releases each"));
  const auto months = CountBy<int>(All, MonthKey);
  const auto busiestMonth = Busiest(months, most);
  ASSERT_EQ(busiestMonth.size(), 1u);
  EXPECT_TRUE(Says(8, "busiest month " + MonthName(busiestMonth[0] % 100) + " " +
                          std::to_string(busiestMonth[0] / 100) + ", " + std::to_string(most) +
                          " releases"));
  const auto quietest = Busiest(months, most, true);
  ASSERT_EQ(quietest.size(), 3u);
  ASSERT_EQ(quietest.front() / 100, quietest.back() / 100);
  EXPECT_TRUE(Says(8, "quietest months " + MonthName(quietest[0] % 100) + ", " +
                          MonthName(quietest[1] % 100) + " and " + MonthName(quietest[2] % 100) +
                          " " + std::to_string(quietest[0] / 100) + ", " + std::to_string(most) +
                          " releases each"));

  std::map<int, std::set<std::string>> groupsPerMonth;
  for (const Release* r : all) groupsPerMonth[MonthKey(*r)].insert(r->group);
  int fullest = 0;
  for (const auto& [key, g] : groupsPerMonth) {
    if (fullest == 0 || g.size() > groupsPerMonth[fullest].size()) fullest = key;
  }
  EXPECT_TRUE(Says(8, "most groups in a month " + MonthName(fullest % 100) + " " +
                          std::to_string(fullest / 100) + ", " +
                          std::to_string(groupsPerMonth[fullest].size()) + " groups"));

  const Release* largestDox = nullptr;
  const Release* smallest = nullptr;
  long smallestCount = 0;
  for (const Release* r : all) {
    if (!r->iso && (largestDox == nullptr || r->sizeMb > largestDox->sizeMb)) largestDox = r;
    if (smallest == nullptr || r->sizeMb < smallest->sizeMb ||
        (r->sizeMb == smallest->sizeMb &&
         MonthKey(*r) * 100 + r->day < MonthKey(*smallest) * 100 + smallest->day)) {
      smallest = r;
    }
  }
  for (const Release* r : all) smallestCount += r->sizeMb == smallest->sizeMb ? 1 : 0;
  EXPECT_TRUE(Says(8, "largest doc pack " + largestDox->title + "-" + largestDox->group + ", " +
                          std::to_string(largestDox->sizeMb) + " MB, " + DayFirst(*largestDox)));
  EXPECT_TRUE(Says(8, "smallest release " + smallest->title + "-" + smallest->group + ", " +
                          std::to_string(smallest->sizeMb) + " MB, " + DayFirst(*smallest) + ". " +
                          Words(smallestCount - 1) + " releases have matched it since"));

  // The longest run: a release in every month from the first month of the table.
  const auto kelvane =
      CountBy<int>([](const Release& r) { return r.group == "KELVANE"; }, MonthKey);
  const long tableMonths = static_cast<long>(months.size());
  EXPECT_EQ(static_cast<long>(kelvane.size()), tableMonths);
  EXPECT_EQ(kelvane.begin()->first, months.begin()->first);
  EXPECT_TRUE(Says(8, "a release in each of the " + std::to_string(tableMonths) + " months since " +
                          MonthName(months.begin()->first % 100) + " " +
                          std::to_string(months.begin()->first / 100)));
  EXPECT_TRUE(Says(7, Words(tableMonths) + " months in a row"));
}

TEST(IssueFigures, TheYearsOneByOne) {
  std::map<int, std::vector<const Release*>> byYear;
  for (const Release& r : Releases()) byYear[r.year].push_back(&r);
  std::map<int, long> dox, mb, groupCount;
  for (const auto& [year, list] : byYear) {
    std::set<std::string> groups;
    for (const Release* r : list) {
      dox[year] += r->iso ? 0 : 1;
      groups.insert(r->group);
    }
    mb[year] = Total(list);
    groupCount[year] = static_cast<long>(groups.size());
  }
  // 2007's doc packs were a record then, and a later year beat it.
  long before = 0, after = 0;
  for (const auto& [year, n] : dox) {
    if (year < 2007) before = std::max(before, n);
    if (year > 2007) after = std::max(after, n);
  }
  EXPECT_GT(dox[2007], before);
  EXPECT_GT(after, dox[2007]);
  EXPECT_TRUE(Says(9, std::to_string(byYear[2007].size()) + " releases, " +
                          Words(groupCount[2007]) + " groups and " + std::to_string(dox[2007]) +
                          " doc packs, a record at the time"));
  // 2009: the most releases, groups and megabytes of any year.
  for (const auto& [year, list] : byYear) {
    if (year == 2009) continue;
    EXPECT_LT(list.size(), byYear[2009].size()) << year;
    EXPECT_LE(groupCount[year], groupCount[2009]) << year;
    EXPECT_LT(mb[year], mb[2009]) << year;
  }
  EXPECT_TRUE(Says(9, "the record year: " + std::to_string(byYear[2009].size()) + " releases, " +
                          Words(groupCount[2009]) + " groups, " + N(mb[2009]) + " MB"));
  // 2006: the first year over half a million megabytes.
  EXPECT_GT(mb[2006], 500000);
  EXPECT_LT(mb[2005], 500000);
  EXPECT_TRUE(Says(9, "over half a million megabytes in a year for the first time"));
}

// --- the credits' own numbers --------------------------------------------------------------

TEST(IssueFigures, TheIssueInNumbers) {
  long lines = 0;
  std::set<char> colours;
  for (int d = 1; d <= MaxDocument; ++d) {
    for (const PageLine& line : PageLines(d)) {
      ++lines;
      for (size_t k = 0; k < line.Text.size(); ++k) {
        if (line.Text[k] != ' ') colours.insert(line.Colour[k]);
      }
    }
  }
  EXPECT_TRUE(Says(13, "lines of text on those pages " + N(lines)));
  EXPECT_TRUE(Says(13, "colours used " + std::to_string(colours.size()) + " all of them"));
  EXPECT_EQ(colours.size(), 30u);
}

}  // namespace
