#!/usr/bin/env bash
# Installs the Debian 12 packages Dalmora needs to build, test and run its demo.
# Idempotent: when everything is present it installs nothing.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-serialport-dev qt6-svg-dev libqt6svg6 libgl-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libmodbus-dev
  xvfb xauth x11-apps imagemagick
  fonts-dejavu-core fonts-noto-cjk
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
else
  as_root=(sudo)
fi
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
