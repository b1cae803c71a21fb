#include "tests/support/run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// A new empty file in the temporary folder, for one call's output (mkstemp keeps concurrent
// test processes apart).
std::string NewTempFile() {
  std::string name = (std::filesystem::temp_directory_path() / "qm_run_XXXXXX").string();
  const int fd = mkstemp(name.data());
  if (fd >= 0) close(fd);
  return name;
}

}  // namespace

CommandResult RunCommand(const std::string& command, const std::string& dir) {
  const std::string out = NewTempFile();
  const std::string err = NewTempFile();
  const std::string line = (dir.empty() ? "" : "cd '" + dir + "' && ") + "{ " + command + "\n} >'" +
                           out + "' 2>'" + err + "'";
  const int status = std::system(line.c_str());
  CommandResult result;
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.Out = ReadFileText(out);
  result.Err = ReadFileText(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return result;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}
