#!/usr/bin/env bash
# Regenerates the measured-thresholds table of the receiving side's speed adaptation,
# src/session/measured_thresholds.inc, from the current receiver: bench/phy/thresholds.sh
# [--frames N] [--step DB] (default 40 transmissions per point in 0.5 dB steps). Measures only our
# modes' clean-channel curves down to their 90 % points, at low priority; rebuild afterwards.
# bench/phy/run.sh writes the same table from its clean curves.
set -euo pipefail
cd "$(dirname "$0")/../.."

source bench/bench_script.sh
bench_build phy_bench

nice -n 10 build/bin/phy_bench --thresholds-only --frames 40 --step 0.5 "$@" \
  --thresholds src/session/measured_thresholds.inc --provenance "$(bench_receiver_provenance)"
