#!/usr/bin/env python3
"""Packs the music for the browser as MP3 (LAME): the one compressed form Chromium, Firefox and
Safari all decode through Web Audio (Safari has no Ogg Vorbis, older Safari no Opus). page.js turns
each track back into the WAVE file the game streams, at the original rate and length, which the
index gives with the original's level. Each track is also decoded here again and compared with
its original (length, alignment, level); a track that comes back short or more than a decibel
off in level fails the build. (The browser test checks that Chromium's decoder gives back the
exact length, the encoder's delay and padding dropped by the LAME tag.)

usage: pack_music.py OUT_DIR SOURCE_DIR SITE_DIR PATTERN
  packs SOURCE_DIR/PATTERN (e.g. bgm_*.wav) as OUT_DIR/<name>.mp3, found by the game at
  SITE_DIR/<name>, and lists them in OUT_DIR/index.json
"""
import array
import glob
import json
import math
import os
import subprocess
import sys
import tempfile
import wave

BITRATE_KBPS = 112
# The round trip may lose a little level with the highest frequencies, no more than this.
MAX_LEVEL_DB = 1.0


def samples(path):
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2:
            raise SystemExit(f"{path}: only 16-bit PCM is packed")
        data = array.array("h", w.readframes(w.getnframes()))
        if sys.byteorder != "little":
            data.byteswap()
        return w.getnchannels(), w.getframerate(), w.getnframes(), data


def level_db(data):
    if not data:
        return -200.0
    return 20 * math.log10(math.sqrt(sum(v * v for v in data) / len(data)) / 32768 + 1e-12)


def lag(a, b, channels, search=1200):
    """The shift (in frames) of b against a that lines up a second of the louder part best."""
    n = min(len(a), len(b)) // channels
    start = max(search, n // 3)
    span = min(44100, n - start - search)
    if span <= 0:
        return 0
    ref = [a[(start + i) * channels] for i in range(0, span, 22)]
    best, best_score = 0, -1.0
    for shift in range(-search, search + 1, 1):
        s = 0
        for j, v in enumerate(ref):
            s += v * b[(start + j * 22 + shift) * channels]
        if s > best_score:
            best, best_score = shift, s
    return best


def main() -> int:
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    out_dir, source_dir, site_dir, pattern = sys.argv[1:]
    os.makedirs(out_dir, exist_ok=True)
    index = []
    failed = False
    for source in sorted(glob.glob(os.path.join(source_dir, pattern))):
        name = os.path.basename(source)
        channels, rate, frames, original = samples(source)
        mp3 = os.path.join(out_dir, os.path.splitext(name)[0] + ".mp3")
        subprocess.run(["lame", "--quiet", "--nohist", "-q", "2", "--cbr", "-b", str(BITRATE_KBPS),
                        "--resample", str(rate / 1000), source, mp3], check=True)
        with tempfile.TemporaryDirectory() as tmp:
            back = os.path.join(tmp, "back.wav")
            subprocess.run(["lame", "--quiet", "--decode", mp3, back], check=True)
            _, _, back_frames, decoded = samples(back)
        before, after = level_db(original), level_db(decoded[: frames * channels])
        shift = lag(original, decoded, channels)
        size = os.path.getsize(mp3)
        print(f"pack_music.py: {name}: {frames / rate:.3f} s, {len(original) * 2 / 1048576:.1f} MB -> "
              f"{size / 1048576:.2f} MB MP3 {BITRATE_KBPS} kbit/s; decoded {back_frames - frames:+d} frames, "
              f"offset {shift} frames, level {before:.2f} dB -> {after:.2f} dB")
        if abs(after - before) > MAX_LEVEL_DB or back_frames < frames:
            print(f"pack_music.py: {name} did not survive the round trip", file=sys.stderr)
            failed = True
        index.append({"path": site_dir.rstrip("/") + "/" + name, "file": os.path.basename(mp3),
                      "frames": frames, "rate": rate, "channels": channels, "rmsDb": round(before, 3)})
    if not index:
        print(f"pack_music.py: no {pattern} in {source_dir}", file=sys.stderr)
        return 1
    with open(os.path.join(out_dir, "index.json"), "w") as f:
        json.dump(index, f, indent=1)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
