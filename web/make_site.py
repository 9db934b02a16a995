#!/usr/bin/env python3
"""Assembles the web edition's site from the build's outputs. Every file but index.html and sw.js
is named after its content (name.<hash>.ext), so a host may let browsers keep it for good and a
new build never meets an old file under the same name; the page learns the names from a list in
index.html. The service worker lists every file the page needs and carries a digest of every byte
the site serves, so any change (the page's own text included) installs a new worker; its cache is
named after the content-named files, which is the page's cache too.

usage: make_site.py STAGE PAGES SITE
  STAGE  brimmel.js, brimmel.wasm, brimmel.data, brimmel-data.js, music/index.json (+ tracks),
         icons/<n>x<n>/brimmel.png
  PAGES  the page's sources (index.html, page.js, page.css, sw.js)
  SITE   the folder written (emptied first)
"""
import gzip
import hashlib
import json
import os
import shutil
import sys

# Worth sending compressed: the page fetches the .gz copy itself and unpacks it, so the bytes it
# counts are the bytes that travel. Hosts may also send the .gz copy of index.html and sw.js.
COMPRESS = (".js", ".wasm", ".data", ".css", ".html", ".webmanifest")
# The page's icons: the browsers' install prompts ask for 192 and 512 pixels.
ICONS = (48, 128, 192, 256, 512)


def digest(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest()[:12]


class Site:
    def __init__(self, root):
        self.root = root
        self.names = []

    def write(self, name, data: bytes, stable=False):
        """Writes data under name (content-named unless stable) and its .gz copy where that
        helps; answers the entry the page's list holds."""
        if not stable:
            stem, ext = os.path.splitext(name)
            name = f"{stem}.{digest(data)}{ext}"
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        self.names.append(name)
        entry = {"url": name, "size": len(data)}
        if name.endswith(COMPRESS):
            packed = gzip.compress(data, compresslevel=9, mtime=0)
            if len(packed) < len(data):
                with open(path + ".gz", "wb") as f:
                    f.write(packed)
                entry.update(gz=name + ".gz", gzSize=len(packed))
        return entry


def read(path):
    with open(path, "rb") as f:
        return f.read()


def main() -> int:
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    stage, pages, root = sys.argv[1:]
    if os.path.isdir(root):
        shutil.rmtree(root)
    os.makedirs(root)
    site = Site(root)

    files = {
        "program": site.write("brimmel.js", read(os.path.join(stage, "brimmel.js"))),
        "module": site.write("brimmel.wasm", read(os.path.join(stage, "brimmel.wasm"))),
        "loader": site.write("brimmel-data.js", read(os.path.join(stage, "brimmel-data.js"))),
        "data": site.write("brimmel.data", read(os.path.join(stage, "brimmel.data"))),
    }
    music = []
    with open(os.path.join(stage, "music", "index.json")) as f:
        for track in json.load(f):
            entry = site.write("music/" + track["file"], read(os.path.join(stage, "music", track["file"])))
            music.append({k: v for k, v in track.items() if k != "file"} | entry)
    icons = {n: site.write(f"icon-{n}.png", read(os.path.join(stage, "icons", f"{n}x{n}", "brimmel.png")))
             for n in ICONS}
    manifest = {
        "name": "BRIMMEL",
        "short_name": "BRIMMEL",
        "description": "A small real-time 3D action and exploration game",
        "id": "./",
        "start_url": "./",
        "scope": "./",
        "display": "standalone",
        "orientation": "any",
        "background_color": "#111111",
        "theme_color": "#111111",
        "icons": [{"src": icons[n]["url"], "sizes": f"{n}x{n}", "type": "image/png", "purpose": "any"}
                  for n in ICONS],
    }
    manifest_entry = site.write("manifest.webmanifest", json.dumps(manifest, indent=1).encode())
    css = site.write("page.css", read(os.path.join(pages, "page.css")))
    js = site.write("page.js", read(os.path.join(pages, "page.js")))

    # The cache's name: two builds with the same content-named files may share their kept copies.
    version = digest("\n".join(sorted(site.names)).encode())
    build = {"version": version, "files": files, "music": music}
    html = read(os.path.join(pages, "index.html")).decode()
    for old, new in (('href="page.css"', f'href="{css["url"]}"'), ('src="page.js"', f'src="{js["url"]}"'),
                     ('href="manifest.webmanifest"', f'href="{manifest_entry["url"]}"'),
                     ('href="icon-48.png"', f'href="{icons[48]["url"]}"'),
                     ('href="icon-256.png"', f'href="{icons[256]["url"]}"'),
                     ("<!--build-->", '<script id="build" type="application/json">'
                      + json.dumps(build, separators=(",", ":")).replace("</", "<\\/") + "</script>")):
        if old not in html:
            print(f"make_site.py: index.html lacks {old}", file=sys.stderr)
            return 1
        html = html.replace(old, new)
    site.write("index.html", html.encode(), stable=True)
    shell = ["./", css["url"], js["url"], manifest_entry["url"]] + [icons[n]["url"] for n in ICONS]
    game = [{k: f[k] for k in ("url", "gz") if k in f} for f in list(files.values()) + music]
    # Every byte served: the worker's own text changes with any file, index.html included, so the
    # browser installs it (it compares the worker byte for byte).
    served = digest(b"".join(name.encode() + b"\0" + hashlib.sha256(read(os.path.join(root, name))).digest()
                             for name in sorted(site.names)))
    worker = read(os.path.join(pages, "sw.js")).decode()
    for old, new in (("'__BUILD__'", json.dumps(served)), ("'__CACHE__'", json.dumps(f"brimmel-{version}")),
                     ("__SHELL__", json.dumps(shell)), ("__GAME__", json.dumps(game))):
        if old not in worker:
            print(f"make_site.py: sw.js lacks {old}", file=sys.stderr)
            return 1
        worker = worker.replace(old, new)
    site.write("sw.js", worker.encode(), stable=True)
    total = sum(f.get("gzSize", f["size"]) for f in list(files.values()) + music)
    print(f"make_site.py: build {served} (files {version}), first visit about {total / 1048576:.2f} MB of game files")
    return 0


if __name__ == "__main__":
    sys.exit(main())
