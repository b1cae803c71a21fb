#pragma once
// A streaming writer of 16-bit PCM WAV files, shared by the renderer's subcommands. The length
// is known before the first sample, so the header is written once, up front, and the samples go
// out in blocks; the file appears under its name only when complete (tools/cli).
#include <cstdint>
#include <string>
#include <vector>

#include "tools/cli/cli.h"

// The most sample bytes a WAV file can hold: its RIFF size field (36 + data bytes) has 32 bits.
constexpr uint64_t WavMaxDataBytes = 0xFFFFFFFFull - 36;

// The most whole seconds of sound at `bytesPerSecond` that a WAV file can hold: the longest
// render the subcommands accept and their --help offers.
constexpr long WavMaxSeconds(uint64_t bytesPerSecond) {
  return static_cast<long>(WavMaxDataBytes / bytesPerSecond);
}

struct WavWriter {
  CliOutput Out;
  uint32_t Channels = 0;
  uint64_t DataBytes = 0;     // announced in the header
  uint64_t WrittenBytes = 0;  // written so far
  std::vector<uint8_t> Block;
};

// Starts the file for `dataBytes` bytes of samples. False with `reason` set (and nothing left
// behind) when it cannot be created or the length does not fit a WAV file.
bool WavOpen(WavWriter& w, const std::string& path, uint32_t channels, uint32_t rate,
             uint64_t dataBytes, std::string* reason);
// Appends `count` samples (interleaved when there are several channels), little-endian, as one
// block. False once a write has failed.
bool WavWrite(WavWriter& w, const int16_t* samples, size_t count);
// Puts the file in place. False with `reason` set when a write failed or fewer or more samples
// than announced were written; nothing is left behind then.
bool WavClose(WavWriter& w, std::string* reason);
// Drops the unfinished file.
void WavDiscard(WavWriter& w);
