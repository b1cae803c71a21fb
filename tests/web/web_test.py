#!/usr/bin/python3
"""The magazine in a web browser, end to end.

Serves the web build (build-web) on 127.0.0.1, drives Debian's headless Chromium through the
DevTools protocol and checks what a reader sees and hears:

  * the start button starts the intro, which draws and plays its tune;
  * Escape, pressed and held, leads to the main loop, and the module plays;
  * the main-loop frame equals the desktop program's headless frame of the same page and skin on
    every pixel that does not move with time (skin, buttons at rest, page text);
  * "> Monthly Chart" changes the page, F2 the skin (checked against the desktop's frame again);
  * the music button silences the module, a song button starts another;
  * Escape ends the program and the page says so;
  * nothing is reported on the console as an error during the whole run.

    web_test.py --site build-web --shot build/tools/shot/quellmark-shot --out DIR

Screenshots and the compared frames are written to DIR; the frame time in the browser and the
audio counters are printed.
"""
import argparse
import base64
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request
import zlib

import websocket

WIDTH, HEIGHT = 800, 600
PARK = (795, 595)  # a pointer position off every button, where no pointer is drawn
CHARTS_MENU = (500, 114)  # "> Charts Menu", the last slot of the Articles menu's second column
MONTHLY_CHART = (250, 66)  # "> Monthly Chart", the first slot of the Charts menu
MUSIC_BUTTON_SKIN2 = (736, 58)
SONG2_BUTTON_SKIN2 = (101, 141)
# The level meter follows the music, which the two runs do not hear at the same moment.
METER_ROWS = range(128, 151)
# Pixels next to one that moves in the desktop's frames are not compared either.
DILATE = 3

# The desktop reference: the same steps on the headless display, ten frames of each state taken
# over several seconds, so that whatever moves with time shows up as differing between them.
MAIN_SHOTS = [300 + 53 * i for i in range(10)]
SKIN2_SHOTS = [1200 + 53 * i for i in range(10)]
DESKTOP_SCRIPT = "\n".join(
    [f"1 move {PARK[0]} {PARK[1]}", "100 key Escape"]
    + [f"{f} shot main_{i}" for i, f in enumerate(MAIN_SHOTS)]
    + [f"850 move {CHARTS_MENU[0]} {CHARTS_MENU[1]}", "851 click",
       f"900 move {MONTHLY_CHART[0]} {MONTHLY_CHART[1]}", "901 click",
       f"960 move {PARK[0]} {PARK[1]}", "1000 tap F2"]
    + [f"{f} shot skin2_{i}" for i, f in enumerate(SKIN2_SHOTS)]
    + ["1800 key Escape", ""])

# The program on a page that has no canvas; the page keeps the exit status.
NO_CANVAS_PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><link rel="icon" href="data:,">
<title>no canvas</title></head><body><script>
var Module = {onRuntimeInitialized: function() { Module.callMain([]); },
              onExit: function(status) { window.quellmarkExit = status; }};
</script><script src="quellmark.js"></script></body></html>
"""

failures = []


def check(condition, message):
    print(("ok    " if condition else "FAIL  ") + message, flush=True)
    if not condition:
        failures.append(message)


# ---- PNG ------------------------------------------------------------------------------------

def read_png(data):
    """8-bit RGB or RGBA, not interlaced -> list of 0xRRGGBB, width, height."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise ValueError("unsupported PNG format")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    pixels = []
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride if kind else 0):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        pixels.extend((line[i] << 16) | (line[i + 1] << 8) | line[i + 2]
                      for i in range(0, stride, channels))
        previous = line
    return pixels, width, height


def write_png(path, pixels, width, height):
    rows = b"".join(b"\x00" + b"".join(struct.pack(">I", p)[1:] for p in pixels[y * width:(y + 1) * width])
                    for y in range(height))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


# ---- Frames -----------------------------------------------------------------------------------

def static_mask(frames):
    """True where every frame has the same pixel, away from anything that moves and the meter."""
    moving = [any(f[i] != frames[0][i] for f in frames[1:]) for i in range(WIDTH * HEIGHT)]
    for y in METER_ROWS:
        moving[y * WIDTH:(y + 1) * WIDTH] = [True] * WIDTH
    grown = bytearray(WIDTH * HEIGHT)
    for i, m in enumerate(moving):
        if not m:
            continue
        x, y = i % WIDTH, i // WIDTH
        for yy in range(max(0, y - DILATE), min(HEIGHT, y + DILATE + 1)):
            grown[yy * WIDTH + max(0, x - DILATE):yy * WIDTH + min(WIDTH, x + DILATE + 1)] = \
                b"\x01" * (min(WIDTH, x + DILATE + 1) - max(0, x - DILATE))
    return [not g for g in grown]


def compare_static(name, browser, desktop_frames, out):
    mask = static_mask(desktop_frames)
    reference = desktop_frames[0]
    compared = sum(mask)
    wrong = [i for i in range(WIDTH * HEIGHT) if mask[i] and browser[i] != reference[i]]
    check(compared > 0.7 * WIDTH * HEIGHT,
          f"{name}: {compared} of {WIDTH * HEIGHT} pixels do not move with time and are compared")
    if wrong:
        xs = [i % WIDTH for i in wrong]
        ys = [i // WIDTH for i in wrong]
        marked = set(wrong)
        diff = [0xFF0000 if i in marked else (browser[i] >> 2) & 0x3F3F3F for i in range(WIDTH * HEIGHT)]
        write_png(os.path.join(out, f"{name}_diff.png"), diff, WIDTH, HEIGHT)
        detail = f" ({len(wrong)} differ, within x {min(xs)}..{max(xs)}, y {min(ys)}..{max(ys)})"
    else:
        detail = ""
    check(not wrong, f"{name}: the browser's frame equals the desktop's on every static pixel{detail}")


def changed_pixels(a, b):
    return sum(1 for p, q in zip(a, b) if p != q)


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

    def mouse(self, kind, x, y):
        self.send("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left",
                  buttons=1 if kind == "mousePressed" else 0, clickCount=1)

    def click(self, x, y):
        self.mouse("mouseMoved", x, y)
        time.sleep(0.05)
        self.mouse("mousePressed", x, y)
        time.sleep(0.05)
        self.mouse("mouseReleased", x, y)

    def key(self, kind, code, key_code):
        self.send("Input.dispatchKeyEvent", type=kind, code=code, key=code,
                  windowsVirtualKeyCode=key_code)

    def tap(self, code, key_code):
        self.key("rawKeyDown", code, key_code)
        time.sleep(0.1)
        self.key("keyUp", code, key_code)

    def screenshot(self, path):
        data = base64.b64decode(self.send("Page.captureScreenshot", format="png")["data"])
        with open(path, "wb") as f:
            f.write(data)

    def canvas(self):
        url = self.evaluate("document.getElementById('screen').toDataURL('image/png')")
        pixels, width, height = read_png(base64.b64decode(url.split(",", 1)[1]))
        assert (width, height) == (WIDTH, HEIGHT)
        return pixels

    def errors(self):
        found = []
        for e in self.events:
            method, params = e.get("method"), e.get("params", {})
            if method == "Runtime.exceptionThrown":
                found.append(params["exceptionDetails"].get("text", "exception"))
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


def box_of(browser, element):
    """The middle of a page element, for a click."""
    return browser.evaluate(f"(() => {{ const r = document.getElementById('{element}')"
                            ".getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()")


def level_after(browser, seconds):
    """The level of the last block once the device has delivered `seconds` more sound."""
    start = audio(browser)[0]
    browser.wait_for(f"window.quellmarkAudio && quellmarkAudio.samples >= {start + int(seconds * 44100)}",
                     seconds * 4 + 5)
    return audio(browser)


# ---- The run ----------------------------------------------------------------------------------

def desktop_frames(shot, out):
    folder = os.path.join(out, "desktop")
    os.makedirs(folder, exist_ok=True)
    script = os.path.join(folder, "script.txt")
    with open(script, "w") as f:
        f.write(DESKTOP_SCRIPT)
    # The recorded sound plays the module, so the level meter moves as in the browser.
    subprocess.run([shot, "--script", script, "--out", folder,
                    "--audio-out", os.path.join(folder, "sound.raw")],
                   check=True, stdout=subprocess.DEVNULL)

    def load(name):
        with open(os.path.join(folder, name + ".png"), "rb") as f:
            return read_png(f.read())[0]
    return ([load(f"main_{i}") for i in range(len(MAIN_SHOTS))],
            [load(f"skin2_{i}") for i in range(len(SKIN2_SHOTS))])


def run(browser, url, shot, out):
    main_reference, skin2_reference = desktop_frames(shot, out)
    for domain in ("Runtime", "Log", "Page"):
        browser.send(f"{domain}.enable")
    browser.send("Emulation.setDeviceMetricsOverride", width=WIDTH, height=HEIGHT,
                 deviceScaleFactor=1, mobile=False)
    browser.send("Page.navigate", url=url)
    check(browser.wait_for("!document.getElementById('start').disabled", 60),
          "the page loads and offers its start button")
    browser.click(*box_of(browser, "start"))
    check(browser.wait_for("!document.getElementById('stage').hidden", 10), "start shows the picture")

    time.sleep(4)
    browser.screenshot(os.path.join(out, "intro.png"))
    intro = browser.canvas()
    check(len(set(intro)) > 50, f"the intro draws ({len(set(intro))} colours)")
    samples, level = level_after(browser, 0.5)
    check(samples > 44100 and level > 0.01, f"the intro's tune plays ({samples} samples, level {level:.3f})")

    browser.key("rawKeyDown", "Escape", 27)
    browser.mouse("mouseMoved", *PARK)
    time.sleep(0.5)
    browser.key("keyUp", "Escape", 27)
    time.sleep(4)
    browser.screenshot(os.path.join(out, "main.png"))
    main = browser.canvas()
    write_png(os.path.join(out, "main_canvas.png"), main, WIDTH, HEIGHT)
    compare_static("main loop, skin 1", main, main_reference, out)
    samples, level = level_after(browser, 0.5)
    check(level > 0.01, f"the module plays in the main loop (level {level:.3f})")

    frames0, work0 = browser.evaluate("[quellmarkDisplay.frames, quellmarkDisplay.workMs]")
    time.sleep(3)
    frames1, work1 = browser.evaluate("[quellmarkDisplay.frames, quellmarkDisplay.workMs]")
    frames = frames1 - frames0
    print(f"frame time: {3000 / max(frames, 1):.1f} ms a frame ({frames / 3:.1f} frames a second), "
          f"{(work1 - work0) / max(frames, 1):.2f} ms of it the program's own work", flush=True)
    check(frames > 3 * 30, f"the main loop runs at a reader's pace ({frames / 3:.1f} frames a second)")

    browser.click(*CHARTS_MENU)
    time.sleep(1)
    browser.click(*MONTHLY_CHART)
    browser.mouse("mouseMoved", *PARK)
    time.sleep(3)
    chart = browser.canvas()
    write_png(os.path.join(out, "monthly_chart.png"), chart, WIDTH, HEIGHT)
    changed = changed_pixels(main, chart)
    check(changed > 20000, f"\"> Monthly Chart\" changes the page ({changed} pixels)")

    browser.tap("F2", 113)
    time.sleep(2)
    browser.screenshot(os.path.join(out, "skin2.png"))
    skin2 = browser.canvas()
    changed = changed_pixels(chart, skin2)
    check(changed > 100000, f"F2 changes the skin ({changed} pixels)")
    compare_static("Monthly Chart, skin 2", skin2, skin2_reference, out)

    before = browser.canvas()
    browser.key("rawKeyDown", "ArrowDown", 40)
    time.sleep(0.6)
    browser.key("keyUp", "ArrowDown", 40)
    time.sleep(0.5)
    scrolled = browser.canvas()
    check(changed_pixels(before, scrolled) > 5000
          and browser.evaluate("window.scrollY === 0 && document.scrollingElement.scrollTop === 0"),
          "Down scrolls the page in the magazine, not the browser's")
    browser.send("Input.dispatchMouseEvent", type="mouseWheel", x=400, y=400, deltaX=0, deltaY=-120)
    time.sleep(0.5)
    browser.mouse("mouseMoved", *PARK)
    time.sleep(0.3)
    check(changed_pixels(scrolled, browser.canvas()) > 5000, "the wheel scrolls the page back")

    browser.click(*MUSIC_BUTTON_SKIN2)
    samples, level = level_after(browser, 0.5)
    check(level == 0, f"the music button switches the music off (level {level:.3f})")
    browser.click(*SONG2_BUTTON_SKIN2)
    samples, level = level_after(browser, 0.5)
    check(level > 0.01, f"a song button plays another module (level {level:.3f})")

    browser.click(*box_of(browser, "fullscreen"))
    check(browser.wait_for("document.fullscreenElement === document.getElementById('stage')", 5),
          "the full-screen button puts the picture full screen")
    browser.send("Input.dispatchKeyEvent", type="rawKeyDown", code="Enter", key="Enter",
                 windowsVirtualKeyCode=13, modifiers=1)
    browser.send("Input.dispatchKeyEvent", type="keyUp", code="Enter", key="Enter",
                 windowsVirtualKeyCode=13, modifiers=1)
    check(browser.wait_for("document.fullscreenElement === null", 5), "Alt+Enter leaves full screen")

    browser.tap("Escape", 27)
    check(browser.wait_for("!document.getElementById('ended').hidden", 10),
          "Escape ends the program and the page says so")

    # The browser closes the audio context under the intro's tune: the device is lost, so the SID
    # player's requeue is refused and it says so on the page.
    browser.send("Page.navigate", url=url)
    browser.wait_for("!document.getElementById('start').disabled", 60)
    browser.click(*box_of(browser, "start"))
    browser.wait_for("window.quellmarkAudio && quellmarkAudio.level > 0", 10)
    browser.evaluate("Module.audioContext.close()")
    check(browser.wait_for("document.getElementById('error').textContent === "
                           "'Error: the audio device was removed'", 10),
          "a closed audio context is a lost device: "
          + str(browser.evaluate("document.getElementById('error').textContent")))

    # A browser without Web Audio: the SID player's "Error" box is a line on the page and the
    # magazine runs on without sound.
    script = browser.send("Page.addScriptToEvaluateOnNewDocument",
                          source="delete window.AudioContext; window.AudioContext = undefined;")
    browser.send("Page.navigate", url=url)
    browser.wait_for("!document.getElementById('start').disabled", 60)
    browser.click(*box_of(browser, "start"))
    check(browser.wait_for("!document.getElementById('error').hidden", 10)
          and browser.evaluate("document.getElementById('error').textContent").startswith("Error: "),
          "without Web Audio the error is a line on the page: "
          + str(browser.evaluate("document.getElementById('error').textContent")))
    time.sleep(2)
    check(len(set(browser.canvas())) > 50, "and the intro runs on without sound")
    browser.send("Page.removeScriptToEvaluateOnNewDocument", identifier=script["identifier"])

    # A page without the canvas: the program cannot open its display and ends with status -1.
    browser.send("Page.navigate", url=url + "no_canvas.html")
    check(browser.wait_for("window.quellmarkExit === -1", 30),
          "without a canvas the display does not open and the program ends with -1")
    time.sleep(0.5)
    errors = browser.errors()
    check(not errors, "no console errors" + (": " + "; ".join(errors) if errors else ""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--site", required=True, help="the folder make web fills (build-web)")
    parser.add_argument("--shot", required=True, help="the desktop's quellmark-shot")
    parser.add_argument("--out", required=True, help="folder for screenshots and frames")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    here = os.path.dirname(os.path.abspath(__file__))
    serve = os.path.join(here, "..", "..", "web", "serve.py")
    work = tempfile.mkdtemp(prefix="quellmark-web-")
    site = os.path.join(work, "site")
    shutil.copytree(args.site, site)
    with open(os.path.join(site, "no_canvas.html"), "w") as f:
        f.write(NO_CANVAS_PAGE)
    server = subprocess.Popen([sys.executable, serve, site, "0"], stdout=subprocess.PIPE, text=True)
    browser = None
    try:
        url = server.stdout.readline().strip()
        browser = Browser(work)
        run(browser, url, args.shot, args.out)
    finally:
        if browser:
            browser.close()
            shutil.copy(os.path.join(work, "chromium.log"), args.out)
        server.terminate()
        server.wait(timeout=20)
        shutil.rmtree(work, ignore_errors=True)
    print(f"screenshots in {args.out}", flush=True)
    if failures:
        print(f"{len(failures)} check(s) failed", flush=True)
        return 1
    print("all checks passed", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
