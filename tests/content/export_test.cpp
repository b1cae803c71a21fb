// The export of the issue as text and HTML.
#include <gtest/gtest.h>

#include <filesystem>

#include "content/content.h"
#include "tools/export/export.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Export, TextAndHtmlOfOneDocument) {
  ClearContent();
  Content.ContentText[1][9] = "\xDA\xC4\xBF \x04 caf\xFA   ";
  const std::string longLine = std::string(80, 'x') + "y";  // the 81st column is never shown
  Content.ContentText[2][9] = longLine;
  Content.ContentText[3][9] = "<END>";
  Content.ContentText[4][9] = "after the end";
  EXPECT_EQ(DocumentLineCount(9), 3);
  EXPECT_EQ(ExportDocumentText(9), "┌─┐ ♦ caf·\n" + std::string(80, 'x') + "\n");
  EXPECT_EQ(DocumentLineCount(8), 4999);  // no end marker
  // Blanks need no colour and stand outside the spans; style 3 is not drawn: a blank. Only the
  // colours the page uses get a rule.
  Content.ContentText[1][9] = "a<b&c  d";
  Content.ContentColour[1][9] = "44G11111";
  Content.ContentStyle[1][9] = "11123222";
  Content.ContentRule[1][9] = "2";
  Content.ContentText[2][9] = "<END>";
  const std::string html = ExportDocumentHtml(9);
  EXPECT_TRUE(Has(html,
                  "<div class=\"l r2\"><span class=\"c4 s1\">a&lt;</span><span class=\"c16 "
                  "s1\">b</span><span class=\"c1\">&amp;</span> <span class=\"c1\">  "
                  "d</span></div>"))
      << html;
  EXPECT_TRUE(Has(html, ".c4 { color: #FC0000; }") && Has(html, ".c16 { color: #00FEFC; }"));
  EXPECT_FALSE(Has(html, ".c2 {"));
}

TEST(Export, PagesAreTitledByTheirCaptionsAndLinkedInOrder) {
  ClearContent();
  FillContent();
  const std::string page = ExportDocumentHtml(11);
  EXPECT_TRUE(page.starts_with("<!DOCTYPE html>\n<html lang=\"en\">\n")) << page.substr(0, 80);
  // The navigation bar above and below the page: previous, contents, next; 80 columns wide.
  const std::string bar =
      "<nav aria-label=\"pages\"><a rel=\"prev\" href=\"10.html\">&lt; Help</a>"
      "<a href=\"index.html\">Contents</a><a rel=\"next\" href=\"12.html\">Rules &gt;</a></nav>";
  for (const std::string& part :
       {std::string("<title>This Issues Editorial - THE QUELLMARK 47</title>"),
        std::string("<h1>This Issues Editorial</h1>"), std::string("nav, main { width: 80ch; }"),
        bar})
    EXPECT_TRUE(Has(page, part)) << part;
  EXPECT_NE(page.find(bar), page.rfind(bar));
  // The first and the last page have nothing before or after them.
  EXPECT_TRUE(Has(ExportDocumentHtml(1), "<span class=\"off\">first page</span>"));
  EXPECT_TRUE(Has(ExportDocumentHtml(20), "<span class=\"off\">last page</span>"));
  EXPECT_FALSE(Has(ExportDocumentHtml(20), "21.html"));
  const std::string index = ExportIndexHtml();
  EXPECT_TRUE(Has(index, "<li><a href=\"01.html\">Monthly Chart</a> (" +
                             std::to_string(DocumentLineCount(1) - 1) +
                             " lines, <a class=\"text\" href=\"01.txt\">text</a>)</li>"))
      << index;
  EXPECT_TRUE(Has(index, "<a href=\"20.html\">"));
}

TEST(Export, WritesEveryDocumentOfTheIssueIntoAnEmptyFolderOnly) {
  const auto dir = std::filesystem::temp_directory_path() / "quellmark_export_test";
  std::filesystem::remove_all(dir);
  std::string error;
  ASSERT_TRUE(ExportIssue(dir.string(), false, error)) << error;
  for (const char* name : {"01.txt", "01.html", "20.txt", "20.html", "index.html"})
    EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
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
