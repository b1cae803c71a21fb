#pragma once
// Sharp scaling of the 0x00RRGGBB picture to the screen's size, larger or smaller: every target
// pixel is the average of the source area it covers. Enlarged, that is as if the picture were
// first enlarged by a large whole factor with nearest neighbour and then filtered down: every
// source pixel becomes a solid block of the same width (the scale) with at most one blended
// seam pixel on each side, so all strokes come out equally wide, which nearest neighbour at a
// factor like 1.28 does not give (some columns doubled, others not). At a whole factor the result
// is exactly nearest neighbour. Reduced, every source row and column still gives its share of
// light: nothing is dropped.
//
// Enlarging, each target pixel mixes at most 2 x 2 source pixels with weights computed once by
// SharpScaleSetUp; rows are filtered across first, into a cache of two rows, then down, with
// SSE2 on x86 and the same arithmetic in portable code elsewhere (every channel rounded to the
// nearest of (a x wa + b x wb) / 256). No picture-sized buffer is kept besides the target.
#include <cstdint>
#include <vector>

struct SharpScaler {
  int SourceWidth = 0, SourceHeight = 0;
  int Width = 0, Height = 0;  // target size
  // Per axis and target pixel: the first source pixel it covers, how many it covers (Taps) and
  // where their weights (each 0..256, together 256) start in the axis's weight list.
  std::vector<int32_t> ColumnFrom, RowFrom;
  std::vector<uint16_t> ColumnTaps, RowTaps;
  std::vector<int32_t> ColumnWeightAt, RowWeightAt;
  std::vector<uint16_t> ColumnWeights, RowWeights;
  // No target column covers more than 2 source columns (enlarging): then per target column the
  // weights of its first and second source pixel, each repeated for the four bytes of a pixel,
  // as the SIMD code reads them.
  bool TwoColumns = false;
  std::vector<uint16_t> PairWeights;
  // Source rows filtered across to the target width, as many as a target row covers at most,
  // source row r in line r modulo their number, and the source row each holds (-1: none).
  std::vector<uint32_t> Lines;
  std::vector<int32_t> LineRow;
  std::vector<uint32_t> Sum;  // target rows of more than two source rows: their sums per pixel
};

// Prepares the tables for a source of sourceWidth x sourceHeight and a target of width x height
// (all at least 1).
void SharpScaleSetUp(SharpScaler& scaler, int sourceWidth, int sourceHeight, int width, int height);
// Scales one picture into `target`, rows `pitch` words apart.
void SharpScale(SharpScaler& scaler, const uint32_t* source, uint32_t* target, int pitch);
// Scales only target rows firstRow..endRow - 1: after some source rows changed, those that
// SharpScaleTargetRows names for them.
void SharpScaleRows(SharpScaler& scaler, const uint32_t* source, uint32_t* target, int pitch,
                    int firstRow, int endRow);
// The target rows that source rows first..end - 1 reach: firstRow..endRow - 1 (empty when no
// source row is given).
void SharpScaleTargetRows(const SharpScaler& scaler, int first, int end, int& firstRow,
                          int& endRow);
