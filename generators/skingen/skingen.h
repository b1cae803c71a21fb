#pragma once
// The two frame pictures of the magazine, 'Grunge' (skin 1) and 'Carbon' (skin 2), painted by
// code. A skin file is a palette of 256 entries of three bytes (red, green, blue) followed by
// 800 x 600 palette indices, row by row.

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int SkinWidth = 800;
inline constexpr int SkinHeight = 600;
inline constexpr int SkinPaletteBytes = 256 * 3;
inline constexpr int SkinFileBytes = SkinPaletteBytes + SkinWidth * SkinHeight;

// Palette entries used only by the ink of the button labels, so the labels can be found (and
// checked against the button rectangles) in a finished picture.
inline constexpr int LabelInkFirst = 224;
inline constexpr int LabelInkLast = 255;
inline constexpr int LabelInkLevels = LabelInkLast - LabelInkFirst + 1;

// Palette entries used only by the ink of the other lettering painted in a skin (the "TUNES"
// plates and the maker's plate at the foot), so that every label in a picture can be found.
inline constexpr int CaptionInkFirst = 216;
inline constexpr int CaptionInkLast = 223;
inline constexpr int CaptionInkLevels = CaptionInkLast - CaptionInkFirst + 1;

// A button rectangle as the program highlights it: columns x..x+w and rows y..y+h, both ends
// included.
struct SkinButton {
  int x, y, w, h;
};

inline constexpr int SkinButtonCount = 10;

// Index [skin][button], skin 1..2, button 1..10; entry 0 of each is unused.
inline constexpr SkinButton SkinButtons[3][SkinButtonCount + 1] = {
    {},
    {{0, 0, 0, 0},
     {35, 40, 88, 19},
     {35, 65, 88, 19},
     {35, 90, 88, 19},
     {672, 65, 88, 19},
     {672, 90, 88, 19},
     {672, 40, 88, 19},
     {9, 132, 57, 19},
     {73, 132, 57, 19},
     {665, 132, 57, 19},
     {729, 132, 57, 19}},
    {{0, 0, 0, 0},
     {25, 49, 76, 19},
     {25, 73, 76, 19},
     {25, 97, 76, 19},
     {698, 73, 76, 19},
     {698, 97, 76, 19},
     {698, 49, 76, 19},
     {18, 137, 43, 8},
     {79, 137, 44, 8},
     {669, 137, 44, 8},
     {733, 137, 43, 8}},
};

// The label painted on button 1..10 (the same words in both skins).
inline constexpr const char* SkinLabels[SkinButtonCount + 1] = {
    "",      "EXIT",   "CHARTS", "ARTICLES", "RULES", "HELP",
    "MUSIC", "SONG 1", "SONG 2", "SONG 3",   "SONG 4"};

// Paints skin 1 or 2 and returns its file bytes (SkinFileBytes of them). The result depends on
// nothing but this code: the same bytes on every run.
std::vector<uint8_t> BuildSkinFile(int skin);

// A square of the 'Grunge' skin's riveted plate metal, `side` pixels with a rivet near each
// corner: the ground of the desktop icon. 0x00RRGGBB words, row by row, in full colour (not
// reduced to a palette); empty unless 1 <= side <= SkinHeight.
std::vector<uint32_t> GrungePlateSquare(int side);

// The picture of a skin file as 0x00RRGGBB words, row by row; empty if the file has the wrong
// size.
std::vector<uint32_t> DecodeSkinFile(const std::vector<uint8_t>& file);
