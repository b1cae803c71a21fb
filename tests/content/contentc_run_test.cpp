// The compiler as the build runs it: a refused source fails the run and leaves no table behind,
// missing documents compile as empty pages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ContentcRun, WritesTheTableOnlyWhenEverySourceCompiles) {
  const fs::path dir = fs::temp_directory_path() / ("contentc_test_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "docs");
  const auto run = [&dir] {
    const std::string command = std::string(CONTENTC_PATH) + " " + (dir / "out.cpp").string() +
                                " " + (dir / "docs").string() + " 2> " + (dir / "err.txt").string();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  const auto write = [&dir](const char* name, const char* text) {
    std::ofstream(dir / "docs" / name, std::ios::binary) << text;
  };
  write("02.qmd", "only page two\n");
  ASSERT_EQ(run(), 0) << Read(dir / "err.txt");
  const std::string table = Read(dir / "out.cpp");
  EXPECT_NE(table.find("// Document 1: no source yet, empty, 1 line."), std::string::npos);
  EXPECT_NE(table.find("{\"only page two\","), std::string::npos);

  const struct {
    const char *Name, *Text, *Message;
  } refused[] = {{"05.qmd", "fine\n@colour Z\n", "05.qmd:2:9: unknown colour code"},
                 {"21.qmd", "x\n", "21.qmd:1:1: not a document name"}};
  for (const auto& row : refused) {
    write(row.Name, row.Text);
    fs::remove(dir / "out.cpp");
    EXPECT_EQ(run(), 1) << row.Name;
    EXPECT_NE(Read(dir / "err.txt").find(row.Message), std::string::npos) << row.Name;
    EXPECT_FALSE(fs::exists(dir / "out.cpp") || fs::exists(dir / "out.cpp.tmp")) << row.Name;
    fs::remove(dir / "docs" / row.Name);
  }
  fs::remove_all(dir);
}

}  // namespace
