#!/usr/bin/env bash
# Monitoring on the virtual board: sustainable captures per hour, database growth per capture
# with and without waveforms, and the CPU the process uses while it waits between captures;
# then four cards publishing to a local broker.
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

# Four cards at a 1 s interval, publishing to a local broker: captures per hour per card, the
# time from a capture's time stamp to a subscriber, the CPU between captures and the peak memory.
if ! command -v mosquitto > /dev/null && [ ! -x /usr/sbin/mosquitto ]; then
  echo "publishing: mosquitto not installed (scripts/deps.sh)"; exit 0
fi
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$port" > "$work/mosquitto.conf"
PATH="$PATH:/usr/sbin" mosquitto -c "$work/mosquitto.conf" > /dev/null 2>&1 &
broker=$!
sleep 1
mosquitto_sub -h 127.0.0.1 -p "$port" -t 'bench/+/+/capture' -q 1 -F '%U %p' > "$work/received" &
sub=$!
trap 'kill $sub $broker 2> /dev/null; rm -rf "$work"' EXIT
sleep 0.5
url="mqtt://127.0.0.1:$port/bench"
for fast in "" "--fast"; do
  rounds=6
  /usr/bin/env time -f '%U %S %e %M' -o "$work/four.time" \
    "$cli" --sim=4 $fast monitor --card all --count $rounds --interval 1s --db "$work/four$fast.sqlite" --mqtt "$url" > /dev/null
  read -r user sys wall rss < "$work/four.time"
  printf 'four cards%s, 1 s interval, publishing: %.2f s per round, %.0f captures per hour per card, peak memory %.1f MB\n' \
    "${fast:+ ($fast)}" "$(echo "$wall / $rounds" | bc -l)" "$(echo "3600 * $rounds / $wall" | bc -l)" "$(echo "$rss / 1024" | bc -l)"
done
sleep 1
# Latency: the subscriber's receive time against the capture's own time stamp.
python3 - "$work/received" <<'PY'
import datetime, json, statistics, sys
lat = []
for line in open(sys.argv[1]):
    t, _, payload = line.partition(" ")
    m = json.loads(payload)
    taken = datetime.datetime.fromisoformat(m["time"].replace("Z", "+00:00")).timestamp()
    lat.append((float(t) - taken) * 1000)
lat.sort()
print(f"publish latency (capture time stamp to subscriber), {len(lat)} captures: median {statistics.median(lat):.0f} ms, "
      f"95 % {lat[int(0.95 * (len(lat) - 1))]:.0f} ms, max {lat[-1]:.0f} ms")
PY
# Two rounds of four cards 20 s apart: the CPU beyond the captures is what the wait and the
# broker connection cost.
/usr/bin/env time -f '%U %S %e' -o "$work/idle4.time" \
  "$cli" --sim=4 --fast monitor --card all --count 2 --interval 20s --db "$work/idle4.sqlite" --mqtt "$url" > /dev/null
read -r user sys wall < "$work/idle4.time"
printf 'CPU while idle, four cards publishing: %.3f s of CPU over %.1f s wall for two rounds\n' \
  "$(echo "$user + $sys" | bc -l)" "$wall"
