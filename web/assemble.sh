#!/bin/sh
# assemble.sh APP_FOLDER SITE: gathers what a web server offers into SITE (made afresh): the page,
# quellmark.js and quellmark.wasm from APP_FOLDER, the sound output's worklet, the manifest, the
# service worker and the icons. The page learns the size of quellmark.wasm (for its progress) and
# the service worker a version made from the files' contents. Each file that compresses gets a .gz
# copy beside it, and a .br copy where Debian's brotli is installed, for servers that send those
# as they are.
set -eu
app=$1
site=$2
web=$(dirname "$0")
# What the page loads before the magazine starts, and so what a reader downloads.
loaded="index.html quellmark.js quellmark.wasm quellmark-audio.js"
rm -rf "$site"
mkdir -p "$site/icons"
cp "$app/quellmark.js" "$app/quellmark.wasm" "$web/quellmark-audio.js" "$web/manifest.webmanifest" \
  "$site/"
for size in 32 128 256; do
  cp "$web/../data/icons/${size}x$size/quellmark.png" "$site/icons/quellmark-$size.png"
done
wasm_bytes=$(wc -c < "$site/quellmark.wasm")
sed "s/@QM_WASM_BYTES@/$wasm_bytes/" "$web/index.html" > "$site/index.html"
version=$(cd "$site" && cat $loaded manifest.webmanifest icons/*.png | sha256sum | cut -c1-16)
sed "s/@QM_WEB_VERSION@/$version/" "$web/sw.js" > "$site/sw.js"
for f in $loaded manifest.webmanifest sw.js; do
  gzip -9 -n -k "$site/$f"
  if command -v brotli > /dev/null; then brotli -q 11 -k "$site/$f"; fi
done
# The total bytes of the loaded files with the suffix $1 (none: the plain files).
total() { (cd "$site" && for f in $loaded; do cat "$f$1"; done) | wc -c; }
echo "$site: $(total '') bytes to download, $(total .gz) with gzip" \
  "$( [ -f "$site/quellmark.wasm.br" ] && echo "$(total .br) with brotli")"
