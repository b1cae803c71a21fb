// The export of the issue as text and HTML.
#include <gtest/gtest.h>

#include <filesystem>

#include "content/content.h"
#include "tools/export/export.h"

namespace {

TEST(Export, TextMapsCodePage437AndKeepsTheVisibleColumns) {
  ClearContent();
  const std::string ones(80, '1');
  const std::string longLine = std::string(80, 'x') + "y";  // the 81st column is never shown
  Content.ContentText[0][9] = "";
  Content.ContentText[1][9] = "\xDA\xC4\xBF \x04 caf\xFA   ";
  Content.ContentText[2][9] = longLine;
  Content.ContentText[3][9] = "<END>";
  Content.ContentText[4][9] = "after the end";
  EXPECT_EQ(DocumentLineCount(9), 3);
  EXPECT_EQ(ExportDocumentText(9), "┌─┐ ♦ caf·\n" + std::string(80, 'x') + "\n");
  EXPECT_EQ(DocumentLineCount(8), 4999);  // no end marker
  EXPECT_EQ(Cp437ToUtf8(0xDB), "█");
  EXPECT_EQ(Cp437ToUtf8('<'), "<");
}

TEST(Export, HtmlKeepsColoursStylesAndRulesAndEscapesMarkup) {
  ClearContent();
  Content.ContentText[1][9] = "a<b&c";
  Content.ContentColour[1][9] = "44G11";
  Content.ContentStyle[1][9] = "11123";  // style 3 is not drawn: a blank
  Content.ContentRule[1][9] = "2";
  Content.ContentText[2][9] = "<END>";
  const std::string html = ExportDocumentHtml(9);
  EXPECT_NE(html.find("<div class=\"l r2\"><span class=\"s1\" style=\"color:#FC0000\">a&lt;</span>"
                      "<span class=\"s1\" style=\"color:#00FEFC\">b</span>"
                      "<span style=\"color:#FCFEFC\">&amp;</span>"
                      "<span style=\"color:#FCFEFC\"> </span></div>"),
            std::string::npos)
      << html;
}

TEST(Export, WritesEveryDocumentOfTheIssue) {
  const auto dir = std::filesystem::temp_directory_path() / "quellmark_export_test";
  std::filesystem::remove_all(dir);
  std::string error;
  ASSERT_TRUE(ExportIssue(dir.string(), error)) << error;
  for (int d = 1; d <= MaxDocument; ++d) {
    char name[8];
    std::snprintf(name, sizeof name, "%02d", d);
    EXPECT_TRUE(std::filesystem::exists(dir / (std::string(name) + ".txt"))) << name;
    EXPECT_TRUE(std::filesystem::exists(dir / (std::string(name) + ".html"))) << name;
  }
  EXPECT_TRUE(std::filesystem::exists(dir / "index.html"));
  std::filesystem::remove_all(dir);
  // A folder that cannot be made is reported, not ignored.
  EXPECT_FALSE(ExportIssue("/proc/quellmark_export_test", error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
