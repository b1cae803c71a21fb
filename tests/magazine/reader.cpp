#include "tests/magazine/reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/app_state.h"
#include "app/quellmark.h"
#include "app/viewer.h"
#include "common/shared_state.h"
#include "content/content.h"
#include "display/audio.h"
#include "display/headless.h"
#include "render/skins.h"

ReaderState Reader;

namespace {

void Push(int frame, const std::string& command, int a = 0, int b = 0) {
  Headless.Script.push_back({frame, command, a, b, ""});
}

// A main-loop frame ends with the pointer drawn at the mouse copy; a transition frame does not
// draw it. The tip pixel of both pointer images is the outline colour.
bool PointerShown() {
  const uint32_t tip = Headless.LastFrame[Shared.MouseY * 800 + Shared.MouseX];
  return tip == Skins.PointerImage[1][0] || tip == Skins.PointerImage[2][0];
}

void Hook() {
  ReaderState& r = Reader;
  const int frame = Headless.Frame;
  // The main loop's clock starts moving after its first frame.
  if (r.mainLoopStart == 0 && Shared.AnimClock > 0) {
    r.mainLoopStart = frame - 1;
    r.due = frame;
  }
  if (r.mainLoopStart != 0 && !PointerShown()) ++r.pageChangeFrames;
  while (r.mainLoopStart != 0 && r.next < r.steps.size() && frame >= r.due) {
    ReaderStep& step = r.steps[r.next++];
    if (step.action) step.action();
    r.due = std::max(r.due, frame + step.wait);  // an action may have asked for a longer wait
  }
  if (r.everyFrame) r.everyFrame();
}

}  // namespace

void StartReader(const std::string& script) {
  HeadlessReset();
  AudioShutdown();
  AudioSetBackend(AudioBackend::Capture);
  Reader = ReaderState{};
  std::string error;
  EXPECT_TRUE(HeadlessLoadScript(script, &error)) << error;
}

int RunReader() {
  Headless.FrameHook = Hook;
  Headless.MaxFrames = 60000;
  const int status = RunQuellmark();
  Headless.FrameHook = nullptr;
  AudioShutdown();
  AudioSetBackend(AudioBackend::Sdl);
  EXPECT_EQ(Reader.next, Reader.steps.size()) << "the program ended before the reader did";
  return status;
}

void Move(int x, int y, int wait) {
  Reader.steps.push_back({wait, [x, y] { Push(Headless.Frame + 1, "move", x, y); }});
}

void Click(int x, int y, int wait) {
  Reader.steps.push_back({wait + 8, [x, y] {
                            const int f = Headless.Frame;
                            Push(f + 1, "move", x, y);
                            Push(f + 2, "down");
                            Push(f + 8, "up");
                          }});
}

void ClickPage(int x, int y, int wait) {
  Click(x, y, 150 + wait);
}

void Key(int code, int wait) {
  Reader.steps.push_back({wait + 7, [code] {
                            Push(Headless.Frame + 1, "keydown", code);
                            Push(Headless.Frame + 7, "keyup", code);
                          }});
}

void Check(std::function<void()> check, int wait) {
  Reader.steps.push_back({wait, std::move(check)});
}

int ShownDocument() {
  for (int d = 1; d <= MaxDocument; ++d) {
    int lines = 0;
    while (lines < MaxLine && Content.ContentText[lines][d].substr(0, 5) != "<END>") ++lines;
    if (lines != App.LineCount) continue;
    bool same = true;
    for (int line = 0; line < std::min(lines, 3) && same; ++line) {
      const std::string_view text = Content.ContentText[line][d];
      for (size_t k = 1; k <= 80 && same; ++k) {
        const uint8_t expected = k <= text.size() ? static_cast<uint8_t>(text[k - 1]) : 0;
        same = Viewer.ViewText[line][k] == expected;
      }
    }
    if (same) return d;
  }
  return 0;
}
