#pragma once
// Programs run as a user or a script runs them, and files read back whole.
#include <string>

struct CommandResult {
  int Status = -1;  // the exit status (a shell gives 128 + N for signal N); -1 if sh did not end
  std::string Out;  // what the command wrote to standard output
  std::string Err;  // and to standard error
};

// Runs `command` with /bin/sh in the folder `dir` (the current folder when empty).
CommandResult RunCommand(const std::string& command, const std::string& dir = "");

// The file's bytes; empty when it cannot be read.
std::string ReadFileText(const std::string& path);
