#!/bin/sh
# The real program in a real X server (Xvfb with a window manager, so full screen works):
# finds the window by its title, takes a screenshot, presses Escape for the intro and again for
# the main loop, and expects exit status 0; then runs it with no display at all and expects -1.
set -u
program="$1"
work=$(mktemp -d)
fail() { echo "FAIL: $*"; cat "$work/program.log" 2>/dev/null; cleanup; exit 1; }
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}

for n in $(seq 90 140); do
  [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY="$display"
for i in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"
jwm >/dev/null 2>&1 &
wm=$!
sleep 0.5

SDL_AUDIODRIVER=dummy "$program" >"$work/program.log" 2>&1 &
pid=$!
wid=""
for i in $(seq 100); do
  wid=$(xdotool search --name '^CODED BY VELTHRANE :-\)$' 2>/dev/null | head -n 1)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "no window titled 'CODED BY VELTHRANE :-)'"
# SDL may replace its first window while it goes full screen: look again once it has settled.
sleep 1
wid=$(xdotool search --name '^CODED BY VELTHRANE :-\)$' 2>/dev/null | tail -n 1)
[ -n "$wid" ] || fail "the window went away"
geometry=$(xwininfo -id "$wid" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[ "$geometry" = "1024x768" ] || fail "expected a full-screen window of 1024x768, got $geometry"
import -window "$wid" "$work/shot.png" || fail "screenshot failed"
size=$(identify -format '%wx%h' "$work/shot.png")
[ "$size" = "1024x768" ] || fail "screenshot is $size"
if [ -n "${QUELLMARK_SHOT_DIR:-}" ]; then cp "$work/shot.png" "$QUELLMARK_SHOT_DIR/real_window.png"; fi

xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || xdotool windowfocus --sync "$wid"
sleep 0.2
# Keys are held as a person holds them: a press and release between two frames' key queries is
# not a fresh press, by design.
press_escape() { xdotool keydown Escape; sleep 0.2; xdotool keyup Escape; sleep 0.3; }
# The intro opens with 1.65 s of black and colour flashes, which read no keys.
sleep 2
press_escape
kill -0 "$pid" 2>/dev/null || fail "the first Escape ended the program instead of the intro"
# The intro closes with 3 s of colour flashes, which read no keys.
sleep 3
press_escape
status=""
for i in $(seq 50); do
  if ! kill -0 "$pid" 2>/dev/null; then wait "$pid"; status=$?; break; fi
  sleep 0.1
done
[ "$status" = "0" ] || fail "exit status '$status' after two Escapes, expected 0"
pid=""

# Without any display the program ends at once with -1 (255 to the shell).
env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy timeout 20 "$program" >"$work/program.log" 2>&1
status=$?
[ "$status" = "255" ] || fail "exit status $status without a display, expected 255"

echo "real window: full screen $geometry, screenshot taken, Escape twice -> 0, no display -> 255"
cleanup
exit 0
