#include "generators/fontgen/preview.h"

#include "display/png_file.h"

namespace {

constexpr int Margin = 8;
constexpr int PreviewColumns = 80;
constexpr int Scale = 3;

struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB
};

// A text colour as the page draws it: which channels the palette grey feeds (the red, green,
// blue and yellow groups of the page colours), at full strength.
struct Tint {
  bool red, green, blue;
};

constexpr Tint White = {true, true, true};
constexpr Tint Yellow = {true, true, false};
constexpr Tint Cyan = {false, true, true};
constexpr Tint Red = {true, false, false};
constexpr Tint Green = {false, true, false};

struct PreviewLine {
  int style;
  Tint tint;
  std::string text;  // CP437 bytes
};

void DrawGlyph(Canvas& canvas, const std::vector<uint8_t>& asset, int code, int style, Tint tint,
               int x, int y) {
  const int column = (code - FontFirstCode) * GlyphWidth + 1;
  for (int r = 0; r < GlyphHeight; ++r) {
    for (int k = 0; k < GlyphWidth; ++k) {
      const uint8_t level = asset[(FontStyleRow[style] + r) * FontSheetWidth + column + k];
      const uint8_t* rgb = &asset[FontSheetBytes + level * 3];
      const uint32_t word =
          (tint.red ? rgb[0] << 16 : 0) | (tint.green ? rgb[1] << 8 : 0) | (tint.blue ? rgb[2] : 0);
      canvas.pixels[(y + r) * canvas.width + x + k] = word;
    }
  }
}

void DrawLine(Canvas& canvas, const std::vector<uint8_t>& asset, const PreviewLine& line, int y) {
  int x = Margin;
  for (unsigned char c : line.text) {
    if (c >= FontFirstCode && x + GlyphWidth <= canvas.width - Margin) {
      DrawGlyph(canvas, asset, c, line.style, line.tint, x, y);
    }
    x += GlyphWidth;
  }
}

std::vector<PreviewLine> PreviewLines() {
  std::vector<PreviewLine> lines;
  // The whole character set of each face, 32 codes to a line; box characters touch their
  // neighbours as they do on a page.
  for (int style = 1; style <= 2; ++style) {
    lines.push_back({style, Yellow, style == 1 ? "Style 1, heavy:" : "Style 2, light:"});
    for (int row = 0; row < 7; ++row) {
      std::string text;
      for (int i = 0; i < 32; ++i) {
        text += static_cast<char>(FontFirstCode + row * 32 + i);
        text += ' ';
      }
      lines.push_back({style, White, text});
    }
    lines.push_back({style, White, ""});
  }
  const char* paragraph[] = {
      "The Quellmark, issue 23. Welcome back, readers! This month the charts were tight:",
      "3 groups shipped more than 40 ISOs each, and the DOX scene saw 117 new packs",
      "Quick brown foxes jump over lazy dogs; THE FIVE BOXING WIZARDS JUMP QUICKLY!",
      "Symbols: !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~ and 1234567890 -- 12.5% / 99.9% / $4",
      "Accents: caf\202, na\213ve, \204rger, Gr\201\341e, \224l, ma\244ana, fa\207ade, \216 \231 "
      "\232 \220 \245 \217",
      "Greek & math: \340 \341 \342 \343 \344 \345 \346 \347 \350 \351 \352 \353 \354 \355 \356 "
      "\357 "
      "\360 \361 \362 \363 \366 \367 \370 \371 \372 \373 \374 \375",
  };
  for (int style = 1; style <= 2; ++style) {
    for (const char* text : paragraph) lines.push_back({style, White, text});
    lines.push_back(
        {style, Cyan, "Cyan: ratings, release names and numbers read as well in colour."});
    lines.push_back({style, Red, "Red: dupes, nukes and late packs are marked in red this issue!"});
    lines.push_back(
        {style, Green, "Green: iiiilllll1111 mmmmwwww OOOO0000 rnrnrn clcl ,.;:'\"` gjpqy"});
    lines.push_back({style, White, ""});
  }
  const char* chart[] = {
      "\332\304\304\304\304\304\304\304\304\304\304\304\304\302\304\304\304\304\304\304\277"
      "  \311\315\315\315\315\315\315\315\315\315\315\315\315\313\315\315\315\315\315\315\273"
      "  \325\315\315\315\315\321\315\315\315\315\270  "
      "\326\304\304\304\304\322\304\304\304\304\267",
      "\263 Group      \263 ISOs \263  \272 Group      \272 ISOs \272  \263    \263    \263  \272  "
      "  \272    \272",
      "\303\304\304\304\304\304\304\304\304\304\304\304\304\305\304\304\304\304\304\304\264"
      "  \314\315\315\315\315\315\315\315\315\315\315\315\315\316\315\315\315\315\315\315\271"
      "  \306\315\315\315\315\330\315\315\315\315\265  "
      "\307\304\304\304\304\327\304\304\304\304\266",
      "\263 Nightowl   \263   42 \263  \272 Kestrel    \272   37 \272  \263    \263    \263  \272  "
      "  \272    \272",
      "\300\304\304\304\304\304\304\304\304\304\304\304\304\301\304\304\304\304\304\304\331"
      "  \310\315\315\315\315\315\315\315\315\315\315\315\315\312\315\315\315\315\315\315\274"
      "  \324\315\315\315\315\317\315\315\315\315\276  "
      "\323\304\304\304\304\320\304\304\304\304\275",
      "",
      "Nightowl \333\333\333\333\333\333\333\333\333\333\333\333\333\333\333\333\333\333\335 42"
      "   \260\260\260\260\260\260 \261\261\261\261\261\261 \262\262\262\262\262\262 "
      "\333\333\333\333\333\333",
      "Kestrel  \333\333\333\333\333\333\333\333\333\333\333\333\333\333\333\336 37"
      "      \260\260\260\260\260\260 \261\261\261\261\261\261 \262\262\262\262\262\262 "
      "\333\333\333\333\333\333",
      "Moraine  \262\262\262\262\262\262\262\262\262\262\262\261\261\260\260 29"
      "         \334\334\334\334\334\334 \337\337\337\337\337\337 \335\336\335\336\335\336 \376 "
      "\371 \372 \376\372\372\376",
      "Q2 trend \334\334\334\337\337\337\334\334\334\337\337\337\334\334\334 \364 "
      "\372\372\372\372\372 \376 ok",
      "         \260\261\262\333\262\261\260\260\261\262\333\262\261\260    \365",
  };
  for (int style = 1; style <= 2; ++style) {
    for (const char* text : chart) lines.push_back({style, style == 1 ? Yellow : Cyan, text});
    lines.push_back({style, White, ""});
  }
  return lines;
}

}  // namespace

bool WriteFontPreview(const std::vector<uint8_t>& asset, const std::string& path,
                      std::string& error) {
  if (asset.size() != static_cast<size_t>(FontAssetBytes)) {
    error = "the font asset has the wrong size";
    return false;
  }
  const std::vector<PreviewLine> lines = PreviewLines();
  Canvas page;
  page.width = PreviewColumns * GlyphWidth + 2 * Margin;
  page.height = static_cast<int>(lines.size()) * GlyphHeight + 2 * Margin;
  page.pixels.assign(static_cast<size_t>(page.width) * page.height, 0);
  for (size_t i = 0; i < lines.size(); ++i) {
    DrawLine(page, asset, lines[i], Margin + static_cast<int>(i) * GlyphHeight);
  }

  // The raw sheet at 1:1 on top (both styles, grey levels as stored), then the 1:1 page, then
  // the same page three times larger.
  Canvas out;
  const int sheetTop = Margin;
  const int pageTop = sheetTop + FontSheetHeight + Margin;
  const int zoomTop = pageTop + page.height;
  out.width = page.width * Scale;
  out.height = zoomTop + page.height * Scale;
  out.pixels.assign(static_cast<size_t>(out.width) * out.height, 0x202020);
  for (int y = 0; y < FontSheetHeight; ++y) {
    for (int x = 0; x < FontSheetWidth; ++x) {
      const uint8_t* rgb = &asset[FontSheetBytes + asset[y * FontSheetWidth + x] * 3];
      out.pixels[(sheetTop + y) * out.width + Margin + x] = rgb[0] << 16 | rgb[1] << 8 | rgb[2];
    }
  }
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) {
      out.pixels[(pageTop + y) * out.width + x] = page.pixels[y * page.width + x];
    }
  }
  for (int y = 0; y < page.height * Scale; ++y) {
    for (int x = 0; x < out.width; ++x) {
      out.pixels[(zoomTop + y) * out.width + x] = page.pixels[(y / Scale) * page.width + x / Scale];
    }
  }
  std::string reason;
  if (!WritePng(path, out.pixels.data(), out.width, out.height, &reason)) {
    error = "cannot write " + path + ": " + reason;
    return false;
  }
  return true;
}
