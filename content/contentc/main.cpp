// contentc OUTPUT.cpp DOCS_DIR
// Compiles content/docs/01.qmd .. 20.qmd into the content tables' generated source. A document
// whose source does not exist yet compiles as an empty page. Any refusal prints
// "file:line:column: message", writes nothing and exits with status 1, so the build stops.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "content/contentc/contentc.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: contentc OUTPUT.cpp DOCS_DIR\n";
    return 2;
  }
  const fs::path output = argv[1];
  const fs::path docs = argv[2];

  // A .qmd file that no document number claims is a mistake (a typo in a name would otherwise
  // leave its document silently empty).
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(docs, ec)) {
    const fs::path& p = entry.path();
    if (p.extension() != ".qmd") continue;
    const std::string stem = p.stem().string();
    const bool numbered = stem.size() == 2 && std::isdigit(static_cast<unsigned char>(stem[0])) &&
                          std::isdigit(static_cast<unsigned char>(stem[1])) &&
                          std::stoi(stem) >= 1 && std::stoi(stem) <= ContentDocumentCount;
    if (!numbered) {
      std::cerr << p.string() << ":1:1: not a document name (01.qmd .. 20.qmd)\n";
      return 1;
    }
  }

  std::vector<CompiledDocument> documents;
  for (int number = 1; number <= ContentDocumentCount; ++number) {
    char name[16];
    std::snprintf(name, sizeof name, "%02d.qmd", number);
    const fs::path path = docs / name;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      documents.push_back(EmptyDocument(number));
      continue;
    }
    std::ostringstream text;
    text << in.rdbuf();
    CompiledDocument doc;
    CompileError error;
    if (!CompileDocumentSource(text.str(), path.string(), number, doc, error)) {
      std::cerr << FormatCompileError(error) << "\n";
      return 1;
    }
    doc.SourceName = std::string("content/docs/") + name;
    documents.push_back(std::move(doc));
  }

  // Write beside the target and rename, so a failed or interrupted run never leaves a half table.
  const fs::path temp = output.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << GenerateContentSource(documents);
    if (!out) {
      std::cerr << temp.string() << ": cannot write\n";
      return 1;
    }
  }
  fs::rename(temp, output, ec);
  if (ec) {
    std::cerr << output.string() << ": " << ec.message() << "\n";
    return 1;
  }
  return 0;
}
