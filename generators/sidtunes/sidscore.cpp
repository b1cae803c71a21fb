// sidscore: compiles a tune score (text) into the music data of the SID replay routine, as a
// ca65 include file (music.inc). Usage: sidscore SCORE OUTPUT
//
// Score syntax, one directive per line; a line that starts with white space continues the
// directive above it; '#' at the start of a line or after white space starts a comment.
//
//   title "Frostline"
//   volume N                      the master volume, 1..15 (default 12): the tunes set it so
//                                 that all of them play equally loud
//   instr NAME key=value ...      ad=HH sr=HH (hex) wave=STEP,STEP,...  pw=H (pulse high
//                                 byte, hex, 0 = keep) pws=N (signed sweep per frame)
//                                 vib=DELAY,SPEED,SHIFT hr=0|1 flt=lp|bp|hp|lb|bh,RES,CUT,SWEEP
//        A wave STEP is CC (hex control byte, gate added by the driver), CC:+N (N semitones above
//        the note), CC:=NOTE (a fixed note, e.g. 41:=c3), or >K (continue at step K). Without a
//        jump the program holds its last step.
//   arp NAME N N N ...            semitone offsets stepped once per frame, looping
//   pat NAME TOKENS...            @instr &arp (&- = off) Ln (default length) NOTE[:n] r[:n]
//                                 -[:n] (hold the previous note) [ ... ]n (repeat) | (bar line:
//                                 all bars of a pattern must be equally long)
//   song SPEED1 SPEED2            starts a song; rows alternate between the two lengths
//   v1 / v2 / v3 ORDER...         pattern names, NAME+N / NAME-N transposed, NAME*K repeated,
//                                 [ ... ]n repeated, '|' marks where the voice loops back to
//
// The compiler checks that the three voices of a song run equally long and prints each song's
// length before it loops.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Pattern event bytes, shared with driver.s.
constexpr int kEvRest = 0x60;
constexpr int kEvHold = 0x61;
constexpr int kEvHoldTie = 0x62;
constexpr int kEvTie = 0x63;
constexpr int kEvInstr = 0x80;
constexpr int kEvArp = 0xA0;
constexpr int kEvDur = 0xC0;
constexpr int kEvEnd = 0xFF;
constexpr int kMaxDur = 63;
constexpr int kNoteCount = 96;
constexpr int kFlagHardRestart = 1;
constexpr int kFlagFilter = 2;
constexpr double kPalClock = 985248.0;

struct Instrument {
  std::string name;
  int ad = 0x09, sr = 0x00;
  std::vector<int> waveCtl, waveNote;  // steps; a jump is ctl 0xFF with the target in note
  int pw = 8, pws = 0;
  int vibDelay = 0, vibSpeed = 0, vibShift = 0;
  int flags = kFlagHardRestart;
  int fres = 0, fmode = 0, fcut = 0, fsweep = 0;
  int waveStart = 0;
};

struct Event {
  int kind;  // 0 note, 1 rest, 2 hold
  int note;
  int rows;
  int instr;  // -1 unchanged
  int arp;    // -1 unchanged
};

struct Pattern {
  std::string name;
  std::vector<Event> events;
  int rows = 0;
  int minNote = 999, maxNote = -999;
};

struct OrderEntry {
  int pattern;
  int transpose;
};

struct Song {
  int speed1 = 6, speed2 = 6;
  std::vector<OrderEntry> voice[3];
  int loopAt[3] = {0, 0, 0};
};

struct Score {
  std::string title;
  int volume = 12;
  std::vector<Instrument> instruments;
  std::vector<std::string> arpNames;
  std::vector<std::vector<int>> arps;
  std::vector<Pattern> patterns;
  std::vector<Song> songs;
};

std::string CurrentLine;

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "sidscore: %s\n  in: %s\n", message.c_str(), CurrentLine.c_str());
  std::exit(1);
}

int ParseInt(const std::string& text, int base) {
  if (text.empty()) Fail("missing number");
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, base);
  if (*end != '\0') Fail("bad number '" + text + "'");
  return static_cast<int>(value);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream stream(text);
  while (std::getline(stream, part, separator)) parts.push_back(part);
  return parts;
}

// "c4", "c#4", "db4" -> 0..95 (C-0 = 0, A-4 = 57).
int ParseNote(const std::string& text) {
  static_assert(kNoteCount == 96);
  const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
  if (text.size() < 2 || text[0] < 'a' || text[0] > 'g') Fail("bad note '" + text + "'");
  int note = base[text[0] - 'a'];
  size_t pos = 1;
  if (text[pos] == '#') {
    ++note;
    ++pos;
  } else if (text[pos] == 'b' && text.size() > 2) {
    --note;
    ++pos;
  }
  int octave = ParseInt(text.substr(pos), 10);
  note += octave * 12;
  if (note < 0 || note >= kNoteCount) Fail("note out of range '" + text + "'");
  return note;
}

int FindInstrument(const Score& score, const std::string& name) {
  for (size_t i = 0; i < score.instruments.size(); ++i)
    if (score.instruments[i].name == name) return static_cast<int>(i);
  Fail("unknown instrument '" + name + "'");
}

int FindArp(const Score& score, const std::string& name) {
  if (name == "-") return 0;
  for (size_t i = 0; i < score.arpNames.size(); ++i)
    if (score.arpNames[i] == name) return static_cast<int>(i) + 1;
  Fail("unknown arpeggio '" + name + "'");
}

int FindPattern(const Score& score, const std::string& name) {
  for (size_t i = 0; i < score.patterns.size(); ++i)
    if (score.patterns[i].name == name) return static_cast<int>(i);
  Fail("unknown pattern '" + name + "'");
}

void ParseInstrument(Score& score, const std::vector<std::string>& words) {
  if (words.size() < 2) Fail("instrument needs a name");
  Instrument ins;
  ins.name = words[1];
  for (size_t i = 2; i < words.size(); ++i) {
    size_t eq = words[i].find('=');
    if (eq == std::string::npos) Fail("expected key=value: '" + words[i] + "'");
    std::string key = words[i].substr(0, eq);
    std::string value = words[i].substr(eq + 1);
    if (key == "ad") {
      ins.ad = ParseInt(value, 16);
    } else if (key == "sr") {
      ins.sr = ParseInt(value, 16);
    } else if (key == "pw") {
      ins.pw = ParseInt(value, 16);
    } else if (key == "pws") {
      ins.pws = ParseInt(value, 10);
      if (ins.pws < -128 || ins.pws > 127) Fail("pws out of range");
    } else if (key == "hr") {
      ins.flags =
          ParseInt(value, 10) ? (ins.flags | kFlagHardRestart) : (ins.flags & ~kFlagHardRestart);
    } else if (key == "vib") {
      auto parts = Split(value, ',');
      if (parts.size() != 3) Fail("vib=DELAY,SPEED,SHIFT");
      ins.vibDelay = ParseInt(parts[0], 10);
      ins.vibSpeed = ParseInt(parts[1], 10);
      ins.vibShift = ParseInt(parts[2], 10);
      if (ins.vibShift > 0 && ins.vibSpeed < 2) Fail("vibrato speed must be at least 2");
    } else if (key == "flt") {
      auto parts = Split(value, ',');
      if (parts.size() != 4) Fail("flt=MODE,RES,CUT,SWEEP");
      const std::map<std::string, int> modes = {{"lp", 0x10}, {"bp", 0x20}, {"hp", 0x40},
                                                {"lb", 0x30}, {"bh", 0x60}, {"notch", 0x50}};
      auto mode = modes.find(parts[0]);
      if (mode == modes.end()) Fail("unknown filter mode");
      ins.fmode = mode->second;
      ins.fres = (ParseInt(parts[1], 10) & 15) << 4;
      ins.fcut = ParseInt(parts[2], 10);
      ins.fsweep = ParseInt(parts[3], 10);
      ins.flags |= kFlagFilter;
    } else if (key == "wave") {
      for (const std::string& step : Split(value, ',')) {
        if (!step.empty() && step[0] == '>') {
          ins.waveCtl.push_back(0xFF);
          ins.waveNote.push_back(ParseInt(step.substr(1), 10));
          continue;
        }
        size_t colon = step.find(':');
        int ctl = ParseInt(step.substr(0, colon), 16);
        int note = 0;
        if (colon != std::string::npos) {
          std::string n = step.substr(colon + 1);
          if (n.size() > 1 && n[0] == '+') {
            note = ParseInt(n.substr(1), 10);
            if (note < 0 || note > 0x5F) Fail("relative wave note out of range");
          } else if (n.size() > 1 && n[0] == '=') {
            note = 0x80 | ParseNote(n.substr(1));
          } else {
            Fail("wave note must be +N or =NOTE");
          }
        }
        if (ctl == 0xFF) Fail("control byte $FF is reserved");
        ins.waveCtl.push_back(ctl);
        ins.waveNote.push_back(note);
      }
    } else {
      Fail("unknown instrument key '" + key + "'");
    }
  }
  if (ins.waveCtl.empty()) Fail("instrument needs a wave program");
  if (ins.waveCtl.back() != 0xFF) {  // hold the last step
    ins.waveNote.push_back(static_cast<int>(ins.waveCtl.size()) - 1);
    ins.waveCtl.push_back(0xFF);
  }
  for (size_t s = 0; s < ins.waveCtl.size(); ++s) {
    if (ins.waveCtl[s] != 0xFF) continue;
    int target = ins.waveNote[s];
    if (target < 0 || target >= static_cast<int>(ins.waveCtl.size()) || ins.waveCtl[target] == 0xFF)
      Fail("wave jump must land on a sound step");
  }
  if (score.instruments.size() >= 32) Fail("at most 32 instruments");
  score.instruments.push_back(ins);
}

// Expands "[ ... ]n" groups into a flat token list.
std::vector<std::string> ExpandRepeats(const std::vector<std::string>& tokens, size_t& pos,
                                       bool nested) {
  std::vector<std::string> out;
  while (pos < tokens.size()) {
    const std::string& token = tokens[pos++];
    if (token == "[") {
      std::vector<std::string> inner = ExpandRepeats(tokens, pos, true);
      if (pos > tokens.size() || tokens[pos - 1][0] != ']') Fail("unclosed '['");
      std::string count = tokens[pos - 1].substr(1);
      int times = count.empty() ? 2 : ParseInt(count, 10);
      for (int t = 0; t < times; ++t) out.insert(out.end(), inner.begin(), inner.end());
    } else if (token[0] == ']') {
      if (!nested) Fail("']' without '['");
      return out;
    } else {
      out.push_back(token);
    }
  }
  if (nested) Fail("unclosed '['");
  return out;
}

void ParsePattern(Score& score, const std::vector<std::string>& words) {
  if (words.size() < 3) Fail("pattern needs a name and events");
  Pattern pat;
  pat.name = words[1];
  std::vector<std::string> raw(words.begin() + 2, words.end());
  size_t pos = 0;
  std::vector<std::string> tokens = ExpandRepeats(raw, pos, false);
  int length = 1;
  int pendingInstr = -1, pendingArp = -1;
  std::vector<int> bars;  // rows of each bar, when the pattern marks bars with '|'
  int barStart = 0;
  for (const std::string& token : tokens) {
    if (token == "|") {
      bars.push_back(pat.rows - barStart);
      barStart = pat.rows;
      continue;
    }
    if (token[0] == '@') {
      pendingInstr = FindInstrument(score, token.substr(1));
      continue;
    }
    if (token[0] == '&') {
      pendingArp = FindArp(score, token.substr(1));
      continue;
    }
    if (token[0] == 'L') {
      length = ParseInt(token.substr(1), 10);
      if (length < 1) Fail("length must be positive");
      continue;
    }
    std::string body = token;
    int rows = length;
    size_t colon = token.find(':');
    if (colon != std::string::npos) {
      body = token.substr(0, colon);
      rows = ParseInt(token.substr(colon + 1), 10);
      if (rows < 1) Fail("length must be positive");
    }
    Event ev{0, 0, rows, pendingInstr, pendingArp};
    if (body == "r") {
      ev.kind = 1;
    } else if (body == "-") {
      ev.kind = 2;
      if (pat.events.empty()) Fail("a hold needs a note before it in the pattern");
    } else {
      ev.note = ParseNote(body);
      pat.minNote = std::min(pat.minNote, ev.note);
      pat.maxNote = std::max(pat.maxNote, ev.note);
    }
    pendingInstr = pendingArp = -1;
    pat.events.push_back(ev);
    pat.rows += rows;
  }
  if (pat.events.empty()) Fail("empty pattern");
  if (!bars.empty()) {
    bars.push_back(pat.rows - barStart);
    for (size_t b = 0; b < bars.size(); ++b)
      if (bars[b] != bars[0])
        Fail("bar " + std::to_string(b + 1) + " has " + std::to_string(bars[b]) +
             " rows, bar 1 has " + std::to_string(bars[0]));
  }
  // Patterns are reused in any order, so each one names its instrument and arpeggio up front.
  if (pat.events[0].instr < 0) Fail("a pattern must set its instrument first");
  if (pat.events[0].arp < 0) pat.events[0].arp = 0;
  if (pendingInstr >= 0 || pendingArp >= 0) Fail("instrument or arpeggio after the last event");
  score.patterns.push_back(pat);
}

void ParseOrder(Score& score, const std::vector<std::string>& words) {
  if (score.songs.empty()) Fail("order list before 'song'");
  Song& song = score.songs.back();
  int v = words[0][1] - '1';
  if (!song.voice[v].empty()) Fail("voice order given twice");
  std::vector<std::string> raw(words.begin() + 1, words.end());
  size_t pos = 0;
  std::vector<std::string> entries = ExpandRepeats(raw, pos, false);
  for (const std::string& entry : entries) {
    std::string word = entry;
    if (word == "|") {
      song.loopAt[v] = static_cast<int>(song.voice[v].size());
      continue;
    }
    int times = 1;
    size_t star = word.find('*');
    if (star != std::string::npos) {
      times = ParseInt(word.substr(star + 1), 10);
      word = word.substr(0, star);
    }
    int transpose = 0;
    size_t sign = word.find_first_of("+-");
    if (sign != std::string::npos) {
      transpose = ParseInt(word.substr(sign + 1), 10);
      if (word[sign] == '-') transpose = -transpose;
      word = word.substr(0, sign);
    }
    if (transpose < -32 || transpose > 30) Fail("transposition out of range");
    int pattern = FindPattern(score, word);
    const Pattern& pat = score.patterns[pattern];
    if (pat.minNote + transpose < 0 || pat.maxNote + transpose >= kNoteCount)
      Fail("transposed note out of range");
    for (int t = 0; t < times; ++t) song.voice[v].push_back({pattern, transpose});
  }
  if (song.voice[v].empty()) Fail("empty order list");
}

Score ParseScore(const std::string& path) {
  std::ifstream file(path);
  if (!file) {
    std::fprintf(stderr, "sidscore: cannot read %s\n", path.c_str());
    std::exit(1);
  }
  // Join continuation lines first.
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(file, line)) {
    // A comment starts with '#' at the start of a line or after white space ("c#4" is a note).
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
        line.resize(i);
        break;
      }
    }
    bool blank = line.find_first_not_of(" \t\r") == std::string::npos;
    if (blank) continue;
    if ((line[0] == ' ' || line[0] == '\t') && !lines.empty()) {
      lines.back() += " " + line;
    } else {
      lines.push_back(line);
    }
  }
  Score score;
  for (const std::string& text : lines) {
    CurrentLine = text.substr(0, 120);
    std::vector<std::string> words;
    std::istringstream stream(text);
    std::string word;
    while (stream >> word) words.push_back(word);
    const std::string& cmd = words[0];
    if (cmd == "title") {
      size_t open = text.find('"');
      size_t close = text.rfind('"');
      if (open == std::string::npos || close <= open) Fail("title needs quotes");
      score.title = text.substr(open + 1, close - open - 1);
      if (score.title.size() > 31) Fail("title longer than 31 characters");
    } else if (cmd == "volume") {
      if (words.size() != 2) Fail("volume N");
      score.volume = ParseInt(words[1], 10);
      if (score.volume < 1 || score.volume > 15) Fail("volume must be 1..15");
    } else if (cmd == "instr") {
      ParseInstrument(score, words);
    } else if (cmd == "arp") {
      if (words.size() < 3) Fail("arp needs a name and offsets");
      if (score.arps.size() >= 31) Fail("at most 31 arpeggios");
      score.arpNames.push_back(words[1]);
      std::vector<int> offsets;
      for (size_t i = 2; i < words.size(); ++i) {
        int offset = ParseInt(words[i], 10);
        if (offset < 0 || offset > 36) Fail("arpeggio offset out of range");
        offsets.push_back(offset);
      }
      score.arps.push_back(offsets);
    } else if (cmd == "pat") {
      ParsePattern(score, words);
    } else if (cmd == "song") {
      if (words.size() != 3) Fail("song SPEED1 SPEED2");
      Song song;
      song.speed1 = ParseInt(words[1], 10);
      song.speed2 = ParseInt(words[2], 10);
      // The hard restart acts on the second-to-last frame of a row.
      if (song.speed1 < 3 || song.speed2 < 3) Fail("row length must be at least 3 frames");
      score.songs.push_back(song);
    } else if (cmd == "v1" || cmd == "v2" || cmd == "v3") {
      ParseOrder(score, words);
    } else {
      Fail("unknown directive '" + cmd + "'");
    }
  }
  CurrentLine = path;
  if (score.title.empty()) Fail("no title");
  if (score.songs.empty()) Fail("no song");
  if (score.patterns.size() > 0xC0) Fail("too many patterns");
  for (const Song& song : score.songs)
    for (int v = 0; v < 3; ++v)
      if (song.voice[v].empty()) Fail("a song needs all three voices");
  return score;
}

// Frames taken by rows [from, from + count) of a song whose rows alternate two lengths.
long Frames(const Song& song, long from, long count) {
  long frames = 0;
  for (long r = from; r < from + count; ++r) frames += (r % 2 == 0) ? song.speed1 : song.speed2;
  return frames;
}

void CheckSongs(const Score& score) {
  for (size_t s = 0; s < score.songs.size(); ++s) {
    const Song& song = score.songs[s];
    long total[3], intro[3];
    for (int v = 0; v < 3; ++v) {
      total[v] = intro[v] = 0;
      for (size_t i = 0; i < song.voice[v].size(); ++i) {
        int rows = score.patterns[song.voice[v][i].pattern].rows;
        total[v] += rows;
        if (static_cast<int>(i) < song.loopAt[v]) intro[v] += rows;
      }
    }
    for (int v = 1; v < 3; ++v) {
      if (total[v] != total[0] || intro[v] != intro[0]) {
        std::fprintf(stderr,
                     "sidscore: song %zu voices differ: rows %ld/%ld/%ld, loop at %ld/%ld/%ld\n", s,
                     total[0], total[1], total[2], intro[0], intro[1], intro[2]);
        std::exit(1);
      }
    }
    // The looped part must have an even number of rows, or the swing would flip after the
    // first pass.
    if (song.speed1 != song.speed2 && (total[0] - intro[0]) % 2 != 0) {
      std::fprintf(stderr, "sidscore: song %zu loops to an odd row\n", s);
      std::exit(1);
    }
    long frames = Frames(song, 0, total[0]);
    long loopFrames = Frames(song, intro[0], total[0] - intro[0]);
    std::printf(
        "%s: song %zu: %ld rows, %ld frames (%.1f s) before the loop, loop %ld frames (%.1f s)\n",
        score.title.c_str(), s, total[0], frames, frames / 50.0, loopFrames, loopFrames / 50.0);
  }
}

// Writes the bytes of one pattern. The driver's duration and instrument state carries over
// between patterns, so every pattern sets its first duration itself.
std::vector<int> EncodePattern(const Pattern& pat) {
  std::vector<int> out;
  int duration = -1;
  for (size_t i = 0; i < pat.events.size(); ++i) {
    const Event& ev = pat.events[i];
    if (ev.instr >= 0) out.push_back(kEvInstr + ev.instr);
    if (ev.arp >= 0) out.push_back(kEvArp + ev.arp);
    // A hold right behind this event keeps the note sounding: no release at its end.
    bool tied = i + 1 < pat.events.size() && pat.events[i + 1].kind == 2;
    int rows = ev.rows;
    bool first = true;
    while (rows > 0) {
      int chunk = std::min(rows, kMaxDur);
      rows -= chunk;
      bool more = rows > 0 || tied;
      if (chunk != duration) {
        out.push_back(kEvDur + chunk - 1);
        duration = chunk;
      }
      if (first && ev.kind == 0) {
        if (more) out.push_back(kEvTie);
        out.push_back(ev.note);
      } else if (first && ev.kind == 1) {
        out.push_back(kEvRest);
      } else {
        out.push_back(more ? kEvHoldTie : kEvHold);
      }
      first = false;
    }
  }
  out.push_back(kEvEnd);
  return out;
}

void WriteBytes(std::FILE* out, const std::vector<int>& bytes) {
  for (size_t i = 0; i < bytes.size(); i += 16) {
    std::fprintf(out, "        .byte ");
    for (size_t j = i; j < bytes.size() && j < i + 16; ++j)
      std::fprintf(out, "%s$%02X", j == i ? "" : ",", bytes[j] & 0xFF);
    std::fprintf(out, "\n");
  }
}

void WriteColumn(std::FILE* out, const char* label, const Score& score,
                 int (*get)(const Instrument&)) {
  std::vector<int> bytes;
  for (const Instrument& ins : score.instruments) bytes.push_back(get(ins));
  std::fprintf(out, "%s:\n", label);
  WriteBytes(out, bytes);
}

void WriteMusic(const Score& score, const std::string& path) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (!out) {
    std::fprintf(stderr, "sidscore: cannot write %s\n", path.c_str());
    std::exit(1);
  }
  std::fprintf(out, "; Generated by sidscore from the score \"%s\". Do not edit.\n",
               score.title.c_str());
  std::fprintf(out, ".define TUNE_TITLE \"%s\"\nNUM_SONGS = %zu\nVOLUME = %d\n\n",
               score.title.c_str(), score.songs.size(), score.volume);
  std::fprintf(out, "        .segment \"MUSIC\"\n");

  // Note frequencies for a PAL machine, equal temperament with A-4 = 440 Hz.
  std::vector<int> lo, hi;
  for (int n = 0; n < kNoteCount; ++n) {
    double hz = 440.0 * std::pow(2.0, (n - 57) / 12.0);
    long reg = std::lround(hz * 16777216.0 / kPalClock);
    if (reg > 0xFFFF) reg = 0xFFFF;
    lo.push_back(static_cast<int>(reg & 0xFF));
    hi.push_back(static_cast<int>(reg >> 8));
  }
  std::fprintf(out, "freq_lo:\n");
  WriteBytes(out, lo);
  std::fprintf(out, "freq_hi:\n");
  WriteBytes(out, hi);

  std::vector<int> speeds;
  for (const Song& song : score.songs) {
    speeds.push_back(song.speed1);
    speeds.push_back(song.speed2);
  }
  std::fprintf(out, "song_spd:\n");
  WriteBytes(out, speeds);
  std::fprintf(out, "song_ord_lo:\n");
  for (size_t s = 0; s < score.songs.size(); ++s)
    std::fprintf(out, "        .byte <order_%zu_1, <order_%zu_2, <order_%zu_3\n", s, s, s);
  std::fprintf(out, "song_ord_hi:\n");
  for (size_t s = 0; s < score.songs.size(); ++s)
    std::fprintf(out, "        .byte >order_%zu_1, >order_%zu_2, >order_%zu_3\n", s, s, s);

  // Instruments, one column per field; the wave programs share one table.
  std::vector<int> waveCtl, waveNote;
  Score placed = score;
  for (Instrument& ins : placed.instruments) {
    ins.waveStart = static_cast<int>(waveCtl.size());
    for (size_t s = 0; s < ins.waveCtl.size(); ++s) {
      waveCtl.push_back(ins.waveCtl[s]);
      waveNote.push_back(ins.waveCtl[s] == 0xFF ? ins.waveNote[s] + ins.waveStart
                                                : ins.waveNote[s]);
    }
  }
  if (waveCtl.size() > 256) Fail("wave programs longer than 256 steps in all");
  std::fprintf(out, "; instruments:");
  for (size_t i = 0; i < score.instruments.size(); ++i)
    std::fprintf(out, " %zu=%s", i, score.instruments[i].name.c_str());
  std::fprintf(out, "\n");
  WriteColumn(out, "ins_ad", placed, [](const Instrument& i) { return i.ad; });
  WriteColumn(out, "ins_sr", placed, [](const Instrument& i) { return i.sr; });
  WriteColumn(out, "ins_wave", placed, [](const Instrument& i) { return i.waveStart; });
  WriteColumn(out, "ins_pw", placed, [](const Instrument& i) { return i.pw; });
  WriteColumn(out, "ins_pwspeed", placed, [](const Instrument& i) { return i.pws; });
  WriteColumn(out, "ins_vdelay", placed, [](const Instrument& i) { return i.vibDelay; });
  WriteColumn(out, "ins_vspeed", placed, [](const Instrument& i) { return i.vibSpeed; });
  WriteColumn(out, "ins_vshift", placed, [](const Instrument& i) { return i.vibShift; });
  WriteColumn(out, "ins_flags", placed, [](const Instrument& i) { return i.flags; });
  WriteColumn(out, "ins_fcut", placed, [](const Instrument& i) { return i.fcut; });
  WriteColumn(out, "ins_fsweep", placed, [](const Instrument& i) { return i.fsweep; });
  WriteColumn(out, "ins_fres", placed, [](const Instrument& i) { return i.fres; });
  WriteColumn(out, "ins_fmode", placed, [](const Instrument& i) { return i.fmode; });
  std::fprintf(out, "wt_ctl:\n");
  WriteBytes(out, waveCtl);
  std::fprintf(out, "wt_note:\n");
  WriteBytes(out, waveNote);

  // Arpeggios: entry 0 means "off" ($FF); each table ends in $80 (start over).
  std::vector<int> arpStart = {0xFF}, arpData;
  for (const auto& arp : score.arps) {
    arpStart.push_back(static_cast<int>(arpData.size()));
    arpData.insert(arpData.end(), arp.begin(), arp.end());
    arpData.push_back(0x80);
  }
  if (arpData.size() > 255) Fail("arpeggio tables longer than 255 bytes in all");
  std::fprintf(out, "arp_start:\n");
  WriteBytes(out, arpStart);
  std::fprintf(out, "arp_data:\n");
  if (arpData.empty()) arpData.push_back(0x80);
  WriteBytes(out, arpData);

  std::fprintf(out, "pat_lo:\n");
  for (size_t p = 0; p < score.patterns.size(); ++p)
    std::fprintf(out, "        .byte <pat_%zu\n", p);
  std::fprintf(out, "pat_hi:\n");
  for (size_t p = 0; p < score.patterns.size(); ++p)
    std::fprintf(out, "        .byte >pat_%zu\n", p);

  for (size_t s = 0; s < score.songs.size(); ++s) {
    const Song& song = score.songs[s];
    for (int v = 0; v < 3; ++v) {
      std::fprintf(out, "order_%zu_%d:\n", s, v + 1);
      int transpose = 0;
      for (size_t i = 0; i < song.voice[v].size(); ++i) {
        if (static_cast<int>(i) == song.loopAt[v])
          std::fprintf(out, "order_%zu_%d_loop:\n", s, v + 1);
        std::vector<int> bytes;
        // Transposition is re-sent at the loop point, where the state may differ.
        if (song.voice[v][i].transpose != transpose || static_cast<int>(i) == song.loopAt[v]) {
          transpose = song.voice[v][i].transpose;
          bytes.push_back(0xE0 + transpose);
        }
        bytes.push_back(song.voice[v][i].pattern);
        std::fprintf(out, "        .byte ");
        for (size_t b = 0; b < bytes.size(); ++b)
          std::fprintf(out, "%s$%02X", b ? "," : "", bytes[b]);
        std::fprintf(out, "  ; %s%+d\n", score.patterns[song.voice[v][i].pattern].name.c_str(),
                     song.voice[v][i].transpose);
      }
      std::fprintf(out, "        .byte $FF, <order_%zu_%d_loop, >order_%zu_%d_loop\n", s, v + 1, s,
                   v + 1);
    }
  }
  for (size_t p = 0; p < score.patterns.size(); ++p) {
    std::fprintf(out, "pat_%zu:  ; %s, %d rows\n", p, score.patterns[p].name.c_str(),
                 score.patterns[p].rows);
    WriteBytes(out, EncodePattern(score.patterns[p]));
  }
  std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: sidscore SCORE OUTPUT.inc\n");
    return 2;
  }
  Score score = ParseScore(argv[1]);
  CheckSongs(score);
  WriteMusic(score, argv[2]);
  return 0;
}
