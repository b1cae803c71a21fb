// XM loader: decodes the bytes of a module into a ModuleSong.
//
// Every read is checked: input that ends early, sizes that do not fit the file, and fields that
// the replay would use to index past its tables make the load fail, and a failed load releases
// everything built so far.
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "module/module_machine.h"

const ModuleInstrument EmptyInstrument;
const ModuleSample EmptySample;

namespace {

constexpr char Signature[] = "Extended Module: ";
constexpr int MaxPatterns = 256;
constexpr int MaxInstruments = 128;
constexpr uint32_t MaxRows = 256;
constexpr int EnvelopeFilePoints = 12;
// Bits of a sample header's type byte.
constexpr uint8_t SampleTypeForward = 1;
constexpr uint8_t SampleTypePingPong = 2;
constexpr uint8_t SampleType16Bit = 16;

uint32_t Le16(const uint8_t* p) {
  return p[0] | p[1] << 8;
}
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The loader's view of its input: the bytes, their count and the read position.
struct Reader {
  const uint8_t* data;
  int64_t size;
  int64_t position;
};

// Takes the next `count` bytes; fails, reading nothing, when fewer are left.
const uint8_t* Take(Reader& r, int64_t count) {
  if (count > r.size - r.position) return nullptr;
  const uint8_t* bytes = r.data + r.position;
  r.position += count;
  return bytes;
}

bool ReadExact(Reader& r, void* destination, uint32_t count) {
  const uint8_t* bytes = Take(r, count);
  if (!bytes) return false;
  if (count != 0) std::memcpy(destination, bytes, count);
  return true;
}

int64_t Tell(const Reader& r) {
  return r.position;
}

// Seeks to an absolute offset; offsets past the end of the input fail.
bool SeekTo(Reader& r, int64_t offset) {
  if (offset < 0 || offset > r.size) return false;
  r.position = offset;
  return true;
}

bool ReadU8(Reader& r, uint8_t& value) {
  return ReadExact(r, &value, 1);
}

bool ReadU16(Reader& r, uint32_t& value) {
  uint8_t b[2];
  if (!ReadExact(r, b, 2)) return false;
  value = Le16(b);
  return true;
}

bool ReadU32(Reader& r, uint32_t& value) {
  uint8_t b[4];
  if (!ReadExact(r, b, 4)) return false;
  value = Le32(b);
  return true;
}

// Decodes one pattern's packed cells; the data must hold exactly rows x channels cells.
bool DecodePattern(Reader& r, ModuleCell* cells, uint32_t cellCount, uint32_t packedSize) {
  int64_t start = Tell(r);
  if (start + packedSize > r.size) return false;
  for (uint32_t i = 0; i < cellCount; ++i) {
    ModuleCell& cell = cells[i];
    uint8_t b;
    if (!ReadU8(r, b)) return false;
    if (b & 0x80) {
      uint8_t* fields[5] = {&cell.Note, &cell.Instrument, &cell.Volume, &cell.Effect,
                            &cell.Parameter};
      for (int f = 0; f < 5; ++f) {
        if ((b & (1 << f)) && !ReadU8(r, *fields[f])) return false;
      }
    } else {
      cell.Note = b;
      uint8_t rest[4];
      if (!ReadExact(r, rest, 4)) return false;
      cell.Instrument = rest[0];
      cell.Volume = rest[1];
      cell.Effect = rest[2];
      cell.Parameter = rest[3];
    }
    if (cell.Note > 97) return false;
    if (cell.Note == 97) cell.Note = NoteKeyOff;
    if (cell.Instrument > 128) cell.Instrument = 0;
  }
  return Tell(r) == start + packedSize;
}

// An envelope the replay will run must have its points in the table, ticks that do not go back
// and its sustain and loop points among the points.
bool EnvelopeValid(const ModuleEnvelopePoint* points, uint8_t count, uint8_t type, uint8_t sustain,
                   uint8_t loopStart, uint8_t loopEnd) {
  if (count > EnvelopeFilePoints) return false;
  if (!(type & EnvelopeOn)) return true;
  for (int i = 1; i < count; ++i) {
    if (points[i].Tick < points[i - 1].Tick) return false;
  }
  if ((type & EnvelopeSustain) && sustain >= count) return false;
  if ((type & EnvelopeLoop) && (loopStart >= count || loopEnd >= count)) return false;
  return true;
}

bool ParseInstrumentHeader(Reader& r, ModuleInstrument& instrument, uint32_t& sampleCount,
                           int64_t& end) {
  int64_t p = Tell(r);
  uint32_t headerSize;
  if (!ReadU32(r, headerSize)) return false;
  if (!SeekTo(r, p + 27)) return false;  // name and type
  if (!ReadU16(r, sampleCount)) return false;
  if (sampleCount > 16) return false;
  end = p + headerSize;
  if (sampleCount == 0) {
    for (const ModuleSample*& s : instrument.Samples) s = &EmptySample;
    return end >= Tell(r) && SeekTo(r, end);
  }
  uint8_t block[4 + 96 + 48 + 48 + 16];
  if (!ReadExact(r, block, sizeof block)) return false;
  if (end < Tell(r)) return false;  // a header shorter than what was just read
  const uint8_t* q = block + 4;
  for (int i = 0; i < 96; ++i) instrument.Keymap[i] = q[i];
  q += 96;
  // Envelope values run 0..64; larger ones in a file play as 64.
  for (int i = 0; i < EnvelopeFilePoints; ++i) {
    instrument.VolumePoints[i] = {uint16_t(Le16(q + i * 4)),
                                  uint16_t(std::min<uint32_t>(Le16(q + i * 4 + 2), 64))};
  }
  q += 48;
  for (int i = 0; i < EnvelopeFilePoints; ++i) {
    instrument.PanningPoints[i] = {uint16_t(Le16(q + i * 4)),
                                   uint16_t(std::min<uint32_t>(Le16(q + i * 4 + 2), 64))};
  }
  q += 48;
  instrument.VolumePointCount = q[0];
  instrument.PanningPointCount = q[1];
  instrument.VolumeSustain = q[2];
  instrument.VolumeLoopStart = q[3];
  instrument.VolumeLoopEnd = q[4];
  instrument.PanningSustain = q[5];
  instrument.PanningLoopStart = q[6];
  instrument.PanningLoopEnd = q[7];
  instrument.VolumeType = q[8];
  instrument.PanningType = q[9];
  instrument.VibratoType = q[10];
  instrument.VibratoSweep = q[11];
  instrument.VibratoDepth = q[12];
  instrument.VibratoRate = q[13];
  instrument.Fadeout = uint16_t(Le16(q + 14) * 2);
  if (instrument.VolumePointCount < 2) instrument.VolumeType = 0;
  if (instrument.PanningPointCount < 2) instrument.PanningType = 0;
  if (!EnvelopeValid(instrument.VolumePoints, instrument.VolumePointCount, instrument.VolumeType,
                     instrument.VolumeSustain, instrument.VolumeLoopStart,
                     instrument.VolumeLoopEnd) ||
      !EnvelopeValid(instrument.PanningPoints, instrument.PanningPointCount, instrument.PanningType,
                     instrument.PanningSustain, instrument.PanningLoopStart,
                     instrument.PanningLoopEnd)) {
    return false;
  }
  return SeekTo(r, end);
}

// Reads one 40-byte sample header into a fresh record owned by the instrument.
bool ParseSampleHeader(Reader& r, ModuleSample& sample) {
  uint8_t h[40];
  if (!ReadExact(r, h, sizeof h)) return false;
  sample.Length = Le32(h);
  sample.LoopStart = Le32(h + 4);
  sample.LoopLength = Le32(h + 8);
  sample.DefaultVolume = h[12];
  sample.Finetune = int8_t(h[13]);
  sample.Bits = 8;
  sample.LoopMode = LoopNone;
  uint8_t type = h[14];
  if (type & SampleTypeForward) sample.LoopMode = LoopForward;
  if (type & SampleTypePingPong) sample.LoopMode = LoopPingPong;
  if (type & SampleType16Bit) sample.Bits = 16;
  if (sample.LoopMode == LoopNone) {
    sample.LoopStart = 0;
    sample.LoopLength = sample.Length;
  }
  if (sample.Bits == 16) {
    sample.Length /= 2;
    sample.LoopStart /= 2;
    sample.LoopLength /= 2;
  }
  if (sample.LoopLength == 0) {
    sample.LoopStart = 0;
    sample.LoopLength = sample.Length;
    sample.LoopMode = LoopNone;
  }
  // A loop reaching past the data would make the mixer read beyond the buffer.
  if (uint64_t(sample.LoopStart) + sample.LoopLength > sample.Length) return false;
  sample.DefaultPanning = h[15];
  sample.RelativeNote = int8_t(h[16]);
  return true;
}

// Reads and decodes one sample's data into a buffer of length + 8 frames (the 8 past the end
// zero but for the guard value).
bool ReadSampleData(Reader& r, ModuleSample& sample) {
  const uint64_t bytes = uint64_t(sample.Length) * sample.Bits / 8;
  if (Tell(r) + int64_t(bytes) > r.size) return false;
  int16_t* data = new (std::nothrow) int16_t[size_t(sample.Length) + 8]();
  if (!data) return false;
  const uint8_t* raw = Take(r, int64_t(bytes));
  if (sample.Bits == 8) {
    for (uint32_t i = 0; i < sample.Length; ++i) data[i] = int16_t(uint16_t(raw[i] << 8));
  } else {
    for (uint32_t i = 0; i < sample.Length; ++i) {
      data[i] = int16_t(uint16_t(raw[2 * i] | raw[2 * i + 1] << 8));
    }
  }
  sample.Bits = 16;
  uint16_t sum = 0;
  for (uint32_t i = 0; i < sample.Length; ++i) {
    sum = uint16_t(sum + uint16_t(data[i]));
    data[i] = int16_t(sum);
  }
  uint32_t loopEnd = sample.LoopStart + sample.LoopLength;
  if (sample.LoopMode == LoopForward) data[loopEnd] = data[sample.LoopStart];
  if (sample.LoopMode == LoopPingPong) data[loopEnd] = data[loopEnd - 1];
  sample.Data = data;
  return true;
}

bool ParseInstrument(Reader& r, ModuleInstrument& instrument) {
  uint32_t count;
  int64_t end;
  if (!ParseInstrumentHeader(r, instrument, count, end)) return false;
  if (count == 0) return true;
  ModuleSample* samples[16] = {};
  for (uint32_t i = 0; i < count; ++i) {
    samples[i] = new (std::nothrow) ModuleSample();
    bool ok = samples[i] && ParseSampleHeader(r, *samples[i]);
    if (!ok) {
      for (uint32_t k = 0; k <= i; ++k) delete samples[k];
      return false;
    }
  }
  // From here the instrument owns its samples, so ReleaseSong releases them on a later failure.
  instrument.SampleCount = count;
  for (int i = 0; i < 16; ++i) instrument.Samples[i] = i < int(count) ? samples[i] : &EmptySample;
  for (uint32_t i = 0; i < count; ++i) {
    if (samples[i]->Length != 0 && !ReadSampleData(r, *samples[i])) return false;
  }
  return true;
}

// Fills `song` from the reader; on failure what was built so far is left for ReleaseSong.
bool ParseSong(ModuleSong& song, Reader& r) {
  char signature[17];
  if (!ReadExact(r, signature, 17) || std::memcmp(signature, Signature, 17) != 0) return false;
  song.DefaultGlobalVolume = 64;

  uint8_t header[20];
  if (!SeekTo(r, 60) || !ReadExact(r, header, 20) || !ReadExact(r, song.OrderTable, 256)) {
    return false;
  }
  uint32_t headerSize = Le32(header);
  uint32_t songLength = Le16(header + 4);
  uint32_t restart = Le16(header + 6);
  uint32_t channels = Le16(header + 8);
  uint32_t patternCount = Le16(header + 10);
  uint32_t instrumentCount = Le16(header + 12);
  song.Flags = uint16_t(Le16(header + 14));
  uint32_t speed = Le16(header + 16);
  uint32_t bpm = Le16(header + 18);
  // Limits of the format and of the replay's tables; a BPM of 0 would stall the mixer.
  if (songLength < 1 || songLength > 256 || channels < 1 || channels > ModuleMaxChannels ||
      patternCount > MaxPatterns || instrumentCount > MaxInstruments || bpm < 1 || bpm > 255 ||
      speed > 255) {
    return false;
  }
  song.SongLength = int16_t(songLength);
  song.RestartPosition = int16_t(restart < songLength ? restart : 0);
  song.Channels = int16_t(channels);
  song.InstrumentCount = int16_t(instrumentCount);
  song.DefaultSpeed = int16_t(speed);
  song.DefaultBpm = int16_t(bpm);
  if (!SeekTo(r, 60 + int64_t(headerSize))) return false;

  int32_t used = 0;
  for (uint32_t i = 0; i < songLength; ++i) {
    if (song.OrderTable[i] >= used) used = song.OrderTable[i] + 1;
  }
  song.PatternsUsed = used;
  song.PatternSlots = std::max<int32_t>(used, int32_t(patternCount));
  auto* patterns = new (std::nothrow) ModulePattern[size_t(song.PatternSlots)]();
  if (!patterns) return false;
  song.Patterns = patterns;

  for (int32_t p = 0; p < song.PatternSlots; ++p) {
    ModulePattern& pattern = patterns[p];
    uint32_t rows = 64, packedSize = 0;
    if (p < int32_t(patternCount)) {
      // The header states its own length; the cells follow it (a length below 9 is read as 9).
      int64_t start = Tell(r);
      uint8_t h[9];
      if (!ReadExact(r, h, 9)) return false;
      rows = Le16(h + 5);
      packedSize = Le16(h + 7);
      if (rows < 1 || rows > MaxRows) return false;
      if (Le32(h) > 9 && !SeekTo(r, start + Le32(h))) return false;
    }
    uint32_t cellCount = rows * channels;
    auto* cells = new (std::nothrow) ModuleCell[cellCount]();
    if (!cells) return false;
    pattern.Cells = cells;
    pattern.RowCount = rows;
    if (packedSize != 0 && !DecodePattern(r, cells, cellCount, packedSize)) return false;
  }

  if (instrumentCount > 0) {
    auto* instruments = new (std::nothrow) ModuleInstrument[instrumentCount]();
    if (!instruments) return false;
    song.Instruments = instruments;
    for (uint32_t i = 0; i < instrumentCount; ++i) {
      if (!ParseInstrument(r, instruments[i])) return false;
    }
  }
  return true;
}

}  // namespace

const ModuleSong* LoadSong(const uint8_t* image, size_t size) {
  auto* song = new (std::nothrow) ModuleSong();
  if (!song) return nullptr;
  const size_t largest = size_t(std::numeric_limits<int64_t>::max());
  Reader r{image, image ? int64_t(std::min(size, largest)) : 0, 0};
  if (!ParseSong(*song, r)) {
    ReleaseSong(song);
    return nullptr;
  }
  return song;
}

void ReleaseSong(const ModuleSong* song) {
  if (!song) return;
  if (song->Instruments) {
    for (int i = 0; i < song->InstrumentCount; ++i) {
      const ModuleInstrument& instrument = song->Instruments[i];
      for (uint32_t s = 0; s < instrument.SampleCount; ++s) {
        delete[] instrument.Samples[s]->Data;
        delete instrument.Samples[s];
      }
    }
    delete[] song->Instruments;
  }
  if (song->Patterns) {
    for (int32_t p = 0; p < song->PatternSlots; ++p) delete[] song->Patterns[p].Cells;
    delete[] song->Patterns;
  }
  delete song;
}
