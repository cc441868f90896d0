#!/usr/bin/env bash
# Builds the Debian package from build/ (built first if needed): build/zolksat_VERSION_ARCH.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/CMakeCache.txt ] || bash scripts/build.sh
cmake --build build -j "$(nproc)"
cpack --config build/CPackConfig.cmake
ls build/zolksat_*.deb
