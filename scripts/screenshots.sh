#!/usr/bin/env bash
# Regenerates docs/screenshots/robust.png and fast.png: builds zolk-screenshots into build/ and
# runs it. The run is in virtual time from fixed seeds, so the pictures come out byte for byte the
# same on the same Qt and fonts. Extra arguments go to the program (e.g. --robust 30).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" > /dev/null
cmake --build build -j 2 --target zolk_screenshots_program
build/bin/zolk-screenshots "$@" docs/screenshots
