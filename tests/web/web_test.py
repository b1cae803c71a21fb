#!/usr/bin/python3
"""The magazine in a web browser, end to end.

Serves the web build (build-web) on 127.0.0.1, drives Debian's headless Chromium through the
DevTools protocol and checks what a reader sees and hears:

  * on a phone (375 x 667, 2 device pixels a CSS pixel, touch) the start button starts the
    intro, which draws and plays its tune; the touch bar's tune 7 plays tune 7 at once: what
    reaches the output is the offline render of tune 7 from its first sample, sample for sample,
    also while the page is hidden and through stalls of the page of up to 200 ms (a longer one
    leaves a gap, after which the tune goes on where it stopped); a tap leaves the intro, whose
    closing flash is a calm fade when the reader prefers reduced motion;
  * at 800 x 600 the main-loop frame equals the desktop program's headless frame on every pixel
    that does not move with time; over 10 s one program frame is shown per animation frame;
    the wheel counts distance; the browser keeps the keys the program does not read;
  * at every size of the matrix the canvas is the desktop's frame scaled by the desktop's sharp
    scaler to the canvas's device pixels, shown unscaled by the browser, and its page text is the
    area average of the desktop's frame (no glyph row or column lost);
  * on the phone a swipe scrolls the page as the arrow keys do, a tap opens a menu entry and the
    touch bar changes the skin;
  * the music button silences the module, a song button starts another; the full-screen button
    gives the keys back to the picture; Escape ends the program and its sound;
  * without Web Audio a dismissible notice beside the picture says so; without quellmark.wasm the
    page says what failed; nothing is reported on the console as an error;
  * the server sends the compressed copies; the browser can install the magazine; after one
    visit it starts offline.

    web_test.py --site build-web --shot build/tools/shot/quellmark-shot \
                --render build/tools/render/quellmark-render --out DIR

Screenshots, crops of the same text at every size and the compared frames are written to DIR;
the pacing and the frame time in the browser are printed.
"""
import argparse
import base64
import gzip
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request
import wave

import numpy as np
import websocket

WIDTH, HEIGHT = 800, 600
PARK = (795, 595)  # a pointer position off every button, where no pointer is drawn
CHARTS_MENU = (500, 114)  # "> Charts Menu", the last slot of the Articles menu's second column
MONTHLY_CHART = (250, 66)  # "> Monthly Chart", the first slot of the Charts menu
MUSIC_BUTTON_SKIN2 = (736, 58)
SONG2_BUTTON_SKIN2 = (101, 141)
SWIPE_START = (400, 500)  # on the page text
# The level meter follows the music, which the two runs do not hear at the same moment.
METER_ROWS = slice(128, 151)
# Pixels next to one that moves in the desktop's frames are not compared either.
DILATE = 3
# The page text: rows 193..569 of the frame, text columns 1..80 (x 32..751).
PAGE = (slice(193, 570), slice(32, 752))
# The text cropped at every size for a person to look at: the editorial's first lines.
CROP = (slice(193, 290), slice(32, 392))
# The sharp scaler weighs neighbours in 1/256 steps and rounds each of its two passes down: its
# pixels are within a few levels of the exact area average. A row or column dropped is far out.
AREA_TOLERANCE = 8
# Stalls of the page's thread while a tune plays: the output queue holds a quarter second, so
# the first two pass unheard and the last may leave a gap, after which the tune goes on.
STALLS_MS = (100, 200, 300)
# A new tune is heard within a few frames of the tap; a quarter second would mean the old tune's
# queued sound was played out first.
SONG_CHANGE_SECONDS = 0.2
PHONE = (375, 667, 2, True)
MATRIX = [(800, 600, 1, False), (1280, 590, 1, False), (1366, 657, 1, False), (1920, 1080, 1, False),
          (800, 600, 2, False), (1280, 590, 2, False), (1366, 657, 2, False), (1920, 1080, 2, False),
          PHONE]

# The desktop reference: ten frames of each state over several seconds, so that whatever moves
# with time shows up as differing between them; the Down key held for 20 frames (120 pixels, 10
# lines); the shots at the browser's canvas sizes are added once those are known.
MAIN_SHOTS = [300 + 53 * i for i in range(10)]
SWIPED_SHOTS = [812 + 4 * i for i in range(10)]
SKIN2_SHOTS = [1200 + 53 * i for i in range(10)]
DESKTOP_SCRIPT = (
    [f"1 move {PARK[0]} {PARK[1]}", "100 key Escape"]
    + [f"{f} shot main_{i}" for i, f in enumerate(MAIN_SHOTS)]
    + ["790 keydown Down", "810 keyup Down"] + [f"{f} shot swiped_{i}" for i, f in enumerate(SWIPED_SHOTS)]
    + [f"850 move {CHARTS_MENU[0]} {CHARTS_MENU[1]}", "851 click",
       f"900 move {MONTHLY_CHART[0]} {MONTHLY_CHART[1]}", "901 click",
       f"960 move {PARK[0]} {PARK[1]}", "1000 tap F2"]
    + [f"{f} shot skin2_{i}" for i, f in enumerate(SKIN2_SHOTS)]
    + ["1800 key Escape"])
SCALED_SHOT_FRAME = {"main": 778, "swiped": 848, "skin2": 1700}

# What reaches the output, recorded by a worklet put between every source and the destination, on
# the audio thread, so that a busy page loses none of it: heard.start() and heard.stop() record
# the left channel, heard.take() gives the audio time of the first frame and the frames.
AUDIO_TAP = """
(() => {
  const tap = `registerProcessor('quellmark-tap', class extends AudioWorkletProcessor {
    constructor() {
      super();
      this.on = false;
      this.port.onmessage = (e) => { this.on = e.data; };
    }
    process(inputs, outputs) {
      const input = inputs[0], output = outputs[0];
      for (let c = 0; c < output.length && c < input.length; ++c) output[c].set(input[c]);
      if (this.on) {
        const left = new Int16Array(output[0].length);
        if (input.length) for (let i = 0; i < left.length; ++i) left[i] = Math.round(input[0][i] * 32768);
        this.port.postMessage({at: currentTime, left}, [left.buffer]);
      }
      return true;
    }
  });`;
  const module = URL.createObjectURL(new Blob([tap], {type: 'text/javascript'}));
  const taps = [];
  window.heard = {
    blocks: [], at: null,
    start() { this.blocks = []; this.at = null; taps.forEach((t) => t.port.postMessage(true)); },
    stop() { taps.forEach((t) => t.port.postMessage(false)); },
    take() {
      const all = new Int16Array(this.blocks.reduce((n, b) => n + b.length, 0));
      this.blocks.reduce((at, b) => { all.set(b, at); return at + b.length; }, 0);
      const bytes = new Uint8Array(all.buffer);
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      return {at: this.at, frames: btoa(text)};
    },
  };
  // Sound goes through a gain node at once and through the tap as soon as its module is loaded.
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function(target, ...rest) {
    if (!(target instanceof AudioDestinationNode)) return connect.call(this, target, ...rest);
    const through = this.context.createGain();
    connect.call(this, through, ...rest);
    connect.call(through, target);
    this.context.audioWorklet.addModule(module).then(() => {
      const node = new AudioWorkletNode(this.context, 'quellmark-tap', {outputChannelCount: [2]});
      node.port.onmessage = (e) => {
        if (heard.at === null) heard.at = e.data.at;
        heard.blocks.push(e.data.left);
      };
      through.disconnect();
      connect.call(through, node);
      connect.call(node, target);
      taps.push(node);
    });
    return target;
  };
})();
"""

# Every frame put on the canvas while frameChanges.on: the time and how far it is from the one
# before, as the mean of |difference| over every channel of every pixel (0..1).
FRAME_CHANGES = """
window.frameChanges = {on: false, seen: [], last: null};
(() => {
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function(image, ...rest) {
    const watch = frameChanges, d = image.data, last = watch.last;
    if (watch.on && last && last.length === d.length) {
      let sum = 0;
      for (let i = 0; i < d.length; i += 4)
        sum += Math.abs(d[i] - last[i]) + Math.abs(d[i + 1] - last[i + 1]) + Math.abs(d[i + 2] - last[i + 2]);
      watch.seen.push([performance.now(), sum / (d.length / 4 * 3 * 255)]);
    }
    watch.last = watch.on ? new Uint8ClampedArray(d) : null;
    return put.call(this, image, ...rest);
  };
})();
"""
# With reduced motion the flashes are fades: no frame may change the picture by more than this
# (the colour bands change it by 30 % a frame).
FLASH_CHANGE = 0.10

# The program on a page that has no canvas; the page keeps the exit status.
NO_CANVAS_PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><link rel="icon" href="data:,">
<title>no canvas</title></head><body><script>
var Module = {onRuntimeInitialized: function() { Module.callMain([]); },
              onExit: function(status) { window.quellmarkExit = status; }};
</script><script src="quellmark.js"></script></body></html>
"""

failures = []
STARTED = time.time()


def check(condition, message):
    print(f"{time.time() - STARTED:6.1f} " + ("ok    " if condition else "FAIL  ") + message, flush=True)
    if not condition:
        failures.append(message)


# ---- Pictures: height x width x 3 arrays of bytes -------------------------------------------

def read_png(data):
    width, height = struct.unpack(">II", data[16:24])
    raw = subprocess.run(["convert", "png:-", "-depth", "8", "rgb:-"], input=data,
                         stdout=subprocess.PIPE, check=True).stdout
    return np.frombuffer(raw, np.uint8).reshape(height, width, 3)


def write_png(path, picture):
    height, width = picture.shape[:2]
    subprocess.run(["convert", "-size", f"{width}x{height}", "-depth", "8", "rgb:-", path],
                   input=np.ascontiguousarray(picture).tobytes(), check=True)


def static_mask(frames):
    """True where every frame has the same pixel, away from anything that moves and the meter."""
    stack = np.stack(frames)
    moving = (stack != stack[0]).any(axis=(0, 3))
    moving[METER_ROWS] = True
    padded = np.pad(moving, DILATE)
    grown = np.zeros_like(moving)
    for dy in range(2 * DILATE + 1):
        for dx in range(2 * DILATE + 1):
            grown |= padded[dy:dy + HEIGHT, dx:dx + WIDTH]
    return ~grown


def at_size(source, width, height):
    """The frame-sized array `source` looked up at the middle of each of width x height pixels."""
    ys = ((np.arange(height) + 0.5) * HEIGHT / height).astype(int)
    xs = ((np.arange(width) + 0.5) * WIDTH / width).astype(int)
    return source[np.ix_(ys, xs)]


def area_average(frame, width, height):
    """The frame filtered to width x height by the area each target pixel covers (at least half
    a frame pixel wide, so it covers at most three of them on each axis)."""
    def taps(source, target):
        start = np.arange(target) * source / target
        cells = np.floor(start).astype(int)[None, :] + np.arange(3)[:, None]
        cover = np.clip(np.minimum(start + source / target, cells + 1) - np.maximum(start, cells), 0, None)
        return np.minimum(cells, source - 1), cover / cover.sum(axis=0)
    ys, wy = taps(HEIGHT, height)
    xs, wx = taps(WIDTH, width)
    picture = frame.astype(np.float32)
    rows = sum(wy[k][:, None, None] * picture[ys[k]] for k in range(3))
    return sum(wx[k][None, :, None] * rows[:, xs[k]] for k in range(3))


def compare(name, got, expected, mask, out):
    """Checks `got` against `expected` on the pixels of `mask`; marks the differing ones."""
    wrong = mask & (got != expected).any(axis=2)
    detail = ""
    if wrong.any():
        ys, xs = np.nonzero(wrong)
        diff = got // 4
        diff[wrong] = (255, 0, 0)
        write_png(os.path.join(out, f"{name}_diff.png"), diff)
        detail = f" ({len(ys)} differ, within x {xs.min()}..{xs.max()}, y {ys.min()}..{ys.max()})"
    check(mask.mean() > 0.5 and not wrong.any(),
          f"{name}: equals the desktop's frame on all {mask.sum()} static pixels{detail}")


# ---- DevTools protocol ------------------------------------------------------------------------

class Browser:
    def __init__(self, work):
        self.profile = os.path.join(work, "profile")
        self.log = open(os.path.join(work, "chromium.log"), "wb")
        self.process = subprocess.Popen(
            ["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--no-default-browser-check", "--force-color-profile=srgb", "--window-size=800,600",
             "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0",
             f"--user-data-dir={self.profile}", "about:blank"],
            stdout=self.log, stderr=subprocess.STDOUT)
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.time() + 30
        while not (os.path.exists(port_file) and open(port_file).read().count("\n") >= 1):
            if time.time() > deadline or self.process.poll() is not None:
                raise RuntimeError("Chromium did not open its DevTools port (see chromium.log)")
            time.sleep(0.1)
        port = int(open(port_file).read().split()[0])
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list"))
        page = next(t for t in targets if t["type"] == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=60,
                                                  suppress_origin=True)
        self.next_id = 0
        self.events = []

    def send(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})
            self.events.append(message)

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_for(self, expression, seconds):
        deadline = time.time() + seconds
        guarded = f"(() => {{ try {{ return !!({expression}); }} catch (e) {{ return false; }} }})()"
        while time.time() < deadline:
            if self.evaluate(guarded):
                return True
            time.sleep(0.1)
        return False

    def viewport(self, width, height, ratio, touch):
        self.send("Emulation.setTouchEmulationEnabled", enabled=touch, maxTouchPoints=5)
        self.send("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=ratio, mobile=touch)

    def mouse(self, kind, x, y):
        self.send("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left",
                  buttons=1 if kind == "mousePressed" else 0, clickCount=1)

    def click(self, x, y):
        self.mouse("mouseMoved", x, y)
        time.sleep(0.05)
        self.mouse("mousePressed", x, y)
        time.sleep(0.05)
        self.mouse("mouseReleased", x, y)

    def touch(self, points):
        """A finger through the CSS points given, lifted at the last."""
        for i, (x, y) in enumerate(points):
            kind = "touchStart" if i == 0 else "touchMove"
            self.send("Input.dispatchTouchEvent", type=kind, touchPoints=[{"x": x, "y": y, "id": 1}])
            time.sleep(0.03)
        self.send("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])

    def key(self, kind, code, key_code, modifiers=0):
        self.send("Input.dispatchKeyEvent", type=kind, code=code, key=code,
                  windowsVirtualKeyCode=key_code, modifiers=modifiers)

    def tap(self, code, key_code):
        self.key("rawKeyDown", code, key_code)
        time.sleep(0.1)
        self.key("keyUp", code, key_code)

    def canvas(self):
        url = self.evaluate("document.getElementById('screen').toDataURL('image/png')")
        return read_png(base64.b64decode(url.split(",", 1)[1]))

    def errors(self):
        found = []
        for e in self.events:
            method, params = e.get("method"), e.get("params", {})
            if method == "Runtime.exceptionThrown":
                details = params["exceptionDetails"]
                found.append(details.get("text", "exception") + " "
                             + details.get("exception", {}).get("description", ""))
            elif method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
                found.append(" ".join(str(a.get("value", a.get("description"))) for a in params["args"]))
            elif method == "Log.entryAdded" and params["entry"].get("level") == "error":
                found.append(params["entry"].get("text", ""))
        return found

    def close(self):
        try:
            self.socket.close()
        finally:
            self.process.terminate()
            self.process.wait(timeout=20)
            self.log.close()


def audio(browser):
    return browser.evaluate("window.quellmarkAudio ? "
                            "[quellmarkAudio.samples, quellmarkAudio.level] : [0, 0]")


def render_tune(render, kind, number, wav, seconds=10):
    """The desktop's render of a built-in tune ("sid") or module ("xm") from its start: 16-bit
    samples of the left channel."""
    song = ["--song", "1"] if kind == "sid" else []
    subprocess.run([render, kind, "--embedded", str(number), *song, "--seconds", str(seconds), wav],
                   check=True, stdout=subprocess.DEVNULL)
    with wave.open(wav) as w:
        return np.frombuffer(w.readframes(w.getnframes()), np.int16)[::w.getnchannels()].copy()


def take_heard(browser):
    """What the tap recorded since heard.start(): the audio time of its first frame and the left
    channel as 16-bit samples."""
    browser.evaluate("heard.stop()")
    time.sleep(0.3)  # the tap's last blocks are on their way to the page
    taken = browser.evaluate("heard.take()")
    return taken["at"], np.frombuffer(base64.b64decode(taken["frames"]), np.int16)


def find_in(tune, window, near):
    """Where the samples `window` occur in `tune`, the first place from a second before `near`."""
    hay, needle = tune.tobytes(), window.tobytes()
    at = hay.find(needle, 2 * max(0, near - 44100))
    while at >= 0 and at % 2:
        at = hay.find(needle, at + 1)
    return at // 2 if at >= 0 else -1


def breaks(heard, tune):
    """Follows `heard` through the render `tune` from the tune's first sound on. Returns where in
    `heard` the tune starts (None when it is not there) and its breaks: (index in `heard`,
    silent samples put in, samples of the tune skipped there: negative when repeated, None when
    the tune is not found again)."""
    first = int(np.flatnonzero(tune)[0])
    h = find_in(heard, tune[first:first + 256], 0)
    if h < 0:
        return None, []
    start, p, found = h - first, first, []
    while True:
        n = min(len(heard) - h, len(tune) - p)
        wrong = np.flatnonzero(heard[h:h + n] != tune[p:p + n])
        if not len(wrong):
            return start, found
        h, p = h + wrong[0], p + wrong[0]
        sound = np.flatnonzero(heard[h:])
        quiet = h + sound[0] if len(sound) else len(heard)
        if len(heard) - quiet < 256:  # the recording ends silent
            return start, found + [(h, quiet - h, 0)]
        # Where the tune goes on: a window that straddles two pieces of it is not found.
        for h_next in range(quiet, len(heard) - 256, 128):
            q = find_in(tune, heard[h_next:h_next + 256], p)
            if q >= 0:
                break
        else:
            return start, found + [(h, quiet - h, None)]
        found.append((h, quiet - h, q - (h_next - quiet) - p))
        h, p = h_next, q


def box_of(browser, element):
    """The middle of a page element, for a click."""
    return browser.evaluate(f"(() => {{ const r = document.getElementById('{element}')"
                            ".getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()")


def css_point(browser, x, y):
    """Picture pixel (x, y) in CSS pixels of the page."""
    return browser.evaluate(f"(() => {{ const r = document.getElementById('screen').getBoundingClientRect();"
                            f" return [r.x + ({x} + 0.5) * r.width / 800, r.y + ({y} + 0.5) * r.height / 600]; }})()")


def level_after(browser, seconds):
    """The level of the last block once the device has delivered `seconds` more sound."""
    start = audio(browser)[0]
    browser.wait_for(f"window.quellmarkAudio && quellmarkAudio.samples >= {start + int(seconds * 44100)}",
                     seconds * 4 + 5)
    return audio(browser)


def shown(browser):
    """What the screen shows of the canvas, in device pixels, once frames of its size show."""
    browser.wait_for("document.getElementById('screen').width === Module.screenSize[0] && "
                     "document.getElementById('screen').height === Module.screenSize[1]", 5)
    time.sleep(0.3)
    box = browser.evaluate("(() => { const r = document.getElementById('screen').getBoundingClientRect();"
                           " return {x: r.x, y: r.y, width: r.width, height: r.height, scale: 1}; })()")
    data = browser.send("Page.captureScreenshot", format="png", clip=box, optimizeForSpeed=True)["data"]
    return read_png(base64.b64decode(data))


# ---- The run ----------------------------------------------------------------------------------

def pacing(browser):
    """Program frames shown per animation frame over 10 s, as a list of counts."""
    counts = browser.evaluate("""new Promise((done) => {
        const seen = [];
        const start = performance.now();
        const tick = (now) => {
          seen.push(quellmarkDisplay.frames);
          if (now - start < 10000) requestAnimationFrame(tick); else done(seen);
        };
        requestAnimationFrame(tick);
      })""")
    return [b - a for a, b in zip(counts, counts[1:])]


def run(browser, url, render, out):
    """Drives the page; returns the canvases to compare with the desktop's frames at the end."""
    captured = {}
    for domain in ("Runtime", "Log", "Page"):
        browser.send(f"{domain}.enable")
    tap_script = browser.send("Page.addScriptToEvaluateOnNewDocument", source=AUDIO_TAP + FRAME_CHANGES)
    browser.send("Emulation.setEmulatedMedia", features=[{"name": "prefers-reduced-motion", "value": "reduce"}])
    # The smallest phone; quellmark.wasm arrives at 1 MB a second, so its progress shows.
    browser.viewport(320, 568, 2, True)
    browser.send("Network.enable")
    browser.send("Network.emulateNetworkConditions", offline=False, latency=0,
                 downloadThroughput=1 << 20, uploadThroughput=-1)
    browser.send("Page.navigate", url=url)
    check(browser.wait_for("/^LOADING [0-9,]+ KB OF [0-9,]+ KB$/.test(document.getElementById('start')"
                           ".textContent)", 30), "loading shows the kilobytes loaded of the total")
    check(browser.wait_for("!document.getElementById('start').disabled", 60),
          "the page loads and offers its start button")
    browser.send("Network.emulateNetworkConditions", offline=False, latency=0, downloadThroughput=-1,
                 uploadThroughput=-1)
    check(browser.evaluate("document.getElementById('start-panel').scrollWidth <= innerWidth"),
          "the start panel fits a 320-pixel screen")
    browser.viewport(*PHONE)
    browser.touch([box_of(browser, "start")])
    check(browser.wait_for("!document.getElementById('stage').hidden", 10), "a tap on start shows the picture")
    time.sleep(3)
    intro = browser.canvas()
    check(len(np.unique(intro.reshape(-1, 3), axis=0)) > 50, "the intro draws")
    samples, level = level_after(browser, 0.5)
    check(samples > 44100 and level > 0.01, f"the intro's tune plays ({samples} samples, level {level:.3f})")
    check(browser.evaluate("document.getElementById('bar').dataset.offer === 'tunes' && "
                           "!document.getElementById('landscape').hidden"),
          "in the intro the touch bar offers the tunes, and the phone is asked to turn sideways")
    # Tune 7 from the touch bar, heard from its first sample on (the tune before is dropped, not
    # played out); then the page hidden behind another tab, where it gets no animation frames;
    # then its thread stalled three times.
    tune = render_tune(render, "sid", 7, os.path.join(out, "tune7.wav"))
    browser.touch([box_of(browser, "tune-6")])  # the intro's tune is random: the key of it does nothing
    time.sleep(0.2)
    clock = "Module.audioContext.currentTime"
    browser.evaluate(f"document.getElementById('tune-7').addEventListener('click', () => {{"
                     f" window.tunePressed = {clock}; }}); heard.start()")
    browser.touch([box_of(browser, "tune-7")])
    time.sleep(0.5)
    other = browser.send("Target.createTarget", url="about:blank")["targetId"]
    hidden = browser.wait_for("document.hidden", 5)
    time.sleep(1.5)
    browser.send("Target.closeTarget", targetId=other)
    hidden = hidden and browser.wait_for("!document.hidden", 5)
    stalls = []
    for ms in STALLS_MS:
        time.sleep(0.5)
        stalls.append(browser.evaluate(f"""(() => {{ const at = {clock};
            const end = performance.now() + {ms}; while (performance.now() < end); return at; }})()"""))
    time.sleep(0.5)
    at, heard = take_heard(browser)
    with wave.open(os.path.join(out, "heard.wav"), "wb") as w:  # for a listen when this fails
        w.setparams((1, 2, 44100, 0, "NONE", ""))
        w.writeframes(heard.tobytes())
    start, found = breaks(heard, tune)
    pressed = browser.evaluate("window.tunePressed")
    after = lambda index: at + index / 44100 - pressed  # noqa: E731  (seconds after the tap)
    check(start is not None and after(start) < SONG_CHANGE_SECONDS,
          "the touch bar's tune 7 plays tune 7 from its start"
          + (f", {1000 * after(start):.0f} ms after the tap" if start is not None else ": not heard"))

    def said(found):
        return "; ".join(f"at {after(h):.2f} s {quiet / 44.1:.0f} ms of silence"
                         + (", the tune lost" if skipped is None else
                            f", {abs(skipped) / 44.1:.0f} ms {'skipped' if skipped >= 0 else 'repeated'}")
                         for h, quiet, skipped in found) or "none"
    stalled = [b for b in found if at + b[0] / 44100 >= stalls[0]]
    unstalled = [b for b in found if b not in stalled]
    check(start is not None and hidden and not unstalled,
          f"the sound goes on without a break while the page is hidden for 1.5 s (breaks: {said(unstalled)})")
    check(start is not None and all(at + h / 44100 >= stalls[-1] and skipped == 0 for h, _, skipped in stalled),
          f"stalls of the page of {', '.join(map(str, STALLS_MS))} ms at "
          f"{', '.join(f'{t - pressed:.2f}' for t in stalls)} s: the sound goes on without a gap or a repeat "
          f"below {STALLS_MS[-1]} ms, and on from where it stopped after a gap (breaks: {said(stalled)})")
    browser.send("Page.removeScriptToEvaluateOnNewDocument", identifier=tap_script["identifier"])
    # The intro's closing flashes last 3 s from the tap that leaves it; the magazine comes after.
    left = browser.evaluate("frameChanges.on = true; performance.now()")
    browser.touch([css_point(browser, 400, 300)])
    check(browser.wait_for("document.getElementById('bar').dataset.offer === 'skins'", 10),
          "a tap leaves the intro, and the touch bar offers the skins")
    flash = [change for at, change in browser.evaluate("frameChanges.on = false; frameChanges.seen")
             if at - left < 2900]
    check(len(flash) > 20 and max(flash) <= FLASH_CHANGE,
          f"with reduced motion no frame of the intro's flash differs from the one before by more than "
          f"{100 * FLASH_CHANGE:.0f} % of full brightness on average ({len(flash)} frames, the most "
          f"{100 * max(flash, default=1):.1f} %)")
    browser.send("Emulation.setEmulatedMedia", features=[])

    browser.viewport(800, 600, 1, False)
    browser.mouse("mouseMoved", *PARK)
    time.sleep(3)
    captured["main"] = browser.canvas()
    samples, level = level_after(browser, 0.5)
    check(level > 0.01, f"the module plays in the main loop (level {level:.3f})")

    shown_per_frame = pacing(browser)
    single = shown_per_frame.count(1) / max(1, len(shown_per_frame))
    print(f"pacing: {len(shown_per_frame)} animation frames, program frames shown in each: "
          + ", ".join(f"{n}: {shown_per_frame.count(n)}" for n in sorted(set(shown_per_frame))), flush=True)
    check(single >= 0.99, f"one program frame per animation frame in {100 * single:.1f} % of them")
    frames0, work0 = browser.evaluate("[quellmarkDisplay.frames, quellmarkDisplay.workMs]")
    time.sleep(2)
    frames1, work1 = browser.evaluate("[quellmarkDisplay.frames, quellmarkDisplay.workMs]")
    print(f"frame time: {(work1 - work0) / max(frames1 - frames0, 1):.2f} ms a frame of the program's own work",
          flush=True)

    # The keys the program reads in the magazine are kept from the browser; F3 is not one of them.
    browser.evaluate("addEventListener('keydown', (e) => { window.keyTaken = e.defaultPrevented; }); 0")
    taken = {}
    for code, key_code in (("F3", 114), ("F1", 112), ("ArrowUp", 38)):
        browser.tap(code, key_code)
        taken[code] = browser.evaluate("window.keyTaken")
    check(taken == {"F3": False, "F1": True, "ArrowUp": True}, f"keys taken in the magazine: {taken}")

    # Half a notch moves nothing; the second half scrolls.
    before = browser.canvas()
    wheel = []
    for _ in range(2):
        browser.send("Input.dispatchMouseEvent", type="mouseWheel", x=400, y=400, deltaX=0, deltaY=60)
        time.sleep(0.4)
        wheel.append(int((browser.canvas()[PAGE] != before[PAGE]).any(axis=2).sum()))
    check(wheel[0] == 0 and wheel[1] > 5000, f"the wheel scrolls by distance (pixels changed: {wheel})")
    browser.tap("Home", 36)

    # The full-screen button, which sits in the picture's corner without a touch screen, aside.
    browser.evaluate("document.getElementById('fullscreen').style.visibility = 'hidden'")
    for width, height, ratio, touch in MATRIX:
        browser.viewport(width, height, ratio, touch)
        name = f"{width}x{height}@{ratio}"
        captured[name] = shown(browser)

    # The phone: a swipe of 120 picture pixels upward, then taps on the menus and the touch bar.
    start = css_point(browser, *SWIPE_START)
    end = css_point(browser, SWIPE_START[0], SWIPE_START[1] - 120)
    browser.touch([(start[0], start[1] + (end[1] - start[1]) * i / 10) for i in range(11)])
    captured["swiped"] = shown(browser)
    browser.touch([css_point(browser, *CHARTS_MENU)])
    time.sleep(1.5)
    browser.touch([css_point(browser, *MONTHLY_CHART)])
    time.sleep(3)
    chart = shown(browser)
    changed = (chart != captured["swiped"]).any(axis=2).mean()
    check(changed > 0.05, f"taps on \"> Charts Menu\" and \"> Monthly Chart\" change the page ({100 * changed:.0f} %)")
    browser.touch([css_point(browser, 789, 589)])  # the pointer back where the desktop parks it
    browser.touch([box_of(browser, "skin-2")])
    captured["skin2"] = shown(browser)

    browser.viewport(800, 600, 1, False)
    browser.evaluate("document.getElementById('fullscreen').style.visibility = ''")
    browser.mouse("mouseMoved", *PARK)
    time.sleep(1)
    browser.click(*MUSIC_BUTTON_SKIN2)
    samples, level = level_after(browser, 0.5)
    check(level == 0, f"the music button switches the music off (level {level:.3f})")
    browser.click(*SONG2_BUTTON_SKIN2)
    samples, level = level_after(browser, 0.5)
    check(level > 0.01, f"a song button plays another module (level {level:.3f})")

    browser.click(*box_of(browser, "fullscreen"))
    check(browser.wait_for("document.fullscreenElement === document.getElementById('stage')", 5)
          and browser.evaluate("document.activeElement === document.getElementById('screen')"),
          "the full-screen button puts the picture full screen and gives the keys back to it")
    browser.key("rawKeyDown", "Enter", 13, modifiers=1)
    browser.key("keyUp", "Enter", 13, modifiers=1)
    check(browser.wait_for("document.fullscreenElement === null", 5), "Alt+Enter leaves full screen")

    browser.tap("Escape", 27)
    check(browser.wait_for("!document.getElementById('ended').hidden", 10)
          and browser.wait_for("Module.audioContext.state === 'closed'", 5),
          "Escape ends the program and its sound, and the page says so")

    # The browser closes the audio context under the intro's tune: the device is lost, so the SID
    # player's requeue is refused and a notice says so.
    browser.send("Page.navigate", url=url)
    browser.wait_for("!document.getElementById('start').disabled", 60)
    browser.click(*box_of(browser, "start"))
    browser.wait_for("window.quellmarkAudio && quellmarkAudio.level > 0", 10)
    browser.evaluate("Module.audioContext.close()")
    notice = "document.querySelector('#notices .notice:not([hidden])')"
    check(browser.wait_for(f"{notice}.textContent.includes('The audio device was removed.')", 10),
          "a closed audio context is a lost device: "
          + str(browser.evaluate(f"{notice} && {notice}.textContent")))

    # A browser without Web Audio: the SID player's message is a notice beside the picture, and
    # the magazine runs on without sound.
    script = browser.send("Page.addScriptToEvaluateOnNewDocument",
                          source="delete window.AudioContext; window.AudioContext = undefined;")
    browser.send("Page.navigate", url=url)
    browser.wait_for("!document.getElementById('start').disabled", 60)
    browser.click(*box_of(browser, "start"))
    apart = browser.wait_for("""(() => {
        const n = document.querySelector('#notices .notice:not([hidden])');
        const a = n.getBoundingClientRect(), b = document.getElementById('screen').getBoundingClientRect();
        return a.top >= b.bottom || a.bottom <= b.top; })()""", 10)
    said = browser.evaluate("document.querySelector('#notices .notice:not([hidden])').textContent")
    check(apart and "Error" not in said, f"without Web Audio a notice beside the picture says: {said}")
    browser.evaluate("document.querySelector('#notices .notice button').click(); 0")
    check(browser.wait_for("!document.querySelector('#notices .notice:not([hidden])')", 5),
          "the notice goes when dismissed")
    time.sleep(1)
    check(len(np.unique(browser.canvas().reshape(-1, 3), axis=0)) > 50, "and the intro runs on without sound")
    browser.send("Page.removeScriptToEvaluateOnNewDocument", identifier=script["identifier"])

    # A page without the canvas: the program cannot open its display and ends with status -1.
    browser.send("Page.navigate", url=url + "no_canvas.html")
    check(browser.wait_for("window.quellmarkExit === -1", 30),
          "without a canvas the display does not open and the program ends with -1")
    time.sleep(0.5)
    errors = browser.errors()
    check(not errors, "no console errors" + (": " + "; ".join(errors) if errors else ""))

    browser.send("Page.navigate", url=url + "nowasm/")
    browser.wait_for("document.querySelector('.notice.trouble')", 30)
    said = browser.evaluate("document.querySelector('.notice.trouble').textContent")
    check("quellmark.wasm" in said and "404" in said, f"without quellmark.wasm the page says: {said}")
    return captured


def offline(browser, url, server):
    """After the visits above, with the server gone and the network off, a reload starts."""
    browser.send("Page.navigate", url=url)
    browser.wait_for("!document.getElementById('start').disabled", 60)
    browser.evaluate("navigator.serviceWorker.ready.then(() => true)")
    errors = browser.send("Page.getInstallabilityErrors")["installabilityErrors"]
    check(not errors, f"the browser can install the magazine as an app {errors or ''}")
    server.terminate()
    server.wait(timeout=20)
    browser.send("Network.enable")
    browser.send("Network.emulateNetworkConditions", offline=True, latency=0, downloadThroughput=-1,
                 uploadThroughput=-1)
    browser.send("Page.reload")
    started = browser.wait_for("!document.getElementById('start').disabled", 30)
    if started:
        browser.click(*box_of(browser, "start"))
        started = browser.wait_for("quellmarkDisplay.frames > 30 && quellmarkAudio.level > 0", 10)
    check(started, "with the network off a reload starts the magazine, with its sound")


def compressed(url, site):
    """The server sends NAME.br or NAME.gz as NAME with its Content-Encoding."""
    for encoding in ("br", "gzip"):
        suffix = ".br" if encoding == "br" else ".gz"
        if not os.path.exists(os.path.join(site, "quellmark.wasm" + suffix)):
            check(encoding == "br", f"make web wrote quellmark.wasm{suffix}")
            continue
        request = urllib.request.Request(url + "quellmark.wasm", headers={"Accept-Encoding": encoding})
        with urllib.request.urlopen(request) as response:
            body, sent = response.read(), response.headers.get("Content-Encoding")
        with open(os.path.join(site, "quellmark.wasm"), "rb") as f:
            raw = f.read()
        same = gzip.decompress(body) == raw if encoding == "gzip" else len(body) < len(raw)
        check(sent == encoding and same, f"the server sends quellmark.wasm with Content-Encoding {encoding}")


def desktop_compare(shot, captured, out):
    """The desktop's frames, unscaled and scaled to each canvas's size, against the browser's."""
    folder = os.path.join(out, "desktop")
    os.makedirs(folder, exist_ok=True)
    lines = list(DESKTOP_SCRIPT)
    for name, picture in captured.items():
        kind = name if name in SCALED_SHOT_FRAME else "main"
        height, width = picture.shape[:2]
        lines.append(f"{SCALED_SHOT_FRAME[kind]} shot scaled_{name.replace('@', '_')} {width}x{height}")
    script = os.path.join(folder, "script.txt")
    with open(script, "w") as f:
        f.write("\n".join(lines) + "\n")
    # The recorded sound plays the module, so the level meter moves as in the browser.
    subprocess.run([shot, "--script", script, "--out", folder,
                    "--audio-out", os.path.join(folder, "sound.raw")],
                   check=True, stdout=subprocess.DEVNULL)

    def load(name):
        with open(os.path.join(folder, name + ".png"), "rb") as f:
            return read_png(f.read())
    main = [load(f"main_{i}") for i in range(len(MAIN_SHOTS))]
    skin2 = [load(f"skin2_{i}") for i in range(len(SKIN2_SHOTS))]
    swiped = [load(f"swiped_{i}") for i in range(len(SWIPED_SHOTS))]
    masks = {"main": static_mask(main), "swiped": static_mask(swiped), "skin2": static_mask(skin2)}
    compare("main loop at 800 x 600, the canvas", captured.pop("main"), main[0], masks["main"], out)
    page = np.zeros((HEIGHT, WIDTH), bool)
    page[PAGE] = True
    for name, screen in captured.items():
        kind = name if name in SCALED_SHOT_FRAME else "main"
        height, width = screen.shape[:2]
        mask = at_size(masks[kind], width, height)
        compare(f"{name}, the screen ({width} x {height} device pixels)", screen,
                load(f"scaled_{name.replace('@', '_')}"), mask, out)
        if kind == "main":
            far = np.abs(screen - area_average(main[0], width, height)).max(axis=2)
            far[~(mask & at_size(page, width, height))] = 0
            y, x = np.unravel_index(far.argmax(), far.shape)
            check(far.max() <= AREA_TOLERANCE,
                  f"{name}: the page text is the area average of the frame, no glyph row or column "
                  f"lost (largest difference {far.max():.0f} at x {x}, y {y})")
            write_png(os.path.join(out, f"crop_{name}.png"), screen[at_size_slices(CROP, width, height)])


def at_size_slices(region, width, height):
    ys, xs = region
    return (slice(ys.start * height // HEIGHT, ys.stop * height // HEIGHT),
            slice(xs.start * width // WIDTH, xs.stop * width // WIDTH))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--site", required=True, help="the folder make web fills (build-web)")
    parser.add_argument("--shot", required=True, help="the desktop's quellmark-shot")
    parser.add_argument("--render", required=True, help="the desktop's quellmark-render")
    parser.add_argument("--out", required=True, help="folder for screenshots and frames")
    args = parser.parse_args()
    began = time.time()
    os.makedirs(args.out, exist_ok=True)
    here = os.path.dirname(os.path.abspath(__file__))
    serve = os.path.join(here, "..", "..", "web", "serve.py")
    work = tempfile.mkdtemp(prefix="quellmark-web-")
    site = os.path.join(work, "site")
    shutil.copytree(args.site, site)
    with open(os.path.join(site, "no_canvas.html"), "w") as f:
        f.write(NO_CANVAS_PAGE)
    os.makedirs(os.path.join(site, "nowasm"))
    for name in ("index.html", "quellmark.js"):
        shutil.copy(os.path.join(args.site, name), os.path.join(site, "nowasm"))
    server = subprocess.Popen([sys.executable, serve, site, "0"], stdout=subprocess.PIPE, text=True)
    browser = None
    try:
        url = server.stdout.readline().strip()
        compressed(url, site)
        browser = Browser(work)
        captured = run(browser, url, args.render, args.out)
        offline(browser, url, server)
        desktop_compare(args.shot, captured, args.out)
    finally:
        if browser:
            browser.close()
            shutil.copy(os.path.join(work, "chromium.log"), args.out)
        server.terminate()
        server.wait(timeout=20)
        shutil.rmtree(work, ignore_errors=True)
    print(f"screenshots in {args.out}; {time.time() - began:.0f} s", flush=True)
    if failures:
        print(f"{len(failures)} check(s) failed", flush=True)
        return 1
    print("all checks passed", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
