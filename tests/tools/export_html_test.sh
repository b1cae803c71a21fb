#!/bin/sh
# Exports the issue and checks every page with tidy (no errors and no warnings) and with
# check_html.py. Skips (77) when tidy or python3 is missing.
# usage: export_html_test.sh QUELLMARK_EXPORT CHECK_HTML_PY
export_tool=$1
checker=$2
command -v tidy >/dev/null 2>&1 || { echo "tidy is not installed"; exit 77; }
command -v python3 >/dev/null 2>&1 || { echo "python3 is not installed"; exit 77; }
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
"$export_tool" "$dir/issue" || exit 1
[ "$(ls "$dir/issue" | wc -l)" -eq 41 ] || { echo "expected 41 files"; ls "$dir/issue"; exit 1; }
status=0
for page in "$dir"/issue/*.html; do
  if ! tidy -q -errors "$page" >/dev/null 2>"$dir/tidy.log"; then
    echo "tidy on $(basename "$page"):"
    cat "$dir/tidy.log"
    status=1
  fi
done
python3 "$checker" "$dir"/issue/*.html || status=1
exit $status
