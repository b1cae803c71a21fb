#!/bin/sh
# The magazine read as a person reads it, in a real X server (Xvfb with a window manager, full
# screen at 1024 x 768, so the 800 x 600 picture is scaled by 1.28) with SDL's disk audio driver
# recording what is played. It waits for the program's phase lines, not for guessed times.
#   real_magazine_test.sh QUELLMARK QUELLMARK_SHOT
# QUELLMARK_SHOT_DIR, when set, receives the screenshots.
set -u
program="$1"
. "$(dirname "$0")/../support/real_program.sh"
zoom=128

# References from the headless display: the editorial, and document 1 after the Charts button
# and "> Monthly Chart" (intro click at frame 100, main loop from frame 275).
printf '%s\n' "100 move 400 300" "100 down" "106 up" "290 shot editorial" "300 move 79 74" \
  "301 down" "306 up" "320 move 200 66" "321 down" "326 up" "520 shot monthly_chart" \
  "530 key Escape" >"$work/ref.script"
"$2" --script "$work/ref.script" --out "$work" >/dev/null 2>&1 || fail "reference run failed"

start_x_server
audio="$work/audio.raw"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" start_program

# fx FORMULA SHOT X Y W H: an ImageMagick fx value over a logical rectangle of a screenshot.
fx() {
  convert "$work/$2.png" -crop $(($5 * zoom / 100))x$(($6 * zoom / 100))+$(($3 * zoom / 100))+$(($4 * zoom / 100)) \
    +repage -format "$1" info:
}
# The level meter's bars stand in x 158..646 below the ticker, where both skins are dark (no
# channel above 40): a bar shows as a bright gold (skin 1) or blue (skin 2). The song may rest
# for a moment, so screenshots are taken for up to 2 s. Then the left edge: skin 1 is warm (more
# red than blue), skin 2 cool.
bars_in() { shot "skin$1"; [ "$(fx '%[fx:round(255*max(maxima.r,max(maxima.g,maxima.b)))]' "skin$1" 158 136 488 16)" -gt 100 ]; }
skin_shows() {
  poll 2 bars_in "$1" || fail "no level-meter bars in skin $1"
  [ "$(fx "%[fx:mean.r $2 mean.b]" "skin$1" 0 200 16 360)" = 1 ] || fail "skin $1 has the wrong left edge"
}
# How far the page area of a screenshot lies from a headless reference frame (RMSE, 0..1).
page_distance() {
  convert "$work/$1.png" -resize '800x600!' -crop 750x370+20+195 +repage "$work/a.png"
  convert "$work/$2.png" -crop 750x370+20+195 +repage "$work/b.png"
  compare -metric RMSE "$work/a.png" "$work/b.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/'
}
recorded() { stat -c %s "$audio"; }
# peak_after OFFSET [BYTES]: the loudest sample from OFFSET on (to OFFSET + BYTES when given).
peak_after() {
  od -An -t d2 -v -j "$1" ${2:+-N "$2"} "$audio" |
    awk 'BEGIN{m=0} {for(i=1;i<=NF;i++){v=$i<0?-$i:$i; if(v>m)m=v}} END{print m}'
}
# heard WHAT [silent]: the second from now holds sound (or, with "silent", none).
heard() {
  at=$(recorded)
  sleep 1
  if [ "${2:-}" = silent ]; then [ "$(peak_after "$at")" -eq 0 ] || fail "$1 is not silent"
  else [ "$(peak_after "$at")" -gt 500 ] || fail "$1 is silent"; fi
}

wait_for_phase intro
heard "the intro tune"
click 400 300
# Closing flashes: 3 s, silent. The second second of audio recorded after they begin (4 bytes a
# sample frame), counted in bytes: the device's queue and a late check cannot blur it.
wait_for_phase flashes
at=$(($(recorded) + 44100 * 4))
wait_for_phase magazine
[ "$(peak_after "$at" $((44100 * 4)))" -eq 0 ] || fail "the closing flashes are not silent"
skin_shows 1 '>'

# Charts, then "> Monthly Chart".
click 79 74
click 200 66
wait_for_phase "document 1"
shot real_monthly_chart
to_chart=$(page_distance real_monthly_chart monthly_chart)
to_editorial=$(page_distance real_monthly_chart editorial)
awk -v a="$to_chart" -v b="$to_editorial" 'BEGIN{exit !(a < 0.5 * b)}' ||
  fail "the page does not look like document 1 (distance $to_chart, to the editorial $to_editorial)"

# The switch entry, Rules, Help, the Charts and Articles buttons, skin 2.
click 450 114
click 716 74
wait_for_phase "document 12"
click 716 99
wait_for_phase "document 10"
click 79 74
click 79 99
key F2
skin_shows 2 '<'

# Songs 4, 3, 2, 1 (skin 2's buttons), each heard; music off silent, on again heard.
for song in "755 141" "691 141" "101 141" "40 141"; do
  click $song
  heard "song at ($song)"
done
click 736 58
sleep 0.3
heard "music off" silent
click 736 58
heard "music on again"

# Exit (skin 2's button 1).
click 63 58
expect_end 0 "Exit" 5
echo "real magazine: intro tune, silent flashes, both skins with meter bars, document 1 shown, Rules, Help, four songs heard, music off silent and on again, Exit -> 0"
cleanup
exit 0
