// The display layer on SDL2: a fixed-size 800 x 600 window or the desktop's own full-screen mode
// with the picture scaled to fit (4:3 kept, black bars).
//
// Scaling is sharp and even, so that every text column and row comes out equally wide instead of
// some one pixel bolder (nearest neighbour at 1.28 for 1024 x 768). Two ways to the screen:
// - With a GPU, SDL's accelerated renderer: the 800 x 600 picture is uploaded as it is, enlarged
//   by nearest neighbour to the next whole multiple in a render target and filtered down to the
//   screen linearly, all on the GPU.
// - With only a software rasteriser (no GPU device, e.g. a virtual X server, or software GL
//   forced), the window's own surface: the processor scales (display/sharp_scale.h) straight into
//   it, and only the rows that changed since the last frame are scaled and sent. The main loop
//   redraws everything every frame, but most of it comes out the same, so full screen costs
//   little more than the window. Software OpenGL would spend several times the program's own work
//   per frame and map some 60 MB of compiler.
#include <SDL.h>
#include <fcntl.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "display/audio.h"
#include "display/convert.h"
#include "display/display.h"
#include "display/frame_damage.h"
#include "display/frame_pacing.h"
#include "display/key_board.h"
#include "display/sharp_scale.h"
#include "window_icon.h"

namespace {

struct SdlDisplay {
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
  int32_t active = 0;
  int32_t closeRequested = 0;
  bool videoStarted = false;
  SDL_Window* window = nullptr;
  SDL_Rect placed = {};  // where the picture lands in the window, in pixels
  RowConverter convert = nullptr;
  // GPU: the renderer, the picture at its own size, and the picture at a whole multiple of it
  // (none when shown at its own size or at a whole multiple).
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  SDL_Texture* enlarged = nullptr;
  // Processor: the window's surface (its size when laid out), the scaler (when `placed` is not
  // width x height), the rows changed since the last frame, and one scaled row for surfaces
  // whose format is not 0x00RRGGBB.
  SDL_Surface* surface = nullptr;
  int surfaceWidth = 0, surfaceHeight = 0;
  bool direct = false;   // the surface holds 0x00RRGGBB words: scale straight into it
  bool sendAll = false;  // the next present sends the whole surface (laid out anew, exposed)
  SharpScaler scaler;
  FrameDamage damage;
  std::vector<std::pair<int, int>> runs;
  std::vector<SDL_Rect> rects;
  std::vector<uint32_t> row;
  KeyBoard keys;
  FramePacer pacer;
  // The desktop's reduced-motion setting: -1 until known; while gsettings is being asked, its
  // process and the pipe its answer arrives on.
  int32_t reducedMotion = -1;
  pid_t motionQuery = -1;
  int motionPipe = -1;
};

SdlDisplay Sdl;

// Physical keys, by scancode, behind the key codes the program asks for.
int KeyCodeFor(SDL_Scancode code, bool numLock) {
  if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F12) return KeyF1 + (code - SDL_SCANCODE_F1);
  switch (code) {
    case SDL_SCANCODE_ESCAPE:
      return KeyEscape;
    case SDL_SCANCODE_UP:
      return KeyUp;
    case SDL_SCANCODE_DOWN:
      return KeyDown;
    case SDL_SCANCODE_PAGEUP:
      return KeyPageUp;
    case SDL_SCANCODE_PAGEDOWN:
      return KeyPageDown;
    case SDL_SCANCODE_HOME:
      return KeyHome;
    case SDL_SCANCODE_END:
      return KeyEnd;
    default:
      break;
  }
  if (numLock) return 0;  // with NumLock on the keypad types digits
  switch (code) {
    case SDL_SCANCODE_KP_8:
      return KeyUp;
    case SDL_SCANCODE_KP_2:
      return KeyDown;
    case SDL_SCANCODE_KP_9:
      return KeyPageUp;
    case SDL_SCANCODE_KP_3:
      return KeyPageDown;
    case SDL_SCANCODE_KP_7:
      return KeyHome;
    case SDL_SCANCODE_KP_1:
      return KeyEnd;
    default:
      return 0;
  }
}

bool IsFullScreen() {
  return Sdl.window && (SDL_GetWindowFlags(Sdl.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
}

// Presents wait for the retrace in a window as at full screen, where the driver offers it. The
// frame pacer takes over where it does not.
void ApplyVsync() {
  if (Sdl.renderer) SDL_RenderSetVSync(Sdl.renderer, Sdl.vsync ? 1 : 0);
}

// The refresh rate of the display the window is on (60 Hz when it is not reported).
void ReadRefreshRate() {
  SDL_DisplayMode mode = {};
  const int display = Sdl.window ? SDL_GetWindowDisplayIndex(Sdl.window) : 0;
  const bool known = SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0;
  FramePacingSetRate(Sdl.pacer, known ? mode.refresh_rate : 0);
}

// The size of what the window shows, in pixels (more than its size in points on high-density
// displays).
void OutputSize(int& width, int& height) {
  width = height = 0;
  if (Sdl.renderer)
    SDL_GetRendererOutputSize(Sdl.renderer, &width, &height);
  else if (Sdl.window)
    SDL_GetWindowSizeInPixels(Sdl.window, &width, &height);
}

// The picture fitted into an output of the given size: 4:3 kept, centred.
SDL_Rect Fit(int outWidth, int outHeight) {
  if (outWidth <= 0 || outHeight <= 0) {
    outWidth = Sdl.width;
    outHeight = Sdl.height;
  }
  const double scale = std::min(static_cast<double>(outWidth) / Sdl.width,
                                static_cast<double>(outHeight) / Sdl.height);
  SDL_Rect placed;
  placed.w = std::clamp(static_cast<int>(std::lround(Sdl.width * scale)), 1, outWidth);
  placed.h = std::clamp(static_cast<int>(std::lround(Sdl.height * scale)), 1, outHeight);
  placed.x = (outWidth - placed.w) / 2;
  placed.y = (outHeight - placed.h) / 2;
  return placed;
}

// GPU: the picture's texture, and the render target it is enlarged into unless it is shown at
// its own size, at a whole multiple of it (nearest neighbour is exact then) or smaller (filtered
// down directly).
bool LayOutTextures() {
  int outWidth = 0, outHeight = 0;
  OutputSize(outWidth, outHeight);
  Sdl.placed = Fit(outWidth, outHeight);
  if (!Sdl.texture) {
    Sdl.texture = SDL_CreateTexture(Sdl.renderer, SDL_PIXELFORMAT_RGB888,
                                    SDL_TEXTUREACCESS_STREAMING, Sdl.width, Sdl.height);
    if (!Sdl.texture) return false;
  }
  if (Sdl.enlarged) SDL_DestroyTexture(Sdl.enlarged);
  Sdl.enlarged = nullptr;
  const int w = Sdl.placed.w, h = Sdl.placed.h;
  const bool whole = w % Sdl.width == 0 && h % Sdl.height == 0 && w / Sdl.width == h / Sdl.height;
  SDL_SetTextureScaleMode(Sdl.texture, whole ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
  if (whole || w < Sdl.width || h < Sdl.height) return true;
  const int factor = std::max((w + Sdl.width - 1) / Sdl.width, (h + Sdl.height - 1) / Sdl.height);
  Sdl.enlarged = SDL_CreateTexture(Sdl.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET,
                                   Sdl.width * factor, Sdl.height * factor);
  if (!Sdl.enlarged) return true;  // no render targets: filtered directly, a little softer
  SDL_SetTextureScaleMode(Sdl.texture, SDL_ScaleModeNearest);
  SDL_SetTextureScaleMode(Sdl.enlarged, SDL_ScaleModeLinear);
  return true;
}

// Processor: the window's surface as it is now, cleared to black (the bars beside the picture),
// the scaler for its size and the converter for its format; the next present sends everything.
bool LayOutSurface() {
  Sdl.surface = SDL_GetWindowSurface(Sdl.window);
  if (!Sdl.surface) return false;
  const SDL_PixelFormat* f = Sdl.surface->format;
  Sdl.convert = SelectConverter(f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask);
  if (!Sdl.convert) return false;
  Sdl.direct = Sdl.convert == Convert32Rgb && Sdl.surface->pitch % 4 == 0;
  Sdl.surfaceWidth = Sdl.surface->w;
  Sdl.surfaceHeight = Sdl.surface->h;
  Sdl.placed = Fit(Sdl.surface->w, Sdl.surface->h);
  if (Sdl.placed.w != Sdl.width || Sdl.placed.h != Sdl.height)
    SharpScaleSetUp(Sdl.scaler, Sdl.width, Sdl.height, Sdl.placed.w, Sdl.placed.h);
  else
    Sdl.scaler = SharpScaler{};  // its tables are not needed at the picture's own size
  Sdl.row.assign(Sdl.direct ? 0 : static_cast<size_t>(Sdl.placed.w), 0);
  SDL_FillRect(Sdl.surface, nullptr, SDL_MapRGB(Sdl.surface->format, 0, 0, 0));
  FrameDamageReset(Sdl.damage);
  Sdl.sendAll = true;
  return true;
}

// Fits the picture into the window (4:3 kept, centred) and prepares what presenting it at that
// size needs. False when that cannot be made.
bool LayOut() {
  if (Sdl.renderer) return LayOutTextures();
  return Sdl.window && LayOutSurface();
}

// GPU: uploads the picture, enlarges it into the render target if there is one, and draws that
// filtered to the placed rectangle. False when the texture cannot be locked.
bool PresentTextures(const uint32_t* pixels) {
  void* target = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(Sdl.texture, nullptr, &target, &pitch) != 0) return false;
  auto* row = static_cast<uint8_t*>(target);
  for (int y = 0; y < Sdl.height; ++y) {
    Sdl.convert(pixels + static_cast<size_t>(y) * Sdl.width, row, Sdl.width);
    row += pitch;
  }
  SDL_UnlockTexture(Sdl.texture);
  if (Sdl.enlarged && SDL_SetRenderTarget(Sdl.renderer, Sdl.enlarged) != 0) {
    SDL_DestroyTexture(Sdl.enlarged);  // render targets refused after all: filter directly
    Sdl.enlarged = nullptr;
    SDL_SetTextureScaleMode(Sdl.texture, SDL_ScaleModeLinear);
  }
  if (Sdl.enlarged) {
    SDL_RenderCopy(Sdl.renderer, Sdl.texture, nullptr, nullptr);
    SDL_SetRenderTarget(Sdl.renderer, nullptr);
  }
  SDL_SetRenderDrawColor(Sdl.renderer, 0, 0, 0, 255);
  SDL_RenderClear(Sdl.renderer);
  SDL_RenderCopy(Sdl.renderer, Sdl.enlarged ? Sdl.enlarged : Sdl.texture, nullptr, &Sdl.placed);
  SDL_RenderPresent(Sdl.renderer);
  return true;
}

// Processor: target rows first..end - 1 of the placed picture into the surface, scaled or copied,
// converted where the surface's format is not the picture's.
void DrawSurfaceRows(const uint32_t* pixels, int first, int end) {
  auto* base = static_cast<uint8_t*>(Sdl.surface->pixels) +
               static_cast<size_t>(Sdl.placed.y) * Sdl.surface->pitch +
               static_cast<size_t>(Sdl.placed.x) * Sdl.surface->format->BytesPerPixel;
  const bool scaled = !Sdl.scaler.ColumnFrom.empty();
  if (scaled && Sdl.direct) {
    SharpScaleRows(Sdl.scaler, pixels, reinterpret_cast<uint32_t*>(base), Sdl.surface->pitch / 4,
                   first, end);
    return;
  }
  for (int y = first; y < end; ++y) {
    const uint32_t* source = pixels + static_cast<size_t>(y) * Sdl.width;
    if (scaled) {
      // One scaled row (a pitch of 0 puts every row at the start of `row`), then converted: the
      // scaler's cache of filtered rows does not outlive the call, a price paid only on screens
      // of 15, 16 or 24 bits.
      SharpScaleRows(Sdl.scaler, pixels, Sdl.row.data(), 0, y, y + 1);
      source = Sdl.row.data();
    }
    Sdl.convert(source, base + static_cast<size_t>(y) * Sdl.surface->pitch, Sdl.placed.w);
  }
}

// Processor: scales and sends the rows that changed since the last frame (all of them after a
// new layout). False when the surface cannot be had.
bool PresentSurface(const uint32_t* pixels) {
  SDL_Surface* surface = SDL_GetWindowSurface(Sdl.window);
  if (!surface) return false;
  // SDL makes a new surface when the window's size changes; the event that says so may come later.
  if (surface != Sdl.surface || surface->w != Sdl.surfaceWidth || surface->h != Sdl.surfaceHeight) {
    if (!LayOutSurface()) return false;
  }
  FrameDamageRuns(Sdl.damage, pixels, Sdl.width, Sdl.height, Sdl.runs);
  const bool scaled = !Sdl.scaler.ColumnFrom.empty();
  Sdl.rects.clear();
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
  for (const auto& [first, end] : Sdl.runs) {
    int from = first, to = end;
    if (scaled) SharpScaleTargetRows(Sdl.scaler, first, end, from, to);
    // Runs of source rows close together reach shared target rows: draw those once.
    if (!Sdl.rects.empty()) {
      SDL_Rect& last = Sdl.rects.back();
      from = std::max(from, last.y - Sdl.placed.y + last.h);
      if (from >= to) continue;
      if (from == last.y - Sdl.placed.y + last.h) {
        DrawSurfaceRows(pixels, from, to);
        last.h = to - (last.y - Sdl.placed.y);
        continue;
      }
    }
    DrawSurfaceRows(pixels, from, to);
    Sdl.rects.push_back({Sdl.placed.x, Sdl.placed.y + from, Sdl.placed.w, to - from});
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  int failed = 0;
  if (Sdl.sendAll)
    failed = SDL_UpdateWindowSurface(Sdl.window);
  else if (!Sdl.rects.empty())
    failed = SDL_UpdateWindowSurfaceRects(Sdl.window, Sdl.rects.data(),
                                          static_cast<int>(Sdl.rects.size()));
  // What did not reach the screen is sent again, whole, with the next frame.
  Sdl.sendAll = failed != 0;
  return failed == 0;
}

// Presents the picture. False when nothing could be presented (a lock or an update failed).
bool Present(const uint32_t* pixels) {
  return Sdl.renderer ? PresentTextures(pixels) : PresentSurface(pixels);
}

// Alt+Enter: between the desktop's full-screen mode and a fixed 800 x 600 window.
void ToggleFullScreen() {
  if (!Sdl.window) return;
  if (IsFullScreen()) {
    SDL_SetWindowFullscreen(Sdl.window, 0);
    SDL_SetWindowSize(Sdl.window, Sdl.width, Sdl.height);
    SDL_SetWindowPosition(Sdl.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  } else {
    SDL_SetWindowFullscreen(Sdl.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  }
  Sdl.windowed = IsFullScreen() ? 0 : 1;
  ApplyVsync();
  ReadRefreshRate();
  LayOut();
}

[[noreturn]] void CloseAndExit() {
  DisplayClose();
  EndProcess(0);
}

// Window coordinates to picture pixels, held inside the picture (in the black bars they would
// fall outside it).
void SetMouse(int x, int y) {
  int windowWidth = 0, windowHeight = 0, outWidth = 0, outHeight = 0;
  SDL_GetWindowSize(Sdl.window, &windowWidth, &windowHeight);
  OutputSize(outWidth, outHeight);
  double px = x, py = y;
  if (windowWidth > 0 && windowHeight > 0 && outWidth > 0 && outHeight > 0) {
    px = px * outWidth / windowWidth;  // high-density displays have more pixels than points
    py = py * outHeight / windowHeight;
  }
  if (Sdl.placed.w > 0 && Sdl.placed.h > 0) {
    px = (px - Sdl.placed.x) * Sdl.width / Sdl.placed.w;
    py = (py - Sdl.placed.y) * Sdl.height / Sdl.placed.h;
  }
  Sdl.mouseX = std::clamp(static_cast<int>(std::floor(px)), 0, std::max(0, Sdl.width - 1));
  Sdl.mouseY = std::clamp(static_cast<int>(std::floor(py)), 0, std::max(0, Sdl.height - 1));
}

// The window's close button, SIGINT or SIGTERM.
void RequestClose() {
  if (Sdl.exitOnClose) CloseAndExit();
  Sdl.closeRequested = 1;  // the application ends itself, in its own order
}

void HandleWindowEvent(const SDL_WindowEvent& e) {
  switch (e.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_RESTORED:
      Sdl.active = 1;
      // What was hidden must be shown again, and the window surface sends only changed rows.
      if (e.event != SDL_WINDOWEVENT_FOCUS_GAINED) Sdl.sendAll = true;
      break;
    case SDL_WINDOWEVENT_HIDDEN:
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_FOCUS_LOST:
      Sdl.active = 0;
      break;
    case SDL_WINDOWEVENT_CLOSE:
      RequestClose();
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      LayOut();
      break;
    case SDL_WINDOWEVENT_DISPLAY_CHANGED:
      ReadRefreshRate();
      break;
    default:
      break;
  }
}

void HandleEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_MOUSEMOTION:
      SetMouse(e.motion.x, e.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const int32_t down = e.type == SDL_MOUSEBUTTONDOWN ? 1 : 0;
      SetMouse(e.button.x, e.button.y);
      if (e.button.button == SDL_BUTTON_LEFT) MouseButtonSet(Sdl.mouseLeft, down);
      if (e.button.button == SDL_BUTTON_RIGHT) MouseButtonSet(Sdl.mouseRight, down);
      break;
    }
    case SDL_MOUSEWHEEL: {
      int notches = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      // Every notch moves the counter by one step, however many arrive in one event.
      Sdl.wheel += notches * Sdl.wheelStep;
      break;
    }
    case SDL_KEYDOWN: {
      if (e.key.keysym.scancode == SDL_SCANCODE_RETURN && (e.key.keysym.mod & KMOD_ALT) &&
          !e.key.repeat) {
        ToggleFullScreen();
        break;
      }
      const int key = KeyCodeFor(e.key.keysym.scancode, (e.key.keysym.mod & KMOD_NUM) != 0);
      if (key == KeyEscape && Sdl.exitOnClose) CloseAndExit();
      if (!e.key.repeat) KeyBoardPress(Sdl.keys, key);  // a held key is not pressed again
      break;
    }
    case SDL_KEYUP:
      // Release both readings of a keypad key: NumLock may have changed while it was held.
      KeyBoardRelease(Sdl.keys, KeyCodeFor(e.key.keysym.scancode, true));
      KeyBoardRelease(Sdl.keys, KeyCodeFor(e.key.keysym.scancode, false));
      break;
    case SDL_WINDOWEVENT:
      HandleWindowEvent(e.window);
      break;
    case SDL_QUIT:
      RequestClose();
      break;
    default:
      break;
  }
}

void PumpEvents() {
  if (!Sdl.videoStarted) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) HandleEvent(e);
}

// Without a driver named in SDL's environment, only drivers that show a window qualify: SDL would
// otherwise fall back to its invisible offscreen driver and the program would run unseen.
bool StartVideo() {
  if (Sdl.videoStarted) return true;
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  // The window's class (X11 WM_CLASS, Wayland app id) names the installed desktop entry whatever
  // the executable is called, so docks group the window under the menu entry's icon. SDL reads
  // these when the video subsystem starts; a class the user set in the environment stays.
  SDL_setenv("SDL_VIDEO_X11_WMCLASS", "quellmark", 0);
  SDL_setenv("SDL_VIDEO_WAYLAND_WMCLASS", "quellmark", 0);
  const char* named = std::getenv("SDL_VIDEODRIVER");
  if (named && *named) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    Sdl.videoStarted = true;
    return true;
  }
  if (SDL_Init(0) != 0) return false;
  // The reason given when no driver starts is the first one's: the X server's when DISPLAY
  // names one, not that of the console driver tried last.
  std::string firstError;
  for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
    const char* driver = SDL_GetVideoDriver(i);
    if (!std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy") ||
        !std::strcmp(driver, "evdev"))
      continue;
    // A Wayland compositor's socket lives in XDG_RUNTIME_DIR unless WAYLAND_DISPLAY gives its
    // full path: without either the driver cannot connect, and the Wayland library would print a
    // complaint of its own trying.
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!std::strcmp(driver, "wayland") && !std::getenv("XDG_RUNTIME_DIR") &&
        !(wayland && wayland[0] == '/'))
      continue;
    SDL_setenv("SDL_VIDEODRIVER", driver, 1);
    const bool ok = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    SDL_setenv("SDL_VIDEODRIVER", "", 1);
    if (ok) {
      Sdl.videoStarted = true;
      return true;
    }
    if (firstError.empty()) firstError = SDL_GetError();
  }
  if (!firstError.empty()) SDL_SetError("%s", firstError.c_str());
  return false;
}

bool EnvironmentSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// QUELLMARK_REDUCED_MOTION decides when set (1 reduced, anything else not); otherwise GNOME's
// switch for animations, read by starting `gsettings` where it is installed. Its answer takes
// some tens of milliseconds, so it is asked when the display opens and collected when wanted.
void AskDesktopForMotion() {
  if (Sdl.reducedMotion >= 0 || Sdl.motionQuery > 0) return;
  if (const char* choice = std::getenv("QUELLMARK_REDUCED_MOTION"); choice && *choice) {
    Sdl.reducedMotion = std::strcmp(choice, "1") == 0 ? 1 : 0;
    return;
  }
  Sdl.reducedMotion = 0;  // unless the desktop says otherwise
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>("gsettings"), const_cast<char*>("get"),
                  const_cast<char*>("org.gnome.desktop.interface"),
                  const_cast<char*>("enable-animations"), nullptr};
  pid_t pid = -1;
  const bool started = posix_spawnp(&pid, "gsettings", &actions, nullptr, argv, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (!started) {  // not installed
    close(fds[0]);
    return;
  }
  Sdl.reducedMotion = -1;
  Sdl.motionQuery = pid;
  Sdl.motionPipe = fds[0];
}

// The answer of the gsettings started above, waiting for it up to a second: "false" means the
// desktop's animations are off.
void CollectDesktopMotion() {
  if (Sdl.motionQuery <= 0) return;
  std::string answer;
  const double giveUp = TimerSeconds() + 1.0;
  for (;;) {
    pollfd ready = {Sdl.motionPipe, POLLIN, 0};
    const int left = static_cast<int>((giveUp - TimerSeconds()) * 1000);
    if (left <= 0 || poll(&ready, 1, left) <= 0) break;
    char chunk[64];
    const ssize_t got = read(Sdl.motionPipe, chunk, sizeof chunk);
    if (got <= 0 || answer.size() > 256) break;
    answer.append(chunk, static_cast<size_t>(got));
  }
  close(Sdl.motionPipe);
  kill(Sdl.motionQuery, SIGKILL);  // gone already unless it hung
  waitpid(Sdl.motionQuery, nullptr, 0);
  Sdl.motionQuery = -1;
  Sdl.motionPipe = -1;
  Sdl.reducedMotion = answer.rfind("false", 0) == 0 ? 1 : 0;
}

// The window's icon, for window lists and task bars (X11's _NET_WM_ICON): the desktop icon's
// 64-pixel picture, built into the program. A picture that cannot be read leaves SDL's default.
void SetWindowIcon(SDL_Window* window) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, quellmark_png, quellmark_png_size)) return;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return;
  }
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
      pixels.data(), static_cast<int>(image.width), static_cast<int>(image.height), 32,
      static_cast<int>(PNG_IMAGE_ROW_STRIDE(image)), SDL_PIXELFORMAT_RGBA32);
  if (!icon) return;
  SDL_SetWindowIcon(window, icon);
  SDL_FreeSurface(icon);
}

// DisplayOpen's failure: one line on standard error with SDL's own reason.
int32_t Fail(const char* what) {
  std::fprintf(stderr, "cannot open a display: %s: %s\n", what, SDL_GetError());
  return 0;
}

// The way to the screen. SDL's accelerated renderer goes through OpenGL; where no GPU can be
// reached (no DRM or NVIDIA device node, e.g. a container or a virtual X server) or software GL
// is forced, that GL is Mesa's software rasteriser, which maps some 60 MB of LLVM, compiles
// shaders at start-up and spends several times the program's own CPU time per frame: the
// processor then draws into the window's surface itself. A renderer named in SDL's environment
// (SDL_RENDER_DRIVER) is used, "software" meaning the window surface.
bool OnlySoftwareGl() {
  const char* forced = std::getenv("LIBGL_ALWAYS_SOFTWARE");
  if (forced && *forced && std::strcmp(forced, "0") != 0) return true;
  return access("/dev/dri", F_OK) != 0 && access("/dev/nvidiactl", F_OK) != 0;
}

// The GPU's renderer, or null where the window surface serves.
SDL_Renderer* CreateRenderer(SDL_Window* window, Uint32 vsync) {
  const char* named = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  const bool surface = named && *named ? std::strcmp(named, "software") == 0 : OnlySoftwareGl();
  SDL_Renderer* renderer =
      surface ? nullptr : SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | vsync);
  // Without this hint SDL would back the window surface with an OpenGL texture again.
  if (!renderer) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  return renderer;
}

}  // namespace

void DisplayConfigure(uint8_t ask, const char* question, int32_t windowed, uint8_t popup) {
  Sdl.ask = ask;
  Sdl.question = question && *question ? question : "Fullscreen Mode ?";
  if (ask == 0) Sdl.windowed = windowed;
  Sdl.popup = popup;
}

void DisplaySetExitOnClose(uint8_t flag) {
  Sdl.exitOnClose = flag;
}

void DisplaySetVsync(int32_t flag) {
  Sdl.vsync = flag;
  ApplyVsync();
}

void DisplaySetWheel(int32_t step, int32_t counter) {
  Sdl.wheelStep = step;
  Sdl.wheel = counter;
}

int32_t DisplayOpen(const char* title, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  Sdl.width = width;
  Sdl.height = height;
  AskDesktopForMotion();
  if (!StartVideo()) {
    // Nothing to show a window on: say which setting is missing rather than why the console
    // driver, tried last, could not start either.
    if (!EnvironmentSet("DISPLAY") && !EnvironmentSet("WAYLAND_DISPLAY") &&
        !EnvironmentSet("SDL_VIDEODRIVER"))
      std::fputs("no display: neither DISPLAY nor WAYLAND_DISPLAY is set\n", stderr);
    else
      std::fprintf(stderr, "cannot open a display: %s\n", SDL_GetError());
    return 0;
  }

  if (Sdl.ask == 1) {
    const MessageAnswer answer = ShowMessageBox(Sdl.question.c_str(), title, MessageButtons::YesNo);
    Sdl.windowed = answer == MessageAnswer::No ? 1 : 0;
  }

  Uint32 flags = SDL_WINDOW_SHOWN;
  if (Sdl.windowed == 0)
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  else if (Sdl.popup == 1)
    flags |= SDL_WINDOW_BORDERLESS;
  Sdl.window =
      SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
  if (!Sdl.window) return Fail("cannot open a window");
  SetWindowIcon(Sdl.window);

  Sdl.renderer = CreateRenderer(Sdl.window, Sdl.vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
  ApplyVsync();
  ReadRefreshRate();

  if (!LayOut()) return Fail("cannot draw into the window");
  if (Sdl.renderer) {
    Uint32 format = 0;
    SDL_QueryTexture(Sdl.texture, &format, nullptr, nullptr, nullptr);
    int bits = 0;
    Uint32 red = 0, green = 0, blue = 0, alpha = 0;
    if (!SDL_PixelFormatEnumToMasks(format, &bits, &red, &green, &blue, &alpha))
      return Fail("unknown pixel format");
    Sdl.convert = SelectConverter(bits, red, green, blue);
  }
  if (!Sdl.convert) return Fail("no converter for the pixel format");

  SDL_DisableScreenSaver();
  Sdl.active = 1;  // a newly shown window is the active one
  PumpEvents();
  return 1;
}

int32_t DisplayUpdate(const uint32_t* pixels) {
  PumpEvents();
  int32_t result = 1;
  if (Sdl.convert && pixels && Sdl.active && !Present(pixels)) result = 0;
  // Also when nothing was presented (an inactive window, a failed lock): the loop keeps its pace.
  const double wait = FramePacingDelay(Sdl.pacer, TimerSeconds());
  if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
  return result;
}

void DisplayClose() {
  if (Sdl.enlarged) SDL_DestroyTexture(Sdl.enlarged);
  if (Sdl.texture) SDL_DestroyTexture(Sdl.texture);
  if (Sdl.renderer) SDL_DestroyRenderer(Sdl.renderer);
  if (Sdl.window) SDL_DestroyWindow(Sdl.window);  // and its surface
  Sdl.enlarged = Sdl.texture = nullptr;
  Sdl.renderer = nullptr;
  Sdl.surface = nullptr;
  Sdl.surfaceWidth = Sdl.surfaceHeight = 0;
  Sdl.scaler = SharpScaler{};
  FrameDamageReset(Sdl.damage);
  Sdl.placed = {};
  Sdl.window = nullptr;
  Sdl.convert = nullptr;
  Sdl.active = 0;
  if (Sdl.videoStarted) {
    SDL_EnableScreenSaver();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    Sdl.videoStarted = false;
  }
}

int32_t DisplayMouseX() {
  return Sdl.mouseX;
}
int32_t DisplayMouseY() {
  return Sdl.mouseY;
}
int32_t DisplayMouseLeft() {
  return MouseButtonRead(Sdl.mouseLeft);
}
int32_t DisplayMouseRight() {
  return MouseButtonRead(Sdl.mouseRight);
}
int32_t DisplayCloseRequested() {
  PumpEvents();
  return Sdl.closeRequested;
}
int32_t DisplayMouseWheel() {
  return Sdl.wheel;
}
void* DisplayWindow() {
  return Sdl.window;
}
int32_t DisplayReducedMotion() {
  AskDesktopForMotion();
  CollectDesktopMotion();
  return Sdl.reducedMotion == 1 ? 1 : 0;
}

uint16_t KeyState(int key) {
  // The key state needs no presenting: take whatever input is waiting first.
  PumpEvents();
  return KeyBoardQuery(Sdl.keys, key);
}

MessageAnswer ShowMessageBox(const char* text, const char* caption, MessageButtons buttons) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  const SDL_MessageBoxButtonData yesNo[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
  };
  const SDL_MessageBoxButtonData ok[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 1, "OK"},
  };
  SDL_MessageBoxData box = {};
  box.flags = buttons == MessageButtons::YesNo ? SDL_MESSAGEBOX_INFORMATION : SDL_MESSAGEBOX_ERROR;
  box.title = caption ? caption : "";
  box.message = text ? text : "";
  box.numbuttons = buttons == MessageButtons::YesNo ? 2 : 1;
  box.buttons = buttons == MessageButtons::YesNo ? yesNo : ok;
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) != 0) pressed = -1;  // no way to ask: take the default
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  return pressed == 0 ? MessageAnswer::No : MessageAnswer::Yes;
}

void HideCursor() {
  SDL_ShowCursor(SDL_DISABLE);
}

void EndProcess(int status) {
  AudioShutdown();
  std::fflush(nullptr);
  std::_Exit(status);
}

double TimerSeconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms < 0 ? 0 : ms));
}
