#!/usr/bin/python3
"""Times a general-purpose imaging library (Debian's python3-pil) writing the 4000 x 3000
photo results of bench_png as PNG, at the zlib level our writer chose for each picture
and with the same text chunk, and runs bench_png's matching cases in the same run: the
full-colour result of two bands (A 230 C 25, the narrow band; A 128 C 127, the default)
and its palette form, encoded into memory, and the whole save to a file (ours: the safe
save with its flush to disk; the peer's: a plain file, flushed to disk the same way).

    bench/peer_png.py [build/bench/bench_png]

The pictures come from bench_png --write-results, so both encode the same pixels; the
script checks that our PNG decodes to exactly the peer's input. Medians of 5 runs after a
warm-up; CPU time is the steadier figure on a shared machine. Sizes in bytes.

Needs python3-pil (apt-get install python3-pil); it runs with the system Python, where
that package installs. Not part of CI: a measurement for the notes, not a test.
"""
import io
import json
import os
import subprocess
import sys
import tempfile

from PIL import Image, PngImagePlugin

from peer_photo import timed

BANDS = (("A230C25", 0, "average=230 contrast=25"), ("A128C127", 1, "average=128 contrast=127"))
RUNS = 5


def ours(bench):
    result = subprocess.run(
        [bench, "--benchmark_filter=^BM_Png(Encode|EncodeIndexed|Save)/band:[01]$",
         "--benchmark_format=json", f"--benchmark_repetitions={RUNS}",
         "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True, text=True)
    rows = json.loads(result.stdout)["benchmarks"]
    return {row["run_name"]: row for row in rows if row.get("aggregate_name") == "median"}


def text_chunk(folder, name):
    """The text chunk of our PNG, for the peer to write the same."""
    info = PngImagePlugin.PngInfo()
    for keyword, text in Image.open(os.path.join(folder, name)).text.items():
        info.add_text(keyword, text)
    return info


def main():
    bench = sys.argv[1] if len(sys.argv) > 1 else "build/bench/bench_png"
    with tempfile.TemporaryDirectory(prefix="lumiveil-peer-png-") as folder:
        subprocess.run([bench, "--write-results", folder], check=True)
        mine = ours(bench)
        print(f"{'case':28} {'cpu ms':>8} {'wall ms':>8} {'bytes':>10}  zlib level, filter")
        for band, arg, _ in BANDS:
            for form, suffix, bench_name in (("RGB", "", "BM_PngEncode"),
                                             ("palette", "-indexed", "BM_PngEncodeIndexed")):
                picture = Image.open(os.path.join(folder, f"result-{band}{suffix}.bmp"))
                picture.load()
                png_name = f"result-{band}{suffix}.png"
                decoded = Image.open(os.path.join(folder, png_name)).convert("RGB")
                if decoded.tobytes() != picture.convert("RGB").tobytes():
                    raise SystemExit(f"{png_name} does not hold the peer's pixels")
                row = mine[f"{bench_name}/band:{arg}"]
                level = int(row["zlib_level"])
                info = text_chunk(folder, png_name)
                out = io.BytesIO()

                def encode():
                    out.seek(0)
                    out.truncate()
                    picture.save(out, "PNG", compress_level=level, pnginfo=info)

                cpu, wall = timed(encode, RUNS)
                size = len(out.getvalue())
                filt = "adaptive" if row["adaptive_filter"] else "none"
                name = f"{band} {form}"
                print(f"ours {name:23} {row['cpu_time']:8.1f} {row['real_time']:8.1f} "
                      f"{int(row['bytes']):10d}  {level}, {filt}")
                print(f"peer {name:23} {cpu:8.1f} {wall:8.1f} {size:10d}  {level}, the peer's")
                print(f"     peer / ours: cpu {cpu / row['cpu_time']:.2f}, wall "
                      f"{wall / row['real_time']:.2f}; size ours / peer "
                      f"{int(row['bytes']) / size:.4f}")
            # The whole save to a file, flushed to disk.
            picture = Image.open(os.path.join(folder, f"result-{band}.bmp"))
            picture.load()
            row = mine[f"BM_PngSave/band:{arg}"]
            level = int(row["zlib_level"])
            info = text_chunk(folder, f"result-{band}.png")
            path = os.path.join(folder, "peer-save.png")

            def save():
                with open(path, "wb") as f:
                    picture.save(f, "PNG", compress_level=level, pnginfo=info)
                    f.flush()
                    os.fsync(f.fileno())

            cpu, wall = timed(save, RUNS)
            name = f"{band} save to file"
            print(f"ours {name:23} {row['cpu_time']:8.1f} {row['real_time']:8.1f} "
                  f"{int(row['bytes']):10d}")
            print(f"peer {name:23} {cpu:8.1f} {wall:8.1f} {os.path.getsize(path):10d}")
            print(f"     peer / ours: cpu {cpu / row['cpu_time']:.2f}, wall "
                  f"{wall / row['real_time']:.2f}")
    print(f"load average: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")


if __name__ == "__main__":
    main()
