#!/usr/bin/python3
"""The web build's costs: processor time of Chromium's page (renderer) process while the magazine
shows its main page, at each window size given, and the bytes a reader downloads, plain and
compressed.

    web_bench.py --site build-web [--seconds 10] [WIDTHxHEIGHT@RATIO ...]   (default 800x600@1)

The renderer's share is its CPU time over the wall time, in % of one core; the frames a second
and the program's own work a frame come from the page's counters.
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
    names = ["index.html", "quellmark.js", "quellmark.wasm"]
    line = []
    for label, suffix in (("raw", ""), ("gzip", ".gz"), ("brotli", ".br")):
        paths = [os.path.join(site, n + suffix) for n in names]
        if all(os.path.exists(p) for p in paths):
            line.append(f"{label} {sum(os.path.getsize(p) for p in paths) / 1e6:.2f} MB")
    return ", ".join(line)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--site", required=True)
    parser.add_argument("--seconds", type=float, default=10)
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
        browser.click(*web_test.box_of(browser, "start"))
        time.sleep(3)
        browser.tap("Escape", 27)
        browser.mouse("mouseMoved", *web_test.PARK)
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
    finally:
        if browser:
            browser.close()
        server.terminate()
        server.wait(timeout=20)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
