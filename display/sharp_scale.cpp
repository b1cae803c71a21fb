#include "display/sharp_scale.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// One axis of `source` pixels shown as `target` pixels. Target pixel t covers the source interval
// [t S / T, (t + 1) S / T): in units of 1 / T source pixel, [t S, (t + 1) S). Each source pixel
// it overlaps weighs by the share of the interval it covers, in 256ths; the weights are rounded
// from running totals, so together they are exactly 256 and a plain colour stays exactly itself.
// Enlarged (S < T) an interval is less than one source pixel wide and overlaps at most two.
void AxisTable(int source, int target, std::vector<int32_t>& from, std::vector<uint16_t>& taps,
               std::vector<int32_t>& weightAt, std::vector<uint16_t>& weights) {
  from.assign(target, 0);
  taps.assign(target, 0);
  weightAt.assign(target, 0);
  weights.clear();
  const int64_t s = source, n = target;
  for (int64_t t = 0; t < n; ++t) {
    const int64_t start = t * s, end = start + s;
    // Running total of the interval covered up to `x`, in 256ths, rounded half up.
    const auto total = [&](int64_t x) {
      return static_cast<int>(((x - start) * 512 + s) / (2 * s));
    };
    int first = static_cast<int>(start / n);
    int last = static_cast<int>(std::min<int64_t>((end + n - 1) / n, s) - 1);
    std::vector<uint16_t> w;
    int before = 0;
    for (int i = first; i <= last; ++i) {
      const int after = total(std::min<int64_t>(end, (i + 1) * n));
      w.push_back(static_cast<uint16_t>(after - before));
      before = after;
    }
    // A sliver of a pixel at either end can round to nothing: leave it out.
    while (w.size() > 1 && w.back() == 0) w.pop_back();
    size_t skip = 0;
    while (skip + 1 < w.size() && w[skip] == 0) ++skip, ++first;
    from[t] = first;
    taps[t] = static_cast<uint16_t>(w.size() - skip);
    weightAt[t] = static_cast<int32_t>(weights.size());
    weights.insert(weights.end(), w.begin() + static_cast<std::ptrdiff_t>(skip), w.end());
  }
}

// Two channels of a pixel word at a time, 16 bits each (red and blue, or alpha and green
// shifted down): weighted sums of channels whose weights add up to 256 stay below 65,536, so
// the halves never spill into each other. 0x800080 rounds both to the nearest.
constexpr uint32_t Halves = 0x00FF00FF, Round = 0x00800080;

inline uint32_t Mix(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb) {
  const uint32_t rb = (a & Halves) * wa + (b & Halves) * wb + Round;
  const uint32_t ag = (a >> 8 & Halves) * wa + (b >> 8 & Halves) * wb + Round;
  return (rb >> 8 & Halves) | (ag & ~Halves);
}

#if defined(__SSE2__)
// Each 16-bit lane: (a x wa + b x wb + 128) / 256, the lanes holding one byte each.
inline __m128i MixLanes(__m128i a, __m128i wa, __m128i b, __m128i wb) {
  const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(a, wa), _mm_mullo_epi16(b, wb));
  return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(128)), 8);
}
#endif

// out = a mixed with b, b weighing wb of 256, for `count` pixels: two filtered rows mixed into a
// target row.
void MixRows(const uint32_t* a, const uint32_t* b, uint32_t* out, int count, uint32_t wb) {
  const uint32_t wa = 256 - wb;
  int x = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i va = _mm_set1_epi16(static_cast<int16_t>(wa));
  const __m128i vb = _mm_set1_epi16(static_cast<int16_t>(wb));
  for (; x + 4 <= count; x += 4) {
    const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
    const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
    const __m128i lo = MixLanes(_mm_unpacklo_epi8(pa, zero), va, _mm_unpacklo_epi8(pb, zero), vb);
    const __m128i hi = MixLanes(_mm_unpackhi_epi8(pa, zero), va, _mm_unpackhi_epi8(pb, zero), vb);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; x < count; ++x) out[x] = Mix(a[x], b[x], wa, wb);
}

// One source row filtered across, enlarging: target pixel x mixes source pixels from[x] and
// from[x] + 1 by PairWeights (the second weighing 0 where x lies wholly in one source pixel).
void EnlargeRow(const SharpScaler& s, const uint32_t* in, uint32_t* out) {
  const int32_t* from = s.ColumnFrom.data();
  const uint16_t* w = s.PairWeights.data();
  int x = 0;
#if defined(__SSE2__)
  // Each step loads the pair of source pixels of four target pixels with one 64-bit load each,
  // so it stops where the last pair would reach past the row.
  const __m128i zero = _mm_setzero_si128(), round = _mm_set1_epi16(128);
  const auto pair = [&](int i) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + from[i]));
  };
  const auto mix = [&](int i) {  // target pixels i and i + 1 as 16-bit lanes
    const __m128i pixels = _mm_unpacklo_epi64(pair(i), pair(i + 1));
    const __m128i weights0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8 * i));
    const __m128i weights1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8 * i + 8));
    const __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(pixels, zero), weights0);
    const __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(pixels, zero), weights1);
    const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(lo, hi), _mm_unpackhi_epi64(lo, hi));
    return _mm_srli_epi16(_mm_add_epi16(sum, round), 8);
  };
  for (; x + 4 <= s.Width && from[x + 3] + 1 < s.SourceWidth; x += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(mix(x), mix(x + 2)));
#endif
  for (; x < s.Width; ++x) {
    const uint32_t wb = w[8 * x + 4];
    out[x] = wb == 0 ? in[from[x]] : Mix(in[from[x]], in[from[x] + 1], 256 - wb, wb);
  }
}

// One source row filtered across with any number of source pixels per target pixel.
void FilterRow(const SharpScaler& s, const uint32_t* in, uint32_t* out) {
  for (int x = 0; x < s.Width; ++x) {
    const uint32_t* p = in + s.ColumnFrom[x];
    const uint16_t* w = s.ColumnWeights.data() + s.ColumnWeightAt[x];
    uint32_t rb = Round, ag = Round;
    for (int k = 0; k < s.ColumnTaps[x]; ++k) {
      rb += (p[k] & Halves) * w[k];
      ag += (p[k] >> 8 & Halves) * w[k];
    }
    out[x] = (rb >> 8 & Halves) | (ag & ~Halves);
  }
}

// Source row `row` filtered across, from the cache of lines or filtered now. The rows of one
// target row are consecutive and no more than the lines, so they never share a line.
const uint32_t* Line(SharpScaler& s, const uint32_t* source, int row) {
  const size_t i = static_cast<size_t>(row) % s.LineRow.size();
  uint32_t* line = s.Lines.data() + i * s.Width;
  if (s.LineRow[i] != row) {
    const uint32_t* in = source + static_cast<size_t>(row) * s.SourceWidth;
    if (s.TwoColumns)
      EnlargeRow(s, in, line);
    else
      FilterRow(s, in, line);
    s.LineRow[i] = row;
  }
  return line;
}

}  // namespace

void SharpScaleSetUp(SharpScaler& scaler, int sourceWidth, int sourceHeight, int width,
                     int height) {
  SharpScaler& s = scaler;
  s.SourceWidth = std::max(1, sourceWidth);
  s.SourceHeight = std::max(1, sourceHeight);
  s.Width = std::max(1, width);
  s.Height = std::max(1, height);
  AxisTable(s.SourceWidth, s.Width, s.ColumnFrom, s.ColumnTaps, s.ColumnWeightAt, s.ColumnWeights);
  AxisTable(s.SourceHeight, s.Height, s.RowFrom, s.RowTaps, s.RowWeightAt, s.RowWeights);
  s.TwoColumns = *std::max_element(s.ColumnTaps.begin(), s.ColumnTaps.end()) <= 2;
  s.PairWeights.assign(s.TwoColumns ? static_cast<size_t>(s.Width) * 8 : 0, 0);
  for (size_t x = 0; x < s.PairWeights.size() / 8; ++x) {
    const uint16_t* w = s.ColumnWeights.data() + s.ColumnWeightAt[x];
    std::fill_n(s.PairWeights.begin() + 8 * x, 4, w[0]);
    std::fill_n(s.PairWeights.begin() + 8 * x + 4, 4, s.ColumnTaps[x] > 1 ? w[1] : 0);
  }
  const int lines = *std::max_element(s.RowTaps.begin(), s.RowTaps.end());
  s.Lines.assign(static_cast<size_t>(s.Width) * lines, 0);
  s.LineRow.assign(lines, -1);
  s.Sum.assign(lines > 2 ? 2 * static_cast<size_t>(s.Width) : 0, 0);
}

void SharpScale(SharpScaler& scaler, const uint32_t* source, uint32_t* target, int pitch) {
  SharpScaleRows(scaler, source, target, pitch, 0, scaler.Height);
}

void SharpScaleRows(SharpScaler& scaler, const uint32_t* source, uint32_t* target, int pitch,
                    int firstRow, int endRow) {
  SharpScaler& s = scaler;
  std::fill(s.LineRow.begin(), s.LineRow.end(), -1);  // the source has changed since the last call
  for (int y = std::max(firstRow, 0); y < std::min(endRow, s.Height); ++y) {
    uint32_t* out = target + static_cast<size_t>(y) * pitch;
    const int taps = s.RowTaps[y], first = s.RowFrom[y];
    const uint16_t* w = s.RowWeights.data() + s.RowWeightAt[y];
    if (taps == 1) {
      std::memcpy(out, Line(s, source, first), sizeof(uint32_t) * s.Width);
    } else if (taps == 2) {
      MixRows(Line(s, source, first), Line(s, source, first + 1), out, s.Width, w[1]);
    } else {
      // Reducing by more than two: sums of red and blue, and of alpha and green, per pixel.
      uint32_t* rb = s.Sum.data();
      uint32_t* ag = rb + s.Width;
      std::fill(s.Sum.begin(), s.Sum.end(), Round);
      for (int k = 0; k < taps; ++k) {
        const uint32_t* line = Line(s, source, first + k);
        for (int x = 0; x < s.Width; ++x) {
          rb[x] += (line[x] & Halves) * w[k];
          ag[x] += (line[x] >> 8 & Halves) * w[k];
        }
      }
      for (int x = 0; x < s.Width; ++x) out[x] = (rb[x] >> 8 & Halves) | (ag[x] & ~Halves);
    }
  }
}

void SharpScaleTargetRows(const SharpScaler& scaler, int first, int end, int& firstRow,
                          int& endRow) {
  const SharpScaler& s = scaler;
  firstRow = endRow = 0;
  if (first >= end) return;
  while (firstRow < s.Height && s.RowFrom[firstRow] + s.RowTaps[firstRow] <= first) ++firstRow;
  endRow = firstRow;
  while (endRow < s.Height && s.RowFrom[endRow] < end) ++endRow;
}
