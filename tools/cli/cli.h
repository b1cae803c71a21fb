#pragma once
// The command line shared by the offline tools: options with strictly parsed values, one message
// style, --help and --version, a progress line for terminals, reading input files and writing
// output files that appear only when complete.
//
// Every message is "PROGRAM: WHAT: REASON" on standard error, where WHAT is the option, argument
// or file concerned. Exit status: 0 on success and after --help or --version (which print to
// standard output), CliStatusUsage for a wrong command line, CliStatusFailure when the work failed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

constexpr int CliStatusFailure = 1;
constexpr int CliStatusUsage = 2;

// An option a program accepts: "--name VALUE" (or "--name=VALUE") when ValueName is set, a flag
// "--name" otherwise.
struct CliOptionDef {
  const char* Name;
  const char* ValueName;
};

struct Cli {
  std::string Program;  // names the program in every message, e.g. "quellmark-render sid"
  std::string Help;     // what --help prints: usage lines and what each option does
  std::vector<CliOptionDef> Options = {};
  // Filled by CliParse: the options given (value empty for flags) and the other arguments.
  std::vector<std::pair<std::string, std::string>> Given = {};
  std::vector<std::string> Positional = {};
  int Status = 0;  // the exit status to return once a procedure below has returned false
};

// Splits argv[1..argc-1] into options and positional arguments. "--" ends the options. False
// when the program should stop with cli.Status: after --help or --version (status 0), or after a
// usage error (unknown option, missing value, an option given twice).
bool CliParse(Cli& cli, int argc, char** argv);

// Prints "PROGRAM: WHAT: REASON" and a pointer to --help; returns CliStatusUsage.
int CliUsageError(Cli& cli, std::string_view what, std::string_view reason);
// Prints "PROGRAM: WHAT: REASON"; returns CliStatusFailure.
int CliFailure(Cli& cli, std::string_view what, std::string_view reason);

bool CliFlag(const Cli& cli, std::string_view name);
// The value of an option, nullptr when it was not given.
const std::string* CliText(const Cli& cli, std::string_view name);
// Option values as numbers: the whole value must be a decimal number within [low, high]. When
// the option was not given, *value is left as it is. False (usage error reported) otherwise.
bool CliInteger(Cli& cli, std::string_view name, long low, long high, long* value);
bool CliNumber(Cli& cli, std::string_view name, double low, double high, double* value);

// Reads a whole file of at most maxBytes. False (failure reported, naming the file) when it
// cannot be read, is a folder or is larger.
bool CliReadFile(Cli& cli, const std::string& path, size_t maxBytes, std::vector<uint8_t>* bytes);

// A progress line, drawn over itself, only when standard error is a terminal.
bool CliProgressShown();
void CliProgress(const char* text);
void CliProgressEnd();

// An output file that appears only when complete: the bytes go to a temporary file in the same
// folder, which CliOutputCommit renames over the target. Devices and pipes (an existing target
// that is not a regular file) are written directly, since they cannot be replaced.
struct CliOutput {
  std::string Path;      // the target; a symbolic link is followed to its file
  std::string TempPath;  // empty when writing directly
  std::FILE* File = nullptr;
  int Error = 0;  // errno of the first failed write, 0 while all is well
};

// Opens the temporary file (or the device). False with `reason` set when it cannot.
bool CliOutputOpen(CliOutput& out, const std::string& path, std::string* reason);
// False once any write has failed; the first failure is kept in out.Error.
bool CliOutputWrite(CliOutput& out, const void* data, size_t size);
// Flushes, closes and renames into place. False with `reason` set (and the temporary file
// removed) when anything failed along the way.
bool CliOutputCommit(CliOutput& out, std::string* reason);
// Closes and removes the temporary file; the target is left as it was.
void CliOutputDiscard(CliOutput& out);
// Open, write `bytes`, commit.
bool CliWriteWholeFile(const std::string& path, std::string_view bytes, std::string* reason);
