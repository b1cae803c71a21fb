#!/bin/sh
# The real program in a real X server (Xvfb with a window manager, so full screen works):
# finds the window by its title, takes a screenshot, presses Escape for the intro and again for
# the main loop, and expects exit status 0 within half a second; SIGINT in the intro and SIGTERM
# in the main loop end it in order with 0; Escape held across start-up does not skip the intro;
# then runs it with no display at all and expects -1 and one line naming what is missing, and
# with an unreachable display -1 and SDL's reason. The window must carry its icon. It waits for
# the program's phase lines, not for guessed times.
set -u
program="$1"
. "$(dirname "$0")/../support/real_program.sh"
start_x_server

# SDL may replace its first window while it goes full screen: look again until the titled
# window covers the screen; the 64-pixel icon for window lists is set just after the window.
full_screen_with_icon() {
  wid=$(xdotool search --name "$title" 2>/dev/null | tail -n 1)
  icon=$(xprop -id "$wid" _NET_WM_ICON 2>&1 | head -n 1)
  case "$(geometry) $icon" in "1024x768 "*"Icon (64 x 64)"*) ;; *) return 1 ;; esac
}
start_program
poll 3 full_screen_with_icon
[ "$(geometry)" = "1024x768" ] || fail "expected a full-screen window of 1024x768, got $(geometry)"
case "$icon" in *"Icon (64 x 64)"*) ;; *) fail "no 64 x 64 _NET_WM_ICON on the window: $icon" ;; esac
shot real_window
[ "$(identify -format '%wx%h' "$work/real_window.png")" = "1024x768" ] || fail "the screenshot is not 1024x768"
activate

wait_for_phase intro
key Escape
wait_for_phase magazine
xdotool keydown Escape
sent=$(date +%s%N)
# The process ends within half a second of the key (0.15 s measured).
for i in $(seq 100); do ended "$pid" && break; sleep 0.01; done
ended=$(date +%s%N)
xdotool keyup Escape
expect_end 0 "two Escapes" 1
exit_ms=$(((ended - sent) / 1000000))
[ "$exit_ms" -lt 500 ] || fail "the program took $exit_ms ms to end after Escape"

# SIGINT (Ctrl+C in the terminal) during the intro, SIGTERM in the main loop.
signal_ends() { kill "-$1" "$pid"; expect_end 0 "SIG$1 $2"; }
start_program
wait_for_phase intro
signal_ends INT "in the intro"
start_magazine
signal_ends TERM "in the main loop"

# Reduced motion, asked for by the variable or by the desktop (a gsettings that answers "false"
# for GNOME's enable-animations): screenshots from the start until the intro shows (thousands of
# colours) are each of one colour, where the flashes' bands would show dozens, and one of them is
# the fade's colour, not black.
calm_flashes() {
  start_program "$@"
  for i in 1 2 3 4 5 6; do
    sleep 0.4
    xwd -id "$wid" -silent >"$work/flash$i.xwd" || fail "screenshot"
  done
  signal_ends INT "in the flashes"
  seen=""
  for i in 1 2 3 4 5 6; do seen="$seen $(convert "xwd:$work/flash$i.xwd" -format '%k:%[fx:maxima]' info:)"; done
  echo "$seen" | grep -Eq '^( [12]:[0-9.e-]+)* [0-9]{4,}:' || fail "no calm flashes with $*:$seen"
  echo "$seen" | grep -Eq ' 1:0\.[1-9]' || fail "no fade to a colour with $*:$seen"
}
calm_flashes QUELLMARK_REDUCED_MOTION=1
mkdir "$work/bin"
printf '#!/bin/sh\necho false\n' >"$work/bin/gsettings"
chmod +x "$work/bin/gsettings"
calm_flashes PATH="$work/bin:$PATH"

# Escape held from before the start until 3 s after it: the intro still plays, and after the
# release one press ends the intro, not the program.
xdotool keydown Escape
start_program
sleep 3
xdotool keyup Escape
wait_for_phase intro
key Escape
wait_for_phase flashes
alive "one Escape after the held one"
signal_ends TERM "after the held Escape"

# Without any display the program ends at once with -1 (255 to the shell) and says only what is
# missing; with a display that cannot be reached it gives SDL's reason.
for row in "-u DISPLAY|no display: neither DISPLAY nor WAYLAND_DISPLAY is set" "DISPLAY=:189.0|cannot open a display: .+"; do
  # shellcheck disable=SC2086
  env -u WAYLAND_DISPLAY ${row%%|*} SDL_AUDIODRIVER=dummy timeout 20 "$program" >"$work/program.log" 2>&1
  status=$?
  [ "$status $(wc -l <"$work/program.log") $(grep -Ecx "${row#*|}" "$work/program.log")" = "255 1 1" ] ||
    fail "env ${row%%|*}: status $status and the output above, expected 255 and one line '${row#*|}'"
done

echo "real window: full screen with its icon, screenshot taken, Escape twice -> 0 in $exit_ms ms, SIGINT and SIGTERM -> 0, held Escape keeps the intro, reduced motion fades calmly, no display -> 255 with a reason"
cleanup
exit 0
