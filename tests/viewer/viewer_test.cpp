// The page viewer over small documents built in the test: loading, the limits of every way of
// scrolling and the scrollbar; paging over every document of the issue.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/viewer.h"
#include "common/shared_state.h"
#include "content/content.h"
#include "display/display.h"
#include "render/framebuffer.h"
#include "render/text.h"
#include "tests/support/test_font.h"

namespace {

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetApp();
    ClearContent();
    ResetViewer();
    UseTestFont();
  }

  // Document d with lines 1..n-1 of green text starting with a full block and the end marker at
  // line n (no marker at all when n is 0).
  static void MakeDocument(int d, int n) {
    static const std::string ones(80, '1'), green(80, '7'), text = "\xDB" + std::string(79, ' ');
    for (int line = 0; line <= (n == 0 ? 4999 : n); ++line) {
      const bool plain = line == 0 || line == n;
      Content.ContentText[line][d] = line == 0 ? "" : line == n ? "<END>" : std::string_view(text);
      Content.ContentColour[line][d] = plain ? ones : green;
      Content.ContentStyle[line][d] = ones;
      Content.ContentRule[line][d] = "0";
    }
  }

  // One main-loop frame of scrolling: arrows, then the wheel moved to `wheel`.
  static void Frame(bool down, bool up, double wheel) {
    ScrollByArrowKeys(down, up);
    App.WheelBefore = App.WheelNow;
    App.WheelNow = wheel;
    ScrollByWheel();
  }
};

TEST_F(ViewerTest, LoadCopiesCellsMapsCodesAndEmptiesWhatALongerDocumentLeft) {
  MakeDocument(3, 300);
  MakeDocument(4, 40);
  MakeDocument(6, 0);  // no end marker: 4999 lines
  Content.ContentText[2][4] = "Ab";
  Content.ContentColour[2][4] = "aV";  // lowercase is no code: colour 1; "V" is 31
  Content.ContentStyle[2][4] = "2";    // a style line shorter than the text
  LoadDocument(6);
  EXPECT_EQ(App.LineCount, 4999);
  EXPECT_EQ(Viewer.ViewText[4999][1], 0xDB);
  EXPECT_EQ(Viewer.ViewText[5000][1], 0);  // line 5000 is never written
  LoadDocument(3);
  App.TopLine = 200;
  LoadDocument(4);
  LoadDocument(0);  // not a document: nothing changes
  LoadDocument(21);
  EXPECT_EQ(App.LineCount, 40);
  EXPECT_EQ(App.TopLine, 0);
  EXPECT_EQ(App.ScrollPixel, 0);
  EXPECT_EQ(Viewer.ViewText[100][1], 0);
  EXPECT_EQ(Viewer.ViewRule[100], "");
  // {line, column, text, colour, style}: column 0 is always empty; past the colour line's end
  // colour 1, past the style line's end style 0 (not drawn).
  const int cells[][5] = {
      {1, 0, 0, 1, 0}, {1, 1, 0xDB, 7, 1}, {2, 1, 'A', 1, 2}, {2, 2, 'b', 31, 0}, {2, 3, 0, 1, 0}};
  for (const auto& [line, column, text, colour, style] : cells) {
    EXPECT_EQ(Viewer.ViewText[line][column], text) << line << ":" << column;
    EXPECT_TRUE(column == 0 || Viewer.ViewColour[line][column] == colour) << line << ":" << column;
    EXPECT_EQ(Viewer.ViewStyle[line][column], style) << line << ":" << column;
  }
}

// Every way of scrolling, one step from a given position, at the ends and thresholds. A page key
// moves 29 lines (rows 2..31 are whole at ScrollPixel 0); an arrow moves 6 pixels a frame, the
// line changing when the offset reaches 0 going down or 11 going up; both arrows run down, then
// up; a wheel notch is 4 lines. A 100-line document scrolls from TopLine 0 to 67; one of 33 or
// fewer lines does not scroll at all.
TEST_F(ViewerTest, EveryWayOfScrollingStopsAtTheEnds) {
  enum Action { Down = 1000, Up, Both, Wheel };
  const struct {
    const char* Name;
    int Lines, Top, Pixel, Action;
    double Notches;  // wheel notches towards the reader
    int WantTop, WantPixel;
  } rows[] = {
      {"page down", 100, 0, 0, KeyPageDown, 0, 29, 0},
      {"page down to the end", 100, 58, 0, KeyPageDown, 0, 67, 0},
      {"page down at the end", 100, 67, 0, KeyPageDown, 0, 67, 0},
      {"page up", 100, 67, 0, KeyPageUp, 0, 38, 0},
      {"page up from line 1", 100, 1, 0, KeyPageUp, 0, 0, 0},
      {"end", 100, 0, 0, KeyEnd, 0, 67, 0},
      {"home", 100, 67, 0, KeyHome, 0, 0, 0},
      {"down from the top", 100, 0, 0, Down, 0, 1, 6},
      {"down to offset 12", 100, 1, 6, Down, 0, 2, 12},
      {"down within the line", 100, 2, 12, Down, 0, 2, 6},
      {"down at the end", 100, 67, 0, Down, 0, 67, 0},
      {"both arrows cancel", 100, 2, 6, Both, 0, 2, 6},
      {"up to the line before", 100, 2, 6, Up, 0, 1, 0},
      {"up from offset 5", 100, 1, 5, Up, 0, 0, -1},
      {"up from offset 4", 100, 1, 4, Up, 0, 1, 10},
      {"up at the top", 100, 0, 0, Up, 0, 0, 0},
      {"wheel one notch", 100, 0, 0, Wheel, 1, 4, 0},
      {"wheel past the end", 100, 0, 0, Wheel, 20, 67, 0},
      {"wheel half a notch back", 100, 67, 0, Wheel, -0.5, 65, 0},
      {"33 lines, end", 33, 0, 0, KeyEnd, 0, 0, 0},
      {"33 lines, page down", 33, 0, 0, KeyPageDown, 0, 0, 0},
      {"33 lines, down", 33, 0, 0, Down, 0, 0, 0},
      {"12 lines, wheel", 12, 0, 0, Wheel, 1, 0, 0},
  };
  for (const auto& row : rows) {
    ClearContent();
    MakeDocument(1, row.Lines);
    LoadDocument(1);
    App.TopLine = row.Top;
    App.ScrollPixel = row.Pixel;
    App.WheelNow = 0;
    if (row.Action < Down) ScrollByPageKey(row.Action);
    if (row.Action >= Down) {
      Frame(row.Action == Down || row.Action == Both, row.Action == Up || row.Action == Both,
            -row.Notches);
    }
    EXPECT_EQ(App.TopLine, row.WantTop) << row.Name;
    EXPECT_EQ(App.ScrollPixel, row.WantPixel) << row.Name;
  }
}

// On every document of the issue, with both skins and every ScrollPixel the arrows leave: Page
// Down from Home to End shows every line whole at one stop at least, and so does Page Up from End
// back to Home, each line from the first shown whole at Home to the last shown whole at End. Row
// r spans y = ScrollPixel + 175 + 12 r to y + 11; the page rows are 193..569 (skin 1) or 193..570.
TEST_F(ViewerTest, PagingShowsEveryLineWhole) {
  FillContent();
  for (int document = 1; document <= MaxDocument; ++document) {
    for (const int32_t skin : {1, 2}) {
      for (const int32_t scroll : {0, 6, 12}) {
        Shared.SkinNumber = skin;
        LoadDocument(document);
        App.ScrollPixel = scroll;
        for (const int key : {KeyPageDown, KeyPageUp}) {
          std::vector<int> shown(App.LineCount + 1, 0);
          int first = App.LineCount, last = -1;
          for (int32_t before = -1; before != App.TopLine;) {
            for (int r = 0; r < 33 && App.TopLine + r < App.LineCount; ++r) {
              const int y = App.ScrollPixel + 175 + 12 * r;
              if (y < 193 || y + 11 > (skin == 1 ? 569 : 570)) continue;
              shown[App.TopLine + r] = 1;
              first = std::min(first, App.TopLine + r);
              last = std::max(last, App.TopLine + r);
            }
            before = App.TopLine;
            ScrollByPageKey(key);
          }
          ASSERT_LE(first, last) << "document " << document;
          const auto hidden = std::count(shown.begin() + first, shown.begin() + last, 0);
          EXPECT_EQ(hidden, 0) << "document " << document << ", skin " << skin << ", ScrollPixel "
                               << scroll << (key == KeyPageDown ? ", down" : ", up");
        }
      }
    }
  }
}

// One line per pixel of the track (q = (384 - 32) / 352 = 1). Each row sets the mouse and the
// skin, runs one frame of the scrollbar and expects the pointer, top line, glow and dragging.
// Hovered with the button up: the hand, the glow rises 5, no jump; a press jumps; the drag
// follows off the track up to LineCount - 33 and back to 0; released, the glow fades. The
// track's bounds are strict: 776..790 for skin 1, 781..795 for skin 2.
TEST_F(ViewerTest, ScrollbarDragJumpsFollowsAndGlows) {
  MakeDocument(1, 384);
  LoadDocument(1);
  const int rows[][9] = {// x, y, down, skin, frames, pointer, top line, glow, dragging
                         {780, 300, 0, 1, 1, 2, 0, 5, 0},    {780, 300, 1, 1, 1, 1, 100, 10, 1},
                         {400, 590, 1, 1, 1, 1, 351, 15, 1}, {400, 1, 1, 1, 1, 1, 0, 20, 1},
                         {400, 300, 0, 1, 1, 1, 0, 15, 0},   {400, 300, 0, 1, 10, 1, 0, 0, 0},
                         {776, 300, 0, 1, 1, 2, 0, 5, 0},    {776, 300, 0, 2, 1, 1, 0, 0, 0},
                         {795, 300, 0, 2, 1, 2, 0, 5, 0},    {796, 300, 0, 2, 1, 1, 0, 0, 0}};
  for (const auto& [x, y, down, skin, frames, pointer, top, glow, dragging] : rows) {
    Shared.MouseX = x;
    Shared.MouseY = y;
    Shared.MouseDown = down;
    Shared.SkinNumber = skin;
    Shared.PointerShape = 1;
    for (int f = 0; f < frames; ++f) HandleScrollbarDrag();
    EXPECT_EQ(Shared.PointerShape, pointer) << x << "," << y << " down " << down;
    EXPECT_EQ(App.TopLine, top) << x << "," << y << " down " << down;
    EXPECT_EQ(Viewer.ScrollGlow, glow) << x << "," << y << " down " << down;
    EXPECT_EQ(Viewer.ScrollDragging, dragging) << x << "," << y << " down " << down;
  }
}

}  // namespace
