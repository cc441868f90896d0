#!/usr/bin/env bash
# The link calibration ping benchmark in one command: bench/ping/run.sh [ping_bench options].
# Builds ping_bench, runs it at low priority and writes the "Ping" section of
# bench/results/busy_ping.md with the command, the machine and the date. The rest of that file
# (the busy channel detector's section) is kept as it stands; findings written by hand inside the
# section, from the marker line to the section's end marker, survive the rerun.
set -euo pipefail
cd "$(dirname "$0")/../.."

source bench/bench_script.sh
bench_build ping_bench

out=bench/results
mkdir -p "$out"
body=$(mktemp)
trap 'rm -f "$body"' EXIT

commit=$(git rev-parse --short HEAD)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
t0=$(date +%s)
nice -n 10 build/bin/ping_bench --out "$out" "$@"
minutes=$(( ($(date +%s) - t0 + 59) / 60 ))

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
{
  # The body's first line is the section heading; the run's facts follow it.
  head -n 1 "$out/ping.md.body"
  echo
  echo "Command: \`bench/ping/run.sh $*\` (commit $commit); machine: $(nproc) cores ($cpu),"
  echo "shared with other work; date: $started; run time about $minutes min."
  tail -n +2 "$out/ping.md.body"
} > "$body"
rm -f "$out/ping.md.body"

bench_write_section "$out/busy_ping.md" "$body" \
  '<!-- Ping section: written by bench/ping/run.sh -->' '<!-- End of the ping section -->' \
  '<!-- Ping findings, written by hand: bench/ping/run.sh keeps them. -->' \
  'Busy channel watch and calibration ping'
