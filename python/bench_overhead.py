#!/usr/bin/python3
"""The module against sino_recon on a 1024 x 1800 sinogram -> 1024^2 slice.

Times the program (reading the file, reconstructing, writing the image)
and the module doing the same (read_sinogram, recon, write_sinogram), the
best of three each, and prints their ratio (module / program; the module's
overhead is the ratio minus 1). Run from the worktree:
PYTHONPATH=build/release/python python/bench_overhead.py build/release/bin
"""
import os
import subprocess
import sys
import tempfile
import time

import cttk


def best(call, runs=3):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    bin_dir = sys.argv[1] if len(sys.argv) > 1 else "build/release/bin"
    with tempfile.TemporaryDirectory() as scratch:
        sg, img = os.path.join(scratch, "s.sg"), os.path.join(scratch, "i.sg")
        cttk.write_sinogram(sg, cttk.phantom_sino("shepp-logan:400", 1024, 511.5, views=1800))
        program = best(lambda: subprocess.run([os.path.join(bin_dir, "sino_recon"), sg, "511.5", "1", "1024",
                                               "shepp", img], check=True))
        module = best(lambda: cttk.write_sinogram(img, cttk.recon(cttk.read_sinogram(sg), 511.5)))
        alone = best(lambda: cttk.recon(cttk.read_sinogram(sg), 511.5))
    print(f"1024 x 1800 -> 1024^2: sino_recon {program:.3f} s, module {module:.3f} s "
          f"(without writing {alone:.3f} s), ratio {module / program:.3f}")


if __name__ == "__main__":
    main()
