#!/bin/sh
# Checks the score compiler: the event bytes it writes for ties, long notes and rests (the
# replay routine depends on them), and that it refuses scores that would play wrongly.
set -u
root=${1:?usage: score_test.sh REPO_ROOT}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
${CXX:-c++} -std=c++20 -O1 -o "$tmp/sidscore" "$root/generators/sidtunes/sidscore.cpp" || exit 1
status=0

score() {  # score NAME: writes the score text from stdin to $tmp/NAME.score
  cat >"$tmp/$1.score"
}
expect_ok() {
  if ! "$tmp/sidscore" "$tmp/$1.score" "$tmp/$1.inc" >"$tmp/$1.log" 2>&1; then
    echo "FAIL: $1 was refused:"; cat "$tmp/$1.log"; status=1
  fi
}
expect_error() {  # expect_error NAME TEXT: the compiler must fail and say TEXT
  if "$tmp/sidscore" "$tmp/$1.score" "$tmp/$1.inc" >"$tmp/$1.log" 2>&1; then
    echo "FAIL: $1 was accepted"; status=1
  elif ! grep -q "$2" "$tmp/$1.log"; then
    echo "FAIL: $1: expected '$2', got:"; cat "$tmp/$1.log"; status=1
  fi
}

HEAD='title "T"
instr x ad=09 sr=00 wave=41
song 6 6'

# c-4 (note 48 = $30) for 2 rows tied into a hold of 2 rows, then a 70-row rest, which is split
# into 63 + 7 rows. Expected bytes: instrument 0 ($80), arpeggio off ($A0), duration 2 ($C1),
# tie prefix ($63), note ($30), hold with release ($61), duration 63 ($FE), rest ($60),
# duration 7 ($C6), hold ($61), end ($FF).
score tie <<EOF2
$HEAD
pat p @x L2 c4 - r:70
v1 p
v2 p
v3 p
EOF2
expect_ok tie
grep -q '\.byte \$80,\$A0,\$C1,\$63,\$30,\$61,\$FE,\$60,\$C6,\$61,\$FF' "$tmp/tie.inc" ||
  { echo "FAIL: tie/long-rest encoding"; grep -A1 '^pat_0' "$tmp/tie.inc"; status=1; }
# 74 rows at 6 frames = 8.9 s, all of it looped.
grep -q 'song 0: 74 rows, 444 frames (8.9 s) before the loop, loop 444 frames (8.9 s)' "$tmp/tie.log" ||
  { echo "FAIL: length report"; cat "$tmp/tie.log"; status=1; }

# Transposition is re-sent at the loop point: the voice arrives there with +5 from the end.
score loop <<EOF2
$HEAD
pat p @x L2 c4 d4
v1 p | p p+5
v2 p | p p
v3 p | p*2
EOF2
expect_ok loop
grep -A1 '^order_0_1_loop:' "$tmp/loop.inc" | grep -q '\.byte \$E0,\$00' ||
  { echo "FAIL: transposition at the loop point"; status=1; }

score uneven <<EOF2
$HEAD
pat p @x L2 c4 d4
pat q @x L2 c4
v1 p
v2 q
v3 p
EOF2
expect_error uneven "voices differ"

score range <<EOF2
$HEAD
pat p @x L2 a7 d4
v1 p+5
v2 p
v3 p
EOF2
expect_error range "transposed note out of range"

score noinstr <<EOF2
$HEAD
pat p L2 c4 d4
EOF2
expect_error noinstr "must set its instrument first"

# Bars marked with '|' must be equally long, even when the pattern's total is right.
score bars <<EOF2
$HEAD
pat p @x L2 c4 d4:4 | e4:2 f4:2 | g4 a4
EOF2
expect_error bars "bar 2 has 4 rows, bar 1 has 6"

score fast <<EOF2
title "T"
instr x ad=09 sr=00 wave=41
song 2 6
EOF2
expect_error fast "at least 3 frames"

# The master volume: 12 unless the score sets it, and only what the register's nibble holds.
grep -q '^VOLUME = 12$' "$tmp/tie.inc" || { echo "FAIL: default master volume"; status=1; }
score loud <<EOF2
title "T"
volume 16
EOF2
expect_error loud "volume must be 1..15"

score badjump <<EOF2
title "T"
instr x ad=09 sr=00 wave=41,>5
EOF2
expect_error badjump "wave jump"

# With a swing (rows of 5 and 7 frames) the looped part needs an even number of rows.
score oddloop <<EOF2
title "T"
instr x ad=09 sr=00 wave=41
song 5 7
pat p @x L1 c4
pat q @x L1 c4 d4 e4
v1 p | q
v2 p | q
v3 p | q
EOF2
expect_error oddloop "odd row"

[ $status -eq 0 ] && echo "score compiler checks passed"
exit $status
