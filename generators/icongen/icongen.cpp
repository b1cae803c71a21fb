#include "generators/icongen/icongen.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

// assets/fonts/bigfont.bin: 1888 x 32 indices (32 x 32 cells for the codes 32 to 90, ink 255)
// then the palette.
constexpr int FontSheetWidth = 1888;
constexpr int FontCell = 32;
constexpr size_t FontFileBytes = FontSheetWidth * FontCell + 768;
constexpr int GlyphCode = 'Q';

// The plate: a rounded square with a dark rim and a bevel lit from the top left.
constexpr int PlateMargin = 24;
constexpr int PlateRadius = 112;
constexpr int RimWidth = 6;
constexpr int PlateBevel = 18;

// The glyph: its ink box scaled to about two thirds of the icon, bevelled and casting a shadow
// to the bottom right.
constexpr int GlyphScale = 18;
constexpr int GlyphBevel = 12;
constexpr int ShadowOffset = 24;

struct Rgb {
  int R, G, B;
};

// The title lettering's copper, light at the top of a letter to dark at its foot.
constexpr Rgb CopperTop = {246, 214, 142};
constexpr Rgb CopperMiddle = {204, 132, 62};
constexpr Rgb CopperFoot = {112, 58, 24};
constexpr Rgb Rim = {36, 22, 14};

Rgb Mix(Rgb a, Rgb b, int weight, int of) {
  return {a.R + (b.R - a.R) * weight / of, a.G + (b.G - a.G) * weight / of,
          a.B + (b.B - a.B) * weight / of};
}

Rgb Scale(Rgb c, int percent) {
  return {std::min(255, c.R * percent / 100), std::min(255, c.G * percent / 100),
          std::min(255, c.B * percent / 100)};
}

bool InsidePlate(int x, int y) {
  const int lo = PlateMargin, hi = IconMasterSize - 1 - PlateMargin;
  if (x < lo || x > hi || y < lo || y > hi) return false;
  const int cx = std::clamp(x, lo + PlateRadius, hi - PlateRadius);
  const int cy = std::clamp(y, lo + PlateRadius, hi - PlateRadius);
  const int dx = x - cx, dy = y - cy;
  return dx * dx + dy * dy <= PlateRadius * PlateRadius;
}

struct Glyph {
  const uint8_t* Sheet;
  int CellX;             // the glyph cell's left column in the sheet
  int InkX, InkY;        // top left of the ink box within the cell
  int OriginX, OriginY;  // where the scaled ink box starts in the master

  bool Ink(int x, int y) const {
    if (x < OriginX || y < OriginY) return false;
    const int gx = InkX + (x - OriginX) / GlyphScale, gy = InkY + (y - OriginY) / GlyphScale;
    if (gx >= FontCell || gy >= FontCell) return false;
    return Sheet[gy * FontSheetWidth + CellX + gx] == 255;
  }
};

Glyph PlaceGlyph(const uint8_t* sheet) {
  Glyph g{sheet, (GlyphCode - 32) * FontCell, FontCell, FontCell, 0, 0};
  int right = -1, bottom = -1;
  for (int y = 0; y < FontCell; ++y) {
    for (int x = 0; x < FontCell; ++x) {
      if (sheet[y * FontSheetWidth + g.CellX + x] != 255) continue;
      g.InkX = std::min(g.InkX, x);
      g.InkY = std::min(g.InkY, y);
      right = std::max(right, x);
      bottom = std::max(bottom, y);
    }
  }
  const int width = (right - g.InkX + 1) * GlyphScale, height = (bottom - g.InkY + 1) * GlyphScale;
  g.OriginX = (IconMasterSize - width) / 2 - ShadowOffset / 2;
  g.OriginY = (IconMasterSize - height) / 2 - ShadowOffset / 2;
  return g;
}

// The two smallest sizes are drawn by hand, one character a pixel, with the master's look: the
// rounded plate in its dark rim, lit at the top left; rusty metal with a rivet in each corner
// (at 32) bleeding rust downwards; the copper "Q" with its lit and shaded edges and its shadow.
//   .  transparent     k  rim       L d  the plate's bevel, lit and shaded
//   1 2 3  bare metal, dark to light              5 6 7  rust, deep to light
//   h r R  rivet: highlight, dome, dark side      9  the letter's shadow
//   W w  the letter's lit edge, upper and lower half; E D  its shaded edge likewise
//   Y y C c F  the letter's copper from the top down to the foot
struct ArtColour {
  char Key;
  uint32_t Argb;
};

constexpr ArtColour ArtColours[] = {
    {'.', 0x00000000}, {'k', 0xFF24160E}, {'L', 0xFFB09676}, {'d', 0xFF362A20}, {'1', 0xFF544232},
    {'2', 0xFF685542}, {'3', 0xFF7E6A54}, {'5', 0xFF682E12}, {'6', 0xFF92481C}, {'7', 0xFFBA6E32},
    {'9', 0xFF281E16}, {'h', 0xFFFADEA0}, {'r', 0xFFAA7846}, {'R', 0xFF462814}, {'W', 0xFFFFF0B4},
    {'w', 0xFFECA256}, {'E', 0xFF8C6030}, {'D', 0xFF48240E}, {'Y', 0xFFF6D28A}, {'y', 0xFFE2AA62},
    {'C', 0xFFCC843E}, {'c', 0xFFA6622C}, {'F', 0xFF7C421A},
};

// clang-format off
constexpr const char* Art16[] = {
    "..kkkkkkkkkkkk..",
    ".kLLLLLLLLLLLLk.",
    "kL223322223322dk",
    "kL22WWWWWWWW23dk",
    "kL6WYYYYYYYYE9dk",
    "kL7Wy999999WE9dk",
    "kL6Wy911221WE9dk",
    "kL5wC911112wD9dk",
    "kL6wC91ww11wD9dk",
    "kL6wc911ww1wD9dk",
    "kL5wc9112wwcD9dk",
    "kL6wFwwwwFFDD9dk",
    "kL66DDDDDDD9D9dk",
    "kL656999999929dk",
    ".kddddddddddddk.",
    "..kkkkkkkkkkkk..",
};

constexpr const char* Art32[] = {
    "...kkkkkkkkkkkkkkkkkkkkkkkkkk...",
    ".kkLLLLLLLLLLLLLLLLLLLLLLLLLLkk.",
    ".kL23332222233322222233776672Lk.",
    "kL2hr3322222223322222227656hr2Lk",
    "kL2rR2222222222222222222665rR2dk",
    "kL2662WWWWWWWWWWWWWWWWWW322662dk",
    "kL265WYYYYYYYYYYYYYYYYYYE22652dk",
    "kL256WYYYYYYYYYYYYYYYYYYE92562dk",
    "kL765WYYYEEEEEEEEEEEEWYYE92661dk",
    "kL766WyyE999999999999WyyE91612dk",
    "kL656WyyE911111222111WyyE91622dk",
    "kL665WyyE911112222111WyyE92122dk",
    "kL655WyyE911111221111WyyE92223dk",
    "kL166WCCE921111111112WCCE92232dk",
    "kL216WCCE922111111122WCCE92222dk",
    "kL221wCCD922211111222wCCD91222dk",
    "kL772wccD9222wwww1111wccD91122dk",
    "kL667wccD92222DCCw111wccD92112dk",
    "kL656wccD912222DCCw11wccD92277dk",
    "kL556wccD9112222DCCw2wccD92766dk",
    "kL656wccD91111222DccccccD92656dk",
    "kL665wFFFwwwwwwwwFFFFFFFD91665dk",
    "kL666wFFFFFFFFFFFFFFFFFFD91656dk",
    "kL566DFFFFFFFFFFFFFFFDFFD92166dk",
    "kL6566DDDDDDDDDDDDDDD9DDD92216dk",
    "kL6656299999999999999929992221dk",
    "kL6566655666612222111222262222dk",
    "kL6hr6556666712221112222222hr2dk",
    "kd6rR5665566612222112222222rR2dk",
    ".kd66666666652221122221112116dk.",
    ".kkddddddddddddddddddddddddddkk.",
    "...kkkkkkkkkkkkkkkkkkkkkkkkkk...",
};
// clang-format on

constexpr bool KnownColour(char key) {
  for (const ArtColour& c : ArtColours) {
    if (c.Key == key) return true;
  }
  return false;
}

// Every row as long as the picture is tall, every character a colour of ArtColours.
template <size_t N>
constexpr bool ArtIsSquare(const char* const (&rows)[N]) {
  for (const char* row : rows) {
    size_t length = 0;
    for (; row[length] != 0; ++length) {
      if (!KnownColour(row[length])) return false;
    }
    if (length != N) return false;
  }
  return true;
}
static_assert(ArtIsSquare(Art16) && ArtIsSquare(Art32));

template <size_t N>
IconPicture FromArt(const char* const (&rows)[N]) {
  IconPicture icon{static_cast<int>(N), std::vector<uint32_t>(N * N, 0)};
  for (size_t y = 0; y < N; ++y) {
    for (size_t x = 0; x < N; ++x) {
      for (const ArtColour& c : ArtColours) {
        if (c.Key == rows[y][x]) icon.Pixels[y * N + x] = c.Argb;
      }
    }
  }
  return icon;
}

}  // namespace

bool DrawIconMaster(const std::vector<uint32_t>& plate, const std::vector<uint8_t>& bigFontFile,
                    IconPicture& master, std::string& error) {
  if (plate.size() != static_cast<size_t>(IconPlateSide) * IconPlateSide) {
    error = "the plate metal is not " + std::to_string(IconPlateSide) + " pixels square";
    return false;
  }
  if (bigFontFile.size() != FontFileBytes) {
    error = "the big font file is not " + std::to_string(FontFileBytes) + " bytes";
    return false;
  }
  const Glyph glyph = PlaceGlyph(bigFontFile.data());
  if (glyph.InkX == FontCell) {
    error = "the big font has no \"Q\"";
    return false;
  }
  const int glyphTop = glyph.OriginY, glyphHeight = IconMasterSize - 2 * glyph.OriginY;

  master.Size = IconMasterSize;
  master.Pixels.assign(static_cast<size_t>(IconMasterSize) * IconMasterSize, 0);
  for (int y = 0; y < IconMasterSize; ++y) {
    for (int x = 0; x < IconMasterSize; ++x) {
      if (!InsidePlate(x, y)) continue;
      Rgb c;
      if (glyph.Ink(x, y)) {
        const int t = std::clamp(y - glyphTop, 0, glyphHeight - 1);
        c = t < glyphHeight / 2
                ? Mix(CopperTop, CopperMiddle, t, glyphHeight / 2)
                : Mix(CopperMiddle, CopperFoot, t - glyphHeight / 2, glyphHeight / 2);
        if (!glyph.Ink(x - GlyphBevel, y - GlyphBevel)) c = Scale(c, 135);
        if (!glyph.Ink(x + GlyphBevel, y + GlyphBevel)) c = Scale(c, 55);
      } else {
        const uint32_t rgb =
            plate[static_cast<size_t>(y / IconPlateTexel) * IconPlateSide + x / IconPlateTexel];
        c = {static_cast<int>(rgb >> 16 & 255), static_cast<int>(rgb >> 8 & 255),
             static_cast<int>(rgb & 255)};
        if (glyph.Ink(x - ShadowOffset, y - ShadowOffset)) c = Scale(c, 40);
        if (!InsidePlate(x - PlateBevel, y - PlateBevel)) c = Scale(c, 140);
        if (!InsidePlate(x + PlateBevel, y + PlateBevel)) c = Scale(c, 60);
        if (!InsidePlate(x - RimWidth, y - RimWidth) || !InsidePlate(x + RimWidth, y + RimWidth) ||
            !InsidePlate(x - RimWidth, y + RimWidth) || !InsidePlate(x + RimWidth, y - RimWidth))
          c = Rim;
      }
      master.Pixels[static_cast<size_t>(y) * IconMasterSize + x] =
          0xFF000000u | static_cast<uint32_t>(c.R << 16 | c.G << 8 | c.B);
    }
  }
  return true;
}

IconPicture ShrinkIcon(const IconPicture& master, int size) {
  const int step = master.Size / size;
  IconPicture out{size, std::vector<uint32_t>(static_cast<size_t>(size) * size, 0)};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      uint64_t a = 0, r = 0, g = 0, b = 0;
      for (int v = 0; v < step; ++v) {
        for (int u = 0; u < step; ++u) {
          const uint32_t p =
              master.Pixels[static_cast<size_t>(y * step + v) * master.Size + x * step + u];
          const uint32_t alpha = p >> 24;
          a += alpha;
          r += alpha * (p >> 16 & 0xFF);
          g += alpha * (p >> 8 & 0xFF);
          b += alpha * (p & 0xFF);
        }
      }
      if (a == 0) continue;
      const uint64_t n = static_cast<uint64_t>(step) * step;
      const auto round = [](uint64_t num, uint64_t den) { return (num + den / 2) / den; };
      out.Pixels[static_cast<size_t>(y) * size + x] = static_cast<uint32_t>(
          round(a, n) << 24 | round(r, a) << 16 | round(g, a) << 8 | round(b, a));
    }
  }
  return out;
}

IconPicture IconAtSize(const IconPicture& master, int size) {
  if (size == 16) return FromArt(Art16);
  if (size == 32) return FromArt(Art32);
  return ShrinkIcon(master, size);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), {});
  return !file.bad();
}
