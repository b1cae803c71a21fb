#!/usr/bin/python3
"""The web build's costs: processor time of Chromium's page (renderer) process while the magazine
shows its main page, at each window size given, and the bytes a reader downloads, plain and
compressed; with --render, the breaks in the sound on a slow machine.

    web_bench.py --site build-web [--seconds 10] [--render quellmark-render [--slow-down 8]]
                 [WIDTHxHEIGHT@RATIO ...]   (default 800x600@1)

The renderer's share is its CPU time over the wall time, in % of one core; the frames a second
and the program's own work a frame come from the page's counters. The sound: the intro's tune 7
and the magazine's first module as they reach the output, over 16 s each with the page's
processor slowed down (DevTools' CPU throttling), against the desktop's renders; each place where
the sound stops matching is a break.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import web_test  # noqa: E402  (the DevTools driver)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def renderers():
    found = []
    for pid in os.listdir("/proc"):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                line = f.read()
            if b"--type=renderer" in line and b"--extension-process" not in line:
                found.append(int(pid))
        except OSError:
            pass
    return found


def sizes(site):
    names = ["index.html", "quellmark.js", "quellmark.wasm", "quellmark-audio.js"]
    line = []
    for label, suffix in (("raw", ""), ("gzip", ".gz"), ("brotli", ".br")):
        # A build from before the sound worklet has no quellmark-audio.js.
        paths = [os.path.join(site, n + suffix) for n in names if os.path.exists(os.path.join(site, n))]
        if all(os.path.exists(p) for p in paths):
            line.append(f"{label} {sum(os.path.getsize(p) for p in paths) / 1e6:.2f} MB")
    return ", ".join(line)


def sound_breaks(browser, url, render, slow_down, where, seconds=16):
    """The intro's tune 7 or the magazine's first module as heard, recorded for `seconds` with the
    processor `slow_down` times slower, against the desktop's render."""
    wav = os.path.join(os.path.dirname(browser.profile), "tune.wav")
    tune = web_test.render_tune(render, *(("sid", 7) if where == "intro" else ("xm", 1)), wav, seconds + 15)
    browser.send("Page.enable")
    script = browser.send("Page.addScriptToEvaluateOnNewDocument", source=web_test.AUDIO_TAP)
    browser.send("Page.navigate", url=url)
    browser.wait_for("!document.getElementById('start').disabled", 60)
    browser.mouse(*web_test.box_of(browser, "start"))
    browser.wait_for("window.quellmarkAudio && quellmarkAudio.level > 0", 10)
    browser.evaluate("heard.start()")
    browser.tap(*(("F7", 118) if where == "intro" else ("Escape", 27)))
    time.sleep(0.5 if where == "intro" else 3)  # the intro's closing flashes before the module
    browser.send("Emulation.setCPUThrottlingRate", rate=slow_down)
    time.sleep(seconds)
    browser.send("Emulation.setCPUThrottlingRate", rate=1)
    at, heard = web_test.take_heard(browser)
    browser.send("Page.removeScriptToEvaluateOnNewDocument", identifier=script["identifier"])
    start, found = web_test.breaks(heard, tune)
    if start is None:
        print(f"sound in the {where}: not heard", flush=True)
        return
    gaps = sum(1 for _, quiet, skipped in found if skipped == 0)
    print(f"sound in the {where} at {slow_down:g}x slow-down: {len(found)} breaks in {seconds} s ({gaps} gaps "
          f"of silence only, {len(found) - gaps} with sound skipped, repeated or lost)", flush=True)
    for h, quiet, skipped in found:
        print(f"  {(h - start) / 44100:6.2f} s: {quiet / 44.1:.0f} ms silent, "
              + ("the tune lost" if skipped is None else f"{skipped / 44.1:+.0f} ms of the tune"), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--site", required=True)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--render", help="the desktop's quellmark-render: measures the sound's breaks")
    parser.add_argument("--slow-down", type=float, default=8)
    parser.add_argument("sizes", nargs="*", default=["800x600@1"])
    args = parser.parse_args()
    print(f"download: {sizes(args.site)}")
    work = tempfile.mkdtemp(prefix="quellmark-bench-")
    serve = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "web", "serve.py")
    server = subprocess.Popen([sys.executable, serve, args.site, "0"], stdout=subprocess.PIPE, text=True)
    browser = None
    try:
        url = server.stdout.readline().strip()
        browser = web_test.Browser(work)
        browser.send("Page.navigate", url=url)
        browser.wait_for("!document.getElementById('start').disabled", 60)
        browser.mouse(*web_test.box_of(browser, "start"))
        time.sleep(3)
        browser.tap("Escape", 27)
        browser.mouse(*web_test.PARK, kinds=["mouseMoved"])
        for size in args.sizes:
            dimensions, ratio = size.split("@")
            width, height = map(int, dimensions.split("x"))
            browser.viewport(width, height, float(ratio), False)
            time.sleep(3)
            pids = renderers()
            cpu0, wall0 = sum(cpu_seconds(p) for p in pids), time.time()
            frames0, work0 = browser.evaluate("[quellmarkDisplay.frames, quellmarkDisplay.workMs]")
            time.sleep(args.seconds)
            frames1, work1 = browser.evaluate("[quellmarkDisplay.frames, quellmarkDisplay.workMs]")
            cpu1, wall1 = sum(cpu_seconds(p) for p in pids), time.time()
            shown = browser.evaluate("Module.screenSize || [800, 600]")
            frames = frames1 - frames0
            print(f"{size} (picture {shown[0]} x {shown[1]}): renderer {100 * (cpu1 - cpu0) / (wall1 - wall0):.1f} % "
                  f"of a core, {frames / (wall1 - wall0):.1f} frames a second, "
                  f"{(work1 - work0) / max(frames, 1):.2f} ms of the program's work a frame", flush=True)
        if args.render:
            for where in ("intro", "magazine"):
                sound_breaks(browser, url, args.render, args.slow_down, where)
    finally:
        if browser:
            browser.close()
        server.terminate()
        server.wait(timeout=20)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
