#!/usr/bin/env bash
# Installs every Debian package the modem, its tools and its tests need. Safe to run again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libfftw3-dev portaudio19-dev libasound2-dev libjack-jackd2-dev libhidapi-dev
  qt6-base-dev qt6-serialport-dev qt6-wayland libxcb1-dev
  libcodec2-dev
  libhamlib-utils
  scdoc file
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
