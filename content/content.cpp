#include "content/content.h"

#include <algorithm>

#include "content/content_data.h"

ContentStore Content;

void ClearContent() {
  // The store is several megabytes: clear it in place rather than through a temporary.
  for (auto* table : {&Content.ContentText, &Content.ContentColour, &Content.ContentStyle,
                      &Content.ContentRule}) {
    std::fill(&(*table)[0][0], &(*table)[0][0] + (MaxLine + 1) * (MaxDocument + 1),
              std::string_view());
  }
}

void FillContent() {
  for (int d = 1; d <= MaxDocument; ++d) {
    const ContentDocumentRows& doc = IssueDocuments[d];
    for (int line = 0; line < doc.Count && line <= MaxLine; ++line) {
      const ContentRow& row = doc.Rows[line];
      Content.ContentText[line][d] = row.Text;
      Content.ContentColour[line][d] = row.Colour;
      Content.ContentStyle[line][d] = row.Style;
      Content.ContentRule[line][d] = row.Rule;
    }
  }
}
