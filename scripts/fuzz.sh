#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time on its seed corpus.
#   scripts/fuzz.sh [seconds-per-target]   (default 20)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Cache hits across checkouts in other directories.
export CCACHE_BASEDIR="$root"
secs="${1:-20}"
"$root/scripts/deps.sh"
build="$root/build-fuzz"
CXX=clang++ CC=clang cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" \
  -DSB_FUZZ=ON -DSB_BUILD_TESTS=OFF -DSB_BUILD_BENCH=OFF
targets=$(cd "$root/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
cmake --build "$build" --target $targets
export ASAN_OPTIONS="detect_leaks=0"
for t in $targets; do
  name="${t#fuzz_}"
  corpus="$build/corpus-$name"
  rm -rf "$corpus"; mkdir -p "$corpus"
  cp -r "$root/fuzz/corpus/$name/." "$corpus/" 2>/dev/null || true
  echo "== $t ($secs s)"
  rc=0
  "$build/fuzz/$t" -max_total_time="$secs" -print_final_stats=1 "$corpus" > "$build/$t.log" 2>&1 || rc=$?
  grep -E 'stat::number_of_executed_units|stat::new_units_added' "$build/$t.log" || true
  if [ $rc -ne 0 ]; then
    tail -40 "$build/$t.log"
    echo "FUZZ FAILURE in $t" >&2
    exit 1
  fi
done
