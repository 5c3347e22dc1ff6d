#!/usr/bin/env python3
"""Cost of a capture through the Python module against the same capture through the core
(the command-line tool), on the virtual board. Each capture is triggered, waited for, read
out and written as a data file on both sides.

  PYTHONPATH=build/python python3 bench/bench_python.py [--avg N] [--count 8] [--cli PATH]

Without --avg both sides take the program's default averaging.
"""
import argparse
import os
import subprocess
import tempfile
import time

import sensorbench


def cli_seconds_per_capture(cli, avg, count, out):
    # Two runs that differ only in the number of captures: the difference is the captures alone,
    # without the process start.
    def run(n):
        name = f"cli{time.monotonic_ns()}"  # fresh names: no backups of earlier files to make
        t0 = time.perf_counter()
        avg_option = f"--avg {avg} " if avg else ""
        subprocess.run([cli, "--sim", f"capture {avg_option}--count {n} --out {out} --name {name}"],
                       check=True, stdout=subprocess.DEVNULL)
        return time.perf_counter() - t0
    run(1)  # warm the file cache
    return (run(count + 1) - run(1)) / count


def python_seconds_per_capture(avg, count, out):
    options = {"avg": avg} if avg else {}
    with sensorbench.Bench(sim=1) as bench:
        bench.capture(**options)
        t0 = time.perf_counter()
        for i in range(count):
            bench.capture(**options).save(os.path.join(out, f"py{time.monotonic_ns()}_{i + 1}.csv"))
        return (time.perf_counter() - t0) / count


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--avg", type=int, default=None, help="samples averaged (default: the program's)")
    p.add_argument("--count", type=int, default=4)
    p.add_argument("--repeat", type=int, default=3, help="rounds; the fastest of each side counts")
    p.add_argument("--cli", default=os.environ.get("SB_CLI", os.path.join(here, "..", "build", "src", "cli",
                                                                          "sensorbench-cli")))
    a = p.parse_args()
    with tempfile.TemporaryDirectory() as out:
        # Alternating rounds, so load from elsewhere on the machine hits both sides alike.
        rounds = [(cli_seconds_per_capture(a.cli, a.avg, a.count, out), python_seconds_per_capture(a.avg, a.count, out))
                  for _ in range(a.repeat)]
    core = min(r[0] for r in rounds)
    py = min(r[1] for r in rounds)
    print(f"capture avg={a.avg or 'default'}, {a.count} captures per run, best of {a.repeat} rounds")
    print(f"core (sensorbench-cli): {core * 1000:8.1f} ms per capture")
    print(f"python module:          {py * 1000:8.1f} ms per capture")
    print(f"ratio python / core:    {py / core:8.3f}")


if __name__ == "__main__":
    main()
