#include "tests/support/pitch.h"

#include <algorithm>
#include <cmath>
#include <vector>

double CrossingPitch(const float* s, size_t n, double rate, int least) {
  if (n < 2) return 0;
  double mean = 0, peak = 0;
  for (size_t i = 0; i < n; ++i) mean += s[i];
  mean /= double(n);
  for (size_t i = 0; i < n; ++i) peak = std::max(peak, std::fabs(s[i] - mean));
  double first = -1, last = -1;
  int crossings = 0;
  bool armed = false;
  for (size_t i = 1; i < n; ++i) {
    const double a = s[i - 1] - mean, b = s[i] - mean;
    if (a < -peak / 4) armed = true;
    if (armed && a < 0 && b >= 0) {
      last = double(i - 1) - a / (b - a);
      if (first < 0) first = last;
      ++crossings;
      armed = false;
    }
  }
  return crossings >= least && last > first ? rate * (crossings - 1) / (last - first) : 0;
}

double CrossingPitch(const int16_t* s, size_t n, double rate, int least) {
  const std::vector<float> f(s, s + n);
  return CrossingPitch(f.data(), n, rate, least);
}
