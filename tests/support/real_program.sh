# shellcheck shell=sh
# Sourced by the tests that run the real program in a real X server (with x_server.sh): a work
# folder, fail MESSAGE (prints the program's log and cleans up) and the clean-up of the program
# ($pid), a second window ($other), the window manager and the X server.
work=$(mktemp -d)
fail() { echo "FAIL: $*"; cat "$work/program.log" 2>/dev/null; cleanup; exit 1; }
cleanup() {
  for p in ${pid:-} ${other:-} ${wm:-} ${xvfb:-}; do kill "$p" 2>/dev/null; done
  rm -rf "$work"
}
. "$(dirname "$0")/../support/x_server.sh"
title='^CODED BY VELTHRANE :-\)$'

# start_program [NAME=VALUE...]: starts $program (those variables set, SIGINT at its default as
# from a terminal, its phase lines on) logging to $work/program.log, and waits for its window;
# sets pid and wid. SDL may replace its first window while it goes full screen, so the last
# window of that title is taken once one exists.
start_program() {
  SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} QUELLMARK_TRACE=1 env --default-signal=INT "$@" \
    "$program" >"$work/program.log" 2>&1 &
  pid=$!
  [ -n "$(wait_for_window "$pid" "$title")" ] || fail "no window titled 'CODED BY VELTHRANE :-)'"
  sleep 0.5
  wid=$(xdotool search --name "$title" 2>/dev/null | tail -n 1)
  activate
}
# start_magazine: start_program, then a click ends the intro and the main loop runs.
start_magazine() { start_program; wait_for_phase intro; click 20 20; wait_for_phase magazine; }
# activate [SECONDS]: gives the window the focus, then waits SECONDS (default none).
activate() { xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || xdotool windowfocus --sync "$wid"; sleep "${1:-0}"; }

# wait_for_phase WHAT [SECONDS]: waits (default 30 s) until the program has written the line
# "phase WHAT"; fails when it has not by then or has ended.
phase_seen() { grep -qx "phase $1" "$work/program.log" || { alive "before 'phase $1'"; return 1; }; }
wait_for_phase() { poll "${2:-30}" phase_seen "$1" || fail "no 'phase $1' within ${2:-30} s"; }
# expect_end STATUS WHAT [SECONDS]: the program ends within SECONDS (default 2) with STATUS.
expect_end() {
  wait_for_end "$pid" "${3:-2}"
  [ "$status" = "$1" ] || fail "exit status '$status' after $2, expected $1"
  pid=""
}

# Keys and buttons are held for 100 ms, as a person holds them: a press and release between two
# frames' input queries is not a fresh press, by design. click X Y takes logical coordinates,
# scaled by zoom percent (100 unless the test sets it).
key() { xdotool keydown "$1"; sleep 0.1; xdotool keyup "$1"; sleep 0.2; }
click() {
  xdotool mousemove --window "$wid" $(($1 * ${zoom:-100} / 100)) $(($2 * ${zoom:-100} / 100))
  sleep 0.05
  xdotool mousedown 1
  sleep 0.1
  xdotool mouseup 1
  sleep 0.2
}
alive() { kill -0 "$pid" 2>/dev/null || fail "the program ended ($1)"; }
geometry() { xwininfo -id "$wid" 2>/dev/null | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }
# shot NAME: a screenshot into $work/NAME.png, copied into QUELLMARK_SHOT_DIR when that is set.
shot() {
  import -window "$wid" "$work/$1.png" || fail "screenshot $1"
  if [ -n "${QUELLMARK_SHOT_DIR:-}" ]; then cp "$work/$1.png" "$QUELLMARK_SHOT_DIR/"; fi
}
