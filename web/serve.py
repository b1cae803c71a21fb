#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 only, with the MIME types the magazine's files need and, where
make web left a compressed copy beside a file (NAME.br, NAME.gz), that copy with its
Content-Encoding to a browser that accepts it, as a static host should.

    serve.py FOLDER [PORT]     (port 0 picks a free one; the first line printed is the address)
"""
import functools
import http.server
import io
import os
import sys

ENCODINGS = (("br", ".br"), ("gzip", ".gz"))


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript",
                      ".webmanifest": "application/manifest+json"}

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        accepted = {e.split(";")[0].strip() for e in self.headers.get("Accept-Encoding", "").split(",")}
        for encoding, suffix in ENCODINGS:
            if encoding in accepted and os.path.isfile(path + suffix) and os.path.isfile(path):
                with open(path + suffix, "rb") as f:
                    body = f.read()
                self.send_response(200)
                self.send_header("Content-Type", self.guess_type(path))
                self.send_header("Content-Encoding", encoding)
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Vary", "Accept-Encoding")
                self.end_headers()
                return io.BytesIO(body)
        return super().send_head()

    def log_message(self, format, *args):  # quiet: the address line is the only output
        pass


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: serve.py FOLDER [PORT]")
    port = int(sys.argv[2]) if len(sys.argv) == 3 else 8020
    handler = functools.partial(Handler, directory=sys.argv[1])
    with http.server.ThreadingHTTPServer(("127.0.0.1", port), handler) as server:
        print(f"http://127.0.0.1:{server.server_address[1]}/", flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
