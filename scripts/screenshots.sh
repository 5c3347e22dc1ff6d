#!/usr/bin/env bash
# Renders the pictures of docs/ afresh from the virtual board, without a display.
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
export CCACHE_BASEDIR="$root"
[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --target screenshots
QT_QPA_PLATFORM=offscreen "$build/tests/screenshots" "$root/docs"
