#!/usr/bin/env bash
# The control-frame benchmark in one command: bench/control/run.sh [control_bench options].
# Installs gnuplot for the plot if it is missing, builds control_bench, runs it and writes
# bench/results/control.md and bench/results/control.png with the command, the machine and the date.
set -euo pipefail
cd "$(dirname "$0")/../.."

source bench/bench_script.sh
bench_ensure_gnuplot
bench_build control_bench

out=bench/results
mkdir -p "$out"
# Findings written by hand at the end of control.md, from this line on, survive the rerun.
kept_marker='<!-- Written by hand from here on: bench/control/run.sh keeps it. -->'
kept=$(bench_keep_findings "$out/control.md" "$kept_marker")
trap 'rm -f "$kept"' EXIT
commit=$(git rev-parse --short HEAD)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
t0=$(date +%s)
build/bin/control_bench --out "$out" "$@"
minutes=$(( ($(date +%s) - t0 + 59) / 60 ))

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
{
  echo "# Control-frame benchmark"
  echo
  echo "Command: \`bench/control/run.sh $*\` (commit $commit); machine: $(nproc) cores ($cpu),"
  echo "shared with other work; date: $started; run time about $minutes min."
  echo "Plot: [control.png](control.png), control frames detected against S/N, one curve per channel."
  echo
  cat "$out/control.md.body"
  if [ -s "$kept" ]; then
    echo
    cat "$kept"
  fi
} > "$out/control.md"
rm -f "$out/control.md.body"

gnuplot <<PLOT
set terminal png size 1400,900 noenhanced
set output "$out/control.png"
set title "Control frames detected against S/N (2500 Hz)"
set xlabel "S/N (dB in 2500 Hz)"
set ylabel "frames detected (%)"
set yrange [0:105]
set grid
set key outside right
plot for [i=0:$(( $(grep -c '^"' "$out/control_curves.dat") - 1 ))] "$out/control_curves.dat" index i using 1:2 with linespoints title columnheader(1)
PLOT
