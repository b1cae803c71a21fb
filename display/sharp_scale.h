#pragma once
// Sharp scaling of the 0x00RRGGBB picture to the screen's size: as if the picture were first
// enlarged by a whole factor with nearest neighbour and then filtered down to the target size by
// area. Every source pixel becomes a solid block of the same width (the scale) with at most one
// blended seam pixel on each side, so all strokes come out equally wide, which nearest neighbour
// at a factor like 1.28 does not give (some columns doubled, others not). At a whole factor the
// result is exactly nearest neighbour.
#include <cstdint>
#include <vector>

struct SharpScaler {
  int SourceWidth = 0, SourceHeight = 0;
  int Width = 0, Height = 0;  // target size
  // Per target column and row: the first source pixel and the weight of the next one (0..256).
  std::vector<int32_t> ColumnFrom, RowFrom;
  std::vector<uint16_t> ColumnWeight, RowWeight;
  std::vector<uint32_t> Scaled;  // source rows scaled to the target width
};

// Prepares the tables for a source of sourceWidth x sourceHeight and a target of width x height
// (all at least 1).
void SharpScaleSetUp(SharpScaler& scaler, int sourceWidth, int sourceHeight, int width, int height);
// Scales one picture into `target`, rows `pitch` words apart.
void SharpScale(SharpScaler& scaler, const uint32_t* source, uint32_t* target, int pitch);
