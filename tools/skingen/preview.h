#pragma once
// PNG pictures of the skins for people to look at.

#include <cstdint>
#include <string>
#include <vector>

// Writes a picture of 0x00RRGGBB words, width x height, as an RGB PNG file.
bool WritePng(const std::vector<uint32_t>& pixels, int width, int height, const std::string& path,
              std::string& error);
