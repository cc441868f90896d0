#!/usr/bin/env bash
# The session benchmark in one command: bench/session/run.sh [session_bench options] [PART...]
# (PART: goodput short connect step twoway soak reading; all but reading without any). With
# --scale peak a part's links are stated on a fixed noise floor and its section is kept beside the
# one on the per-transmission scale. Installs gnuplot if it
# is missing, builds session_bench, runs it at low priority and writes bench/results/session.md and
# session.png from every part's results found in bench/results (a part run alone replaces its own).
set -euo pipefail
cd "$(dirname "$0")/../.."

source bench/bench_script.sh
bench_ensure_gnuplot
bench_build session_bench

out=bench/results
mkdir -p "$out"
# Findings written by hand at the end of session.md, from this line on, survive the rerun.
kept_marker='<!-- Written by hand from here on: bench/session/run.sh keeps it. -->'
kept=$(bench_keep_findings "$out/session.md" "$kept_marker")
trap 'rm -f "$kept"' EXIT
args=("$@")
if ! printf '%s\n' "${args[@]}" | grep -qxE 'goodput|short|connect|step|twoway|soak|reading'; then
  args+=(goodput short connect step twoway soak)
fi
commit=$(git rev-parse --short HEAD)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
t0=$(date +%s)
status=0
nice -n 10 build/bin/session_bench --out "$out" "${args[@]}" || status=$?
minutes=$(( ($(date +%s) - t0 + 59) / 60 ))
echo "bench/session/run.sh ${args[*]}: commit $commit, $started, about $minutes min" >> "$out/session_runs.txt"

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
{
  echo "# Session benchmark"
  echo
  echo "Two simulated stations through the real audio path in virtual time, 0.3 s one-way delay, S/N in"
  echo "2500 Hz on one of two scales, named in each section: against each transmission's own mean power, or"
  echo "on a fixed noise floor as the S/N of a 10 dB-crest signal at the sender's peak level (the modem's"
  echo "own scale, --scale peak). Machine: $(nproc) cores ($cpu), shared with other work."
  echo "Runs (command, commit, date, wall time):"
  echo
  sed 's/^/    /' "$out/session_runs.txt"
  echo
  echo "Plot: [session.png](session.png): goodput, table Throughput and Shannon limit against S/N; the"
  echo "mode during the S/N steps."
  for part in reading goodput_peak goodput short_peak short connect connect_peak twoway twoway_peak \
              step1 step1_peak step2 step2_peak soak; do
    if [ -f "$out/session_$part.md.part" ]; then
      echo
      cat "$out/session_$part.md.part"
    fi
  done
  if [ -s "$kept" ]; then
    echo
    cat "$kept"
  fi
} > "$out/session.md"

plots=()
[ -s "$out/session_goodput.dat" ] && plots+=("goodput")
[ -s "$out/session_step1.dat" ] && plots+=("step")
if [ ${#plots[@]} -gt 0 ]; then
  gnuplot <<PLOT
set terminal png size 1400,1000 noenhanced
set output "$out/session.png"
set multiplot layout 2,1
set grid
set key outside right
if (strstrt("${plots[*]}", "goodput") > 0) {
  set title "One-way goodput against S/N (0.3 s one-way delay, AWGN)"
  set xlabel "S/N (dB in 2500 Hz)"
  set ylabel "bit/s"
  set logscale y
  goodput_peak = "$out/session_goodput_peak.dat"
  if (system("test -s " . goodput_peak . " && echo 1") eq "1") {
    plot "$out/session_goodput.dat" using 1:2 with linespoints title "goodput, S/N against each transmission", \
         "" using 1:3 with steps title "table Throughput, S/N against each transmission", \
         goodput_peak using 1:2 with linespoints title "goodput, fixed noise floor (modem's scale)", \
         goodput_peak using 1:3 with steps title "table Throughput, fixed noise floor", \
         "$out/session_goodput.dat" using 1:4 with lines title "Shannon limit, 2500 Hz"
  } else {
    plot "$out/session_goodput.dat" using 1:2 with linespoints title "goodput", \
         "" using 1:3 with steps title "table Throughput of the fastest usable mode", \
         "" using 1:4 with lines title "Shannon limit, 2500 Hz"
  }
  unset logscale y
}
if (strstrt("${plots[*]}", "step") > 0) {
  set title "Mode during an S/N step +10 -> -5 -> +10 dB"
  set xlabel "seconds after CONNECTED"
  set ylabel "mode"
  plot "$out/session_step1.dat" using 1:3 with steps title "one way: A's mode", \
       "$out/session_step2.dat" using 1:3 with steps title "both ways: A's mode", \
       "" using 1:4 with steps title "both ways: B's mode"
}
unset multiplot
PLOT
fi
exit "$status"
