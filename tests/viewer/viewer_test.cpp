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

TEST_F(ViewerTest, EveryWayOfScrollingStopsAtTheEnd) {
  MakeDocument(1, 100);  // TopLine runs 0..67
  LoadDocument(1);
  ScrollByPageKey(KeyPageDown);
  ScrollByPageKey(KeyPageDown);
  EXPECT_EQ(App.TopLine, 58);  // 29 lines a page: rows 2..31 are whole at ScrollPixel 0
  ScrollByPageKey(KeyPageDown);
  EXPECT_EQ(App.TopLine, 67);
  ScrollByPageKey(KeyPageDown);
  EXPECT_EQ(App.TopLine, 67);
  for (int i = 0; i < 10; ++i) Frame(true, false, 0.0);
  EXPECT_EQ(App.TopLine, 67);
  EXPECT_EQ(App.ScrollPixel, 0);  // the down key does nothing at the end
  Frame(false, false, -5.0);
  EXPECT_EQ(App.TopLine, 67);
  ScrollByPageKey(KeyPageUp);
  EXPECT_EQ(App.TopLine, 38);
  ScrollByPageKey(KeyPageUp);
  ScrollByPageKey(KeyPageUp);
  EXPECT_EQ(App.TopLine, 0);
  ScrollByPageKey(KeyEnd);
  EXPECT_EQ(App.TopLine, 67);
  ScrollByPageKey(KeyHome);
  EXPECT_EQ(App.TopLine, 0);
  // A wheel turn of 20 notches from the top ends at the last position too (the counter stood at
  // -5 since the turn above).
  Frame(false, false, -25.0);
  EXPECT_EQ(App.TopLine, 67);
  Frame(false, false, -24.5);  // half a notch back: floor(0.5 x 4) = 2 lines
  EXPECT_EQ(App.TopLine, 65);
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

TEST_F(ViewerTest, ArrowsMoveSixPixelsAFrameAndBothTogetherCancel) {
  MakeDocument(1, 100);
  LoadDocument(1);
  Frame(true, false, 0.0);  // 0 - 6 <= 0: next line, +12
  EXPECT_EQ(App.TopLine, 1);
  EXPECT_EQ(App.ScrollPixel, 6);
  Frame(true, false, 0.0);
  EXPECT_EQ(App.TopLine, 2);
  EXPECT_EQ(App.ScrollPixel, 12);
  Frame(true, false, 0.0);
  EXPECT_EQ(App.TopLine, 2);
  EXPECT_EQ(App.ScrollPixel, 6);
  // Both held: the down step runs first, then the up step, in the same frame.
  Frame(true, true, 0.0);  // down: 0 -> line 3, 12; up: 18 -> line 2, 6
  EXPECT_EQ(App.TopLine, 2);
  EXPECT_EQ(App.ScrollPixel, 6);
  // The wheel in the same frame moves whole lines and leaves the pixel offset alone.
  Frame(true, false, -1.0);  // down: line 3, 12; wheel: 4 lines on
  EXPECT_EQ(App.TopLine, 7);
  EXPECT_EQ(App.ScrollPixel, 12);
  Frame(false, true, 0.0);  // up: 18 -> line 6, 6; wheel back one notch: 4 lines
  EXPECT_EQ(App.TopLine, 2);
  EXPECT_EQ(App.ScrollPixel, 6);
  for (int i = 0; i < 10; ++i) Frame(false, true, 0.0);
  EXPECT_EQ(App.TopLine, 0);  // 12 -> line 1, 0; 6; 12 -> line 0, 0; then the key does nothing
  EXPECT_EQ(App.ScrollPixel, 0);
}

TEST_F(ViewerTest, PagesThatFitTheScreenDoNotScroll) {
  MakeDocument(2, 33);  // 33 lines: TopLine stays 0 but the scrollbar track is live
  LoadDocument(2);
  Frame(true, false, -3.0);
  ScrollByPageKey(KeyPageDown);
  ScrollByPageKey(KeyEnd);
  EXPECT_EQ(App.TopLine, 0);
  EXPECT_EQ(App.ScrollPixel, 0);
  Shared.MouseX = 783;
  Shared.MouseY = 560;
  Shared.MouseDown = 1;
  HandleScrollbarDrag();  // q = 1 / 352: round(360 / 352) = 1, held at 0
  EXPECT_EQ(Viewer.ScrollDragging, 1);
  EXPECT_EQ(App.TopLine, 0);
  ClearFrameBuffer(0);
  DrawScrollbarThumb();  // no thumb for 33 lines
  for (int i = 0; i < FrameWidth * FrameHeight; ++i) ASSERT_EQ(FrameBuffer[i], 0u);

  MakeDocument(3, 12);
  LoadDocument(3);
  ScrollByPageKey(KeyEnd);
  EXPECT_EQ(App.TopLine, 0);
  Frame(false, false, -1.0);
  EXPECT_EQ(App.TopLine, 0);
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

TEST_F(ViewerTest, ThumbRunsFromTopToEndOfTrack) {
  MakeDocument(1, 394);  // 361 positions
  LoadDocument(1);
  ClearFrameBuffer(0);
  DrawScrollbarThumb();
  EXPECT_NE(FrameBuffer[195 * FrameWidth + 779], 0u);
  EXPECT_NE(FrameBuffer[214 * FrameWidth + 787], 0u);
  EXPECT_EQ(FrameBuffer[194 * FrameWidth + 779], 0u);
  EXPECT_EQ(FrameBuffer[215 * FrameWidth + 779], 0u);
  EXPECT_EQ(FrameBuffer[195 * FrameWidth + 788], 0u);
  App.TopLine = 361;
  ClearFrameBuffer(0);
  DrawScrollbarThumb();
  EXPECT_EQ(FrameBuffer[555 * FrameWidth + 779], 0u);
  EXPECT_EQ(FrameBuffer[556 * FrameWidth + 779],
            (80 * 100 / 256) << 16 | (80 * 150 / 256) << 8 | (80 * 250 / 256));
  EXPECT_NE(FrameBuffer[575 * FrameWidth + 779], 0u);
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

TEST_F(ViewerTest, EdgeRowsAreClippedPerSkin) {
  MakeDocument(1, 100);
  LoadDocument(1);
  App.ScrollPixel = 12;  // row 32 at y = 571: hidden; row 31 at y = 559 reaches row 570
  for (const int skin : {1, 2}) {
    Shared.SkinNumber = skin;
    ClearFrameBuffer(0x222222);
    DrawPageText(1);  // row 0 shows line 1 (line 0 is blank)
    // Column 1 (x = 32) of every line holds a full block of green.
    EXPECT_EQ(FrameBuffer[569 * FrameWidth + 32], 0x00FE00u);
    EXPECT_EQ(FrameBuffer[570 * FrameWidth + 32], skin == 1 ? 0x222222u : 0x00FE00u);
    EXPECT_EQ(FrameBuffer[571 * FrameWidth + 32], 0x222222u);
    EXPECT_EQ(FrameBuffer[192 * FrameWidth + 32], 0x222222u);
    EXPECT_EQ(FrameBuffer[193 * FrameWidth + 32], 0x00FE00u);  // row 0 (y = 187), clipped at 193
  }
}

}  // namespace
