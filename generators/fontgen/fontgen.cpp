#include "generators/fontgen/fontgen.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

const std::array<std::array<uint8_t, 3>, FontLevelCount> FontLevelColours = {{
    {0, 0, 0},
    {132, 130, 132},
    {252, 2, 252},
    {196, 194, 196},
    {68, 66, 68},
    {188, 190, 188},
    {252, 254, 252},
    {100, 98, 68},
    {28, 30, 28},
    {132, 134, 132},
    {212, 210, 212},
    {84, 82, 84},
}};

namespace {

// Grey filled into the steps of diagonals and curves: level 4 (about a quarter of the stroke)
// keeps the light face crisp, level 11 (a third) suits the heavier strokes of style 1.
constexpr uint8_t LightStepLevel = 4;
constexpr uint8_t HeavyStepLevel = 11;

// Where box-drawing lines lie, across one axis: the single line and the two lines of a double.
struct BoxAxis {
  int single[2];
  int first[2];   // left or top line of a double
  int second[2];  // right or bottom line of a double
};

struct BoxFace {
  BoxAxis columns;  // vertical lines
  BoxAxis rows;     // horizontal lines
};

// Style 1 draws two-pixel lines, style 2 one-pixel lines. Both faces keep singles and doubles
// on the same centre so that mixed junctions meet.
constexpr BoxFace BoxFaces[3] = {
    {},
    {{{4, 5}, {2, 3}, {6, 7}}, {{5, 6}, {3, 4}, {7, 8}}},
    {{{4, 4}, {3, 3}, {5, 5}}, {{5, 5}, {4, 4}, {6, 6}}},
};

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

bool ParseHexCode(const std::string& word, int& code) {
  if (word.empty() || word.size() > 2) return false;
  code = 0;
  for (char c : word) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return false;
    }
    code = code * 16 + digit;
  }
  return true;
}

// Level of one design character: '.' background, '#' the full stroke, digits and 'a' (10),
// 'b' (11) the greys by number. Level 2 (magenta in the palette) is not accepted.
int LevelOfChar(char c) {
  if (c == '.') return 0;
  if (c == '#') return FontInk;
  if (c >= '0' && c <= '9' && c != '2') return c - '0';
  if (c == 'a') return 10;
  if (c == 'b') return 11;
  return -1;
}

bool IsSkeletonRow(const std::string& row) {
  if (row.size() != GlyphWidth) return false;
  for (char c : row) {
    if (c != '.' && c != '#') return false;
  }
  return true;
}

struct SourceReader {
  std::vector<std::string> lines;
  size_t next = 0;  // index of the next unread line
};

// Reads the 12 rows of a cell; `exact` allows every level character, otherwise only '.' '#'.
bool ReadCell(SourceReader& reader, bool exact, GlyphCell& cell, std::string& error) {
  for (int y = 0; y < GlyphHeight; ++y) {
    if (reader.next >= reader.lines.size()) {
      error = "line " + std::to_string(reader.next + 1) + ": the file ends inside a glyph";
      return false;
    }
    const std::string row = Trim(reader.lines[reader.next]);
    const std::string where = "line " + std::to_string(reader.next + 1) + ": ";
    ++reader.next;
    if (row.size() != GlyphWidth) {
      error = where + "a glyph row has 9 characters, this one has " + std::to_string(row.size());
      return false;
    }
    for (int x = 0; x < GlyphWidth; ++x) {
      int level = LevelOfChar(row[x]);
      if (level < 0 || (!exact && level != 0 && level != FontInk)) {
        error = where + "character '" + std::string(1, row[x]) + "' is not allowed here";
        return false;
      }
      cell[y * GlyphWidth + x] = static_cast<uint8_t>(level);
    }
  }
  return true;
}

bool Ink(const GlyphCell& cell, int x, int y) {
  if (x < 0 || x >= GlyphWidth || y < 0 || y >= GlyphHeight) return false;
  return cell[y * GlyphWidth + x] != 0;
}

// Fills the inner corner of every step with `level`: a background pixel whose two perpendicular
// neighbours are ink while the two opposite neighbours are background sits on the stair of a
// diagonal or a curve when the diagonal pixel between the two is background (a one-pixel step).
// In the heavy face strokes are two pixels wide, so the diagonal pixel between is ink on a stair
// too; there a stair differs from a right-angle corner (of an L, an E, the inside of an O) in
// that one of the two strokes ends at the corner instead of running on past it.
GlyphCell SmoothSteps(const GlyphCell& cell, uint8_t level, bool twoPixelStrokes) {
  GlyphCell out = cell;
  constexpr int dx[4] = {0, 1, 0, -1};  // N, E, S, W
  constexpr int dy[4] = {-1, 0, 1, 0};
  for (int y = 0; y < GlyphHeight; ++y) {
    for (int x = 0; x < GlyphWidth; ++x) {
      if (Ink(cell, x, y)) continue;
      for (int d = 0; d < 4; ++d) {
        int e = (d + 1) % 4;
        int od = (d + 2) % 4;
        int oe = (d + 3) % 4;
        const bool corner = Ink(cell, x + dx[d], y + dy[d]) && Ink(cell, x + dx[e], y + dy[e]) &&
                            !Ink(cell, x + dx[od], y + dy[od]) &&
                            !Ink(cell, x + dx[oe], y + dy[oe]);
        if (!corner) continue;
        bool stair = !Ink(cell, x + dx[d] + dx[e], y + dy[d] + dy[e]);
        if (!stair && twoPixelStrokes) {
          stair = !Ink(cell, x + dx[d] - dx[e], y + dy[d] - dy[e]) ||
                  !Ink(cell, x + dx[e] - dx[d], y + dy[e] - dy[d]);
        }
        if (stair) {
          out[y * GlyphWidth + x] = level;
          break;
        }
      }
    }
  }
  return out;
}

// Doubles every stroke one pixel to the right: two-pixel verticals, as a bold terminal face.
GlyphCell Embolden(const GlyphCell& cell) {
  GlyphCell out = cell;
  for (int y = 0; y < GlyphHeight; ++y) {
    for (int x = 1; x < GlyphWidth; ++x) {
      if (cell[y * GlyphWidth + x - 1] != 0) out[y * GlyphWidth + x] = FontInk;
    }
  }
  return out;
}

void FillRect(GlyphCell& cell, int x0, int x1, int y0, int y1) {
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) cell[y * GlyphWidth + x] = FontInk;
  }
}

// Draws one arm of a box-drawing glyph. An arm runs from its cell edge to the line it meets:
// the centre line when it continues or crosses single lines, the near line of a double it ends
// on (a T-junction), or the far line of a double it turns into (a corner). The two lines of a
// double arm stop at the perpendicular line on their own side, which leaves the gaps between
// double lines open at every junction.
void DrawBoxArm(GlyphCell& cell, const BoxFace& face, const std::array<uint8_t, 4>& arms, int arm) {
  const bool vertical = arm < 2;
  const bool fromLow = arm == 0 || arm == 2;  // starts at the top or the left edge
  const int opposite = arm ^ 1;
  const int sideLow = vertical ? 2 : 0;  // the perpendicular arm on the left (or top) side
  const int sideHigh = sideLow + 1;
  const BoxAxis& across = vertical ? face.columns : face.rows;
  const BoxAxis& meets = vertical ? face.rows : face.columns;
  const int* nearLine = fromLow ? meets.first : meets.second;
  const int* farLine = fromLow ? meets.second : meets.first;
  const int length = vertical ? GlyphHeight : GlyphWidth;

  auto fill = [&](const int line[2], const int target[2]) {
    int from = fromLow ? 0 : target[0];
    int to = fromLow ? target[1] : length - 1;
    if (vertical) {
      FillRect(cell, line[0], line[1], from, to);
    } else {
      FillRect(cell, from, to, line[0], line[1]);
    }
  };

  if (arms[arm] == 1) {
    const int* target = meets.single;
    if (arms[opposite] == 0) {
      bool lowDouble = arms[sideLow] == 2;
      bool highDouble = arms[sideHigh] == 2;
      if (lowDouble && highDouble) {
        target = nearLine;
      } else if (lowDouble || highDouble) {
        target = farLine;
      }
    }
    fill(across.single, target);
    return;
  }
  for (int which = 0; which < 2; ++which) {
    const int* line = which == 0 ? across.first : across.second;
    const int side = which == 0 ? sideLow : sideHigh;
    const int other = which == 0 ? sideHigh : sideLow;
    const int* target = meets.single;
    if (arms[side] != 0) {
      if (arms[side] == 2) target = nearLine;
    } else if (arms[opposite] != 2 && arms[other] == 2) {
      target = farLine;
    }
    fill(line, target);
  }
}

GlyphCell DrawBox(const std::array<uint8_t, 4>& arms, int style) {
  GlyphCell cell{};
  for (int arm = 0; arm < 4; ++arm) {
    if (arms[arm] != 0) DrawBoxArm(cell, BoxFaces[style], arms, arm);
  }
  return cell;
}

}  // namespace

bool ParseFontSource(const std::string& text, FontSource& source, std::string& error) {
  source = {};
  SourceReader reader;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) reader.lines.push_back(line);

  std::map<std::string, GlyphCell> named;
  struct Accent {
    int row = 0;
    std::vector<std::string> rows;
  };
  std::map<std::string, Accent> accents;

  while (reader.next < reader.lines.size()) {
    const size_t lineNumber = reader.next + 1;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    const std::string line = Trim(reader.lines[reader.next++]);
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string directive, codeWord;
    words >> directive >> codeWord;

    int code = 0;
    auto takeCode = [&]() {
      if (!ParseHexCode(codeWord, code) || code <= FontFirstCode || code >= FontLastCode) {
        error = where + "'" + codeWord + "' is not a code from 21 to FE";
        return false;
      }
      if (source.glyphs[code].kind != GlyphKind::None) {
        error = where + "code " + codeWord + " is defined twice";
        return false;
      }
      return true;
    };

    if (directive == "glyph" || directive == "exact") {
      if (!takeCode()) return false;
      GlyphSource& glyph = source.glyphs[code];
      glyph.kind = directive == "glyph" ? GlyphKind::Skeleton : GlyphKind::Exact;
      if (!ReadCell(reader, glyph.kind == GlyphKind::Exact, glyph.cell, error)) return false;
    } else if (directive == "heavy" || directive == "light") {
      int face = directive == "heavy" ? 1 : 2;
      if (!ParseHexCode(codeWord, code) || source.glyphs[code].kind == GlyphKind::None ||
          source.glyphs[code].drawnFace[face]) {
        error = where + "a drawn face follows the glyph of its code, once";
        return false;
      }
      source.glyphs[code].drawnFace[face] = true;
      if (!ReadCell(reader, true, source.glyphs[code].face[face], error)) return false;
    } else if (directive == "name") {
      if (codeWord.empty() || named.count(codeWord) != 0) {
        error = where + "a named glyph needs a new name";
        return false;
      }
      if (!ReadCell(reader, false, named[codeWord], error)) return false;
    } else if (directive == "accent") {
      Accent accent;
      if (!(words >> accent.row) || accent.row < 0 || accent.row >= GlyphHeight) {
        error = where + "an accent needs a name and a start row from 0 to 11";
        return false;
      }
      while (reader.next < reader.lines.size() && IsSkeletonRow(Trim(reader.lines[reader.next]))) {
        accent.rows.push_back(Trim(reader.lines[reader.next++]));
      }
      if (accent.rows.empty() || accent.row + accent.rows.size() > GlyphHeight) {
        error = where + "accent rows missing or below the cell";
        return false;
      }
      accents[codeWord] = accent;
    } else if (directive == "compose") {
      std::string baseWord, accentWord;
      words >> baseWord >> accentWord;
      if (!takeCode()) return false;
      const GlyphCell* base = nullptr;
      int baseCode = 0;
      if (named.count(baseWord) != 0) {
        base = &named[baseWord];
      } else if (ParseHexCode(baseWord, baseCode) &&
                 source.glyphs[baseCode].kind == GlyphKind::Skeleton) {
        base = &source.glyphs[baseCode].cell;
      }
      if (base == nullptr || accents.count(accentWord) == 0) {
        error = where + "compose needs a glyph drawn above it and a known accent";
        return false;
      }
      GlyphSource& glyph = source.glyphs[code];
      glyph.kind = GlyphKind::Skeleton;
      glyph.cell = *base;
      const Accent& accent = accents[accentWord];
      for (size_t r = 0; r < accent.rows.size(); ++r) {
        for (int x = 0; x < GlyphWidth; ++x) {
          if (accent.rows[r][x] == '#') glyph.cell[(accent.row + r) * GlyphWidth + x] = FontInk;
        }
      }
    } else if (directive == "box") {
      if (!takeCode()) return false;
      GlyphSource& glyph = source.glyphs[code];
      glyph.kind = GlyphKind::Box;
      for (auto& arm : glyph.arms) {
        int value = -1;
        if (!(words >> value) || value < 0 || value > 2) {
          error = where + "a box glyph needs four arms of 0, 1 or 2";
          return false;
        }
        arm = static_cast<uint8_t>(value);
      }
    } else {
      error = where + "unknown directive '" + directive + "'";
      return false;
    }
  }
  return true;
}

GlyphCell RenderGlyph(const FontSource& source, int code, int style) {
  if (code < 0 || code > 255 || (style != 1 && style != 2)) return {};
  const GlyphSource& glyph = source.glyphs[code];
  if (glyph.kind != GlyphKind::None && glyph.drawnFace[style]) return glyph.face[style];
  switch (glyph.kind) {
    case GlyphKind::None:
      return {};
    case GlyphKind::Exact:
      return glyph.cell;
    case GlyphKind::Box:
      return DrawBox(glyph.arms, style);
    case GlyphKind::Skeleton:
      if (style == 1) return SmoothSteps(Embolden(glyph.cell), HeavyStepLevel, true);
      return SmoothSteps(glyph.cell, LightStepLevel, false);
  }
  return {};
}

bool BuildFontAsset(const FontSource& source, std::vector<uint8_t>& asset, std::string& error) {
  asset.assign(FontAssetBytes, 0);
  for (int code = FontFirstCode + 1; code < FontLastCode; ++code) {
    if (source.glyphs[code].kind == GlyphKind::None) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%02X", code);
      error = std::string("no glyph for code ") + hex;
      return false;
    }
    for (int style = 1; style <= 2; ++style) {
      const GlyphCell cell = RenderGlyph(source, code, style);
      const int column = (code - FontFirstCode) * GlyphWidth + 1;
      for (int y = 0; y < GlyphHeight; ++y) {
        for (int x = 0; x < GlyphWidth; ++x) {
          asset[(FontStyleRow[style] + y) * FontSheetWidth + column + x] = cell[y * GlyphWidth + x];
        }
      }
    }
  }
  for (int level = 0; level < FontLevelCount; ++level) {
    for (int channel = 0; channel < 3; ++channel) {
      asset[FontSheetBytes + level * 3 + channel] = FontLevelColours[level][channel];
    }
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}
