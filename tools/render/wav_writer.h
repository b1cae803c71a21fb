#pragma once
// A minimal streaming writer of 16-bit PCM WAV files: open, append samples, close (which fills in
// the sizes). Shared by the renderer's subcommands.
#include <cstdint>
#include <cstdio>

struct WavWriter {
  std::FILE* File = nullptr;
  uint32_t Channels = 0;
  uint32_t Rate = 0;
  uint64_t DataBytes = 0;
  bool Failed = false;
};

namespace wav_detail {
inline void Put16(WavWriter& w, uint32_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  if (std::fwrite(b, 1, 2, w.File) != 2) w.Failed = true;
}
inline void Put32(WavWriter& w, uint32_t v) {
  Put16(w, v & 0xFFFF);
  Put16(w, v >> 16);
}
inline void PutTag(WavWriter& w, const char* tag) {
  if (std::fwrite(tag, 1, 4, w.File) != 4) w.Failed = true;
}
// The RIFF header for the current data size.
inline void PutHeader(WavWriter& w) {
  const uint32_t data = static_cast<uint32_t>(w.DataBytes);
  PutTag(w, "RIFF");
  Put32(w, 36 + data);
  PutTag(w, "WAVE");
  PutTag(w, "fmt ");
  Put32(w, 16);
  Put16(w, 1);  // PCM
  Put16(w, w.Channels);
  Put32(w, w.Rate);
  Put32(w, w.Rate * w.Channels * 2);
  Put16(w, w.Channels * 2);
  Put16(w, 16);
  PutTag(w, "data");
  Put32(w, data);
}
}  // namespace wav_detail

inline bool WavOpen(WavWriter& w, const char* path, uint32_t channels, uint32_t rate) {
  w = {};
  w.File = std::fopen(path, "wb");
  if (w.File == nullptr) return false;
  w.Channels = channels;
  w.Rate = rate;
  wav_detail::PutHeader(w);
  return !w.Failed;
}

// Appends `count` samples (interleaved when there are several channels), little-endian.
inline bool WavWrite(WavWriter& w, const int16_t* samples, size_t count) {
  for (size_t i = 0; i < count; ++i) wav_detail::Put16(w, static_cast<uint16_t>(samples[i]));
  w.DataBytes += 2 * count;
  if (w.DataBytes > 0xFFFFFF00u) w.Failed = true;  // past what a RIFF size can say
  return !w.Failed;
}

// Writes the final sizes and closes the file. False if anything failed along the way.
inline bool WavClose(WavWriter& w) {
  if (w.File == nullptr) return false;
  if (!w.Failed && std::fseek(w.File, 0, SEEK_SET) == 0) {
    wav_detail::PutHeader(w);
  } else {
    w.Failed = true;
  }
  if (std::fclose(w.File) != 0) w.Failed = true;
  w.File = nullptr;
  return !w.Failed;
}
