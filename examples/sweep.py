#!/usr/bin/env python3
"""Averaging sweep on the virtual sensor board: one capture per setting, velocity RMS per axis."""
import sensorbench

with sensorbench.Bench(sim=1) as bench:
    print("avg  sample rate Hz   velocity RMS mm/s (X, Y, Z)")
    for avg in (1, 4, 16, 64):
        capture = bench.capture(mode="manual", avg=avg)
        stats = capture.stats()
        rms = "  ".join(f"{stats[axis]['velocity_rms']:8.3f}" for axis in ("X acc", "Y acc", "Z acc"))
        print(f"{avg:<4} {capture.sample_rate:14.1f}   {rms}")
