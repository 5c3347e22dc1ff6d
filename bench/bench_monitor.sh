#!/usr/bin/env bash
# Monitoring on the virtual board: sustainable captures per hour, database growth per capture
# with and without waveforms, and the CPU the process uses while it waits between captures.
#   bench/bench_monitor.sh [build-dir]
set -euo pipefail
cli="${1:-build}/src/cli/sensorbench-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
n=10

start=$(date +%s.%N)
"$cli" --sim monitor --count $n --interval 1s --db "$work/full.sqlite" > /dev/null
end=$(date +%s.%N)
"$cli" --sim monitor --count $n --interval 1s --db "$work/figures.sqlite" --keep-waveforms 1 > /dev/null
per=$(echo "($end - $start) / $n" | bc -l)
# Size after a checkpoint, so the WAL file is folded in.
size() { sqlite3 "$1" "PRAGMA wal_checkpoint(TRUNCATE);" > /dev/null; stat -c %s "$1"; }
printf 'seconds per capture at a 1 s interval: %.2f (captures back to back: about %.0f per hour)\n' \
  "$per" "$(echo "3600 / $per" | bc -l)"
printf 'database growth per capture: %.1f KiB with waveforms, %.1f KiB figures only\n' \
  "$(echo "$(size "$work/full.sqlite") / $n / 1024" | bc -l)" \
  "$(echo "$(size "$work/figures.sqlite") / $n / 1024" | bc -l)"

# Two captures 20 s apart: the CPU time beyond the two captures is what the wait costs.
/usr/bin/env time -f '%U %S %e' -o "$work/idle.time" \
  "$cli" --sim monitor --count 2 --interval 20s --db "$work/idle.sqlite" > /dev/null
read -r user sys wall < "$work/idle.time"
printf 'CPU while idle between captures: %.3f s of CPU over %.1f s wall for two captures\n' \
  "$(echo "$user + $sys" | bc -l)" "$wall"
