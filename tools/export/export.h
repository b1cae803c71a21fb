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
// The document as a stand-alone HTML page.
std::string ExportDocumentHtml(int document);
// Fills the content store and writes NN.txt, NN.html (NN = 01..20) and index.html into `dir`,
// creating it if needed. Returns false (with `error` set) if a file cannot be written.
bool ExportIssue(const std::string& dir, std::string& error);
