#!/usr/bin/env python3
"""A plant-side consumer of `sensorbench-cli monitor --mqtt`: keeps every capture of every bench
in one CSV file per bench and card, and prints the benches' status and alarms as they change.

    examples/plant_historian.py [--host broker] [--port 1883] [--prefix plant/#] [--out historian/]

It reads mosquitto_sub's output (Debian package mosquitto-clients), so it needs nothing beyond
the Python standard library. Its session at the broker is persistent (QoS 1, fixed client id):
captures published while it is away wait at the broker and arrive when it comes back. A capture
can arrive twice (QoS 1); its message_id says so, and the second copy is dropped.
"""
import argparse
import collections
import csv
import json
import os
import socket
import subprocess
import sys

FIELDS = ["time", "host", "card_slot", "card_name", "capture_id", "product", "mode", "averaging",
          "sample_rate_hz", "complete", "loss_reason", "temperature", "channel", "ac_rms",
          "peak_to_peak", "dominant_hz", "velocity_rms_mm_s", "zone"]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--host", default="localhost")
    ap.add_argument("--port", type=int, default=1883)
    ap.add_argument("--prefix", default="plant/#", help="topic filter (default plant/#)")
    ap.add_argument("--out", default="historian", help="folder for the CSV files")
    ap.add_argument("--client-id", default="historian-" + socket.gethostname())
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)

    sub = subprocess.Popen(["mosquitto_sub", "-h", args.host, "-p", str(args.port), "-t", args.prefix,
                            "-v", "-q", "1", "-c", "-i", args.client_id],
                           stdout=subprocess.PIPE, text=True, bufsize=1)
    seen = collections.OrderedDict()   # message ids, the newest 100 000
    try:
        for line in sub.stdout:
            topic, _, payload = line.rstrip("\n").partition(" ")
            if topic.endswith("/status"):
                print(f"{topic}: {payload}", flush=True)
            elif "/alarm/" in topic:
                if payload in ("", "(null)"):
                    print(f"{topic}: cleared", flush=True)
                else:
                    a = json.loads(payload)
                    print(f"{topic}: ALARM {a['card_name']} {a['channel']} zone {a['zone']} "
                          f"({a['velocity_rms_mm_s']:.2f} mm/s)", flush=True)
            elif topic.endswith("/capture"):
                m = json.loads(payload)
                if m["message_id"] in seen:
                    continue
                seen[m["message_id"]] = True
                if len(seen) > 100_000:
                    seen.popitem(last=False)
                store(args.out, topic, m)
    except KeyboardInterrupt:
        pass
    finally:
        sub.terminate()


def store(folder, topic, m):
    # One file per bench (the topic up to /card/) and card.
    bench = topic.split("/card/")[0].replace("/", "_")
    path = os.path.join(folder, f"{bench}_card{m['card_slot'] if m['card_slot'] is not None else 'port'}.csv")
    new = not os.path.exists(path)
    with open(path, "a", newline="") as f:
        w = csv.DictWriter(f, FIELDS)
        if new:
            w.writeheader()
        base = {k: m[k] for k in FIELDS if k in m}
        # A lost capture is a row of its own, its figures empty (unknown, not 0).
        for c in m["channels"] or [{}]:
            row = dict(base)
            row["channel"] = c.get("name", "")
            for k in ("ac_rms", "peak_to_peak", "dominant_hz", "velocity_rms_mm_s", "zone"):
                row[k] = "" if c.get(k) is None else c[k]
            w.writerow({k: "" if v is None else v for k, v in row.items()})


if __name__ == "__main__":
    sys.exit(main())
