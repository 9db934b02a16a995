#!/usr/bin/env python3
"""Cuts the Japanese Gothic face down to the glyphs the game can draw, for the browser's download
(the desktop and Windows editions keep the whole face). The game draws printable ASCII (its
read-outs are formatted numbers and words); any other character it can draw appears in a string
literal of its sources, and the code points it asks the face about (HasGlyph) are kept too.
Hinting, embedded bitmaps and the name table (licence included) stay as they are.

usage: subset_font.py IN.ttf OUT.ttf SOURCE_DIR
"""
import os
import re
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

LITERAL = re.compile(r'"(?:[^"\\\n]|\\.)*"')
ASKED = re.compile(r"HasGlyph\(\s*0x([0-9A-Fa-f]+)\s*\)")


def drawn_characters(source_dir):
    chars = set(range(0x20, 0x7F))
    for folder, _, names in os.walk(source_dir):
        for name in names:
            if not name.endswith((".cpp", ".h")):
                continue
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                text = f.read()
            for literal in LITERAL.findall(text):
                chars.update(ord(c) for c in literal if ord(c) > 0x7F)
            chars.update(int(h, 16) for h in ASKED.findall(text))
    return chars


def main() -> int:
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    source, out, source_dir = sys.argv[1:]
    chars = drawn_characters(source_dir)
    options = subset.Options()
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.notdef_outline = True
    options.drop_tables = [t for t in options.drop_tables if t not in ("EBDT", "EBLC", "EBSC")]
    font = TTFont(source)
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=chars)
    subsetter.subset(font)
    font.save(out)
    cmap = TTFont(out).getBestCmap()
    missing = sorted(c for c in chars if c not in cmap)
    print(f"subset_font.py: {len(cmap)} characters, {os.path.getsize(source) / 1048576:.1f} MB -> "
          f"{os.path.getsize(out) / 1024:.0f} KB" + (f"; not in the face: {missing}" if missing else ""))
    # The printable ASCII the read-outs use must all be there.
    return 1 if any(0x20 <= c < 0x7F for c in missing) else 0


if __name__ == "__main__":
    sys.exit(main())
