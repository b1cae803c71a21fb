// The display layer in a web browser, on html5.h and a 2D canvas.
//
// The page (web/index.html) holds a canvas with the id "screen" inside a stage element "stage";
// the picture is put into the canvas as ImageData of the frame buffer and the page's style scales
// it (pixelated, 4:3 kept). Keys come by physical key (KeyboardEvent.code), the mouse in picture
// pixels. The loops keep their desktop shape: presents and sleeps hand the page back to the
// browser through emscripten_sleep (ASYNCIFY), and the events arrive meanwhile.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/audio.h"
#include "display/display.h"
#include "display/frame_pacing.h"
#include "display/key_board.h"

namespace {

struct WebDisplay {
  int32_t width = 0, height = 0;
  uint8_t ask = 0;
  std::string question = "Fullscreen Mode ?";
  int32_t windowed = 1;
  uint8_t popup = 0;
  uint8_t exitOnClose = 1;
  int32_t vsync = 1;
  int32_t wheelStep = 1;
  int32_t mouseX = 0, mouseY = 0;
  MouseButton mouseLeft, mouseRight;
  int32_t wheel = 0;
  int32_t active = 0;  // 1 while the page is visible
  int32_t closeRequested = 0;
  bool open = false;
  KeyBoard keys;
  FramePacer pacer;
  std::vector<uint32_t> rgba;  // the picture as ImageData bytes R, G, B, A
  double workStart = 0.0;      // when the program got the page back after the last present
  double slept = 0.0;          // seconds of SleepMs since then
};

WebDisplay Web;

// The page's side, in JavaScript.
// clang-format off

// Makes the canvas width x height and keeps its 2D context. 0 when the page has none. The page
// reads the frames presented and the program's time spent on them (its sleeps not counted)
// through window.quellmarkDisplay: `frames` and `workMs`.
EM_JS(int, WebOpenCanvas, (const char* title, int width, int height), {
  var canvas = document.getElementById('screen');
  var context = canvas && canvas.getContext ? canvas.getContext('2d', {alpha: false}) : null;
  if (!context) return 0;
  canvas.width = width;
  canvas.height = height;
  canvas.oncontextmenu = function(event) { event.preventDefault(); };
  document.title = UTF8ToString(title);
  Module['screen'] = {canvas: canvas, context: context};
  if (!Module['displayStats']) {
    var made = {frames: 0, workMs: 0};
    var view = {};
    Object.keys(made).forEach(function(key) {
      Object.defineProperty(view, key, {get: function() { return made[key]; }, enumerable: true});
    });
    Object.defineProperty(window, 'quellmarkDisplay', {value: Object.freeze(view)});
    Module['displayStats'] = made;
  }
  return 1;
});

// Puts width x height RGBA pixels into the canvas; `workMs` is the time the frame took to make.
EM_JS(void, WebPresent, (const uint8_t* rgba, int width, int height, double workMs), {
  var screen = Module['screen'];
  if (!screen) return;
  var bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
  screen.context.putImageData(new ImageData(bytes, width, height), 0, 0);
  var stats = Module['displayStats'];
  stats.frames += 1;
  stats.workMs += workMs;
});

EM_JS(void, WebCloseCanvas, (), {
  Module['screen'] = null;
});

// Client coordinates to picture pixels: the canvas box is the picture (its style keeps 4:3).
EM_JS(void, WebPicturePoint, (double clientX, double clientY, int width, int height, int32_t* xy), {
  var screen = Module['screen'];
  var box = screen ? screen.canvas.getBoundingClientRect() : null;
  var x = 0;
  var y = 0;
  if (box && box.width > 0 && box.height > 0) {
    x = Math.floor((clientX - box.left) * width / box.width);
    y = Math.floor((clientY - box.top) * height / box.height);
  }
  HEAP32[xy >> 2] = x;
  HEAP32[(xy >> 2) + 1] = y;
});

// The stage (picture and its black surround) in or out of the browser's full screen. Called only
// from inside an input event, as the Fullscreen API requires.
EM_JS(void, WebToggleFullScreen, (), {
  var stage = document.getElementById('stage') || (Module['screen'] && Module['screen'].canvas);
  if (document.fullscreenElement) {
    document.exitFullscreen().catch(function() {});
  } else if (stage && stage.requestFullscreen) {
    stage.requestFullscreen().catch(function() {});
  }
});

EM_JS(int, WebReducedMotion, (), {
  return window.matchMedia && window.matchMedia('(prefers-reduced-motion: reduce)').matches ? 1 : 0;
});

EM_JS(void, WebHideCursor, (), {
  if (Module['screen']) Module['screen'].canvas.style.cursor = 'none';
});

// The "Error" box of the desktop becomes a line on the page; a yes/no question is the browser's.
EM_JS(int, WebMessage, (const char* text, const char* caption, int yesNo), {
  var message = UTF8ToString(text);
  if (yesNo) return confirm(message) ? 1 : 0;
  var line = document.getElementById('error');
  if (line) {
    line.textContent = UTF8ToString(caption) + ': ' + message;
    line.hidden = false;
  }
  return 1;
});

// clang-format on

// Physical keys, by KeyboardEvent.code, behind the key codes the program asks for. The keypad's
// arrows count only with NumLock off, when the browser reports them as arrows in `key`.
int KeyCodeFor(const char* code, const char* key) {
  static const struct {
    const char* code;
    int key;
  } Keys[] = {{"Escape", KeyEscape}, {"ArrowUp", KeyUp},        {"ArrowDown", KeyDown},
              {"PageUp", KeyPageUp}, {"PageDown", KeyPageDown}, {"Home", KeyHome},
              {"End", KeyEnd}};
  for (const auto& k : Keys)
    if (std::strcmp(code, k.code) == 0) return k.key;
  if (code[0] == 'F' && code[1] >= '1' && code[1] <= '9') {
    const int n = std::atoi(code + 1);
    if (n >= 1 && n <= 12) return KeyF1 + n - 1;
  }
  static const struct {
    const char* code;
    const char* key;
    int value;
  } Pad[] = {{"Numpad8", "ArrowUp", KeyUp},    {"Numpad2", "ArrowDown", KeyDown},
             {"Numpad9", "PageUp", KeyPageUp}, {"Numpad3", "PageDown", KeyPageDown},
             {"Numpad7", "Home", KeyHome},     {"Numpad1", "End", KeyEnd}};
  for (const auto& p : Pad)
    if (std::strcmp(code, p.code) == 0)
      return key == nullptr || !std::strcmp(key, p.key) ? p.value : 0;
  return 0;
}

[[noreturn]] void CloseAndExit() {
  DisplayClose();
  EndProcess(0);
}

EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* e, void*) {
  if (!std::strcmp(e->code, "Enter") && e->altKey) {
    if (!e->repeat) WebToggleFullScreen();
    return EM_TRUE;
  }
  const int key = KeyCodeFor(e->code, e->key);
  if (key == 0) return EM_FALSE;  // the browser keeps every key the magazine does not use
  if (key == KeyEscape && Web.exitOnClose) CloseAndExit();
  if (!e->repeat) KeyBoardPress(Web.keys, key);  // a held key is not pressed again
  return EM_TRUE;  // F1 is not the browser's help, F5 does not reload, arrows do not scroll
}

EM_BOOL OnKeyUp(int, const EmscriptenKeyboardEvent* e, void*) {
  // Release the keypad key whatever NumLock says now: it may have changed while the key was held.
  const int key = KeyCodeFor(e->code, nullptr);
  KeyBoardRelease(Web.keys, key);
  return key != 0 ? EM_TRUE : EM_FALSE;
}

void SetMouse(const EmscriptenMouseEvent* e) {
  int32_t xy[2] = {0, 0};
  WebPicturePoint(e->clientX, e->clientY, Web.width, Web.height, xy);
  Web.mouseX = std::clamp(xy[0], 0, std::max(0, Web.width - 1));
  Web.mouseY = std::clamp(xy[1], 0, std::max(0, Web.height - 1));
}

// Moves and releases anywhere on the page (a drag of the scrollbar may leave the picture), held
// inside the picture; presses only on the picture.
EM_BOOL OnMouseMove(int, const EmscriptenMouseEvent* e, void*) {
  SetMouse(e);
  return EM_FALSE;
}

EM_BOOL OnMouseButton(int type, const EmscriptenMouseEvent* e, void*) {
  const bool down = type == EMSCRIPTEN_EVENT_MOUSEDOWN;
  SetMouse(e);
  if (e->button == 0) MouseButtonSet(Web.mouseLeft, down);
  if (e->button == 2) MouseButtonSet(Web.mouseRight, down);
  return down ? EM_TRUE : EM_FALSE;  // no text selection or focus change from a press
}

EM_BOOL OnWheel(int, const EmscriptenWheelEvent* e, void*) {
  // One step per event whatever its size; negative deltaY is away from the reader.
  if (e->deltaY < 0) Web.wheel += Web.wheelStep;
  if (e->deltaY > 0) Web.wheel -= Web.wheelStep;
  return EM_TRUE;  // the page itself does not scroll
}

// Keys and buttons released while the page had no focus send no event: let go of them all.
EM_BOOL OnBlur(int, const EmscriptenFocusEvent*, void*) {
  for (int key = 1; key < 256; ++key) KeyBoardRelease(Web.keys, key);
  MouseButtonSet(Web.mouseLeft, false);
  MouseButtonSet(Web.mouseRight, false);
  Web.mouseLeft.pressed = Web.mouseRight.pressed = false;
  return EM_FALSE;
}

// A hidden page presents nothing; its loops run on (throttled by the browser).
EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent* e, void*) {
  Web.active = e->hidden ? 0 : 1;
  return EM_FALSE;
}

EM_BOOL OnFullScreenButton(int, const EmscriptenMouseEvent*, void*) {
  WebToggleFullScreen();
  return EM_TRUE;
}

void Listen() {
  const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
  const char* document = EMSCRIPTEN_EVENT_TARGET_DOCUMENT;
  emscripten_set_keydown_callback(window, nullptr, EM_TRUE, OnKeyDown);
  emscripten_set_keyup_callback(window, nullptr, EM_TRUE, OnKeyUp);
  emscripten_set_mousemove_callback(document, nullptr, EM_TRUE, OnMouseMove);
  emscripten_set_mousedown_callback("#screen", nullptr, EM_TRUE, OnMouseButton);
  emscripten_set_mouseup_callback(document, nullptr, EM_TRUE, OnMouseButton);
  emscripten_set_wheel_callback("#screen", nullptr, EM_TRUE, OnWheel);
  emscripten_set_blur_callback(window, nullptr, EM_TRUE, OnBlur);
  emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, OnVisibility);
  emscripten_set_click_callback("#fullscreen", nullptr, EM_TRUE, OnFullScreenButton);
}

}  // namespace

void DisplayConfigure(uint8_t ask, const char* question, int32_t windowed, uint8_t popup) {
  Web.ask = ask;
  Web.question = question && *question ? question : "Fullscreen Mode ?";
  if (ask == 0) Web.windowed = windowed;
  Web.popup = popup;
}

void DisplaySetExitOnClose(uint8_t flag) {
  Web.exitOnClose = flag;
}

void DisplaySetVsync(int32_t flag) {
  Web.vsync = flag;
}

void DisplaySetWheel(int32_t step, int32_t counter) {
  Web.wheelStep = step;
  Web.wheel = counter;
}

// A page starts as the reader's window: full screen needs their gesture (Alt+Enter or the
// button), so the windowed flag and the question are kept but change nothing here.
int32_t DisplayOpen(const char* title, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  if (!WebOpenCanvas(title ? title : "", width, height)) return 0;
  Web.width = width;
  Web.height = height;
  Web.rgba.assign(static_cast<size_t>(width) * height, 0xFF000000u);
  EmscriptenVisibilityChangeEvent visibility = {};
  Web.active = emscripten_get_visibility_status(&visibility) == EMSCRIPTEN_RESULT_SUCCESS &&
                       visibility.hidden
                   ? 0
                   : 1;
  Listen();
  Web.open = true;
  Web.workStart = TimerSeconds();
  return 1;
}

int32_t DisplayUpdate(const uint32_t* pixels) {
  if (Web.open && pixels && Web.active) {
    // 0x00RRGGBB words to the bytes R, G, B, 255 (little-endian words 0xFFBBGGRR).
    const size_t count = Web.rgba.size();
    for (size_t i = 0; i < count; ++i) {
      const uint32_t p = pixels[i];
      Web.rgba[i] = 0xFF000000u | (p & 0xFF00u) | (p >> 16 & 0xFFu) | (p & 0xFFu) << 16;
    }
    WebPresent(reinterpret_cast<const uint8_t*>(Web.rgba.data()), Web.width, Web.height,
               (TimerSeconds() - Web.workStart - Web.slept) * 1000.0);
  }
  // Always hand the page back to the browser, at least briefly: it shows the canvas and delivers
  // the input and the sound callbacks only then.
  const double wait = FramePacingDelay(Web.pacer, TimerSeconds());
  emscripten_sleep(static_cast<unsigned>(std::lround(wait * 1000.0)));
  Web.workStart = TimerSeconds();
  Web.slept = 0.0;
  return Web.open ? 1 : 0;
}

void DisplayClose() {
  if (!Web.open) return;
  emscripten_html5_remove_all_event_listeners();
  WebCloseCanvas();
  Web.open = false;
  Web.active = 0;
}

int32_t DisplayMouseX() {
  return Web.mouseX;
}
int32_t DisplayMouseY() {
  return Web.mouseY;
}
int32_t DisplayMouseLeft() {
  return MouseButtonRead(Web.mouseLeft);
}
int32_t DisplayMouseRight() {
  return MouseButtonRead(Web.mouseRight);
}
int32_t DisplayCloseRequested() {
  return Web.closeRequested;
}
int32_t DisplayMouseWheel() {
  return Web.wheel;
}
void* DisplayWindow() {
  return nullptr;  // a page has no window of its own
}
int32_t DisplayReducedMotion() {
  return WebReducedMotion();
}

uint16_t KeyState(int key) {
  return KeyBoardQuery(Web.keys, key);
}

MessageAnswer ShowMessageBox(const char* text, const char* caption, MessageButtons buttons) {
  const bool yesNo = buttons == MessageButtons::YesNo;
  const int answer = WebMessage(text ? text : "", caption ? caption : "", yesNo ? 1 : 0);
  if (!yesNo) return MessageAnswer::Ok;
  return answer ? MessageAnswer::Yes : MessageAnswer::No;
}

void HideCursor() {
  WebHideCursor();
}

void EndProcess(int status) {
  AudioShutdown();
  DisplayClose();
  emscripten_force_exit(status);  // the page hears of it through Module.onExit
}

double TimerSeconds() {
  return emscripten_get_now() / 1000.0;
}

void SleepMs(int ms) {
  const double start = TimerSeconds();
  emscripten_sleep(static_cast<unsigned>(ms < 0 ? 0 : ms));
  Web.slept += TimerSeconds() - start;
}
