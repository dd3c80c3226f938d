#!/usr/bin/python3
"""Two Python threads reconstructing at once against one after the other.

Each call runs on one OpenMP thread (cttk.set_threads(1)), so any speed-up
comes from the GIL being released during the computation. Prints the times
and their ratio (near 2 on two free cores). Run with the built module on
PYTHONPATH: PYTHONPATH=build/release/python python/bench_threads.py
"""
import sys
import threading
import time


def clocks():
    return time.perf_counter(), time.process_time()

import cttk


def main():
    size = int(sys.argv[1]) if len(sys.argv) > 1 else 1024
    sino = cttk.phantom_sino(f"shepp-logan:{size * 0.4}", size, (size - 1) / 2, views=size)
    cttk.set_threads(1)
    cttk.recon(sino[:64], (size - 1) / 2, size=64)  # plans and pages in place

    start, cpu = clocks()
    for _ in range(2):
        cttk.recon(sino, (size - 1) / 2)
    serial, serial_cpu = (b - a for a, b in zip((start, cpu), clocks()))

    threads = [threading.Thread(target=cttk.recon, args=(sino, (size - 1) / 2)) for _ in range(2)]
    start, cpu = clocks()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    parallel, parallel_cpu = (b - a for a, b in zip((start, cpu), clocks()))
    # Cores busy on average (CPU time over wall time): below 2 for the two
    # threads when other processes hold the cores.
    print(f"two {size} x {size} slices: one after the other {serial:.3f} s ({serial_cpu / serial:.2f} cores), "
          f"two threads {parallel:.3f} s ({parallel_cpu / parallel:.2f} cores), ratio {serial / parallel:.2f}")


if __name__ == "__main__":
    main()
