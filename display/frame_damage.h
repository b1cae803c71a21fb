#pragma once
// Which rows of the picture changed since the frame before: the main loop redraws every frame
// from scratch, but from one frame to the next most of it (the page, the frame of the skin)
// comes out the same. A presenter that scales on the processor scales and sends only the rows
// that changed.
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

struct FrameDamage {
  std::vector<uint32_t> Previous;  // the last frame; empty: every row counts as changed
};

// Compares the rows of `pixels` (width x height words) with the frame before, keeps the new
// ones, and lists the runs of changed rows as (first, end) pairs, top to bottom.
inline void FrameDamageRuns(FrameDamage& damage, const uint32_t* pixels, int width, int height,
                            std::vector<std::pair<int, int>>& runs) {
  runs.clear();
  const size_t row = static_cast<size_t>(width);
  if (damage.Previous.size() != row * height) {
    damage.Previous.assign(pixels, pixels + row * height);
    if (height > 0) runs.emplace_back(0, height);
    return;
  }
  for (int y = 0; y < height; ++y) {
    uint32_t* kept = damage.Previous.data() + row * y;
    const uint32_t* now = pixels + row * y;
    if (std::memcmp(kept, now, row * sizeof(uint32_t)) == 0) continue;
    std::memcpy(kept, now, row * sizeof(uint32_t));
    if (!runs.empty() && runs.back().second == y)
      runs.back().second = y + 1;
    else
      runs.emplace_back(y, y + 1);
  }
}

// The next frame counts as wholly changed (a new screen surface, a new size).
inline void FrameDamageReset(FrameDamage& damage) {
  damage.Previous.clear();
}
