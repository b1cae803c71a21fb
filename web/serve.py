#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 only, with the WebAssembly MIME type browsers need to compile
quellmark.wasm as it downloads.

    serve.py FOLDER [PORT]     (port 0 picks a free one; the first line printed is the address)
"""
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

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
