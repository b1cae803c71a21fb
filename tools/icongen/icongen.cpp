#include "tools/icongen/icongen.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

// assets/skins/skin*.bin: a 256-colour palette (red, green, blue bytes) then 800 x 600 indices.
constexpr int SkinWidth = 800;
constexpr int SkinHeight = 600;
constexpr size_t SkinPaletteBytes = 768;
constexpr size_t SkinFileBytes = SkinPaletteBytes + SkinWidth * SkinHeight;

// assets/fonts/bigfont.bin: 1888 x 32 indices (32 x 32 cells for the codes 32 to 90, ink 255)
// then the palette.
constexpr int FontSheetWidth = 1888;
constexpr int FontCell = 32;
constexpr size_t FontFileBytes = FontSheetWidth * FontCell + 768;
constexpr int GlyphCode = 'Q';

// The plate's texture: the riveted bar along the skin's top edge left of the title, inside its
// bevel, repeated mirror-wise so the seams do not show. One skin pixel is three master pixels,
// so the 256-pixel icon shows the skin at its own scale.
constexpr int BarX = 0, BarY = 2, BarWidth = 240, BarHeight = 34;
constexpr int TexelSize = 3;

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

int Mirror(int v, int period) {
  const int m = v % (2 * period);
  return m < period ? m : 2 * period - 1 - m;
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

}  // namespace

bool DrawIconMaster(const std::vector<uint8_t>& skinFile, const std::vector<uint8_t>& bigFontFile,
                    IconPicture& master, std::string& error) {
  if (skinFile.size() != SkinFileBytes) {
    error = "the skin file is not " + std::to_string(SkinFileBytes) + " bytes";
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
        const int sx = BarX + Mirror(x / TexelSize, BarWidth);
        const int sy = BarY + Mirror(y / TexelSize, BarHeight);
        const uint8_t* rgb = &skinFile[skinFile[SkinPaletteBytes + sy * SkinWidth + sx] * 3];
        c = {rgb[0], rgb[1], rgb[2]};
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

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), {});
  return !file.bad();
}
