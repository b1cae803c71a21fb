// The page viewer over small documents built in the test: loading, the limits of every way of
// scrolling, the scrollbar, and what is drawn at the end of a document.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
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

  std::string_view Keep(std::string s) { return Strings.emplace_back(std::move(s)); }

  // Document d with lines 1..n-1 of full-block text ("\xDB" in column 1 and column 80 for line
  // numbers that are odd), colour 7 (green), rule `rule`, and the end marker at line n (or no
  // marker at all when n is 0).
  void MakeDocument(int d, int n, char rule = '0') {
    const std::string_view ones = Keep(std::string(80, '1'));
    Content.ContentText[0][d] = "";
    Content.ContentColour[0][d] = ones;
    Content.ContentStyle[0][d] = ones;
    Content.ContentRule[0][d] = "0";
    const int last = n == 0 ? 4999 : n - 1;
    for (int line = 1; line <= last; ++line) {
      std::string text(80, ' ');
      text[0] = '\xDB';
      if (line % 2 == 1) text[79] = '\xDB';
      Content.ContentText[line][d] = Keep(text);
      Content.ContentColour[line][d] = Keep(std::string(80, '7'));
      Content.ContentStyle[line][d] = ones;
      Content.ContentRule[line][d] = Keep(std::string(1, rule));
    }
    if (n != 0) {
      Content.ContentText[n][d] = "<END>";
      Content.ContentColour[n][d] = ones;
      Content.ContentStyle[n][d] = ones;
      Content.ContentRule[n][d] = "0";
    }
  }

  // One main-loop frame of scrolling: arrows, then the wheel moved to `wheel`.
  static void Frame(bool down, bool up, double wheel) {
    ScrollByArrowKeys(down, up);
    App.WheelBefore = App.WheelNow;
    App.WheelNow = wheel;
    ScrollByWheel();
  }

  std::deque<std::string> Strings;
};

TEST_F(ViewerTest, LoadCopiesCellsAndMapsCodes) {
  MakeDocument(3, 40);
  Content.ContentText[2][3] = "Ab";
  Content.ContentColour[2][3] = "aV";  // lowercase is no code: colour 1; "V" is 31
  Content.ContentStyle[2][3] = "2";    // a style line shorter than the text
  LoadDocument(3);
  EXPECT_EQ(App.LineCount, 40);
  EXPECT_EQ(App.TopLine, 0);
  EXPECT_EQ(App.ScrollPixel, 0);
  EXPECT_EQ(Viewer.ViewText[1][0], 0);  // column 0 is always empty
  EXPECT_EQ(Viewer.ViewStyle[1][0], 0);
  EXPECT_EQ(Viewer.ViewText[1][1], 0xDB);
  EXPECT_EQ(Viewer.ViewColour[1][1], 7);
  EXPECT_EQ(Viewer.ViewText[2][1], 'A');
  EXPECT_EQ(Viewer.ViewColour[2][1], 1);
  EXPECT_EQ(Viewer.ViewColour[2][2], 31);
  EXPECT_EQ(Viewer.ViewColour[2][3], 1);  // past the colour line's end
  EXPECT_EQ(Viewer.ViewStyle[2][1], 2);
  EXPECT_EQ(Viewer.ViewStyle[2][2], 0);  // past the style line's end: not drawn
  EXPECT_EQ(Viewer.ViewText[2][3], 0);
  EXPECT_EQ(Viewer.ViewText[40][0], 0);  // the marker is not copied
}

TEST_F(ViewerTest, LoadingAShortDocumentEmptiesWhatALongOneLeft) {
  MakeDocument(4, 300);
  MakeDocument(5, 10);
  LoadDocument(4);
  App.TopLine = 200;
  LoadDocument(5);
  EXPECT_EQ(App.LineCount, 10);
  EXPECT_EQ(App.TopLine, 0);
  EXPECT_EQ(Viewer.ViewText[100][1], 0);
  EXPECT_EQ(Viewer.ViewRule[100], "");
}

TEST_F(ViewerTest, DocumentWithoutEndMarkerHas4999Lines) {
  MakeDocument(6, 0);
  LoadDocument(6);
  EXPECT_EQ(App.LineCount, 4999);
  EXPECT_EQ(Viewer.ViewText[4999][1], 0xDB);
  EXPECT_EQ(Viewer.ViewText[5000][1], 0);  // line 5000 is never written
  LoadDocument(0);                         // not a document: nothing changes
  LoadDocument(21);
  EXPECT_EQ(App.LineCount, 4999);
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

TEST_F(ViewerTest, ScrollbarDragJumpsFollowsAndGlows) {
  MakeDocument(1, 384);  // q = (384 - 32) / 352 = 1: one line per pixel
  LoadDocument(1);
  Shared.MouseX = 780;
  Shared.MouseY = 300;
  HandleScrollbarDrag();  // hovered, button up: hand pointer, glow rises, no jump
  EXPECT_EQ(Shared.PointerShape, 2);
  EXPECT_EQ(Viewer.ScrollGlow, 5);
  EXPECT_EQ(App.TopLine, 0);
  Shared.MouseDown = 1;
  HandleScrollbarDrag();
  EXPECT_EQ(Shared.PointerShape, 1);
  EXPECT_EQ(App.TopLine, 100);
  Shared.MouseX = 400;  // off the track, still held: the drag follows
  Shared.MouseY = 590;
  HandleScrollbarDrag();
  EXPECT_EQ(App.TopLine, 351);  // held at LineCount - 33
  Shared.MouseY = 1;
  HandleScrollbarDrag();
  EXPECT_EQ(App.TopLine, 0);
  EXPECT_EQ(Viewer.ScrollGlow, 20);
  Shared.MouseDown = 0;  // released off the track: the drag ends, the glow fades
  Shared.MouseY = 300;
  Shared.PointerShape = 1;
  HandleScrollbarDrag();
  EXPECT_EQ(Viewer.ScrollDragging, 0);
  EXPECT_EQ(Viewer.ScrollGlow, 15);
  EXPECT_EQ(App.TopLine, 0);
  EXPECT_EQ(Shared.PointerShape, 1);
  for (int i = 0; i < 10; ++i) HandleScrollbarDrag();
  EXPECT_EQ(Viewer.ScrollGlow, 0);

  // The track's bounds are strict, and skin 2's lies 5 pixels further right: 776..790 for skin 1,
  // 781..795 for skin 2.
  Shared.MouseX = 776;
  HandleScrollbarDrag();
  EXPECT_EQ(Viewer.ScrollGlow, 5);
  Shared.SkinNumber = 2;
  HandleScrollbarDrag();
  EXPECT_EQ(Viewer.ScrollGlow, 0);
  Shared.MouseX = 795;
  HandleScrollbarDrag();
  EXPECT_EQ(Viewer.ScrollGlow, 5);
  Shared.MouseX = 796;
  HandleScrollbarDrag();
  EXPECT_EQ(Viewer.ScrollGlow, 0);
}

TEST_F(ViewerTest, RowsAtAndAfterTheEndShowNothing) {
  MakeDocument(1, 20, '1');  // lines 1..19 each with a white rule
  LoadDocument(1);
  App.ScrollPixel = 5;
  ClearFrameBuffer(0);
  DrawPageRules(0);
  DrawPageText(0);
  // Row r is at y = 180 + 12 r. Line 19 (row 19, y = 408) has its rule at y + 6 = 414; the
  // marker's row 20 (y = 420) shows nothing at all.
  EXPECT_EQ(FrameBuffer[414 * FrameWidth + 400], 0xFFFFFFu);
  for (int y = 420; y < 600; ++y) {
    for (int x = 0; x < FrameWidth; ++x) ASSERT_EQ(FrameBuffer[y * FrameWidth + x], 0u) << y;
  }
  // Line 0's row at y = 180 lies above the page rows: its rule at 186 is not drawn; line 1's rule
  // at 198 is.
  EXPECT_EQ(FrameBuffer[186 * FrameWidth + 400], 0u);
  EXPECT_EQ(FrameBuffer[198 * FrameWidth + 400], 0xFFFFFFu);
}

}  // namespace
