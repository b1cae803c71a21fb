#!/usr/bin/env python3
"""One Markdown table of the magazine's performance beside its peers.

usage: bench/bench_table.py BUILD_DIR [--runs N] [--screens]

Collects, as medians of N runs (default 5):
  - the Google Benchmark figures of bench_render, bench_intro and bench_module (JSON output);
  - the offline renderers against the peer players, whole process against whole process, on the
    same files (written by write_bench_files) and the same seconds: quellmark-render xm against
    `xmp -i linear` and `openmpt123 --filter 2`, quellmark-render sid against sidplayfp. Multiples
    of real time are seconds of sound written (from the WAV sizes) per CPU second of the process;
    wall-clock multiples follow in brackets;
  - start-up to the first presented frame, headless (SDL's dummy video driver) and under Xvfb,
    through the present probe (bench/present) preloaded into the program;
  - under Xvfb: resident memory, CPU share of one core and frames per second while the magazine
    idles in the intro and in the main loop;
  - under Xvfb with jwm, screens of 1024 x 768 and 1920 x 1080: the main loop in its 800 x 600
    window against full screen (CPU share, frames per second, resident memory). --screens
    measures only these.
Progress goes to standard error; the table alone to standard output.
"""
import json
import os
import platform
import resource
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

RUNS = 5


def note(text):
    print(text, file=sys.stderr, flush=True)


def median(values):
    return statistics.median(values) if values else None


# ---- Google Benchmark ---------------------------------------------------------------------------

def gbench(exe, pattern, runs):
    """Median aggregates of the benchmarks matching `pattern`, by name."""
    if not os.access(exe, os.X_OK):
        return {}
    out = subprocess.run(
        [exe, f"--benchmark_filter={pattern}", f"--benchmark_repetitions={runs}",
         "--benchmark_report_aggregates_only=true", "--benchmark_format=json"],
        capture_output=True, text=True)
    if out.returncode != 0:
        note(f"{exe} failed: {out.stderr.strip()}")
        return {}
    found = {}
    for b in json.loads(out.stdout)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            found[b["run_name"].split("/")[0]] = b  # without "/real_time" and the like
    return found


def micros(bench):
    if not bench:
        return None
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[bench["time_unit"]]
    return bench["real_time"] * scale


# ---- Whole processes ----------------------------------------------------------------------------

def wav_seconds(path):
    """Seconds of sound in a PCM WAV file, from its format and data chunks."""
    with open(path, "rb") as f:
        data = f.read()
    pos, rate_bytes = 12, None
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        if tag == b"fmt ":
            rate_bytes = struct.unpack("<I", data[pos + 16:pos + 20])[0]
        if tag == b"data" and rate_bytes:
            return min(size, len(data) - pos - 8) / rate_bytes
        pos += 8 + size + (size & 1)
    return 0.0


def render(command, wav):
    """Runs one renderer; returns (seconds of sound, CPU seconds, wall seconds) or None."""
    if shutil.which(command[0]) is None and not os.access(command[0], os.X_OK):
        return None
    if os.path.exists(wav):
        os.remove(wav)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0 or not os.path.exists(wav):
        note(f"failed: {' '.join(command)}")
        return None
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wav_seconds(wav), cpu, wall


def realtime(command, wav, runs):
    """Median multiples of real time (per CPU second, per wall second) over `runs` runs."""
    results = [r for r in (render(command, wav) for _ in range(runs)) if r]
    if not results:
        return None
    return (median([s / max(c, 1e-6) for s, c, _ in results]),
            median([s / max(w, 1e-6) for s, _, w in results]))


# ---- The running magazine -----------------------------------------------------------------------

def read_probe(path):
    try:
        with open(path, "rb") as f:
            frames, last = struct.unpack("<QQ", f.read(16))
        return frames, last
    except (OSError, struct.error):
        return 0, 0


def program_env(probe, probe_file, extra):
    env = dict(os.environ)
    env.update(extra)
    env["LD_PRELOAD"] = probe
    env["QM_PROBE_FILE"] = probe_file
    env.setdefault("SDL_AUDIODRIVER", "dummy")
    return env


def startup_ms(program, probe, workdir, extra, runs):
    """Median milliseconds from launching the program to its first presented frame."""
    times = []
    probe_file = os.path.join(workdir, "probe_start")
    env = program_env(probe, probe_file, extra)
    env["QM_PROBE_EXIT"] = "1"
    for _ in range(runs):
        if os.path.exists(probe_file):
            os.remove(probe_file)
        start = time.monotonic_ns()
        try:
            subprocess.run([program], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=20)
        except subprocess.TimeoutExpired:  # subprocess.run has killed it
            continue
        frames, last = read_probe(probe_file)
        if frames:
            times.append((last - start) / 1e6)
    return median(times)


def start_xvfb(size="1024x768", window_manager=False):
    """An X server of one screen of `size` pixels, and with `window_manager` jwm on it (full screen
    needs one: without it the window stays 800 x 600). Returns (processes, display) or
    (None, None)."""
    for number in range(90, 200):
        if not os.path.exists(f"/tmp/.X11-unix/X{number}") and \
                not os.path.exists(f"/tmp/.X{number}-lock"):
            server = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", f"{size}x24",
                                       "-nolisten", "tcp"],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(50):
                if os.path.exists(f"/tmp/.X11-unix/X{number}"):
                    break
                time.sleep(0.1)
            else:
                stop_processes([server])
                continue
            processes = [server]
            if window_manager:
                env = dict(os.environ, DISPLAY=f":{number}")
                processes.insert(0, subprocess.Popen(["jwm"], env=env, stdout=subprocess.DEVNULL,
                                                     stderr=subprocess.DEVNULL))
                time.sleep(1)  # jwm announces itself on the root window within a second
            return processes, f":{number}"
    return None, None


def stop_processes(processes):
    for p in processes or []:
        p.terminate()
        p.wait()


def process_cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def resident_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return None


def idle_figures(pid, probe_file, seconds):
    """CPU share of one core (%), frames per second and resident MB over `seconds`."""
    cpu0, (frames0, t0) = process_cpu_seconds(pid), read_probe(probe_file)
    time.sleep(seconds)
    cpu1, (frames1, t1) = process_cpu_seconds(pid), read_probe(probe_file)
    wall = (t1 - t0) / 1e9 if t1 > t0 else seconds
    return 100 * (cpu1 - cpu0) / seconds, (frames1 - frames0) / wall, resident_mb(pid)


def press_escape(env):
    # Held for a moment as a person holds it: a press and release between two frames' key
    # queries is not a fresh press.
    subprocess.run(["xdotool", "keydown", "Escape"], env=env)
    time.sleep(0.2)
    subprocess.run(["xdotool", "keyup", "Escape"], env=env)


# Ends the program with Escape in its main loop; SDL turns SIGTERM into a close request, which the
# magazine ignores, so a program left running is killed.
def end_program(app, env):
    press_escape(env)
    try:
        app.wait(timeout=5)
    except subprocess.TimeoutExpired:
        app.kill()
        app.wait()


# The median of each figure (CPU %, frames/s, MB) over the runs that measured it.
def medians(rows):
    return [median([r[i] for r in rows if r[i] is not None]) for i in range(3)]


def running_figures(program, probe, workdir, runs):
    """Medians over `runs` launches under Xvfb: intro and main-loop (CPU %, fps, MB)."""
    if not shutil.which("Xvfb") or not shutil.which("xdotool"):
        return None
    server, display = start_xvfb()
    if not server:
        return None
    intro, main = [], []
    probe_file = os.path.join(workdir, "probe_idle")
    env = program_env(probe, probe_file, {"DISPLAY": display})
    try:
        for _ in range(runs):
            if os.path.exists(probe_file):
                os.remove(probe_file)
            app = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
            try:
                time.sleep(3)  # past the opening flashes
                intro.append(idle_figures(app.pid, probe_file, 4))
                press_escape(env)
                time.sleep(4.5)  # past the intro's 3 s of closing flashes
                main.append(idle_figures(app.pid, probe_file, 4))
                note(f"  intro {intro[-1]}, main loop {main[-1]} (CPU %, frames/s, MB)")
            finally:
                end_program(app, env)
    finally:
        stop_processes(server)
    if not intro:
        return None
    return {"intro": medians(intro), "main": medians(main),
            "display": display}


def alt_enter(env):
    subprocess.run(["xdotool", "keydown", "Alt_L", "keydown", "Return"], env=env)
    time.sleep(0.2)
    subprocess.run(["xdotool", "keyup", "Return", "keyup", "Alt_L"], env=env)


SCREENS = ("1024x768", "1920x1080")


def screen_figures(program, probe, workdir, runs, seconds=10):
    """The cost of full screen: medians over `runs` launches per screen size (Xvfb with jwm) of
    the main loop in the 800 x 600 window and then full screen (Alt+Enter), each measured over
    `seconds`: {size: {"window": (CPU %, fps, MB), "full": (...)}}."""
    if not shutil.which("Xvfb") or not shutil.which("xdotool") or not shutil.which("jwm"):
        return None
    figures = {}
    probe_file = os.path.join(workdir, "probe_screen")
    for size in SCREENS:
        server, display = start_xvfb(size, window_manager=True)
        if not server:
            continue
        env = program_env(probe, probe_file, {"DISPLAY": display})
        rows = {"window": [], "full": []}
        try:
            for _ in range(runs):
                if os.path.exists(probe_file):
                    os.remove(probe_file)
                app = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
                try:
                    time.sleep(3)
                    press_escape(env)
                    time.sleep(4.5)  # past the closing flashes: the main loop, full screen
                    alt_enter(env)   # the window first, so its memory is not the full screen's
                    time.sleep(1.5)
                    rows["window"].append(idle_figures(app.pid, probe_file, seconds))
                    alt_enter(env)
                    time.sleep(1.5)
                    rows["full"].append(idle_figures(app.pid, probe_file, seconds))
                    note(f"  {size}: window {rows['window'][-1]}, full screen {rows['full'][-1]}"
                         " (CPU %, frames/s, MB)")
                finally:
                    end_program(app, env)
        finally:
            stop_processes(server)
        figures[size] = {mode: medians(got) for mode, got in rows.items()}
    return figures


def screen_rows(figures):
    rows = []
    for size in SCREENS:
        got = (figures or {}).get(size)
        for mode, label in (("window", "800 x 600 window"), ("full", "full screen")):
            cpu, fps, mb = got[mode] if got else (None, None, None)
            per_frame = 10 * cpu / fps if cpu and fps else None
            rows.append((f"Main loop, {label} on a {size.replace('x', ' x ')} screen "
                         "(Xvfb, jwm): CPU share of one core, CPU time per frame, resident memory",
                         fmt(cpu, "{:.1f} %") + fmt(fps, " at {:.0f} frames/s") +
                         fmt(per_frame, ", {:.2f} ms/frame") + fmt(mb, ", {:.0f} MB"),
                         "", "", ""))
        if got and got["window"][0] and got["full"][0] and got["window"][1] and got["full"][1]:
            share = got["full"][0] / got["window"][0]
            frame = share * got["window"][1] / got["full"][1]
            rows.append((f"Full screen against the window, {size.replace('x', ' x ')}",
                         f"{share:.2f}× the CPU share, {frame:.2f}× the CPU time per frame",
                         "", "", ""))
    return rows


# ---- The table ----------------------------------------------------------------------------------

def fmt(value, pattern):
    return "n/a" if value is None else pattern.format(value)


def machine():
    model = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    load = os.getloadavg()[0]
    return (f"{model}, {os.cpu_count()} cores, Linux {platform.release()}; "
            f"load average {load:.1f} at the start")


def main():
    if len(sys.argv) < 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    build = sys.argv[1]
    runs = int(sys.argv[sys.argv.index("--runs") + 1]) if "--runs" in sys.argv else RUNS
    if "--screens" in sys.argv:  # only the window against full screen
        with tempfile.TemporaryDirectory(prefix="qm_bench_") as work:
            rows = screen_rows(screen_figures(os.path.join(build, "app", "quellmark"),
                                              os.path.join(build, "bench", "present",
                                                           "libqm_present_probe.so"), work, runs))
        print("| Measure | The Quellmark |\n|---|---|")
        for row in rows:
            print(f"| {row[0]} | {row[1]} |")
        return 0
    where = machine()
    exe = lambda *parts: os.path.join(build, *parts)
    program = exe("app", "quellmark")
    renderer = exe("tools", "render", "quellmark-render")
    probe = exe("bench", "present", "libqm_present_probe.so")

    note("benchmarks: page frames, intro frame, document load, in-process mixer")
    render_b = gbench(exe("bench", "render", "bench_render"),
                      "BM_MainLoopFrame|BM_TransitionFrame|BM_LoadDocument4", runs)
    intro_b = gbench(exe("bench", "intro", "bench_intro"), "BM_IntroFrame", runs)
    module_b = gbench(exe("bench", "module", "bench_module"), "Mix4Channels|Mix32ChannelsBusy",
                      runs)

    rows = []
    for label, bench in (("Main-loop frame", render_b.get("BM_MainLoopFrame")),
                         ("Page-transition frame", render_b.get("BM_TransitionFrame")),
                         ("Intro frame", intro_b.get("BM_IntroFrame")),
                         ("Document 4 load", render_b.get("BM_LoadDocument4"))):
        rows.append((label, fmt(micros(bench), "{:.0f} µs"), "", "", ""))

    with tempfile.TemporaryDirectory(prefix="qm_bench_") as work:
        note("start-up to the first frame")
        if os.path.exists(probe):
            headless = startup_ms(program, probe, work, {"SDL_VIDEODRIVER": "dummy"}, runs)
            rows.append(("Start-up to first frame, headless", fmt(headless, "{:.0f} ms"),
                         "", "", ""))
            server, display = start_xvfb() if shutil.which("Xvfb") else (None, None)
            xvfb = None
            if server:
                try:
                    xvfb = startup_ms(program, probe, work, {"DISPLAY": display}, runs)
                finally:
                    stop_processes(server)
            rows.append(("Start-up to first frame, Xvfb", fmt(xvfb, "{:.0f} ms"), "", "", ""))

        subprocess.run([exe("bench", "files", "write_bench_files"), work], check=True)
        wav = os.path.join(work, "out.wav")

        def compare(label, ours, peers):
            note(label)
            mine = realtime(ours, wav, runs)
            cell = lambda r: "n/a" if r is None else f"{r[0]:.0f}× ({r[1]:.0f}× wall)"
            for name, command in peers:
                theirs = realtime(command, wav, runs)
                ratio = None if not mine or not theirs else mine[0] / theirs[0]
                rows.append((label, cell(mine), name, cell(theirs),
                             fmt(ratio, "ours {:.1f}× faster" if ratio and ratio >= 1
                                 else "ours {:.2f}× as fast")))

        sid = os.path.join(work, "busy.sid")
        compare("SID render, busy tune, 30 s (× real time)",
                [renderer, "sid", sid, wav, "--seconds", "30"],
                [("sidplayfp", ["sidplayfp", "-m", "-q", "-t30", "-w" + wav, sid])])
        for channels, name in ((4, "four.xm"), (32, "busy32.xm")):
            xm = os.path.join(work, name)
            compare(f"XM mix, {channels} channels, 120 s (× real time)",
                    [renderer, "xm", xm, wav, "--seconds", "120"],
                    [("xmp -i linear", ["xmp", "-q", "-i", "linear", "-f", "44100", "-t", "120",
                                        "-o", wav, xm]),
                     ("openmpt123 --filter 2",
                      ["openmpt123", "--batch", "--quiet", "--force", "--filter", "2",
                       "--samplerate", "44100", "--channels", "2", "--no-float", "--end-time",
                       "120", "--output", wav, xm])])
        for channels, key in ((4, "Mix4Channels"), (32, "Mix32ChannelsBusy")):
            bench = module_b.get(key)
            rows.append((f"XM mixer alone, {channels} channels, in process "
                         "(× real time per CPU second)",
                         fmt(bench and bench.get("cpu_realtime_x"), "{:.0f}×"), "", "", ""))

        note("the running magazine under Xvfb")
        running = running_figures(program, probe, work, max(1, min(runs, 3))) \
            if os.path.exists(probe) else None
        for phase, label in (("intro", "intro"), ("main", "main loop")):
            cpu, fps, mb = running[phase] if running else (None, None, None)
            rows.append((f"Resident memory, {label} (Xvfb)", fmt(mb, "{:.0f} MB"), "", "", ""))
            rows.append((f"CPU share of one core idling in the {label} (Xvfb)",
                         fmt(cpu, "{:.0f} %") + fmt(fps, " at {:.0f} frames/s"), "", "", ""))

        note("window and full screen under Xvfb with jwm")
        if os.path.exists(probe):
            rows += screen_rows(screen_figures(program, probe, work, max(1, min(runs, 3))))

    print(f"\n### The Quellmark: performance (medians of {runs} runs)\n")
    print(f"Machine: {where}.\n")
    print("| Measure | The Quellmark | Peer | Peer | Ours against the peer |")
    print("|---|---|---|---|---|")
    for row in rows:
        print("| " + " | ".join(row) + " |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
