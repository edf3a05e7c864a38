#!/usr/bin/python3
"""Times a general-purpose imaging library (Debian's python3-pil) reducing a 4000 x 3000
photo to a fixed 256-colour palette with Floyd-Steinberg dithering and with nearest
colours, and runs bench_reduce's matching cases in the same run, so that both figures
come from the same machine state.

    bench/peer_dither.py [build/bench/bench_reduce]

The photo is samples/coffee.bmp tiled and mirrored at the seams, as bench_reduce builds
it; the palette is this platform's 256-entry halftone table (the 20 static colours, the
6x6x6 cube, 20 greys), as rmWindows256 uses it. Both CPU time and wall time are printed:
the machine is shared, so CPU time is the steadier figure.

Needs python3-pil (apt-get install python3-pil); it runs with the system Python, where
that package installs. Not part of CI: a measurement for the notes, not a test.
"""
import json
import subprocess
import sys

from PIL import Image

from peer_photo import photo, timed


def halftone():
    """The 256-entry halftone table of platform/Palettes.cpp, as a flat RGB list."""
    statics = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
               (0, 128, 128), (192, 192, 192), (192, 220, 192), (166, 202, 240),
               (255, 251, 240), (160, 160, 164), (128, 128, 128), (255, 0, 0), (0, 255, 0),
               (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    table = statics[:10]
    table += [(51 * r, 51 * g, 51 * b) for r in range(6) for g in range(6) for b in range(6)]
    table += [((102 * k + 5) // 10,) * 3 for k in range(1, 25) if k % 5]
    table += statics[10:]
    assert len(table) == 256
    return [v for entry in table for v in entry]


def mean_error(source, reduced):
    """Mean absolute difference per channel (a check that the peer did the job)."""
    a = source.tobytes()
    b = reduced.convert("RGB").tobytes()
    step = 97  # a sample of the pixels is enough for a check
    total = sum(abs(a[i] - b[i]) for i in range(0, len(a), step))
    return total / len(range(0, len(a), step))


def ours(bench):
    result = subprocess.run(
        [bench, "--benchmark_filter=BM_Reduce/Windows256/(Nearest|FloydSteinberg)$",
         "--benchmark_format=json", "--benchmark_min_time=1"],
        check=True, capture_output=True, text=True)
    rows = json.loads(result.stdout)["benchmarks"]
    return {row["name"]: (row["cpu_time"], row["real_time"]) for row in rows}


def main():
    picture = photo(4000, 3000)
    palette = Image.new("P", (1, 1))
    palette.putpalette(halftone())
    results = {}
    for name, dither in (("FloydSteinberg", Image.Dither.FLOYDSTEINBERG),
                         ("Nearest", Image.Dither.NONE)):
        job = lambda: picture.quantize(palette=palette, dither=dither)  # noqa: E731
        error = mean_error(picture, job())
        if error > 20:
            raise SystemExit(f"peer {name}: mean error {error:.1f}, not a reduction")
        results[name] = timed(job, 7)
        cpu, wall = results[name]
        print(f"peer {name:15} 4000x3000 -> halftone: cpu {cpu:7.1f} ms, wall {wall:7.1f} ms"
              f"  (mean error {error:.1f})")
    if len(sys.argv) > 1:
        mine = ours(sys.argv[1])
        for name in ("FloydSteinberg", "Nearest"):
            cpu, wall = mine[f"BM_Reduce/Windows256/{name}"]
            print(f"ours {name:15} 4000x3000 -> halftone: cpu {cpu:7.1f} ms, wall {wall:7.1f} ms"
                  f"  (peer / ours, cpu: {results[name][0] / cpu:.2f})")


if __name__ == "__main__":
    main()
