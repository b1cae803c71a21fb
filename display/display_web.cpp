// The display layer in a web browser, on html5.h and a 2D canvas.
//
// The page (web/index.html) lays out a canvas with the id "screen" at 4:3 and keeps, in
// Module.screenSize, the size of that box in device pixels (its CSS size times devicePixelRatio,
// followed through resizes and zoom). Every frame is scaled to that size with the desktop's sharp
// scaler and put into the canvas as ImageData, so the browser never resamples it: text is as even
// at any size as on the desktop's full screen. One program frame is shown per animation frame:
// a present waits for the browser's next requestAnimationFrame, puts the picture there and hands
// control back after the browser has painted it.
//
// Keys come by physical key (KeyboardEvent.code); the page keeps only those the program has read
// lately, so F5 reloads in the magazine but plays tune 5 in the intro. The mouse arrives in
// picture pixels. A swipe over the page text scrolls it as the arrow keys do, a tap is a click,
// and the page's touch bar sends the keys a phone lacks. The loops keep their desktop shape:
// presents and sleeps hand the page back to the browser through ASYNCIFY.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/audio.h"
#include "display/audio_web.h"
#include "display/display.h"
#include "display/key_board.h"
#include "display/sharp_scale.h"

namespace {

// A key counts as one the program reads when it asked for it within this many seconds. Longer
// than a page transition (75 frames), during which no key is read.
constexpr double KeyReadSeconds = 2.0;
// One wheel notch, in the pixels of WheelEvent.deltaY; lines and pages of a wheel that counts
// in those are converted to pixels first (three lines to a notch, a viewer page of 33 lines).
constexpr double NotchPixels = 120.0;
constexpr double LinePixels = NotchPixels / 3.0;
constexpr double PagePixels = NotchPixels * 33.0 / 4.0;
// The page viewer moves the text 6 picture pixels a frame while an arrow key is held; a swipe is
// paid out in those steps, through the arrow keys, so it scrolls exactly as they do.
constexpr double ArrowStepPixels = 6.0;
// A touch that moves farther than this (CSS pixels) is a swipe, not a tap.
constexpr long SwipeSlopPixels = 8;

enum class TouchMode { None, Undecided, Swipe, Pointer };

struct WebTouch {
  TouchMode mode = TouchMode::None;
  long id = 0;
  long startX = 0, startY = 0;  // client pixels where it began
  int32_t lastY = 0;            // picture row of the previous move of a swipe
};

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
  double wheelPixels = 0.0;  // wheel travel toward the next notch; positive away from the reader
  int32_t active = 0;        // 1 while the page is visible
  int32_t closeRequested = 0;
  bool open = false;
  KeyBoard keys;
  double keyReadAt[256] = {};  // when the program last asked for each key; 0 never
  int32_t barOffer = 0;        // what the touch bar offers: 0 nothing, 1 intro tunes, 2 skins
  WebTouch touch;
  double touchScroll = 0.0;  // picture pixels a swipe is ahead of the page; positive downward
  double touchedAt = -1e9;   // the last touch anywhere on the page
  int32_t shownWidth = 0;    // the canvas's size in device pixels, as the frames are made
  int32_t shownHeight = 0;
  SharpScaler scaler;
  std::vector<uint32_t> source;  // the frame with red and blue swapped: 0x00BBGGRR
  std::vector<uint32_t> rgba;    // the picture as ImageData bytes R, G, B, A
  bool justPresented = false;    // no yield since the last present
  double workStart = 0.0;        // when the program got the page back after the last present
  double slept = 0.0;            // seconds of SleepMs since then
};

WebDisplay Web;

// The page's side, in JavaScript.
// clang-format off

// Keeps the canvas and its 2D context; 0 when the page has none. The page reads the frames
// presented and the program's time spent on them (its sleeps not counted) through
// window.quellmarkDisplay: `frames` and `workMs`.
EM_JS(int, WebOpenCanvas, (const char* title), {
  var canvas = document.getElementById('screen');
  var context = canvas && canvas.getContext ? canvas.getContext('2d', {alpha: false}) : null;
  if (!context) return 0;
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
    // Hands control back to the program after the browser has painted, not inside its frame.
    var channel = new MessageChannel();
    channel.port1.onmessage = function() {
      var resume = Module['frameResume'];
      Module['frameResume'] = null;
      try {
        if (resume) resume();
      } catch (e) {
        if (!(e instanceof ExitStatus)) throw e;  // the program's end unwinds its stack so
      }
    };
    Module['frameChannel'] = channel;
  }
  return 1;
});

// The canvas's size in device pixels as the page lays it out (800 x 600 when the page says none).
// A pixel ratio that changed without a resize (the window moved to another screen) makes the page
// lay out again first.
EM_JS(void, WebShownSize, (int32_t* size), {
  if (Module['layOut'] && Module['layoutRatio'] !== devicePixelRatio) Module['layOut']();
  var shown = Module['screenSize'] || [800, 600];
  HEAP32[size >> 2] = Math.max(1, shown[0] | 0);
  HEAP32[(size >> 2) + 1] = Math.max(1, shown[1] | 0);
});

// At the next animation frame puts width x height RGBA pixels into the canvas (none when `rgba`
// is 0) and returns after the browser has painted. A page that gets no animation frames (hidden)
// goes on after 250 ms. `workMs` is the time the frame took to make. An asynchronous import
// (ASYNCIFY_IMPORTS in web/CMakeLists.txt): the program's stack waits meanwhile.
EM_JS(void, WebPresentAtFrame, (const uint8_t* rgba, int width, int height, double workMs), {
  Asyncify.handleSleep(function(wakeUp) {
    var done = false;
    var frame = 0;
    var timer = 0;
    var show = function() {
      if (done) return;
      done = true;
      cancelAnimationFrame(frame);
      clearTimeout(timer);
      var screen = Module['screen'];
      if (screen && rgba) {
        var canvas = screen.canvas;
        if (canvas.width !== width || canvas.height !== height) {
          canvas.width = width;
          canvas.height = height;
        }
        var bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
        screen.context.putImageData(new ImageData(bytes, width, height), 0, 0);
        var stats = Module['displayStats'];
        stats.frames += 1;
        stats.workMs += workMs;
      }
      Module['frameResume'] = wakeUp;
      Module['frameChannel'].port2.postMessage(0);
    };
    frame = requestAnimationFrame(show);
    timer = setTimeout(show, 250);
  });
});

EM_JS(void, WebCloseCanvas, (), {
  Module['screen'] = null;
});

// Client coordinates to picture pixels: the canvas box is the picture.
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

// The stage (picture, its surround and the touch bar) in or out of the browser's full screen;
// a phone is asked to hold landscape meanwhile. Called only from inside an input event, as the
// Fullscreen API requires.
EM_JS(void, WebToggleFullScreen, (), {
  var stage = document.getElementById('stage') || (Module['screen'] && Module['screen'].canvas);
  if (document.fullscreenElement) {
    document.exitFullscreen().catch(function() {});
  } else if (stage && stage.requestFullscreen) {
    stage.requestFullscreen().then(function() {
      if (screen.orientation && screen.orientation.lock)
        return screen.orientation.lock('landscape').catch(function() {});
    }).catch(function() {});
  }
});

// Keys go to the canvas again after a click on one of the page's buttons, so that Space and
// Enter do not press that button once more.
EM_JS(void, WebFocusCanvas, (), {
  if (Module['screen']) Module['screen'].canvas.focus({preventScroll: true});
});

// Tells the page what its touch bar should offer: 1 the intro's tunes, 2 the skins, 0 nothing.
EM_JS(void, WebOffer, (int offer), {
  var bar = document.getElementById('bar');
  if (bar) bar.dataset.offer = ["", "tunes", "skins"][offer] || "";
});

EM_JS(int, WebReducedMotion, (), {
  return window.matchMedia && window.matchMedia('(prefers-reduced-motion: reduce)').matches ? 1 : 0;
});

EM_JS(void, WebHideCursor, (), {
  if (Module['screen']) Module['screen'].canvas.style.cursor = 'none';
});

// A message is a notice beside the picture, which the reader can dismiss (the page's
// Module.notice); a yes/no question is the browser's.
EM_JS(int, WebMessage, (const char* text, int yesNo), {
  var message = UTF8ToString(text);
  if (yesNo) return confirm(message) ? 1 : 0;
  if (Module['notice']) Module['notice'](message);
  else console.log(message);
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

// Whether the program has asked for `key` lately: only those keys are kept from the browser.
bool KeyReadLately(int key) {
  return key > 0 && key < 256 && Web.keyReadAt[key] > 0.0 &&
         TimerSeconds() - Web.keyReadAt[key] < KeyReadSeconds;
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
  return KeyReadLately(key) ? EM_TRUE : EM_FALSE;
}

EM_BOOL OnKeyUp(int, const EmscriptenKeyboardEvent* e, void*) {
  // Release the keypad key whatever NumLock says now: it may have changed while the key was held.
  const int key = KeyCodeFor(e->code, nullptr);
  KeyBoardRelease(Web.keys, key);
  return KeyReadLately(key) ? EM_TRUE : EM_FALSE;
}

void SetMouseAt(double clientX, double clientY) {
  int32_t xy[2] = {0, 0};
  WebPicturePoint(clientX, clientY, Web.width, Web.height, xy);
  Web.mouseX = std::clamp(xy[0], 0, std::max(0, Web.width - 1));
  Web.mouseY = std::clamp(xy[1], 0, std::max(0, Web.height - 1));
}

// The mouse events a browser makes up after a touch outside the picture (on the touch bar) are
// not the reader's mouse: they would pull the pointer to the picture's edge.
constexpr double TouchMouseSeconds = 1.0;

bool FromTouch() {
  return TimerSeconds() - Web.touchedAt < TouchMouseSeconds;
}

// Moves and releases anywhere on the page (a drag of the scrollbar may leave the picture), held
// inside the picture; presses only on the picture.
EM_BOOL OnMouseMove(int, const EmscriptenMouseEvent* e, void*) {
  if (!FromTouch()) SetMouseAt(e->clientX, e->clientY);
  return EM_FALSE;
}

EM_BOOL OnMouseButton(int type, const EmscriptenMouseEvent* e, void*) {
  if (FromTouch()) return EM_FALSE;
  const bool down = type == EMSCRIPTEN_EVENT_MOUSEDOWN;
  SetMouseAt(e->clientX, e->clientY);
  if (e->button == 0) MouseButtonSet(Web.mouseLeft, down);
  if (e->button == 2) MouseButtonSet(Web.mouseRight, down);
  if (down) WebFocusCanvas();
  return down ? EM_TRUE : EM_FALSE;  // no text selection from a press
}

// The wheel by distance: a touchpad's small steps add up to notches of 120 pixels, the remainder
// kept for the next event; turning back starts afresh.
EM_BOOL OnWheel(int, const EmscriptenWheelEvent* e, void*) {
  const double unit = e->deltaMode == DOM_DELTA_LINE   ? LinePixels
                      : e->deltaMode == DOM_DELTA_PAGE ? PagePixels
                                                       : 1.0;
  const double away = -e->deltaY * unit;  // negative deltaY is away from the reader
  if (!std::isfinite(away)) return EM_TRUE;
  if (away * Web.wheelPixels < 0) Web.wheelPixels = 0.0;
  Web.wheelPixels += away;
  const double notches = std::clamp(std::trunc(Web.wheelPixels / NotchPixels), -1000.0, 1000.0);
  Web.wheelPixels -= notches * NotchPixels;
  Web.wheel += static_cast<int32_t>(notches) * Web.wheelStep;
  return EM_TRUE;  // the page itself does not scroll
}

// The page text, where a touch may become a swipe: left of the scrollbar, below the menu panel.
bool InPageText(int32_t x, int32_t y) {
  return x >= 20 && x < 772 && y >= 175 && y < 580;
}

// One finger at a time. Over the page text a touch is a swipe once it has moved, else a tap, a
// click when it ends; anywhere else it is the mouse with its button held, so buttons and menu
// entries react at once and the scrollbar can be dragged.
EM_BOOL OnTouch(int type, const EmscriptenTouchEvent* e, void*) {
  WebTouch& t = Web.touch;
  for (int i = 0; i < e->numTouches && i < 32; ++i) {
    const EmscriptenTouchPoint& p = e->touches[i];
    if (!p.isChanged) continue;
    if (type == EMSCRIPTEN_EVENT_TOUCHSTART) {
      if (t.mode != TouchMode::None) continue;
      t.id = p.identifier;
      t.startX = p.clientX;
      t.startY = p.clientY;
      Web.touchScroll = 0.0;  // a touch holds the page where it is
      int32_t xy[2] = {0, 0};
      WebPicturePoint(p.clientX, p.clientY, Web.width, Web.height, xy);
      t.lastY = xy[1];
      if (InPageText(xy[0], xy[1])) {
        t.mode = TouchMode::Undecided;
      } else {
        t.mode = TouchMode::Pointer;
        SetMouseAt(p.clientX, p.clientY);
        MouseButtonSet(Web.mouseLeft, true);
      }
      continue;
    }
    if (t.mode == TouchMode::None || p.identifier != t.id) continue;
    if (type == EMSCRIPTEN_EVENT_TOUCHMOVE) {
      if (t.mode == TouchMode::Undecided &&
          std::max(std::labs(p.clientX - t.startX), std::labs(p.clientY - t.startY)) >
              SwipeSlopPixels)
        t.mode = TouchMode::Swipe;
      if (t.mode == TouchMode::Swipe) {
        int32_t xy[2] = {0, 0};
        WebPicturePoint(p.clientX, p.clientY, Web.width, Web.height, xy);
        Web.touchScroll += t.lastY - xy[1];  // the finger going up moves the text up
        t.lastY = xy[1];
      } else if (t.mode == TouchMode::Pointer) {
        SetMouseAt(p.clientX, p.clientY);
      }
      continue;
    }
    // The end or the cancel of the touch that counts.
    if (t.mode == TouchMode::Undecided && type == EMSCRIPTEN_EVENT_TOUCHEND) {
      SetMouseAt(p.clientX, p.clientY);
      MouseButtonSet(Web.mouseLeft, true);  // read once as down: a click
      MouseButtonSet(Web.mouseLeft, false);
    } else if (t.mode == TouchMode::Pointer) {
      MouseButtonSet(Web.mouseLeft, false);
    }
    t.mode = TouchMode::None;
  }
  return EM_TRUE;  // no mouse events made up from the touch, no panning or zooming of the page
}

EM_BOOL OnAnyTouch(int, const EmscriptenTouchEvent*, void*) {
  Web.touchedAt = TimerSeconds();
  return EM_FALSE;
}

// The touch bar's buttons: each sends its key as a tap.
EM_BOOL OnBarKey(int, const EmscriptenMouseEvent*, void* key) {
  const int code = static_cast<int>(reinterpret_cast<intptr_t>(key));
  KeyBoardPress(Web.keys, code);
  KeyBoardRelease(Web.keys, code);
  WebFocusCanvas();
  return EM_TRUE;
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
  WebFocusCanvas();
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
  emscripten_set_touchstart_callback("#screen", nullptr, EM_TRUE, OnTouch);
  emscripten_set_touchmove_callback("#screen", nullptr, EM_TRUE, OnTouch);
  emscripten_set_touchend_callback("#screen", nullptr, EM_TRUE, OnTouch);
  emscripten_set_touchcancel_callback("#screen", nullptr, EM_TRUE, OnTouch);
  emscripten_set_touchstart_callback(document, nullptr, EM_TRUE, OnAnyTouch);
  emscripten_set_touchend_callback(document, nullptr, EM_TRUE, OnAnyTouch);
  emscripten_set_blur_callback(window, nullptr, EM_TRUE, OnBlur);
  emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, OnVisibility);
  emscripten_set_click_callback("#fullscreen", nullptr, EM_TRUE, OnFullScreenButton);
  for (int n = 1; n <= 12; ++n) {
    const std::string tune = "#tune-" + std::to_string(n);
    void* key = reinterpret_cast<void*>(static_cast<intptr_t>(KeyF1 + n - 1));
    emscripten_set_click_callback(tune.c_str(), key, EM_TRUE, OnBarKey);
    if (n <= 2) {
      const std::string skin = "#skin-" + std::to_string(n);
      emscripten_set_click_callback(skin.c_str(), key, EM_TRUE, OnBarKey);
    }
  }
}

// What the touch bar offers follows the keys the program reads: F3 in the same frames as F1 in
// the intro (tunes), F1 without F3 in the magazine (skins).
void UpdateBarOffer() {
  const double f1 = Web.keyReadAt[KeyF1], f3 = Web.keyReadAt[KeyF1 + 2];
  const int32_t offer = f1 == 0.0 ? 0 : f3 >= f1 ? 1 : 2;
  if (offer != Web.barOffer) WebOffer(offer);
  Web.barOffer = offer;
}

// The frame as RGBA at the canvas's device-pixel size: sharp-scaled unless that is the frame's
// own size. Red and blue are swapped before scaling (the scaler treats the channels alike), so
// that only the alpha byte is left to set afterwards.
void MakePicture(const uint32_t* pixels) {
  int32_t size[2] = {Web.width, Web.height};
  WebShownSize(size);
  const size_t sourceCount = static_cast<size_t>(Web.width) * Web.height;
  const size_t count = static_cast<size_t>(size[0]) * size[1];
  const bool scaled = size[0] != Web.width || size[1] != Web.height;
  if (size[0] != Web.shownWidth || size[1] != Web.shownHeight) {
    Web.shownWidth = size[0];
    Web.shownHeight = size[1];
    Web.rgba.assign(count, 0xFF000000u);
    Web.source.assign(scaled ? sourceCount : 0, 0);
    if (scaled) SharpScaleSetUp(Web.scaler, Web.width, Web.height, size[0], size[1]);
  }
  uint32_t* swapped = scaled ? Web.source.data() : Web.rgba.data();
  for (size_t i = 0; i < sourceCount; ++i) {
    const uint32_t p = pixels[i];
    swapped[i] = 0xFF000000u | (p & 0xFF00u) | (p >> 16 & 0xFFu) | (p & 0xFFu) << 16;
  }
  if (!scaled) return;
  SharpScale(Web.scaler, Web.source.data(), Web.rgba.data(), size[0]);
  for (uint32_t& p : Web.rgba) p |= 0xFF000000u;
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
  if (!WebOpenCanvas(title ? title : "")) return 0;
  Web.width = width;
  Web.height = height;
  Web.shownWidth = Web.shownHeight = 0;
  EmscriptenVisibilityChangeEvent visibility = {};
  Web.active = emscripten_get_visibility_status(&visibility) == EMSCRIPTEN_RESULT_SUCCESS &&
                       visibility.hidden
                   ? 0
                   : 1;
  Listen();
  WebFocusCanvas();
  Web.open = true;
  Web.workStart = TimerSeconds();
  return 1;
}

int32_t DisplayUpdate(const uint32_t* pixels) {
  const bool show = Web.open && pixels && Web.active;
  if (show) MakePicture(pixels);
  if (Web.open) UpdateBarOffer();
  // The sound for the time the browser takes over, and a quarter second beyond.
  AudioWebFeed();
  // Always hand the page back to the browser until its next frame: it shows the canvas and
  // delivers the input and the sound callbacks only then.
  WebPresentAtFrame(show ? reinterpret_cast<const uint8_t*>(Web.rgba.data()) : nullptr,
                    Web.shownWidth, Web.shownHeight,
                    (TimerSeconds() - Web.workStart - Web.slept) * 1000.0);
  Web.workStart = TimerSeconds();
  Web.slept = 0.0;
  Web.justPresented = true;
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

// A swipe's travel is paid out through the arrow keys, one step each time the program reads the
// key (once a frame), as if the key were held for as many frames as the swipe is long.
uint16_t KeyState(int key) {
  if (key > 0 && key < 256) Web.keyReadAt[key] = TimerSeconds();
  uint16_t value = KeyBoardQuery(Web.keys, key);
  const double half = ArrowStepPixels / 2;
  if (key == KeyDown && Web.touchScroll >= half) {
    Web.touchScroll -= ArrowStepPixels;
    value |= 0x8000;
  } else if (key == KeyUp && Web.touchScroll < -half) {
    Web.touchScroll += ArrowStepPixels;
    value |= 0x8000;
  }
  return value;
}

MessageAnswer ShowMessageBox(const char* text, const char*, MessageButtons buttons) {
  const bool yesNo = buttons == MessageButtons::YesNo;
  const int answer = WebMessage(text ? text : "", yesNo ? 1 : 0);
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

// The loops sleep 1 ms after each present to leave the processor to others. Here the present has
// just handed the page to the browser until its frame was painted, and another yield would only
// risk the next frame's refresh coming before the frame is ready: such a sleep returns at once.
void SleepMs(int ms) {
  const bool afterPresent = Web.justPresented;
  Web.justPresented = false;
  if (afterPresent && ms <= 1) return;
  const double start = TimerSeconds();
  emscripten_sleep(static_cast<unsigned>(ms < 0 ? 0 : ms));
  Web.slept += TimerSeconds() - start;
}
