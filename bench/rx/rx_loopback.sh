#!/usr/bin/env bash
# Loopback through the stage tools: for every mode, COUNT transmissions (default 20) written by
# zolk-phy tx, moved by a constant offset with zolk-phy offset, decoded by zolk-phy rx. Prints per
# mode and offset: frames decoded with a good check and the sent check bytes / frames sent.
# Then two-frame bursts in modes 1, 5, 8 and 13 on a clean channel. Run from the source folder
# after a build.
set -euo pipefail
cd "$(dirname "$0")/../.."
zolk=build/bin/zolk-phy
count=${COUNT:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# matched SENT RECEIVED: good frames whose check bytes are among those sent.
matched() {
    grep -o 'CRC [0-9A-F]* [0-9A-F]*' "$1" | tr -d ' ' | sed 's/CRC//' | tr 'A-F' 'a-f' | sort > "$work/sent"
    grep 'crc=ok' "$2" | grep -o 'crc16=[0-9a-f]*' | sed 's/crc16=//' | sort > "$work/got"
    comm -12 "$work/sent" "$work/got" | wc -l
}

printf 'mode\tframes\t0 Hz\t+15 Hz\t-15 Hz\n'
for mode in $(seq 0 14); do
    "$zolk" tx --mode "$mode" --out "$work/tx.wav" --random --count "$count" --seed $((mode + 1)) > "$work/tx.txt"
    row="$mode\t$count"
    for hz in 0 15 -15; do
        "$zolk" offset --in "$work/tx.wav" --out "$work/heard.wav" --hz "$hz" > /dev/null
        "$zolk" rx --mode "$mode" --in "$work/heard.wav" > "$work/rx.txt"
        row="$row\t$(matched "$work/tx.txt" "$work/rx.txt")/$count ($(tail -1 "$work/rx.txt"))"
    done
    printf "$row\n"
done

printf '\ntwo-frame bursts, clean\nmode\tframes\tgood\n'
for mode in 1 5 8 13; do
    "$zolk" tx --mode "$mode" --frames 2 --out "$work/tx.wav" --random --count "$count" --seed $((mode + 50)) > "$work/tx.txt"
    "$zolk" rx --mode "$mode" --frames 2 --in "$work/tx.wav" > "$work/rx.txt"
    printf "$mode\t$((2 * count))\t$(matched "$work/tx.txt" "$work/rx.txt") ($(tail -1 "$work/rx.txt"))\n"
done
