#!/usr/bin/env python3
"""Packs the music for the browser: PCM compresses poorly with gzip, the only compression a
browser undoes for us, but the difference of each 16-bit sample from the one a frame (4 bytes)
before compresses well once low and high bytes are stored apart. page.js undoes it on arrival.

usage: pack_music.py OUT_DIR SOURCE_DIR SITE_DIR PATTERN
  packs SOURCE_DIR/PATTERN (e.g. bgm_*.wav) as OUT_DIR/<name>.d4, found by the game at
  SITE_DIR/<name>, and lists them in OUT_DIR/index.json
"""
import array
import glob
import json
import os
import sys


def encode(data: bytes) -> bytes:
    n = len(data)
    words = array.array("H", data[: n - n % 2])
    if sys.byteorder != "little":
        words.byteswap()
    out = array.array("H", words)
    for i in range(len(words) - 1, 1, -1):
        out[i] = (words[i] - words[i - 2]) & 0xFFFF
    if sys.byteorder != "little":
        out.byteswap()
    body = out.tobytes() + data[n - n % 2 :]
    return b"".join(body[k::4] for k in range(4))


def main() -> int:
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    out_dir, source_dir, site_dir, pattern = sys.argv[1:]
    os.makedirs(out_dir, exist_ok=True)
    index = []
    for source in sorted(glob.glob(os.path.join(source_dir, pattern))):
        site_path = site_dir.rstrip("/") + "/" + os.path.basename(source)
        with open(source, "rb") as f:
            data = f.read()
        name = os.path.basename(site_path) + ".d4"
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(encode(data))
        index.append({"path": site_path, "url": os.path.basename(out_dir) + "/" + name, "size": len(data)})
    with open(os.path.join(out_dir, "index.json"), "w") as f:
        json.dump(index, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
