#!/bin/sh
# assemble.sh APP_FOLDER SITE: gathers what a web server offers into SITE (made afresh): the page,
# quellmark.js and quellmark.wasm from APP_FOLDER, the manifest, the service worker and the
# icons. The page learns the size of quellmark.wasm (for its progress) and the service worker a
# version made from the files' contents. Each file that compresses gets a .gz copy beside it, and
# a .br copy where Debian's brotli is installed, for servers that send those as they are.
set -eu
app=$1
site=$2
web=$(dirname "$0")
rm -rf "$site"
mkdir -p "$site/icons"
cp "$app/quellmark.js" "$app/quellmark.wasm" "$web/manifest.webmanifest" "$site/"
for size in 32 128 256; do
  cp "$web/../data/icons/${size}x$size/quellmark.png" "$site/icons/quellmark-$size.png"
done
wasm_bytes=$(wc -c < "$site/quellmark.wasm")
sed "s/@QM_WASM_BYTES@/$wasm_bytes/" "$web/index.html" > "$site/index.html"
version=$(cat "$site/index.html" "$site/quellmark.js" "$site/quellmark.wasm" \
  "$site/manifest.webmanifest" "$site"/icons/*.png | sha256sum | cut -c1-16)
sed "s/@QM_WEB_VERSION@/$version/" "$web/sw.js" > "$site/sw.js"
for f in index.html quellmark.js quellmark.wasm manifest.webmanifest sw.js; do
  gzip -9 -n -k "$site/$f"
  if command -v brotli > /dev/null; then brotli -q 11 -k "$site/$f"; fi
done
raw=$(cat "$site/index.html" "$site/quellmark.js" "$site/quellmark.wasm" | wc -c)
gz=$(cat "$site/index.html.gz" "$site/quellmark.js.gz" "$site/quellmark.wasm.gz" | wc -c)
echo "$site: $raw bytes to download, $gz with gzip" \
  "$( [ -f "$site/quellmark.wasm.br" ] && cat "$site/index.html.br" "$site/quellmark.js.br" \
      "$site/quellmark.wasm.br" | wc -c | sed 's/$/ with brotli/')"
