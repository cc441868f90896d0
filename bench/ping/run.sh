#!/usr/bin/env bash
# The link calibration ping benchmark in one command: bench/ping/run.sh [ping_bench options].
# Builds ping_bench, runs it at low priority and writes its section "## Ping" into
# bench/results/busy_ping.md with the command, the machine and the date. The file's other sections
# (the busy channel detector's) stay as they are; a missing file is created.
set -euo pipefail
cd "$(dirname "$0")/../.."

source bench/bench_script.sh
bench_build ping_bench

out=bench/results
mkdir -p "$out"
commit=$(git rev-parse --short HEAD)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
t0=$(date +%s)
nice -n 10 build/bin/ping_bench --out "$out" "$@"
minutes=$(( ($(date +%s) - t0 + 59) / 60 ))
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')

section=$(mktemp)
trap 'rm -f "$section"' EXIT
{
  # The body's first line is the section heading; the run's facts follow it.
  head -n 1 "$out/ping.md.body"
  echo
  echo "Command: \`bench/ping/run.sh $*\` (commit $commit); machine: $(nproc) cores ($cpu),"
  echo "shared with other work; date: $started; run time about $minutes min."
  tail -n +2 "$out/ping.md.body"
} > "$section"
rm -f "$out/ping.md.body"

file="$out/busy_ping.md"
[ -f "$file" ] || printf '# Busy channel detector and link calibration ping\n' > "$file"
# Everything but the old "## Ping" section (up to the next "## " heading), then the new one.
kept=$(awk '/^## /{skip = ($0 == "## Ping")} !skip' "$file")
{
  printf '%s\n\n' "$kept"
  cat "$section"
} | cat -s > "$file.new"
mv "$file.new" "$file"
