"""nearest_many on a million random colours (fixed seed) against one thread
of the library (tintwise-palette --jobs=1 on the same colours), wall time
and the peak memory the kernel counted, then the same again to show that
memory stays where it was.

Usage: PYTHONPATH=build/python python3 bench/python_bench.py build/tintwise-palette [COLOURS]
"""
import os
import resource
import subprocess
import sys
import tempfile
import time

import numpy as np

import tintwise

palette, count = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
colours = np.random.default_rng(2026).integers(0, 256, (count, 3))
peak = lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
with tempfile.NamedTemporaryFile("w", suffix=".txt") as listed:
    listed.write("".join("%d %d %d\n" % tuple(c) for c in colours))
    listed.flush()
    start = time.perf_counter()
    subprocess.run([palette, "--jobs=1", "--format={hue}", listed.name], stdout=subprocess.DEVNULL, check=True)
    one = time.perf_counter() - start
print(f"tintwise-palette --jobs=1, {count} colours: {one:.2f} s")
before = peak()
answers = None
for run in (1, 2):
    del answers  # the first run's answers are not held through the second
    start = time.perf_counter()
    answers = tintwise.nearest_many(colours)
    many = time.perf_counter() - start
    print(f"nearest_many, {count} colours on {os.cpu_count()} cores, run {run}: {many:.2f} s, ratio {many / one:.3f}; "
          f"peak memory {peak():.0f} MiB (before: {before:.0f} MiB)")
print(f"checksum {int(answers.hue.sum() + answers.saturation.sum() + answers.brightness.sum())}")
