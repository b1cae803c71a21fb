#include "display/sharp_scale.h"

#include <algorithm>
#include <cmath>

namespace {

// One axis: target pixel t covers the source interval [t / scale, (t + 1) / scale). Enlarged by a
// whole factor that interval holds whole blocks of at most two source pixels, and the filter down
// averages them by how much of the target pixel each covers: from, and from + 1 with `weight`.
// Every source pixel thus gives exactly `scale` target pixels' worth of light, blended into a
// neighbour only in the one target pixel that straddles their border.
void AxisTable(int source, int target, std::vector<int32_t>& from, std::vector<uint16_t>& weight) {
  from.assign(target, 0);
  weight.assign(target, 0);
  const double scale = static_cast<double>(target) / source;
  for (int t = 0; t < target; ++t) {
    const double a = t / scale, b = (t + 1) / scale;
    const int first = std::clamp(static_cast<int>(std::floor(a + 1e-9)), 0, source - 1);
    const double border = first + 1.0;
    from[t] = first;
    if (first + 1 < source && b > border + 1e-9)
      weight[t] = static_cast<uint16_t>(std::lround(std::min(1.0, (b - border) / (b - a)) * 256));
  }
}

// (a * (256 - w) + b * w) / 256 per channel, two channels at a time.
inline uint32_t Blend(uint32_t a, uint32_t b, uint32_t w) {
  const uint32_t rb = ((a & 0xFF00FF) * (256 - w) + (b & 0xFF00FF) * w) >> 8;
  const uint32_t g = ((a & 0x00FF00) * (256 - w) + (b & 0x00FF00) * w) >> 8;
  return (rb & 0xFF00FF) | (g & 0x00FF00);
}

}  // namespace

void SharpScaleSetUp(SharpScaler& scaler, int sourceWidth, int sourceHeight, int width,
                     int height) {
  scaler.SourceWidth = sourceWidth;
  scaler.SourceHeight = sourceHeight;
  scaler.Width = width;
  scaler.Height = height;
  AxisTable(sourceWidth, width, scaler.ColumnFrom, scaler.ColumnWeight);
  AxisTable(sourceHeight, height, scaler.RowFrom, scaler.RowWeight);
  scaler.Scaled.assign(static_cast<size_t>(width) * sourceHeight, 0);
}

void SharpScale(SharpScaler& scaler, const uint32_t* source, uint32_t* target, int pitch) {
  const int width = scaler.Width;
  for (int y = 0; y < scaler.SourceHeight; ++y) {
    const uint32_t* in = source + static_cast<size_t>(y) * scaler.SourceWidth;
    uint32_t* out = scaler.Scaled.data() + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      const int32_t from = scaler.ColumnFrom[x];
      const uint32_t w = scaler.ColumnWeight[x];
      out[x] = w ? Blend(in[from], in[from + 1], w) : in[from];
    }
  }
  for (int y = 0; y < scaler.Height; ++y) {
    const uint32_t* a = scaler.Scaled.data() + static_cast<size_t>(scaler.RowFrom[y]) * width;
    const uint32_t w = scaler.RowWeight[y];
    uint32_t* out = target + static_cast<size_t>(y) * pitch;
    if (w == 0) {
      std::copy(a, a + width, out);
    } else {
      const uint32_t* b = a + width;
      for (int x = 0; x < width; ++x) out[x] = Blend(a[x], b[x], w);
    }
  }
}
