#!/bin/sh
# Rebuilds the twelve SID tunes from their scores into a temporary folder and compares them byte
# for byte with the committed images, so the committed bytes always come from the committed
# source. Fails when the cross assembler is not installed (make test-deps installs cc65).
set -u
root=${1:?usage: rebuild_test.sh REPO_ROOT}
command -v ca65 >/dev/null && command -v ld65 >/dev/null || {
  echo "FAIL: ca65/ld65 not installed (Debian package cc65); the SID tunes cannot be rebuilt"
  exit 1
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sh "$root/generators/sidtunes/build.sh" "$tmp/sid" >"$tmp/build.log" 2>&1 ||
  { cat "$tmp/build.log"; echo "FAIL: build.sh failed"; exit 1; }
status=0
for n in 01 02 03 04 05 06 07 08 09 10 11 12; do
  cmp "$tmp/sid/tune$n.sid" "$root/assets/sid/tune$n.sid" ||
    { echo "FAIL: tune$n.sid differs from a rebuild of its score"; status=1; }
done
[ $status -eq 0 ] && echo "all 12 tunes rebuild identically"
exit $status
