#!/usr/bin/python3
"""Decodes a picture with Debian's python3-pil, a decoder independent of ours, for the
tests: prints its format, mode, size, palette entries, distinct colours and text chunks,
one fact a line, and writes its pixels as 8-bit R, G, B rows from the top to OUT.

    decode_picture.py PICTURE OUT
"""
import sys

from PIL import Image


def main():
    picture = Image.open(sys.argv[1])
    picture.load()
    print("format", picture.format)
    print("mode", picture.mode)
    print("size", *picture.size)
    palette = picture.getpalette() if picture.mode == "P" else None
    print("palette", len(palette) // 3 if palette else 0)
    rgb = picture.convert("RGB")
    print("colours", len(rgb.getcolors(maxcolors=1 << 24)))
    for keyword, text in getattr(picture, "text", {}).items():
        print("text", keyword + "=" + text)
    with open(sys.argv[2], "wb") as out:
        out.write(rgb.tobytes())


if __name__ == "__main__":
    main()
