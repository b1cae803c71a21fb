#pragma once
// A PNG contact sheet of the font for people to look at: the raw sheet, then every glyph of both
// faces, a sample page of text in several colours and a chart of box-drawing and block
// characters, drawn at 1:1 and again enlarged three times.

#include <string>
#include <vector>

#include "generators/fontgen/fontgen.h"

// Renders the preview of the built asset (sheet and palette) to a PNG file.
bool WriteFontPreview(const std::vector<uint8_t>& asset, const std::string& path,
                      std::string& error);
