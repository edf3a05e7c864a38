"""What the peer scripts share: the test photo (peer_dither.py, peer_resample.py), built as
the C++ benchmarks build theirs, and the timing of a job (peer_dither.py, peer_png.py)."""
import os
import statistics
import time

from PIL import Image

SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "samples")


def photo(width, height, name="coffee.bmp"):
    """The photo tiled to width x height, mirrored at every seam (as the C++ benchmarks)."""
    tile = Image.open(os.path.join(SAMPLES, name)).convert("RGB")
    pw, ph = tile.size
    flips = {
        (0, 0): tile,
        (1, 0): tile.transpose(Image.Transpose.FLIP_LEFT_RIGHT),
        (0, 1): tile.transpose(Image.Transpose.FLIP_TOP_BOTTOM),
        (1, 1): tile.transpose(Image.Transpose.ROTATE_180),
    }
    out = Image.new("RGB", (width, height))
    for ty in range(0, height, ph):
        for tx in range(0, width, pw):
            out.paste(flips[((tx // pw) % 2, (ty // ph) % 2)], (tx, ty))
    return out


def timed(job, runs):
    """Medians of the CPU and wall times of `runs` runs of job, in ms, after one warm-up."""
    job()  # warm-up, discarded
    cpu, wall = [], []
    for _ in range(runs):
        c, w = time.process_time(), time.perf_counter()
        job()
        cpu.append((time.process_time() - c) * 1000)
        wall.append((time.perf_counter() - w) * 1000)
    return statistics.median(cpu), statistics.median(wall)
