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
file=$out/busy_ping.md
mkdir -p "$out"
begin='<!-- Busy section: written by bench/busy/run.sh -->'
end='<!-- End of the busy section -->'
kept_marker='<!-- Busy findings, written by hand: bench/busy/run.sh keeps them. -->'
[ -f "$file" ] || printf '# Busy channel watch and calibration ping\n\n%s\n%s\n' "$begin" "$end" > "$file"
if ! grep -q -F -x "$begin" "$file"; then printf '\n%s\n%s\n' "$begin" "$end" >> "$file"; fi

# The hand-written findings of the current section, if any.
kept=$(mktemp)
body=$(mktemp)
trap 'rm -f "$kept" "$body"' EXIT
awk -v b="$begin" -v e="$end" -v k="$kept_marker" '
  $0 == b { inside = 1; next }
  $0 == e { inside = 0; keep = 0; next }
  inside && $0 == k { keep = 1 }
  inside && keep { print }
' "$file" > "$kept"

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
  if [ -s "$kept" ]; then
    echo
    cat "$kept"
  fi
} > "$body"
rm -f "$out/busy.md.body"

# Replace the section between the markers, leaving everything else in the file as it was.
awk -v b="$begin" -v e="$end" -v f="$body" '
  $0 == b { print; while ((getline line < f) > 0) print line; skip = 1; next }
  $0 == e { skip = 0 }
  !skip { print }
' "$file" > "$file.new"
mv "$file.new" "$file"
