#include "tools/render/wav_writer.h"

#include <bit>
#include <cstring>

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

void PutTag(std::vector<uint8_t>& b, const char* tag) {
  b.insert(b.end(), tag, tag + 4);
}

}  // namespace

bool WavOpen(WavWriter& w, const std::string& path, uint32_t channels, uint32_t rate,
             uint64_t dataBytes, std::string* reason) {
  w = WavWriter{};
  if (dataBytes > WavMaxDataBytes) {
    *reason = "more sound than a WAV file can hold";
    return false;
  }
  if (!CliOutputOpen(w.Out, path, reason)) return false;
  w.Channels = channels;
  w.DataBytes = dataBytes;
  const uint32_t data = static_cast<uint32_t>(dataBytes);
  std::vector<uint8_t>& b = w.Block;
  PutTag(b, "RIFF");
  Put32(b, 36 + data);
  PutTag(b, "WAVE");
  PutTag(b, "fmt ");
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, channels);
  Put32(b, rate);
  Put32(b, rate * channels * 2);
  Put16(b, channels * 2);
  Put16(b, 16);
  PutTag(b, "data");
  Put32(b, data);
  if (CliOutputWrite(w.Out, b.data(), b.size())) return true;
  *reason = std::strerror(w.Out.Error);
  CliOutputDiscard(w.Out);
  return false;
}

bool WavWrite(WavWriter& w, const int16_t* samples, size_t count) {
  w.WrittenBytes += 2 * count;
  // On a little-endian machine the samples already are the file's bytes.
  if constexpr (std::endian::native == std::endian::little) {
    return CliOutputWrite(w.Out, samples, 2 * count);
  }
  w.Block.resize(2 * count);
  for (size_t i = 0; i < count; ++i) {
    const uint16_t v = static_cast<uint16_t>(samples[i]);
    w.Block[2 * i] = static_cast<uint8_t>(v);
    w.Block[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  return CliOutputWrite(w.Out, w.Block.data(), w.Block.size());
}

bool WavClose(WavWriter& w, std::string* reason) {
  if (w.Out.Error == 0 && w.WrittenBytes != w.DataBytes) {
    CliOutputDiscard(w.Out);
    *reason = std::to_string(w.WrittenBytes) + " bytes of samples written, " +
              std::to_string(w.DataBytes) + " announced";
    return false;
  }
  return CliOutputCommit(w.Out, reason);
}

void WavDiscard(WavWriter& w) {
  CliOutputDiscard(w.Out);
}
