#!/usr/bin/python3
"""Times a general-purpose imaging library (Debian's python3-pil) writing the 4000 x 3000
pictures of bench_png as PNG, and runs bench_png's matching cases in the same run: the
full-colour result of two bands (A 230 C 25, the narrow band; A 128 C 127, the default)
with its text chunk and its palette form, encoded into memory, the whole save to a file
(ours: the safe save with its flush to disk; the peer's: a plain file, flushed to disk the
same way), and the two photos as `lumiveil convert` writes them.

    bench/peer_png.py [build/bench/bench_png]

The peer saves each picture twice: with its defaults (zlib level 6, adaptive filters for
full colour: what a user gets) and at zlib level 1 (its quickest). The pictures come from
bench_png --write-results, so both encode the same pixels; the script checks that our PNG
decodes to exactly the peer's input. Medians of 5 runs after a warm-up; CPU time is the
steadier figure on a shared machine, but ours may use several cores: wall time is what a
person waits. Sizes in bytes.

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

RUNS = 5
# (name in bench_png's files, benchmark case, text chunk from our PNG)
CASES = [(f"result-{band}{suffix}", f"{bench}/band:{arg}", True)
         for band, arg in (("A230C25", 0), ("A128C127", 1))
         for suffix, bench in (("", "BM_PngEncode"), ("-indexed", "BM_PngEncodeIndexed"))]
CASES += [(name, f"BM_PngEncodePhoto/photo:{arg}", False)
          for arg, name in enumerate(("photo-enlarged", "photo-tiled"))]
SAVES = [("result-A230C25", "BM_PngSave/band:0"), ("result-A128C127", "BM_PngSave/band:1")]


def ours(bench):
    result = subprocess.run(
        [bench, "--benchmark_filter=^BM_Png(Encode|EncodeIndexed|Save|EncodePhoto)/[a-z]+:[01]/",
         "--benchmark_format=json", f"--benchmark_repetitions={RUNS}",
         "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True, text=True)
    rows = json.loads(result.stdout)["benchmarks"]
    # Names without the suffixes of the measured times ("/process_time/real_time").
    return {row["run_name"].split("/process_time")[0]: row for row in rows
            if row.get("aggregate_name") == "median"}


def text_chunk(folder, name):
    """The text chunks of our PNG, for the peer to write the same."""
    info = PngImagePlugin.PngInfo()
    for keyword, text in Image.open(os.path.join(folder, name)).text.items():
        info.add_text(keyword, text)
    return info


def load(folder, name):
    picture = Image.open(os.path.join(folder, name + ".bmp"))
    picture.load()
    decoded = Image.open(os.path.join(folder, name + ".png")).convert("RGB")
    if decoded.tobytes() != picture.convert("RGB").tobytes():
        raise SystemExit(f"{name}.png does not hold the peer's pixels")
    return picture


def line(who, name, cpu, wall, size):
    print(f"{who} {name:26} {cpu:8.1f} {wall:8.1f} {size:10d}")


def main():
    bench = sys.argv[1] if len(sys.argv) > 1 else "build/bench/bench_png"
    with tempfile.TemporaryDirectory(prefix="lumiveil-peer-png-") as folder:
        subprocess.run([bench, "--write-results", folder], check=True)
        mine = ours(bench)
        print(f"{'':4} {'case':26} {'cpu ms':>8} {'wall ms':>8} {'bytes':>10}")
        for name, case, chunk in CASES:
            picture = load(folder, name)
            row = mine[case]
            info = text_chunk(folder, name + ".png") if chunk else None
            line("ours", name, row["cpu_time"], row["real_time"], int(row["bytes"]))
            for level in (6, 1):
                out = io.BytesIO()

                def encode():
                    out.seek(0)
                    out.truncate()
                    picture.save(out, "PNG", compress_level=level, pnginfo=info)

                cpu, wall = timed(encode, RUNS)
                size = len(out.getvalue())
                line(f"pil{level}", name, cpu, wall, size)
                print(f"     level {level} / ours: wall {wall / row['real_time']:.2f}, cpu "
                      f"{cpu / row['cpu_time']:.2f}; size ours / peer {row['bytes'] / size:.4f}")
        # The whole save to a file, flushed to disk, against the peer's default save.
        for name, case in SAVES:
            picture = load(folder, name)
            row = mine[case]
            info = text_chunk(folder, name + ".png")
            path = os.path.join(folder, "peer-save.png")

            def save():
                with open(path, "wb") as f:
                    picture.save(f, "PNG", pnginfo=info)
                    f.flush()
                    os.fsync(f.fileno())

            cpu, wall = timed(save, RUNS)
            line("ours", name + " save", row["cpu_time"], row["real_time"], int(row["bytes"]))
            line("pil6", name + " save", cpu, wall, os.path.getsize(path))
            print(f"     level 6 / ours: wall {wall / row['real_time']:.2f}, cpu "
                  f"{cpu / row['cpu_time']:.2f}")
    print(f"load average: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")


if __name__ == "__main__":
    main()
