#!/usr/bin/env bash
# Installs what is needed, builds Release and starts the program on the virtual board.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Cache hits across checkouts in other directories.
export CCACHE_BASEDIR="$root"
"$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build" --target sensorbench
demo="$root/build/demo"
mkdir -p "$demo"
# The demo folder's settings select the USB card, so the program opens on the virtual card.
if [ ! -f "$demo/CommPort.cfg" ]; then
  printf 'Interface =  2 \r\nPort Address =  888 \r\nProductNumber =  31473 \r\n' > "$demo/CommPort.cfg"
fi
cd "$demo"
SENSORBENCH_SIM="${SENSORBENCH_SIM:-1}" exec "$root/build/sensorbench" "$@"
