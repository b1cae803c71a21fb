#include "tools/cli/cli.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

// The temporary files open at this moment, for the signal handler to remove: an interrupted
// render must not leave hundreds of megabytes behind under a hidden name. Used[i] is set only
// while Path[i] holds a complete name; both change only with the signals blocked.
constexpr int MaxPendingFiles = 4;
struct PendingFiles {
  volatile sig_atomic_t Used[MaxPendingFiles];
  char Path[MaxPendingFiles][PATH_MAX];
  bool HandlersSet;
};
PendingFiles Pending = {};

constexpr int CleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Async-signal-safe: unlink, then the signal's default action (the handler was installed with
// SA_RESETHAND, and the raised signal is delivered when the handler returns), so the parent sees
// the process ended by the signal.
void RemovePendingFiles(int signal) {
  for (int i = 0; i < MaxPendingFiles; ++i) {
    if (Pending.Used[i]) unlink(Pending.Path[i]);
  }
  raise(signal);
}

// Signals that were ignored when the program started (nohup, a background job of a script) stay
// ignored.
void SetHandlers() {
  if (Pending.HandlersSet) return;
  Pending.HandlersSet = true;
  for (int signal : CleanupSignals) {
    struct sigaction old = {};
    sigaction(signal, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = RemovePendingFiles;
    action.sa_flags = SA_RESETHAND;
    sigfillset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

// Holds the cleanup signals back while a temporary file is created, renamed or removed and the
// table changes with it; a signal that comes meanwhile arrives at RestoreSignals.
sigset_t BlockSignals() {
  sigset_t set;
  sigset_t old;
  sigemptyset(&set);
  for (int signal : CleanupSignals) sigaddset(&set, signal);
  sigprocmask(SIG_BLOCK, &set, &old);
  return old;
}

void RestoreSignals(const sigset_t& old) {
  sigprocmask(SIG_SETMASK, &old, nullptr);
}

// Removes (or, after a rename, just forgets) a temporary file; call with the signals blocked.
void DropPending(const std::string& path, bool remove) {
  if (remove) unlink(path.c_str());
  for (int i = 0; i < MaxPendingFiles; ++i) {
    if (Pending.Used[i] && path == Pending.Path[i]) Pending.Used[i] = 0;
  }
}

// Creates the temporary file from the template `temp` and enters it in the table. -1 with errno
// set when it cannot.
int CreatePending(std::string& temp) {
  SetHandlers();
  const sigset_t old = BlockSignals();
  int slot = 0;
  while (slot < MaxPendingFiles && Pending.Used[slot]) ++slot;
  int fd = -1;
  if (slot == MaxPendingFiles) {
    errno = EMFILE;
  } else if (temp.size() >= PATH_MAX) {
    errno = ENAMETOOLONG;
  } else {
    fd = mkstemp(temp.data());
    if (fd >= 0) {
      std::memcpy(Pending.Path[slot], temp.c_str(), temp.size() + 1);
      Pending.Used[slot] = 1;
    }
  }
  RestoreSignals(old);
  return fd;
}

// The project's version, from CMake, as every program of the project prints it.
constexpr char CliVersion[] = QM_VERSION;

const CliOptionDef* FindOption(const Cli& cli, std::string_view name) {
  for (const CliOptionDef& option : cli.Options) {
    if (name == option.Name) return &option;
  }
  return nullptr;
}

std::string Quoted(std::string_view text) {
  // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict for "literal" + string.
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '"';
  quoted += text;
  quoted += '"';
  return quoted;
}

std::string Format(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

// A decimal number: optional sign, digits with at most one point, an optional exponent. Nothing
// else (no blanks, no hexadecimal, no "nan" or "inf").
bool IsDecimal(const std::string& s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exponent = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++exponent;
    if (exponent == 0) return false;
  }
  return i == s.size();
}

// Decimal digits with an optional sign.
bool IsWholeNumber(const std::string& s) {
  const size_t start = !s.empty() && (s[0] == '+' || s[0] == '-') ? 1 : 0;
  return start < s.size() && s.find_first_not_of("0123456789", start) == std::string::npos;
}

std::string Reason(int error) {
  return std::strerror(error != 0 ? error : EIO);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool CliParse(Cli& cli, int argc, char** argv) {
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg == "-" || arg[0] != '-') {
      cli.Positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(cli.Help.c_str(), stdout);
      cli.Status = 0;
      return false;
    } else if (arg == "--version") {
      std::printf("%s %s\n", cli.Program.c_str(), CliVersion);
      cli.Status = 0;
      return false;
    } else {
      const size_t equals = arg.find('=');
      const std::string name = arg.substr(0, equals);
      const CliOptionDef* option = arg.starts_with("--") ? FindOption(cli, name) : nullptr;
      if (option == nullptr) {
        CliUsageError(cli, name, "unknown option");
        return false;
      }
      for (const auto& given : cli.Given) {
        if (given.first == name) {
          CliUsageError(cli, name, "given twice");
          return false;
        }
      }
      std::string value;
      if (option->ValueName == nullptr) {
        if (equals != std::string::npos) {
          CliUsageError(cli, name, "takes no value");
          return false;
        }
      } else if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        CliUsageError(cli, name, std::string("needs a value (") + option->ValueName + ")");
        return false;
      }
      cli.Given.emplace_back(name, value);
    }
  }
  return true;
}

int CliUsageError(Cli& cli, std::string_view what, std::string_view reason) {
  CliFailure(cli, what, reason);
  std::fprintf(stderr, "Try '%s --help' for the usage.\n", cli.Program.c_str());
  return cli.Status = CliStatusUsage;
}

int CliFailure(Cli& cli, std::string_view what, std::string_view reason) {
  std::string line = cli.Program + ": ";
  if (!what.empty()) line += std::string(what) + ": ";
  line += std::string(reason) + "\n";
  std::fputs(line.c_str(), stderr);
  return cli.Status = CliStatusFailure;
}

bool CliFlag(const Cli& cli, std::string_view name) {
  return CliText(cli, name) != nullptr;
}

const std::string* CliText(const Cli& cli, std::string_view name) {
  for (const auto& given : cli.Given) {
    if (given.first == name) return &given.second;
  }
  return nullptr;
}

bool CliInteger(Cli& cli, std::string_view name, long low, long high, long* value) {
  const std::string* text = CliText(cli, name);
  if (text == nullptr) return true;
  if (!IsWholeNumber(*text)) {
    CliUsageError(cli, name, Quoted(*text) + " is not a whole number");
    return false;
  }
  errno = 0;
  const long v = std::strtol(text->c_str(), nullptr, 10);
  if (errno == ERANGE || v < low || v > high) {
    CliUsageError(
        cli, name,
        *text + " is out of range (" + std::to_string(low) + ".." + std::to_string(high) + ")");
    return false;
  }
  *value = v;
  return true;
}

bool CliNumber(Cli& cli, std::string_view name, double low, double high, double* value) {
  const std::string* text = CliText(cli, name);
  if (text == nullptr) return true;
  if (!IsDecimal(*text)) {
    CliUsageError(cli, name, Quoted(*text) + " is not a number");
    return false;
  }
  const double v = std::strtod(text->c_str(), nullptr);
  if (!std::isfinite(v) || v < low || v > high) {
    CliUsageError(cli, name,
                  *text + " is out of range (" + Format(low) + ".." + Format(high) + ")");
    return false;
  }
  *value = v;
  return true;
}

bool CliReadFile(Cli& cli, const std::string& path, size_t maxBytes, std::vector<uint8_t>* bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    CliFailure(cli, path, Reason(errno));
    return false;
  }
  struct stat st = {};
  std::string why;
  if (fstat(fileno(f), &st) != 0) {
    why = Reason(errno);
  } else if (S_ISDIR(st.st_mode)) {
    why = "is a folder, not a file";
  } else if (S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) > maxBytes) {
    why = "larger than " + std::to_string(maxBytes) + " bytes";
  } else {
    bytes->clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
      bytes->insert(bytes->end(), buffer, buffer + n);
      if (bytes->size() > maxBytes) {
        why = "larger than " + std::to_string(maxBytes) + " bytes";
        break;
      }
    }
    if (why.empty() && std::ferror(f)) why = Reason(errno);
  }
  std::fclose(f);
  if (!why.empty()) {
    CliFailure(cli, path, why);
    return false;
  }
  return true;
}

bool CliProgressShown() {
  return isatty(STDERR_FILENO) == 1;
}

void CliProgress(const char* text) {
  if (CliProgressShown()) std::fprintf(stderr, "\r%s\x1b[K", text);
}

void CliProgressEnd() {
  if (CliProgressShown()) std::fputs("\r\x1b[K", stderr);
}

bool CliOutputOpen(CliOutput& out, const std::string& path, std::string* reason) {
  out = CliOutput{};
  out.Path = path;
  mode_t mask = umask(0);
  umask(mask);
  mode_t mode = 0666 & ~mask;
  struct stat st = {};
  if (stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      *reason = "is a folder";
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      out.File = std::fopen(path.c_str(), "wb");
      if (out.File == nullptr) *reason = Reason(errno);
      return out.File != nullptr;
    }
    mode = st.st_mode & 07777;
    char* real = realpath(path.c_str(), nullptr);  // write beside the file a link points to
    if (real != nullptr) {
      out.Path = real;
      std::free(real);
    }
  } else if (errno != ENOENT) {
    *reason = Reason(errno);
    return false;
  }
  const size_t slash = out.Path.rfind('/');
  const std::string name = slash == std::string::npos ? out.Path : out.Path.substr(slash + 1);
  std::string temp = FolderOf(out.Path) + "/." + name + ".XXXXXX";
  const int fd = CreatePending(temp);
  if (fd < 0) {
    *reason = Reason(errno) + " (cannot create a file in " + FolderOf(out.Path) + ")";
    return false;
  }
  fchmod(fd, mode);
  out.TempPath = temp;
  out.File = fdopen(fd, "wb");
  if (out.File == nullptr) {
    *reason = Reason(errno);
    close(fd);
    const sigset_t old = BlockSignals();
    DropPending(temp, true);
    RestoreSignals(old);
    out.TempPath.clear();
    return false;
  }
  return true;
}

bool CliOutputWrite(CliOutput& out, const void* data, size_t size) {
  if (out.Error != 0) return false;
  errno = 0;
  if (std::fwrite(data, 1, size, out.File) != size) out.Error = errno != 0 ? errno : EIO;
  return out.Error == 0;
}

bool CliOutputCommit(CliOutput& out, std::string* reason) {
  if (out.File == nullptr) {
    *reason = "not open";
    return false;
  }
  if (out.Error == 0 && std::fflush(out.File) != 0) out.Error = errno;
  if (out.Error == 0 && !out.TempPath.empty() && fsync(fileno(out.File)) != 0) out.Error = errno;
  if (std::fclose(out.File) != 0 && out.Error == 0) out.Error = errno;
  out.File = nullptr;
  if (!out.TempPath.empty()) {
    const sigset_t old = BlockSignals();
    if (out.Error == 0 && std::rename(out.TempPath.c_str(), out.Path.c_str()) != 0) {
      out.Error = errno;
    }
    DropPending(out.TempPath, out.Error != 0);
    RestoreSignals(old);
  }
  if (out.Error != 0) {
    *reason = Reason(out.Error);
    return false;
  }
  return true;
}

void CliOutputDiscard(CliOutput& out) {
  if (out.File != nullptr) std::fclose(out.File);
  out.File = nullptr;
  if (out.TempPath.empty()) return;
  const sigset_t old = BlockSignals();
  DropPending(out.TempPath, true);
  RestoreSignals(old);
}

bool CliWriteWholeFile(const std::string& path, std::string_view bytes, std::string* reason) {
  CliOutput out;
  if (!CliOutputOpen(out, path, reason)) return false;
  CliOutputWrite(out, bytes.data(), bytes.size());
  return CliOutputCommit(out, reason);
}
