#!/usr/bin/env bash
# One CLI capture on the virtual board under valgrind: any memory error fails.
set -euo pipefail
build="$1"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
valgrind --error-exitcode=1 --quiet --leak-check=no \
  "$build/src/cli/sensorbench-cli" --sim 'capture --count 1 --out '"$out" 'status'
test -f "$out/Datalog_1.csv"
echo "valgrind check: CLI capture clean"
