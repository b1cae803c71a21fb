#pragma once
// The content store: four tables of strings, [line 0..MaxLine][document 0..MaxDocument], that hold
// every document of the issue: the text of each line (code page 437 bytes), 80 colour-code
// characters, 80 style characters and the one-character rule code. Document 0 is never filled;
// every entry the issue does not fill is the empty string. The entries point into the program's
// built-in document data, so they stay valid for the whole run.
#include <string_view>

constexpr int MaxLine = 5000;
constexpr int MaxDocument = 20;
// The documents the program opens by number: the editorial at start, Help and Rules from their
// buttons.
constexpr int DocumentHelp = 10;
constexpr int DocumentEditorial = 11;
constexpr int DocumentRules = 12;

struct ContentStore {
  std::string_view ContentText[MaxLine + 1][MaxDocument + 1];
  std::string_view ContentColour[MaxLine + 1][MaxDocument + 1];
  std::string_view ContentStyle[MaxLine + 1][MaxDocument + 1];
  std::string_view ContentRule[MaxLine + 1][MaxDocument + 1];
};

extern ContentStore Content;

// Sets every entry of the four tables to the empty string.
void ClearContent();
// Fills the tables with the 20 documents: one assignment per entry, documents 1..20 in
// order, line by line, each line's text, colour, style and rule.
void FillContent();
