#!/usr/bin/python3
"""Times a general-purpose imaging library (Debian's python3-pil) on the resampling jobs of
bench_compose, on the same photo tiled the same way, and prints our times beside it.

    bench/peer_resample.py [build/bench/bench_compose]

Needs python3-pil (apt-get install python3-pil); it runs with the system Python, where that
package installs. Not part of CI: a measurement for the notes, not a test.
"""
import json
import statistics
import subprocess
import sys
import time

from PIL import Image

from peer_photo import photo


def timed(job, runs=15):
    job()  # warm-up, discarded
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        job()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times)


def ours(bench):
    result = subprocess.run(
        [bench, "--benchmark_filter=Enlarge|Shrink", "--benchmark_format=json"],
        check=True, capture_output=True, text=True)
    rows = json.loads(result.stdout)["benchmarks"]
    return {row["name"]: row["cpu_time"] for row in rows}


def main():
    small = photo(2000, 1500)
    large = photo(4000, 3000)
    enlarge = timed(lambda: small.resize((4000, 3000), Image.Resampling.BICUBIC))
    shrink = timed(lambda: large.resize((1000, 750), Image.Resampling.BOX))
    print(f"peer bicubic enlarge 2000x1500 -> 4000x3000: {enlarge:7.1f} ms")
    print(f"peer box shrink      4000x3000 -> 1000x750:  {shrink:7.1f} ms")
    if len(sys.argv) > 1:
        mine = ours(sys.argv[1])
        our_enlarge = mine["BM_Enlarge2000x1500To4000x3000"]
        our_shrink = mine["BM_Shrink4000x3000To1000x750"]
        print(f"ours enlarge: {our_enlarge:7.1f} ms  (peer / ours = {enlarge / our_enlarge:.2f})")
        print(f"ours shrink:  {our_shrink:7.1f} ms  (peer / ours = {shrink / our_shrink:.2f})")


if __name__ == "__main__":
    main()
