#!/usr/bin/env python3
"""Serves the web edition's site folder on 127.0.0.1 as a real host should: the right types, the
stored .gz copy of a file (Content-Encoding: gzip) to browsers that accept it, validators (ETag,
Last-Modified) answered with 304, and caching for good of the files named after their content
(name.<hash>.ext), while index.html and sw.js are checked on every visit."""
import argparse
import email.utils
import http.server
import os
import re
import sys

TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".wasm": "application/wasm",
    ".data": "application/octet-stream",
    ".png": "image/png",
    ".json": "application/json",
    ".webmanifest": "application/manifest+json",
    ".mp3": "audio/mpeg",
    ".wav": "audio/wav",
    ".gz": "application/gzip",
}
CONTENT_NAMED = re.compile(r"\.[0-9a-f]{12}\.[a-z0-9]+(\.gz)?$")


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
        st = os.stat(body)
        etag = f'"{st.st_size:x}-{st.st_mtime_ns:x}"'
        modified = email.utils.formatdate(int(st.st_mtime), usegmt=True)
        fresh = False
        if "If-None-Match" in self.headers:
            fresh = etag in [t.strip() for t in self.headers["If-None-Match"].split(",")]
        elif "If-Modified-Since" in self.headers:
            since = email.utils.parsedate_to_datetime(self.headers["If-Modified-Since"])
            fresh = since is not None and int(st.st_mtime) <= since.timestamp()
        self.send_response(304 if fresh else 200)
        self.send_header("Content-Type", TYPES[ext])
        if body == gz:
            self.send_header("Content-Encoding", "gzip")
        self.send_header("Vary", "Accept-Encoding")
        self.send_header("ETag", etag)
        self.send_header("Last-Modified", modified)
        if CONTENT_NAMED.search(os.path.basename(path)):
            self.send_header("Cache-Control", "public, max-age=31536000, immutable")
        else:
            self.send_header("Cache-Control", "no-cache")
        self.send_header("X-Content-Type-Options", "nosniff")
        if fresh:
            self.end_headers()
            return None
        f = open(body, "rb")
        self.send_header("Content-Length", str(st.st_size))
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
    sys.exit(main())
