#include "content/content.h"

#include "content/content_data.h"

ContentStore Content;

void ClearContent() {
  // The store is several megabytes, and the documents reach barely a third of its lines: only
  // entries that are not already empty are written, so the pages of a store that is still all
  // zero bytes (as at start-up) are only read and never become resident.
  for (auto* table : {&Content.ContentText, &Content.ContentColour, &Content.ContentStyle,
                      &Content.ContentRule}) {
    std::string_view* const first = &(*table)[0][0];
    for (std::string_view* e = first; e != first + (MaxLine + 1) * (MaxDocument + 1); ++e) {
      if (e->data() != nullptr || !e->empty()) *e = std::string_view();
    }
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
