#!/usr/bin/env bash
# Fails when a core source (a subsystem folder outside its ui/ folder) includes a Qt Widgets header
# or a window header, so the CLI, benchmarks and core tests keep linking without a display; and when
# core code (a .cpp file) reaches for the windows' session instead of the session it was given.
#   scripts/check-core-includes.sh SRC_DIR WIDGETS_HEADER_DIR
#   scripts/check-core-includes.sh --self-test WIDGETS_HEADER_DIR   (the check catches a planted include)
set -euo pipefail
folders="analysis capture config datalog device monitor registers shell sim"

check() {
  local src="$1" widgets="$2" bad=0 files=() folder
  for folder in $folders; do
    [ -d "$src/$folder" ] && while IFS= read -r -d '' f; do files+=("$f"); done \
      < <(find "$src/$folder" -maxdepth 1 -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
  done
  [ ${#files[@]} -gt 0 ] || return 0
  local re='^([^:]+):[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"]'
  while IFS= read -r line; do
    [[ "$line" =~ $re ]] || continue
    local file="${BASH_REMATCH[1]}" header="${BASH_REMATCH[2]}"
    if [[ "$header" == QtWidgets/* || "$header" == ui/* || "$header" == */ui/* ]] ||
       { [[ "$header" != */* ]] && [ -e "$widgets/$header" ]; }; then
      echo "${line#"$src"/}"
      bad=1
    fi
  done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include' "${files[@]}")
  # The windows' session and the names that view it; only the file that defines it names it.
  local views='ProgramSession\(\)|Module1::[A-Z]|Spi_mod::|EzUsb::|UsbSpiDrivers::|CaptureRecord::Last|BufValue[123]|BufRaw[123]|Capt(Supply|Temp|Peak[XYZ])\b|StatusDisplay::StatusBits|m470Reg::Table\(\)|FastReadout::(Enabled|WordDelay)|DataLog::(File|Format|DataFileNumber|Saved)'
  local f
  for f in "${files[@]}"; do
    [[ "$f" == *.cpp && "$f" != */BenchSession.cpp ]] || continue
    if grep -HnE "$views" "$f" | sed "s|^$src/||"; then bad=1; fi
  done
  return $bad
}

if [ "${1:-}" = "--self-test" ]; then
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  mkdir -p "$tmp/capture/ui" "$tmp/analysis"
  printf '#include <QString>\n' > "$tmp/analysis/Fine.cpp"
  printf '#include <QWidget>\n' > "$tmp/capture/ui/Window.cpp"
  check "$tmp" "$2" > /dev/null || { echo "self-test: a clean tree was refused"; exit 1; }
  for planted in '#include <QWidget>' '#include <QtWidgets/QLabel>' '#include "capture/ui/frmForm1.h"' \
                 'int p = Module1::ProductNumber;' 'auto& s = ProgramSession();' 'ReadRegister(m470Reg::Table().idxSTATUS);'; do
    printf '%s\n' "$planted" > "$tmp/analysis/Bad.cpp"
    if check "$tmp" "$2" > /dev/null; then
      echo "self-test: '$planted' in a core file went unnoticed"
      exit 1
    fi
  done
  echo "self-test: planted widget includes and uses of the windows' session are caught"
  exit 0
fi

if ! check "$1" "$2"; then
  echo "core files must not include widget or window headers (move the code into a ui/ folder),"
  echo "nor use the windows' session (take a BenchSession& instead)"
  exit 1
fi
echo "core files include no widget headers and work on the session they are given"
