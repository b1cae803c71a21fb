#pragma once
// The document compiler: turns the readable page sources (content/docs/NN.qmd) into the four
// content tables as generated C++ data. The parsing and the code generation are plain functions so
// the tests can feed them sources built in code.
#include <string>
#include <string_view>
#include <vector>

// One page line as the tables hold it: text bytes in code page 437, 80 colour characters, 80 style
// characters and a one-character rule.
struct CompiledLine {
  std::string Text;
  std::string Colour;
  std::string Style;
  char Rule = '0';
};

// A document: line 0 (blank) to the end marker, both included. Empty when the source is missing.
struct CompiledDocument {
  int Number = 0;
  std::string SourceName;  // file name shown in comments and messages, empty for a missing file
  std::vector<CompiledLine> Lines;
};

struct CompileError {
  std::string File;
  int Line = 0;    // 1-based source line
  int Column = 0;  // 1-based character position in the source line
  std::string Message;
};

constexpr int ContentMaxPageLines = 4998;  // page lines 1..4998, end marker at 4999 at most
constexpr int ContentDocumentCount = 20;

// Compiles the source of document `number` (1..20). On failure fills `error` and returns false;
// `out` is then left unspecified.
bool CompileDocumentSource(std::string_view source, const std::string& fileName, int number,
                           CompiledDocument& out, CompileError& error);

// The document that stands in for a source that does not exist yet: blank line 0, end marker at
// line 1.
CompiledDocument EmptyDocument(int number);

// The generated C++ source for documents 1..20 (`documents` holds exactly 20, in order).
std::string GenerateContentSource(const std::vector<CompiledDocument>& documents);

// "file:line:column: message"
std::string FormatCompileError(const CompileError& error);
