#pragma once
// Golden files under tests/golden/: pixel-exact images and text traces. A mismatch writes
// NAME_actual.png and NAME_diff.png (differing pixels in red over a dimmed copy), or
// NAME_actual.txt, beside the golden. GOLDEN_UPDATE=1 writes the golden instead and fails, so a
// regeneration is always a deliberate, reviewed step.
#include <cstdint>
#include <string>

// Compares an 800 x 600 image with tests/golden/NAME.png. Returns an empty string when they
// match, otherwise what went wrong.
std::string CheckGoldenImage(const std::string& name, const uint32_t* pixels);
// The same for the frame buffer.
std::string CheckGolden(const std::string& name);
// Compares a text trace with tests/golden/NAME.txt; a mismatch names the first differing line.
std::string CheckGoldenText(const std::string& name, const std::string& text);
