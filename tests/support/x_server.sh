# shellcheck shell=sh
# Sourced by the tests that run a program in a real X server. The sourcing script defines
# fail MESSAGE and, in its clean-up, kills $wm and $xvfb.

# poll SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds (then 0) or SECONDS have
# passed (then 1).
poll() {
  tries=$(($1 * 10))
  shift
  while [ "$tries" -gt 0 ]; do "$@" && return 0; tries=$((tries - 1)); sleep 0.1; done
  return 1
}
ended() { ! kill -0 "$1" 2>/dev/null; }

# start_x_server: starts Xvfb (one 1024 x 768 screen, 24 bits) on the first display from :90 up
# that has no lock file, exports DISPLAY, sets xvfb to the server's process and fails when the
# server does not answer within 10 s. Then starts jwm, sets wm, and waits up to 5 s until jwm has
# announced itself on the root window, and half a second more for it to finish setting up, as a
# desktop's window manager has before programs start.
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
start_x_server() {
  display=""
  for n in $(seq 90 190); do [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }; done
  [ -n "$display" ] || fail "no free X display from :90 to :190"
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY="$display"
  poll 10 xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start on $display"
  jwm >/dev/null 2>&1 &
  wm=$!
  poll 5 wm_ready
  sleep 0.5
}

# wait_for_end PID SECONDS: sets status to the program's exit status once it has ended, waiting
# up to SECONDS; leaves status empty when it still runs then.
wait_for_end() {
  status=""
  if poll "$2" ended "$1"; then wait "$1"; status=$?; fi
}

# wait_for_window PID NAME [SECONDS]: prints the id of the first window whose title matches the
# regular expression NAME, waiting up to SECONDS (default 30) for it; prints nothing when the
# program PID ends first or the time runs out.
window_or_end() { [ -n "$(xdotool search --name "$2" 2>/dev/null)" ] || ended "$1"; }
wait_for_window() {
  poll "${3:-30}" window_or_end "$1" "$2"
  xdotool search --name "$2" 2>/dev/null | head -n 1
}
