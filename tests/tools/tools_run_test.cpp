// The offline tools as a user scripts them: each command line's exit status, messages, and the
// files it leaves behind (a failure leaves none, and never touches an existing output).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sid/embedded_tunes.h"
#include "sid/sid_machine.h"
#include "tests/sid/sid_test_util.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;

const std::string OldContents = "an earlier render";

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A folder of its own for each test, with inputs and an existing output (old.wav) in it; Run
// executes a command there with $R, $E and $S naming the three tools.
class ToolRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    Dir = fs::temp_directory_path() / ("quellmark_tools_" + name);
    fs::remove_all(Dir);
    fs::create_directories(Dir / "folder");
    fs::create_directories(Dir / "shots");
    // Longer than a PSID header, so that it is refused for its first bytes.
    std::string notes;
    for (int i = 0; i < 3; ++i) notes += "# The Quellmark: notes that are no tune and no module\n";
    WriteAll(Dir / "notes.txt", notes);
    WriteAll(Dir / "script.txt", "10 shot a\n");
    WriteAll(Dir / "old.wav", OldContents);
  }
  void TearDown() override { fs::remove_all(Dir); }

  int Run(const std::string& command) {
    const CommandResult run = RunCommand(
        "R='" RENDER_PATH "' E='" EXPORT_PATH "' S='" SHOT_PATH "'; " + command, Dir.string());
    Out = run.Out;
    Err = run.Err;
    return run.Status;
  }

  // Everything in the folder that SetUp did not put there, sorted, separated by blanks; a folder
  // that gained more than four files is summed up as "FOLDER/ (N files)".
  std::string Left() const {
    const std::set<std::string> fixtures = {"folder", "shots", "notes.txt", "script.txt",
                                            "old.wav"};
    std::map<std::string, std::set<std::string>> found;  // by folder, "" for the top
    for (const auto& entry : fs::recursive_directory_iterator(Dir)) {
      const std::string path = entry.path().lexically_relative(Dir).string();
      if (!fixtures.contains(path)) found[path.substr(0, path.find('/') + 1)].insert(path);
    }
    std::string list;
    auto add = [&list](const std::string& text) { list += (list.empty() ? "" : " ") + text; };
    for (const auto& [folder, paths] : found) {
      if (!folder.empty() && paths.size() > 4) {
        add(folder + " (" + std::to_string(paths.size()) + " files)");
      } else {
        for (const std::string& path : paths) add(path);
      }
    }
    return list;
  }

  fs::path Dir;
  std::string Out, Err;
};

struct ToolCase {
  const char* Name;
  const char* Command;
  int Status;
  const char* Stderr;  // a part of the messages; "" when there must be none
  const char* Stdout;  // a part of the output; "" when not checked
  const char* Left;    // what is left in the folder (see ToolRun::Left)
};

void PrintTo(const ToolCase& c, std::ostream* os) {
  *os << c.Command;
}

class ToolCommand : public ToolRun, public ::testing::WithParamInterface<ToolCase> {};

TEST_P(ToolCommand, StatusMessagesAndFilesLeft) {
  const ToolCase& c = GetParam();
  EXPECT_EQ(Run(c.Command), c.Status) << Err;
  if (std::string(c.Stderr).empty()) {
    EXPECT_EQ(Err, "");
  } else {
    EXPECT_NE(Err.find(c.Stderr), std::string::npos) << Err;
  }
  EXPECT_NE(Out.find(c.Stdout), std::string::npos) << Out;
  EXPECT_EQ(Left(), c.Left);
  EXPECT_EQ(ReadFileText((Dir / "old.wav").string()), OldContents);
}

// The longest --seconds that `$R SUB --help` offers.
#define LONGEST(sub) "$($R " sub " --help | sed -n 's/.*--seconds.* to \\([0-9]*\\) .*/\\1/p')"

const ToolCase Cases[] = {
    // --help answers on standard output and succeeds (the installation test checks the
    // subcommands' --help and --version against the manual pages).
    {"RenderHelp", "$R --help", 0, "", "usage: quellmark-render sid", ""},
    {"ShotHelp", "$S --help", 0, "", "usage: quellmark-shot", ""},
    // Usage errors name the program and the argument, and exit 2 (what the parser refuses is
    // cli_test's).
    {"RenderNothing", "$R", 2, "quellmark-render: missing subcommand", "", ""},
    {"RenderUnknown", "$R play x.wav", 2, "quellmark-render: play: unknown subcommand", "", ""},
    {"XmPastTheLastModule", "$R xm --embedded 5 x.wav", 2, "--embedded: 5 is out of range (1..4)",
     "", ""},
    {"XmExtra", "$R xm --embedded 1 x.wav y.wav", 2, "y.wav: one argument too many", "", ""},
    {"SidMissingOutput", "$R sid notes.txt", 2, "quellmark-render sid: missing", "", ""},
    {"SidSongZero", "$R sid --embedded 5 x.wav --song 0", 2, "--song: 0 is out of range (1..256)",
     "", ""},
    // The longest render --help offers is accepted (here it fails only at the output); past the
    // most a WAV file can hold is refused before anything is rendered.
    {"XmLongestOffered", "$R xm --embedded 1 missing/x.wav --seconds " LONGEST("xm"), 1,
     "quellmark-render xm: missing/x.wav: No such file or directory", "", ""},
    {"SidLongestOffered", "$R sid --embedded 1 missing/x.wav --seconds " LONGEST("sid"), 1,
     "quellmark-render sid: missing/x.wav: No such file or directory", "", ""},
    {"XmTooLong", "$R xm --embedded 2 big.wav --seconds 24347.01", 2,
     "quellmark-render xm: --seconds: 24347.01 is out of range (0.02..24347)", "", ""},
    {"SidTooLong", "$R sid --embedded 1 big.wav --seconds 48695.01", 2,
     "quellmark-render sid: --seconds: 48695.01 is out of range (0.02..48695)", "", ""},
    // Stopped by a signal once the output has been started, a tool removes its temporary file and
    // ends by the signal (the shell reports 128 + its number and names it). A background job of a
    // script ignores SIGINT unless env gives it back its default.
    {"XmInterrupted",
     "env --default-signal $R xm --embedded 1 x.wav --seconds 20000 & "
     "until ! kill -0 $! || ls .x.wav.* >/dev/null 2>&1; do sleep 0.05; done; kill -INT $!; wait "
     "$!",
     130, "", "", ""},
    {"SidTerminated",
     "$R sid --embedded 1 x.wav --seconds 40000 & "
     "until ! kill -0 $! || ls .x.wav.* >/dev/null 2>&1; do sleep 0.05; done; kill -TERM $!; "
     "wait $!",
     143, "Terminated", "", ""},
    {"ShotHungUp",
     "$S --script script.txt --out shots --max-frames 10000000 --audio-out a.raw & "
     "until ! kill -0 $! || test -f shots/a.png; do sleep 0.05; done; kill -HUP $!; wait $!",
     129, "Hangup", "", "shots/a.png"},
    // Inputs that are not what the subcommand plays are refused, naming the file.
    {"SidText", "$R sid notes.txt x.wav", 1,
     "quellmark-render sid: notes.txt: not a SID tune (it does not start with \"PSID\" or "
     "\"RSID\")",
     "", ""},
    {"SidFolder", "$R sid folder x.wav", 1, "quellmark-render sid: folder: is a folder", "", ""},
    {"SidMissingFile", "$R sid nothing.sid x.wav", 1,
     "quellmark-render sid: nothing.sid: No such file or directory", "", ""},
    {"XmOverOldOutputRefused", "$R xm notes.txt old.wav", 1,
     "quellmark-render xm: notes.txt: not an XM module (it does not start with \"Extended "
     "Module: \")",
     "", ""},
    // Write failures are reported and leave nothing behind; an existing file stays as it was.
    {"XmDeviceFull", "$R xm --embedded 1 /dev/full --seconds 2", 1,
     "quellmark-render xm: /dev/full: No space left on device", "", ""},
    {"XmOutputIsAFolder", "$R xm --embedded 1 folder --seconds 1", 1,
     "quellmark-render xm: folder: is a folder", "", ""},
    {"SidFileTooLarge", "trap '' XFSZ; ulimit -f 100; $R sid --embedded 1 old.wav --seconds 2", 1,
     "quellmark-render sid: old.wav: File too large", "song 1 of 6", ""},
    // Successful renders: no progress line when standard error is not a terminal.
    {"RenderFollowsALink",
     "$R xm --embedded 1 x.wav --seconds 0.1 && ln -s x.wav link.wav && $R xm --embedded 2 "
     "link.wav --seconds 0.2 && test -L link.wav && test $(stat -c %s x.wav) = 35324",
     0, "", "", "link.wav x.wav"},
    // The export: no folder named after an option, no writing into a folder that holds files.
    {"ExportNothing", "$E", 2, "quellmark-export: missing DIR", "", ""},
    {"ExportUnknownOption", "$E --all out", 2, "quellmark-export: --all: unknown option", "", ""},
    {"ExportIntoFiles", "$E shots && $E shots", 1,
     "quellmark-export: shots: the folder is not empty (--force writes into it all the same)", "",
     "shots/ (41 files)"},
    {"ExportIntoAFile", "$E old.wav", 1, "quellmark-export: old.wav: not a folder", "", ""},
    {"ExportForced", "touch shots/keep && $E --force shots", 0, "", "", "shots/ (42 files)"},
    // The shot tool: both --script and --out are required and checked before the run.
    {"ShotWithoutOut", "$S --script script.txt --max-frames 20", 2,
     "quellmark-shot: --out: missing; it is required", "", ""},
    {"ShotMissingFolder", "$S --script script.txt --out nowhere --max-frames 20", 1,
     "quellmark-shot: nowhere: No such file or directory", "", ""},
    {"ShotOutIsAFile", "$S --script script.txt --out old.wav --max-frames 20", 1,
     "quellmark-shot: old.wav: not a folder", "", ""},
    {"ShotAudioDeviceFull",
     "$S --script script.txt --out shots --max-frames 20 --audio-out /dev/full", 1,
     "quellmark-shot: /dev/full: No space left on device", "shots/a.png", "shots/a.png"},
    {"ShotCannotBeWritten",
     "mkdir shots/a.png && $S --script script.txt --out shots --max-frames 20", 1,
     "quellmark-shot: shots/a.png: Is a directory", "20 frames", "shots/a.png"},
    {"ShotNeverTaken",
     "echo '50 shot late' >> script.txt && $S --script script.txt --out shots --max-frames 20", 1,
     "quellmark-shot: shots/late.png: not taken: the run ended after frame 20, before frame 50",
     "shots/a.png", "shots/a.png"},
    {"ShotWritesShotsAndSound",
     "$S --script script.txt --out shots --max-frames 20 --audio-out a.raw", 2,
     "headless run stopped after 20 frames", "shots/a.png\n20 frames, exit status 2",
     "a.raw shots/a.png"},
};

INSTANTIATE_TEST_SUITE_P(Tools, ToolCommand, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.Name); });

// Every field of both subcommands' WAV headers, read back from 0.1 s renders: xm writes 4,410
// stereo frames of 4 bytes (17,640 bytes), sid 5 frames of 882 mono samples of 2 bytes (8,820).
TEST_F(ToolRun, WavHeadersDescribeTheirSamples) {
  struct Header {
    const char* Command;
    std::vector<uint32_t> Fields;  // RIFF size, fmt size, format, channels, rate, bytes per
                                   // second, block align, bits, data size
  };
  const Header headers[] = {
      {"$R xm --embedded 1 h.wav --seconds 0.1",
       {36 + 17640, 16, 1, 2, 44100, 176400, 4, 16, 17640}},
      {"$R sid --embedded 1 h.wav --seconds 0.1", {36 + 8820, 16, 1, 1, 44100, 88200, 2, 16, 8820}},
  };
  for (const Header& h : headers) {
    ASSERT_EQ(Run(h.Command), 0) << Err;
    const std::string wav = ReadFileText((Dir / "h.wav").string());
    ASSERT_EQ(wav.size(), 44 + h.Fields.back()) << h.Command;
    auto field = [&](size_t at, int bytes) {
      uint32_t v = 0;
      for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(wav[at + i]);
      return v;
    };
    EXPECT_EQ(wav.substr(0, 4) + wav.substr(8, 8) + wav.substr(36, 4), "RIFFWAVEfmt data");
    EXPECT_EQ(
        (std::vector<uint32_t>{field(4, 4), field(16, 4), field(20, 2), field(22, 2), field(24, 4),
                               field(28, 4), field(32, 2), field(34, 2), field(40, 4)}),
        h.Fields)
        << h.Command;
  }
}

// A PSID image of three songs, the second the start song, whose init routine tunes voice 1 to
// the song number it is given in A (so each song sounds different); play does nothing.
std::string ThreeSongTune() {
  const std::vector<uint8_t> init = {0x8D, 0x01, 0xD4,  // STA $D401
                                     0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0xA9, 0x00,
                                     0x8D, 0x05, 0xD4, 0xA9, 0xF0, 0x8D, 0x06,
                                     0xD4, 0xA9, 0x21, 0x8D, 0x04, 0xD4, 0x60};
  std::vector<uint8_t> payload(0x21, 0xEA);
  std::copy(init.begin(), init.end(), payload.begin());
  payload[0x20] = 0x60;  // play: RTS
  std::vector<uint8_t> image = BuildPsid(0x1000, 0x1000, 0x1020, payload);
  image[0x0F] = 3;
  image[0x11] = 2;
  return std::string(image.begin(), image.end());
}

// What the player renders in `frames` frames of a song (0-based, as the init routine gets it),
// as the little-endian bytes of a WAV file's data.
std::string PlayerSamples(const std::string& image, uint8_t song, int frames) {
  auto machine = std::make_unique<SidMachine>();
  EXPECT_TRUE(SidLoadTune(*machine, reinterpret_cast<const uint8_t*>(image.data()),
                          static_cast<uint32_t>(image.size()), song));
  std::string bytes;
  std::vector<int16_t> frame(FrameSamples);
  for (int f = 0; f < frames; ++f) {
    RenderFrame(*machine, frame.data(), FrameSamples);
    for (int16_t s : frame) {
      bytes += static_cast<char>(s & 0xFF);
      bytes += static_cast<char>((s >> 8) & 0xFF);
    }
  }
  return bytes;
}

// Songs count from 1, the default is the header's start song, and the WAV file holds exactly
// what the player renders for that song.
TEST_F(ToolRun, SidSongNumbersCountFromOne) {
  const std::string tune = ThreeSongTune();
  WriteAll(Dir / "three.sid", tune);
  struct Song {
    const char* Option;
    uint8_t Index;  // as the init routine gets it
    const char* Line;
  };
  for (const Song& s :
       {Song{"", 1, "three.sid: song 2 of 3\n"}, Song{"--song 1", 0, "three.sid: song 1 of 3\n"},
        Song{"--song 3", 2, "three.sid: song 3 of 3\n"}}) {
    ASSERT_EQ(Run(std::string("$R sid three.sid s.wav --seconds 0.2 ") + s.Option), 0) << Err;
    EXPECT_EQ(Out, s.Line);
    EXPECT_TRUE(ReadFileText((Dir / "s.wav").string()).substr(44) ==
                PlayerSamples(tune, s.Index, 10))
        << s.Line;
  }
  EXPECT_EQ(Run("$R sid three.sid x.wav --song 4"), 2);
  EXPECT_NE(Err.find("--song: 4 is out of range: three.sid has 3 songs"), std::string::npos) << Err;
  EXPECT_EQ(Left(), "s.wav three.sid");
}

// Header fields the player cannot honour are refused, naming the file and the field.
TEST_F(ToolRun, SidHeadersTheToolRefuses) {
  struct Damage {
    size_t Offset;
    std::string Bytes;
    int Status;
    const char* Message;
  };
  const Damage cases[] = {
      {0, "RSID", 0, ""},  // the other magic is a tune too
      {4, std::string("\0\7", 2), 1, "PSID version 7 is not known"},
      {6, std::string("\0\x76", 2), 1, "data offset 0x0076 does not match PSID version 2"},
      {8, std::string("\x10\0", 2), 1, "load address $1000 in the header"},
      {10, std::string("\0\0", 2), 1, "init address 0"},
      {14, std::string("\0\0", 2), 1, "song count 0 is outside 1..256"},
      {14, std::string("\1\1", 2), 1, "song count 257 is outside 1..256"},
      {16, std::string("\0\0", 2), 1, "start song 0 is outside 1..6"},
      {16, std::string("\0\7", 2), 1, "start song 7 is outside 1..6"},
      {0x7C, std::string("\0\xFF", 2), 1, "its data runs past the end of the 64 KB memory"},
      {0x7D, "", 1, "no tune data after the header"},  // cut after one data byte
  };
  const EmbeddedTune* tune1 = EmbeddedTunes;
  while (tune1->Number != 1) ++tune1;
  for (const Damage& d : cases) {
    std::string image(reinterpret_cast<const char*>(tune1->Image), *tune1->Size);
    image.replace(d.Offset, d.Bytes.empty() ? image.size() : d.Bytes.size(), d.Bytes);
    WriteAll(Dir / "t.sid", image);
    EXPECT_EQ(Run("$R sid t.sid x.wav --seconds 0.1"), d.Status) << d.Message << ": " << Err;
    if (d.Status == 0) {
      EXPECT_EQ(Out, "t.sid: song 1 of 6\n");
      fs::remove(Dir / "x.wav");
    } else {
      EXPECT_NE(Err.find(std::string("quellmark-render sid: t.sid: ") + d.Message),
                std::string::npos)
          << Err;
    }
    EXPECT_EQ(Left(), "t.sid");
  }
  // A module that starts right but breaks off is the loader's to refuse; the tool names the file.
  WriteAll(Dir / "cut.xm", "Extended Module: a module that breaks off after its signature");
  EXPECT_EQ(Run("$R xm cut.xm x.wav"), 1);
  EXPECT_NE(Err.find("quellmark-render xm: cut.xm: a damaged XM module that the player cannot "
                     "load"),
            std::string::npos)
      << Err;
}

}  // namespace
