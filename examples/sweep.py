#!/usr/bin/env python3
"""Averaging sweep on the virtual sensor board: one capture per setting, velocity RMS per axis.

Velocity is only given where the record holds the 10-1000 Hz band; elsewhere "-" and why."""
import math

import sensorbench

with sensorbench.Bench(sim=1) as bench:
    print("avg  sample rate Hz   velocity RMS mm/s (X, Y, Z)")
    for avg in (1, 4, 16, 64):
        capture = bench.capture(mode="manual", avg=avg)
        stats = capture.stats()
        values = [stats[axis]["velocity_rms"] for axis in ("X acc", "Y acc", "Z acc")]
        rms = "  ".join("       -" if math.isnan(v) else f"{v:8.3f}" for v in values)
        note = "" if not math.isnan(values[0]) else "   " + stats["X acc"]["velocity_note"]
        print(f"{avg:<4} {capture.sample_rate:14.1f}   {rms}{note}")
