#!/usr/bin/env python3
"""Serves the web edition's site folder on 127.0.0.1: the right types for the module and the
data, and the stored .gz copy of a file (Content-Encoding: gzip) to browsers that accept it."""
import argparse
import http.server
import os
import sys

TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".wasm": "application/wasm",
    ".data": "application/octet-stream",
    ".png": "image/png",
    ".json": "application/json",
    ".d4": "application/octet-stream",
}


class Handler(http.server.SimpleHTTPRequestHandler):
    quiet = False

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        ext = os.path.splitext(path)[1]
        if not os.path.isfile(path) or ext not in TYPES:
            self.send_error(404, "Not found")
            return None
        body = path
        gz = path + ".gz"
        accepts = "gzip" in self.headers.get("Accept-Encoding", "")
        if accepts and os.path.isfile(gz) and os.path.getmtime(gz) >= os.path.getmtime(path):
            body = gz
        f = open(body, "rb")
        self.send_response(200)
        self.send_header("Content-Type", TYPES[ext])
        self.send_header("Content-Length", str(os.fstat(f.fileno()).st_size))
        if body == gz:
            self.send_header("Content-Encoding", "gzip")
        self.send_header("Vary", "Accept-Encoding")
        self.send_header("Cache-Control", "no-cache")
        self.send_header("X-Content-Type-Options", "nosniff")
        self.end_headers()
        return f

    def log_message(self, fmt, *args):
        if not self.quiet:
            sys.stderr.write("%s - %s\n" % (self.address_string(), fmt % args))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("folder")
    parser.add_argument("--port", type=int, default=8080)
    parser.add_argument("--quiet", action="store_true")
    args = parser.parse_args()
    Handler.quiet = args.quiet
    handler = lambda *a, **k: Handler(*a, directory=args.folder, **k)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), handler)
    print(f"Serving the game on http://127.0.0.1:{server.server_port}/ (Ctrl+C stops)", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
