#!/usr/bin/env bash
# Installs what is needed, builds and runs every test.
#   scripts/test.sh             Release build, all tests
#   scripts/test.sh --sanitize  the same with AddressSanitizer + UndefinedBehaviorSanitizer
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Cache hits across checkouts in other directories.
export CCACHE_BASEDIR="$root"
"$root/scripts/deps.sh"
build="$root/build"
opts=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-asan"
  # -O1 with line tables: readable reports at a fraction of a full debug build's cost.
  opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" -DSB_SANITIZE=ON
        -DSB_BUILD_BENCH=OFF)
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
cmake -S "$root" -B "$build" -G Ninja "${opts[@]}"
cmake --build "$build"
cd "$build"
# The suites mostly wait on real time (count-downs, captures), so four at a time fit two cores;
# the sanitizer build is CPU-bound and runs two.
if [ "${1:-}" = "--sanitize" ]; then jobs=2; else jobs=4; fi
ctest --output-on-failure -j"$jobs"
if [ "${1:-}" != "--sanitize" ]; then
  "$root/scripts/check-package.sh" "$build"
  "$root/scripts/valgrind-cli.sh" "$build"
fi
