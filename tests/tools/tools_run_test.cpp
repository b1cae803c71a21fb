// The offline tools as a user scripts them: each command line's exit status, messages, and the
// files it leaves behind (a failure leaves none, and never touches an existing output).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "sid/embedded_tunes.h"
#include "tests/sid/sid_test_util.h"
#include "tests/support/run.h"

namespace {

namespace fs = std::filesystem;

struct ToolCase {
  const char* Command;
  int Status;
  const char* Stderr;  // a part of the messages; "" when there must be none
  const char* Stdout;  // a part of the output
  const char* Left;    // what is left in the folder (see ToolCommand::Left)
};

void PrintTo(const ToolCase& c, std::ostream* os) {
  *os << c.Command;
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

const std::set<std::string> Fixtures = {"folder",  "shots", "notes.txt", "script.txt",
                                        "old.wav", "t.sid", "three.sid"};

// A folder of its own for each row with inputs and an existing output (old.wav): notes.txt is
// longer than a PSID header (refused for its first bytes), t.sid is built-in tune 1, three.sid
// has three songs, the second the start song, whose init routine tunes voice 1 to the song
// number it is given in A, so that each song sounds different.
class ToolCommand : public ::testing::TestWithParam<ToolCase> {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("quellmark_tools_" + std::to_string(getpid()));
    fs::remove_all(Dir);
    fs::create_directories(Dir / "folder");
    fs::create_directories(Dir / "shots");
    WriteAll(Dir / "notes.txt", std::string(3, '#') + std::string(200, 'n') + "\n");
    WriteAll(Dir / "script.txt", "10 shot a\n");
    WriteAll(Dir / "old.wav", "an earlier render");
    WriteAll(Dir / "t.sid", std::string(reinterpret_cast<const char*>(EmbeddedTunes[0].Image),
                                        *EmbeddedTunes[0].Size));
    // Init: STA $D401, a loud sawtooth on voice 1, RTS; play at $1020: RTS.
    std::vector<uint8_t> code = {0x8D, 0x01, 0xD4, 0xA9, 0x0F, 0x8D, 0x18, 0xD4,
                                 0xA9, 0x00, 0x8D, 0x05, 0xD4, 0xA9, 0xF0, 0x8D,
                                 0x06, 0xD4, 0xA9, 0x21, 0x8D, 0x04, 0xD4, 0x60};
    code.resize(0x21, 0x60);
    std::vector<uint8_t> three = BuildPsid(0x1000, 0x1000, 0x1020, code);
    three[0x0F] = 3, three[0x11] = 2;  // three songs, the second the start song
    WriteAll(Dir / "three.sid", std::string(three.begin(), three.end()));
  }
  void TearDown() override { fs::remove_all(Dir); }

  // Everything SetUp did not put there, sorted, separated by blanks.
  std::string Left() const {
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(Dir)) {
      found.insert(entry.path().lexically_relative(Dir).string());
    }
    std::string list;
    for (const std::string& path : found) {
      if (!Fixtures.contains(path)) list += (list.empty() ? "" : " ") + path;
    }
    return list;
  }

  fs::path Dir;
};

// $R, $E and $S name the tools; P OFFSET BYTES patches t.sid and renders it to x.wav; W PATTERN
// waits until the last background job has made a file that PATTERN matches (or has ended).
const char* const Prelude =
    "R='" RENDER_PATH "'; E='" EXPORT_PATH "'; S='" SHOT_PATH
    "'\n"
    "P() { printf \"$2\" | dd of=t.sid bs=1 seek=$1 conv=notrunc 2>/dev/null; "
    "$R sid t.sid x.wav --seconds 0.1; }\n"
    "W() { until ! kill -0 $! || ls $1 >/dev/null 2>&1; do sleep 0.05; done; }\n";

TEST_P(ToolCommand, StatusMessagesAndFilesLeft) {
  const ToolCase& c = GetParam();
  const CommandResult run = RunCommand(std::string(Prelude) + c.Command, Dir.string());
  EXPECT_EQ(run.Status, c.Status) << run.Err;
  EXPECT_TRUE(*c.Stderr != '\0' || run.Err.empty()) << run.Err;
  EXPECT_NE(run.Err.find(c.Stderr), std::string::npos) << run.Err;
  EXPECT_NE(run.Out.find(c.Stdout), std::string::npos) << run.Out;
  EXPECT_EQ(Left(), c.Left);
  EXPECT_EQ(ReadFileText((Dir / "old.wav").string()), "an earlier render");
}

// The longest --seconds that `$R SUB --help` offers.
#define LONGEST(sub) "$($R " sub " --help | sed -n 's/.*--seconds.* to \\([0-9]*\\) .*/\\1/p')"
// The 44 bytes of a WAV header as hex.
#define HEADER " h.wav --seconds 0.1 && head -c 44 h.wav | od -An -tx1 | tr -d ' \\n'"

const ToolCase Cases[] = {
    // Usage errors name the program and the argument, and exit 2.
    {"$R", 2, "quellmark-render: missing subcommand", "", ""},
    {"$R play x.wav", 2, "quellmark-render: play: unknown subcommand", "", ""},
    {"$R xm --embedded 5 x.wav", 2, "--embedded: 5 is out of range (1..4)", "", ""},
    {"$R xm --embedded 1 x.wav y.wav", 2, "y.wav: one argument too many", "", ""},
    {"$R sid notes.txt", 2, "quellmark-render sid: missing", "", ""},
    {"$R sid --embedded 5 x.wav --song 0", 2, "--song: 0 is out of range (1..256)", "", ""},
    // The longest render --help offers is accepted (the output then fails); past the most a WAV
    // file can hold is refused before anything is rendered.
    {"$R xm --embedded 1 missing/x.wav --seconds " LONGEST("xm"), 1,
     "render xm: missing/x.wav: No such file", "", ""},
    {"$R sid --embedded 1 missing/x.wav --seconds " LONGEST("sid"), 1,
     "render sid: missing/x.wav: No such file", "", ""},
    {"$R xm --embedded 2 big.wav --seconds 24347.01", 2,
     "xm: --seconds: 24347.01 is out of range (0.02..24347)", "", ""},
    {"$R sid --embedded 1 big.wav --seconds 48695.01", 2,
     "sid: --seconds: 48695.01 is out of range (0.02..48695)", "", ""},
    // Stopped by a signal once the output has been started, a tool removes its temporary file and
    // ends by the signal (a script's background job ignores SIGINT unless env restores it).
    {"env --default-signal $R xm --embedded 1 x.wav --seconds 20000 & W '.x.wav.*'; kill -INT $!; "
     "wait $!",
     130, "", "", ""},
    {"$R sid --embedded 1 x.wav --seconds 40000 & W '.x.wav.*'; kill -TERM $!; wait $!", 143,
     "Terminated", "", ""},
    {"$S --script script.txt --out shots --max-frames 10000000 --audio-out a.raw & W shots/a.png; "
     "kill -HUP $!; wait $!",
     129, "Hangup", "", "shots/a.png"},
    // Inputs that are not what the subcommand plays are refused, naming the file.
    {"$R sid notes.txt x.wav", 1,
     "sid: notes.txt: not a SID tune (it does not start with \"PSID\" or \"RSID\")", "", ""},
    {"$R sid folder x.wav", 1, "quellmark-render sid: folder: is a folder", "", ""},
    {"$R sid nothing.sid x.wav", 1, "sid: nothing.sid: No such file or directory", "", ""},
    {"$R xm notes.txt old.wav", 1,
     "xm: notes.txt: not an XM module (it does not start with \"Extended Module: \")", "", ""},
    {"echo 'Extended Module: cut short' >c.xm && $R xm c.xm x.wav", 1,
     "quellmark-render xm: c.xm: a damaged XM module that the player cannot load", "", "c.xm"},
    // Header fields the player cannot honour are refused, naming the file and the field.
    {"P 0 RSID", 0, "", "t.sid: song 1 of 6", "x.wav"},
    {"P 4 '\\0\\7'", 1, "sid: t.sid: PSID version 7 is not known", "", ""},
    {"P 6 '\\0\\166'", 1, "t.sid: data offset 0x0076 does not match PSID version 2", "", ""},
    {"P 8 '\\20\\0'", 1, "t.sid: load address $1000 in the header", "", ""},
    {"P 10 '\\0\\0'", 1, "t.sid: init address 0", "", ""},
    {"P 14 '\\0\\0'", 1, "t.sid: song count 0 is outside 1..256", "", ""},
    {"P 14 '\\1\\1'", 1, "t.sid: song count 257 is outside 1..256", "", ""},
    {"P 16 '\\0\\0'", 1, "t.sid: start song 0 is outside 1..6", "", ""},
    {"P 16 '\\0\\7'", 1, "t.sid: start song 7 is outside 1..6", "", ""},
    {"P 124 '\\0\\377'", 1, "t.sid: its data runs past the end of the 64 KB memory", "", ""},
    {"truncate -s 125 t.sid && P 0 PSID", 1, "t.sid: no tune data after the header", "", ""},
    // Songs count from 1 up to the last, the default is the header's start song.
    {"$R sid three.sid a.wav --seconds 0.2 && $R sid three.sid b.wav --seconds 0.2 --song 2 && "
     "cmp a.wav b.wav && $R sid three.sid c.wav --seconds 0.2 --song 3 && ! cmp -s a.wav c.wav && "
     "$R sid three.sid d.wav --seconds 0.2 --song 1 && ! cmp -s a.wav d.wav",
     0, "", "three.sid: song 2 of 3\nthree.sid: song 2 of 3\nthree.sid: song 3 of 3\n",
     "a.wav b.wav c.wav d.wav"},
    {"$R sid three.sid x.wav --song 4", 2, "--song: 4 is out of range: three.sid has 3 songs", "",
     ""},
    // Every field of both WAV headers: xm 4,410 stereo frames of 4 bytes, sid 4,410 mono samples.
    {"$R xm --embedded 1" HEADER, 0, "",
     "524946460c45000057415645666d7420100000000100020044ac000010b1020004001000"
     "64617461e8440000",
     "h.wav"},
    {"$R sid --embedded 1" HEADER, 0, "",
     "524946469822000057415645666d7420100000000100010044ac00008858010002001000"
     "6461746174220000",
     "h.wav"},
    // Write failures are reported and leave nothing behind; an existing file stays as it was.
    {"$R xm --embedded 1 /dev/full --seconds 2", 1,
     "quellmark-render xm: /dev/full: No space left on device", "", ""},
    {"$R xm --embedded 1 folder --seconds 1", 1, "quellmark-render xm: folder: is a folder", "",
     ""},
    {"trap '' XFSZ; ulimit -f 100; $R sid --embedded 1 old.wav --seconds 2", 1,
     "quellmark-render sid: old.wav: File too large", "song 1 of 6", ""},
    // Successful renders follow links, with no progress line when stderr is not a terminal.
    {"$R xm --embedded 1 x.wav --seconds 0.1 && ln -s x.wav link.wav && $R xm --embedded 2 "
     "link.wav --seconds 0.2 && test -L link.wav && test $(stat -c %s x.wav) = 35324",
     0, "", "", "link.wav x.wav"},
    // The export: no folder named after an option, no writing into a folder that holds files.
    {"$E", 2, "quellmark-export: missing DIR", "", ""},
    {"$E --all out", 2, "quellmark-export: --all: unknown option", "", ""},
    {"$E shots && $E shots; s=$?; echo files: $(ls shots | wc -l); rm shots/*; exit $s", 1,
     "quellmark-export: shots: the folder is not empty (--force writes into it all the same)",
     "files: 41", ""},
    {"$E old.wav", 1, "quellmark-export: old.wav: not a folder", "", ""},
    {"touch shots/keep && $E --force shots && echo files: $(ls shots | wc -l) && rm shots/*", 0, "",
     "files: 42", ""},
    // The shot tool: --script and --out are required and checked before the run.
    {"$S --script script.txt --max-frames 20", 2, "quellmark-shot: --out: missing; it is required",
     "", ""},
    {"$S --script script.txt --out nowhere --max-frames 20", 1,
     "quellmark-shot: nowhere: No such file or directory", "", ""},
    {"$S --script script.txt --out old.wav --max-frames 20", 1,
     "quellmark-shot: old.wav: not a folder", "", ""},
    {"$S --script script.txt --out shots --max-frames 20 --audio-out /dev/full", 1,
     "quellmark-shot: /dev/full: No space left on device", "shots/a.png", "shots/a.png"},
    {"mkdir shots/a.png && $S --script script.txt --out shots --max-frames 20", 1,
     "quellmark-shot: shots/a.png: Is a directory", "20 frames", "shots/a.png"},
    {"echo '50 shot late' >> script.txt && $S --script script.txt --out shots --max-frames 20", 1,
     "quellmark-shot: shots/late.png: not taken: the run ended after frame 20, before frame 50",
     "shots/a.png", "shots/a.png"},
    {"$S --script script.txt --out shots --max-frames 20 --audio-out a.raw", 2,
     "headless run stopped after 20 frames", "shots/a.png\n20 frames, exit status 2",
     "a.raw shots/a.png"},
};

INSTANTIATE_TEST_SUITE_P(Tools, ToolCommand, ::testing::ValuesIn(Cases));

}  // namespace
