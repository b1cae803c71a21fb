#include "generators/xmgen/score.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "generators/xmgen/synth.h"

namespace {

constexpr int TargetChannels = 4;
constexpr int DefaultSpeed = 6;
constexpr int DefaultBpm = 125;
constexpr const char* TrackerName = "Quellmark xmgen";

struct ScoreError : std::runtime_error {
  ScoreError(int line, const std::string& what)
      : std::runtime_error("line " + std::to_string(line) + ": " + what) {}
};

// A directive line and its indented continuation lines, split into words. A word in double
// quotes may hold blanks; key="..." keeps its key.
struct Block {
  int line = 0;
  std::vector<std::string> words;
};

std::vector<Block> SplitBlocks(const std::string& text) {
  std::vector<Block> blocks;
  std::istringstream in(text);
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    const size_t comment = raw.find("//");
    if (comment != std::string::npos) raw.erase(comment);
    if (raw.find_first_not_of(" \t\r") == std::string::npos) continue;
    const bool continuation = raw[0] == ' ' || raw[0] == '\t';
    if (!continuation) blocks.push_back({number, {}});
    if (blocks.empty()) throw ScoreError(number, "indented line before any directive");
    std::string word;
    bool quoted = false, in_word = false;
    for (char ch : raw) {
      if (ch == '"') {
        quoted = !quoted;
        in_word = true;
      } else if (!quoted && (ch == ' ' || ch == '\t' || ch == '\r')) {
        if (in_word) blocks.back().words.push_back(word);
        word.clear();
        in_word = false;
      } else {
        word += ch;
        in_word = true;
      }
    }
    if (quoted) throw ScoreError(number, "unclosed quote");
    if (in_word) blocks.back().words.push_back(word);
  }
  return blocks;
}

int ParseInt(const std::string& text, int line, int low, int high) {
  size_t used = 0;
  int value = 0;
  try {
    value = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || value < low || value > high)
    throw ScoreError(line, "expected a number " + std::to_string(low) + ".." +
                               std::to_string(high) + ", got '" + text + "'");
  return value;
}

double ParseReal(const std::string& text, int line) {
  size_t used = 0;
  double value = 0;
  try {
    value = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size()) throw ScoreError(line, "expected a number: " + text);
  return value;
}

int HexDigit(char ch, int line) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  throw ScoreError(line, std::string("expected a hex digit, got '") + ch + "'");
}

// "C-4", "F#2": 0-based note number (C-0 = 0), or -1 when `text` at `pos` is not a note.
int ParseNoteName(const std::string& text, size_t pos) {
  if (pos + 3 > text.size()) return -1;
  const char letter = text[pos], sign = text[pos + 1], octave = text[pos + 2];
  const char* letters = "C.D.EF.G.A.B";
  const char* found = letter >= 'A' && letter <= 'G' ? std::strchr(letters, letter) : nullptr;
  if (found == nullptr || (sign != '-' && sign != '#') || octave < '0' || octave > '7') return -1;
  const int semitone = int(found - letters) + (sign == '#' ? 1 : 0);
  return (octave - '0') * 12 + semitone;
}

struct Instrument {
  int line = 0;
  SynthParams params;
  std::string name, sample_name;
  int volume = 64;
  int panning = 128;
  bool fit = false;
};

void SetParam(Instrument& inst, const std::string& key, const std::string& value, int line) {
  SynthParams& p = inst.params;
  if (key == "name") {
    inst.name = value;
  } else if (key == "sample") {
    inst.sample_name = value;
  } else if (key == "kind") {
    const std::map<std::string, SynthKind> kinds = {{"kick", SynthKind::Kick},
                                                    {"snare", SynthKind::Snare},
                                                    {"hat", SynthKind::Hat},
                                                    {"tone", SynthKind::Tone}};
    if (!kinds.count(value)) throw ScoreError(line, "unknown kind " + value);
    p.kind = kinds.at(value);
  } else if (key == "wave") {
    const std::map<std::string, SynthWave> waves = {{"sine", SynthWave::Sine},
                                                    {"tri", SynthWave::Triangle},
                                                    {"saw", SynthWave::Saw},
                                                    {"square", SynthWave::Square},
                                                    {"pulse", SynthWave::Pulse}};
    if (!waves.count(value)) throw ScoreError(line, "unknown wave " + value);
    p.wave = waves.at(value);
  } else if (key == "base") {
    p.base_note = ParseNoteName(value, 0);
    if (p.base_note < 0 || value.size() != 3) throw ScoreError(line, "bad note " + value);
  } else if (key == "chord") {
    p.chord.clear();
    std::istringstream list(value);
    std::string item;
    while (std::getline(list, item, ',')) p.chord.push_back(ParseInt(item, line, -24, 24));
    if (p.chord.empty()) throw ScoreError(line, "empty chord");
  } else if (key == "vol") {
    inst.volume = ParseInt(value, line, 0, 64);
  } else if (key == "pan") {
    inst.panning = ParseInt(value, line, 0, 255);
  } else if (key == "fit") {
    inst.fit = ParseInt(value, line, 0, 1) == 1;
  } else if (key == "octave") {
    p.octave = ParseInt(value, line, 0, 2);
  } else if (key == "seed") {
    p.seed = uint32_t(ParseInt(value, line, 1, 1 << 30));
  } else if (key == "voices") {
    p.voices = ParseInt(value, line, 1, 8);
  } else {
    const std::map<std::string, double*> reals = {{"gain", &p.gain},
                                                  {"len", &p.length_ms},
                                                  {"f1", &p.freq_start},
                                                  {"f2", &p.freq_end},
                                                  {"sweep", &p.sweep_ms},
                                                  {"decay", &p.decay_ms},
                                                  {"ndecay", &p.noise_decay_ms},
                                                  {"click", &p.click},
                                                  {"drive", &p.drive},
                                                  {"colour", &p.colour},
                                                  {"width", &p.width},
                                                  {"pwm", &p.pwm},
                                                  {"detune", &p.detune_cents},
                                                  {"attack", &p.attack_ms},
                                                  {"body", &p.body_ms},
                                                  {"loop", &p.loop_ms},
                                                  {"sustain", &p.sustain},
                                                  {"bright0", &p.bright_start},
                                                  {"bright1", &p.bright_end},
                                                  {"sub", &p.sub}};
    if (!reals.count(key)) throw ScoreError(line, "unknown instrument parameter " + key);
    *reals.at(key) = ParseReal(value, line);
  }
}

using Track = std::vector<XmCell>;

// Parses one cell word of a track, appending the rows it occupies.
void ParseCellWord(const std::string& word, int line, int& instrument, Track& track) {
  XmCell cell;
  size_t pos = 0;
  if (word[0] == '.') {
    pos = 1;
  } else if (word[0] == '^') {
    cell.Note = 97;
    pos = 1;
  } else {
    const int note = ParseNoteName(word, 0);
    if (note < 0) throw ScoreError(line, "bad cell '" + word + "'");
    cell.Note = uint8_t(note + 1);
    pos = 3;
  }
  int rows = 1;
  bool hold_effect = false;
  while (pos < word.size()) {
    const char tag = word[pos++];
    // Effects take three characters and raw volume bytes two; the other marks take digits.
    size_t end = pos;
    if (tag == '#' || tag == 'V') {
      end = std::min(word.size(), pos + (tag == '#' ? 3 : 2));
    } else {
      while (end < word.size() && std::isdigit(static_cast<unsigned char>(word[end]))) ++end;
    }
    const std::string arg = word.substr(pos, end - pos);
    switch (tag) {
      case 'i':
        instrument = ParseInt(arg, line, 1, 128);
        break;
      case 'v':
        cell.Volume = uint8_t(0x10 + ParseInt(arg, line, 0, 64));
        break;
      case 'V':
        if (arg.size() != 2) throw ScoreError(line, "V needs two hex digits in " + word);
        cell.Volume = uint8_t(HexDigit(arg[0], line) * 16 + HexDigit(arg[1], line));
        break;
      case '#': {
        if (arg.size() != 3) throw ScoreError(line, "effect needs three characters in " + word);
        const char e = char(std::toupper(static_cast<unsigned char>(arg[0])));
        if (e >= '0' && e <= '9') {
          cell.Effect = uint8_t(e - '0');
        } else if (e >= 'A' && e <= 'Z') {
          cell.Effect = uint8_t(e - 'A' + 10);
        } else {
          throw ScoreError(line, "bad effect in " + word);
        }
        cell.Parameter = uint8_t(HexDigit(arg[1], line) * 16 + HexDigit(arg[2], line));
        break;
      }
      case '*':
        rows = ParseInt(arg, line, 1, 256);
        break;
      case '~':
        rows = ParseInt(arg, line, 1, 256);
        hold_effect = true;
        break;
      default:
        throw ScoreError(line, "unknown mark '" + std::string(1, tag) + "' in " + word);
    }
    pos = end;
  }
  if (cell.Note >= 1 && cell.Note <= 96) {
    if (instrument == 0) throw ScoreError(line, "note before any instrument: " + word);
    cell.Instrument = uint8_t(instrument);
  }
  track.push_back(cell);
  XmCell held;
  if (hold_effect) {
    held.Effect = cell.Effect;
    held.Parameter = cell.Parameter;
  }
  for (int i = 1; i < rows; ++i) track.push_back(held);
}

// "name", "name+5", "name-3", optionally "@instrument"; "_16" is sixteen empty rows.
Track ResolveTrackRef(const std::string& ref, int line, const std::map<std::string, Track>& tracks,
                      const std::vector<Instrument>& instruments) {
  if (ref[0] == '_') return Track(size_t(ParseInt(ref.substr(1), line, 1, 256)));
  size_t end = 0;
  while (end < ref.size() &&
         (std::isalnum(static_cast<unsigned char>(ref[end])) || ref[end] == '_'))
    ++end;
  const std::string name = ref.substr(0, end);
  if (!tracks.count(name)) throw ScoreError(line, "unknown track " + name);
  int transpose = 0, instrument = 0;
  size_t at = ref.find('@', end);
  if (end < ref.size() && (ref[end] == '+' || ref[end] == '-'))
    transpose = ParseInt(ref.substr(end, at == std::string::npos ? std::string::npos : at - end),
                         line, -48, 48);
  else if (end < ref.size() && ref[end] != '@')
    throw ScoreError(line, "bad track reference " + ref);
  if (at != std::string::npos) {
    instrument = ParseInt(ref.substr(at + 1), line, 1, 128);
    if (instrument > int(instruments.size())) throw ScoreError(line, "no instrument in " + ref);
  }
  Track track = tracks.at(name);
  for (XmCell& cell : track) {
    if (cell.Note < 1 || cell.Note > 96) continue;
    const int note = cell.Note + transpose;
    if (note < 1 || note > 96) throw ScoreError(line, "transposed out of range: " + ref);
    cell.Note = uint8_t(note);
    if (instrument) cell.Instrument = uint8_t(instrument);
  }
  return track;
}

XmInstrument MakeInstrument(const Instrument& inst) {
  const SynthResult result = SynthSample(inst.params);
  XmSample sample;
  sample.Name = inst.sample_name;
  sample.Frames.assign(result.data.begin(), result.data.end());
  if (result.loop_length > 0) {
    sample.Loop = 1;  // forward
    sample.LoopStart = result.loop_start;
    sample.LoopLength = result.loop_length;
  }
  sample.Volume = uint8_t(inst.volume);
  sample.Panning = uint8_t(inst.panning);
  sample.RelativeNote = result.relative_note;
  XmInstrument out;
  out.Name = inst.name;
  out.Samples.push_back(sample);  // every note plays it (the keymap is all zeros)
  return out;
}

void Build(const std::string& text, XmModule& module) {
  module = XmModule{};
  module.Tracker = TrackerName;
  module.Channels = TargetChannels;
  module.Orders.clear();
  module.Flags = 0;  // the Amiga frequency table
  module.Speed = DefaultSpeed;
  module.Bpm = DefaultBpm;

  std::vector<Instrument> instruments;
  std::map<std::string, Track> tracks;
  std::map<std::string, int> pattern_numbers;
  long target_size = 0;
  int restart_line = 0;

  for (const Block& block : SplitBlocks(text)) {
    const std::vector<std::string>& w = block.words;
    const std::string& what = w[0];
    if (what == "title" && w.size() == 2) {
      if (w[1].size() > 20) throw ScoreError(block.line, "title longer than 20 characters");
      module.Name = w[1];
    } else if (what == "size" && w.size() == 2) {
      target_size = ParseInt(w[1], block.line, 1, 1 << 24);
    } else if (what == "restart" && w.size() == 2) {
      module.Restart = ParseInt(w[1], block.line, 0, 255);
      restart_line = block.line;
    } else if (what == "instrument" && w.size() >= 2) {
      const int number = ParseInt(w[1], block.line, 1, 128);
      if (number != int(instruments.size()) + 1)
        throw ScoreError(block.line, "instruments must be numbered 1, 2, 3, ... in order");
      Instrument inst;
      inst.line = block.line;
      for (size_t i = 2; i < w.size(); ++i) {
        const size_t eq = w[i].find('=');
        if (eq == std::string::npos) throw ScoreError(block.line, "expected key=value: " + w[i]);
        SetParam(inst, w[i].substr(0, eq), w[i].substr(eq + 1), block.line);
      }
      if (inst.name.size() > 22 || inst.sample_name.size() > 22)
        throw ScoreError(block.line, "names hold at most 22 characters");
      instruments.push_back(inst);
    } else if (what == "track" && w.size() >= 2) {
      if (tracks.count(w[1])) throw ScoreError(block.line, "track defined twice: " + w[1]);
      Track track;
      int instrument = 0;
      for (size_t i = 2; i < w.size(); ++i)
        if (w[i] != "|") ParseCellWord(w[i], block.line, instrument, track);
      tracks[w[1]] = track;
    } else if (what == "pattern" && w.size() >= 2) {
      if (pattern_numbers.count(w[1])) throw ScoreError(block.line, "pattern defined twice");
      if (module.Patterns.size() == 256) throw ScoreError(block.line, "more than 256 patterns");
      std::vector<Track> channels(TargetChannels);
      int channel = -1;
      for (size_t i = 2; i < w.size(); ++i) {
        if (w[i].size() == 2 && w[i][1] == ':' && w[i][0] >= '1' && w[i][0] <= '4') {
          channel = w[i][0] - '1';
          continue;
        }
        if (channel < 0) throw ScoreError(block.line, "track before a channel mark (1: to 4:)");
        const Track part = ResolveTrackRef(w[i], block.line, tracks, instruments);
        channels[channel].insert(channels[channel].end(), part.begin(), part.end());
      }
      size_t rows = 0;
      for (const Track& t : channels) rows = std::max(rows, t.size());
      if (rows == 0 || rows > 256) throw ScoreError(block.line, "a pattern holds 1 to 256 rows");
      XmPattern pattern;
      pattern.Rows = int(rows);
      pattern.Cells.resize(rows * TargetChannels);
      for (int c = 0; c < TargetChannels; ++c) {
        if (!channels[c].empty() && channels[c].size() != rows)
          throw ScoreError(block.line, "channel " + std::to_string(c + 1) + " has " +
                                           std::to_string(channels[c].size()) + " rows, not " +
                                           std::to_string(rows));
        for (size_t r = 0; r < channels[c].size(); ++r)
          pattern.Cells[r * TargetChannels + c] = channels[c][r];
      }
      pattern_numbers[w[1]] = int(module.Patterns.size());
      module.Patterns.push_back(pattern);
    } else if (what == "order") {
      for (size_t i = 1; i < w.size(); ++i) {
        if (!pattern_numbers.count(w[i])) throw ScoreError(block.line, "unknown pattern " + w[i]);
        module.Orders.push_back(uint8_t(pattern_numbers.at(w[i])));
      }
    } else {
      throw ScoreError(block.line, "unknown or incomplete directive '" + what + "'");
    }
  }
  if (module.Orders.empty() || module.Orders.size() > 256)
    throw ScoreError(0, "the order list needs 1 to 256 entries");
  if (module.Restart >= int(module.Orders.size()))
    throw ScoreError(restart_line, "restart position beyond the order list");
  for (const XmPattern& pattern : module.Patterns)
    for (const XmCell& cell : pattern.Cells)
      if (cell.Instrument > instruments.size())
        throw ScoreError(0, "a pattern plays instrument " + std::to_string(cell.Instrument) +
                                ", which is not defined");

  for (const Instrument& inst : instruments) module.Instruments.push_back(MakeInstrument(inst));

  // Size fitting: the unlooped part of the one instrument marked fit=1 grows or shrinks by the
  // difference, so the module comes out at exactly the target size.
  if (target_size > 0) {
    auto fit = std::find_if(instruments.begin(), instruments.end(),
                            [](const Instrument& inst) { return inst.fit; });
    if (fit == instruments.end() || fit->params.kind != SynthKind::Tone)
      throw ScoreError(0, "a target size needs one tone instrument marked fit=1");
    const size_t index = size_t(fit - instruments.begin());
    XmInstrument& xm = module.Instruments[index];
    const long delta = target_size - long(XmFileSize(module));
    const XmSample& sample = xm.Samples[0];
    const long body = long(sample.LoopLength > 0 ? sample.LoopStart : sample.Frames.size()) + delta;
    if (body < 0) throw ScoreError(fit->line, "the target size is too small for this score");
    Instrument resized = *fit;
    resized.params.body_frames_override = int(body);
    xm = MakeInstrument(resized);
    if (long(XmFileSize(module)) != target_size)
      throw ScoreError(fit->line, "the fitted instrument did not reach the target size");
  }
}

}  // namespace

bool BuildModule(const std::string& text, XmModule& module, std::string& error) {
  try {
    Build(text, module);
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  return true;
}

bool GenerateModuleFile(const std::string& song_path, const std::string& xm_path,
                        std::string& error) {
  std::ifstream in(song_path, std::ios::binary);
  if (!in) {
    error = "cannot read " + song_path;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  XmModule module;
  if (!BuildModule(text.str(), module, error)) {
    error = song_path + ": " + error;
    return false;
  }
  const std::vector<uint8_t> bytes = WriteXm(module);
  std::ofstream out(xm_path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) {
    error = "cannot write " + xm_path;
    return false;
  }
  return true;
}
