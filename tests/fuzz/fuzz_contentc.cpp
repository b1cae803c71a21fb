// libFuzzer target for the document compiler: the first byte picks the document number (1..20),
// the rest is its source. A source that compiles is generated into the content tables' C++ with
// the other nineteen documents empty, and every compiled line must have the shape the tables
// need; a refusal must name a position inside the source.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "content/contentc/contentc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int number = data[0] % ContentDocumentCount + 1;
  const std::string_view source(reinterpret_cast<const char*>(data + 1), size - 1);
  CompiledDocument doc;
  CompileError error;
  if (!CompileDocumentSource(source, "fuzz.qmd", number, doc, error)) {
    if (error.Line < 1 || error.Column < 1 || FormatCompileError(error).empty()) std::abort();
    return 0;
  }
  if (doc.Lines.size() < 2 || doc.Lines.size() > ContentMaxPageLines + 2) std::abort();
  for (const CompiledLine& line : doc.Lines) {
    if (line.Text.size() > 80 || line.Colour.size() != 80 || line.Style.size() != 80) std::abort();
  }
  std::vector<CompiledDocument> documents;
  for (int n = 1; n <= ContentDocumentCount; ++n) {
    documents.push_back(n == number ? doc : EmptyDocument(n));
  }
  if (GenerateContentSource(documents).empty()) std::abort();
  return 0;
}
