#pragma once
// Pixel-exact golden images under tests/golden/. A mismatch writes NAME_actual.png and
// NAME_diff.png beside the golden (differing pixels in red over a dimmed copy). GOLDEN_UPDATE=1
// writes the golden instead and fails, so a regeneration is always a deliberate, reviewed step.
#include <string>

// Compares the 800 x 600 frame buffer with tests/golden/NAME.png. Returns an empty string when
// they match, otherwise what went wrong.
std::string CheckGolden(const std::string& name);
