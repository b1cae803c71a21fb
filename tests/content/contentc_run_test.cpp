// The compiler as the build runs it: a refused source fails the run and leaves no table behind,
// missing documents compile as empty pages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class ContentcRun : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("contentc_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir / "docs");
  }
  void TearDown() override { fs::remove_all(Dir); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(Dir / "docs" / name, std::ios::binary) << text;
  }
  // Runs contentc; returns its exit status and leaves its messages in Messages.
  int Run() {
    const std::string command = std::string(CONTENTC_PATH) + " " + (Dir / "out.cpp").string() +
                                " " + (Dir / "docs").string() + " 2> " + (Dir / "err.txt").string();
    const int status = std::system(command.c_str());
    std::ifstream err(Dir / "err.txt");
    std::stringstream text;
    text << err.rdbuf();
    Messages = text.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path Dir;
  std::string Messages;
};

TEST_F(ContentcRun, MissingDocumentsCompileAsEmptyPages) {
  Write("02.qmd", "only page two\n");
  ASSERT_EQ(Run(), 0) << Messages;
  std::ifstream in(Dir / "out.cpp");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("// Document 1: no source yet, empty, 1 line."), std::string::npos);
  EXPECT_NE(text.str().find("{\"only page two\","), std::string::npos);
}

TEST_F(ContentcRun, RefusalStopsTheBuildAndWritesNothing) {
  Write("01.qmd", "fine\n");
  ASSERT_EQ(Run(), 0);
  Write("05.qmd", "fine\n@colour Z\n");
  fs::remove(Dir / "out.cpp");
  EXPECT_EQ(Run(), 1);
  EXPECT_NE(Messages.find("05.qmd:2:9: unknown colour code"), std::string::npos) << Messages;
  EXPECT_FALSE(fs::exists(Dir / "out.cpp"));
  EXPECT_FALSE(fs::exists(Dir / "out.cpp.tmp"));
}

TEST_F(ContentcRun, RefusesSourcesNoDocumentNumberClaims) {
  Write("21.qmd", "x\n");
  EXPECT_EQ(Run(), 1);
  EXPECT_NE(Messages.find("21.qmd:1:1: not a document name"), std::string::npos) << Messages;
}

}  // namespace
