#!/usr/bin/python3
# The magazine in a web browser, end to end.
#
# Serves the web build on 127.0.0.1 and drives Debian's headless Chromium through the DevTools
# protocol as a reader would, on a phone (375 x 667, 2 device pixels a CSS pixel, touch) and at a
# matrix of window sizes. What the screen shows is compared with the desktop program's headless
# frames scaled by its sharp scaler, what reaches the sound output with the desktop's render.
#
#     web_test.py --site build-web --shot build/tools/shot/quellmark-shot \
#                 --render build/tools/render/quellmark-render --out DIR
#
# Screenshots, crops of the same text at every size and the differing pixels are written to DIR.
import argparse
import base64
import json
import os
import shutil
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
# "> Charts Menu", the last slot of the Articles menu's second column; "> Monthly Chart", the first
# slot of the Charts menu.
CHARTS_MENU, MONTHLY_CHART = (500, 114), (250, 66)
# The level meter follows the music, which the two programs do not hear at the same moment; pixels
# next to one that moves in the desktop's frames are not compared either.
METER_ROWS, DILATE = slice(128, 151), 3
# The page text: rows 193..569 of the frame, text columns 1..80; the editorial's first lines, cropped
# at every size for a person to look at.
PAGE, CROP = (slice(193, 570), slice(32, 752)), (slice(193, 290), slice(32, 392))
# Stalls of the page's thread while a tune plays: the output queue holds a quarter second, so the
# first two pass unheard and the last may leave a gap, after which the tune goes on where it stopped.
STALLS_MS = (100, 200, 300)
# With reduced motion the flashes are fades: no frame may change the picture by more than this on
# average (the colour bands change it by 30 % a frame).
FLASH_CHANGE = 0.10
PHONE = (375, 667, 2, True)
MATRIX = [(w, h, r, False) for r in (1, 2) for w, h in ((800, 600), (1280, 590), (1366, 657), (1920, 1080))]

# The desktop's reference: ten frames of each state over several seconds (first frame, step), so
# that whatever moves with time differs between them, and the frame shot at the browser's sizes.
# The Down key held for 20 frames scrolls 120 pixels (10 lines), as the swipe does.
SHOTS = {"main": (300, 53, 778), "swiped": (812, 4, 848), "skin2": (1200, 53, 1700)}
DESKTOP_SCRIPT = [
    f"1 move {PARK[0]} {PARK[1]}", "100 key Escape", "790 keydown Down", "810 keyup Down",
    f"850 move {CHARTS_MENU[0]} {CHARTS_MENU[1]}", "851 click", f"900 move {MONTHLY_CHART[0]} {MONTHLY_CHART[1]}",
    "901 click", f"960 move {PARK[0]} {PARK[1]}", "1000 tap F2", "1800 key Escape"] + [
    f"{first + step * i} shot {kind}_{i}" for kind, (first, step, _) in SHOTS.items() for i in range(10)]

# What reaches the output, recorded on the audio thread by a worklet that every node connected to
# the destination feeds too, so that a busy page loses none of it: heard.start() records the left
# channel, heard.take() stops and gives the blocks recorded, each [audio time, 16-bit samples].
AUDIO_TAP = """(() => {
  const module = URL.createObjectURL(new Blob([`registerProcessor('quellmark-tap', class extends AudioWorkletProcessor {
    constructor() { super(); this.port.onmessage = (e) => { this.on = e.data; }; }
    process([input]) {
      const left = Array.from(input[0] || new Float32Array(128), (v) => v * 32768);
      if (this.on) this.port.postMessage([currentTime, left]);
      return true;
    } });`], {type: 'text/javascript'}));
  const taps = [], connect = AudioNode.prototype.connect, tell = (on) => taps.forEach((t) => t.port.postMessage(on));
  // take() waits while the tap's last blocks are on their way to the page.
  window.heard = {start() { this.blocks = []; tell(true); },
                  take() { tell(false); return new Promise((done) => setTimeout(() => done(this.blocks), 300)); }};
  AudioNode.prototype.connect = function(target, ...rest) {
    if (target instanceof AudioDestinationNode) this.context.audioWorklet.addModule(module).then(() => {
      taps.push(new AudioWorkletNode(this.context, 'quellmark-tap'));
      taps.at(-1).port.onmessage = (e) => heard.blocks.push(e.data);
      connect.call(connect.call(this, taps.at(-1)), target);
    });
    return connect.call(this, target, ...rest);
  };
})();
"""
# Every frame put on the canvas while frameChanges.on: the time, how far it is from the one before
# as the mean of |difference| over every channel of every pixel (0..1), and the ms since that one.
FRAME_CHANGES = """window.frameChanges = {on: false, seen: [], last: null};
CanvasRenderingContext2D.prototype.putImageData = ((put) => function(image, ...rest) {
  const d = image.data, last = frameChanges.last, same = frameChanges.on && last && last.length === d.length;
  let sum = 0, now = performance.now();
  for (let i = 0; same && i < d.length; i += 4)
    sum += Math.abs(d[i] - last[i]) + Math.abs(d[i + 1] - last[i + 1]) + Math.abs(d[i + 2] - last[i + 2]);
  if (same) frameChanges.seen.push([now, sum / (d.length / 4 * 3 * 255), now - frameChanges.at]);
  [frameChanges.last, frameChanges.at] = [frameChanges.on ? new Uint8ClampedArray(d) : null, now];
  return put.call(this, image, ...rest);
})(CanvasRenderingContext2D.prototype.putImageData);
window.$ = (id) => document.getElementById(id);
"""
NOTICE = "document.querySelector('#notices .notice:not([hidden])')"
STARTED, failures = time.time(), []


def check(condition, message):
    print(f"{time.time() - STARTED:6.1f} " + ("ok    " if condition else "FAIL  ") + message, flush=True)
    failures.extend([] if condition else [message])


# ---- Pictures: height x width x 3 arrays of bytes -------------------------------------------

def read_png(data):  # the bytes of a PNG file, or its path
    data = open(data, "rb").read() if isinstance(data, str) else data
    raw = subprocess.run(["convert", "png:-", "-depth", "8", "rgb:-"], input=data, capture_output=True, check=True)
    return np.frombuffer(raw.stdout, np.uint8).reshape(*(int.from_bytes(data[i:i + 4], "big") for i in (20, 16)), 3)


def write_png(path, picture):
    subprocess.run(["convert", "-size", f"{picture.shape[1]}x{picture.shape[0]}", "-depth", "8", "rgb:-", path],
                   input=np.ascontiguousarray(picture, np.uint8).tobytes(), check=True)


# True where every frame has the same pixel, away from anything that moves and from the meter.
def static_mask(frames):
    moving = (np.stack(frames) != frames[0]).any(axis=(0, 3))
    moving[METER_ROWS] = True
    return ~np.lib.stride_tricks.sliding_window_view(np.pad(moving, DILATE), (2 * DILATE + 1,) * 2).any(axis=(2, 3))


# The frame-sized array `source` looked up at the middle of each of width x height pixels.
def at_size(source, width, height):
    ys = ((np.arange(height) + 0.5) * HEIGHT / height).astype(int)
    return source[np.ix_(ys, ((np.arange(width) + 0.5) * WIDTH / width).astype(int))]


# The frame filtered to width x height by the area each target pixel covers (at least half a frame
# pixel wide, so it covers at most three of them on each axis).
def area_average(frame, width, height):
    def taps(source, target):
        start = np.arange(target) * source / target
        cells = np.floor(start).astype(int)[None, :] + np.arange(3)[:, None]
        cover = np.clip(np.minimum(start + source / target, cells + 1) - np.maximum(start, cells), 0, None)
        return np.minimum(cells, source - 1), cover / cover.sum(axis=0)
    (ys, wy), (xs, wx) = taps(HEIGHT, height), taps(WIDTH, width)
    rows = sum(wy[k][:, None, None] * frame.astype(np.float32)[ys[k]] for k in range(3))
    return sum(wx[k][None, :, None] * rows[:, xs[k]] for k in range(3))


# ---- DevTools protocol ------------------------------------------------------------------------

class Browser:
    def __init__(self, work):
        self.profile, self.next_id, self.events = os.path.join(work, "profile"), 0, []
        self.process = subprocess.Popen(
            ["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--force-color-profile=srgb", "--window-size=800,600", "--remote-debugging-port=0",
             f"--user-data-dir={self.profile}", "about:blank"],
            stdout=open(os.path.join(work, "chromium.log"), "wb"), stderr=subprocess.STDOUT)
        port_file, deadline = os.path.join(self.profile, "DevToolsActivePort"), time.time() + 30
        while not (os.path.exists(port_file) and open(port_file).read().count("\n") >= 1):
            if time.time() > deadline or self.process.poll() is not None:
                raise RuntimeError("Chromium did not open its DevTools port (see chromium.log)")
            time.sleep(0.1)
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{open(port_file).read().split()[0]}/json/list"))
        page = next(t for t in targets if t["type"] == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=60, suppress_origin=True)

    def send(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while (message := json.loads(self.socket.recv())).get("id") != self.next_id:
            self.events.append(message)
        if "error" in message:
            raise RuntimeError(f"{method}: {message['error']}")
        return message.get("result", {})

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_for(self, expression, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if self.evaluate(f"(() => {{ try {{ return !!({expression}); }} catch (e) {{ return false; }} }})()"):
                return True
            time.sleep(0.1)
        return False

    # The page lays itself out again on its resize and pointer events, which come a frame later:
    # until then its buttons may still sit where the last size put them (the full-screen button in
    # the touch bar), so this waits for them.
    def viewport(self, w, h, ratio, touch):
        self.send("Emulation.setTouchEmulationEnabled", enabled=touch, maxTouchPoints=5)
        self.send("Emulation.setDeviceMetricsOverride", width=w, height=h, deviceScaleFactor=ratio, mobile=touch)
        self.wait_for(f"innerWidth === {w} && innerHeight === {h} && devicePixelRatio === {ratio} && document.body."
                      f"classList.contains('touch') === !!(document.getElementById('stage') && {int(touch)})", 5)

    def mouse(self, x, y, kinds=("mouseMoved", "mousePressed", "mouseReleased")):  # a click, or the kinds given
        for kind in kinds:
            self.send("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left",
                      buttons=1 if kind == "mousePressed" else 0, clickCount=1)
            time.sleep(0.05)

    def touch(self, points):  # a finger through the CSS points given, lifted at the last
        for i, (x, y) in enumerate(points):
            self.send("Input.dispatchTouchEvent", type="touchMove" if i else "touchStart",
                      touchPoints=[{"x": x, "y": y, "id": 1}])
            time.sleep(0.03)
        self.send("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])

    def tap(self, code, vk, **modifiers):
        for kind in ("rawKeyDown", "keyUp"):
            self.send("Input.dispatchKeyEvent", type=kind, code=code, key=code, windowsVirtualKeyCode=vk, **modifiers)
            time.sleep(0.1)

    def errors(self):  # exceptions, console.error and the browser's own errors, as they came
        return [json.dumps(e["params"])[:400] for e in self.events if e.get("method") == "Runtime.exceptionThrown"
                or e.get("method") == "Runtime.consoleAPICalled" and e["params"]["type"] in ("error", "assert")
                or e.get("method") == "Log.entryAdded" and e["params"]["entry"]["level"] == "error"]

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=20)


# Where picture pixel (x, y) is on the page in CSS pixels, spread over a page element: by default
# the element's middle, for a click or a tap.
def box_of(browser, element, x=399.5, y=299.5):
    return browser.evaluate(f"(r => [r.x + ({x} + 0.5) * r.width / 800, r.y + ({y} + 0.5) * r.height / 600])"
                            f"(document.getElementById('{element}').getBoundingClientRect())")


# What the screen shows of the canvas, in device pixels, once frames of its size show.
def shown(browser):
    browser.wait_for("$('screen').width === Module.screenSize[0] && $('screen').height === Module.screenSize[1]", 5)
    time.sleep(0.3)
    box = browser.evaluate("(({x, y, width, height}) => ({x, y, width, height, scale: 1}))"
                           "($('screen').getBoundingClientRect())")
    data = browser.send("Page.captureScreenshot", format="png", clip=box, optimizeForSpeed=True)["data"]
    return read_png(base64.b64decode(data))


# ---- Sound --------------------------------------------------------------------------------------

# The desktop's render of a built-in tune ("sid") or module ("xm") from its start: 16-bit samples
# of the left channel.
def render_tune(render, kind, number, wav, seconds=10):
    subprocess.run([render, kind, "--embedded", str(number), *(["--song", "1"] if kind == "sid" else []),
                    "--seconds", str(seconds), wav], check=True, stdout=subprocess.DEVNULL)
    with wave.open(wav) as w:
        return np.frombuffer(w.readframes(w.getnframes()), np.int16)[::w.getnchannels()].copy()


# What the tap recorded since heard.start(): the audio time of its first frame and the left channel
# as 16-bit samples.
def take_heard(browser):
    blocks = browser.evaluate("heard.take()")
    return blocks[0][0], np.array([sample for _, left in blocks for sample in left], np.int16)


# Where the samples `window` occur in `tune`, the first place from a second before `near`.
def find_in(tune, window, near):
    hay, needle = tune.tobytes(), window.tobytes()
    at = hay.find(needle, 2 * max(0, near - 44100))
    while at >= 0 and at % 2:
        at = hay.find(needle, at + 1)
    return at // 2 if at >= 0 else -1


# Follows `heard` through the render `tune` from the tune's first sound on. Returns where in `heard`
# the tune starts (None when it is not there) and its breaks: (index in `heard`, silent samples put
# in, samples of the tune skipped there: negative when repeated, None when it is not found again).
def breaks(heard, tune):
    first = int(np.flatnonzero(tune)[0])
    if (h := find_in(heard, tune[first:first + 256], 0)) < 0:
        return None, []
    start, p, found = h - first, first, []
    while len(wrong := np.flatnonzero(heard[h:h + len(tune) - p] != tune[p:p + len(heard) - h])):
        h, p = h + wrong[0], p + wrong[0]
        quiet = h + next(iter(np.flatnonzero(heard[h:])), len(heard) - h)
        # Where the tune goes on: a window that straddles two pieces of it is not found.
        on = next(((n, q) for n in range(quiet, len(heard) - 256, 128)
                   if (q := find_in(tune, heard[n:n + 256], p)) >= 0), None)
        found.append((h, quiet - h, None if on is None else on[1] - (on[0] - quiet) - p))
        if on is None:
            break
        h, p = on
    return start, found


# The touch bar's tune 7, heard from its first sample (the tune before dropped, not played out);
# then the page hidden behind another tab, where it gets no animation frames; then its thread
# stalled. Times are the audio clock's, from the tap.
def sound(browser, render, out):
    tune = render_tune(render, "sid", 7, os.path.join(out, "tune7.wav"))
    browser.touch([box_of(browser, "tune-6")])  # the intro's tune is random: the key of it does nothing
    time.sleep(0.2)
    clock = "Module.audioContext.currentTime"
    browser.evaluate(f"$('tune-7').addEventListener('click', () => {{ window.pressed = {clock}; }}); heard.start()")
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
        stalls.append(browser.evaluate(f"(() => {{ const at = {clock}, end = performance.now() + {ms};"
                                       " while (performance.now() < end); return at - pressed; })()"))
    time.sleep(0.5)
    at, heard = take_heard(browser)
    heard.tofile(os.path.join(out, "heard.raw"))  # 16-bit mono at 44,100 Hz, for a listen when this fails
    start, found = breaks(heard, tune)
    at -= browser.evaluate("pressed")
    when = [at + h / 44100 for h, _, _ in found]
    said = "; ".join(f"at {t:.2f} s {quiet / 44.1:.0f} ms of silence, "
                     + ("the tune lost" if skipped is None else f"{skipped / 44.1:+.0f} ms of the tune")
                     for t, (_, quiet, skipped) in zip(when, found)) or "none"
    # A new tune is heard within a few frames of the tap; a quarter second would mean the old tune's
    # queued sound was played out first.
    check(start is not None and at + start / 44100 < 0.2, "the touch bar's tune 7 plays tune 7 from its "
          "start" + (f", {1000 * (at + start / 44100):.0f} ms after the tap" if start is not None else ": not heard"))
    check(start is not None and hidden and all(t >= stalls[0] for t in when),
          f"the sound goes on without a break while the page is hidden for 1.5 s (breaks: {said})")
    check(start is not None and all(t >= stalls[-1] and b[2] == 0 for t, b in zip(when, found)),
          f"stalls of the page of {', '.join(map(str, STALLS_MS))} ms at {', '.join(f'{t:.2f}' for t in stalls)} s:"
          f" no gap and no repeat below {STALLS_MS[-1]} ms, on from where it stopped after a gap (breaks: {said})")


# ---- The run ----------------------------------------------------------------------------------

# Drives the page; returns the screens to compare with the desktop's frames: (name, the desktop's
# state in SHOTS, picture).
def run(browser, url, render, out):
    for domain in ("Runtime", "Log", "Page", "Network"):
        browser.send(f"{domain}.enable")
    tap_script = browser.send("Page.addScriptToEvaluateOnNewDocument", source=AUDIO_TAP)
    browser.send("Page.addScriptToEvaluateOnNewDocument", source=FRAME_CHANGES)
    browser.send("Emulation.setEmulatedMedia", features=[{"name": "prefers-reduced-motion", "value": "reduce"}])
    # The smallest phone; quellmark.wasm arrives at 1 MB a second, so its progress shows.
    browser.viewport(320, 568, 2, True)
    network = {"offline": False, "latency": 0, "uploadThroughput": -1}
    browser.send("Network.emulateNetworkConditions", downloadThroughput=1 << 20, **network)
    browser.send("Page.navigate", url=url)
    check(browser.wait_for("/^LOADING [0-9,]+ KB OF [0-9,]+ KB$/.test($('start').textContent)", 30)
          and browser.wait_for("!$('start').disabled && $('start-panel').scrollWidth <= innerWidth", 60),
          "loading shows the kilobytes loaded of the total, then the start button, in a panel that fits 320 pixels")
    browser.send("Network.emulateNetworkConditions", downloadThroughput=-1, **network)
    # make web writes NAME.gz (and NAME.br where brotli is installed) beside NAME; the server sends it.
    sent = [{k.lower(): v for k, v in e["params"]["response"]["headers"].items()}.get("content-encoding")
            for e in browser.events if e.get("method") == "Network.responseReceived"
            and e["params"]["response"]["url"].endswith("/quellmark.wasm")]
    check(sent[:1] in (["gzip"], ["br"]), f"quellmark.wasm comes compressed ({sent})")
    browser.viewport(*PHONE)
    browser.touch([box_of(browser, "start")])
    check(browser.wait_for("!$('stage').hidden && quellmarkAudio.level > 0.01 && $('bar').dataset.offer === 'tunes' "
                           "&& !$('landscape').hidden", 10),
          "a tap on start starts the intro and its tune; the touch bar offers the tunes; turn the phone, it asks")
    sound(browser, render, out)
    browser.send("Page.removeScriptToEvaluateOnNewDocument", identifier=tap_script["identifier"])
    # The intro's closing flashes last 3 s from the tap that leaves it; the magazine comes after.
    # Each frame's change is counted per display refresh (60 Hz) that passed since the one before,
    # so that frames a busy machine leaves out do not count as a harder change.
    left = browser.evaluate("frameChanges.on = true; performance.now()")
    browser.touch([box_of(browser, "screen", 400, 300)])
    skins = browser.wait_for("$('bar').dataset.offer === 'skins'", 10)
    flash = [change * min(1, 1000 / 60 / gap) for at, change, gap
             in browser.evaluate("frameChanges.on = false; frameChanges.seen") if at - left < 2900]
    check(skins and len(flash) > 20 and max(flash) <= FLASH_CHANGE, f"a tap leaves the intro, the touch bar offers the "
          f"skins; with reduced motion no frame of the flash changes the picture by more than {FLASH_CHANGE:.0%} "
          f"of full brightness ({len(flash)} frames, the most {max(flash, default=1):.1%})")
    browser.send("Emulation.setEmulatedMedia", features=[])

    browser.viewport(800, 600, 1, False)
    browser.mouse(*PARK, kinds=["mouseMoved"])
    time.sleep(3)
    # Program frames shown in each animation frame over 10 s.
    counts = browser.evaluate("new Promise((done) => { const seen = [], start = performance.now(), tick = (now) => {"
                              " seen.push(quellmarkDisplay.frames);"
                              " if (now - start < 10000) requestAnimationFrame(tick); else done(seen); };"
                              " requestAnimationFrame(tick); })")
    per_frame = [b - a for a, b in zip(counts, counts[1:])]
    check(per_frame.count(1) >= 0.99 * len(per_frame) > 0, f"one program frame per animation frame in "
          f"{per_frame.count(1)} of {len(per_frame)} (shown in each: {sorted(set(per_frame))})")
    # The keys the program reads in the magazine are kept from the browser; F3 is not one of them.
    browser.evaluate("window.kept = {}; addEventListener('keydown', (e) => { kept[e.code] = e.defaultPrevented; }); 0")
    for code, key_code in (("F3", 114), ("F1", 112), ("ArrowUp", 38)):
        browser.tap(code, key_code)
    taken = browser.evaluate("kept")
    check(taken == {"F3": False, "F1": True, "ArrowUp": True}, f"keys taken in the magazine: {taken}")
    # Half a notch moves nothing; the second half scrolls.
    before, moved = shown(browser)[PAGE], []
    for _ in range(2):
        browser.send("Input.dispatchMouseEvent", type="mouseWheel", x=400, y=400, deltaX=0, deltaY=60)
        moved.append(int((shown(browser)[PAGE] != before).any(axis=2).sum()))
    check(moved[0] == 0 and moved[1] > 5000, f"the wheel scrolls by distance (pixels changed: {moved})")
    browser.tap("Home", 36)

    # The full-screen button, which sits in the picture's corner without a touch screen, aside.
    browser.evaluate("$('fullscreen').style.visibility = 'hidden'")
    captured = []
    for width, height, ratio, touch in MATRIX + [PHONE]:
        browser.viewport(width, height, ratio, touch)
        captured.append((f"{width}x{height}@{ratio}", "main", shown(browser)))
    # The phone: a swipe of 120 picture pixels upward; taps on "> Charts Menu", "> Monthly Chart" and
    # the touch bar's second skin, which the desktop's frames of the chart in that skin show.
    browser.touch([box_of(browser, "screen", 400, 500 - 12 * i) for i in range(11)])
    captured.append(("swiped", "swiped", shown(browser)))
    for point, wait in ((CHARTS_MENU, 1.5), (MONTHLY_CHART, 3)):
        browser.touch([box_of(browser, "screen", *point)])
        time.sleep(wait)
    browser.touch([box_of(browser, "screen", 789, 589)])  # the pointer back where the desktop parks it
    browser.touch([box_of(browser, "skin-2")])
    captured.append(("skin2", "skin2", shown(browser)))

    browser.viewport(800, 600, 1, False)
    browser.evaluate("$('fullscreen').style.visibility = ''")
    browser.mouse(*box_of(browser, "fullscreen"))
    check(browser.wait_for("document.fullscreenElement === $('stage') && document.activeElement === $('screen')", 5),
          "the full-screen button puts the picture full screen and gives the keys back to it " + browser.evaluate(
              "`(full screen: ${document.fullscreenElement?.id}, keys: ${document.activeElement?.id})`"))
    browser.tap("Enter", 13, modifiers=1)
    check(browser.wait_for("document.fullscreenElement === null", 5), "Alt+Enter leaves full screen")
    browser.tap("Escape", 27)
    check(browser.wait_for("!$('ended').hidden && Module.audioContext.state === 'closed'", 10),
          "Escape ends the program and its sound, and the page says so")
    return captured


# Opens the page at `address` and, when `press`, presses its start button once it is offered.
def open_page(browser, address, press=True):
    browser.send("Page.navigate", url=address)
    if press and browser.wait_for("!$('start').disabled", 60):
        browser.mouse(*box_of(browser, "start"))


# Pages where something is missing: (what, a script run before the page's own, the address under
# the site, whether the start button is pressed, what must come true in turn).
TROUBLE = [
    ("a closed audio context is a lost device, and a notice says so", "", "", True,
     ["quellmarkAudio.level > 0 && Module.audioContext.close()", f"{NOTICE}.textContent.includes('was removed')"]),
    ("without Web Audio a notice beside the picture says so as information, goes when dismissed, and the "
     "intro runs on", "window.AudioContext = undefined;", "", True,
     [f"((a, b) => (a.top >= b.bottom || a.bottom <= b.top) && !{NOTICE}.textContent.includes('Error'))"
      f"({NOTICE}.getBoundingClientRect(), $('screen').getBoundingClientRect())",
      f"{NOTICE}.querySelector('button').click() || true", f"!{NOTICE} && quellmarkDisplay.frames > 60"]),
    ("without quellmark.wasm the page says plainly what failed", "", "nowasm/", False,
     ["/quellmark.wasm.*404/.test(document.querySelector('.notice.trouble').textContent)"]),
]


def trouble(browser, url):
    for what, before, address, press, steps in TROUBLE:
        if address == "nowasm/":  # a missing file is an error on the console; there was none before it
            errors = browser.errors()
            check(not errors, "no console errors" + (": " + "; ".join(errors) if errors else ""))
        script = browser.send("Page.addScriptToEvaluateOnNewDocument", source=before)
        open_page(browser, url + address, press)
        ok, said = True, ""
        for step in steps:
            ok = ok and browser.wait_for(step, 30)
            said = browser.evaluate("[...document.querySelectorAll('.notice:not([hidden])')]"
                                    ".map((n) => n.textContent).join(' / ')") or said
        check(ok, f"{what}: {said}")
        browser.send("Page.removeScriptToEvaluateOnNewDocument", identifier=script["identifier"])


# After the visits above, with the server gone and the network off, a new visit starts the magazine.
def offline(browser, url, server):
    open_page(browser, url)
    browser.evaluate("navigator.serviceWorker.ready.then(() => true)")
    errors = browser.send("Page.getInstallabilityErrors")["installabilityErrors"]
    check(not errors, f"the browser can install the magazine as an app {errors or ''}")
    server.terminate()
    browser.send("Network.emulateNetworkConditions", offline=True, latency=0, downloadThroughput=-1,
                 uploadThroughput=-1)
    open_page(browser, url)
    check(browser.wait_for("quellmarkDisplay.frames > 30 && quellmarkAudio.level > 0", 10),
          "with the network off a new visit starts the magazine, with its sound")


# The desktop's frames scaled to each screen's size by its sharp scaler, against the browser's
# screens; the page text against the area average of the unscaled frame.
def desktop_compare(shot, captured, out):
    folder = os.path.join(out, "desktop")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "script.txt"), "w") as f:
        f.write("\n".join(DESKTOP_SCRIPT + [f"{SHOTS[kind][2]} shot scaled_{i} {s.shape[1]}x{s.shape[0]}"
                                            for i, (_, kind, s) in enumerate(captured)]) + "\n")
    # The recorded sound plays the module, so the level meter moves as in the browser.
    subprocess.run([shot, "--script", f.name, "--out", folder, "--audio-out", os.path.join(folder, "sound.raw")],
                   check=True, stdout=subprocess.DEVNULL)
    load = lambda name: read_png(os.path.join(folder, name + ".png"))  # noqa: E731
    frames = {kind: [load(f"{kind}_{i}") for i in range(10)] for kind in SHOTS}
    masks = {kind: static_mask(pictures) for kind, pictures in frames.items()}
    page = np.zeros((HEIGHT, WIDTH), bool)
    page[PAGE] = True
    for i, (name, kind, screen) in enumerate(captured):
        height, width = screen.shape[:2]
        mask = at_size(masks[kind], width, height)
        wrong = mask & (screen != load(f"scaled_{i}")).any(axis=2)
        if wrong.any():
            write_png(os.path.join(out, f"diff_{name}.png"), np.where(wrong[..., None], (255, 0, 0), screen // 4))
        check(mask.mean() > 0.5 and not wrong.any(), f"{name}: the screen ({width} x {height} device pixels) is the "
              f"desktop's frame scaled by the sharp scaler on its {mask.sum()} static pixels ({wrong.sum()} differ)")
        if kind == "main":
            far = np.abs(screen - area_average(frames["main"][0], width, height)).max(axis=2)
            far[~(mask & at_size(page, width, height))] = 0
            y, x = np.unravel_index(far.argmax(), far.shape)
            # The sharp scaler weighs neighbours in 1/256 steps and rounds each of its two passes down:
            # its pixels are within a few levels of the exact area average; a row or column dropped is far out.
            check(far.max() <= 8, f"{name}: the page text is the area average of the frame, no glyph "
                  f"row or column lost (largest difference {far.max():.0f} at x {x}, y {y})")
            write_png(os.path.join(out, f"crop_{name}.png"), screen[tuple(
                slice(s.start * n // m, s.stop * n // m) for s, n, m in zip(CROP, (height, width), (HEIGHT, WIDTH)))])


def main():
    parser = argparse.ArgumentParser(description="The magazine in a web browser, end to end.")
    for name in ("site", "shot", "render", "out"):  # see the top of this file
        parser.add_argument(f"--{name}", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    # Chromium's helper processes may still write to its profile for a moment after it has ended:
    # a folder that cannot be removed then is left to the system's temporary files, not a failure.
    with tempfile.TemporaryDirectory(prefix="quellmark-web-", ignore_cleanup_errors=True) as work:
        site = os.path.join(work, "site")
        shutil.copytree(args.site, site)
        os.makedirs(os.path.join(site, "nowasm"))  # the page and its script without quellmark.wasm
        for name in ("index.html", "quellmark.js"):
            shutil.copy(os.path.join(args.site, name), os.path.join(site, "nowasm"))
        serve = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "web", "serve.py")
        server = subprocess.Popen([sys.executable, serve, site, "0"], stdout=subprocess.PIPE, text=True)
        browser = None
        try:
            url = server.stdout.readline().strip()
            browser = Browser(work)
            captured = run(browser, url, args.render, args.out)
            trouble(browser, url)
            offline(browser, url, server)
            desktop_compare(args.shot, captured, args.out)
        finally:
            if browser:
                browser.close()
                shutil.copy(os.path.join(work, "chromium.log"), args.out)
            server.terminate()
            server.wait(timeout=20)
    # The failures again at the end, where a log cut to its last lines still shows them.
    print("".join(f"FAIL  {m}\n" for m in failures) + f"screenshots in {args.out}; {time.time() - STARTED:.0f} s; "
          + (f"{len(failures)} check(s) failed" if failures else "all checks passed"), flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
