#pragma once
// Peer renders for the module tests: Debian's xmp and openmpt123 play a module image to PCM, and
// a render (ours or a peer's) is measured in 20 ms windows of level and pitch.
#include <cstdint>
#include <string>
#include <vector>

bool HavePeer(const char* name);

// Renders `image` with the peer ("xmp" or "openmpt123") for `seconds` (the peers stop earlier at
// the song's end) and returns the mono signal, empty when the peer failed. Safe to call from
// several threads at once.
std::vector<float> RenderPeerSignal(const char* peer, const std::vector<uint8_t>& image,
                                    int seconds);

// Left and right of interleaved 16-bit stereo averaged into one signal.
std::vector<float> MonoOf(const std::vector<int16_t>& stereo);

// Level (dB below the render's loudest window) and pitch (Hz, 0 when too quiet to tell) of one
// 20 ms window.
struct Window {
  double db;
  double hz;
};

// The first `count` 20 ms windows of a render (fewer when it is shorter).
std::vector<Window> Windows(const std::vector<float>& s, size_t count);

// Levels are compared where a note sounds clearly (above -24 dB) or not at all (below -40 dB):
// the tail of a fade in between is shaped by each player's own volume resolution.
bool Comparable(const Window& a);
// Both silent, or both sounding within 6 dB.
bool SameLevel(const Window& a, const Window& b);
// Within 25 cents, or both without a pitch.
bool SamePitch(const Window& a, const Window& b);
