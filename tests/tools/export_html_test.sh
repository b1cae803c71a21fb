#!/bin/sh
# Exports the issue and checks every page with tidy (no errors and no warnings: a doctype, a
# title, known elements closed in order, no attribute or id twice), for the language and the
# character set, and that every local link points at a file of the export. Skips (77) when tidy
# is missing.
# usage: export_html_test.sh QUELLMARK_EXPORT
command -v tidy >/dev/null 2>&1 || { echo "tidy is not installed"; exit 77; }
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
"$1" "$dir/issue" || exit 1
cd "$dir/issue" || exit 1
[ "$(ls | wc -l)" -eq 41 ] || { echo "expected 41 files"; ls; exit 1; }
status=0
for page in *.html; do
  tidy -q -errors "$page" >/dev/null 2>../tidy.log || { echo "tidy on $page:"; cat ../tidy.log; status=1; }
  grep -q '<html lang="en">' "$page" && grep -qi '<meta charset="utf-8">' "$page" || { echo "$page: no <html lang=\"en\"> or no <meta charset=\"utf-8\">"; status=1; }
  for link in $(grep -o 'href="[^":#]*' "$page" | sed 's/^href="//'); do
    [ -f "$link" ] || { echo "$page: link to $link, which does not exist"; status=1; }
  done
done
exit $status
