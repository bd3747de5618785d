#!/usr/bin/env python3
"""Reading the 65 MB experiment (100 x 2 x 32768 samples) into numpy, against
the library's load of the same file through the module (no arrays). Goal:
every channel's stored data as arrays (t and raw, what the file holds) in at
most 1.5 times the load. The displayed values, computed from raw, are timed
beside it for information. Prints both figures (best of the runs) and the
ratio; exits 1 when the goal is missed. The two alternate, so that a busy
machine slows both alike; the figures are medians.

    python3 bench/python_read.py BUILD [BENCH_BUILD]

BUILD holds python/tessel (the optimised build); BENCH_BUILD (default BUILD)
holds bin/bench_open_experiment, which writes the file.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

GOAL = 1.5
RUNS = 9


def timed(f):
    start = time.perf_counter()
    f()
    return time.perf_counter() - start


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    bench_build = os.path.abspath(sys.argv[2] if len(sys.argv) == 3 else build)
    sys.path.insert(0, os.path.join(build, "python"))
    import tessel

    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "big.exp")
        subprocess.run([os.path.join(bench_build, "bin", "bench_open_experiment"), "--write-experiment", path],
                       check=True)

        def load():
            assert tessel._tessel.load_only(path)

        def stored():
            exp = tessel.read(path)
            arrays = [(ch.t, ch.raw) for m in exp.measurements for ch in m.channels]
            assert len(arrays) == 200 and all(len(a[0]) == len(a[1]) == 32768 for a in arrays)

        def with_values():
            exp = tessel.read(path)
            arrays = [(ch.t, ch.raw, ch.values) for m in exp.measurements for ch in m.channels]
            assert len(arrays) == 200 and all(len(a[2]) == 32768 for a in arrays)

        size = os.path.getsize(path)
        with_values()  # warm: the file in the page cache, the module loaded
        runs = [(timed(load), timed(stored), timed(with_values)) for _ in range(RUNS)]
        plain, numpy, values = (statistics.median(r[k] for r in runs) for k in range(3))
    ratio = numpy / plain
    print(f"file:                   {size / 2**20:8.1f} MiB")
    print(f"library load:           {plain * 1e3:8.1f} ms")
    print(f"read into numpy:        {numpy * 1e3:8.1f} ms  ratio {ratio:.2f} (at most {GOAL}): t and raw of every channel")
    print(f"... and values as well: {values * 1e3:8.1f} ms  ratio {values / plain:.2f}")
    sys.exit(0 if ratio <= GOAL else 1)


if __name__ == "__main__":
    main()
