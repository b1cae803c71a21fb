#!/bin/sh
# make_test.sh SOURCE_DIR: what make run and make test would do (make -n): make run builds the
# program alone, and no build folder is configured by the two with different options, which
# would rebuild everything at every switch between them.
cd "$1" || exit 1
unset MAKEFLAGS MFLAGS MAKELEVEL  # the calling make's options are not make run's
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
for goal in run test; do
  make -n -s "$goal" | sed -e ':a' -e '/\\$/N; s/\\\n//; ta' >"$work/$goal" ||
    fail "make -n $goal"
  # "FOLDER OPTIONS" for each folder the goal configures.
  sed -n 's/^cmake -S \. -B \([^ ]*\) *\(.*\)$/\1 \2/p' "$work/$goal" | sort -u >"$work/$goal.folders"
done
grep '^cmake --build' "$work/run" >"$work/run.builds" || fail "make run builds nothing"
! grep -v -- '--target quellmark$' "$work/run.builds" ||
  fail "make run builds more than the program"
while read -r folder options; do
  grep "^$folder " "$work/test.folders" | while read -r _ other; do
    [ "$other" = "$options" ] || fail "make run and make test configure $folder differently:
  run:  $options
  test: $other"
  done || exit 1
done <"$work/run.folders"
echo "ok"
