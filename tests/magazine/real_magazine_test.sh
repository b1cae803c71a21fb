#!/bin/sh
# The magazine read as a person reads it, in a real X server (Xvfb with a window manager, full
# screen at 1024 x 768, so the 800 x 600 picture is scaled by 1.28) with SDL's disk audio driver
# recording what is played. xdotool holds every key and button for about 100 ms.
#   real_magazine_test.sh QUELLMARK QUELLMARK_SHOT
# QUELLMARK_SHOT_DIR, when set, receives the screenshots.
set -u
program="$1"
shot_tool="$2"
work=$(mktemp -d)
fail() { echo "FAIL: $*"; cat "$work/program.log" 2>/dev/null; cleanup; exit 1; }
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}

# References from the headless display: the editorial, and document 1 after the Charts button
# and "> Monthly Chart" (intro click at frame 100, main loop from frame 275).
cat >"$work/ref.script" <<'SCRIPT'
100 move 400 300
100 down
106 up
290 shot editorial
300 move 79 74
301 down
306 up
320 move 200 66
321 down
326 up
520 shot monthly_chart
530 key Escape
SCRIPT
"$shot_tool" --script "$work/ref.script" --out "$work" >/dev/null 2>&1 || fail "reference run failed"

. "$(dirname "$0")/../support/x_server.sh"
start_x_server

audio="$work/audio.raw"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" "$program" >"$work/program.log" 2>&1 &
pid=$!
wid=$(wait_for_window "$pid" '^CODED BY VELTHRANE :-\)$')
[ -n "$wid" ] || fail "no window"
# SDL may replace its first window while it goes full screen: look again once it has settled.
sleep 1
wid=$(xdotool search --name '^CODED BY VELTHRANE :-\)$' 2>/dev/null | tail -n 1)
xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || xdotool windowfocus --sync "$wid"

# Logical 800 x 600 coordinates to the window's 1024 x 768.
click() {
  xdotool mousemove --window "$wid" $(($1 * 128 / 100)) $(($2 * 128 / 100))
  sleep 0.05
  xdotool mousedown 1
  sleep 0.1
  xdotool mouseup 1
  sleep 0.2
}
key() {
  xdotool keydown "$1"
  sleep 0.1
  xdotool keyup "$1"
  sleep 0.2
}
shot() {
  import -window "$wid" "$work/$1.png" || fail "screenshot $1"
  if [ -n "${QUELLMARK_SHOT_DIR:-}" ]; then cp "$work/$1.png" "$QUELLMARK_SHOT_DIR/"; fi
}
alive() { kill -0 "$pid" 2>/dev/null || fail "the program ended early ($1)"; }
# The mean colour of a logical rectangle (x y w h) of a screenshot, as "R G B", 0..255 each.
mean() {
  convert "$work/$1.png" \
    -crop $(($4 * 128 / 100))x$(($5 * 128 / 100))+$(($2 * 128 / 100))+$(($3 * 128 / 100)) \
    -resize '1x1!' -depth 8 txt:- | tail -n 1 | sed 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/'
}
# The brightest red, green and blue of a logical rectangle (x y w h) of a screenshot.
peak() {
  convert "$work/$1.png" \
    -crop $(($4 * 128 / 100))x$(($5 * 128 / 100))+$(($2 * 128 / 100))+$(($3 * 128 / 100)) \
    +repage -format '%[fx:round(255*maxima.r)] %[fx:round(255*maxima.g)] %[fx:round(255*maxima.b)]' info:
}
# The level meter's bars stand in x 158..646 below the ticker, where both skins are dark (no
# channel above 40): a bar shows as a bright gold (skin 1) or blue (skin 2). The song may rest
# for a moment, so up to ten screenshots are taken.
meter_shows() {
  for i in $(seq 10); do
    shot "$1"
    set -- "$1" "$2" $(peak "$1" 158 136 488 16)
    [ "$(eval echo \$$(($2 + 2)))" -gt 100 ] && return 0
    sleep 0.2
  done
  return 1
}

# How far the page area of a screenshot lies from a headless reference frame (RMSE, 0..1).
page_distance() {
  convert "$work/$1.png" -resize '800x600!' -crop 750x370+20+195 +repage "$work/a.png"
  convert "$work/$2.png" -crop 750x370+20+195 +repage "$work/b.png"
  compare -metric RMSE "$work/a.png" "$work/b.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/'
}
# Bytes recorded so far, and the loudest sample recorded after a byte offset.
recorded() { stat -c %s "$audio"; }
# The loudest sample of each 100 ms after a byte offset, for failure messages.
profile_after() {
  od -An -t d2 -v -j "$1" "$audio" |
    awk '{for(i=1;i<=NF;i++){n++; v=$i<0?-$i:$i; if(v>m)m=v; if(n%8820==0){printf "%d ", m; m=0}}}'
}
# peak_after OFFSET [BYTES]: the loudest sample from OFFSET on (to OFFSET + BYTES when given).
peak_after() {
  od -An -t d2 -v -j "$1" ${2:+-N "$2"} "$audio" |
    awk 'BEGIN{m=0} {for(i=1;i<=NF;i++){v=$i<0?-$i:$i; if(v>m)m=v}} END{print m}'
}

# Intro: 1.65 s of black and flashes, then the intro loop with a SID tune.
sleep 2.5
alive "intro"
at=$(recorded)
sleep 1
[ "$(peak_after "$at")" -gt 500 ] || fail "the intro tune is silent"
shot intro
click 400 300
# Closing flashes: 3 s, silent. The click is seen at the intro's next frame, which on a busy
# machine may come late: listen from 1 s after it for 1 s, counted in recorded bytes (4 a sample
# frame), not in the time the check takes to start and read, which can reach into the module's
# first notes 3 s after the click.
sleep 1
at=$(recorded)
sleep 1
[ "$(peak_after "$at" $((44100 * 4)))" -eq 0 ] ||
  fail "the closing flashes are not silent: 100 ms peaks $(profile_after "$at")"
sleep 1
alive "main loop"
meter_shows skin1 1 || fail "no level-meter bars in skin 1"
set -- $(mean skin1 0 200 16 360)
[ "$1" -gt "$3" ] || fail "skin 1 should be warm at its left edge, mean $*"

# Charts, then "> Monthly Chart": two transitions of 75 frames.
click 79 74
click 200 66
sleep 3
shot real_monthly_chart
to_chart=$(page_distance real_monthly_chart monthly_chart)
to_editorial=$(page_distance real_monthly_chart editorial)
awk -v a="$to_chart" -v b="$to_editorial" 'BEGIN{exit !(a < 0.5 * b)}' ||
  fail "the page does not look like document 1 (distance $to_chart, to the editorial $to_editorial)"

# The switch entry, Rules, Help, the Charts and Articles buttons.
click 450 114
click 716 74
sleep 3
click 716 99
sleep 3
click 79 74
click 79 99
alive "buttons"

# Skin 2.
key F2
sleep 0.5
meter_shows skin2 3 || fail "no level-meter bars in skin 2"
set -- $(mean skin2 0 200 12 360)
[ "$3" -gt "$1" ] || fail "skin 2 should be cool at its left edge, mean $*"

# Songs 4, 3, 2, 1 (skin 2's buttons), each heard.
for song in "755 141" "691 141" "101 141" "40 141"; do
  click $song
  at=$(recorded); sleep 1
  [ "$(peak_after "$at")" -gt 500 ] || fail "song at ($song) is silent"
done
# Music off: silence; on again: sound.
click 736 58
sleep 0.3
at=$(recorded); sleep 1
[ "$(peak_after "$at")" -eq 0 ] || fail "music off is not silent"
click 736 58
at=$(recorded); sleep 1
[ "$(peak_after "$at")" -gt 500 ] || fail "music on again is silent"

# Exit (skin 2's button 1).
click 63 58
wait_for_end "$pid" 5
[ "$status" = "0" ] || fail "exit status '$status' after Exit, expected 0"
pid=""
echo "real magazine: intro tune, silent flashes, both skins with meter bars, document 1 shown, menus, Rules, Help, four songs heard, music off silent and on again, Exit -> 0"
cleanup
exit 0
