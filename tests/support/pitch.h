#pragma once
// The pitch of a stretch of audio from its zero crossings, shared by the peer tests.
#include <cstddef>
#include <cstdint>

// Hz of `s[0, n)` at `rate` samples a second from its rising crossings of the mean, each placed
// between two samples by linear interpolation; 0 with fewer than `least` crossings. A crossing
// counts only after the signal has been well below the mean (a quarter of the peak), so wiggles
// near zero, as in a resampled render, do not count twice.
double CrossingPitch(const float* s, size_t n, double rate, int least = 3);
double CrossingPitch(const int16_t* s, size_t n, double rate, int least = 3);
