#!/usr/bin/env bash
# Builds the Debian package from a configured build directory and checks what it installs.
set -euo pipefail
build="$1"
root="$(cd "$(dirname "$0")/.." && pwd)"
appstreamcli validate --no-net "$root/packaging/org.sensorbench.SensorBench.metainfo.xml"
(cd "$build" && rm -f sensorbench_*.deb && cpack -G DEB > cpack.log)
deb=$(ls "$build"/sensorbench_*.deb)
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/sensorbench ./usr/bin/sensorbench-cli \
         ./usr/share/applications/org.sensorbench.SensorBench.desktop \
         ./usr/share/metainfo/org.sensorbench.SensorBench.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/org.sensorbench.SensorBench.svg \
         ./lib/udev/rules.d/70-sensorbench-usbspi.rules \
         ./usr/share/man/man1/sensorbench-cli.1.gz ./usr/share/bash-completion/completions/sensorbench-cli; do
  if ! grep -qxF "$f" <<<"$listing"; then
    echo "package check: $f missing from $(basename "$deb")" >&2
    exit 1
  fi
done
# The Python module, when the build has it (its file name carries the interpreter's ABI tag).
if [ -n "$(find "$build/python" -maxdepth 1 -name 'sensorbench.*.so' 2>/dev/null)" ] &&
   ! grep -qE '^\./usr/lib/python3/dist-packages/sensorbench\.[^/]*\.so$' <<<"$listing"; then
  echo "package check: the Python module is missing from $(basename "$deb")" >&2
  exit 1
fi
echo "package check: $(basename "$deb") holds the programs, desktop file, metainfo, icon, udev rule, man page, completion and Python module"
