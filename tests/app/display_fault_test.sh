#!/bin/sh
# Display faults on the real program in a real X server (Xvfb with a window manager): the focus
# taken by another window and given back, the window minimised and restored, Alt+Enter pressed 21
# times in quick succession. After each the program must still react: F1 and F2 switch the skin,
# which turns the left edge of the screen warm or cool. Resident memory after the toggles may
# not exceed what it was after a first pair by more than a small bound. Escape then ends it with
# 0. Last, the X server is killed under a running program: it must end without aborting (the X
# library ends it with status 1 when the connection is lost).
set -u
program="$1"
. "$(dirname "$0")/../support/real_program.sh"

rss() { awk '/^VmRSS:/{print $2}' "/proc/$pid/status"; }
# skin_at N: whether the mean red and blue of the screen's left edge (logical x 0..15,
# y 200..559, whatever the window's size) show skin N: warm for skin 1, cool for skin 2.
skin_at() {
  import -window "$wid" "$work/shot.png" 2>/dev/null || fail "screenshot"
  edge=$(convert "$work/shot.png" -resize '800x600!' -crop 16x360+0+200 -resize '1x1!' -depth 8 \
    -format "%[fx:round(255*mean.r)] %[fx:round(255*mean.b)]" info:)
  if [ "$1" = 1 ]; then [ "${edge% *}" -gt "${edge#* }" ]; else [ "${edge#* }" -gt "${edge% *}" ]; fi
}
# skin N WHAT: F1 or F2 chooses skin N, and the screen shows it within 2 s.
skin() { key "F$1"; poll 2 skin_at "$1" || fail "F$1 did not show skin $1 after $2 (left edge red, blue: $edge)"; }
# settles_at WxH WHAT: the window reaches that size within 3 s (the window manager resizes it in
# its own time after a restore or a full-screen change); toggle WxH WHAT presses Alt+Enter first.
size_is() { [ "$(geometry)" = "$1" ]; }
settles_at() { poll 3 size_is "$1" || fail "not $1 $2: $(geometry)"; }
toggle() { key alt+Return; sleep 0.5; settles_at "$1" "after $2"; }

start_x_server
start_magazine
skin 2 "the start"
skin 1 "the start"

# Focus to another window and back.
xlogo -geometry 300x200+100+100 >/dev/null 2>&1 &
other=$!
xlogo_window() { owid=$(xdotool search --onlyvisible --class xlogo 2>/dev/null | tail -n 1); [ -n "$owid" ]; }
poll 5 xlogo_window || fail "no second window"
xdotool windowactivate --sync "$owid" >/dev/null 2>&1
sleep 1
[ "$(xdotool getactivewindow)" != "$wid" ] || fail "the focus did not move away"
alive "focus lost"
activate 0.3
skin 2 "the focus came back"
kill "$other"
other=""

# Minimised and restored.
xdotool windowminimize --sync "$wid" >/dev/null 2>&1 || xdotool windowminimize "$wid"
sleep 1
alive "minimised"
activate 0.3
skin 1 "the window was restored"

# Alt+Enter: one pair first (the window and its full screen both made once), then 20 in quick
# succession and a 21st, so that the window's size shows that an odd count was taken, then one
# more back to full screen. A texture or scaling buffer lost per toggle would cost 2 to 3 MB each;
# the allocator moves resident memory by a few MB either way over such a run.
settles_at 1024x768 "at the start"
toggle 800x600 "one Alt+Enter"
skin 2 "a window from Alt+Enter"
toggle 1024x768 "two Alt+Enter"
before=$(rss)
for i in $(seq 21); do xdotool key alt+Return; sleep 0.05; done
sleep 1.5
alive "21 Alt+Enter"
after=$(rss)
activate 0.3
settles_at 800x600 "after 21 Alt+Enter"
skin 1 "21 Alt+Enter"
toggle 1024x768 "22 Alt+Enter"
skin 2 "22 Alt+Enter"
[ $((after - before)) -lt 8192 ] || fail "resident memory grew from $before to $after kB over 21 Alt+Enter"
key Escape
expect_end 0 "Escape"

# The X server killed under the running magazine (music playing).
start_magazine
kill "$xvfb"
wait "$xvfb" 2>/dev/null
xvfb=""
wait_for_end "$pid" 5
grep -q "terminate called" "$work/program.log" && fail "the program aborted when the X server went away"
[ "$status" = "1" ] || fail "exit status '$status' 5 s after the X server went away, expected 1"
pid=""

echo "display faults: focus lost and back, minimised and restored, 21 quick Alt+Enter (resident memory $before -> $after kB): still reacting; Escape -> 0; X server killed -> 1 without an abort"
cleanup
exit 0
