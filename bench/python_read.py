#!/usr/bin/env python3
"""Reading the 65 MB experiment (100 x 2 x 32768 samples) into numpy, against
the library's load of the same file through the module (no arrays). Goal:
at most 1.5 times the load. Prints both figures (best of the runs) and the
ratio; exits 1 when the goal is missed.

    python3 bench/python_read.py BUILD [BENCH_BUILD]

BUILD holds python/tessel (the optimised build); BENCH_BUILD (default BUILD)
holds bin/bench_open_experiment, which writes the file.
"""
import os
import subprocess
import sys
import tempfile
import time

GOAL = 1.5
RUNS = 7


def best(f):
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        f()
        times.append(time.perf_counter() - start)
    return min(times)


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

        def into_numpy():
            exp = tessel.read(path)
            arrays = [(ch.t, ch.raw, ch.values) for m in exp.measurements for ch in m.channels]
            assert len(arrays) == 200 and all(len(a[0]) == 32768 for a in arrays)

        size = os.path.getsize(path)
        into_numpy()  # warm: the file in the page cache, the module loaded
        plain = best(load)
        numpy = best(into_numpy)
    ratio = numpy / plain
    print(f"file:              {size / 2**20:8.1f} MiB")
    print(f"library load:      {plain * 1e3:8.1f} ms")
    print(f"read into numpy:   {numpy * 1e3:8.1f} ms (t, raw and values of every channel)")
    print(f"ratio:             {ratio:8.2f} (at most {GOAL})")
    sys.exit(0 if ratio <= GOAL else 1)


if __name__ == "__main__":
    main()
