#pragma once
// Writes the issue's documents out of the content store: each as UTF-8 text (code page 437 mapped
// to Unicode) and as an HTML page that keeps the colours, styles and rules.
#include <string>
#include <string_view>

// UTF-8 for one code page 437 byte.
std::string_view Cp437ToUtf8(unsigned char code);
// The document's line count: the line of its end marker, 4999 if it has none (as the viewer).
int DocumentLineCount(int document);
// Lines 1 .. count - 1 of the document as UTF-8 text, one per line, trailing blanks removed.
std::string ExportDocumentText(int document);
// The document's caption without the menu's "> " mark, e.g. "Monthly Chart".
std::string_view DocumentTitle(int document);
// The document as a stand-alone HTML page, titled by its caption, with links to the contents
// and to the previous and next document.
std::string ExportDocumentHtml(int document);
// The contents page: every document by its caption, with its HTML and text files.
std::string ExportIndexHtml();
// Fills the content store and writes NN.txt, NN.html (NN = 01..20) and index.html into `dir`,
// creating it if needed. A folder that already holds something is refused unless `force` is set.
// Every file appears only when complete. Returns false with `error` set ("PATH: reason").
bool ExportIssue(const std::string& dir, bool force, std::string& error);
