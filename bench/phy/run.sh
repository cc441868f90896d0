#!/usr/bin/env bash
# The physical-layer benchmark in one command: bench/phy/run.sh [phy_bench options].
# Installs gnuplot for the plot (a benchmark need, not a build or test need), builds phy_bench,
# runs it and writes bench/results/phy.md and bench/results/phy.png with the command, the machine
# and the date, and (when it ran every mode) the measured-thresholds table
# src/session/measured_thresholds.inc; bench/phy/thresholds.sh writes only that table, faster.
set -euo pipefail
cd "$(dirname "$0")/../.."

source bench/bench_script.sh
bench_ensure_gnuplot
bench_build phy_bench

out=bench/results
mkdir -p "$out"
# Findings written by hand at the end of phy.md, from this line on, survive the rerun.
kept_marker='<!-- Written by hand from here on: bench/phy/run.sh keeps it. -->'
kept=$(bench_keep_findings "$out/phy.md" "$kept_marker")
trap 'rm -f "$kept"' EXIT
started=$(date -u '+%Y-%m-%d %H:%M UTC')
t0=$(date +%s)
build/bin/phy_bench --out "$out" --thresholds src/session/measured_thresholds.inc \
  --provenance "$(bench_receiver_provenance)" "$@"
minutes=$(( ($(date +%s) - t0 + 59) / 60 ))

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
memory=$(free -g | awk '/^Mem:/ {print $2 " GiB"}')
{
  echo "# Physical-layer benchmark"
  echo
  echo "Command: \`bench/phy/run.sh $*\` (commit $(git rev-parse --short HEAD)); machine: $(nproc) cores ($cpu),"
  echo "$memory, shared with other work; date: $started; run time about $minutes min."
  echo "Plot: [phy.png](phy.png), frame success against S/N on the clean channel, one curve per mode."
  echo
  cat "$out/phy.md"
  if [ -s "$kept" ]; then
    echo
    cat "$kept"
  fi
} > "$out/phy.md.new"
mv "$out/phy.md.new" "$out/phy.md"

gnuplot <<PLOT
set terminal png size 1400,900 noenhanced
set output "$out/phy.png"
set title "Frame success against S/N (2500 Hz), clean channel"
set xlabel "S/N (dB in 2500 Hz)"
set ylabel "frames decoded (%)"
set yrange [0:105]
set grid
set key outside right
plot for [i=0:$(( $(grep -c '^"' "$out/phy_curves.dat") - 1 ))] "$out/phy_curves.dat" index i using 1:2 with linespoints title columnheader(1)
PLOT
echo "wrote $out/phy.md and $out/phy.png"
