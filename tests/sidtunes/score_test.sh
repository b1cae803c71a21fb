#!/bin/sh
# Checks the score compiler: the event bytes it writes for ties, long notes and rests (the
# replay routine depends on them), and that it refuses scores that would play wrongly.
set -u
root=${1:?usage: score_test.sh REPO_ROOT}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
${CXX:-c++} -std=c++20 -O1 -o "$tmp/sidscore" "$root/generators/sidtunes/sidscore.cpp" || exit 1
status=0
fail() { echo "FAIL: $*"; status=1; }

# compile NAME SCORE: compiles the score (printf escapes) to $tmp/NAME.inc, its report in .log.
compile() {
  printf "$2\n" >"$tmp/$1.score"
  "$tmp/sidscore" "$tmp/$1.score" "$tmp/$1.inc" >"$tmp/$1.log" 2>&1
}
head='title "T"\ninstr x ad=09 sr=00 wave=41\nsong 6 6'

# c-4 (note 48 = $30) for 2 rows tied into a hold of 2 rows, then a 70-row rest, which is split
# into 63 + 7 rows. Expected bytes: instrument 0 ($80), arpeggio off ($A0), duration 2 ($C1),
# tie prefix ($63), note ($30), hold with release ($61), duration 63 ($FE), rest ($60),
# duration 7 ($C6), hold ($61), end ($FF). 74 rows at 6 frames = 8.9 s, all of it looped; the
# master volume is 12 unless the score sets it.
compile tie "$head\npat p @x L2 c4 - r:70\nv1 p\nv2 p\nv3 p" || fail "tie was refused"
grep -q '\.byte \$80,\$A0,\$C1,\$63,\$30,\$61,\$FE,\$60,\$C6,\$61,\$FF' "$tmp/tie.inc" ||
  fail "tie/long-rest encoding: $(grep -A1 '^pat_0' "$tmp/tie.inc")"
grep -q 'song 0: 74 rows, 444 frames (8.9 s) before the loop, loop 444 frames (8.9 s)' \
  "$tmp/tie.log" || fail "length report: $(cat "$tmp/tie.log")"
grep -q '^VOLUME = 12$' "$tmp/tie.inc" || fail "default master volume"

# Transposition is re-sent at the loop point: the voice arrives there with +5 from the end.
compile loop "$head\npat p @x L2 c4 d4\nv1 p | p p+5\nv2 p | p p\nv3 p | p*2" || fail "loop refused"
grep -A1 '^order_0_1_loop:' "$tmp/loop.inc" | grep -q '\.byte \$E0,\$00' ||
  fail "transposition at the loop point"

# Scores refused, one a line: the message expected, a tab, the score. Bars marked with '|' must
# be equally long even when the pattern's total is right; with a swing (rows of 5 and 7
# frames) the looped part needs an even number of rows.
tab=$(printf '\t')
while IFS="$tab" read -r message score; do
  if compile refused "$score"; then
    fail "accepted: $score"
  elif ! grep -q "$message" "$tmp/refused.log"; then
    fail "$score: expected '$message', got: $(cat "$tmp/refused.log")"
  fi
done <<EOF
voices differ	$head\npat p @x L2 c4 d4\npat q @x L2 c4\nv1 p\nv2 q\nv3 p
transposed note out of range	$head\npat p @x L2 a7 d4\nv1 p+5\nv2 p\nv3 p
must set its instrument first	$head\npat p L2 c4 d4
bar 2 has 4 rows, bar 1 has 6	$head\npat p @x L2 c4 d4:4 | e4:2 f4:2 | g4 a4
at least 3 frames	title "T"\ninstr x ad=09 sr=00 wave=41\nsong 2 6
volume must be 1..15	title "T"\nvolume 16
wave jump	title "T"\ninstr x ad=09 sr=00 wave=41,>5
odd row	title "T"\ninstr x ad=09 sr=00 wave=41\nsong 5 7\npat p @x L1 c4\npat q @x L1 c4 d4 e4\nv1 p | q\nv2 p | q\nv3 p | q
EOF
[ $status -eq 0 ] && echo "score compiler checks passed"
exit $status
