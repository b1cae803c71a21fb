// Golden images of the page viewer with the issue's own documents and font: the viewer's layers
// only (rules, text, scrollbar thumb) over black, so the pictures do not change with the skins.
#include <gtest/gtest.h>

#include <tuple>

#include "app/app_state.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "app/viewer.h"
#include "common/shared_state.h"
#include "content/content.h"
#include "display/audio.h"
#include "display/display.h"
#include "display/headless.h"
#include "render/framebuffer.h"
#include "render/text.h"
#include "tests/support/golden.h"

namespace {

class ViewerGolden : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetApp();
    ClearContent();
    FillContent();
    ResetViewer();
    BuildTextColours();
  }

  // The viewer's part of one main-loop frame.
  static void DrawViewer() {
    ClearFrameBuffer(0);
    DrawPageRules(App.TopLine);
    DrawPageText(App.TopLine);
    if (App.LineCount > 32) {
      DrawScrollbarThumb();
      HandleScrollbarDrag();
    } else {
      App.ScrollPixel = 5;
    }
  }
};

// Document 4 at its top, half-way between two lines (as the arrow keys leave it) and at its end;
// scrolled so that rows 0 and 31 are cut by the page's clip rows, where skin 2 shows one pixel
// row more at the bottom (570) than skin 1; and the short document 1, drawn twice since a short
// page is drawn at a fixed offset.
TEST_F(ViewerGolden, PagesOfTheIssue) {
  const struct {
    const char* Golden;
    int Document, TopLine, ScrollPixel, Skin;  // TopLine -1: the last, -2: the middle
  } rows[] = {
      {"viewer_doc04_top", 4, 0, 0, 1},    {"viewer_doc04_middle", 4, -2, 6, 1},
      {"viewer_doc04_end", 4, -1, 0, 1},   {"viewer_clip_skin1", 4, 40, 11, 1},
      {"viewer_clip_skin2", 4, 40, 11, 2}, {"viewer_doc01", 1, 0, 0, 1},
  };
  for (const auto& row : rows) {
    LoadDocument(row.Document);
    Shared.SkinNumber = row.Skin;
    App.TopLine = row.TopLine == -1   ? App.LineCount - 33
                  : row.TopLine == -2 ? App.LineCount / 2
                                      : row.TopLine;
    App.ScrollPixel = row.ScrollPixel;
    DrawViewer();
    if (App.LineCount <= 32) DrawViewer();
    EXPECT_EQ(CheckGolden(row.Golden), "") << row.Golden;
  }
}

// The program's own main loop against the headless display, scripted: the page keys, the wheel,
// the arrows and a scrollbar drag act through the real input path; the picture is taken mid-drag.
TEST_F(ViewerGolden, ScrollbarMidDragThroughTheMainLoop) {
  HeadlessReset();
  AudioSetBackend(AudioBackend::Null);
  // Events at frame N are seen from the poll after frame N on.
  std::string error;
  ASSERT_TRUE(HeadlessLoadScript(
      "1 key PageDown\n"  // 0 -> 29 (rows 2..31 are whole)
      "2 wheel -1\n"      // one notch toward the reader in frame 3: 33
      "4 keydown Down\n"  // frames 5 and 6: line 34 at 6 pixels, line 35 at 12
      "6 keyup Down\n"
      "8 move 783 400\n"   // hover from frame 9: the glow rises 5 a frame
      "9 down\n"           // frame 10: jump to round(200 x 86 / 352) = 49
      "11 move 600 450\n"  // frame 12: the drag follows off the track: round(250 x 86 / 352) = 61
      "13 key Escape\n",
      &error))
      << error;
  StartUp();
  ASSERT_EQ(DisplayOpen("viewer test", 800, 600), 1);
  RunMainLoop();
  DisplayClose();
  ASSERT_EQ(App.LineCount, 118) << "document 11 changed: update the expectations and the golden";
  EXPECT_EQ(std::tuple(Headless.Frame, App.TopLine, App.ScrollPixel, Viewer.ScrollGlow),
            std::tuple(13, 61, 12, 25));
  // The viewer's layers of the next frame, with the thumb at round(361 / 85 x 61) + 195 = 454.
  ClearFrameBuffer(0);
  DrawPageRules(App.TopLine);
  DrawPageText(App.TopLine);
  DrawScrollbarThumb();
  EXPECT_EQ(CheckGolden("viewer_scrollbar_drag"), "");
}

}  // namespace
