#!/usr/bin/python3
"""Compares the palette forms of synth --indexed with a general-purpose palette tool
(pngquant, Debian's package, with its defaults: 256 colours, dithered; and without
dithering) given synth's full-colour PNG of the same result: for each bundled pair and
band, the hidden and the visible picture's scores (reveal's hidden-psnr and visible-psnr,
with the original pictures) and the file's bytes; and the seconds the palette took: ours
beyond synth's full-colour save of the same result, the tool's from that PNG file.

    bench/peer_palette.py [build/bin/lumiveil]

Prints one table in Markdown. Not part of CI: a measurement for the notes, not a test.
"""
import os
import re
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TOOL = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/bin/lumiveil")
SAMPLES = os.path.join(ROOT, "samples")
PAIRS = (("coffee.bmp", "chelsea.bmp"), ("chelsea.bmp", "coffee.bmp"),
         ("astronaut.png", "rocket.jpg"), ("rocket.jpg", "astronaut.png"))
BANDS = ((128, 127), (200, 40), (230, 25))


def run(*args):
    start = time.perf_counter()
    subprocess.run(args, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return time.perf_counter() - start


def scores(path, visible, hidden, band, work):
    out = subprocess.run(
        [TOOL, "reveal", path, "-o", os.path.join(work, "view.bmp"), "--view", "odd",
         "--visible", visible, "--hidden", hidden, "--average", str(band[0]),
         "--contrast", str(band[1])],
        check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True).stdout
    get = lambda name: float(re.search(name + r": ([0-9.inf]+)", out).group(1))
    return get("visible-psnr"), get("hidden-psnr")


def main():
    forms = ("full", "halftone", "adaptive", "peer", "peer-nofs")
    print("| pair (visible/hidden) | band | " +
          " | ".join(f"{f} hidden / visible dB, bytes" for f in forms) + " | ours s | peer s |")
    print("|---" * (len(forms) + 4) + "|")
    with tempfile.TemporaryDirectory() as work:
        for visible, hidden in PAIRS:
            vis, hid = os.path.join(SAMPLES, visible), os.path.join(SAMPLES, hidden)
            for band in BANDS:
                synth = [TOOL, "synth", vis, hid, "--average", str(band[0]),
                         "--contrast", str(band[1])]
                path = {f: os.path.join(work, f + ".png") for f in forms}
                full = run(*synth, "-o", path["full"])
                run(*synth, "-o", path["halftone"], "--indexed")
                ours = run(*synth, "-o", path["adaptive"], "--indexed", "--palette", "adaptive")
                peer = run("pngquant", "--force", "--output", path["peer"], "--", path["full"])
                run("pngquant", "--force", "--nofs", "--output", path["peer-nofs"], "--",
                    path["full"])
                cells = []
                for f in forms:
                    v, h = scores(path[f], vis, hid, band, work)
                    cells.append(f"{h:.2f} / {v:.2f}, {os.path.getsize(path[f])}")
                print(f"| {visible}/{hidden} | {band[0]}/{band[1]} | " + " | ".join(cells) +
                      f" | {ours - full:.2f} | {peer:.2f} |", flush=True)


if __name__ == "__main__":
    main()
