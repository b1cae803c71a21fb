#include "content/contentc/contentc.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

// The characters beyond 7-bit ASCII that a page may hold, as Unicode code point and CP437 byte.
struct BoxCharacter {
  char32_t CodePoint;
  unsigned char Code;
};
constexpr BoxCharacter BoxCharacters[] = {
    {U'\u2500', 0xC4}, {U'\u2502', 0xB3}, {U'\u250C', 0xDA}, {U'\u2510', 0xBF}, {U'\u2514', 0xC0},
    {U'\u2518', 0xD9}, {U'\u2550', 0xCD}, {U'\u2551', 0xBA}, {U'\u2554', 0xC9}, {U'\u2557', 0xBB},
    {U'\u255A', 0xC8}, {U'\u255D', 0xBC}, {U'\u2591', 0xB0}, {U'\u2592', 0xB1}, {U'\u2593', 0xB2},
    {U'\u2588', 0xDB}, {U'\u2584', 0xDC}, {U'\u2580', 0xDF}, {U'\u258C', 0xDD}, {U'\u2590', 0xDE},
    {U'\u00B7', 0xFA}, {U'\u25A0', 0xFE}, {U'\u2666', 0x04},
};

bool IsColourCode(char32_t c) {
  return (c >= U'1' && c <= U'9') || (c >= U'A' && c <= U'V');
}
bool IsStyleCode(char32_t c) {
  return c == U'1' || c == U'2';
}
bool IsRuleCode(char32_t c) {
  return c >= U'0' && c <= U'8';
}

// One source line decoded into code points, with a flag for bytes that are not valid UTF-8.
struct DecodedLine {
  std::u32string Chars;
  int BadColumn = 0;  // 1-based column of the first malformed sequence, 0 if none
};

DecodedLine DecodeUtf8(std::string_view line) {
  DecodedLine out;
  size_t i = 0;
  while (i < line.size()) {
    const auto b = static_cast<unsigned char>(line[i]);
    int extra = 0;
    char32_t cp = 0;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07;
    } else {
      out.BadColumn = static_cast<int>(out.Chars.size()) + 1;
      return out;
    }
    if (i + extra >= line.size() && extra > 0) {
      out.BadColumn = static_cast<int>(out.Chars.size()) + 1;
      return out;
    }
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(line[i + k]);
      if ((c & 0xC0) != 0x80) {
        out.BadColumn = static_cast<int>(out.Chars.size()) + 1;
        return out;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms and surrogates are not UTF-8.
    const char32_t minimum = extra == 1 ? 0x80 : extra == 2 ? 0x800 : extra == 3 ? 0x10000 : 0;
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.BadColumn = static_cast<int>(out.Chars.size()) + 1;
      return out;
    }
    out.Chars.push_back(cp);
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

// CP437 byte for a page character, or -1 if the page may not hold it.
int PageByte(char32_t c) {
  if (c >= 0x20 && c < 0x7F) return static_cast<int>(c);
  for (const BoxCharacter& box : BoxCharacters) {
    if (box.CodePoint == c) return box.Code;
  }
  return -1;
}

std::string Describe(char32_t c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
  return buf;
}

struct Parser {
  const std::string& File;
  CompileError& Error;
  int LineNumber = 0;

  bool Fail(int column, std::string message) {
    Error.File = File;
    Error.Line = LineNumber;
    Error.Column = column;
    Error.Message = std::move(message);
    return false;
  }

  // Appends one page character in the given colour and style; refuses the 81st column.
  bool Put(CompiledLine& line, char32_t c, int column, char colour, char style) {
    const int code = PageByte(c);
    if (code < 0) return Fail(column, "character " + Describe(c) + " is not in the page set");
    if (line.Text.size() >= 80) return Fail(column, "text is longer than 80 columns");
    line.Colour[line.Text.size()] = colour;
    line.Style[line.Text.size()] = style;
    line.Text.push_back(static_cast<char>(code));
    return true;
  }

  // Parses one page line (after any leading "@@" has been turned into "@").
  bool PageLine(const std::u32string& s, size_t start, char colour, char style, char rule,
                CompiledLine& out) {
    out.Text.clear();
    out.Colour.assign(80, colour);
    out.Style.assign(80, style);
    out.Rule = rule;
    size_t i = start;
    if (start > 0) {
      if (!Put(out, U'@', 1, colour, style)) return false;
    }
    while (i < s.size()) {
      const char32_t c = s[i];
      const int column = static_cast<int>(i) + 1;
      if (c == U'{' && i + 1 < s.size() && s[i + 1] == U'{') {
        if (!Put(out, U'{', column, colour, style)) return false;
        i += 2;
      } else if (c == U'}' && i + 1 < s.size() && s[i + 1] == U'}') {
        if (!Put(out, U'}', column, colour, style)) return false;
        i += 2;
      } else if (c == U'}') {
        return Fail(column, "'}' without a span to close (write '}}' for a brace)");
      } else if (c == U'{') {
        if (!Span(s, i, style, out)) return false;
      } else {
        if (!Put(out, c, column, colour, style)) return false;
        ++i;
      }
    }
    if (out.Text.compare(0, 5, "<END>") == 0) {
      return Fail(1, "a page line may not begin with \"<END>\" (it marks the end of a document)");
    }
    return true;
  }

  // A span "{C|text}" or "{C,S|text}" starting at s[i] == '{'; leaves i after the closing brace.
  bool Span(const std::u32string& s, size_t& i, char lineStyle, CompiledLine& out) {
    const int open = static_cast<int>(i) + 1;
    size_t p = i + 1;
    if (p >= s.size() || !IsColourCode(s[p])) {
      return Fail(static_cast<int>(p) + 1, "unknown colour code in span (1-9, A-V)");
    }
    const char colour = static_cast<char>(s[p]);
    char style = 0;
    ++p;
    if (p < s.size() && s[p] == U',') {
      ++p;
      if (p >= s.size() || !IsStyleCode(s[p])) {
        return Fail(static_cast<int>(p) + 1, "unknown style code in span (1 or 2)");
      }
      style = static_cast<char>(s[p]);
      ++p;
    }
    if (p >= s.size() || s[p] != U'|') {
      return Fail(static_cast<int>(p) + 1, "expected '|' after the span's codes");
    }
    ++p;
    // Columns of a span without a style keep the line's default style.
    const char spanStyle = style != 0 ? style : lineStyle;
    while (p < s.size()) {
      const char32_t c = s[p];
      const int column = static_cast<int>(p) + 1;
      if (c == U'}' && p + 1 < s.size() && s[p + 1] == U'}') {
        if (!Put(out, U'}', column, colour, spanStyle)) return false;
        p += 2;
      } else if (c == U'}') {
        i = p + 1;
        return true;
      } else if (c == U'{' && p + 1 < s.size() && s[p + 1] == U'{') {
        if (!Put(out, U'{', column, colour, spanStyle)) return false;
        p += 2;
      } else if (c == U'{') {
        return Fail(column, "spans do not nest (write '{{' for a brace)");
      } else {
        if (!Put(out, c, column, colour, spanStyle)) return false;
        ++p;
      }
    }
    return Fail(open, "unterminated span");
  }
};

CompiledLine BlankLine(char rule) {
  return CompiledLine{"", std::string(80, '1'), std::string(80, '1'), rule};
}

CompiledLine EndMarker(char rule) {
  return CompiledLine{"<END>", std::string(80, '1'), std::string(80, '1'), rule};
}

// Document 20 draws the moving rule through its blank first line and its end marker.
char FrameRule(int number) {
  return number == 20 ? '8' : '0';
}

// A C++ string literal for CP437 bytes: bytes of 0x80 and above and the control byte as octal
// escapes (a hex escape would swallow following hex digits).
std::string Literal(std::string_view bytes) {
  std::string out = "\"";
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b == '"' || b == '\\') {
      out += '\\';
      out += ch;
    } else if (b < 0x20 || b >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\%03o", b);
      out += buf;
    } else if (b == '?') {
      out += "\\?";  // keeps "??x" from reading as a trigraph in any compiler mode
    } else {
      out += ch;
    }
  }
  out += '"';
  return out;
}

}  // namespace

bool CompileDocumentSource(std::string_view source, const std::string& fileName, int number,
                           CompiledDocument& out, CompileError& error) {
  Parser parser{fileName, error};
  out.Number = number;
  out.SourceName = fileName;
  out.Lines.clear();
  out.Lines.push_back(BlankLine(FrameRule(number)));

  char colour = '1';
  char style = '1';
  char pendingRule = 0;
  int pendingRuleLine = 0;
  size_t pos = 0;
  while (pos < source.size()) {
    size_t end = source.find('\n', pos);
    if (end == std::string_view::npos) end = source.size();
    std::string_view raw = source.substr(pos, end - pos);
    pos = end + 1;
    ++parser.LineNumber;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

    const DecodedLine decoded = DecodeUtf8(raw);
    if (decoded.BadColumn != 0) return parser.Fail(decoded.BadColumn, "malformed UTF-8");
    const std::u32string& s = decoded.Chars;

    if (!s.empty() && s[0] == U'@' && !(s.size() > 1 && s[1] == U'@')) {
      // A directive: "@colour C", "@style S" or "@rule R".
      const std::u32string word = s.substr(0, s.find(U' '));
      const size_t argAt = word.size() + 1;
      const bool oneArg = s.size() == argAt + 1 && s[word.size()] == U' ';
      const char32_t arg = oneArg ? s[argAt] : 0;
      if (word == U"@colour") {
        if (!oneArg || !IsColourCode(arg)) {
          return parser.Fail(static_cast<int>(argAt) + 1, "unknown colour code (1-9, A-V)");
        }
        colour = static_cast<char>(arg);
      } else if (word == U"@style") {
        if (!oneArg || !IsStyleCode(arg)) {
          return parser.Fail(static_cast<int>(argAt) + 1, "unknown style code (1 or 2)");
        }
        style = static_cast<char>(arg);
      } else if (word == U"@rule") {
        if (!oneArg || !IsRuleCode(arg)) {
          return parser.Fail(static_cast<int>(argAt) + 1, "unknown rule code (0-8)");
        }
        if (pendingRule != 0) return parser.Fail(1, "two rules for the same page line");
        pendingRule = static_cast<char>(arg);
        pendingRuleLine = parser.LineNumber;
      } else {
        return parser.Fail(1, "unknown directive (@colour, @style, @rule; '@@' for a literal '@')");
      }
      continue;
    }

    if (static_cast<int>(out.Lines.size()) > ContentMaxPageLines) {
      return parser.Fail(1, "more than 4998 page lines");
    }
    CompiledLine line;
    const size_t start = (!s.empty() && s[0] == U'@') ? 2 : 0;
    if (!parser.PageLine(s, start, colour, style, pendingRule != 0 ? pendingRule : '0', line)) {
      return false;
    }
    pendingRule = 0;
    out.Lines.push_back(std::move(line));
  }
  if (pendingRule != 0) {
    parser.LineNumber = pendingRuleLine;
    return parser.Fail(1, "rule with no page line after it");
  }
  out.Lines.push_back(EndMarker(FrameRule(number)));
  return true;
}

CompiledDocument EmptyDocument(int number) {
  CompiledDocument doc;
  doc.Number = number;
  doc.Lines.push_back(BlankLine(FrameRule(number)));
  doc.Lines.push_back(EndMarker(FrameRule(number)));
  return doc;
}

std::string GenerateContentSource(const std::vector<CompiledDocument>& documents) {
  std::string out;
  out += "// Generated by contentc from content/docs/*.qmd; do not edit.\n";
  out += "// One row per page line: text, colour codes, style codes, rule.\n";
  out += "#include \"content/content_data.h\"\n\nnamespace {\n\n";
  for (const CompiledDocument& doc : documents) {
    char name[64];
    std::snprintf(name, sizeof name, "Document%02d", doc.Number);
    out += "// Document " + std::to_string(doc.Number) + ": ";
    out += doc.SourceName.empty() ? std::string("no source yet, empty") : doc.SourceName;
    const size_t count = doc.Lines.size() - 1;
    out += ", " + std::to_string(count) + (count == 1 ? " line.\n" : " lines.\n");
    out += std::string("constexpr ContentRow ") + name + "[] = {\n";
    size_t width = 0;
    std::vector<std::string> texts;
    for (const CompiledLine& line : doc.Lines) {
      texts.push_back(Literal(line.Text) + ",");
      width = std::max(width, texts.back().size());
    }
    for (size_t i = 0; i < doc.Lines.size(); ++i) {
      const CompiledLine& line = doc.Lines[i];
      char tag[64];
      std::snprintf(tag, sizeof tag, "    /* %02d:%04zu */ {", doc.Number, i);
      out += tag;
      out += texts[i];
      out += std::string(width - texts[i].size() + 1, ' ');
      out += Literal(line.Colour) + ", " + Literal(line.Style) + ", \"" + line.Rule + "\"},\n";
    }
    out += "};\n\n";
  }
  out += "}  // namespace\n\n";
  out += "const ContentDocumentRows IssueDocuments[21] = {\n    {nullptr, 0},\n";
  for (const CompiledDocument& doc : documents) {
    char row[64];
    std::snprintf(row, sizeof row, "    {Document%02d, %zu},\n", doc.Number, doc.Lines.size());
    out += row;
  }
  out += "};\n";
  return out;
}

std::string FormatCompileError(const CompileError& error) {
  return error.File + ":" + std::to_string(error.Line) + ":" + std::to_string(error.Column) + ": " +
         error.Message;
}
