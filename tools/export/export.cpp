#include "tools/export/export.h"

#include <cstdio>
#include <filesystem>

#include "content/captions.h"
#include "content/content.h"
#include "render/text.h"
#include "tools/cli/cli.h"

namespace {

// Code page 437 in Unicode, with the graphic forms of the control codes (0x04 is the diamond the
// pages use as a bullet); 0x00 is written as a space.
constexpr std::string_view Cp437[256] = {
    " ", "☺", "☻",  "♥", "♦", "♣", "♠", "•", "◘", "○", "◙", "♂", "♀",  "♪", "♫", "☼",  // 0x00
    "►", "◄", "↕",  "‼", "¶", "§", "▬", "↨", "↑", "↓", "→", "←", "∟",  "↔", "▲", "▼",  // 0x10
    " ", "!", "\"", "#", "$", "%", "&", "'", "(", ")", "*", "+", ",",  "-", ".", "/",  // 0x20
    "0", "1", "2",  "3", "4", "5", "6", "7", "8", "9", ":", ";", "<",  "=", ">", "?",  // 0x30
    "@", "A", "B",  "C", "D", "E", "F", "G", "H", "I", "J", "K", "L",  "M", "N", "O",  // 0x40
    "P", "Q", "R",  "S", "T", "U", "V", "W", "X", "Y", "Z", "[", "\\", "]", "^", "_",  // 0x50
    "`", "a", "b",  "c", "d", "e", "f", "g", "h", "i", "j", "k", "l",  "m", "n", "o",  // 0x60
    "p", "q", "r",  "s", "t", "u", "v", "w", "x", "y", "z", "{", "|",  "}", "~", "⌂",  // 0x70
    "Ç", "ü", "é",  "â", "ä", "à", "å", "ç", "ê", "ë", "è", "ï", "î",  "ì", "Ä", "Å",  // 0x80
    "É", "æ", "Æ",  "ô", "ö", "ò", "û", "ù", "ÿ", "Ö", "Ü", "¢", "£",  "¥", "₧", "ƒ",  // 0x90
    "á", "í", "ó",  "ú", "ñ", "Ñ", "ª", "º", "¿", "⌐", "¬", "½", "¼",  "¡", "«", "»",  // 0xA0
    "░", "▒", "▓",  "│", "┤", "╡", "╢", "╖", "╕", "╣", "║", "╗", "╝",  "╜", "╛", "┐",  // 0xB0
    "└", "┴", "┬",  "├", "─", "┼", "╞", "╟", "╚", "╔", "╩", "╦", "╠",  "═", "╬", "╧",  // 0xC0
    "╨", "╤", "╥",  "╙", "╘", "╒", "╓", "╫", "╪", "┘", "┌", "█", "▄",  "▌", "▐", "▀",  // 0xD0
    "α", "ß", "Γ",  "π", "Σ", "σ", "µ", "τ", "Φ", "Θ", "Ω", "δ", "∞",  "φ", "ε", "∩",  // 0xE0
    "≡", "±", "≥",  "≤", "⌠", "⌡", "÷", "≈", "°", "∙", "·", "√", "ⁿ",  "²", "■", " ",  // 0xF0
};

// Page colour of a text colour code: the full stroke (palette level 6) in that colour.
std::string CssColour(int colour) {
  const uint32_t word = colour >= 1 && colour <= 30 ? ShadeWord(colour, 252, 254, 252) : 0;
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(word));
  return buf;
}

int ColourCode(char c) {
  if (c >= '1' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'V') return c - 'A' + 10;
  return 1;
}

std::string_view HtmlCharacter(unsigned char code) {
  switch (code) {
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '&':
      return "&amp;";
    default:
      return Cp437ToUtf8(code);
  }
}

std::string HtmlText(std::string_view text) {
  std::string out;
  for (const char c : text) out += HtmlCharacter(static_cast<unsigned char>(c));
  return out;
}

std::string DocumentName(int document) {
  char name[8];
  std::snprintf(name, sizeof name, "%02d", document);
  return name;
}

// The start of every exported page: the shared look (black page, the page text's colours, 80
// columns wide like the viewer) and the page's own style rules.
std::string HtmlHead(std::string_view title, std::string_view style) {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
         HtmlText(title) +
         "</title>\n<style>\n"
         "body { background: #000; color: #FCFEFC; margin: 2em; font-family: monospace; }\n"
         "nav, main { width: 80ch; }\n"
         "nav { display: flex; justify-content: space-between; gap: 2ch; padding: 0.5em 0; }\n"
         "a { color: #00FEFC; }\n"
         "a.text, .off { color: #A8A9A8; }\n"
         "h1 { font-size: 1em; color: #FCFE54; margin: 1em 0; }\n" +
         std::string(style) + "</style>\n</head>\n<body>\n";
}

// Links to the index and to the previous and next document, with their captions.
std::string NavigationBar(int document) {
  std::string out = "<nav aria-label=\"pages\">";
  if (document > 1) {
    out += "<a rel=\"prev\" href=\"" + DocumentName(document - 1) + ".html\">&lt; " +
           HtmlText(DocumentTitle(document - 1)) + "</a>";
  } else {
    out += "<span class=\"off\">first page</span>";
  }
  out += "<a href=\"index.html\">Contents</a>";
  if (document < MaxDocument) {
    out += "<a rel=\"next\" href=\"" + DocumentName(document + 1) + ".html\">" +
           HtmlText(DocumentTitle(document + 1)) + " &gt;</a>";
  } else {
    out += "<span class=\"off\">last page</span>";
  }
  return out + "</nav>\n";
}

}  // namespace

std::string_view Cp437ToUtf8(unsigned char code) {
  return Cp437[code];
}

int DocumentLineCount(int document) {
  int count = 4999;
  for (int line = 0; line <= 4999; ++line) {
    if (Content.ContentText[line][document].substr(0, 5) == "<END>") count = line;
  }
  return count;
}

std::string ExportDocumentText(int document) {
  std::string out;
  const int count = DocumentLineCount(document);
  for (int line = 1; line < count; ++line) {
    // The page shows 80 columns; anything past them is never seen.
    std::string_view text = Content.ContentText[line][document].substr(0, 80);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    for (const char c : text) out += Cp437ToUtf8(static_cast<unsigned char>(c));
    out += '\n';
  }
  return out;
}

std::string_view DocumentTitle(int document) {
  std::string_view caption = DocumentCaptions[document];
  if (caption.starts_with("> ")) caption.remove_prefix(2);
  return caption;
}

std::string ExportDocumentHtml(int document) {
  const int count = DocumentLineCount(document);
  // One style rule per colour code the page uses.
  bool used[32] = {};
  for (int line = 1; line < count; ++line) {
    const std::string_view colours = Content.ContentColour[line][document];
    const size_t columns = Content.ContentText[line][document].substr(0, 80).size();
    for (size_t k = 0; k < columns; ++k)
      used[ColourCode(k < colours.size() ? colours[k] : '1')] = true;
  }
  std::string style =
      ".page { line-height: 1.2; }\n"
      ".l { white-space: pre; min-height: 1.2em; }\n"
      ".s1 { font-weight: bold; }\n"
      ".r1, .r2, .r3, .r4, .r5, .r6, .r7, .r8 { background-repeat: no-repeat;"
      " background-position: left center; background-size: 100% 3px; }\n";
  for (int c = 1; c <= 31; ++c) {
    if (used[c]) style += ".c" + std::to_string(c) + " { color: " + CssColour(c) + "; }\n";
  }
  // The plain rules: a bright middle row between two dim rows.
  const char* const rules[8][2] = {{"", ""},
                                   {"#FFFFFF", "#888888"},
                                   {"#FF0000", "#880000"},
                                   {"#00FF00", "#008800"},
                                   {"#0000FF", "#000088"},
                                   {"#FFFF00", "#888800"},
                                   {"#00FFFF", "#008888"},
                                   {"#FF00FF", "#880088"}};
  for (int r = 1; r <= 7; ++r) {
    style += ".r" + std::to_string(r) + " { background-image: linear-gradient(" + rules[r][1] +
             " 33%, " + rules[r][0] + " 33%, " + rules[r][0] + " 67%, " + rules[r][1] +
             " 67%); }\n";
  }
  style +=
      ".r8 { background-image: linear-gradient(to right, #7DE3CA, #F0C04C, #E84F96, #5A5AF0,"
      " #4CE87A, #F0D050); }\n";

  const std::string title(DocumentTitle(document));
  std::string out = HtmlHead(title + " - THE QUELLMARK 47", style) + NavigationBar(document) +
                    "<main>\n<h1>" + HtmlText(title) + "</h1>\n<div class=\"page\">\n";
  for (int line = 1; line < count; ++line) {
    const std::string_view text = Content.ContentText[line][document].substr(0, 80);
    const std::string_view colours = Content.ContentColour[line][document];
    const std::string_view styles = Content.ContentStyle[line][document];
    const std::string_view rule = Content.ContentRule[line][document];
    out += "<div class=\"l";
    if (rule.size() == 1 && rule[0] >= '1' && rule[0] <= '8') out += std::string(" r") + rule[0];
    out += "\">";
    // Runs of the same colour and style become one span; a column whose style is neither 1 nor
    // 2 is not drawn on the page, so it is written as a blank.
    size_t k = 0;
    while (k < text.size()) {
      const int colour = ColourCode(k < colours.size() ? colours[k] : '1');
      const char style = k < styles.size() ? styles[k] : '0';
      size_t end = k + 1;
      while (end < text.size() && ColourCode(end < colours.size() ? colours[end] : '1') == colour &&
             (end < styles.size() ? styles[end] : '0') == style) {
        ++end;
      }
      const bool drawn = style == '1' || style == '2';
      std::string run;
      for (size_t i = k; i < end; ++i) {
        run += drawn ? HtmlCharacter(static_cast<unsigned char>(text[i])) : " ";
      }
      // Blanks show no colour, so they need no span.
      if (run.find_first_not_of(' ') == std::string::npos) {
        out += run;
      } else {
        out += "<span class=\"c" + std::to_string(colour) + (style == '1' ? " s1" : "") + "\">" +
               run + "</span>";
      }
      k = end;
    }
    out += "</div>\n";
  }
  out += "</div>\n</main>\n" + NavigationBar(document) + "</body>\n</html>\n";
  return out;
}

std::string ExportIndexHtml() {
  std::string out = HtmlHead("THE QUELLMARK 47", "li { margin: 0.2em 0; }\n") +
                    "<main>\n<h1>THE QUELLMARK</h1>\n"
                    "<p>Issue number 47, released 17-10-2010</p>\n<ol>\n";
  for (int d = 1; d <= MaxDocument; ++d) {
    const std::string name = DocumentName(d);
    out += "<li><a href=\"" + name + ".html\">" + HtmlText(DocumentTitle(d)) + "</a> (" +
           std::to_string(DocumentLineCount(d) - 1) + " lines, <a class=\"text\" href=\"" + name +
           ".txt\">text</a>)</li>\n";
  }
  out += "</ol>\n</main>\n</body>\n</html>\n";
  return out;
}

bool ExportIssue(const std::string& dir, bool force, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(dir, ec);
  if (fs::exists(status)) {
    if (!fs::is_directory(status)) {
      error = dir + ": not a folder";
      return false;
    }
    if (!force && !fs::is_empty(dir, ec)) {
      error = dir + ": the folder is not empty (--force writes into it all the same)";
      return false;
    }
  } else if (!fs::create_directories(dir, ec) && ec) {
    error = dir + ": cannot create the folder: " + ec.message();
    return false;
  }
  if (ec) {
    error = dir + ": " + ec.message();
    return false;
  }
  ClearContent();
  FillContent();
  auto write = [&](const std::string& name, const std::string& text) {
    const std::string path = (fs::path(dir) / name).string();
    std::string reason;
    if (CliWriteWholeFile(path, text, &reason)) return true;
    error = path + ": " + reason;
    return false;
  };
  for (int d = 1; d <= MaxDocument; ++d) {
    const std::string name = DocumentName(d);
    if (!write(name + ".txt", ExportDocumentText(d)) ||
        !write(name + ".html", ExportDocumentHtml(d))) {
      return false;
    }
  }
  return write("index.html", ExportIndexHtml());
}
