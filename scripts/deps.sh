#!/usr/bin/env bash
# Installs the Debian packages the build and tests need (only those missing).
set -euo pipefail
PACKAGES=(build-essential cmake ninja-build pkg-config ccache
          qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
          libusb-1.0-0-dev umockdev libumockdev-dev libkissfft-dev
          python3 python3-dev python3-numpy pybind11-dev fonts-dejavu-core appstream dpkg-dev file
          clang libclang-rt-14-dev valgrind udev
          help2man bash-completion libqt6sql6-sqlite sqlite3 libqcustomplot-dev
          libmosquitto-dev mosquitto mosquitto-clients openssl)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
