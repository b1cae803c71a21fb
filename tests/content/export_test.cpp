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
  Content.ContentText[1][9] = "a<b&c  d";
  Content.ContentColour[1][9] = "44G11111";
  Content.ContentStyle[1][9] = "11123222";  // style 3 is not drawn: a blank
  Content.ContentRule[1][9] = "2";
  Content.ContentText[2][9] = "<END>";
  const std::string html = ExportDocumentHtml(9);
  // Blanks need no colour, so they stand outside the spans.
  EXPECT_NE(html.find("<div class=\"l r2\"><span class=\"c4 s1\">a&lt;</span>"
                      "<span class=\"c16 s1\">b</span><span class=\"c1\">&amp;</span> "
                      "<span class=\"c1\">  d</span></div>"),
            std::string::npos)
      << html;
  // Only the colours the page uses get a rule.
  EXPECT_NE(html.find(".c4 { color: #FC0000; }"), std::string::npos);
  EXPECT_NE(html.find(".c16 { color: #00FEFC; }"), std::string::npos);
  EXPECT_EQ(html.find(".c2 {"), std::string::npos);
}

TEST(Export, PagesAreTitledByTheirCaptionsAndLinkedInOrder) {
  ClearContent();
  FillContent();
  EXPECT_EQ(DocumentTitle(1), "Monthly Chart");
  EXPECT_EQ(DocumentTitle(10), "Help");
  EXPECT_EQ(DocumentTitle(12), "Rules");
  const std::string page = ExportDocumentHtml(11);
  EXPECT_TRUE(page.starts_with("<!DOCTYPE html>\n<html lang=\"en\">\n")) << page.substr(0, 80);
  EXPECT_NE(page.find("<title>This Issues Editorial - THE QUELLMARK 47</title>"),
            std::string::npos);
  EXPECT_NE(page.find("<h1>This Issues Editorial</h1>"), std::string::npos);
  // The navigation bar, above and below the page: previous, contents, next.
  const std::string bar =
      "<nav aria-label=\"pages\"><a rel=\"prev\" href=\"10.html\">&lt; Help</a>"
      "<a href=\"index.html\">Contents</a><a rel=\"next\" href=\"12.html\">Rules &gt;</a></nav>";
  const size_t first = page.find(bar);
  ASSERT_NE(first, std::string::npos) << page.substr(0, 3000);
  EXPECT_NE(page.find(bar, first + 1), std::string::npos);
  // The text and its rules are 80 columns wide, not the window's width.
  EXPECT_NE(page.find("nav, main { width: 80ch; }"), std::string::npos);
  // The first and the last page have nothing before or after them.
  EXPECT_NE(ExportDocumentHtml(1).find("<span class=\"off\">first page</span>"), std::string::npos);
  EXPECT_NE(ExportDocumentHtml(20).find("<span class=\"off\">last page</span>"), std::string::npos);
  EXPECT_EQ(ExportDocumentHtml(20).find("21.html"), std::string::npos);

  const std::string index = ExportIndexHtml();
  EXPECT_NE(index.find("<li><a href=\"01.html\">Monthly Chart</a> (" +
                       std::to_string(DocumentLineCount(1) - 1) +
                       " lines, <a class=\"text\" href=\"01.txt\">text</a>)</li>"),
            std::string::npos)
      << index;
  EXPECT_NE(index.find("<a href=\"20.html\">"), std::string::npos);
}

TEST(Export, WritesEveryDocumentOfTheIssueIntoAnEmptyFolderOnly) {
  const auto dir = std::filesystem::temp_directory_path() / "quellmark_export_test";
  std::filesystem::remove_all(dir);
  std::string error;
  ASSERT_TRUE(ExportIssue(dir.string(), false, error)) << error;
  for (int d = 1; d <= MaxDocument; ++d) {
    char name[8];
    std::snprintf(name, sizeof name, "%02d", d);
    EXPECT_TRUE(std::filesystem::exists(dir / (std::string(name) + ".txt"))) << name;
    EXPECT_TRUE(std::filesystem::exists(dir / (std::string(name) + ".html"))) << name;
  }
  EXPECT_TRUE(std::filesystem::exists(dir / "index.html"));
  // Once it holds files, only a forced export writes into it again.
  EXPECT_FALSE(ExportIssue(dir.string(), false, error));
  EXPECT_EQ(error,
            dir.string() + ": the folder is not empty (--force writes into it all the same)");
  EXPECT_TRUE(ExportIssue(dir.string(), true, error)) << error;
  std::filesystem::remove_all(dir);
  // A folder that cannot be made is reported, not ignored.
  EXPECT_FALSE(ExportIssue("/proc/quellmark_export_test", false, error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
