#!/bin/sh
# Builds the twelve intro tunes (PSID images) from their scores:
#   sidscore turns scores/tuneNN.score into music.inc, ca65 assembles driver.s with it and the
#   header values below, ld65 places the entry stubs and pads the payload to its fixed size.
#
# Usage: build.sh [OUTPUT_DIR]   (default: assets/sid of this repository)
# Environment: SIDSCORE = a built sidscore (otherwise it is compiled with $CXX, default c++);
#              ONLY = tune numbers to build (e.g. "01 07"), default all.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../../assets/sid}
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in ca65 ld65; do
  command -v $tool >/dev/null 2>&1 || { echo "build.sh: $tool not found (Debian package cc65)" >&2; exit 2; }
done

sidscore=${SIDSCORE:-}
if [ -z "$sidscore" ]; then
  sidscore=$work/sidscore
  ${CXX:-c++} -std=c++20 -O1 -Wall -Wextra -Wpedantic -Werror -o "$sidscore" "$here/sidscore.cpp"
fi

# tune  load  payload  init  play  songs  start  speed  layout (segments in address order;
#                                                        NAME@ADDR fixes a segment's address)
while read -r tune load payload init play songs start speed layout; do
  case $tune in '#'*|'') continue ;; esac
  case " ${ONLY:-$tune} " in *" $tune "*) ;; *) continue ;; esac
  dir=$work/$tune
  mkdir -p "$dir"
  "$sidscore" "$here/scores/tune$tune.score" "$dir/music.inc" >"$dir/sidscore.log"
  sed 's/^/  /' "$dir/sidscore.log"
  {
    echo "MEMORY {"
    echo "  HDR: start = \$0000, size = \$007E, file = %O;"
    echo "  RAM: start = \$$load, size = $payload, file = %O, fill = yes, fillval = \$00;"
    echo "}"
    echo "SEGMENTS {"
    echo "  HEADER: load = HDR, type = ro;"
    for seg in $layout; do
      case $seg in
        *@*) echo "  ${seg%@*}: load = RAM, type = rw, start = \$${seg#*@};" ;;
        *) echo "  $seg: load = RAM, type = rw;" ;;
      esac
    done
    echo "}"
  } >"$dir/tune.cfg"
  cia=0
  [ "$speed" = 1 ] && cia=1
  ca65 -I "$dir" -o "$dir/tune.o" \
    -D LOAD=\$$load -D INIT=\$$init -D PLAY=\$$play -D SONGS=$songs -D STARTSONG=$start \
    -D SPEED=$speed -D CIA_TIMER=$cia "$here/driver.s"
  ld65 -C "$dir/tune.cfg" -m "$dir/tune.map" -o "$out/tune$tune.sid" "$dir/tune.o"
  used=0
  for size in $(awk '/^Segment list:/{s=1} s&&/^(DRIVER|MUSIC) /{print $4}' "$dir/tune.map"); do
    used=$((used + 0x$size))
  done
  echo "tune$tune.sid: $(wc -c <"$out/tune$tune.sid") bytes, driver and music $used of $payload bytes"
done <<'EOF'
01 E000  6144 E000 E05A 6 1 0 INITSTUB@E000 PLAYSTUB@E05A DRIVER MUSIC
02 C000  3970 C000 C059 4 1 0 INITSTUB@C000 PLAYSTUB@C059 DRIVER MUSIC
03 A000  6173 AC00 AA65 1 1 1 DRIVER PLAYSTUB@AA65 INITSTUB@AC00 MUSIC
04 C000  3631 C000 C059 4 1 0 INITSTUB@C000 PLAYSTUB@C059 DRIVER MUSIC
05 8880  4672 88EF 894C 5 4 0 INITSTUB@88EF PLAYSTUB@894C DRIVER MUSIC
06 5000 20480 8E64 8E9F 7 1 0 DRIVER MUSIC INITSTUB@8E64 PLAYSTUB@8E9F
07 73D0  5328 73D0 73E1 1 1 0 INITSTUB@73D0 PLAYSTUB@73E1 DRIVER MUSIC
08 A200  5888 A4E6 A543 9 9 0 INITSTUB@A4E6 PLAYSTUB@A543 DRIVER MUSIC
09 7000  2995 7BA3 7059 1 1 0 PLAYSTUB@7059 DRIVER MUSIC INITSTUB@7BA3
10 27CD  5939 34A0 34AC 6 1 0 MUSIC INITSTUB@34A0 PLAYSTUB@34AC DRIVER
11 0800  4352 0CCF 0D2E 2 1 0 DRIVER INITSTUB@0CCF PLAYSTUB@0D2E MUSIC
12 07D0  4656 0800 085F 1 1 0 INITSTUB@0800 PLAYSTUB@085F DRIVER MUSIC
EOF
