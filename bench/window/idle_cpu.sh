#!/usr/bin/env bash
# idle_cpu.sh ZOLKSAT [SECONDS] [DEVICE]: CPU share of a headless station listening idle on a sound
# device (default "pulse"), and of the PulseAudio server beside it, over SECONDS (default 60) after
# 10 s of settling; also its main thread's share and wake-ups (context switches) per second, and
# its resident memory. The station runs
# in a fresh folder and is stopped with SIGTERM afterwards.
set -euo pipefail
program=$1
seconds=${2:-60}
device=${3:-pulse}
folder=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$folder"' EXIT
printf '[Soundcard]\nInput Device Name=%s\nOutput Device Name=%s\n' "$device" "$device" >"$folder/ZOLK SAT.ini"
"$program" --headless --dir "$folder" >"$folder/stderr.log" 2>&1 &
pid=$!
sleep 10
server=$(pgrep -x pulseaudio | head -n 1 || true)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
switches() { awk '/ctxt_switches/ {n += $2} END {print n}' /proc/"$1"/task/*/status; }
hz=$(getconf CLK_TCK)
start=$(date +%s.%N)
own0=$(ticks "$pid")
main0=$(awk '{print $14 + $15}' "/proc/$pid/task/$pid/stat")
mainSw0=$(awk '/ctxt_switches/ {n += $2} END {print n}' "/proc/$pid/task/$pid/status")
sw0=$(switches "$pid")
srv0=$([ -n "$server" ] && ticks "$server" || echo 0)
sleep "$seconds"
own1=$(ticks "$pid")
main1=$(awk '{print $14 + $15}' "/proc/$pid/task/$pid/stat")
mainSw1=$(awk '/ctxt_switches/ {n += $2} END {print n}' "/proc/$pid/task/$pid/status")
sw1=$(switches "$pid")
srv1=$([ -n "$server" ] && ticks "$server" || echo 0)
end=$(date +%s.%N)
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
awk -v o=$((own1 - own0)) -v m=$((main1 - main0)) -v mw=$((mainSw1 - mainSw0)) -v s=$((srv1 - srv0)) -v w=$((sw1 - sw0)) -v hz="$hz" -v t0="$start" -v t1="$end" -v rss="$rss" 'BEGIN {
    wall = t1 - t0
    printf "wall %.1f s  zolksat %.2f %% of a core (main thread %.2f %%, %.0f wake-ups/s; all threads %.0f/s)  pulseaudio %.2f %%  RSS %d KB\n",
        wall, 100 * o / hz / wall, 100 * m / hz / wall, mw / wall, w / wall, 100 * s / hz / wall, rss
}'
grep -i -E "cannot|error" "$folder/stderr.log" || true
