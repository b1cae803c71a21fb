// The document compiler: what a source line becomes in the tables, and every refusal with the
// position it names.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "content/contentc/contentc.h"

namespace {

struct Result {
  bool Ok;
  CompiledDocument Doc;
  CompileError Error;
};

Result Compile(const std::string& source, int number = 1) {
  Result r;
  r.Ok = CompileDocumentSource(source, "t.qmd", number, r.Doc, r.Error);
  return r;
}

std::string Repeat(char c, size_t n) {
  return std::string(n, c);
}

TEST(ContentCompiler, DirectivesSpansAndEscapes) {
  // Line 1: defaults colour 1 style 1. "@colour"/"@style" change following lines only; "@rule"
  // only the next page line. A span takes its own colour, and the line style unless it names one.
  const Result r = Compile(
      "ab\n"
      "@colour T\n"
      "@style 2\n"
      "@rule 4\n"
      "x{4|re}y{G,1|c}\n"
      "@@at {{b}} z\r\n"
      "\n"
      "┌─┐│└┘═║╔╗╚╝░▒▓█▄▀▌▐·■♦\n");
  ASSERT_TRUE(r.Ok) << FormatCompileError(r.Error);
  ASSERT_EQ(r.Doc.Lines.size(), 7u);
  EXPECT_EQ(r.Doc.Lines[1].Colour, Repeat('1', 80));
  EXPECT_EQ(r.Doc.Lines[1].Rule, '0');
  const CompiledLine& b = r.Doc.Lines[2];
  EXPECT_EQ(b.Text, "xreyc");
  EXPECT_EQ(b.Colour, "T44TG" + Repeat('T', 75));
  EXPECT_EQ(b.Style, "22221" + Repeat('2', 75));
  EXPECT_EQ(b.Rule, '4');
  const CompiledLine& c = r.Doc.Lines[3];
  EXPECT_EQ(c.Text, "@at {b} z");  // "@@" is a literal '@', the CR of a CRLF file is dropped
  EXPECT_EQ(c.Rule, '0');
  EXPECT_EQ(r.Doc.Lines[4].Text, "");  // an empty source line is a blank page line
  EXPECT_EQ(r.Doc.Lines[4].Colour, Repeat('T', 80));
  // Box and block characters map to code page 437.
  EXPECT_EQ(r.Doc.Lines[5].Text,
            "\xDA\xC4\xBF\xB3\xC0\xD9\xCD\xBA\xC9\xBB\xC8\xBC\xB0\xB1\xB2\xDB\xDC\xDF"
            "\xDD\xDE\xFA\xFE\x04");
}

// Every refusal names the file, the line and the column (both 1-based) and what is wrong.
TEST(ContentCompiler, RefusesWithThePositionOfTheFault) {
  std::string boxes, most;
  for (int i = 0; i < 81; ++i) boxes += "─";  // three UTF-8 bytes, one column each
  for (int i = 0; i < ContentMaxPageLines; ++i) most += "x\n";
  const struct {
    std::string Source;
    int Line, Column;
    const char* Words;
  } rows[] = {
      {"ok\n" + Repeat('x', 81), 2, 81, "longer than 80"},
      {boxes, 1, 81, "longer than 80"},
      {"{4|" + Repeat('x', 81) + "}", 1, 84, "longer than 80"},  // the source column
      {"@colour W", 1, 9, "colour"},
      {"@colour", 1, 9, "colour"},  // where the code should stand
      {"x\n@style 3", 2, 8, "style"},
      {"@rule 9\nx", 1, 7, "rule"},
      {"ab{W|x}", 1, 4, "colour"},
      {"{4,3|x}", 1, 4, "style"},
      {"{4x}", 1, 3, "'|'"},
      {"@include x", 1, 1, "directive"},
      {"abc\tdef", 1, 4, "U+0009"},
      {"naïve", 1, 3, "U+00EF"},
      {"ab\xC3", 1, 3, "UTF-8"},          // truncated sequence
      {"ab\xED\xA0\x80", 1, 3, "UTF-8"},  // surrogate
      {"ab {4|open", 1, 4, "unterminated"},
      {"{4|a{5|b}}", 1, 5, "nest"},
      {"a}b", 1, 2, "'}'"},
      {"x\n<END>", 2, 1, "<END>"},
      {"x\n@rule 2\n@rule 4\ny", 3, 1, "two rules"},
      {"x\n@rule 2\n", 2, 1, "no page line"},
      {most + "@colour 2\ny", ContentMaxPageLines + 2, 1, "4998"},
  };
  for (const auto& row : rows) {
    const Result r = Compile(row.Source);
    const std::string where = row.Source.substr(0, 40);
    ASSERT_FALSE(r.Ok) << where;
    EXPECT_EQ(std::tuple(r.Error.File, r.Error.Line, r.Error.Column),
              std::tuple("t.qmd", row.Line, row.Column))
        << where << ": " << r.Error.Message;
    EXPECT_NE(r.Error.Message.find(row.Words), std::string::npos)
        << where << ": " << r.Error.Message;
  }
  // The largest that fits: 80 columns, <END> inside a line, the most page lines.
  for (const std::string& fits :
       {Repeat('x', 80), "{4|" + Repeat('x', 80) + "}", std::string("x <END>"), most})
    EXPECT_TRUE(Compile(fits).Ok) << fits.substr(0, 40);
  EXPECT_EQ(Compile(most).Doc.Lines.size(), 5000u);  // end marker at line 4999
}

}  // namespace
