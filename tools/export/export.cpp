#include "tools/export/export.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "content/content.h"
#include "render/text.h"

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

bool WriteFile(const std::filesystem::path& path, const std::string& text, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) {
    error = "cannot write " + path.string();
    return false;
  }
  return true;
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

std::string ExportDocumentHtml(int document) {
  char title[64];
  std::snprintf(title, sizeof title, "THE QUELLMARK 47: page %02d", document);
  std::string out = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" +
                    std::string(title) +
                    "</title>\n<style>\n"
                    "body { background: #000; color: #FCFEFC; margin: 2em; }\n"
                    ".page { font-family: monospace; line-height: 1.2; }\n"
                    ".l { white-space: pre; min-height: 1.2em; }\n"
                    ".s1 { font-weight: bold; }\n"
                    ".r1, .r2, .r3, .r4, .r5, .r6, .r7, .r8 { background-repeat: no-repeat;"
                    " background-position: left center; background-size: 100% 3px; }\n";
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
    out += ".r" + std::to_string(r) + " { background-image: linear-gradient(" + rules[r][1] +
           " 33%, " + rules[r][0] + " 33%, " + rules[r][0] + " 67%, " + rules[r][1] + " 67%); }\n";
  }
  out +=
      ".r8 { background-image: linear-gradient(to right, #7DE3CA, #F0C04C, #E84F96, #5A5AF0,"
      " #4CE87A, #F0D050); }\n"
      "</style></head>\n<body><div class=\"page\">\n";
  const int count = DocumentLineCount(document);
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
      out += "<span";
      if (style == '1') out += " class=\"s1\"";
      out += " style=\"color:" + CssColour(colour) + "\">";
      for (size_t i = k; i < end; ++i) {
        out += drawn ? HtmlCharacter(static_cast<unsigned char>(text[i])) : " ";
      }
      out += "</span>";
      k = end;
    }
    out += "</div>\n";
  }
  out += "</div></body></html>\n";
  return out;
}

bool ExportIssue(const std::string& dir, std::string& error) {
  namespace fs = std::filesystem;
  ClearContent();
  FillContent();
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    error = "cannot create " + dir + ": " + ec.message();
    return false;
  }
  std::string index =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>THE QUELLMARK 47</title>"
      "</head>\n<body style=\"background:#000;color:#FCFEFC;font-family:monospace\">\n"
      "<h1>THE QUELLMARK</h1>\n<p>issue number 47, released 17-10-2010</p>\n<ul>\n";
  for (int d = 1; d <= MaxDocument; ++d) {
    char name[8];
    std::snprintf(name, sizeof name, "%02d", d);
    if (!WriteFile(fs::path(dir) / (std::string(name) + ".txt"), ExportDocumentText(d), error) ||
        !WriteFile(fs::path(dir) / (std::string(name) + ".html"), ExportDocumentHtml(d), error)) {
      return false;
    }
    index += std::string("<li><a style=\"color:#00FEFC\" href=\"") + name + ".html\">page " + name +
             "</a> (" + std::to_string(DocumentLineCount(d)) +
             " lines, <a style=\"color:"
             "#A8A9A8\" href=\"" +
             name + ".txt\">text</a>)</li>\n";
  }
  index += "</ul>\n</body></html>\n";
  return WriteFile(fs::path(dir) / "index.html", index, error);
}
