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

# start_program [NAME=VALUE...]: starts $program (those variables set, SIGINT at its default as
# from a terminal, its phase lines on) logging to $work/program.log, and waits for its window;
# sets pid and wid. SDL may replace its first window while it goes full screen, so the last
# window of that title is taken once one exists.
start_program() {
  SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} QUELLMARK_TRACE=1 env --default-signal=INT "$@" \
    "$program" >"$work/program.log" 2>&1 &
  pid=$!
  wid=$(wait_for_window "$pid" '^CODED BY VELTHRANE :-\)$')
  [ -n "$wid" ] || fail "no window titled 'CODED BY VELTHRANE :-)'"
  sleep 0.5
  wid=$(xdotool search --name '^CODED BY VELTHRANE :-\)$' 2>/dev/null | tail -n 1)
  xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || xdotool windowfocus --sync "$wid"
}

# wait_for_phase WHAT [SECONDS]: waits (default 30 s) until the program has written the line
# "phase WHAT"; fails when it has not by then or has ended.
wait_for_phase() {
  for i in $(seq $((${2:-30} * 10))); do
    grep -qx "phase $1" "$work/program.log" && return 0
    kill -0 "$pid" 2>/dev/null || fail "the program ended before 'phase $1'"
    sleep 0.1
  done
  fail "no 'phase $1' within ${2:-30} s"
}

# Keys and buttons are held for 100 ms, as a person holds them: a press and release between two
# frames' input queries is not a fresh press, by design.
key() { xdotool keydown "$1"; sleep 0.1; xdotool keyup "$1"; sleep 0.2; }
alive() { kill -0 "$pid" 2>/dev/null || fail "the program ended ($1)"; }
