#!/usr/bin/python3
"""Whole-job benchmark: `lumiveil synth` to GIF, BMP and PNG against the peer pipeline script.

usage: bench/whole_job.py [--lumiveil LABEL=PATH[,NAME=VALUE...] ...] [--peer SCRIPT]
                          [--runs N] [--work DIR] [--visible FILE --hidden FILE]
                          [--env NAME=VALUE ...] [--jobs gif,bmp,png] [--heavy MIB]

Runs every job as a separate process, alternating the jobs within each round so that all of
them see the same machine, N rounds (default 5). For each job it prints the median wall
time, the median user and system time and the median peak resident memory (from wait4's
resource usage of the child), the peer's median wall time divided by ours, and the spread
of the wall times (slowest less fastest run).

Without --visible/--hidden it makes the standard pair once in --work: a 4000 x 3000 visible
and a 2000 x 1500 hidden 24-bit BMP, resampled from the bundled photos by `lumiveil resize`.
Several --lumiveil entries (for example the build before and after a change) are measured
in the same rounds; NAME=VALUE after a comma sets an environment variable for that entry
alone (one=build/bin/lumiveil,LUMIVEIL_THREADS=1 measures the build on one thread), --env
for every entry. The peer is the numpy + python3-pil script of the shared bench folder
(its PNG is Pillow's default save: zlib level 6, adaptive filters).

--jobs picks the outputs (default all three). --heavy MIB runs, untimed, before every job a
process that writes MIB of memory and exits: what a desktop's other programs do to the
kernel's free memory between two runs of the tool (a job that asks for huge pages may then
wait for the kernel to compact memory). Without it, only the jobs themselves run.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def run_once(argv, env):
    """Runs argv; returns (wall s, user s, sys s, peak MiB). Fails loudly on a non-zero exit."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{' '.join(argv)} failed: {err}")
    return wall, usage.ru_utime, usage.ru_stime, usage.ru_maxrss / 1024.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lumiveil", action="append", default=[],
                        help="LABEL=PATH of a lumiveil binary (default: build/bin/lumiveil)")
    # The shared bench folder beside the checkout (or beside the folder of worktrees).
    peers = [os.path.join(ROOT, *up, "shared", "bench", "pipeline_numpy_pil.py")
             for up in ([".."], ["..", ".."])]
    parser.add_argument("--peer", default=next((p for p in peers if os.path.exists(p)), peers[0]))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "whole-job"))
    parser.add_argument("--visible")
    parser.add_argument("--hidden")
    parser.add_argument("--env", action="append", default=[],
                        help="NAME=VALUE set for every lumiveil run (e.g. LUMIVEIL_THREADS=1)")
    parser.add_argument("--jobs", default="gif,bmp,png",
                        help="the outputs to make, of gif, bmp, png (default all)")
    parser.add_argument("--heavy", type=int, default=0, metavar="MIB",
                        help="before every job, a process that writes MIB of memory")
    args = parser.parse_args()

    tools = []
    for entry in args.lumiveil:
        head, *settings = entry.split(",")
        label, path = head.split("=", 1)
        tools.append((label, path, dict(setting.split("=", 1) for setting in settings)))
    if not tools:
        tools = [("lumiveil", os.path.join(ROOT, "build", "bin", "lumiveil"), {})]
    os.makedirs(args.work, exist_ok=True)
    visible, hidden = args.visible, args.hidden
    if not visible or not hidden:
        visible = os.path.join(args.work, "visible-4000x3000.bmp")
        hidden = os.path.join(args.work, "hidden-2000x1500.bmp")
        maker = tools[0][1]
        if not os.path.exists(visible):
            subprocess.run([maker, "resize", os.path.join(ROOT, "samples", "coffee.bmp"),
                            visible, "4000", "3000"], check=True)
        if not os.path.exists(hidden):
            subprocess.run([maker, "resize", os.path.join(ROOT, "samples", "chelsea.bmp"),
                            hidden, "2000", "1500"], check=True)

    env = dict(os.environ)
    for entry in args.env:
        name, value = entry.split("=", 1)
        env[name] = value
    out = lambda name: os.path.join(args.work, name)
    kinds = [kind for kind in args.jobs.split(",") if kind]
    if not kinds or any(kind not in ("gif", "bmp", "png") for kind in kinds):
        sys.exit("--jobs takes gif, bmp and png, separated by commas")
    jobs = []
    for label, path, own in tools:
        tool_env = dict(env, **own)
        for kind in kinds:
            jobs.append((f"{label} synth -> {kind.upper()}",
                         [path, "synth", visible, hidden, "-o", out(f"{label}.{kind}")], tool_env))
    peer = ["/usr/bin/python3", args.peer]
    peer_outputs = {"gif": ["-", out("peer.gif")], "bmp": [out("peer.bmp")],
                    "png": ["-", out("peer.png")]}
    for kind in kinds:
        jobs.append((f"peer -> {kind.upper()}", peer + [visible, hidden] + peer_outputs[kind],
                     dict(os.environ)))
    # Writes every page of the block, so that the kernel hands out and takes back real memory.
    heavy = ["/usr/bin/python3", "-c",
             "import sys; b = bytearray(int(sys.argv[1]) << 20); b[::4096] = b'x' * len(b[::4096])",
             str(args.heavy)]

    results = {name: [] for name, _, _ in jobs}
    for _ in range(args.runs):
        for name, argv, job_env in jobs:
            if args.heavy > 0:
                subprocess.run(heavy, check=True)
            results[name].append(run_once(argv, job_env))

    med = {name: [statistics.median(col) for col in zip(*rows)] for name, rows in results.items()}
    # How steady a job is: the spread of its wall times, slowest less fastest.
    spread = {name: max(r[0] for r in rows) - min(r[0] for r in rows)
              for name, rows in results.items()}
    print(f"{args.runs} rounds, jobs alternating; medians. visible {os.path.basename(visible)}, "
          f"hidden {os.path.basename(hidden)}"
          + (f"; {args.heavy} MiB written before every job" if args.heavy > 0 else ""))
    print(f"{'job':<28} {'wall s':>8} {'user s':>8} {'sys s':>8} {'peak MiB':>9} "
          f"{'peer/us':>8} {'spread s':>9} {'MB':>7}")
    for name, argv, _ in jobs:
        wall, user, system, peak = med[name]
        kind = name.rsplit(" ", 1)[1]
        ratio = "" if name.startswith("peer") else f"{med['peer -> ' + kind][0] / wall:8.2f}"
        size = os.path.getsize(argv[-1]) / 1e6
        print(f"{name:<28} {wall:8.3f} {user:8.3f} {system:8.3f} {peak:9.1f} {ratio:>8} "
              f"{spread[name]:9.3f} {size:7.2f}")
    # Every build measured must have written the same files.
    for kind in kinds:
        files = [out(f"{label}.{kind}") for label, _, _ in tools]
        with open(files[0], "rb") as f:
            first = f.read()
        for other in files[1:]:
            with open(other, "rb") as f:
                if f.read() != first:
                    print(f"note: {os.path.basename(other)} differs from {os.path.basename(files[0])}")


if __name__ == "__main__":
    main()
