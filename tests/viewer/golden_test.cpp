// Golden images of the page viewer with the issue's own documents and font: the viewer's layers
// only (rules, text, scrollbar thumb) over black, so the pictures do not change with the skins.
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/viewer.h"
#include "content/content.h"
#include "golden.h"
#include "render/framebuffer.h"
#include "render/text.h"

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

TEST_F(ViewerGolden, Document4TopMiddleAndEnd) {
  LoadDocument(4);
  ASSERT_GT(App.LineCount, 66);
  DrawViewer();
  EXPECT_EQ(CheckGolden("viewer_doc04_top"), "");
  App.TopLine = App.LineCount / 2;
  App.ScrollPixel = 6;  // halfway between two lines, as the arrow keys leave it
  DrawViewer();
  EXPECT_EQ(CheckGolden("viewer_doc04_middle"), "");
  App.TopLine = App.LineCount - 33;
  App.ScrollPixel = 0;
  DrawViewer();
  EXPECT_EQ(CheckGolden("viewer_doc04_end"), "");
}

TEST_F(ViewerGolden, Document1) {
  LoadDocument(1);
  DrawViewer();
  if (App.LineCount <= 32) DrawViewer();  // a short page is drawn at the fixed offset
  EXPECT_EQ(CheckGolden("viewer_doc01"), "");
}

TEST_F(ViewerGolden, ScrollbarMidDrag) {
  LoadDocument(10);
  ASSERT_GT(App.LineCount, 33);
  App.MouseX = 783;
  App.MouseY = 380;
  for (int frame = 0; frame < 10; ++frame) DrawViewer();  // hover: the glow rises to 50
  App.MouseDown = 1;
  DrawViewer();  // the press jumps the page
  App.MouseY = 420;
  DrawViewer();  // the drag moved on; the thumb is drawn where the last frame left TopLine
  EXPECT_EQ(Viewer.ScrollDragging, 1);
  EXPECT_EQ(CheckGolden("viewer_scrollbar_drag"), "");
}

TEST_F(ViewerGolden, ClipRowsOfBothSkins) {
  // Scrolled half a line, so that rows 0 and 31 are cut by the page's clip rows: skin 2 shows one
  // pixel row more at the bottom (570) than skin 1.
  LoadDocument(4);
  App.TopLine = 40;
  App.ScrollPixel = 11;
  DrawViewer();
  EXPECT_EQ(CheckGolden("viewer_clip_skin1"), "");
  App.SkinNumber = 2;
  DrawViewer();
  EXPECT_EQ(CheckGolden("viewer_clip_skin2"), "");
}

}  // namespace
