#pragma once
// The documents as the content tests read them: the page lines of each document (line 1
// up to the end marker, not included), text and colour codes side by side.
#include <string>
#include <string_view>
#include <vector>

#include "content/content.h"

struct PageLine {
  int Number = 0;  // line index in the content tables
  std::string_view Text;
  std::string_view Colour;
  char Rule = '0';
};

// Fills the content store with the issue (other tests put their own lines in it) and returns the
// page lines of document d.
inline std::vector<PageLine> PageLines(int d) {
  ClearContent();
  FillContent();
  std::vector<PageLine> lines;
  for (int line = 1; line < MaxLine && Content.ContentText[line][d].substr(0, 5) != "<END>";
       ++line) {
    lines.push_back({line, Content.ContentText[line][d], Content.ContentColour[line][d],
                     Content.ContentRule[line][d].empty() ? '0' : Content.ContentRule[line][d][0]});
  }
  return lines;
}

// Where a finding is: "document 8 line 174".
inline std::string Where(int d, int line) {
  return "document " + std::to_string(d) + " line " + std::to_string(line);
}
