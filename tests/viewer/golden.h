#pragma once
// Pixel-exact golden images under tests/golden/. A mismatch writes NAME_actual.png and
// NAME_diff.png beside the golden (differing pixels in red over a dimmed copy). GOLDEN_UPDATE=1
// writes the golden instead and fails, so a regeneration is always a deliberate, reviewed step.
#include <cstdint>
#include <string>

// Compares the 800 x 600 frame buffer with tests/golden/NAME.png. Returns an empty string when
// they match, otherwise what went wrong.
std::string CheckGolden(const std::string& name);

// PNG helpers (RGB, 8 bits per channel) over 0x00RRGGBB words.
bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height);
bool ReadPng(const std::string& path, std::basic_string<uint32_t>& pixels, int& width, int& height);
