#pragma once
// statsgen: turns the table of invented releases (content/data/releases.csv) into the page source
// of the "Group Release Stats" document (content/docs/04.qmd).

#include <string>
#include <string_view>
#include <vector>

struct Release {
  std::string group;  // upper-case letters and digits
  int year = 0;
  int month = 0;
  int day = 0;
  bool iso = false;  // true: disk image, false: documentation pack
  std::string title;
  long sizeMb = 0;
  long files = 0;
};

struct ReleaseTable {
  bool ok = false;
  std::string error;  // "LINE:COLUMN: message" when ok is false
  std::vector<Release> releases;
};

// Parses the whole CSV text. The first line must be the header
// "group,date,type,title,size_mb,files"; every later line one release. The first fault ends the
// parse with its line and column (both 1-based).
ReleaseTable ParseReleases(std::string_view csv);

struct StatsPage {
  bool ok = false;
  std::string error;
  std::string text;  // the page source, one page line or directive per line, '\n' after each
};

// Renders the per-group statistics page. Fails (naming the line) rather than emit a page line
// wider than 80 columns.
StatsPage RenderGroupStats(const std::vector<Release>& releases);

// Reads csvPath, renders and writes outPath. Returns an empty string on success, else a message
// that starts with the offending file's name.
std::string GenerateStatsFile(const std::string& csvPath, const std::string& outPath);
