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

# Starts the program (sets pid and wid) and clicks the intro away once it runs.
start_magazine() {
  start_program
  wait_for_phase intro
  click
  wait_for_phase magazine
}

activate() { xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || xdotool windowfocus --sync "$wid"; sleep 0.3; }
click() { xdotool mousemove --window "$wid" 20 20; xdotool mousedown 1; sleep 0.1; xdotool mouseup 1; }
rss() { awk '/^VmRSS:/{print $2}' "/proc/$pid/status"; }
# The mean red and blue of the screen's left edge (logical x 0..15, y 200..559), whatever the
# window's size: "R B", 0..255.
edge() {
  import -window "$wid" "$work/shot.png" 2>/dev/null || fail "screenshot"
  convert "$work/shot.png" -resize '800x600!' -crop 16x360+0+200 \
    -resize '1x1!' -depth 8 txt:- | tail -n 1 | sed 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \3/'
}
# skin N WHAT: F1 or F2 chooses skin N, and the screen shows it within 2 s (skin 1 is warm at
# its left edge, skin 2 cool).
skin() {
  key "F$1"
  for i in $(seq 10); do
    set -- "$1" "$2" $(edge)
    if [ "$1" = 1 ] && [ "$3" -gt "$4" ]; then return 0; fi
    if [ "$1" = 2 ] && [ "$4" -gt "$3" ]; then return 0; fi
    sleep 0.2
  done
  fail "F$1 did not show skin $1 after $2 (left edge red, blue: $3 $4)"
}
geometry() { xwininfo -id "$wid" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }
# settles_at WxH: whether the window reaches that size within 3 s (the window manager resizes it
# in its own time after a restore or a full-screen change).
settles_at() {
  for i in $(seq 30); do
    [ "$(geometry)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

start_x_server
start_magazine
alive "intro"
skin 2 "the start"
skin 1 "the start"

# Focus to another window and back.
xlogo -geometry 300x200+100+100 >/dev/null 2>&1 &
other=$!
for i in $(seq 50); do
  owid=$(xdotool search --onlyvisible --class xlogo 2>/dev/null | tail -n 1)
  [ -n "$owid" ] && break
  sleep 0.1
done
[ -n "$owid" ] || fail "no second window"
xdotool windowactivate --sync "$owid" >/dev/null 2>&1
sleep 1
[ "$(xdotool getactivewindow)" != "$wid" ] || fail "the focus did not move away"
alive "focus lost"
activate
skin 2 "the focus came back"
kill "$other"
other=""

# Minimised and restored.
xdotool windowminimize --sync "$wid" >/dev/null 2>&1 || xdotool windowminimize "$wid"
sleep 1
alive "minimised"
activate
skin 1 "the window was restored"

# Alt+Enter: one pair first (the window and its full screen both made once), then 20 in quick
# succession and a 21st, so that the window's size shows that an odd count was taken, then one
# more back to full screen. A texture or scaling buffer lost per toggle would cost 2 to 3 MB each;
# the allocator moves resident memory by a few MB either way over such a run.
settles_at 1024x768 || fail "not full screen at the start: $(geometry)"
key alt+Return
sleep 0.5
settles_at 800x600 || fail "Alt+Enter did not make an 800x600 window: $(geometry)"
skin 2 "a window from Alt+Enter"
key alt+Return
sleep 0.5
settles_at 1024x768 || fail "Alt+Enter did not go back to full screen: $(geometry)"
before=$(rss)
for i in $(seq 21); do
  xdotool key alt+Return
  sleep 0.05
done
sleep 1.5
alive "21 Alt+Enter"
after=$(rss)
activate
settles_at 800x600 || fail "not a window after 21 Alt+Enter: $(geometry)"
skin 1 "21 Alt+Enter"
key alt+Return
sleep 0.5
settles_at 1024x768 || fail "not full screen after 22 Alt+Enter: $(geometry)"
skin 2 "22 Alt+Enter"
growth=$((after - before))
[ "$growth" -lt 8192 ] || fail "resident memory grew by $growth kB over 21 Alt+Enter ($before -> $after kB)"

key Escape
wait_for_end "$pid" 2
[ "$status" = "0" ] || fail "exit status '$status' after Escape, expected 0"
pid=""

# The X server killed under the running magazine (music playing).
start_magazine
alive "second start"
kill "$xvfb"
wait "$xvfb" 2>/dev/null
xvfb=""
wait_for_end "$pid" 5
[ -n "$status" ] || fail "still running 5 s after the X server went away"
grep -q "terminate called" "$work/program.log" && fail "the program aborted when the X server went away"
[ "$status" = "1" ] || fail "exit status '$status' when the X server went away, expected 1"
pid=""

echo "display faults: focus lost and back, minimised and restored, 21 quick Alt+Enter (resident memory $before -> $after kB): still reacting; Escape -> 0; X server killed -> 1 without an abort"
cleanup
exit 0
