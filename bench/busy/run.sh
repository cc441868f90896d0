#!/usr/bin/env bash
# The busy channel benchmark in one command: bench/busy/run.sh [busy_bench options].
# Builds busy_bench, runs it and writes the "Busy" section of bench/results/busy_ping.md with the
# command, the machine and the date. The rest of that file (the calibration ping's section) is
# kept as it stands; findings written by hand inside the section, from the marker line to the
# section's end marker, survive the rerun.
set -euo pipefail
cd "$(dirname "$0")/../.."

source bench/bench_script.sh
bench_build busy_bench

out=bench/results
mkdir -p "$out"
body=$(mktemp)
trap 'rm -f "$body"' EXIT

commit=$(git rev-parse --short HEAD)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
t0=$(date +%s)
nice -n 10 build/bin/busy_bench --out "$out" "$@"
minutes=$(( ($(date +%s) - t0 + 59) / 60 ))

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
{
  echo "## Busy"
  echo
  echo "Command: \`bench/busy/run.sh $*\` (commit $commit); machine: $(nproc) cores ($cpu),"
  echo "shared with other work; date: $started; run time about $minutes min."
  echo
  cat "$out/busy.md.body"
} > "$body"
rm -f "$out/busy.md.body"

bench_write_section "$out/busy_ping.md" "$body" \
  '<!-- Busy section: written by bench/busy/run.sh -->' '<!-- End of the busy section -->' \
  '<!-- Busy findings, written by hand: bench/busy/run.sh keeps them. -->' \
  'Busy channel watch and calibration ping'
